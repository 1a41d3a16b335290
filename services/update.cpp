// The update downloads (through the one HTTP transfer of the version file), their checksums, the
// update folder, and the hand-over to the installer.
#include "services/update.h"

#include <pwd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <atomic>
#include <cerrno>
#include <memory>
#include <vector>

#include "payroll/paths.h"
#include "payroll/taxtable.h"
#include "platform/atomicfile.h"
#include "platform/beside.h"
#include "platform/errors.h"
#include "platform/filetree.h"
#include "platform/notice.h"
#include "platform/readfile.h"
#include "services/webcheck.h"
#include "services/zip.h"

namespace {

// Where a transfer's bytes go: a file or memory, never more than cap bytes.
struct Sink {
    QFile* file = nullptr;
    QByteArray* memory = nullptr;
    qint64 cap = 0;
    bool showProgress = false;
    long speedWindowSeconds = kDownloadSpeedWindowSeconds;
    QString writeError;  // why the file could not take a block (a full disk ...)
    bool cancelled = false;
};

// GET of url into sink; an empty text when every byte arrived with a 2xx answer, else why not.
// A download may take its time as long as it keeps a minimum average speed. The transfer runs on a
// thread of its own while this one turns the event loop: the windows are painted and the download
// panel takes the window system's input (its 中止) however long the server takes. The panel is
// modal, so no other window takes input meanwhile.
QString fetch(const QString& url, Sink& sink)
{
    THttpLimits limits;
    limits.totalSeconds = 0;
    limits.lowSpeedBytes = kMinDownloadBytesPerSecond;
    limits.lowSpeedSeconds = sink.speedWindowSeconds;
    limits.maxBytes = sink.cap;
    // What the transfer thread tells and is told.
    std::atomic<qint64> total{-2}, now{0};
    std::atomic<bool> stop{false};
    const THttpSink to{[&sink](const char* data, qint64 size) {
                           if (!sink.file) {
                               sink.memory->append(data, qsizetype(size));
                               return true;
                           }
                           errno = 0;
                           if (sink.file->write(data, size) == size) return true;
                           const int err = errno;
                           sink.writeError = err ? SystemReason(err) : FileWriteReason(*sink.file);
                           return false;
                       },
                       [&](qint64 t, qint64 n) {
                           total = t;
                           now = n;
                           return !stop;
                       }};
    QString e;
    qint64 shownTotal = -2;
    const auto reflect = [&] {
        if (sink.showProgress && total != -2) {
            if (total != shownTotal) SetNoticeProgressMaximum(shownTotal = total);
            SetNoticeProgressPosition(now);
        }
        if (NoticeCancelled()) stop = true;
    };
    RunBesideEventLoop([&] { e = HttpTransfer(url, limits, to); }, reflect);
    reflect();
    sink.cancelled = stop && !e.isEmpty();
    if (!sink.writeError.isEmpty())
        return QStringLiteral("%1 に書き込めません。\r%2").arg(sink.file->fileName(), sink.writeError);
    return e;
}

FolderWritableCheck& writableCheck()
{
    static FolderWritableCheck c;
    return c;
}

bool folderWritable(const QString& folder)
{
    if (writableCheck()) return writableCheck()(folder);
    return ::access(QFile::encodeName(folder).constData(), W_OK) == 0;
}

// A word for a POSIX shell.
QString shellQuote(const QString& s)
{
    QString q = s;
    q.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

struct RunResult {
    bool started = false;
    int exitCode = -1;
    bool crashed = false;
    QString errorText;
};

// Runs program to its end; the windows stay drawn meanwhile (pkexec may wait for a password).
RunResult runToEnd(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(program, args);
    RunResult r;
    r.started = p.waitForStarted(10000);
    if (!r.started) {
        r.errorText = QStringLiteral("%1 を起動できませんでした。").arg(QFileInfo(program).fileName());
        return r;
    }
    p.closeWriteChannel();
    while (!p.waitForFinished(50)) {
        if (p.state() == QProcess::NotRunning) break;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    r.crashed = p.exitStatus() != QProcess::NormalExit;
    r.exitCode = p.exitCode();
    r.errorText = QString::fromUtf8(p.readAllStandardError()).trimmed();
    return r;
}

// Whether a table archive holds only table files each of an older published date than the one
// installed: the installer would keep every installed file and change nothing. The tables (a few
// hundred kilobytes) are unpacked into a private folder beside the archive and that folder removed
// again; an archive of anything else is left to the installer.
bool installedTablesNewer(const QString& archive)
{
    const QStringList tables{TaxTableKyuyoName, TaxTableSyoyoName, KenhoTableName, KenRituName};
    const QStringList entries = ZipEntryNames(archive);
    if (entries.isEmpty()) return false;
    for (const QString& e : entries)
        if (!tables.contains(e)) return false;
    // Removed with everything in it when this ends, never through a link.
    const TStageFolder stage(QFileInfo(archive).absolutePath(), QStringLiteral("tables"));
    if (!stage.ok()) return false;
    const QString unpacked = stage.path();
    TUnzipLimits limits;
    limits.maxTotal = limits.maxEntry = qint64(16) << 20;
    limits.maxEntries = kMaxUpdateEntries;
    bool newer = UnzipFile(archive, unpacked, QString(), limits) == kZipOk;
    for (const QString& f : entries)
        newer = newer && QFileInfo(unpacked + f).isFile() &&
                OlderTableDate(TableFileDate(unpacked + f), TableFileDate(TablePath + f));
    return newer;
}

}  // namespace

QString UpdateKindArg(UpdateKind kind)
{
    return kind == UpdateKind::Program ? QStringLiteral("program") : QStringLiteral("tables");
}

QString UpdateFolder(const QString& of)
{
    const QString root = of.isEmpty() ? DataRoot : of;
    if (root.isEmpty()) return {};
    return WithSlash(root) + QStringLiteral("Update/");
}

void ClearUpdateFolder(const QString& root)
{
    const QString folder = UpdateFolder(root);
    if (folder.isEmpty()) return;
    // A link in place of the folder is removed, never followed.
    RemoveTree(folder, TreeOwner::Mine);
}

QByteArray Sha256OfFile(const QString& path)
{
    QFile f;
    QString reason;
    if (!OpenReadFile(f, path, ReadKind::Archive, reason)) return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    if (!h.addData(&f) || f.error() != QFileDevice::NoError) return {};
    return h.result().toHex();
}

QByteArray ChecksumOfLine(const QByteArray& text)
{
    const QByteArray t = text.trimmed();
    if (t.size() < 64 || (t.size() > 64 && !QChar::isSpace(uchar(t[64])))) return {};
    const QByteArray sum = t.left(64).toLower();
    for (const char c : sum)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return {};
    return sum;
}

TDownload DownloadArchive(const QString& url, const QString& name, long speedWindowSeconds)
{
    TDownload d;
    const QString folder = UpdateFolder();
    if (folder.isEmpty() || !MakePrivateFolder(folder)) {
        d.Error = QStringLiteral("更新用のフォルダー %1 を作成できません。").arg(folder);
        return d;
    }
    const QString file = folder + name, part = file + QStringLiteral(".part"),
                  sumFile = file + QLatin1String(kChecksumSuffix);
    const auto failed = [&](const QString& why) {
        for (const QString& f : {part, file, sumFile}) QFile::remove(f);
        d.Error = why;
        return d;
    };
    // A fault of this computer (a full disk ...) is told with its reason: the server is not to blame.
    const auto localFault = [&](const QString& why) {
        d.LocalFault = true;
        return failed(why);
    };
    for (const QString& f : {part, file, sumFile}) QFile::remove(f);

    QByteArray sumText;
    Sink sums;
    sums.memory = &sumText;
    sums.cap = kMaxChecksumBytes;
    sums.speedWindowSeconds = speedWindowSeconds;
    if (const QString e = fetch(url + QLatin1String(kChecksumSuffix), sums); !e.isEmpty()) {
        d.Cancelled = sums.cancelled;
        return failed(e);
    }
    const QByteArray want = ChecksumOfLine(sumText);
    if (want.isEmpty()) return failed(QStringLiteral("チェックサムのファイルが正しくありません。"));

    QFile out(part);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return localFault(QStringLiteral("%1 を作成できません。\r%2").arg(part, FileWriteReason(out)));
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    Sink body;
    body.file = &out;
    body.cap = kMaxUpdateBytes;
    body.showProgress = true;
    body.speedWindowSeconds = speedWindowSeconds;
    const QString e = fetch(url, body);
    d.Cancelled = body.cancelled;
    if (!e.isEmpty()) return body.writeError.isEmpty() ? failed(e) : localFault(e);
    // Whatever the buffer still holds goes to the disk now (a full disk shows here at the latest);
    // CommitFileAtomic syncs the archive before its rename.
    errno = 0;
    if (!out.flush()) {
        const int err = errno;
        return localFault(QStringLiteral("%1 に書き込めません。\r%2")
                              .arg(part, err ? SystemReason(err) : FileWriteReason(out)));
    }
    out.close();
    if (Sha256OfFile(part) != want) return failed(QStringLiteral("チェックサムが一致しません。"));
    // Unpacked once on trial, into a fresh folder removed again at once: every entry must read
    // back whole and stay inside its folder, and there are no more entries than the installer takes
    // (an archive it would refuse is refused here, quickly).
    int z = kZipFailed;
    {
        const TStageFolder probe(folder, QStringLiteral("check"));
        TUnzipLimits limits;
        limits.maxEntries = kMaxUpdateEntries;
        if (probe.ok()) z = UnzipFile(part, probe.path(), QString(), limits);
    }
    if (z != kZipOk) return failed(QStringLiteral("圧縮ファイルが壊れています。"));
    try {
        WriteFileAtomic(sumFile, sumText, QStringLiteral("チェックサムの保存"));
        CommitFileAtomic(part, file, QStringLiteral("更新ファイルの保存"));
    } catch (const AppError& err) {
        return localFault(err.message());
    }
    d.Ok = true;
    d.File = file;
    return d;
}

FolderWritableCheck SetFolderWritableCheck(FolderWritableCheck check)
{
    FolderWritableCheck old = std::move(writableCheck());
    writableCheck() = std::move(check);
    return old;
}

QString AdminCommand(UpdateKind kind, const QString& archive)
{
    // The command names this user, so that it works from a root shell as well as through sudo.
    passwd pw{}, *found = nullptr;
    std::vector<char> buf(16384);
    const QString user = ::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found
                             ? QString::fromLocal8Bit(found->pw_name)
                             : QString::number(::getuid());
    return QStringLiteral("%1 %2 %3 %4 %5")
        .arg(shellQuote(TablePath + QLatin1String(kUpdaterName)),
             shellQuote(QStringLiteral("--user=") + user), UpdateKindArg(kind), shellQuote(archive),
             shellQuote(TablePath));
}

TInstall InstallArchive(UpdateKind kind, const QString& archive)
{
    TInstall t;
    const QString updater = TablePath + QLatin1String(kUpdaterName);
    if (!QFileInfo(updater).isExecutable()) {
        t.Message = QStringLiteral("更新用のプログラム %1 が見つかりません。").arg(updater);
        return t;
    }
    if (kind == UpdateKind::Tables && installedTablesNewer(archive)) {
        t.Outcome = InstallOutcome::NothingNewer;
        t.Message = QStringLiteral(
            "インストールされているデータファイルの方が公開中のものより新しいため、\r"
            "データファイルは更新しませんでした。");
        return t;
    }
    const QStringList args{UpdateKindArg(kind), archive, TablePath};
    RunResult r;
    // The installer writes the program folder, not the version folder of the tables.
    if (folderWritable(ProgramFoldersOf(TablePath).root)) {
        r = runToEnd(updater, args);
    } else {
        // Administrator rights for the installer alone; the window program stays this user's.
        const QString pkexec = QStandardPaths::findExecutable(QStringLiteral("pkexec"));
        const QString needsAdmin =
            QStringLiteral(
                "この更新には管理者の権限が必要です。\r"
                "管理者として次のコマンドを実行してから、給与計算PelmoraSを起動し直して下さい。\r\r%1")
                .arg(AdminCommand(kind, archive));
        if (pkexec.isEmpty()) {
            t.Outcome = InstallOutcome::NeedsAdmin;
            t.Message = needsAdmin;
            return t;
        }
        r = runToEnd(pkexec, QStringList{updater} + args);
        if (r.started && !r.crashed && (r.exitCode == 126 || r.exitCode == 127)) {
            // pkexec answers 127 also when no authentication agent could ask for the password.
            if (r.errorText.contains(QStringLiteral("authentication agent"), Qt::CaseInsensitive)) {
                t.Outcome = InstallOutcome::NeedsAdmin;
                t.Message = needsAdmin;
            } else {
                t.Outcome = InstallOutcome::NotAuthorized;
                t.Message = QStringLiteral("管理者の認証が得られなかったため、更新しませんでした。");
            }
            return t;
        }
    }
    if (r.started && !r.crashed && r.exitCode == kUpdaterOk) {
        t.Outcome = InstallOutcome::Installed;
        return t;
    }
    if (r.started && !r.crashed && r.exitCode == kUpdaterBadArchive) {
        t.Outcome = InstallOutcome::BadArchive;
        t.Message = r.errorText;
        return t;
    }
    t.Message =
        QStringLiteral("更新を組み込めませんでした。元のファイルはそのままです。\r%1").arg(r.errorText);
    return t;
}
