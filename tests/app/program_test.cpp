// Start-up of the program: the single-instance guard in process, and the built program run as a
// child in a copied program folder, its messages read back through PELMORAS_MSGLOG.
#include <pwd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "payroll/corpdata.h"
#include "payroll/datamanage.h"
#include "payroll/startup.h"
#include "platform/atomicfile.h"
#include "platform/cp932.h"
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

    // Once the first copy has ended, the next one is the running copy. (An update run
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

// Peers that connect and hold on are capped: the descriptors the running copy keeps stay few
// whatever their number, and a real request after them still arrives. Only an update run passes
// the guard beside a running copy; an unknown parameter does not.
TEST(SingleInstance, HeldConnectionsAreCappedAndOnlyUpdateRunsPass)
{
    QTemporaryDir run;
    SingleInstance first(QStringLiteral("Tessavonel"), run.path());
    ASSERT_TRUE(first.acquire());
    int activations = 0;
    first.setActivateHandler([&] { ++activations; });
    auto openFds = [] {
        return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size();
    };
    const qsizetype before = openFds();
    std::vector<int> held;
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, QFile::encodeName(first.serverPath()).constData(), sizeof a.sun_path - 1);
    for (int i = 0; i < 200; ++i) {
        // Not blocking: a full backlog is waited out by letting the server take the earlier ones.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        int r;
        while ((r = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a)) != 0 && errno == EAGAIN)
            QCoreApplication::processEvents();
        ASSERT_EQ(r, 0) << std::strerror(errno);
        held.push_back(fd);
        QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    // The 200 client ends are the test's; the server's ends beyond a few dozen are not.
    EXPECT_LT(openFds() - before - 200, 40);
    SingleInstance second(QStringLiteral("Tessavonel"), run.path());
    EXPECT_TRUE(second.activateRunning());
    EXPECT_TRUE(QTest::qWaitFor([&] { return activations == 1; }, 3000));
    for (const int fd : held) ::close(fd);

    ScriptedMsgBox box;
    for (const char* arg : {"/x", "/update", "/Update /Download"})
        EXPECT_FALSE(PassSingleInstanceGuard(second, {QStringLiteral("pelmoras"), QString::fromLatin1(arg)}))
            << arg;
    EXPECT_FALSE(PassSingleInstanceGuard(
        second, {QStringLiteral("pelmoras"), QStringLiteral("/Update"), QStringLiteral("/x")}));
    EXPECT_EQ(box.shown().size(), 4u);
    for (const char* arg : {"/Update", "/Download", "/DownloadF"})
        EXPECT_TRUE(PassSingleInstanceGuard(second, {QStringLiteral("pelmoras"), QString::fromLatin1(arg)}))
            << arg;
    EXPECT_EQ(box.shown().size(), 4u);
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
    // A link in the folder's place: the link goes, what it points to stays whole.
    ASSERT_TRUE(QDir().mkpath(t.path() + QStringLiteral("/theirs/sub")));
    WriteAll(t.path() + QStringLiteral("/theirs/sub/a.dat"), "theirs");
    ASSERT_TRUE(QFile::link(t.path() + QStringLiteral("/theirs"), t.path() + QStringLiteral("/Data")));
    EXPECT_TRUE(ShellDeleteTree(t.path() + QStringLiteral("/Data/")));
    EXPECT_FALSE(QFileInfo(t.path() + QStringLiteral("/Data")).isSymLink());
    EXPECT_EQ(ReadAll(t.path() + QStringLiteral("/theirs/sub/a.dat")), "theirs");
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
    QProcess* start(const QString& folder, const QString& log, const QStringList& args = {},
                    const std::function<void(QProcessEnvironment&)>& adjust = {}, const QString& wrapper = {},
                    const std::function<void()>& childSetup = {})
    {
        QDir().mkpath(path(QStringLiteral("run")));
        QFile::setPermissions(path(QStringLiteral("run")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path(QStringLiteral("run")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data")));
        env.insert(QStringLiteral("PELMORAS_MSGLOG"), path(log));
        if (adjust) adjust(env);
        procs_.push_back(std::make_unique<QProcess>());
        QProcess* p = procs_.back().get();
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        if (childSetup) p->setChildProcessModifier(childSetup);
        const QString exe = folder + QFileInfo(QStringLiteral(PELMORAS_EXE)).fileName();
        if (wrapper.isEmpty())
            p->start(exe, args);
        else
            p->start(wrapper, QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                          QStringLiteral("--clear-groups"), exe} +
                                  args);
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
    // A parameter that is not an update run's is no way past the guard.
    EXPECT_TRUE(endsRefusing(start(prog, QStringLiteral("x.log"), {QStringLiteral("/x")})));
    EXPECT_EQ(messages(QStringLiteral("x.log")), QStringList{kTwice});

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

// A settings file that cannot be read ends the start with the reason and a clean exit: a folder of
// its name, and a file its user may not read (mode 0200; run as an ordinary user when the test runs
// as root, through setpriv). Nothing of the data folder is made.
TEST_F(ProgramTest, UnreadableSettingsEndTheStartWithTheReason)
{
    const QString asFolder = programFolder(QStringLiteral("folder"));
    QDir().mkpath(asFolder + QStringLiteral("Tolvane.ini"));
    QProcess* p = start(asFolder, QStringLiteral("folder.log"));
    EXPECT_TRUE(endsRefusing(p));
    // The reason is said once, in Japanese, and nothing of the system's own text follows.
    auto told = [&](const QString& log, const QString& file, const QString& reason) {
        const QStringList shown = messages(log);
        return shown.size() == 3 && shown[0] == QStringLiteral("設定ファイルの読み込みに失敗しました。") &&
               shown[1] == file && shown[2] == reason;
    };
    EXPECT_TRUE(told(QStringLiteral("folder.log"), asFolder + QStringLiteral("Tolvane.ini"),
                     QStringLiteral("ファイルではなくフォルダーです。")))
        << messages(QStringLiteral("folder.log")).join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(QFileInfo::exists(asFolder + QStringLiteral("Data2")));

    const QString unreadable = programFolder(QStringLiteral("w"));
    WriteAll(unreadable + QStringLiteral("Tolvane.ini"), "[Option]\r\nProgVer=1\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(unreadable + QStringLiteral("Tolvane.ini")).constData(), 0200), 0);
    QString wrapper;
    if (::geteuid() == 0) {
        wrapper = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (wrapper.isEmpty()) GTEST_SKIP() << "root without setpriv: a mode 0200 file cannot be refused";
        // Everything the run uses belongs to that user.
        QDir().mkpath(path(QStringLiteral("run")));
        QStringList all{tmp_.path()};
        QDirIterator it(tmp_.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) all << it.next();
        for (const QString& f : all) ASSERT_EQ(::lchown(QFile::encodeName(f).constData(), 65534, 65534), 0);
    }
    p = start(unreadable, QStringLiteral("w.log"), {}, {}, wrapper);
    EXPECT_TRUE(endsRefusing(p));
    EXPECT_TRUE(told(QStringLiteral("w.log"), unreadable + QStringLiteral("Tolvane.ini"),
                     QStringLiteral("読み込む権限がありません。")))
        << messages(QStringLiteral("w.log")).join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(QFileInfo::exists(unreadable + QStringLiteral("Data2")));
}

// Under a file size limit the save that would pass it fails with the reason, the program ends by
// itself, and the previous settings file stays whole.
TEST_F(ProgramTest, FileSizeLimitIsToldAndThePreviousFileStaysWhole)
{
    const QString prog = programFolder(QStringLiteral("prog"));
    const QByteArray ini = "[Option]\r\nProgVer=1\r\n[Notes]\r\nText=" + QByteArray(600 * 1024, 'n') + "\r\n";
    WriteAll(prog + QStringLiteral("Tolvane.ini"), ini);
    QProcess* p = start(prog, QStringLiteral("limit.log"), {}, {}, {}, [] {
        const rlimit r{500 * 1024, 500 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &r);
    });
    ASSERT_TRUE(p->waitForFinished(20000));
    EXPECT_EQ(p->exitStatus(), QProcess::NormalExit) << "ended by a signal";
    // The reason once, in Japanese, nothing of the system's text after it.
    EXPECT_TRUE(messages(QStringLiteral("limit.log")).contains(QStringLiteral("ファイルが大きすぎます。")))
        << messages(QStringLiteral("limit.log")).join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(ReadAll(prog + QStringLiteral("Tolvane.ini")), ini);
}

// The runtime folder in the shared temporary folder, taken by someone else beforehand (made
// readable and writable by all, a lock put in it): the program starts all the same, in a private
// folder of its own, and leaves the other one alone.
TEST_F(ProgramTest, SquattedRuntimeFolderDoesNotKeepTheProgramFromStarting)
{
    const QString prog = programFolder(QStringLiteral("prog"));
    const QString tmp = path(QStringLiteral("tmp"));
    const passwd* pw = ::getpwuid(::geteuid());
    ASSERT_NE(pw, nullptr);
    // Qt's own runtime folder cannot be made there, so the program's fallback is taken.
    QDir().mkpath(tmp);
    WriteAll(tmp + QStringLiteral("/runtime-") + QString::fromLocal8Bit(pw->pw_name), "in the way");
    const QString squat = tmp + QStringLiteral("/pelmoras-%1").arg(::geteuid());
    QDir().mkpath(squat);
    ASSERT_EQ(::chmod(QFile::encodeName(squat).constData(), 0777), 0);
    QLockFile lock(squat + QStringLiteral("/Tessavonel.lock"));
    ASSERT_TRUE(lock.tryLock(0));
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(squat).constData(), 65534, 65534), 0);
    }
    QProcess* p = start(prog, QStringLiteral("squat.log"), {}, [&](QProcessEnvironment& env) {
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        env.insert(QStringLiteral("TMPDIR"), tmp);
    });
    const QString own = squat + QStringLiteral("-1");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return p->state() != QProcess::Running || QFileInfo::exists(own + QStringLiteral("/Tessavonel"));
        },
        20000));
    EXPECT_EQ(p->state(), QProcess::Running)
        << messages(QStringLiteral("squat.log")).join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(messages(QStringLiteral("squat.log")).contains(kTwice));
    EXPECT_EQ(FileMode(own), 0700);
    EXPECT_EQ(FileMode(squat), 0777);
    EXPECT_EQ(QDir(squat).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("Tessavonel.lock")});
}

// A restore stopped after four files were moved aside, then a start whose runtime folder is full
// so that the single-instance lock file cannot be made: the program says so and ends, the data as
// the restore left it (no first-start questions, no new settings file over it). The next start that
// makes its lock finishes the restore. Without a stopped restore the start without a lock goes on
// after saying so.
TEST_F(ProgramTest, AStartWithoutItsLockLeavesAStoppedRestoreAloneAndEnds)
{
    const QString prog = programFolder(QStringLiteral("prog"));
    const QString full = path(QStringLiteral("fullrun"));
    FullFileSystem disk(full);
    if (!disk.mounted()) GTEST_SKIP() << "a full runtime folder needs a tmpfs of its own (root)";
    const QString stage =
        prog + QStringLiteral(".restore") + QLatin1String(TemporaryMarker) + QStringLiteral("Ab12Cd/");
    const QString year = QStringLiteral("令和08年給与･賞与.dat");
    const QStringList current{QStringLiteral("Tolvane.ini"), QStringLiteral("Tolvane_a.ini"),
                              QStringLiteral("Data2/") + year, QStringLiteral("Data2_a/") + year};
    QDir().mkpath(prog + QStringLiteral("Data2"));
    QDir().mkpath(prog + QStringLiteral("Data2_a"));
    QDir().mkpath(stage + QStringLiteral("old"));
    ASSERT_EQ(::chmod(QFile::encodeName(stage).constData(), 0700), 0);
    QString lines;
    for (int i = 0; i < current.size(); ++i) {
        WriteAll(prog + current[i], "before the restore: " + current[i].toUtf8());
        WriteAll(stage + QStringLiteral("new%1").arg(i), "restored: " + current[i].toUtf8());
        lines += QStringLiteral("A %1 %2old/%3\n").arg(prog + current[i], stage).arg(i + 1);
    }
    for (int i = 0; i < current.size(); ++i)
        lines += QStringLiteral("P %1new%2 %3\n").arg(stage).arg(i).arg(prog + current[i]);
    WriteSwapJournalLines(stage, "PELMORAS RESTORE JOURNAL 1", lines.chopped(1));
    // Stopped after the fourth rename: every current file aside, none of the backup's in place.
    for (int i = 0; i < current.size(); ++i)
        ASSERT_EQ(std::rename(QFile::encodeName(prog + current[i]).constData(),
                              QFile::encodeName(stage + QStringLiteral("old/%1").arg(i + 1)).constData()),
                  0);
    // The program folder's entries and what its data holds.
    auto data = [&] {
        QStringList t;
        QDirIterator it(prog, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo f(it.next());
            t << f.filePath();
            if (f.isFile() && (f.path() + QLatin1Char('/') != prog || f.suffix() == QStringLiteral("ini")))
                t << QString::fromUtf8(ReadAll(f.filePath()));
        }
        return t;
    };
    const QStringList stopped = data();
    disk.fill();
    const auto fullRuntime = [&](QProcessEnvironment& env) {
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), full);
    };
    const QString told = NoLockMessage.arg(full + QStringLiteral("/Tessavonel.lock"));
    QProcess* p = start(prog, QStringLiteral("full.log"), {}, fullRuntime);
    EXPECT_TRUE(endsRefusing(p));
    EXPECT_EQ(messages(QStringLiteral("full.log")), QStringList{told + NoLockStoppedRestore});
    EXPECT_TRUE(data() == stopped) << "the start changed the data the restore left";

    // With its lock the start finishes the restore.
    p = start(prog, QStringLiteral("held.log"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return p->state() != QProcess::Running || !messages(QStringLiteral("held.log")).isEmpty(); },
        20000));
    EXPECT_EQ(messages(QStringLiteral("held.log")).value(0), RestoreCompletedMessage);
    // The set "_a" is the backup's (the settings file and the first set the running program may
    // write to since).
    for (const QString& f : {current[1], current[3]}) EXPECT_EQ(ReadAll(prog + f), "restored: " + f.toUtf8());
    EXPECT_FALSE(ReadAll(prog + current[0]).startsWith("before"));
    EXPECT_FALSE(QFileInfo::exists(stage));
    p->kill();
    p->waitForFinished(10000);

    // Nothing stopped: the start goes on after saying that the lock could not be made.
    p = start(prog, QStringLiteral("nothing.log"), {}, fullRuntime);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return p->state() != QProcess::Running || !messages(QStringLiteral("nothing.log")).isEmpty(); },
        20000));
    EXPECT_EQ(messages(QStringLiteral("nothing.log")).value(0), told + NoLockCaution);
    EXPECT_EQ(p->state(), QProcess::Running);
}

// A data set count far beyond the ten there can be: the company choice comes up at once (reading
// 99,999,999 lines took 17 s, 2^31-1 minutes). Run on an X server, where its window can be seen.
TEST_F(ProgramTest, HugeDataSetCountBringsTheCompanyChoiceAtOnce)
{
    if (RanItselfUnderXvfb()) return;
    const QString prog = programFolder(QStringLiteral("prog"));
    const QString ini = QStringLiteral("[CorpData]\r\nCount=2147483647\r\nData1=%1\r\nData2=%2\r\n")
                            .arg(FormatCorpLine(OriginalCorpLine(), QString()),
                                 FormatCorpLine(QStringLiteral("第二会社"), QStringLiteral("_a")));
    WriteAll(prog + QStringLiteral("Tolvane.ini"), cp932::encode(ini));
    QProcess* p = start(prog, QStringLiteral("count.log"), {}, [](QProcessEnvironment& env) {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    });
    // The window is made before its list is read, and mapped after.
    auto xwininfo = [](const QStringList& args) {
        QProcess x;
        x.start(QStringLiteral("xwininfo"), args);
        x.waitForFinished(10000);
        return QString::fromUtf8(x.readAllStandardOutput());
    };
    auto choiceShown = [&] {
        for (const QString& line :
             xwininfo({QStringLiteral("-root"), QStringLiteral("-tree")}).split(u'\n')) {
            if (!line.contains(QStringLiteral("\"使用する会社データを選択\""))) continue;
            const QString id = line.trimmed().section(u' ', 0, 0);
            if (xwininfo({QStringLiteral("-id"), id}).contains(QStringLiteral("Map State: IsViewable")))
                return true;
        }
        return false;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return p->state() != QProcess::Running || choiceShown(); }, 20000))
        << "no company choice";
    EXPECT_EQ(p->state(), QProcess::Running)
        << messages(QStringLiteral("count.log")).join(QLatin1Char('\n')).toStdString();
}

}  // namespace
