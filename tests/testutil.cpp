// Helpers shared by the tests.
#include "tests/testutil.h"

#include <dlfcn.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <csignal>

#include "payroll/corpinfo.h"
#include "payroll/option.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/slipitems.h"
#include "payroll/taxtable.h"
#include "payroll/yearfile.h"
#include "platform/errors.h"
#include "platform/msgbox_qt.h"
#include "platform/stageswap.h"

void CoreTest::SetUp()
{
    ASSERT_TRUE(tmp_.isValid());
    ResetGlobals();
}

void CoreTest::TearDown()
{
    ResetGlobals();
}

void CoreTest::useDataFolder()
{
    DataPath = dir();
    IniFileName = dir() + QStringLiteral("Tolvane.ini");
}

void CoreTest::loadBuiltTables()
{
    TablePath = BuiltTables();
    LoadTableFiles();
    ASSERT_EQ(TableFileCount, 3) << TableFileProblems.join(QLatin1Char('\n'));
    ASSERT_EQ(KenhoGradeCount(), 50);
}

void TablesTest::SetUp()
{
    CoreTest::SetUp();
    loadBuiltTables();
}

void PeriodTest::SetUp()
{
    TablesTest::SetUp();
    useDataFolder();
    CurEra = {QStringLiteral("令和"), QStringLiteral("08")};
    CurPeriod.EraText = CurEra.EraText;
    CurPeriod.EraYear = 8;
    CurPeriod.FileName = YearFileName(dir(), CurPeriod.EraText, 8);
    CreateYearFile(CurPeriod.FileName);
}

void PeriodTest::loadPeriod(int p)
{
    CurPeriod.Period = p;
    LoadPeriod(CurPeriod.FileName, p);
    company();
}

void PeriodTest::openPeriod(int p)
{
    loadPeriod(p);
    LoadHasuu(p);
    if (p <= 12)
        LoadKyuyoItemSetting(true);
    else
        LoadSyoyoItemSetting(true);
}

void PeriodTest::openMonth(int m)
{
    ASSERT_LE(m, 12);
    openPeriod(m);
}

void PeriodTest::openBonus(int p, int month, int day)
{
    ASSERT_GT(p, 12);
    openPeriod(p);
    YearHeader.SyoyoMonth[p - 12] = month;
    YearHeader.SyoyoDay[p - 12] = day;
}

// The employees' shares of 2026: employment 0.5 %, health 4.955 %, care 0.795 %, pension 9.15 %.
static void rates2026()
{
    CorpRec.KoyRitu = 0.5;
    CorpRec.KenRitu = 4.955;
    CorpRec.KaiRitu = 0.795;
    CorpRec.NenRitu = 9.15;
}

void PeriodTest::company()
{
    CorpRec.Syamei.setText(QStringLiteral("テスト株式会社"));
    CorpRec.Nissu = 21;
    CorpRec.Jikan = 168;
    rates2026();
}

void PeriodTest::slipCompany()
{
    CorpRec.Syamei.setText(QStringLiteral("トルヴァーネ商事株式会社"));
    CorpRec.Sikyubi = 25;
    rates2026();
}

TEmployeeRec& PeriodTest::employee(int e, const QByteArray& key)
{
    TEmployeeRec& E = SyainRec[e];
    E.Simei.setText(QStringLiteral("社員"));
    E.MembKey.setBytes(key.isEmpty() ? "260401_0900" + QByteArray::number(e).rightJustified(2, '0') : key);
    E.Keitai = 1;
    E.Zeigaku = 0;
    E.Sinzoku = 1;
    E.Kenkou = E.NenHoken = E.Koyou = 1;
    return E;
}

std::unique_ptr<TPeriodRecord> PeriodRecord()
{
    auto rec = std::make_unique<TPeriodRecord>();
    std::memset(rec.get(), 0, sizeof *rec);
    return rec;
}

void StorePeriod(const QString& file, int p, const TPeriodRecord& rec)
{
    if (!QFile::exists(file)) WriteAll(file, QByteArray(YearFileSize, '\0'));
    WriteAt(file, DataRecPos(p - 1), rec);
    WriteAt(file, 7 + p, char(1));  // the saved flag of period p
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

int FileMode(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QString TestData(const QString& name)
{
    return QStringLiteral(TEST_DATA_DIR "/") + name;
}

QString BuiltTables()
{
    return QStringLiteral(TABLE_BUILD_DIR);
}

PublishedCsv::PublishedCsv(const char* name)
{
    const QByteArray text = ReadAll(QStringLiteral(TABLE_CSV_DIR) + QString::fromUtf8(name));
    EXPECT_FALSE(text.isEmpty()) << name;
    const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList head = lines.value(0).split(QLatin1Char(','));
    for (int i = 0; i < head.size(); ++i) col.insert(head[i], i);
    for (int i = 1; i < lines.size(); ++i) rows << lines[i].split(QLatin1Char(','));
}

int PublishedCsv::find(const char* column, int value) const
{
    for (int r = 0; r < rows.size(); ++r)
        if (n(r, column) == value) return r;
    return -1;
}

namespace {

const char kWindowManagerVariable[] = "PELMORAS_TEST_WINDOW_MANAGER";

// Ends the window manager when the test ends.
class WindowManagerEnd : public ::testing::EmptyTestEventListener {
  public:
    explicit WindowManagerEnd(QProcess* wm) : wm_(wm) {}
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        if (!wm_) return;
        wm_->terminate();
        if (!wm_->waitForFinished(10000)) wm_->kill(), wm_->waitForFinished(1000);
        delete wm_;
        wm_ = nullptr;
    }

  private:
    QProcess* wm_;
};

// openbox on the test's X server for the rest of the test program (one test), its settings and
// cache in a folder of its own. It has taken the screen once it runs its start command.
void startWindowManager()
{
    static QTemporaryDir home;
    auto* wm = new QProcess;
    ::testing::UnitTest::GetInstance()->listeners().Append(new WindowManagerEnd(wm));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home.path() + QStringLiteral("/cache"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
    wm->setProcessEnvironment(env);
    wm->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    wm->start(QStringLiteral("openbox"),
              {QStringLiteral("--sm-disable"), QStringLiteral("--startup"), QStringLiteral("echo managing")});
    QByteArray said;
    while (!said.contains("managing") && wm->waitForReadyRead(30000)) said += wm->readAllStandardOutput();
    ASSERT_TRUE(said.contains("managing")) << "openbox did not start: " << said.toStdString();
}

bool runItselfUnderXvfb(int timeoutMs, bool windowManager)
{
    if (QGuiApplication::platformName() == QStringLiteral("xcb")) {
        if (windowManager && qEnvironmentVariableIsSet(kWindowManagerVariable)) startWindowManager();
        return false;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("xvfb-run")).isEmpty()) {
        [] { GTEST_SKIP() << "no xvfb-run"; }();
        return true;
    }
    if (windowManager && QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty()) {
        [] { GTEST_SKIP() << "no openbox"; }();
        return true;
    }
    const ::testing::TestInfo* me = ::testing::UnitTest::GetInstance()->current_test_info();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    if (windowManager) env.insert(QString::fromLatin1(kWindowManagerVariable), QStringLiteral("openbox"));
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("xvfb-run"),
                {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1024x768x24"),
                 QCoreApplication::applicationFilePath(),
                 QStringLiteral("--gtest_filter=%1.%2")
                     .arg(QString::fromUtf8(me->test_suite_name()), QString::fromUtf8(me->name()))});
    EXPECT_TRUE(child.waitForFinished(timeoutMs));
    const QString out = QString::fromUtf8(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
    // A child that skipped or ran nothing checked nothing.
    if (windowManager) {
        EXPECT_TRUE(out.contains(QStringLiteral("[  PASSED  ] 1 test"))) << out.toStdString();
    }
    return true;
}

}  // namespace

FolderTree ReadFolderTree(const QString& folder)
{
    FolderTree t;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        const QString rel = QDir(folder).relativeFilePath(f);
        const QFileInfo info(f);
        if (info.isSymLink()) {
            char target[4096];
            const ssize_t n = ::readlink(QFile::encodeName(f).constData(), target, sizeof target);
            t.insert(rel, "-> " + QByteArray(target, n > 0 ? int(n) : 0));
        } else if (info.isDir())
            t.insert(rel + u'/', {});
        else
            t.insert(rel, ReadAll(f));
    }
    return t;
}

void WriteSwapJournalLines(const QString& stage, const QByteArray& head, const QString& lines)
{
    TSwapJournal journal;
    for (const QString& line : lines.split(u'\n')) {
        const QStringList parts = line.split(u' ');
        if (parts.value(0) == QStringLiteral("D"))
            journal.folders << QFile::encodeName(parts.value(1));
        else
            journal.steps.push_back({parts.value(0).at(0).toLatin1(), QFile::encodeName(parts.value(1)),
                                     QFile::encodeName(parts.value(2))});
    }
    TSwapKind kind;
    kind.head = head;
    WriteSwapJournal(stage, journal, kind);
}

QStringList WalkFocus(QWidget* window, const QString& first, qsizetype steps, Qt::Key key,
                      Qt::KeyboardModifiers mods)
{
    const auto focused = [] {
        QWidget* f = QApplication::focusWidget();
        return f ? f->objectName() : QString();
    };
    window->findChild<QWidget*>(first)->setFocus();
    QStringList walked = {focused()};
    for (qsizetype i = 0; i < steps; ++i) {
        QTest::keyClick(window->windowHandle(), key, mods);
        walked << focused();
    }
    return walked;
}

bool RanItselfUnderXvfb(int timeoutMs, bool windowManager)
{
    return runItselfUnderXvfb(timeoutMs, windowManager);
}

bool RanItselfUnderXvfbWithWindowManager(int timeoutMs)
{
    return runItselfUnderXvfb(timeoutMs, true);
}

void WhenShown(std::function<QWidget*()> window, std::function<void()> act, int timeoutMs)
{
    auto* timer = new QTimer;
    const QDeadlineTimer deadline(timeoutMs);
    QObject::connect(timer, &QTimer::timeout, [timer, window, act, deadline] {
        QWidget* w = window();
        const bool shown = w && w->isVisible();
        if (!shown && !deadline.hasExpired()) return;
        timer->stop();
        timer->deleteLater();
        if (shown) act();
    });
    timer->start(10);
}

namespace {
// The few calls of libX11 and libXtst the server mouse makes, looked up when it is made.
template <typename F>
F xcall(void* lib, const char* name)
{
    return lib ? reinterpret_cast<F>(::dlsym(lib, name)) : nullptr;
}
}  // namespace

ServerMouse::ServerMouse()
    : x11_(::dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL)),
      xtst_(::dlopen("libXtst.so.6", RTLD_NOW | RTLD_LOCAL))
{
    const auto open = xcall<void* (*)(const char*)>(x11_, "XOpenDisplay");
    if (open && xtst_ && QGuiApplication::platformName() == QStringLiteral("xcb")) display_ = open(nullptr);
}

ServerMouse::~ServerMouse()
{
    if (display_) xcall<int (*)(void*)>(x11_, "XCloseDisplay")(display_);
    if (xtst_) ::dlclose(xtst_);
    if (x11_) ::dlclose(x11_);
}

QPoint ServerMouse::middleOf(QWidget* w)
{
    return w->window()->geometry().topLeft() + w->mapTo(w->window(), w->rect().center());
}

void ServerMouse::moveTo(QPoint at)
{
    if (!display_) return;
    xcall<int (*)(void*, int, int, int, unsigned long)>(xtst_, "XTestFakeMotionEvent")(display_, -1, at.x(),
                                                                                       at.y(), 0);
    xcall<int (*)(void*)>(x11_, "XFlush")(display_);
}

void ServerMouse::press()
{
    if (!display_) return;
    xcall<int (*)(void*, unsigned, int, unsigned long)>(xtst_, "XTestFakeButtonEvent")(display_, 1, 1, 0);
    xcall<int (*)(void*)>(x11_, "XFlush")(display_);
}

void ServerMouse::release()
{
    if (!display_) return;
    xcall<int (*)(void*, unsigned, int, unsigned long)>(xtst_, "XTestFakeButtonEvent")(display_, 1, 0, 0);
    xcall<int (*)(void*)>(x11_, "XFlush")(display_);
}

void ServerMouse::key(unsigned long keysym)
{
    if (!display_) return;
    const unsigned code =
        xcall<unsigned char (*)(void*, unsigned long)>(x11_, "XKeysymToKeycode")(display_, keysym);
    const auto fake = xcall<int (*)(void*, unsigned, int, unsigned long)>(xtst_, "XTestFakeKeyEvent");
    fake(display_, code, 1, 0);
    fake(display_, code, 0, 0);
    xcall<int (*)(void*)>(x11_, "XFlush")(display_);
}

RealMessageBoxes::RealMessageBoxes() : handler_(SetMsgHandler(nullptr)), beep_(SetBeepHandler(nullptr))
{
    InstallQtMessageBoxes();
}

RealMessageBoxes::~RealMessageBoxes()
{
    SetMsgHandler(std::move(handler_));
    SetBeepHandler(std::move(beep_));
}

void KeyOnNextMessageBox(Qt::Key key, QString* text)
{
    const auto box = []() -> QWidget* {
        return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    };
    WhenShown(box, [box, key, text] {
        auto* b = static_cast<QMessageBox*>(box());
        if (text) *text = b->text();
        b->activateWindow();
        if (QTest::qWaitForWindowActive(b, 60000)) QTest::keyClick(b->windowHandle(), key);
        if (b->isVisible()) b->reject();
    });
}

FileSizeLimit::FileSizeLimit(qint64 limit) : handler_(std::signal(SIGXFSZ, SIG_IGN))
{
    rlimit r;
    ::getrlimit(RLIMIT_FSIZE, &r);
    soft_ = qint64(r.rlim_cur);
    r.rlim_cur = rlim_t(limit);
    ::setrlimit(RLIMIT_FSIZE, &r);
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit r;
    ::getrlimit(RLIMIT_FSIZE, &r);
    r.rlim_cur = rlim_t(soft_);
    ::setrlimit(RLIMIT_FSIZE, &r);
    std::signal(SIGXFSZ, handler_);
}

FullFileSystem::FullFileSystem(const QString& folder) : folder_(folder)
{
    QDir().mkpath(folder);
    mounted_ = ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=64k,mode=0700") == 0;
}

FullFileSystem::~FullFileSystem()
{
    if (mounted_) ::umount2(QFile::encodeName(folder_).constData(), MNT_DETACH);
}

void FullFileSystem::fill()
{
    QFile f(folder_ + QStringLiteral("/filler"));
    if (!f.open(QIODevice::Append | QIODevice::Unbuffered)) return;
    const QByteArray block(4096, 'f');
    while (f.write(block) > 0) {
    }
    for (int n = 1024; n > 0; n /= 2)
        while (f.write(block.left(n)) == n) {
        }
}

bool KilledAtByte(qint64 limit, const std::function<void()>& act)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        std::signal(SIGXFSZ, SIG_DFL);
        rlimit r;
        ::getrlimit(RLIMIT_FSIZE, &r);
        r.rlim_cur = rlim_t(limit);
        ::setrlimit(RLIMIT_FSIZE, &r);
        try {
            act();
        } catch (...) {
            ::_exit(2);
        }
        ::_exit(0);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ;
}

QString InChild(const std::function<QString()>& act, int limitMs)
{
    int fds[2];
    if (::pipe(fds) != 0) return QStringLiteral("no pipe");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
#if !defined(__SANITIZE_ADDRESS__)
        const rlimit as{rlim_t(1) << 30, rlim_t(1) << 30};
        ::setrlimit(RLIMIT_AS, &as);
#endif
        QByteArray text;
        try {
            text = act().toUtf8();
        } catch (const AppError& e) {
            text = "AppError: " + e.message().toUtf8();
        } catch (...) {
            ::_exit(3);
        }
        for (qsizetype done = 0; done < text.size();) {
            const ssize_t n = ::write(fds[1], text.constData() + done, size_t(text.size() - done));
            if (n <= 0) ::_exit(4);
            done += n;
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    QByteArray got;
    bool ended = false;
    const QDeadlineTimer deadline(limitMs);
    // The pipe's end is the event waited for: the child closes it when it ends.
    while (!ended && !deadline.hasExpired()) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, int(deadline.remainingTime())) <= 0) continue;
        char buf[4096];
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n > 0)
            got.append(buf, n);
        else if (n == 0 || errno != EINTR)
            ended = true;
    }
    ::close(fds[0]);
    if (!ended) ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!ended) return QStringLiteral("hung");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return QStringLiteral("died");
    return QString::fromUtf8(got);
}
