// The main window's program and table-file updates against a loopback web host: the questions
// and messages, the installer run in a program folder of the test (directly, through a stand-in
// pkexec, or not at all), the restart with "/Update", and the start switches of the real program.
#include <pwd.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <memory>
#include <thread>

#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/taxtable.h"
#include "payroll/yearfile.h"
#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"
#include "platform/msgbox_qt.h"
#include "platform/notice.h"
#include "platform/shell.h"
#include "services/ui/TfmNotice.h"
#include "services/update.h"
#include "tests/app/appfixture.h"
#include "tests/services/updatesite.h"

namespace {

const QString kQuestion =
    u("使用中のバージョンより新しい物が公開されています。\r（現在のバージョン=1.00、最新バージョン=1.01）\r\r"
      "変更内容を確認してから更新して下さい。");
const QString kTablesQuestion =
    u("公開中のデータファイルの作成日付は2026/12/01です。\rデータファイルを更新しますか？");
const QString kTablesDone =
    u("データファイルを更新しました。\r変更を有効にする為、給与計算PelmoraSを終了します。");
const QString kProgramNotFound = u("ファイルが見つかりませんでした．");
const QString kTablesNotFound = u("データファイルが見つかりませんでした．");

struct Started {
    QString program;
    QStringList args;
};

class UpdateWindowTest : public CoreTest {
  protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        prog = MakeProgramFolder(dir() + u("prog/"));
        TablePath = prog;
        useDataFolder();
        web = dir() + u("web/");
        WriteAll(dir() + u("notes.txt"), "release notes");
        MakeArchive(web + u("PelmoraS.zip"),
                    {{u("pelmoras"), u("/bin/true")}, {u("Tolvane2.txt"), dir() + u("notes.txt")}});
        MakeTablesArchive(web + u("exe/PelmoraData.zip"), dir() + u("tables/"));
        site = std::make_unique<UpdateSite>(web);
        ASSERT_NE(site->port(), 0);
        publish(u("1.01"));
        IniFile ini(IniFileName);
        ini.writeString(u("Web"), u("BaseURL"), site->url());
        ini.save();
        for (const QString& f : QDir(prog).entryList(QDir::Files)) before[f] = ReadAll(prog + f);
        SetShellRunner([this](const QString& p, const QStringList& a, const QString&) {
            started.push_back({p, a});
            return true;
        });
        SetShellOpener([this](const QString& t) {
            opened << t;
            return true;
        });
        path_ = qgetenv("PATH");
        CreateForms();
        // An open period without changes.
        CurPeriod.FileName = YearFileName(dir(), u("令和"), 8);
        CreateYearFile(CurPeriod.FileName);
        CurPeriod.Period = 4;
        LoadPeriod(CurPeriod.FileName, 4);
    }
    void TearDown() override
    {
        if (fmMain) fmMain->SkipSaveCheck = true;
        DestroyForms();
        SetShellRunner({});
        SetShellOpener({});
        SetFolderWritableCheck({});
        qputenv("PATH", path_);
        CoreTest::TearDown();
    }
    // The web host started again, logging its requests to log.
    void restartSite(const QString& log)
    {
        site = std::make_unique<UpdateSite>(web, log);
        ASSERT_NE(site->port(), 0);
        publish(u("1.01"));
        IniFile ini(IniFileName);
        ini.writeString(u("Web"), u("BaseURL"), site->url());
        ini.save();
    }
    void publish(const QString& latest, const char* dataMin = "1.00")
    {
        WriteAll(web + u("version_info.dat"),
                 UpdateVersionFile(latest, site->url() + u("PelmoraS.zip"), dataMin));
    }
    // The program folder holds what it held before, byte for byte.
    void expectUnchanged()
    {
        EXPECT_EQ(QDir(prog).entryList(QDir::Files | QDir::Hidden), QStringList(before.keys()));
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            EXPECT_EQ(ReadAll(prog + it.key()), it.value()) << it.key();
    }
    bool tablesUpdated() const
    {
        return ReadAll(prog + TaxTableKyuyoName) == ReadAll(dir() + u("tables/") + TaxTableKyuyoName);
    }
    QStringList texts() const
    {
        QStringList t;
        for (const MsgShown& m : box.shown()) t << m.text;
        return t;
    }
    // pkexec on PATH as a script with body (only it: no other pkexec is found).
    void standInPkexec(const QByteArray& body)
    {
        QDir().mkpath(dir() + u("bin"));
        WriteAll(dir() + u("bin/pkexec"), "#!/bin/sh\n" + body);
        QFile::setPermissions(dir() + u("bin/pkexec"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("PATH", QFile::encodeName(dir() + u("bin")) + ":/usr/bin:/bin");
    }

    QString prog, web;
    std::unique_ptr<UpdateSite> site;
    QMap<QString, QByteArray> before;
    std::vector<Started> started;
    QStringList opened;
    ScriptedMsgBox box;
    QByteArray path_;
};

TEST_F(UpdateWindowTest, NewerProgramIsInstalledAndStartedWithUpdate)
{
    ASSERT_TRUE(fmMain->action("mnVerCheck")->isEnabled());
    box.answer(MsgResult::Yes);
    fmMain->action("mnVerCheck")->trigger();
    ASSERT_EQ(box.shown().size(), 1u) << texts().join(u'\n').toStdString();
    EXPECT_EQ(box.shown()[0].text, kQuestion);
    EXPECT_EQ(box.shown()[0].type, MsgType::Confirmation);
    EXPECT_EQ(box.shown()[0].buttons, MsgButtons::YesNoDetails);
    EXPECT_EQ(box.shown()[0].okCaption, u("変更内容(&H)"));
    EXPECT_EQ(ReadAll(prog + u("pelmoras")), ReadAll(u("/bin/true")));
    EXPECT_EQ(ReadAll(prog + u("Tolvane2.txt")), QByteArray("release notes"));
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].program, prog + u("pelmoras"));
    EXPECT_EQ(started[0].args, QStringList{u("/Update")});
    EXPECT_TRUE(fmMain->SkipSaveCheck);
}

// Every way the program update stops before the download: nothing installed, nothing started.
TEST_F(UpdateWindowTest, ProgramUpdateStopsWithThePartsMessages)
{
    const struct {
        const char* name;
        const char* latest;  // nullptr: no [PelmoraS] section
        MsgResult answer;
        bool unsaved;
        QStringList texts;
    } cases[] = {
        {"up to date", "1.00", MsgResult::Yes, false, {u("最新バージョンを使用中です。")}},
        {"older published", "0.99", MsgResult::Yes, false, {u("最新バージョンを使用中です。")}},
        {"no [PelmoraS]", nullptr, MsgResult::Yes, false, {u("プログラム更新情報が有りません。")}},
        {"No", "1.01", MsgResult::No, false, {kQuestion}},
        {"changes page", "1.01", MsgResult::Ok, false, {kQuestion}},
        {"unsaved",
         "1.01",
         MsgResult::Yes,
         true,
         {kQuestion, u("変更がある場合は最新版に更新できません。\r先にデータ保存を行って下さい。")}},
    };
    for (const auto& c : cases) {
        box.clear();
        opened.clear();
        if (c.latest)
            publish(u(c.latest));
        else
            WriteAll(web + u("version_info.dat"), "[Pelmora_Data]\r\n2026/12/01\r\nRequiredVer=1.00\r\n");
        LoadPeriod(CurPeriod.FileName, 4);
        if (c.unsaved) SikyuRec[1].Sikyu[siKihon] = 1;
        box.answer(c.answer);
        fmMain->mnVerCheckClick();
        EXPECT_EQ(texts(), c.texts) << c.name;
        EXPECT_EQ(opened, c.answer == MsgResult::Ok ? QStringList{u("https://example.jp/changes.html")}
                                                    : QStringList())
            << c.name;
    }
    EXPECT_EQ(box.shown()[1].type, MsgType::Warning);
    EXPECT_TRUE(started.empty());
    EXPECT_FALSE(fmMain->SkipSaveCheck);
    expectUnchanged();

    // No answer from the web host.
    box.clear();
    site.reset();
    fmMain->mnVerCheckClick();
    EXPECT_EQ(texts(), QStringList{u("インターネットから情報が取得できません。")});
}

// Ctrl held while the command is chosen offers the update of an up-to-date program, with the true
// current version in the question.
TEST_F(UpdateWindowTest, CtrlHeldOffersTheUpdateOfAnUpToDateProgram)
{
    publish(u("1.00"));
    QTest::keyPress(fmMain, Qt::Key_Control, Qt::ControlModifier);
    ASSERT_TRUE(QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier);
    fmMain->mnVerCheckClick();
    QTest::keyRelease(fmMain, Qt::Key_Control);
    EXPECT_EQ(texts(), QStringList{u("使用中のバージョンより新しい物が公開されています。\r"
                                     "（現在のバージョン=1.00、最新バージョン=1.00）\r\r"
                                     "変更内容を確認してから更新して下さい。")});
    box.clear();
    fmMain->mnVerCheckClick();
    EXPECT_EQ(texts(), QStringList{u("最新バージョンを使用中です。")});
    expectUnchanged();
}

// The table files are installed and the program ends; the next start reads the new tables.
TEST_F(UpdateWindowTest, TableFilesAreUpdatedAndReadAtTheNextStart)
{
    ASSERT_TRUE(fmMain->action("mnFileUpdate")->isEnabled());
    box.answer(MsgResult::Yes);
    fmMain->action("mnFileUpdate")->trigger();
    EXPECT_EQ(texts(), (QStringList{kTablesQuestion, kTablesDone}));
    EXPECT_EQ(box.shown()[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(box.shown()[1].type, MsgType::Information);
    EXPECT_TRUE(fmMain->SkipSaveCheck);
    EXPECT_TRUE(started.empty());
    EXPECT_TRUE(tablesUpdated());
    // Nothing downloaded stays behind.
    EXPECT_TRUE(QDir(UpdateFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));

    DestroyForms();
    CreateForms();
    EXPECT_EQ(TableFileCount, 3);
    EXPECT_EQ(TaxTableKyuyo.Rows[5].Kou[0], kChangedTax);
}

TEST_F(UpdateWindowTest, TableUpdateStopsWithThePartsMessages)
{
    const struct {
        const char* name;
        const char* dataMin;
        MsgResult answer;
        bool unsaved;
        QStringList texts;
    } cases[] = {
        {"No", "1.00", MsgResult::No, false, {kTablesQuestion}},
        {"unsaved",
         "1.00",
         MsgResult::Yes,
         true,
         {u("変更がある場合はデータファイルを更新できません。\r先にデータ保存を行って下さい。")}},
        {"too old",
         "1.01",
         MsgResult::Yes,
         false,
         {u("このバージョンではデータファイルの更新が出来ません。\r最新バージョンに更新してから行って下さい"
            "。")}},
    };
    for (const auto& c : cases) {
        box.clear();
        publish(u("1.01"), c.dataMin);
        LoadPeriod(CurPeriod.FileName, 4);
        if (c.unsaved) SikyuRec[1].Sikyu[siKihon] = 1;
        box.answer(c.answer);
        fmMain->mnFileUpdateClick();
        EXPECT_EQ(texts(), c.texts) << c.name;
    }
    // Tables published before the installed ones: the installed stay, and nothing is rebuilt.
    const QString old = dir() + u("old/");
    MakeChangedTables(old);
    QList<std::pair<QString, QString>> entries;
    for (const QString& name : {TaxTableKyuyoName, TaxTableSyoyoName, KenhoTableName, KenRituName}) {
        ASSERT_FALSE(TableFileDate(prog + name).isEmpty()) << name;
        QByteArray bytes = ReadAll(old + name);
        bytes.chop(TableDateSize);
        WriteAll(old + name, bytes + TableDateTrailer(u("2020/01/01")));
        ASSERT_EQ(TableFileDate(old + name), u("2020/01/01"));
        entries.push_back({name, old + name});
    }
    MakeArchive(web + u("exe/PelmoraData.zip"), entries);
    box.clear();
    publish(u("1.01"));
    box.answer(MsgResult::Yes);
    fmMain->mnFileUpdateClick();
    EXPECT_EQ(texts(),
              (QStringList{kTablesQuestion,
                           u("インストールされているデータファイルの方が公開中のものより新しいため、\r"
                             "データファイルは更新しませんでした。")}));
    EXPECT_EQ(box.shown().back().type, MsgType::Information);
    EXPECT_FALSE(QFileInfo::exists(prog + u("versions"))) << "no version was built";
    EXPECT_TRUE(QDir(UpdateFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));

    box.clear();
    site.reset();
    fmMain->mnFileUpdateClick();
    EXPECT_EQ(texts(), QStringList{u("インターネットに接続できません。")});
    EXPECT_FALSE(fmMain->SkipSaveCheck);
    expectUnchanged();
}

// A missing archive, a short download, a wrong checksum and an entry outside the folder: the
// Part's message, the window stays, nothing changed and nothing kept.
TEST_F(UpdateWindowTest, FailedDownloadsChangeNothing)
{
    const QString program = web + u("PelmoraS.zip"), tables = web + u("exe/PelmoraData.zip");
    const QByteArray programBytes = ReadAll(program), tablesBytes = ReadAll(tables);
    WriteAll(dir() + u("x"), "x");
    const struct {
        const char* name;
        std::function<void(const QString& archive, const QByteArray& bytes)> spoil;
    } cases[] = {
        {"404", [](const QString& a, const QByteArray&) { QFile::remove(a); }},
        {"short", [](const QString& a,
                     const QByteArray& b) { WriteAll(a + u(".cut"), QByteArray::number(b.size() / 2)); }},
        {"checksum", [](const QString& a, const QByteArray& b) { WriteAll(a, b + "x"); }},
        {"..",
         [this](const QString& a, const QByteArray&) {
             MakeArchive(a, {{u("pelmoras"), u("/bin/true")}, {u("../x"), dir() + u("x")}});
         }},
    };
    for (const auto& c : cases) {
        for (const bool isProgram : {true, false}) {
            const QString archive = isProgram ? program : tables;
            WriteAll(archive, isProgram ? programBytes : tablesBytes);
            WriteChecksum(archive);
            QFile::remove(archive + u(".cut"));
            c.spoil(archive, isProgram ? programBytes : tablesBytes);
            box.clear();
            box.answer(MsgResult::Yes);
            if (isProgram)
                fmMain->mnVerCheckClick();
            else
                fmMain->mnFileUpdateClick();
            ASSERT_EQ(box.shown().size(), 2u) << c.name;
            EXPECT_EQ(box.lastText(), isProgram ? kProgramNotFound : kTablesNotFound) << c.name;
            EXPECT_EQ(box.shown()[1].type, isProgram ? MsgType::Warning : MsgType::Error);
            EXPECT_TRUE(QDir(UpdateFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
                << c.name;
        }
    }
    EXPECT_TRUE(started.empty());
    EXPECT_FALSE(fmMain->SkipSaveCheck);
    EXPECT_FALSE(fmNotice->isVisible());
    expectUnchanged();
}

// A program folder this user may not write: the installer alone through pkexec, or the command
// an administrator runs; a refused authentication leaves everything as it was.
TEST_F(UpdateWindowTest, NotWritableFolderGoesThroughPkexec)
{
    SetFolderWritableCheck([](const QString&) { return false; });
    const QString archive = UpdateFolder() + u("PelmoraData.zip");
    // The command names this user, so that a root shell (which carries no SUDO_UID) can run it.
    const passwd* me = ::getpwuid(::getuid());
    ASSERT_NE(me, nullptr);
    const QString command = u("'%1pelmoras-update' '--user=%3' tables '%2' '%1'")
                                .arg(prog, archive, QString::fromLocal8Bit(me->pw_name));
    EXPECT_EQ(AdminCommand(UpdateKind::Tables, archive), command);
    const QString needsAdmin = u("この更新には管理者の権限が必要です。\r管理者として次のコマンドを実行してか"
                                 "ら、給与計算PelmoraSを起動し直して下さい。\r\r") +
                               command;
    const QString refused = u("管理者の認証が得られなかったため、更新しませんでした。");
    const struct {
        const char* name;
        QByteArray pkexec;  // empty: none on PATH
        QString message;
    } cases[] = {
        {"no pkexec", "", needsAdmin},
        {"not authorized", "echo 'Error executing command as another user: Not authorized' >&2\nexit 127\n",
         refused},
        {"dismissed", "exit 126\n", refused},
        {"no agent",
         "echo 'Error executing command as another user: No authentication agent found.' >&2\nexit 127\n",
         needsAdmin},
    };
    for (const auto& c : cases) {
        box.clear();
        QDir(dir() + u("bin")).removeRecursively();
        if (c.pkexec.isEmpty()) {
            QDir().mkpath(dir() + u("bin"));
            qputenv("PATH", QFile::encodeName(dir() + u("bin")));
        } else {
            standInPkexec(c.pkexec);
        }
        box.answer(MsgResult::Yes);
        fmMain->mnFileUpdateClick();
        EXPECT_EQ(texts(), (QStringList{kTablesQuestion, c.message})) << c.name;
        EXPECT_FALSE(fmMain->SkipSaveCheck) << c.name;
        // The command needs the download; after a refusal it is gone.
        EXPECT_EQ(QFileInfo::exists(archive), c.message == needsAdmin) << c.name;
        expectUnchanged();
    }

    // The command shown, run as it stands from a shell without sudo's or pkexec's variables.
    box.clear();
    QDir().mkpath(dir() + u("bin"));
    qputenv("PATH", QFile::encodeName(dir() + u("bin")));
    box.answer(MsgResult::Yes);
    fmMain->mnFileUpdateClick();
    ASSERT_EQ(texts(), (QStringList{kTablesQuestion, needsAdmin}));
    QProcess shell;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& var : {u("SUDO_UID"), u("PKEXEC_UID")}) env.remove(var);
    shell.setProcessEnvironment(env);
    shell.start(u("/bin/sh"), {u("-c"), command});
    ASSERT_TRUE(shell.waitForFinished(30000));
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    EXPECT_TRUE(tablesUpdated());

    // A stand-in that records its arguments and runs them as pkexec would, for this user.
    box.clear();
    standInPkexec("echo \"$@\" > \"$(dirname \"$0\")/args\"\nPKEXEC_UID=$(id -u) exec \"$@\"\n");
    box.answer(MsgResult::Yes);
    fmMain->mnFileUpdateClick();
    EXPECT_EQ(texts(), (QStringList{kTablesQuestion, kTablesDone}));
    EXPECT_EQ(ReadAll(dir() + u("bin/args")),
              (prog + u("pelmoras-update tables ") + archive + QLatin1Char(' ') + prog + QLatin1Char('\n'))
                  .toUtf8());
    EXPECT_TRUE(tablesUpdated());
}

// The question and the download panel as the user sees them, for the documentation; the panel
// shows its progress bar while the archive comes in.
TEST_F(UpdateWindowTest, QuestionAndDownloadPanelOnScreen)
{
    ScreenshotFont font;
    // An archive large enough to come slowly in many blocks.
    QByteArray noise(2 << 20, 0);
    for (qsizetype i = 0; i < noise.size(); ++i) noise[i] = char((i * 7919) ^ (i >> 9) ^ (i >> 17));
    WriteAll(dir() + u("Tolvane2.chm"), noise);
    MakeArchive(web + u("PelmoraS.zip"),
                {{u("pelmoras"), u("/bin/true")}, {u("Tolvane2.chm"), dir() + u("Tolvane2.chm")}});
    WriteAll(web + u("PelmoraS.zip.slow"), "");
    const MsgHandler scripted = SetMsgHandler({});
    InstallQtMessageBoxes();
    WhenShown([] { return QApplication::activeModalWidget(); },
              [] {
                  auto* b = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                  ASSERT_NE(b, nullptr);
                  EXPECT_TRUE(b->text().contains(u("変更内容を確認してから更新して下さい。")));
                  Screenshot(b, "update-question.png");
                  b->button(QMessageBox::Yes)->click();
              });
    // The panel is looked at once half the archive has come.
    NoticeHandler panel = InstallNoticePanel(fmNotice);
    NoticeHandler h = panel;
    qint64 maximum = 0;
    bool seen = false;
    h.setProgressMaximum = [&](qint64 v) {
        maximum = v;
        panel.setProgressMaximum(v);
    };
    h.setProgressPosition = [&](qint64 v) {
        panel.setProgressPosition(v);
        if (seen || maximum <= 0 || v * 2 < maximum) return;
        seen = true;
        EXPECT_TRUE(fmNotice->isVisible());
        EXPECT_TRUE(child<QProgressBar>(fmNotice, "ProgressBar")->isVisible());
        EXPECT_EQ(child<QLabel>(fmNotice, "pnMessage")->text(), u("更新ファイルをダウンロード中です。"));
        Screenshot(fmNotice, "update-download.png");
    };
    SetNoticeHandler(h);
    fmMain->mnVerCheckClick();
    SetNoticeHandler(panel);
    SetMsgHandler(scripted);
    EXPECT_TRUE(seen);
    ASSERT_EQ(started.size(), 1u);
}

// The real program started with the switches downloads and installs without any question; after
// "/Download" the new program is started with "/Update".
TEST_F(UpdateWindowTest, SwitchesRunTheUpdateWithoutQuestions)
{
    const QString real = dir() + u("real/");
    MakeProgramFolder(real);
    QFile::copy(u(PELMORAS_EXE), real + u("pelmoras"));
    IniFile ini(real + u("Tolvane.ini"));
    ini.writeString(u("Web"), u("BaseURL"), site->url());
    ini.save();
    QDir().mkpath(dir() + u("run"));
    QFile::setPermissions(dir() + u("run"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    for (const char* sw : {"/DownloadF", "/Download"}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u("QT_QPA_PLATFORM"), u("offscreen"));
        env.insert(u("XDG_RUNTIME_DIR"), dir() + u("run"));
        env.insert(u("XDG_DATA_HOME"), dir() + u("xdg"));
        env.insert(u("PELMORAS_MSGLOG"), dir() + u("msg.log"));
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        QFile::remove(dir() + u("msg.log"));
        p.start(real + u("pelmoras"), {u(sw)});
        ASSERT_TRUE(p.waitForFinished(60000)) << sw;
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        const QString log = QString::fromUtf8(ReadAll(dir() + u("msg.log")));
        if (QByteArray(sw) == "/DownloadF") {
            EXPECT_EQ(log, kTablesDone + QLatin1Char('\n'));
            EXPECT_EQ(ReadAll(real + TaxTableKyuyoName), ReadAll(dir() + u("tables/") + TaxTableKyuyoName));
        } else {
            // The new program here is a stand-in that ends at once.
            EXPECT_EQ(log, QString());
            EXPECT_EQ(ReadAll(real + u("pelmoras")), ReadAll(u("/bin/true")));
            EXPECT_EQ(ReadAll(real + u("Tolvane2.txt")), QByteArray("release notes"));
        }
    }
}

// While the version file is on its way, a second network command, the notice check and a close of
// the window do nothing: one fetch, and its answer reaches the user.
TEST_F(UpdateWindowTest, OneVersionFetchAtATimeAndTheWindowStaysMeanwhile)
{
    const QString log = dir() + u("requests.log");
    restartSite(log);
    // The host holds its answer until the test has tried everything.
    WriteAll(web + u("version_info.dat.hold"), "");
    int tried = 0;
    bool closed = true;
    QTimer::singleShot(0, fmMain, [&] {
        ++tried;
        // A second fetch would be answered at once.
        WriteAll(web + u("version_info.dat.go"), "");
        fmMain->action("mnFileUpdate")->trigger();
        fmMain->action("mnVerCheck")->trigger();
        fmMain->mnFAQClick();
        fmMain->CheckNotice();
        closed = fmMain->close();
    });
    box.answer(MsgResult::No);
    fmMain->action("mnVerCheck")->trigger();
    EXPECT_EQ(tried, 1);
    EXPECT_FALSE(closed);
    EXPECT_EQ(texts(), QStringList{kQuestion});
    EXPECT_EQ(ReadAll(log).count("/version_info.dat"), 1) << ReadAll(log).toStdString();
    // Afterwards the commands run again.
    box.clear();
    fmMain->mnVerCheckClick();
    EXPECT_EQ(texts(), QStringList{kQuestion});
}

// 中止 on the download panel, the one window that takes input while the archive comes in, stops
// the download: no message, nothing kept, nothing installed.
TEST_F(UpdateWindowTest, CancelOnTheDownloadPanelStopsTheDownload)
{
    WriteAll(web + u("exe/PelmoraData.zip.slow"), "2048");
    NoticeHandler panel = InstallNoticePanel(fmNotice);
    NoticeHandler h = panel;
    bool clicked = false;
    h.setProgressPosition = [&](qint64 v) {
        panel.setProgressPosition(v);
        if (clicked || v <= 0) return;
        clicked = true;
        EXPECT_EQ(QGuiApplication::modalWindow(), fmNotice->windowHandle());
        auto* cancel = child<QPushButton>(fmNotice, "btCancel");
        ASSERT_TRUE(cancel->isVisible());
        EXPECT_EQ(cancel->text(), u("中止"));
        QTest::mouseClick(cancel, Qt::LeftButton);
    };
    SetNoticeHandler(h);
    box.answer(MsgResult::Yes);
    fmMain->mnFileUpdateClick();
    SetNoticeHandler(panel);
    EXPECT_TRUE(clicked);
    EXPECT_EQ(texts(), QStringList{kTablesQuestion});
    EXPECT_FALSE(fmNotice->isVisible());
    EXPECT_TRUE(QDir(UpdateFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    EXPECT_FALSE(fmMain->SkipSaveCheck);
    expectUnchanged();
    // The next download panel offers 中止 afresh.
    fmNotice->Notify(QString(), kNoticeDownload);
    EXPECT_TRUE(child<QPushButton>(fmNotice, "btCancel")->isEnabled());
    EXPECT_FALSE(fmNotice->Cancelled());
    fmNotice->close();
}

// On an X server with a window manager, against a web host sending 2 KiB or 64 KiB a second: the
// panel's bar moves while the archive comes in, and the server's mouse on 中止 (a click, or a press
// held until the button shows it down), driven from a thread of the test while the program's thread
// is in the download, stops it. The panel shows the pointer over 中止. What ended the download is
// the 中止: no message, nothing kept, nothing installed. Run offscreen, the test runs itself again
// under Xvfb.
TEST_F(UpdateWindowTest, CancelTakesTheServersMouseWhileTheArchiveComesIn)
{
    if (RanItselfUnderXvfbWithWindowManager()) return;
    if (!ServerMouse().ok()) GTEST_SKIP() << "libXtst cannot be opened";
    // An archive that would take a minute at either speed (the slower is given up after one).
    QByteArray noise(4 << 20, 0);
    for (qsizetype i = 0; i < noise.size(); ++i) noise[i] = char((i * 7919) ^ (i >> 9) ^ (i >> 17));
    WriteAll(dir() + u("noise.bin"), noise);
    // The changed tables of the set-up, and the noise.
    const QString tables = dir() + u("tables/");
    MakeArchive(web + u("exe/PelmoraData.zip"), {{TaxTableKyuyoName, tables + TaxTableKyuyoName},
                                                 {TaxTableSyoyoName, tables + TaxTableSyoyoName},
                                                 {KenhoTableName, tables + KenhoTableName},
                                                 {KenRituName, tables + KenRituName},
                                                 {u("noise.bin"), dir() + u("noise.bin")}});
    InstallNoticePanel(fmNotice);
    const struct {
        const char* rate;
        bool hold;  // the button held down until it shows itself pressed
    } cases[] = {{"2048", false}, {"65536", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        WriteAll(web + u("exe/PelmoraData.zip.slow"), c.rate);
        box.clear();
        int moved = 0;
        bool hover = false;
        std::atomic<bool> down{false};
        std::thread user;
        // What the panel shows, looked at whenever the program lets its thread turn the event loop.
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, [&] {
            TfmNotice* n = fmNotice.existing();
            auto* cancel = n ? n->findChild<QPushButton*>(u("btCancel")) : nullptr;
            if (!cancel || !n->isVisible()) return;
            hover = hover || cancel->underMouse();
            down = down || cancel->isDown();
        });
        look.start(5);
        // Once the bar shows that the archive comes in, the user's hand moves: the test's thread
        // drives the server's mouse while this one stays in the download.
        const auto moving = []() -> QWidget* {
            TfmNotice* n = fmNotice.existing();
            auto* bar = n ? n->findChild<QProgressBar*>(u("ProgressBar")) : nullptr;
            return bar && bar->maximum() > 0 && bar->value() > 0 ? n : nullptr;
        };
        WhenShown(
            moving,
            [&] {
                moved = child<QProgressBar>(fmNotice, "ProgressBar")->value();
                const QPoint at = ServerMouse::middleOf(child<QPushButton>(fmNotice, "btCancel"));
                user = std::thread([&down, at, hold = c.hold] {
                    ServerMouse mouse;
                    mouse.moveTo(at);
                    mouse.press();
                    for (const QDeadlineTimer limit(60000); hold && !down && !limit.hasExpired();)
                        std::this_thread::yield();
                    mouse.release();
                });
            },
            60000);
        box.answer(MsgResult::Yes);
        fmMain->mnFileUpdateClick();
        if (user.joinable()) user.join();
        EXPECT_GT(moved, 0);
        EXPECT_TRUE(hover);
        // A press held shows the button down (a quick click may come and go between two looks).
        if (c.hold) {
            EXPECT_TRUE(down);
        }
        // 中止 took the click: it is disabled, and the panel says it was chosen.
        EXPECT_FALSE(child<QPushButton>(fmNotice, "btCancel")->isEnabled());
        EXPECT_TRUE(fmNotice->Cancelled());
        EXPECT_EQ(texts(), QStringList{kTablesQuestion});
        EXPECT_FALSE(fmNotice->isVisible());
        EXPECT_TRUE(QDir(UpdateFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        EXPECT_FALSE(fmMain->SkipSaveCheck);
        expectUnchanged();
    }
}

// A disk that fills up during the download: the Part's message and the reason.
TEST_F(UpdateWindowTest, AFullDiskDuringTheDownloadIsToldWithItsReason)
{
    FullFileSystem disk(dir() + u("full"));
    if (!disk.mounted()) GTEST_SKIP() << "no file system can be mounted here";
    disk.fill();
    DataRoot = dir() + u("full/");
    box.answer(MsgResult::Yes);
    fmMain->mnFileUpdateClick();
    ASSERT_EQ(box.shown().size(), 2u) << texts().join(u'\n').toStdString();
    EXPECT_EQ(box.lastText(), kTablesNotFound + u("\r") + DataRoot +
                                  u("Update/PelmoraData.zip.part に書き込めません。\r") +
                                  SystemReason(ENOSPC));
    EXPECT_EQ(box.shown()[1].type, MsgType::Error);
    EXPECT_TRUE(QDir(UpdateFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    expectUnchanged();
}

}  // namespace
