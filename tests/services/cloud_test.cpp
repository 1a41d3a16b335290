// The cloud backup against a pyftpdlib server on 127.0.0.1: backup, restore and delete of two
// company data sets, the server settings kept out of both, and the failures that must leave the
// server's archive, the backup date and the local data as they were.
#include "services/cloud.h"

#include <zip.h>

#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTimer>
#include <thread>

#include "payroll/password.h"
#include "payroll/paths.h"
#include "platform/atomicfile.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"
#include "platform/msgbox_qt.h"
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

// The plain copies of the data the backup zips are made in a private folder of the data root,
// never in the shared temporary folder, and are gone when it ends.
TEST_F(CloudTest, BackupWorksInAPrivateFolderOfTheDataRoot)
{
    const QString tmp = dir() + u("shared-tmp");
    QDir().mkpath(tmp);
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(tmp));
    QStringList during;
    int mode = -1;
    const CloudTransfers look = [&](const CloudStep& step) {
        during = QDir(DataRoot).entryList({u(".cloud*")}, QDir::Dirs | QDir::Hidden);
        if (!during.isEmpty()) mode = FileMode(DataRoot + during[0]);
        return step([](qint64, qint64) { return true; });
    };
    ScriptedMsgBox box;
    EXPECT_TRUE(CloudBackup(true, look));
    qputenv("TMPDIR", oldTmp);
    ASSERT_EQ(during.size(), 1);
    EXPECT_TRUE(IsTemporaryName(during[0])) << during[0];
    EXPECT_EQ(mode, 0700);
    EXPECT_TRUE(QDir(tmp).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    EXPECT_TRUE(QDir(DataRoot).entryList({u(".cloud*")}, QDir::Dirs | QDir::Hidden).isEmpty());
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
    const auto cancel = [](qint64, qint64) { return false; };
    ASSERT_FALSE(CloudBackup(true, TransfersWith(cancel)));
    EXPECT_EQ(box.lastText(), u("転送を中止しました。"));
    EXPECT_EQ(ReadAll(remote + k + u(".zip")), archive);
    // What arrived of the cancelled upload is gone from the server.
    EXPECT_EQ(QDir(remote).entryList(QDir::Files), (QStringList{k + u(".inf"), k + u(".zip")}));
    EXPECT_EQ(CloudBackupDate(), u("2026/01/02 03:04"));
    QFile::remove(remote + k + u(".inf"));
    QDir().mkpath(remote + k + u(".inf"));
    ASSERT_FALSE(CloudBackup(true));
    EXPECT_EQ(box.lastText(), u("バックアップ日付ファイルのアップロードに失敗しました。\r(サーバーで %1.inf "
                                "を置き換えられません。)")
                                  .arg(k));
    // The server holds the new archive: the date is the new backup's.
    EXPECT_NE(ReadAll(remote + k + u(".zip")), archive);
    EXPECT_TRUE(QDateTime::fromString(CloudBackupDate(), u("yyyy/MM/dd hh:mm")).isValid())
        << CloudBackupDate();
    EXPECT_NE(CloudBackupDate(), u("2026/01/02 03:04"));
    IniFile again(SysIniFileName);
    again.writeString(u("Cloud"), u("BackupDate"), u("2026/01/02 03:04"));
    again.save();
    // The archive's name taken by a folder on the server: the archive cannot be put in place.
    const QByteArray before = ReadAll(remote + k + u(".zip"));
    QFile::remove(remote + k + u(".zip"));
    QDir().mkpath(remote + k + u(".zip/x"));
    ASSERT_FALSE(CloudBackup(true));
    EXPECT_EQ(box.lastText(),
              u("クラウドへのアップロードを中断しました。\r(ファイアウォールにブロックされてる場合、中断さ"
                "れます)\rサーバーで %1.zip を置き換えられません。")
                  .arg(k));
    EXPECT_FALSE(QFileInfo::exists(remote + k + u(".zip.part")));
    EXPECT_EQ(CloudBackupDate(), u("2026/01/02 03:04"));
    QDir(remote + k + u(".zip")).removeRecursively();
    WriteAll(remote + k + u(".zip"), before);

    // A step before the upload that fails is named, also in the automatic backup.
    const QByteArray uploaded = ReadAll(remote + k + u(".zip"));
    ASSERT_TRUE(QFile::link(dir() + u("missing"), DataPath + u("壊れた.dat")));
    EXPECT_FALSE(CloudBackup(true));
    EXPECT_EQ(box.lastText(), u("一時ワークへのバックアップ失敗\rファイルの読み込みに失敗しました。\n") +
                                  DataPath + u("壊れた.dat\nシンボリックリンクなので読み込みません。"));
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
    EXPECT_FALSE(
        CloudRestore(TransfersWith([](qint64 done, qint64 total) { return total < 1000 || done < 50000; })));
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
    EXPECT_EQ(box.lastText(), u("バックアップの解凍失敗（圧縮ファイルが壊れています）"));
    dataUnchanged();

    // One byte of the archive on the server changed: damaged, and nothing is restored.
    ASSERT_TRUE(CloudBackup(true));
    QByteArray zip = ReadAll(remote + k + u(".zip"));
    zip[zip.size() / 3] = char(zip[zip.size() / 3] ^ 0x10);
    WriteAll(remote + k + u(".zip"), zip);
    box.answer(MsgResult::Yes);
    EXPECT_FALSE(CloudRestore());
    EXPECT_EQ(box.lastText(), u("バックアップの解凍失敗（圧縮ファイルが壊れています）"));
    dataUnchanged();

    // An archive of the work folder without the settings file: the restore refuses it.
    QDir().mkpath(dir() + u("Pelmora_Temp"));
    WriteAll(dir() + u("Pelmora_Temp/令和08年給与･賞与.dat"), "other");
    ASSERT_EQ(ZipFolder(remote + k + u(".zip"), dir() + u("Pelmora_Temp"), u("別のpw")), kZipOk);
    box.answer(MsgResult::Yes);
    EXPECT_FALSE(CloudRestore());
    EXPECT_EQ(box.lastText(), u("クラウドからの復元失敗\r指定された場所に「Tolvane.ini」がありません。"));
    dataUnchanged();

    // Without the info file there is nothing to restore from; a delete then stops at it.
    ASSERT_TRUE(QFile::remove(remote + k + u(".inf")));
    box.answer(MsgResult::Yes);
    EXPECT_FALSE(CloudRestore());
    EXPECT_EQ(box.lastText(), u("クラウドにデータが有りません。"));
    box.answer(MsgResult::Yes);
    EXPECT_FALSE(CloudDeleteData());
    EXPECT_EQ(
        box.lastText(),
        u("クラウドのデータを削除できませんでした。\r(サーバーが要求を拒否しました。（QUOT command failed "
          "with 550）)"));
    dataUnchanged();
}

// An archive put on the server in place of the backup (FTP without TLS lets anyone on the way do
// it), its settings file sending the update checks elsewhere: with the cloud password set, every
// entry must be encrypted with it, or nothing is restored. Either all its entries are in the
// clear, or the genuine archive carries one settings file in the clear beside its encrypted data.
TEST_F(CloudTest, ArchiveWithEntriesInTheClearIsRefused)
{
    const QString k = key(), zip = remote + k + u(".zip");
    ScriptedMsgBox box;
    ASSERT_TRUE(CloudBackup(true));
    const QByteArray genuine = ReadAll(zip);
    const QByteArray hostile = "[CorpData]\r\nCount=2\r\n[Web]\r\nBaseURL=http://127.0.0.2:8080/\r\n";
    WriteAll(DataPath + u("令和08年給与･賞与.dat"), "now");
    const QByteArray settings = ReadAll(SysIniFileName);
    const QString iniEntry = u("Pelmora_Temp/Tolvane.ini");
    enum Swap { AllInTheClear, SettingsInTheClear };
    for (const Swap swap : {AllInTheClear, SettingsInTheClear}) {
        SCOPED_TRACE(swap);
        if (swap == AllInTheClear) {
            const QString work = dir() + u("plain/Pelmora_Temp/");
            QDir().mkpath(work + u("Data2_a"));
            WriteAll(work + u("Tolvane.ini"), hostile);
            WriteAll(work + u("令和08年給与･賞与.dat"), "theirs");
            WriteAll(work + u("Data2_a/令和08年給与･賞与.dat"), "theirs");
            ASSERT_EQ(ZipFolder(zip, dir() + u("plain/Pelmora_Temp"), QString()), kZipOk);
        } else {
            WriteAll(zip, genuine);
            int err = 0;
            zip_t* za = zip_open(QFile::encodeName(zip).constData(), 0, &err);
            ASSERT_NE(za, nullptr);
            const zip_int64_t i = zip_name_locate(za, iniEntry.toUtf8().constData(), 0);
            ASSERT_GE(i, 0);
            zip_source_t* src = zip_source_buffer(za, hostile.constData(), zip_uint64_t(hostile.size()), 0);
            ASSERT_EQ(zip_file_replace(za, zip_uint64_t(i), src, 0), 0);
            ASSERT_EQ(zip_file_set_encryption(za, zip_uint64_t(i), ZIP_EM_NONE, nullptr), 0);
            ASSERT_EQ(zip_close(za), 0);
        }
        // What lies on the server: the settings file in the clear, the rest as the case has it.
        int err = 0;
        zip_t* za = zip_open(QFile::encodeName(zip).constData(), ZIP_RDONLY, &err);
        ASSERT_NE(za, nullptr);
        for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i) {
            zip_stat_t st;
            ASSERT_EQ(zip_stat_index(za, zip_uint64_t(i), 0, &st), 0);
            EXPECT_EQ(st.encryption_method == ZIP_EM_NONE,
                      swap == AllInTheClear || QString::fromUtf8(st.name) == iniEntry)
                << st.name;
        }
        zip_discard(za);

        box.answer(MsgResult::Yes);
        EXPECT_FALSE(CloudRestore());
        EXPECT_EQ(box.lastText(), u("バックアップの解凍失敗（パスワード不一致？）"));
        EXPECT_EQ(ReadAll(SysIniFileName), settings);
        EXPECT_EQ(ReadAll(DataPath + u("令和08年給与･賞与.dat")), "now");
        EXPECT_EQ(ReadAll(root + u("Data2_a/令和08年給与･賞与.dat")), "set a");
    }
    // The genuine archive put back restores.
    WriteAll(zip, genuine);
    box.answer(MsgResult::Yes);
    ASSERT_TRUE(CloudRestore());
    EXPECT_EQ(ReadAll(DataPath + u("令和08年給与･賞与.dat")), year);
    EXPECT_EQ(IniFile(SysIniFileName).readString(u("Web"), u("BaseURL")), QString());
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

class CloudWindow : public CloudWindowTest {
  protected:
    void SetUp() override
    {
        CloudWindowTest::SetUp();
        // The main window takes the open set's settings file as the program-wide one when made.
        SysIniFileName = root + u("Tolvane.ini");
        DataRoot = root;
    }
    // The window's button pressed, the questions answered with Yes; the last message shown.
    static QString press(const char* button)
    {
        ScriptedMsgBox box;
        box.answer(MsgResult::Yes);
        child<QPushButton>(fmCloud, button)->click();
        return box.lastText();
    }
    void useServer(int port, const char* password)
    {
        IniFile ini(CloudServerFileName());
        ini.writeInteger(u("Server"), u("Port"), port);
        ini.writeString(u("Server"), u("Password"), u(password));
        ini.save();
    }
};

// Every question and result of the window comes before or after a transfer, never under its
// progress box or wait cursor; the transfers themselves run with the box.
TEST_F(CloudWindow, QuestionsAndResultsAreNeverUnderTheProgressBox)
{
    ShowActive(fmCloud);
    bool ended = false;
    fmCloud->OnEndProgram = [&ended] { ended = true; };
    ScriptedMsgBox box;
    QStringList covered;
    const MsgHandler scripted = SetMsgHandler(nullptr);
    SetMsgHandler([&](const MsgShown& m) {
        if (fmCloud->findChild<QProgressDialog*>() || QApplication::overrideCursor()) covered << m.text;
        return scripted(m);
    });
    bool boxDuringTransfer = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        boxDuringTransfer = boxDuringTransfer || fmCloud->findChild<QProgressDialog*>(u("pdTransfer"));
    });
    watch.start(0);
    // Each message takes the next answer: Yes to the questions, OK to the results.
    for (MsgResult a : {MsgResult::Yes, MsgResult::Ok, MsgResult::Yes, MsgResult::Ok, MsgResult::Yes})
        box.answer(a);
    child<QPushButton>(fmCloud, "sbBackup")->click();
    const QString date = CloudBackupDate();
    WriteAll(DataPath + u("令和08年給与･賞与.dat"), "changed");
    child<QPushButton>(fmCloud, "sbRestore")->click();
    EXPECT_EQ(ReadAll(DataPath + u("令和08年給与･賞与.dat")), year);
    EXPECT_TRUE(ended);
    child<QPushButton>(fmCloud, "sbDelete")->click();
    QStringList texts;
    for (const MsgShown& m : box.shown()) texts << m.text;
    EXPECT_EQ(texts,
              QStringList(
                  {u("クラウドにバックアップを行いますか？"), u("バックアップ完了"),
                   u("クラウドのデータ(%1)で復元を行いますか？\r復元を行うと現在の設定内容と給与/"
                     "賞与データは上書きされます。")
                       .arg(date),
                   u("クラウドのデータで復元しました。\r復元を有効にする為、給与計算PelmoraSを終了します。"),
                   u("クラウドのデータを削除しますか？"), u("クラウドのデータを削除しました。")}));
    EXPECT_TRUE(covered.isEmpty()) << covered.join(u(" / "));
    EXPECT_TRUE(boxDuringTransfer);
    EXPECT_FALSE(QApplication::overrideCursor());
}

// The backup's date shows from the moment it is set, through the transfer; a backup that fails
// shows the earlier date again.
TEST_F(CloudWindow, TheBackupDateShowsFromTheStartOfTheBackup)
{
    const QString earlier = u("2026/01/02 03:04");
    const auto setDate = [&] {
        IniFile ini(SysIniFileName);
        ini.writeString(u("Cloud"), u("BackupDate"), earlier);
        ini.save();
    };
    setDate();
    ShowActive(fmCloud);
    auto* label = child<QLabel>(fmCloud, "lbBackupDate");
    EXPECT_EQ(label->text(), earlier);
    QStringList during;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (fmCloud->findChild<QProgressDialog*>(u("pdTransfer")) && !during.contains(label->text()))
            during << label->text();
    });
    watch.start(0);
    EXPECT_EQ(press("sbBackup"), u("バックアップ完了"));
    const QString date = CloudBackupDate();
    EXPECT_NE(date, earlier);
    EXPECT_EQ(during, QStringList{date});
    EXPECT_EQ(label->text(), date);

    // The archive's name taken by a folder on the server: the upload fails and the earlier date is
    // back, on the label and in the settings.
    setDate();
    QFile::remove(remote + key() + u(".zip"));
    QDir().mkpath(remote + key() + u(".zip/x"));
    during.clear();
    EXPECT_TRUE(press("sbBackup").startsWith(u("クラウドへのアップロードを中断しました。"))) << label->text();
    EXPECT_EQ(during.size(), 1);
    EXPECT_NE(during.value(0), earlier);
    EXPECT_EQ(label->text(), earlier);
    EXPECT_EQ(CloudBackupDate(), earlier);
    fmCloud->close();
}

// A connection that fails is told as such; "no data" only when the server says the archive is
// missing or empty; a folder the server refuses has its own message.
TEST_F(CloudWindow, FailedConnectionsAreToldApartFromMissingData)
{
    ShowActive(fmCloud);
    const QString k = key();
    const int port = ftp->port();
    const QString connect = u("サーバの接続に失敗しました\r(127.0.0.1:%1 に接続できません)");
    const QString login = u("サーバの接続に失敗しました\r(127.0.0.1:%1 "
                            "にログインできません（ユーザー名かパスワードが違います）)")
                              .arg(port);
    const QString noData = u("クラウドにデータが有りません。");
    std::unique_ptr<BadServer> drop;
    const struct {
        const char* what;
        std::function<void()> arrange;
        const char* backup;       // the message of each button; nullptr or empty: not tried (a refused
        QString restore, remove;  // login costs the server's three seconds)
    } cases[] = {
        {"no folder on the server", [] {}, nullptr, u("転送元が存在しません"), u("転送元が存在しません")},
        {"no archive", [&] { QDir().mkpath(remote); }, nullptr, noData, noData},
        {"empty archive", [&] { WriteAll(remote + k + u(".zip"), ""); }, nullptr, noData, noData},
        {"a file where the folder goes",
         [&] {
             QDir(dir() + u("srv/Backup")).removeRecursively();
             WriteAll(dir() + u("srv/Backup"), "file");
         },
         "転送先が存在しません", u("転送元が存在しません"), u("転送元が存在しません")},
        {"refused login", [&] { useServer(port, "wrong"); }, nullptr, login, {}},
        {"wrong port", [&] { useServer(1, "pw"); }, nullptr, connect.arg(1), connect.arg(1)},
        {"connection dropped in the download",
         [&] {
             drop = std::make_unique<BadServer>("ftp-drop");
             useServer(drop->port(), "pw");
         },
         nullptr,
         u("クラウドからのダウンロードに失敗しました。\r(通信が途中で切れました。)"),
         {}},
        {"no server",
         [&] {
             useServer(port, "pw");
             ftp.reset();
         },
         nullptr, connect.arg(port), connect.arg(port)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.arrange();
        if (c.backup) {
            EXPECT_EQ(press("sbBackup"), u(c.backup));
        }
        EXPECT_EQ(press("sbRestore"), c.restore);
        if (!c.remove.isEmpty()) {
            EXPECT_EQ(press("sbDelete"), c.remove);
        }
    }
    EXPECT_EQ(press("sbBackup"), connect.arg(port));
    EXPECT_TRUE(fmCloud->isVisible());
}

// On an X server with a window manager, against a server that reads the upload at 64 KiB a second
// and can hold its answers: what the window shows and tells is what the server holds. The bar never
// shows more than the server holds of the archive, and is full only once the archive is in place.
// 中止, clicked with the server's mouse while the server holds its answer to the archive's data,
// stops the backup (the earlier archive and date stay); clicked while the server holds its answer
// to the rename or to the date file, it comes too late: the new archive is there, and so is its
// date. Meanwhile the settings on disk keep the earlier date (a program killed then leaves it).
TEST_F(CloudWindow, ProgressAndOutcomeAreWhatTheServerHolds)
{
    if (RanItselfUnderXvfbWithWindowManager()) return;
    if (!ServerMouse().ok()) GTEST_SKIP() << "libXtst cannot be opened";
    QRandomGenerator random(20261208);
    QByteArray data;
    for (int i = 0; i < 200000; ++i) data += char(random.bounded(256));
    WriteAll(DataPath + u("令和08年給与･賞与.dat"), data);
    const QString control = dir() + u("control/");
    QDir().mkpath(control);
    const QString k = key(), zip = remote + k + u(".zip"), part = zip + u(".part");
    const QString earlier = u("2026/01/02 03:04");
    const QByteArray earlierArchive = "the earlier archive";
    ShowActive(fmCloud);
    ServerMouse mouse;
    const struct {
        QString hold;  // the answer the server holds while 中止 is clicked; empty: no click
        bool newOnServer;
        QString told;
        bool newDateWhileHeld;  // the program knew the new archive in place when 中止 came
    } cases[] = {
        {{}, true, u("バックアップ完了"), false},
        {u("226.") + k + u(".zip.part"), false, u("転送を中止しました。"), false},
        {u("RNTO.") + k + u(".zip"), true, u("バックアップ完了"), false},
        {u("226.") + k + u(".inf.part"), true, u("バックアップ完了"), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hold.toStdString());
        // A server of its own for each case (it ends itself after a minute).
        PythonServer slow({u(TEST_SOURCE_DIR "/services/badserver.py"), u("ftp-slow"), dir() + u("srv"),
                           control, u("65536")},
                          u("port (\\d+)"));
        ASSERT_NE(slow.port(), 0);
        useServer(slow.port(), "pw");
        QDir().mkpath(remote);
        WriteAll(zip, earlierArchive);
        WriteAll(remote + k + u(".inf"), earlier.toLatin1() + "\r\n");
        {
            IniFile ini(SysIniFileName);
            ini.writeString(u("Cloud"), u("BackupDate"), earlier);
            ini.save();
        }
        if (!c.hold.isEmpty()) WriteAll(control + u("hold.") + c.hold, "");
        QStringList beyond;  // the bar ahead of the server
        int most = 0;
        bool clicked = false;
        QString dateWhileHeld;
        std::thread user;
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, [&] {
            auto* dlg = fmCloud->findChild<QProgressDialog*>(u("pdTransfer"));
            if (!dlg) return;
            if (dlg->isVisible() && dlg->maximum() > 0 && !clicked) {
                // The archive being sent, in the private work folder of the data root.
                const QStringList work = QDir(DataRoot).entryList({u(".cloud*")}, QDir::Dirs | QDir::Hidden);
                const qint64 total =
                    work.isEmpty() ? 0 : QFileInfo(DataRoot + work[0] + u("/") + k + u(".zip")).size();
                const bool inPlace = !QFileInfo::exists(part) && ReadAll(zip) != earlierArchive;
                const qint64 held = QFileInfo::exists(part) ? QFileInfo(part).size() : inPlace ? total : 0;
                const qint64 value = dlg->value(), maximum = dlg->maximum();
                most = std::max(most, int(value));
                if (total > 0 && (value * total > held * maximum || (value == maximum && !inPlace)))
                    beyond << u("%1/%2 shown, %3 of %4 held").arg(value).arg(maximum).arg(held).arg(total);
            }
            if (c.hold.isEmpty()) return;
            if (!clicked && dlg->isVisible() && QFileInfo::exists(control + u("held.") + c.hold)) {
                clicked = true;
                dateWhileHeld = IniFile(SysIniFileName).readString(u("Cloud"), u("BackupDate"));
                const QPoint at = ServerMouse::middleOf(dlg->findChild<QPushButton*>());
                user = std::thread([at] {
                    ServerMouse hand;
                    hand.moveTo(at);
                    hand.press();
                    hand.release();
                });
            }
            // Once the window took the click, a server that has put the new archive in place goes
            // on; one that holds the answer to the data keeps holding it (the 中止 must not wait
            // for it).
            if (clicked && dlg->wasCanceled() && c.newOnServer) QFile::remove(control + u("hold.") + c.hold);
        });
        look.start(5);
        ScriptedMsgBox box;
        box.answer(MsgResult::Yes);
        mouse.moveTo(ServerMouse::middleOf(child<QPushButton>(fmCloud, "sbBackup")));
        mouse.press();
        mouse.release();
        EXPECT_TRUE(QTest::qWaitFor([&] { return box.shown().size() == 2; }, 120000)) << box.lastText();
        look.stop();
        if (user.joinable()) user.join();
        QFile::remove(control + u("hold.") + c.hold);
        EXPECT_EQ(box.lastText(), c.told);
        EXPECT_FALSE(QFileInfo::exists(part));
        EXPECT_EQ(ReadAll(zip) != earlierArchive, c.newOnServer);
        const QString date = CloudBackupDate();
        EXPECT_EQ(date != earlier, c.newOnServer) << date;
        if (c.newOnServer) {
            EXPECT_EQ(ReadAll(remote + k + u(".inf")), date.toLatin1() + "\r\n");
        }
        EXPECT_EQ(child<QLabel>(fmCloud, "lbBackupDate")->text(), date);
        EXPECT_TRUE(beyond.isEmpty()) << beyond.join(u(" / ")).toStdString();
        if (c.hold.isEmpty()) {
            EXPECT_GT(most, 0);  // the bar moved
        } else {
            EXPECT_TRUE(clicked);
            EXPECT_EQ(dateWhileHeld == earlier, !c.newDateWhileHeld) << dateWhileHeld;
        }
    }
    fmCloud->close();
}

// The window's other refusals, each with its exact text, the server never reached.
TEST_F(CloudWindow, RefusalsBeforeAnyTransfer)
{
    ShowActive(fmCloud);
    WritePassword(pmCloud, QString());
    EXPECT_EQ(press("sbRestore"), u("バックアップした時の｢圧縮時のパスワード｣を入力して下さい。"));
    WritePassword(pmCloud, u("秘密pw"));
    // The work folder is made in the data root: a file in its place.
    const QString root = DataRoot;
    WriteAll(dir() + u("file"), "a file, no folder");
    DataRoot = dir() + u("file/");
    EXPECT_EQ(press("sbRestore"), u("フォルダー作成に失敗しました"));
    EXPECT_EQ(press("sbBackup"), u("フォルダー作成に失敗しました"));
    DataRoot = root;
    IniFile server(CloudServerFileName());
    server.writeString(u("Server"), u("Host"), QString());
    server.save();
    EXPECT_EQ(press("sbBackup"),
              u("バックアップ先のサーバーが設定されていません。\r%1 の [Server] に Host を設定して下さい。")
                  .arg(CloudServerFileName()));
    EXPECT_FALSE(QFileInfo::exists(remote));
}

// On an X server, keys pressed as a user presses them: the questions and "バックアップ完了" are
// answered after more than half a second, and the restore goes through. Run offscreen, the test
// runs itself again under xvfb-run with the xcb platform.
TEST_F(CloudWindow, ShownWindowTakesItsAnswersAfterHalfASecond)
{
    if (RanItselfUnderXvfb()) return;
    InstallQtMessageBoxes();
    ShowActive(fmCloud);
    bool ended = false;
    fmCloud->OnEndProgram = [&ended] { ended = true; };
    QStringList answered, stuck;
    // A user who reads the message first, then presses Enter (or Alt+Y where いいえ is the default);
    // the keys go to the window on top.
    const auto readThenEnter = [&](const QString& text, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        const auto find = [text]() -> QWidget* {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible() && b->text().contains(text))
                    return b;
            return nullptr;
        };
        WhenShown(find, [&answered, &stuck, text, find, mods] {
            QTest::qWait(700);
            QTest::keyClick(QApplication::activeModalWidget()->windowHandle(),
                            mods == Qt::NoModifier ? Qt::Key_Return : Qt::Key_Y, mods);
            if (QTest::qWaitFor([&] { return find() == nullptr; }, 60000)) {
                answered << text;
            } else {
                stuck << text;
                static_cast<QMessageBox*>(find())->done(QMessageBox::No);
            }
        });
    };
    const auto pressKey = [](const char* button) {
        QPushButton* b = child<QPushButton>(fmCloud, button);
        b->setFocus();
        QTest::keyClick(fmCloud->windowHandle(), Qt::Key_Space);
    };
    readThenEnter(u("クラウドにバックアップを行いますか？"));
    readThenEnter(u("バックアップ完了"));
    pressKey("sbBackup");
    EXPECT_TRUE(QFileInfo::exists(remote + key() + u(".zip")));
    WriteAll(DataPath + u("令和08年給与･賞与.dat"), "changed");
    readThenEnter(u("で復元を行いますか？"), Qt::AltModifier);
    readThenEnter(u("クラウドのデータで復元しました。"));
    pressKey("sbRestore");
    EXPECT_EQ(answered, QStringList({u("クラウドにバックアップを行いますか？"), u("バックアップ完了"),
                                     u("で復元を行いますか？"), u("クラウドのデータで復元しました。")}));
    EXPECT_TRUE(stuck.isEmpty()) << stuck.join(u(" / "));
    EXPECT_EQ(ReadAll(DataPath + u("令和08年給与･賞与.dat")), year);
    EXPECT_TRUE(ended);
    SetMsgHandler(nullptr);
}

}  // namespace
