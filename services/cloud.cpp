#include "services/cloud.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "payroll/datamanage.h"
#include "payroll/password.h"
#include "payroll/paths.h"
#include "platform/atomicfile.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"
#include "services/zip.h"

namespace {

const QString kCloud = QStringLiteral("Cloud");
const QString kNoData = QStringLiteral("クラウドにデータが有りません。");
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

// The private parent (0700, unique) of the work folder; removed with everything in it.
struct TWorkArea {
    QTemporaryDir parent{QDir::tempPath() + QStringLiteral("/pelmora-cloud-XXXXXX")};
    QString work() const { return parent.path() + QLatin1Char('/') + kCloudWorkFolder; }
    QString file(const QString& name) const { return parent.path() + QLatin1Char('/') + name; }
    bool ready() const { return parent.isValid() && MakePrivateFolder(work()); }
};

// The SMTP password stays on this computer: it is taken out of the archive's settings file, and a
// restore puts the local one (or none) into the settings file it brings.
const QString kMail = QStringLiteral("Mail");
const QString kMailPassword = QStringLiteral("Password");

void dropMailPassword(const QString& iniFile)
{
    IniFile ini(iniFile);
    ini.deleteKey(kMail, kMailPassword);
    if (ini.modified()) ini.save();
}

void keepMailPassword(const QString& restoredIni)
{
    if (!QFileInfo(restoredIni).isFile()) return;  // the restore refuses such a folder
    const IniFile local(SysIniFileName);
    IniFile ini(restoredIni);
    if (local.valueExists(kMail, kMailPassword))
        ini.writeBytes(kMail, kMailPassword, '"' + local.readBytes(kMail, kMailPassword) + '"');
    else
        ini.deleteKey(kMail, kMailPassword);
    if (ini.modified()) ini.save();
}

// The work folder without the SMTP password, packed into archive beside it.
int zipWork(const TWorkArea& area, const QString& archive, const QString& password)
{
    dropMailPassword(area.work() + QStringLiteral("/Tolvane.ini"));
    return ZipFolder(area.file(archive), area.work(), password);
}

QString transferError(const TFtpResult& r, const QString& failed)
{
    if (r.Cancelled) return QStringLiteral("転送を中止しました。");
    return failed + QStringLiteral("\r(%1)").arg(r.Error);
}

QString zipReason(int result)
{
    switch (result) {
        case kZipNoSource:
            return QStringLiteral("一時ワークのフォルダーがありません");
        case kZipEmptyFolder:
            return QStringLiteral("バックアップするファイルがありません");
        default:
            return QStringLiteral("圧縮ファイルを書き込めません");
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
    if (!server.Folder.endsWith(QLatin1Char('/'))) server.Folder.append(QLatin1Char('/'));
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

bool CloudBackup(bool automatic, const FtpProgress& progress)
{
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
    const QString oldDate = CloudBackupDate();
    const QString date = QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd hh:mm"));
    QString error;
    try {
        writeBackupDate(date);
        TWorkArea area;
        if (!area.ready()) {
            error = QStringLiteral("フォルダー作成に失敗しました");
        } else if (const TCopyResult copied = BackupToFolder(area.work()); !copied.ok) {
            error = QStringLiteral("一時ワークへのバックアップ失敗\r") + copied.reason;
        } else if (const int z = zipWork(area, key + QStringLiteral(".zip"), password); z != 0) {
            error = QStringLiteral("バックアップの圧縮に失敗しました。\r(%1)").arg(zipReason(z));
        } else if (const TFtpResult up = FtpUpload(server, area.file(key + QStringLiteral(".zip")),
                                                   key + QStringLiteral(".zip"), progress);
                   !up.Ok) {
            error = transferError(up, QStringLiteral("クラウドへのアップロードを中断しました。"));
        } else {
            // A restore starts from the info file: without it the backup is not usable.
            WriteFileAtomic(area.file(key + QStringLiteral(".inf")), date.toLatin1() + "\r\n",
                            QStringLiteral("バックアップ日付ファイル"));
            const TFtpResult inf = FtpUpload(server, area.file(key + QStringLiteral(".inf")),
                                             key + QStringLiteral(".inf"), progress);
            if (!inf.Ok)
                error = transferError(
                    inf, QStringLiteral("バックアップ日付ファイルのアップロードに失敗しました。"));
        }
    } catch (const AppError& e) {
        error = e.message();
    }
    if (!error.isEmpty()) {
        try {
            writeBackupDate(oldDate);
        } catch (const AppError&) {
        }
        ShowError(error);
        return false;
    }
    if (!automatic) ShowInfo(QStringLiteral("バックアップ完了"));
    return true;
}

bool CloudRestore(const FtpProgress& progress)
{
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
    const QString inf = area.file(key + QStringLiteral(".inf")),
                  zip = area.file(key + QStringLiteral(".zip"));
    if (FtpSize(server, key + QStringLiteral(".zip")) <= 0) {
        ShowError(kNoData);
        return false;
    }
    TFtpResult r = FtpDownload(server, key + QStringLiteral(".inf"), inf, progress);
    if (!r.Ok) {
        ShowError(transferError(r, QStringLiteral("クラウドからのダウンロードに失敗しました。")));
        return false;
    }
    QFile f(inf);
    const QString line =
        f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readLine(64)).trimmed() : QString();
    if (MessageDlg(
            QStringLiteral("クラウドのデータ(%1)で復元を行いますか？\r復元を行うと現在の設定内容と給与/"
                           "賞与データは上書きされます。")
                .arg(line),
            MsgType::Confirmation, MsgButtons::YesNo) != MsgResult::Yes)
        return false;
    r = FtpDownload(server, key + QStringLiteral(".zip"), zip, progress);
    if (!r.Ok) {
        ShowError(transferError(r, QStringLiteral("クラウドからのダウンロードに失敗しました。")));
        return false;
    }
    const QString prefix = kCloudWorkFolder + QLatin1Char('/');
    const QStringList names = ZipEntryNames(zip);
    const bool ours = !names.isEmpty() && std::all_of(names.begin(), names.end(),
                                                      [&](const QString& n) { return n.startsWith(prefix); });
    if (!ours || UnzipFile(zip, area.parent.path(), password) != 0) {
        ShowError(QStringLiteral("バックアップの解凍失敗（パスワード不一致？）"));
        return false;
    }
    TCopyResult restored;
    try {
        keepMailPassword(area.work() + QStringLiteral("/Tolvane.ini"));
        restored = RestoreFromFolder(area.work());
    } catch (const AppError& e) {
        restored = {false, e.message()};
    }
    if (!restored.ok) {
        ShowError(QStringLiteral("クラウドからの復元失敗\r") + restored.reason);
        return false;
    }
    ShowInfo(QStringLiteral(
        "クラウドのデータで復元しました。\r復元を有効にする為、給与計算PelmoraSを終了します。"));
    return true;
}

bool CloudDeleteData()
{
    if (MessageDlg(QStringLiteral("クラウドのデータを削除しますか？"), MsgType::Confirmation,
                   MsgButtons::YesNo) != MsgResult::Yes)
        return false;
    const TFtpServer server = ReadCloudServer();
    if (!serverReady(server)) return false;
    const QString key = CloudUserKey();
    if (FtpSize(server, key + QStringLiteral(".zip")) <= 0) {
        ShowError(kNoData);
        return false;
    }
    for (const QString& name : {key + QStringLiteral(".zip"), key + QStringLiteral(".inf")}) {
        const TFtpResult r = FtpDelete(server, name);
        if (!r.Ok) {
            ShowError(QStringLiteral("クラウドのデータを削除できませんでした。\r(%1)").arg(r.Error));
            return false;
        }
    }
    ShowInfo(QStringLiteral("クラウドのデータを削除しました。"));
    return true;
}
