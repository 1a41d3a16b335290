#include "services/cloud.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <cerrno>
#include <optional>

#include "payroll/datamanage.h"
#include "payroll/password.h"
#include "payroll/paths.h"
#include "platform/atomicfile.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/filetree.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"
#include "platform/readfile.h"
#include "services/zip.h"

namespace {

const QString kCloud = QStringLiteral("Cloud");
const QString kNoData = QStringLiteral("クラウドにデータが有りません。");
const QString kUploadStopped = QStringLiteral(
    "クラウドへのアップロードを中断しました。\r(ファイアウォールにブロックされてる場合、中断されます)");
const QString kNotConfigured = QStringLiteral(
    "バックアップ先のサーバーが設定されていません。\r%1 の [Server] に Host を設定して下さい。");

QString cloudPassword()
{
    return cp932::decode(ReadPassword(pmCloud));
}

bool serverReady(const TFtpServer& server)
{
    if (!server.Host.isEmpty()) return true;
    ShowError(kNotConfigured.arg(CloudServerFileName()));
    return false;
}

void writeBackupDate(const QString& date)
{
    IniFile ini(SysIniFileName);
    ini.writeString(kCloud, QStringLiteral("BackupDate"), date);
    ini.save();
}

// The private parent (0700, unique) of the work folder, in the data root: the copies in it are the
// user's data, kept out of the shared temporary folder. Removed with everything in it; what a
// stopped run left, the next start removes.
struct TWorkArea {
    TWorkArea()
        : stage(DataRoot.isEmpty()
                    ? std::nullopt
                    : std::optional<TStageFolder>(std::in_place, DataRoot, QStringLiteral("cloud")))
    {
    }
    QString path() const { return stage && stage->ok() ? stage->path().chopped(1) : QString(); }
    QString work() const { return stage->path() + kCloudWorkFolder; }
    QString file(const QString& name) const { return stage->path() + name; }
    bool ready() const { return stage && stage->ok() && MakeFolder(work()); }
    std::optional<TStageFolder> stage;
};

// The message of an exchange that failed: a connection that failed, a folder or file that is not
// on the server (toServer: the upload's folder), a cancel, else failed with the reason.
QString transferError(const TFtpResult& r, const QString& failed, bool toServer = false)
{
    if (r.Cancelled) return QStringLiteral("転送を中止しました。");
    switch (r.Failure) {
        case FtpFailure::Connect:
            return QStringLiteral("サーバの接続に失敗しました\r(%1)").arg(r.Error);
        case FtpFailure::NoFolder:
            return toServer ? QStringLiteral("転送先が存在しません") : QStringLiteral("転送元が存在しません");
        case FtpFailure::NoFile:
            return kNoData;
        default:
            return failed + QStringLiteral("\r(%1)").arg(r.Error);
    }
}

// The archive on the server, or the message why there is none to take: "no data" only when the
// server answered that it is missing or empty.
TFtpResult archiveThere(const TFtpServer& server, const QString& name)
{
    TFtpResult r = FtpSize(server, name);
    if (r.Ok && r.Size == 0) r = {false, false, {}, FtpFailure::NoFile, 0};
    return r;
}

// Runs the public operation body; an error of the settings files on the way is shown.
bool reported(const std::function<bool()>& op)
{
    try {
        return op();
    } catch (const AppError& e) {
        ShowError(e.message());
        return false;
    }
}

QString zipReason(int result)
{
    switch (result) {
        case kZipNoSource:
            return QStringLiteral("一時ワークのフォルダーがありません");
        case kZipEmptyFolder:
            return QStringLiteral("バックアップするファイルがありません");
        case kZipDiskFull:
            return SystemReason(ENOSPC);
        default:
            return QStringLiteral("圧縮ファイルを書き込めません");
    }
}

// Why an archive did not unpack; nothing of the data was changed then.
QString unzipFailure(int result)
{
    switch (result) {
        case kZipWrongPassword:
            return QStringLiteral("バックアップの解凍失敗（パスワード不一致？）");
        case kZipTooLarge:
            return QStringLiteral("バックアップの解凍失敗（展開後の大きさが上限を超えるため中止しました）");
        case kZipDiskFull:
            return QStringLiteral("バックアップの解凍失敗\r(%1)").arg(SystemReason(ENOSPC));
        default:
            return QStringLiteral("バックアップの解凍失敗（圧縮ファイルが壊れています）");
    }
}

}  // namespace

QString CloudServerFileName()
{
    return QFileInfo(SysIniFileName).absolutePath() + QStringLiteral("/CloudServer.ini");
}

TFtpServer ReadCloudServer()
{
    const IniFile ini(CloudServerFileName());
    const QString s = QStringLiteral("Server");
    TFtpServer server;
    server.Host = ini.readString(s, QStringLiteral("Host"));
    server.Port = ini.readInteger(s, QStringLiteral("Port"), 21);
    server.User = ini.readString(s, QStringLiteral("User"));
    server.Password = ini.readString(s, QStringLiteral("Password"));
    server.Folder = ini.readString(s, QStringLiteral("Folder"), QStringLiteral("/Backup/Pelmora/"));
    if (!server.Folder.startsWith(QLatin1Char('/'))) server.Folder.prepend(QLatin1Char('/'));
    server.Folder = WithSlash(server.Folder);
    return server;
}

bool IsValidUserKey(const QString& key)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z0-9]{8,32}$"));
    return re.match(key).hasMatch();
}

void WriteCloudUserKey(const QString& key)
{
    IniFile ini(CloudServerFileName());
    ini.writeString(kCloud, QStringLiteral("UserKey"), key.toUpper());
    ini.save();
    MakePrivateFile(CloudServerFileName());
}

QString CloudUserKey()
{
    const QString key = IniFile(CloudServerFileName()).readString(kCloud, QStringLiteral("UserKey"));
    if (IsValidUserKey(key)) return key.toUpper();
    // 16 characters without the look-alikes 0/O and 1/I, easy to type on another computer.
    static const char kChars[] = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    QString made;
    for (int i = 0; i < 16; ++i)
        made += QLatin1Char(kChars[QRandomGenerator::system()->bounded(int(sizeof kChars - 1))]);
    WriteCloudUserKey(made);
    return made;
}

QString CloudBackupDate()
{
    return IniFile(SysIniFileName).readString(kCloud, QStringLiteral("BackupDate"));
}

CloudTransfers TransfersWith(const FtpProgress& progress)
{
    return [progress](const CloudStep& step) { return step(progress); };
}

bool CloudBackup(bool automatic, const CloudTransfers& transfers,
                 const std::function<void(const QString& date)>& showDate)
{
    return reported([&] {
        const QString password = cloudPassword();
        if (password.isEmpty()) {
            ShowWarning(QStringLiteral("｢圧縮時のパスワード｣は安全の為、必ず設定して下さい。"));
            return false;
        }
        if (!automatic && MessageDlg(QStringLiteral("クラウドにバックアップを行いますか？"),
                                     MsgType::Confirmation, MsgButtons::YesNo) != MsgResult::Yes)
            return false;
        const TFtpServer server = ReadCloudServer();
        if (!serverReady(server)) return false;
        const QString key = CloudUserKey();
        const QString zip = key + QStringLiteral(".zip"), inf = key + QStringLiteral(".inf");
        const QString oldDate = CloudBackupDate();
        const QString date = QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd hh:mm"));
        QString error;
        // The settings keep the date of the archive the server holds: the new date is written only
        // once the server has put the new archive in place, so that a backup stopped on the way (a
        // cancel, a failure, the program killed) leaves the earlier date.
        bool archiveUp = false;
        try {
            if (showDate) showDate(date);
            TWorkArea area;
            if (!area.ready()) {
                error = QStringLiteral("フォルダー作成に失敗しました");
            } else if (const TCopyResult copied = BackupToFolder(area.work()); !copied.ok) {
                error = QStringLiteral("一時ワークへのバックアップ失敗\r") + copied.reason;
            } else if (const int z = ZipFolder(area.file(zip), area.work(), password); z != 0) {
                error = QStringLiteral("バックアップの圧縮に失敗しました。\r(%1)").arg(zipReason(z));
            } else {
                // A restore starts from the info file: without it the backup is not usable.
                WriteFileAtomic(area.file(inf), date.toLatin1() + "\r\n",
                                QStringLiteral("バックアップ日付ファイル"));
                const TFtpResult r = transfers([&](const FtpProgress& progress) {
                    const TFtpResult up = FtpUpload(server, area.file(zip), zip, progress);
                    if (!up.Ok) return up;
                    archiveUp = true;
                    writeBackupDate(date);
                    // The new archive is in place: its date file follows, and a 中止 now would only
                    // leave the earlier date beside it.
                    return FtpUpload(server, area.file(inf), inf, [&progress](qint64 done, qint64 total) {
                        if (progress) progress(done, total);
                        return true;
                    });
                });
                if (!r.Ok && !archiveUp && !r.Cancelled && r.Failure == FtpFailure::Other)
                    error = kUploadStopped + u'\r' + r.Error;  // the reason on a line of its own
                else if (!r.Ok)
                    error = transferError(
                        r, QStringLiteral("バックアップ日付ファイルのアップロードに失敗しました。"), true);
            }
        } catch (const AppError& e) {
            error = e.message();
        }
        if (!error.isEmpty()) {
            if (!archiveUp && showDate) showDate(oldDate);
            ShowError(error);
            return false;
        }
        if (!automatic) ShowInfo(QStringLiteral("バックアップ完了"));
        return true;
    });
}

bool CloudRestore(const CloudTransfers& transfers)
{
    return reported([&] {
        const QString password = cloudPassword();
        if (password.isEmpty()) {
            ShowWarning(QStringLiteral("バックアップした時の｢圧縮時のパスワード｣を入力して下さい。"));
            return false;
        }
        const TFtpServer server = ReadCloudServer();
        if (!serverReady(server)) return false;
        const QString key = CloudUserKey();
        TWorkArea area;
        if (!area.ready()) {
            ShowError(QStringLiteral("フォルダー作成に失敗しました"));
            return false;
        }
        const QString zipName = key + QStringLiteral(".zip"), infName = key + QStringLiteral(".inf");
        const QString inf = area.file(infName), zip = area.file(zipName);
        const QString downloadFailed = QStringLiteral("クラウドからのダウンロードに失敗しました。");
        TFtpResult r = transfers([&](const FtpProgress& progress) {
            const TFtpResult there = archiveThere(server, zipName);
            // The info file is one line: a server sending more is not ours.
            return there.Ok ? FtpDownload(server, infName, inf, progress, 4096) : there;
        });
        if (!r.Ok) {
            ShowError(transferError(r, downloadFailed));
            return false;
        }
        QByteArray info;
        QString unread;
        const QString line = ReadWholeFile(inf, ReadKind::Checksum, info, unread)
                                 ? QString::fromLatin1(info.left(64).split('\n').first()).trimmed()
                                 : QString();
        if (MessageDlg(
                QStringLiteral("クラウドのデータ(%1)で復元を行いますか？\r復元を行うと現在の設定内容と給与/"
                               "賞与データは上書きされます。")
                    .arg(line),
                MsgType::Confirmation, MsgButtons::YesNo, MsgDefault::Safe) != MsgResult::Yes)
            return false;
        r = transfers(
            [&](const FtpProgress& progress) { return FtpDownload(server, zipName, zip, progress); });
        if (!r.Ok) {
            ShowError(transferError(r, downloadFailed));
            return false;
        }
        const QString prefix = kCloudWorkFolder + QLatin1Char('/');
        const QStringList names = ZipEntryNames(zip);
        const bool ours = !names.isEmpty() && std::all_of(names.begin(), names.end(), [&](const QString& n) {
            return n.startsWith(prefix);
        });
        if (const int z = ours ? UnzipFile(zip, area.path(), password) : kZipFailed; z != kZipOk) {
            ShowError(unzipFailure(z));
            return false;
        }
        // The restore keeps this computer's SMTP password and the server settings.
        const TCopyResult restored = RestoreFromFolder(area.work());
        if (restored.pending) {
            // Half swapped: the program ends, and its next start settles the swap.
            ShowError(restored.reason);
            return true;
        }
        if (!restored.ok) {
            ShowError(QStringLiteral("クラウドからの復元失敗\r") + restored.reason);
            return false;
        }
        ShowInfo(QStringLiteral(
            "クラウドのデータで復元しました。\r復元を有効にする為、給与計算PelmoraSを終了します。"));
        return true;
    });
}

bool CloudDeleteData(const CloudTransfers& transfers)
{
    return reported([&] {
        if (MessageDlg(QStringLiteral("クラウドのデータを削除しますか？"), MsgType::Confirmation,
                       MsgButtons::YesNo, MsgDefault::Safe) != MsgResult::Yes)
            return false;
        const TFtpServer server = ReadCloudServer();
        if (!serverReady(server)) return false;
        const QString key = CloudUserKey();
        const TFtpResult r = transfers([&](const FtpProgress&) {
            TFtpResult done = archiveThere(server, key + QStringLiteral(".zip"));
            for (const QString& name : {key + QStringLiteral(".zip"), key + QStringLiteral(".inf")})
                if (done.Ok) done = FtpDelete(server, name);
            return done;
        });
        if (!r.Ok) {
            ShowError(transferError(r, QStringLiteral("クラウドのデータを削除できませんでした。")));
            return false;
        }
        ShowInfo(QStringLiteral("クラウドのデータを削除しました。"));
        return true;
    });
}
