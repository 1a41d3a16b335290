// The cloud backup against a pyftpdlib server on 127.0.0.1: backup, restore and delete of two
// company data sets, the server settings kept out of both, and the failures that must leave the
// server's archive, the backup date and the local data as they were.
#include "services/cloud.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>

#include "payroll/password.h"
#include "payroll/paths.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"
#include "services/ui/TfmCloud.h"
#include "services/zip.h"
#include "tests/app/appfixture.h"
#include "tests/services/ftpserver.h"

namespace {

class CloudTest : public CoreTest {
  protected:
    QString root, remote;
    std::unique_ptr<FtpServer> ftp;
    QByteArray year;  // incompressible, so that transfers take several progress calls

    void SetUp() override
    {
        CoreTest::SetUp();
        root = dir() + u("root/");
        remote = dir() + u("srv/Backup/Pelmora/");
        QDir().mkpath(dir() + u("srv"));
        ftp = std::make_unique<FtpServer>(dir() + u("srv"));
        ASSERT_NE(ftp->port(), 0);
        DataRoot = root;
        DataPath = root + u("Data2/");
        QDir().mkpath(DataPath);
        QDir().mkpath(root + u("Data2_a"));
        QRandomGenerator random(20261207);
        for (int i = 0; i < 400000; ++i) year += char(random.bounded(256));
        WriteAll(DataPath + u("令和08年給与･賞与.dat"), year);
        WriteAll(root + u("Data2_a/令和08年給与･賞与.dat"), "set a");
        SysIniFileName = root + u("Tolvane.ini");
        WriteAll(SysIniFileName,
                 "[CorpData]\r\nCount=2\r\n[Mail]\r\nServer=smtp.example.jp\r\nPassword=smtp1\r\n");
        WriteAll(root + u("Tolvane_a.ini"), "[Option]\r\n");
        // The second set is open: the backup must still take every set from the data root.
        IniFileName = root + u("Tolvane_a.ini");
        WritePassword(pmCloud, u("秘密pw"));
        WriteAll(CloudServerFileName(),
                 QStringLiteral("[Server]\r\nHost=127.0.0.1\r\nPort=%1\r\nUser=kyuyo\r\n"
                                "Password=pw\r\nFolder=/Backup/Pelmora/\r\n")
                     .arg(ftp->port())
                     .toLatin1());
    }
    void TearDown() override
    {
        ftp.reset();
        CoreTest::TearDown();
    }
    QString key() { return CloudUserKey(); }
};

TEST_F(CloudTest, BackupRestoreAndDeleteKeepTheServerSettingsOutOfBoth)
{
    const QString k = key();
    EXPECT_EQ(k.size(), 16);
    EXPECT_EQ(key(), k);  // made once
    EXPECT_EQ(FileMode(CloudServerFileName()), 0600);
    const QByteArray serverIni = ReadAll(CloudServerFileName());

    ScriptedMsgBox box;
    box.answer(MsgResult::Yes);
    ASSERT_TRUE(CloudBackup(false));
    EXPECT_EQ(box.shown().front().text, u("クラウドにバックアップを行いますか？"));
    EXPECT_EQ(box.lastText(), u("バックアップ完了"));
    const QString date = CloudBackupDate();
    QDir().mkpath(dir() + u("got"));
    ASSERT_EQ(UnzipFile(remote + k + u(".zip"), dir() + u("got"), u("秘密pw")), kZipOk);
    const IniFile inZip(dir() + u("got/Pelmora_Temp/Tolvane.ini"));
    EXPECT_EQ(inZip.readString(u("Mail"), u("Server")), u("smtp.example.jp"));
    EXPECT_FALSE(inZip.valueExists(u("Mail"), u("Password")));  // the SMTP password stays here
    EXPECT_EQ(ReadAll(remote + k + u(".inf")), date.toLatin1() + "\r\n");
    QStringList names = ZipEntryNames(remote + k + u(".zip"));
    names.sort();
    EXPECT_EQ(names,
              QStringList({u("Pelmora_Temp/Data2_a/令和08年給与･賞与.dat"), u("Pelmora_Temp/Tolvane.ini"),
                           u("Pelmora_Temp/Tolvane_a.ini"), u("Pelmora_Temp/令和08年給与･賞与.dat")}));

    // The data changes, the server settings too; the restore gives the data back, not the settings.
    WriteAll(DataPath + u("令和08年給与･賞与.dat"), "changed");
    WriteAll(CloudServerFileName(), serverIni + "; kept\r\n");
    IniFile ini(SysIniFileName);
    ini.writeQuoted(u("Mail"), u("Password"), u(" new pw "));
    ini.save();
    box.clear();
    box.answer(MsgResult::Yes);
    ASSERT_TRUE(CloudRestore());
    EXPECT_EQ(box.shown().front().text,
              u("クラウドのデータ(%1)で復元を行いますか？\r復元を行うと現在の設定内容と給与/"
                "賞与データは上書きされます。")
                  .arg(date));
    EXPECT_EQ(box.lastText(),
              u("クラウドのデータで復元しました。\r復元を有効にする為、給与計算PelmoraSを終了します。"));
    EXPECT_EQ(ReadAll(DataPath + u("令和08年給与･賞与.dat")), year);
    EXPECT_EQ(ReadAll(CloudServerFileName()), serverIni + "; kept\r\n");
    EXPECT_EQ(IniFile(SysIniFileName).readBytes(u("Mail"), u("Password")), " new pw ");

    box.clear();
    box.answer(MsgResult::Yes);
    ASSERT_TRUE(CloudDeleteData());
    EXPECT_EQ(box.lastText(), u("クラウドのデータを削除しました。"));
    EXPECT_TRUE(QDir(remote).entryList(QDir::Files).isEmpty());
    box.answer(MsgResult::Yes);
    EXPECT_FALSE(CloudDeleteData());
    EXPECT_EQ(box.lastText(), u("クラウドにデータが有りません。"));
}

TEST_F(CloudTest, FailedBackupsLeaveTheArchiveAndTheDate)
{
    const QString k = key();
    ScriptedMsgBox box;
    ASSERT_TRUE(CloudBackup(true));  // automatic: nothing asked, nothing said
    EXPECT_TRUE(box.shown().empty());
    const QByteArray archive = ReadAll(remote + k + u(".zip"));
    IniFile ini(SysIniFileName);
    ini.writeString(u("Cloud"), u("BackupDate"), u("2026/01/02 03:04"));
    ini.save();
    WriteAll(DataPath + u("令和08年給与･賞与.dat"), year + "x");

    // A cancelled upload; then an info file the server cannot take (a folder of its name).
    const auto cancel = [](qint64 done, qint64) { return done < 100000; };
    ASSERT_FALSE(CloudBackup(true, cancel));
    EXPECT_EQ(box.lastText(), u("転送を中止しました。"));
    EXPECT_EQ(ReadAll(remote + k + u(".zip")), archive);
    EXPECT_EQ(CloudBackupDate(), u("2026/01/02 03:04"));
    QFile::remove(remote + k + u(".inf"));
    QDir().mkpath(remote + k + u(".inf"));
    ASSERT_FALSE(CloudBackup(true));
    EXPECT_TRUE(box.lastText().startsWith(u("バックアップ日付ファイルのアップロードに失敗しました。")))
        << box.lastText();
    EXPECT_EQ(CloudBackupDate(), u("2026/01/02 03:04"));

    // A step before the upload that fails is named, also in the automatic backup.
    const QByteArray uploaded = ReadAll(remote + k + u(".zip"));
    ASSERT_TRUE(QFile::link(dir() + u("missing"), DataPath + u("壊れた.dat")));
    EXPECT_FALSE(CloudBackup(true));
    EXPECT_TRUE(box.lastText().startsWith(u("一時ワークへのバックアップ失敗\r"))) << box.lastText();
    EXPECT_EQ(ReadAll(remote + k + u(".zip")), uploaded);
    EXPECT_EQ(CloudBackupDate(), u("2026/01/02 03:04"));

    // Without a password the server is not touched.
    WritePassword(pmCloud, QString());
    QDir(dir() + u("srv/Backup")).removeRecursively();
    EXPECT_FALSE(CloudBackup(true));
    EXPECT_EQ(box.lastText(), u("｢圧縮時のパスワード｣は安全の為、必ず設定して下さい。"));
    EXPECT_FALSE(QFileInfo::exists(dir() + u("srv/Backup")));
}

TEST_F(CloudTest, FailedRestoresLeaveTheData)
{
    const QString k = key();
    ScriptedMsgBox box;
    ASSERT_TRUE(CloudBackup(true));
    WriteAll(DataPath + u("令和08年給与･賞与.dat"), "now");
    const auto dataUnchanged = [&] { EXPECT_EQ(ReadAll(DataPath + u("令和08年給与･賞与.dat")), "now"); };

    // A download broken after the user agreed is reported.
    box.answer(MsgResult::Yes);
    EXPECT_FALSE(CloudRestore([](qint64 done, qint64 total) { return total < 1000 || done < 50000; }));
    EXPECT_EQ(box.lastText(), u("転送を中止しました。"));
    dataUnchanged();

    // Another password; then an archive of ours that does not hold the work folder.
    WritePassword(pmCloud, u("別のpw"));
    box.answer(MsgResult::Yes);
    EXPECT_FALSE(CloudRestore());
    EXPECT_EQ(box.lastText(), u("バックアップの解凍失敗（パスワード不一致？）"));
    dataUnchanged();
    QDir().mkpath(dir() + u("other"));
    WriteAll(dir() + u("other/Tolvane.ini"), "[CorpData]\r\n");
    ASSERT_EQ(ZipFolder(remote + k + u(".zip"), dir() + u("other"), u("別のpw")), kZipOk);
    box.answer(MsgResult::Yes);
    EXPECT_FALSE(CloudRestore());
    EXPECT_EQ(box.lastText(), u("バックアップの解凍失敗（パスワード不一致？）"));
    dataUnchanged();
}

using CloudWindowTest = WithForms<CloudTest>;

TEST_F(CloudWindowTest, WindowShowsTheKeyAndRefusesABadOne)
{
    // The main window takes the open set's settings file as the program-wide one when made.
    SysIniFileName = root + u("Tolvane.ini");
    DataRoot = root;
    const ScreenshotFont face;
    ShowActive(fmCloud);
    auto* edKey = child<QLineEdit>(fmCloud, "edUserKey");
    EXPECT_EQ(edKey->text(), key());
    EXPECT_EQ(child<QLabel>(fmCloud, "lbPassword")->text(), u("有り"));
    Screenshot(fmCloud, "cloud-backup.png");

    ScriptedMsgBox box;
    edKey->setText(u("ab-12"));
    child<QPushButton>(fmCloud, "sbBackup")->click();
    EXPECT_EQ(box.lastText(), u("ユーザーキーは半角英数字8～32文字で入力して下さい。"));
    EXPECT_FALSE(QFileInfo::exists(remote));

    // The key of another computer, typed in, names the files from then on.
    edKey->setText(u("otherpc12345"));
    box.answer(MsgResult::Yes);
    child<QPushButton>(fmCloud, "sbBackup")->click();
    EXPECT_EQ(box.lastText(), u("バックアップ完了"));
    EXPECT_TRUE(QFileInfo::exists(remote + u("OTHERPC12345.zip")));
    fmCloud->close();
}

}  // namespace
