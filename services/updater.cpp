// The installer's work: the archive's place and checksum, unpacking into a staging folder inside
// the program folder, the checks of what was unpacked, and the swap by rename with its rollback.
#include "services/updater.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <vector>

#include "payroll/corpinfo.h"
#include "payroll/paths.h"
#include "payroll/taxtable.h"
#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "services/zip.h"

namespace {

// A function: the names are globals of another file, not yet made while this file's are.
QStringList tableNames()
{
    return {TaxTableKyuyoName, TaxTableSyoyoName, KenhoTableName, KenRituName};
}

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

// The user the installer works for: under pkexec or sudo the one who asked for it, else the
// user running it.
uid_t invokingUser()
{
    if (::geteuid() != 0) return ::getuid();
    for (const char* var : {"PKEXEC_UID", "SUDO_UID"}) {
        bool ok = false;
        const uint id = qEnvironmentVariable(var).toUInt(&ok);
        if (ok) return uid_t(id);
    }
    return ::getuid();
}

// The user named by name (a login name, or a user number for a user without one), as root named
// him on the command line; false when there is none of that name.
bool userOfName(const QString& name, uid_t& uid)
{
    const QByteArray n = name.toLocal8Bit();
    passwd pw{}, *found = nullptr;
    std::vector<char> buf(16384);
    if (!n.isEmpty() && ::getpwnam_r(n.constData(), &pw, buf.data(), buf.size(), &found) == 0 && found) {
        uid = found->pw_uid;
        return true;
    }
    bool ok = false;
    const uint id = name.toUInt(&ok);
    if (ok) uid = uid_t(id);
    return ok;
}

// The archive's real path when it lies, as a plain file of owner, directly in owner's private
// update folder ("Update", mode 0700, his own); empty with why set otherwise (what is wrong, and
// the way out when root runs it for nobody named).
QString archiveInUpdateFolder(const QString& archive, uid_t owner, QString& why)
{
    const QFileInfo info(archive);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    struct stat st {};
    const QString notThere =
        QStringLiteral("更新ファイル %1 が利用者の更新用フォルダーにありません。\n").arg(archive);
    const auto refuse = [&](const QString& what) {
        why = notThere + what;
        return QString();
    };
    const auto ownerHint = [&](const QString& what, uid_t found) {
        QString t = QStringLiteral("%1 の持ち主 (uid %2) が更新する利用者 (uid %3) ではありません。")
                        .arg(what, QString::number(found), QString::number(owner));
        if (::geteuid() == 0 && owner == 0)
            t += QStringLiteral(
                "\nroot のシェルから実行する時は --user=<利用者名> で利用者を指定して下さい。");
        return t;
    };
    if (folder.isEmpty() || QFileInfo(folder).fileName() != QStringLiteral("Update"))
        return refuse(QStringLiteral("フォルダー %1 は更新用フォルダー (Update) ではありません。")
                          .arg(info.absolutePath()));
    if (::lstat(native(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return refuse(QStringLiteral("更新用フォルダー %1 を調べられません。").arg(folder));
    if (st.st_uid != owner) return refuse(ownerHint(folder, st.st_uid));
    if ((st.st_mode & 077) != 0)
        return refuse(QStringLiteral("更新用フォルダー %1 がほかの利用者にも開かれています (%2)。")
                          .arg(folder, QString::number(st.st_mode & 0777, 8)));
    const QString path = folder + QLatin1Char('/') + info.fileName();
    if (::lstat(native(path).constData(), &st) != 0)
        return refuse(QStringLiteral("%1 が見つかりません。").arg(path));
    if (!S_ISREG(st.st_mode)) return refuse(QStringLiteral("%1 は通常のファイルではありません。").arg(path));
    if (st.st_uid != owner) return refuse(ownerHint(path, st.st_uid));
    why.clear();
    return path;
}

// Reads a plain file of owner (never through a link), at most cap bytes; false when it is none.
bool readOwnFile(const QString& path, uid_t owner, qint64 cap, QFile& to)
{
    const int fd = ::open(native(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == owner && st.st_size <= cap;
    char buf[65536];
    while (ok) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0) break;
        ok = n > 0 && to.write(buf, n) == n;
    }
    ::close(fd);
    return ok && to.flush();
}

const QString kStagingPrefix = QStringLiteral(".pelmoras-update.");

// A folder of the installer's own inside the program folder (the same file system, so that the
// swap is a rename), removed with everything in it when the installer ends. During the swap it
// holds "journal" (the files being swapped), "new/" (those not yet in place) and "old/" (those
// replaced).
class Staging {
  public:
    explicit Staging(const QString& self)
        : path_(self + QLatin1Char('/') + kStagingPrefix + QString::number(::getpid()) + QLatin1Char('/'))
    {
        QDir(path_).removeRecursively();
        ok_ = ::mkdir(native(path_).constData(), 0700) == 0;
    }
    ~Staging() { QDir(path_).removeRecursively(); }
    bool ok() const { return ok_; }
    QString path() const { return path_; }

  private:
    QString path_;
    bool ok_ = false;
};

// The files below folder, relative to it, in a fixed order.
QStringList filesBelow(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

// The table files of folder read the way the program reads them at start; why not, or empty.
QString tablesProblem(const QString& folder)
{
    const QString saved = TablePath;
    TablePath = folder;
    LoadTableFiles();
    QString problem;
    if (TableFileCount != 3)
        problem = TableFileProblems.isEmpty() ? QStringLiteral("表データファイルが足りません。")
                                              : TableFileProblems.join(QLatin1Char('\n'));
    QStringList lines;
    QString kenRitu;
    double rate = 0;
    if (problem.isEmpty() && (!ReadKenRituFile(lines, kenRitu) || lines.isEmpty()))
        problem = kenRitu.isEmpty() ? KenRituName + QStringLiteral(" がありません。") : kenRitu;
    for (const QString& l : lines)
        if (problem.isEmpty() && !KenRituOfLine(l, rate))
            problem = KenRituName + QStringLiteral(": 料率が読めない行があります (%1)").arg(l);
    ClearTableFiles();
    TablePath = saved;
    return problem;
}

// Why the unpacked files are not what an archive of kind holds, or empty.
QString contentProblem(UpdateKind kind, const QString& folder, const QStringList& files)
{
    const QStringList tableFiles = tableNames();
    bool tables = false;
    for (const QString& f : files) {
        for (const QChar c : f)
            if (c.unicode() < 0x20) return QStringLiteral("名前に制御文字を含むファイルがあります。");
        tables = tables || tableFiles.contains(f);
        if (kind == UpdateKind::Tables && !tableFiles.contains(f))
            return QStringLiteral("表データファイル以外のファイルが含まれています (%1)。").arg(f);
        // A program archive holds program files and help pages, never settings or data folders
        // (the data may live in the program folder).
        if (kind == UpdateKind::Program && !f.startsWith(QStringLiteral("help/")) &&
            (f.contains(QLatin1Char('/')) || f.endsWith(QStringLiteral(".ini"), Qt::CaseInsensitive)))
            return QStringLiteral("プログラムのフォルダーに置けないファイルが含まれています (%1)。").arg(f);
    }
    if (kind == UpdateKind::Program) {
        QFile exe(folder + QLatin1String(kProgramName));
        if (!exe.open(QIODevice::ReadOnly) || exe.read(4) != QByteArray("\x7f"
                                                                        "ELF"))
            return QStringLiteral("プログラム %1 が含まれていません。").arg(QLatin1String(kProgramName));
    }
    if (kind == UpdateKind::Tables || tables) return tablesProblem(folder);
    return {};
}

// Modes of installed files: readable by every user of the program, the programs executable.
bool setInstalledModes(const QString& folder, const QStringList& files)
{
    bool ok = true;
    for (const QString& f : files) {
        const bool exe = f == QLatin1String(kProgramName) || f == QLatin1String(kUpdaterName);
        ok = ok && ::chmod(native(folder + f).constData(), exe ? 0755 : 0644) == 0;
        for (QString d = QFileInfo(f).path(); ok && d != QStringLiteral("."); d = QFileInfo(d).path())
            ok = ::chmod(native(folder + d).constData(), 0755) == 0;
    }
    return ok;
}

// An installer stopped half-way through its swap (killed, or the power lost) left its staging
// folder behind: the old files go back and the new ones it had already put in place go, so the
// program folder is again what it was before that update.
void recoverInterrupted(const QString& self)
{
    const QStringList folders =
        QDir(self).entryList({kStagingPrefix + u'*'}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : folders) {
        bool ok = false;
        const int pid = name.mid(kStagingPrefix.size()).toInt(&ok);
        // The folder of an installer that still runs is its own.
        if (!ok || pid <= 0 || pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
        const QString dir = self + name + QLatin1Char('/');
        QFile journal(dir + QStringLiteral("journal"));
        if (journal.open(QIODevice::ReadOnly)) {
            for (const QString& f : QString::fromUtf8(journal.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
                if (f.startsWith(u'/') || f.split(u'/').contains(QStringLiteral(".."))) continue;
                const QString old = dir + QStringLiteral("old/") + f;
                if (QFileInfo::exists(old))
                    ::rename(native(old).constData(), native(self + f).constData());
                else if (!QFileInfo::exists(dir + QStringLiteral("new/") + f))
                    QFile::remove(self + f);
            }
            SyncFolder(self);
        }
        QDir(dir).removeRecursively();
    }
}

// Puts the files of staged (relative names) over the same names in self, keeping the replaced
// ones in kept; on any failure every step is undone in reverse order and false returned.
bool swapIn(const QString& self, const QString& staged, const QString& kept, const QStringList& files,
            QString& why)
{
    struct Step {
        QString name;
        bool replaced;
    };
    std::vector<Step> done;
    QStringList madeFolders;
    const auto mv = [](const QString& from, const QString& to) {
        return ::rename(native(from).constData(), native(to).constData()) == 0;
    };
    bool ok = true;
    for (const QString& f : files) {
        const QString target = self + f;
        QStringList parents;
        for (QString d = QFileInfo(f).path(); d != QStringLiteral("."); d = QFileInfo(d).path())
            parents.prepend(d);
        for (const QString& d : parents) {
            if (QFileInfo(self + d).isDir()) continue;
            if (::mkdir(native(self + d).constData(), 0755) != 0) {
                ok = false;
                break;
            }
            madeFolders << self + d;
        }
        struct stat st {};
        const bool exists = ok && ::lstat(native(target).constData(), &st) == 0;
        if (ok && exists) {
            ok = !S_ISDIR(st.st_mode) && QDir().mkpath(QFileInfo(kept + f).path()) && mv(target, kept + f);
        }
        if (ok && !mv(staged + f, target)) {
            if (exists) mv(kept + f, target);
            ok = false;
        }
        if (!ok) {
            why = QStringLiteral("%1 を置き換えられません。").arg(target);
            break;
        }
        done.push_back({f, exists});
    }
    if (ok && SyncFolder(self)) return true;
    if (why.isEmpty()) why = QStringLiteral("%1 に書き込めません。").arg(self);
    for (auto it = done.rbegin(); it != done.rend(); ++it) {
        mv(self + it->name, staged + it->name);
        if (it->replaced) mv(kept + it->name, self + it->name);
    }
    for (auto it = madeFolders.crbegin(); it != madeFolders.crend(); ++it) ::rmdir(native(*it).constData());
    SyncFolder(self);
    return false;
}

}  // namespace

int RunUpdater(const QStringList& givenArgs, const QString& selfFolder, QString& error)
{
    QStringList args = givenArgs;
    // root may name the user whose update folder holds the archive (a root shell carries no
    // PKEXEC_UID or SUDO_UID); nobody else may speak for another user.
    uid_t owner = invokingUser();
    const QString userOption = QStringLiteral("--user=");
    if (!args.isEmpty() && args[0].startsWith(userOption)) {
        const QString name = args.takeFirst().mid(userOption.size());
        if (::geteuid() != 0) {
            error = QStringLiteral("利用者の指定 (--user) は root として実行した時だけ使えます。");
            return kUpdaterRefused;
        }
        if (!userOfName(name, owner)) {
            error = QStringLiteral("利用者 %1 が見つかりません。").arg(name);
            return kUpdaterRefused;
        }
    }
    if (args.size() != 3 ||
        (args[0] != UpdateKindArg(UpdateKind::Program) && args[0] != UpdateKindArg(UpdateKind::Tables))) {
        error = QStringLiteral(
                    "使い方: %1 [--user=<利用者名>] program|tables <更新ファイル> <プログラムのフォルダー>")
                    .arg(QLatin1String(kUpdaterName));
        return kUpdaterRefused;
    }
    const UpdateKind kind =
        args[0] == UpdateKindArg(UpdateKind::Program) ? UpdateKind::Program : UpdateKind::Tables;
    // The only folder ever written is the installer's own; the argument must name it.
    const QString self = QFileInfo(selfFolder).canonicalFilePath();
    if (self.isEmpty() || QFileInfo(args[2]).canonicalFilePath() != self) {
        error = QStringLiteral("更新先 %1 はこの更新プログラムのフォルダー %2 ではありません。")
                    .arg(args[2], selfFolder);
        return kUpdaterRefused;
    }
    recoverInterrupted(self + QLatin1Char('/'));
    const QString archive = archiveInUpdateFolder(args[1], owner, error);
    if (archive.isEmpty()) return kUpdaterRefused;

    const Staging staging(self);
    if (!staging.ok()) {
        error = QStringLiteral("%1 に作業用フォルダーを作成できません。").arg(self);
        return kUpdaterFailed;
    }
    // The checksum is checked on the installer's own copy, which nobody else can change later.
    const QString copy = staging.path() + QStringLiteral("archive.zip");
    QFile copyFile(copy);
    QFile sumFile(staging.path() + QStringLiteral("archive.sha256"));
    if (!copyFile.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
        !sumFile.open(QIODevice::ReadWrite | QIODevice::NewOnly)) {
        error = QStringLiteral("%1 に書き込めません。").arg(self);
        return kUpdaterFailed;
    }
    if (!readOwnFile(archive, owner, kMaxUpdateBytes, copyFile) ||
        !readOwnFile(archive + QLatin1String(kChecksumSuffix), owner, kMaxChecksumBytes, sumFile)) {
        error = QStringLiteral("更新ファイルかそのチェックサムが読めません。");
        return kUpdaterBadArchive;
    }
    copyFile.close();
    sumFile.seek(0);
    const QByteArray want = ChecksumOfLine(sumFile.readAll());
    if (want.isEmpty() || Sha256OfFile(copy) != want) {
        error = QStringLiteral("更新ファイルのチェックサムが一致しません。");
        return kUpdaterBadArchive;
    }
    const QString staged = staging.path() + QStringLiteral("new/");
    if (UnzipFile(copy, staged, QString()) != kZipOk) {
        error = QStringLiteral("更新ファイルが壊れています。");
        return kUpdaterBadArchive;
    }
    const QStringList files = filesBelow(staged);
    if (files.isEmpty()) {
        error = QStringLiteral("更新ファイルが空です。");
        return kUpdaterBadArchive;
    }
    error = contentProblem(kind, staged, files);
    if (!error.isEmpty()) return kUpdaterBadArchive;
    if (!setInstalledModes(staged, files)) {
        error = QStringLiteral("更新ファイルの属性を設定できません。");
        return kUpdaterFailed;
    }
    try {
        WriteFileAtomic(staging.path() + QStringLiteral("journal"), files.join(u'\n').toUtf8(),
                        QStringLiteral("更新の記録"));
    } catch (const AppError& e) {
        error = e.message();
        return kUpdaterFailed;
    }
    if (!swapIn(self + QLatin1Char('/'), staged, staging.path() + QStringLiteral("old/"), files, error))
        return kUpdaterFailed;
    // Done: a staging folder left from here on holds nothing to put back.
    QFile::remove(staging.path() + QStringLiteral("journal"));
    SyncFolder(staging.path());
    return kUpdaterOk;
}
