// The installer's work: the archive's place and checksum, unpacking into a staging folder inside
// the program folder, the checks of what was unpacked, the whole new version built beside the one
// in use, and the switch to it by one journalled rename.
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
#include <algorithm>
#include <cerrno>
#include <vector>

#include "payroll/corpinfo.h"
#include "payroll/paths.h"
#include "payroll/taxtable.h"
#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/filetree.h"
#include "platform/readfile.h"
#include "platform/stageswap.h"
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

// What a step of the installer found wrong: the installer's exit code and the message for the
// user. A step that went returns none.
struct TStepError {
    int exit = kUpdaterOk;
    QString message;
    explicit operator bool() const { return exit != kUpdaterOk; }
};
TStepError refused(const QString& why)
{
    return {kUpdaterRefused, why};
}
TStepError badArchive(const QString& why)
{
    return {kUpdaterBadArchive, why};
}
TStepError failed(const QString& why)
{
    return {kUpdaterFailed, why};
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

// Opens a file of owner to read by the reader's rules (no link, no waiting on a FIFO put in its
// place, a regular file, at most the size of kind); -1 with why set otherwise.
int openOwnFile(const QString& path, uid_t owner, ReadKind kind, QString& why)
{
    const int fd = OpenForReading(path, kind, why);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_uid != owner) {
        ::close(fd);
        why = QStringLiteral("持ち主が更新する利用者ではありません。");
        return -1;
    }
    return fd;
}

const QString kStagingPrefix = QStringLiteral(".pelmoras-update.");

// The installer's swap: folders every user of the program reads (0755); a stopped one is
// finished when its staged version is still there, else undone. Its last rename switches
// "current", so a finished swap leaves nothing to undo.
const TSwapKind& installSwap()
{
    static const TSwapKind kind{"PELMORAS UPDATE JOURNAL 1", 0755, QStringLiteral("更新の記録")};
    return kind;
}

// The folder of the installer's own inside the program folder (the same file system, so that the
// swap is a rename), made new under a name of its process id: one left by an earlier process of
// this id was settled before; one still there holds a journal that cannot be trusted, and
// whatever else has the name (a link another user put there) is not this run's. Removed with
// everything in it when the installer ends, unless it holds the journal of a swap that could be
// neither finished nor undone (the next run settles it). It holds the archive, "new/" (what it
// unpacks to), "version/" (the whole new version), the links the swap puts in place and the
// journal.
TStageFolder makeStaging(const QString& root)
{
    TStageFolder stage = TStageFolder::exactly(root + kStagingPrefix + QString::number(::getpid()), 0700);
    stage.keepIfHolds(QStringLiteral("journal"));
    return stage;
}

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
    const TTableFiles tables = ReadTableFiles(folder);
    if (tables.count != 3)
        return tables.problems.isEmpty() ? QStringLiteral("表データファイルが足りません。")
                                         : tables.problems.join(QLatin1Char('\n'));
    QStringList lines;
    QString kenRitu;
    if (!ReadKenRituFileIn(folder, lines, kenRitu) || lines.isEmpty())
        return kenRitu.isEmpty() ? KenRituName + QStringLiteral(" がありません。") : kenRitu;
    double rate = 0;
    for (const QString& l : lines)
        if (!KenRituOfLine(l, rate))
            return KenRituName + QStringLiteral(": 料率が読めない行があります (%1)").arg(l);
    return {};
}

// Whether a name at the top of an archive is one the program folder keeps for itself: its layout
// ("current", "versions"), the hidden folders of the installer, the restore and the unpacking, and
// the data and settings that live beside the program when its folder is writable (the settings
// files, "Data", "Data2" and the other sets' "Data2_x", the update folder). The program's file
// names are compared as written; these in any letter case, as the data's are.
bool keptTopName(const QString& top)
{
    if (top.startsWith(QLatin1Char('.')) || top.endsWith(QStringLiteral(".ini"), Qt::CaseInsensitive) ||
        top.startsWith(QStringLiteral("Data2"), Qt::CaseInsensitive))
        return true;
    for (const QString& name :
         {ProgramCurrentName, ProgramVersionsName, QStringLiteral("Data"), QStringLiteral("Update")})
        if (top.compare(name, Qt::CaseInsensitive) == 0) return true;
    return false;
}

// Why the unpacked files are not what an archive of kind holds, or empty.
QString contentProblem(UpdateKind kind, const QString& folder, const QStringList& files)
{
    const QStringList tableFiles = tableNames();
    bool tables = false;
    for (const QString& f : files) {
        for (const QChar c : f)
            if (c.unicode() < 0x20) return QStringLiteral("名前に制御文字を含むファイルがあります。");
        const QString top = f.section(u'/', 0, 0);
        // A program archive holds program files and help pages, never settings or data folders
        // (the data may live in the program folder), nor the folder's own layout.
        if (keptTopName(top) || (kind == UpdateKind::Program && top != f && top != QStringLiteral("help")))
            return QStringLiteral("プログラムのフォルダーに置けないファイルが含まれています (%1)。").arg(f);
        tables = tables || tableFiles.contains(f);
        if (kind == UpdateKind::Tables && !tableFiles.contains(f))
            return QStringLiteral("表データファイル以外のファイルが含まれています (%1)。").arg(f);
    }
    if (kind == UpdateKind::Program) {
        // Read as the archive it came from: never through a link, never waiting on a pipe.
        QFile exe;
        QString unread;
        if (!OpenReadFile(exe, folder + QLatin1String(kProgramName), ReadKind::Archive, unread) ||
            exe.read(4) != QByteArray("\x7f"
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
// folder behind: the switch to the version it had staged is finished (or undone when that version
// is gone), and the rest removed. The program folder held one whole version all the while; this
// only tidies. A journal that cannot be trusted is left alone.
void recoverInterrupted(const QString& root)
{
    const QStringList folders =
        QDir(root).entryList({kStagingPrefix + u'*'}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : folders) {
        bool ok = false;
        const int pid = name.mid(kStagingPrefix.size()).toInt(&ok);
        // The folder of an installer that still runs is its own; one of this process id was left
        // by an earlier process (this one makes its own only after this).
        if (!ok || pid <= 0 || (pid != ::getpid() && (::kill(pid, 0) == 0 || errno != ESRCH))) continue;
        // Only a folder of the installer's own user: a link, or what another user who may write
        // the program folder put there, is not followed, settled nor removed.
        const QString stage = root + name + QLatin1Char('/');
        struct stat st {};
        if (::lstat(native(root + name).constData(), &st) != 0 || !S_ISDIR(st.st_mode) ||
            st.st_uid != ::geteuid())
            continue;
        const TSwapRecovery r = RecoverSwapStage(stage, root, installSwap());
        if (r.outcome == TSwapRecovery::None) RemoveTree(stage, TreeOwner::Mine);
    }
}

// The files of the version in use below folder: in a program folder of versions every file of
// the version, in one of the earlier layout (the data beside them) only the program's own.
QStringList versionFiles(const QString& folder, bool flat)
{
    if (!flat) return filesBelow(folder);
    QStringList files;
    for (const QString& f :
         QStringList{QLatin1String(kProgramName), QLatin1String(kUpdaterName)} + tableNames())
        if (QFileInfo(folder + f).isFile()) files << f;
    if (QFileInfo(folder + QStringLiteral("help")).isDir() &&
        !QFileInfo(folder + QStringLiteral("help")).isSymLink())
        for (const QString& f : filesBelow(folder + QStringLiteral("help/")))
            files << QStringLiteral("help/") + f;
    files.sort();
    return files;
}

// Copies a file of the version in use whole and synced into a new file of the version being built
// (no file of a version is larger than the archive that brought it).
bool copyInto(const QString& from, const QString& to)
{
    QString why;
    if (!MakeFolder(QFileInfo(to).path(), 0755)) return false;
    const int in = OpenForReading(from, ReadKind::Archive, why);
    if (in < 0) return false;
    const TBlockCopy copy = CopyToNewFile(in, to);
    ::close(in);
    return copy.ok();
}

// Builds in version the whole new version: the unpacked files of staged, and from the version in
// use (current) every file whose top name the archive does not carry. An installed table file is
// never replaced by one of an older published date: the installed one stays. all: the files of
// the new version.
TStepError buildVersion(const QString& staged, const QStringList& files, const QString& current, bool flat,
                        const QString& version, QStringList& all)
{
    bool made = false;
    if (!MakeFolder(version, 0755, &made) || !made)
        return failed(QStringLiteral("%1 に書き込めません。").arg(version));
    QStringList tops;
    for (const QString& f : files) tops << f.section(u'/', 0, 0);
    const QStringList tables = tableNames();
    all.clear();
    for (const QString& f : versionFiles(current, flat)) {
        const bool newerKept = tables.contains(f) && files.contains(f) &&
                               OlderTableDate(TableFileDate(staged + f), TableFileDate(current + f));
        if (tops.contains(f.section(u'/', 0, 0)) && !newerKept) continue;
        if (!copyInto(current + f, version + f))
            return failed(QStringLiteral("%1 を写せません。").arg(current + f));
        all << f;
    }
    for (const QString& f : files) {
        if (all.contains(f)) continue;
        if (!MakeFolder(QFileInfo(version + f).path(), 0755) ||
            ::rename(native(staged + f).constData(), native(version + f).constData()) != 0)
            return failed(QStringLiteral("%1 を用意できません。").arg(version + f));
        all << f;
    }
    all.sort();
    // Without its installer a version could never be updated again.
    if (!all.contains(QLatin1String(kUpdaterName)))
        return failed(
            QStringLiteral("更新後のプログラムに %1 がありません。").arg(QLatin1String(kUpdaterName)));
    // The version as the program will find it: its table files load.
    for (const QString& t : tableNames())
        if (all.contains(t)) {
            if (const QString why = tablesProblem(version); !why.isEmpty()) return badArchive(why);
            break;
        }
    if (!setInstalledModes(version, all))
        return failed(QStringLiteral("更新ファイルの属性を設定できません。"));
    return {};
}

// The number of a version folder's name: a plain number as the installer writes them (digits
// without a leading zero) and short enough that one more is still a number; 0 for any other name.
qint64 versionNumber(const QString& name)
{
    constexpr int kMaxDigits = 18;
    if (name.isEmpty() || name.size() > kMaxDigits || name[0] == QLatin1Char('0')) return 0;
    for (const QChar c : name)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return 0;
    return name.toLongLong();
}

// The name of a new version folder in versions: one more than the highest number there, whatever
// carries it (a file, a link), so that the new folder takes no name in use.
QString newVersionName(const QString& versions)
{
    qint64 highest = 0;
    for (const QString& name :
         QDir(versions).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        highest = std::max(highest, versionNumber(name));
    return QString::number(highest + 1);
}

// After the switch: the versions no longer in use, the installer's own folders only (never a link,
// nor what another user put there). A stop here leaves unused files only.
void removeUnused(const QString& root, const QString& inUse)
{
    const QString versions = root + ProgramVersionsName + QLatin1Char('/');
    for (const QString& name :
         QDir(versions).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        if (name != inUse && versionNumber(name) > 0) RemoveTree(versions + name, TreeOwner::Mine);
    SyncFolder(root);
}

// The run the command line asks for.
struct TRequest {
    UpdateKind kind = UpdateKind::Program;
    uid_t owner = 0;    // whose update folder holds the archive
    QString archive;    // as named on the command line
    QString self;       // the folder the installer lies in, its real path
    QString root;       // the program folder, ends with "/"
    bool flat = false;  // a program folder of the earlier layout (no versions)
};

// The command line read: root may name the user whose update folder holds the archive (a root
// shell carries no PKEXEC_UID or SUDO_UID); nobody else may speak for another user. The only
// folder ever written is the installer's own; the argument must name it: the version the
// installer lies in, or the program folder that holds that version (a program started before its
// folder held versions still names the folder itself).
TStepError readRequest(const QStringList& givenArgs, const QString& selfFolder, TRequest& r)
{
    QStringList args = givenArgs;
    r.owner = invokingUser();
    const QString userOption = QStringLiteral("--user=");
    if (!args.isEmpty() && args[0].startsWith(userOption)) {
        const QString name = args.takeFirst().mid(userOption.size());
        if (::geteuid() != 0)
            return refused(QStringLiteral("利用者の指定 (--user) は root として実行した時だけ使えます。"));
        if (!userOfName(name, r.owner))
            return refused(QStringLiteral("利用者 %1 が見つかりません。").arg(name));
    }
    if (args.size() != 3 ||
        (args[0] != UpdateKindArg(UpdateKind::Program) && args[0] != UpdateKindArg(UpdateKind::Tables)))
        return refused(
            QStringLiteral(
                "使い方: %1 [--user=<利用者名>] program|tables <更新ファイル> <プログラムのフォルダー>")
                .arg(QLatin1String(kUpdaterName)));
    r.kind = args[0] == UpdateKindArg(UpdateKind::Program) ? UpdateKind::Program : UpdateKind::Tables;
    r.archive = args[1];
    r.self = QFileInfo(selfFolder).canonicalFilePath();
    const QString target = QFileInfo(args[2]).canonicalFilePath();
    if (r.self.isEmpty() || target.isEmpty() ||
        (target != r.self && target + QLatin1Char('/') != ProgramFoldersOf(r.self).root))
        return refused(QStringLiteral("更新先 %1 はこの更新プログラムのフォルダー %2 ではありません。")
                           .arg(args[2], selfFolder));
    // The program folder: the installer lies in a version of it, or (earlier layout) in it.
    r.root = ProgramFoldersOf(r.self).root;
    r.flat = r.root == r.self + QLatin1Char('/');
    return {};
}

// The archive (found in the update folder) and its checksum copied into the stage, and the copy checked
// against the checksum: the installer's own copy, which nobody else can change later. copy: its
// path.
TStepError copyArchive(const TRequest& r, const QString& archive, const QString& stage, QString& copy)
{
    const QString sumPath = archive + QLatin1String(kChecksumSuffix);
    const auto unreadable = [](const QString& path, const QString& why) {
        return badArchive(
            QStringLiteral("更新ファイルかそのチェックサムが読めません。\n%1\n%2").arg(path, why));
    };
    QString why;
    const int in = openOwnFile(archive, r.owner, ReadKind::Archive, why);
    if (in < 0) return unreadable(archive, why);
    copy = stage + QStringLiteral("archive.zip");
    const TBlockCopy copied = CopyToNewFile(in, copy, kMaxUpdateBytes);
    ::close(in);
    if (copied.outcome == TBlockCopy::WriteFailed)
        return failed(QStringLiteral("%1 に書き込めません。%2").arg(r.self, SystemReason(copied.err)));
    if (!copied.ok()) return unreadable(archive, SystemReason(copied.err));
    const int sumFd = openOwnFile(sumPath, r.owner, ReadKind::Checksum, why);
    if (sumFd < 0) return unreadable(sumPath, why);
    QFile sumFile;
    sumFile.open(sumFd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    const QByteArray sum = sumFile.read(kMaxChecksumBytes + 1);
    if (sum.size() > kMaxChecksumBytes) return unreadable(sumPath, QStringLiteral("大きすぎます。"));
    const QByteArray want = ChecksumOfLine(sum);
    if (want.isEmpty() || Sha256OfFile(copy) != want)
        return badArchive(QStringLiteral("更新ファイルのチェックサムが一致しません。"));
    return {};
}

// The archive unpacked into staged, and what it holds checked for an archive of kind. files: the
// files unpacked, relative to staged.
TStepError unpack(UpdateKind kind, const QString& copy, const QString& staged, QStringList& files)
{
    TUnzipLimits limits;
    limits.maxEntries = kMaxUpdateEntries;
    switch (UnzipFile(copy, staged, QString(), limits)) {
        case kZipOk:
            break;
        case kZipTooLarge:
            return badArchive(QStringLiteral("更新ファイルの中のファイルが多すぎるか、大きすぎます。"));
        default:
            return badArchive(QStringLiteral("更新ファイルが壊れています。"));
    }
    files = filesBelow(staged);
    if (files.isEmpty()) return badArchive(QStringLiteral("更新ファイルが空です。"));
    if (const QString why = contentProblem(kind, staged, files); !why.isEmpty()) return badArchive(why);
    return {};
}

// The swap to the version built in stage ("version/"), named name in versions: "current" to the
// new version first, then, where missing, the links of the program folder that lead through it:
// the program and the installer (how they are started), then the other names of the version (read
// by an earlier layout's paths). A program file of the earlier layout goes by the rename that puts
// the link in its place; its help folder first goes aside. The data beside them is never replaced.
TStepError planSwitch(const TRequest& r, const QString& stage, const QStringList& all, const QString& name,
                      TSwapJournal& journal)
{
    const QString versions = r.root + ProgramVersionsName + QLatin1Char('/');
    const QString cannotWrite = QStringLiteral("%1 に書き込めません。").arg(stage);
    if (!QFileInfo::exists(versions.chopped(1))) journal.folders << native(versions.chopped(1));
    journal.place(stage + QStringLiteral("version/"), versions + name);
    journal.replace(stage + QStringLiteral("link"), r.root + ProgramCurrentName);
    if (::symlink(native(ProgramVersionsName + QLatin1Char('/') + name).constData(),
                  native(stage + QStringLiteral("link")).constData()) != 0)
        return failed(cannotWrite);
    QStringList tops{QLatin1String(kProgramName), QLatin1String(kUpdaterName)};
    for (const QString& f : all)
        if (!tops.contains(f.section(u'/', 0, 0))) tops << f.section(u'/', 0, 0);
    const QStringList programNames =
        QStringList{QLatin1String(kProgramName), QLatin1String(kUpdaterName)} + tableNames();
    for (const QString& top : tops) {
        const QString at = r.root + top, target = ProgramCurrentName + QLatin1Char('/') + top;
        struct stat st {};
        const bool there = ::lstat(native(at).constData(), &st) == 0;
        if (there && S_ISLNK(st.st_mode) && QFile::symLinkTarget(at) == r.root + target) continue;
        const bool flatHelp = r.flat && there && S_ISDIR(st.st_mode) && top == QStringLiteral("help");
        if (there && !S_ISLNK(st.st_mode) && !flatHelp &&
            !(S_ISREG(st.st_mode) && programNames.contains(top)))
            continue;
        const QString made = stage + QStringLiteral("link.") + top;
        if (::symlink(native(target).constData(), native(made).constData()) != 0) return failed(cannotWrite);
        if (flatHelp) {
            journal.steps.push_back({'A', native(at), native(stage + QStringLiteral("old.help"))});
            journal.place(made, at);
        } else {
            journal.replace(made, at);
        }
    }
    return {};
}

// The journalled swap run; a swap that could be neither finished nor undone is left to the next
// run.
TStepError runSwitch(const QString& stage, const TSwapJournal& journal, const QString& root,
                     const QString& name)
{
    try {
        const TSwapRun run = SwapStaged(stage, journal, installSwap());
        if (run.outcome == TSwapRun::Undone)
            return failed(QStringLiteral("%1 を置き換えられません。%2").arg(run.path, SystemReason(run.err)));
        if (run.outcome == TSwapRun::Pending) {
            const bool switched = QFile::symLinkTarget(root + ProgramCurrentName) ==
                                  root + ProgramVersionsName + QLatin1Char('/') + name;
            return failed((switched
                               ? QStringLiteral("新しい版に切り替えましたが、%1 を置き換えられません。%2\n"
                                                "次にこの更新プログラムを実行した時に続きを行います。")
                               : QStringLiteral("%1 を置き換えられず、元に戻すこともできません。%2\n"
                                                "次にこの更新プログラムを実行した時に片付けます。"))
                              .arg(run.path, SystemReason(run.err)));
        }
    } catch (const AppError& e) {
        return failed(e.message());
    }
    return {};
}

// The update of the request: the archive copied and checked, unpacked and checked, the whole new
// version built beside the one in use, switched to by the one rename of "current", and the
// versions no longer in use removed.
TStepError install(const TRequest& r)
{
    const QString versions = r.root + ProgramVersionsName;
    struct stat st {};
    // The versions folder is the installer's own; anything else of that name (a link) is not
    // written through.
    if (::lstat(native(versions).constData(), &st) == 0 && (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()))
        return failed(
            QStringLiteral("%1 はこの更新プログラムが作ったフォルダーではありません。").arg(versions));
    QString why;
    const QString archive = archiveInUpdateFolder(r.archive, r.owner, why);
    if (archive.isEmpty()) return refused(why);
    const TStageFolder staging = makeStaging(r.root);
    if (!staging.ok())
        return failed(QStringLiteral("%1 に作業用フォルダーを作成できません。%2")
                          .arg(r.root, SystemReason(staging.error())));
    const QString stage = staging.path(), staged = stage + QStringLiteral("new/");
    QString copy;
    QStringList files, all;
    if (TStepError e = copyArchive(r, archive, stage, copy)) return e;
    if (TStepError e = unpack(r.kind, copy, staged, files)) return e;
    const QString current = r.flat ? r.root : r.root + ProgramCurrentName + QLatin1Char('/');
    if (TStepError e = buildVersion(staged, files, current, r.flat, stage + QStringLiteral("version/"), all))
        return e;
    const QString name = newVersionName(versions);
    TSwapJournal journal;
    if (TStepError e = planSwitch(r, stage, all, name, journal)) return e;
    if (TStepError e = runSwitch(stage, journal, r.root, name)) return e;
    removeUnused(r.root, name);
    return {};
}

}  // namespace

int RunUpdater(const QStringList& args, const QString& selfFolder, QString& error)
{
    TRequest request;
    TStepError e = readRequest(args, selfFolder, request);
    if (!e) {
        recoverInterrupted(request.root);
        e = install(request);
    }
    error = e.message;
    return e.exit;
}
