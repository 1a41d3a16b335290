// Start-up of the program: the single-instance guard in process, and the built program run as a
// child in a copied program folder, its messages read back through PELMORAS_MSGLOG.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/msgbox.h"
#include "platform/shell.h"
#include "platform/singleinstance.h"
#include "tests/testutil.h"

namespace {

const QString kTwice = QStringLiteral("このプログラムは二重起動できません。");
const QStringList kNotWritable{QStringLiteral("設定ファイルに書き込み出来ません。"),
                               QStringLiteral("プログラム起動不可[0]")};

TEST(SingleInstance, SecondCopyWithoutParameterActivatesTheFirstAndEnds)
{
    QTemporaryDir run;
    SingleInstance first(QStringLiteral("Tessavonel"), run.path());
    ASSERT_TRUE(first.acquire());
    int activations = 0;
    first.setActivateHandler([&] { ++activations; });

    SingleInstance second(QStringLiteral("Tessavonel"), run.path());
    ScriptedMsgBox box;
    EXPECT_FALSE(PassSingleInstanceGuard(second, {QStringLiteral("pelmoras")}));
    ASSERT_EQ(box.shown().size(), 1u);
    EXPECT_EQ(box.lastText(), kTwice);
    EXPECT_EQ(box.shown()[0].type, MsgType::Error);
    EXPECT_TRUE(QTest::qWaitFor([&] { return activations == 1; }, 60000));

    // Once the first copy has ended, the next one is the running copy. (A start with a parameter
    // passes while the first runs: ProgramTest below.)
    box.clear();
    first.release();
    EXPECT_TRUE(PassSingleInstanceGuard(second, {QStringLiteral("pelmoras")}));
    EXPECT_TRUE(box.shown().empty());
}

// A socket left by a copy that crashed is replaced; the new one is this user's alone; a peer that
// sends anything but the request is dropped without activating; several requests all arrive.
TEST(SingleInstance, StaleSocketIsReplacedAndOnlyTheRequestActivates)
{
    QTemporaryDir run;
    const QString path = run.path() + QStringLiteral("/Tessavonel");
    WriteAll(path, "left by a crashed copy");
    SingleInstance first(QStringLiteral("Tessavonel"), run.path());
    ASSERT_TRUE(first.acquire());
    EXPECT_TRUE(QFileInfo(path).exists());
    EXPECT_EQ(FileMode(path) & 0077, 0);
    int activations = 0;
    first.setActivateHandler([&] { ++activations; });

    auto send = [&](const QByteArray& bytes) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::strncpy(a.sun_path, QFile::encodeName(path).constData(), sizeof a.sun_path - 1);
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        EXPECT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
        ::close(fd);
    };
    send("activate");               // no line end
    send("activatex\nACTIVATE\n");  // not the request
    send(QByteArray(4096, 'a'));    // endless line, dropped
    QTest::qWait(200);
    EXPECT_EQ(activations, 0);
    send("activate\nactivate\n");
    SingleInstance second(QStringLiteral("Tessavonel"), run.path());
    EXPECT_TRUE(second.activateRunning());
    EXPECT_TRUE(QTest::qWaitFor([&] { return activations == 3; }, 60000));
    QTest::qWait(100);
    EXPECT_EQ(activations, 3);
    first.release();
    EXPECT_FALSE(QFileInfo(path).exists());
    EXPECT_FALSE(second.activateRunning(200));
}

TEST(SingleInstance, ActivationRestoresAMinimisedWindow)
{
    QWidget w;
    w.showMinimized();
    ASSERT_TRUE(w.isMinimized());
    RestoreAndRaise(&w);
    EXPECT_FALSE(w.isMinimized());
    EXPECT_TRUE(w.isVisible());
}

TEST(Shell, DeleteTreeRemovesTheFolderButNeverTheCurrentOne)
{
    QTemporaryDir t;
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir().mkpath(t.path() + QStringLiteral("/old/sub")));
    WriteAll(t.path() + QStringLiteral("/old/sub/a.dat"), "a");
    WriteAll(t.path() + QStringLiteral("/keep"), "k");
    QDir::setCurrent(t.path());
    EXPECT_FALSE(ShellDeleteTree(QString()));
    EXPECT_TRUE(ShellDeleteTree(QStringLiteral("old/")));
    QDir::setCurrent(cwd);
    EXPECT_TRUE(QFileInfo::exists(t.path() + QStringLiteral("/keep")));
    EXPECT_FALSE(QFileInfo::exists(t.path() + QStringLiteral("/old")));
}

// Runs copies of the built program, each in its own copy of the program folder, with one runtime
// folder for all so that they see each other's guard.
class ProgramTest : public ::testing::Test {
  protected:
    void TearDown() override
    {
        for (auto& p : procs_) {
            if (p->state() == QProcess::NotRunning) continue;
            p->kill();
            p->waitForFinished(5000);
        }
    }
    QString path(const QString& name) const { return tmp_.path() + QLatin1Char('/') + name; }

    // A program folder with the program and its table files.
    QString programFolder(const QString& name)
    {
        const QString dir = path(name) + QLatin1Char('/');
        QDir().mkpath(dir);
        const QFileInfo exe(QStringLiteral(PELMORAS_EXE));
        QFile::copy(exe.filePath(), dir + exe.fileName());
        for (const QFileInfo& f : exe.dir().entryInfoList({QStringLiteral("*.dat")}, QDir::Files))
            QFile::copy(f.filePath(), dir + f.fileName());
        return dir;
    }
    QProcess* start(const QString& folder, const QString& log, const QStringList& args = {})
    {
        QDir().mkpath(path(QStringLiteral("run")));
        QFile::setPermissions(path(QStringLiteral("run")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path(QStringLiteral("run")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data")));
        env.insert(QStringLiteral("PELMORAS_MSGLOG"), path(log));
        procs_.push_back(std::make_unique<QProcess>());
        QProcess* p = procs_.back().get();
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(folder + QFileInfo(QStringLiteral(PELMORAS_EXE)).fileName(), args);
        EXPECT_TRUE(p->waitForStarted(10000));
        return p;
    }
    // Waits for the program to end by itself; true when it ended normally with a non-zero code.
    static bool endsRefusing(QProcess* p)
    {
        return p->waitForFinished(20000) && p->exitStatus() == QProcess::NormalExit && p->exitCode() != 0;
    }
    QStringList messages(const QString& log) const
    {
        return QString::fromUtf8(ReadAll(path(log))).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QTemporaryDir tmp_;
    std::vector<std::unique_ptr<QProcess>> procs_;
};

TEST_F(ProgramTest, SecondCopyEndsWhileTheFirstRunsAndAParameterPasses)
{
    const QString prog = programFolder(QStringLiteral("prog"));
    QProcess* first = start(prog, QStringLiteral("first.log"));
    // The first copy serves its guard once the socket is there.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return first->state() != QProcess::Running ||
                   QFileInfo::exists(path(QStringLiteral("run/Tessavonel")));
        },
        20000));
    ASSERT_EQ(first->state(), QProcess::Running) << "the first copy ended by itself";

    EXPECT_TRUE(endsRefusing(start(prog, QStringLiteral("second.log"))));
    EXPECT_EQ(messages(QStringLiteral("second.log")), QStringList{kTwice});

    // "/Update" passes the guard and reaches the write check of its own program folder, which
    // stops it before any window: the main window would have made the data set's folder.
    const QString ro = programFolder(QStringLiteral("prog3"));
    WriteAll(ro + QStringLiteral("Tolvane.ini"), "[Option]\r\n");
    QFile::setPermissions(ro + QStringLiteral("Tolvane.ini"),
                          QFileDevice::ReadOwner | QFileDevice::ReadOther);
    EXPECT_TRUE(endsRefusing(start(ro, QStringLiteral("update.log"), {QStringLiteral("/Update")})));
    EXPECT_EQ(messages(QStringLiteral("update.log")), kNotWritable);
    EXPECT_FALSE(QFileInfo::exists(ro + QStringLiteral("Data2")));

    EXPECT_EQ(first->state(), QProcess::Running);
    EXPECT_FALSE(messages(QStringLiteral("first.log")).contains(kTwice));
}

// The start empties the update folder while it holds the lock; a copy started with a parameter
// beside it (an update run) leaves the running copy's download alone.
TEST_F(ProgramTest, StartEmptiesTheUpdateFolderOnlyWhileItHoldsTheLock)
{
    const QString prog = programFolder(QStringLiteral("prog"));
    const QString update = prog + QStringLiteral("Update/");
    QDir().mkpath(update);
    WriteAll(update + QStringLiteral("PelmoraS_upd.zip"), "left by an earlier run");
    QProcess* first = start(prog, QStringLiteral("first.log"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return first->state() != QProcess::Running || !QFileInfo::exists(update); }, 20000));
    ASSERT_EQ(first->state(), QProcess::Running) << "the first copy ended by itself";

    // A download the running copy is making.
    QDir().mkpath(update);
    WriteAll(update + QStringLiteral("PelmoraData.zip.part"), "half");
    QProcess* second = start(prog, QStringLiteral("second.log"), {QStringLiteral("/DownloadF")});
    ASSERT_TRUE(second->waitForFinished(20000));
    EXPECT_EQ(ReadAll(update + QStringLiteral("PelmoraData.zip.part")), "half");
    EXPECT_EQ(first->state(), QProcess::Running);
}

// A start that only enters a month maps none of the libraries that only mail, the cloud, updates,
// exports and printing need: the program opens them on first use.
TEST_F(ProgramTest, StartMapsNoLibraryOfMailExportsOrPrinting)
{
    const QString prog = programFolder(QStringLiteral("prog"));
    QProcess* p = start(prog, QStringLiteral("start.log"));
    // The first start stops at its first message, over the main window and the period selection.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return p->state() != QProcess::Running || !messages(QStringLiteral("start.log")).isEmpty(); },
        20000));
    ASSERT_EQ(p->state(), QProcess::Running) << "the program ended by itself";
    const QByteArray maps = ReadAll(QStringLiteral("/proc/%1/maps").arg(p->processId()));
    ASSERT_TRUE(maps.contains("/libQt6Widgets.so"));
    for (const char* soname : {PEL_SONAME_CURL, PEL_SONAME_ZIP, PEL_SONAME_CUPS, PEL_SONAME_XLSXWRITER})
        EXPECT_FALSE(maps.contains(QByteArray("/") + soname)) << soname;
    // The single-instance socket is served without Qt's network library (and its Kerberos).
    EXPECT_FALSE(maps.contains("/libQt6Network.so"));
    // libjpeg comes only with Qt's own JPEG image plugin, which Qt loads with its other image
    // plugins when a style first reads one of its PNG pictures (a group box frame, a toolbar arrow).
    if (maps.contains(QByteArray("/") + PEL_SONAME_JPEG)) {
        EXPECT_TRUE(maps.contains("/imageformats/libqjpeg.so")) << "libjpeg mapped by the program itself";
    }
}

// The first start migrates the earlier version's "Data" folder into the private data set folder,
// names the year file it could not convert and keeps the old folder for it.
TEST_F(ProgramTest, FirstStartMigratesOldDataAndNamesWhatItCouldNot)
{
    const QString prog = programFolder(QStringLiteral("prog"));
    QDir().mkpath(prog + QStringLiteral("Data"));
    QFile::copy(TestData(QStringLiteral("olddata/平成30年給与･賞与.dat")),
                prog + QStringLiteral("Data/平成30年給与･賞与.dat"));
    WriteAll(prog + QStringLiteral("Data/平成29年給与･賞与.dat"), QByteArray(1000, '\x01'));
    start(prog, QStringLiteral("m.log"));
    const QString notMoved = QStringLiteral("次のファイルは移行できませんでした。");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return messages(QStringLiteral("m.log")).filter(notMoved).size() == 1; }, 20000));
    const QStringList shown = messages(QStringLiteral("m.log"));
    EXPECT_TRUE(shown.contains(QStringLiteral("旧バージョンのデータを移行しました。"))) << shown.join('\n');
    // The message's lines follow each other in the log.
    EXPECT_TRUE(shown.contains(QStringLiteral(
        "平成29年給与･賞与.dat: 年度データファイルの大きさが正しくありません(1000 バイト)。")));
    const QString data = prog + QStringLiteral("Data2/");
    EXPECT_EQ(FileMode(data), 0700);
    EXPECT_EQ(QFileInfo(data + QStringLiteral("平成30年給与･賞与.dat")).size(), 1349288);
    EXPECT_FALSE(QFileInfo::exists(data + QStringLiteral("平成29年給与･賞与.dat")));
    EXPECT_EQ(FileMode(data + QStringLiteral("平成30年給与･賞与.dat")), 0600);
    EXPECT_TRUE(QFileInfo::exists(prog + QStringLiteral("Data/平成29年給与･賞与.dat")));
}

}  // namespace
