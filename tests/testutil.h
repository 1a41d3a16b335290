// Helpers shared by the tests: a fresh temporary folder with the core's globals reset, the built
// tables, an open year file with its periods, employees and company, and modal windows answered.
#pragma once
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <cstring>
#include <functional>
#include <memory>
#include <ostream>

#include "payroll/records.h"

struct TPeriodRecord;
#include "platform/formref.h"
#include "platform/msgbox.h"

// Lets gtest print texts in messages and failed comparisons.
inline std::ostream& operator<<(std::ostream& os, const QString& s)
{
    return os << s.toStdString();
}
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
// A text written in the source as UTF-8.
inline QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// Resets every core global and gives each test an empty folder (ending in "/").
class CoreTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    QString dir() const { return tmp_.path() + QStringLiteral("/"); }
    // The test's folder as the data folder, with the settings file the program keeps there.
    void useDataFolder();
    // The tables as the build made them, loaded the way the program loads them.
    static void loadBuiltTables();

  private:
    QTemporaryDir tmp_;
};

// The built tables loaded before each test.
class TablesTest : public CoreTest {
  protected:
    void SetUp() override;
};

// The open year 令和8 as an empty year file in the test's data folder, with the built tables.
// Every period loaded gets the suite's company() in place of the file's empty block.
class PeriodTest : public TablesTest {
  protected:
    void SetUp() override;
    // Period p read from the year file and nothing else.
    void loadPeriod(int p);
    // A month or a bonus paid on month/day, opened as the program opens them: the period, its
    // rounding settings and the items of its slip.
    void openMonth(int m);
    void openBonus(int p, int month, int day);
    // By default テスト株式会社 with a month of 21 working days of 168 hours, at the 2026 rates.
    virtual void company();
    // The company of the printed slips: トルヴァーネ商事株式会社, paying on the 25th, at the 2026 rates.
    static void slipCompany();
    // A monthly-paid employee "社員" in slot e under key (by default one made from the slot):
    // health, pension and employment insurance, tax column 甲 with one dependant.
    static TEmployeeRec& employee(int e, const QByteArray& key = {});

  private:
    void openPeriod(int p);
};

// A zeroed period record, to be written into a year file behind the program's back.
std::unique_ptr<TPeriodRecord> PeriodRecord();
// Writes rec as period p of a year file (made with fifteen empty periods when missing) and marks
// the period saved.
void StorePeriod(const QString& file, int p, const TPeriodRecord& rec);

QByteArray ReadAll(const QString& path);
// The permission bits of a file or folder (0600, 0700), -1 when it does not exist.
int FileMode(const QString& path);
void WriteAll(const QString& path, const QByteArray& bytes);
// A fixture file of tests/data.
QString TestData(const QString& name);
// The folder the build wrote the table files to (ending in "/").
QString BuiltTables();

// A published table of data/tables read with nothing of the program: cells by column name.
struct PublishedCsv {
    explicit PublishedCsv(const char* name);
    QString s(int row, const char* column) const { return rows[row][col.value(QLatin1String(column))]; }
    int n(int row, const char* column) const { return s(row, column).toInt(); }
    // The first row whose column holds value, -1 when none does.
    int find(const char* column, int value) const;
    QHash<QString, int> col;
    QList<QStringList> rows;
};

// The control of a window by its objectName (the windows keep their controls private); a name
// that is not there ends the test program with that name.
template <class T>
T* child(const QObject* w, const char* name)
{
    T* c = w->findChild<T*>(QString::fromLatin1(name));
    if (!c) qFatal("%s has no control %s", qPrintable(w->objectName()), name);
    return c;
}

// The value of type T stored at byte offset of data, as the records keep it.
template <typename T>
T ValueAt(const void* data, qint64 offset)
{
    T v;
    std::memcpy(&v, static_cast<const char*>(data) + offset, sizeof v);
    return v;
}
template <typename T>
T ValueAt(const QByteArray& bytes, qint64 offset)
{
    return ValueAt<T>(bytes.constData(), offset);
}

// Writes data over the bytes of an existing file at pos, behind the program's back.
template <typename T>
void WriteAt(const QString& file, qint64 pos, const T& data)
{
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite)) << file;
    ASSERT_TRUE(f.seek(pos));
    ASSERT_EQ(f.write(reinterpret_cast<const char*>(&data), sizeof data), qint64(sizeof data));
}

// Every entry under folder, hidden ones included, links as links: a folder's name ends in "/", a
// file holds its bytes, a link "-> target".
using FolderTree = QMap<QString, QByteArray>;
FolderTree ReadFolderTree(const QString& folder);

// A swap journal written into stage as the program writes one, from lines of the journal's own form
// with plain paths: "D folder", "A from to", "P from to", "R from to".
void WriteSwapJournalLines(const QString& stage, const QByteArray& head, const QString& lines);

// The controls (their objectName) the focus stands on in window, shown and active: from the one
// named first, then after each of steps presses of key through the window system.
QStringList WalkFocus(QWidget* window, const QString& first, qsizetype steps, Qt::Key key,
                      Qt::KeyboardModifiers mods = Qt::NoModifier);

// Runs act once window() is shown, from the event loop of that modal window, as a user answers
// it. A window that has not shown within timeoutMs is given up, and act never runs.
void WhenShown(std::function<QWidget*()> window, std::function<void()> act, int timeoutMs = 30000);
// The same for the window a global pointer of the program (fmMain, fmInji, ...) points to then.
template <typename W>
void WhenShown(W* const& window, std::function<void()> act, int timeoutMs = 30000)
{
    WhenShown([&window]() -> QWidget* { return window; }, std::move(act), timeoutMs);
}
// The same for a window created on first use: it is looked at once it exists.
template <typename W>
void WhenShown(TFormRef<W>& window, std::function<void()> act, int timeoutMs = 30000)
{
    WhenShown([&window]() -> QWidget* { return window.existing(); }, std::move(act), timeoutMs);
}

// A test that needs a real X server (windows without a window manager, key events through the
// window system): run offscreen, it runs itself again under xvfb-run with the xcb platform, checks
// that run and returns true (skipped where xvfb-run is missing), and the caller returns; on xcb it
// returns false and the test goes on. With windowManager the run has openbox managing the windows
// as a desktop does (skipped where openbox is missing).
bool RanItselfUnderXvfb(int timeoutMs = 240000, bool windowManager = false);
// The same with a window manager (openbox) on that server, as a user's desktop has one: focus moves
// the way the window manager moves it when a window closes. Skipped where openbox is missing.
bool RanItselfUnderXvfbWithWindowManager(int timeoutMs = 240000);
// The mouse of the X server the test runs on (xcb only), driven through the XTEST extension as
// a user's mouse drives it: the pointer moves and the left button goes down or up on the server,
// which hands the events to the window under the pointer, as a desktop does. It has its own
// connection to the server, so a thread of the test may drive it while the program's thread is
// busy; its key() presses a key of the server's keyboard the same way. ok() is false where the X
// libraries cannot be opened (then nothing happens).
class ServerMouse {
  public:
    ServerMouse();
    ~ServerMouse();
    ServerMouse(const ServerMouse&) = delete;
    ServerMouse& operator=(const ServerMouse&) = delete;
    bool ok() const { return display_ != nullptr; }
    // The pointer to the middle of w, where the program placed its window (its native window may
    // not have caught up yet).
    static QPoint middleOf(QWidget* w);
    void moveTo(QPoint global);
    void press();
    void release();
    // A key of the server's keyboard pressed and released (keysym: X's name of it, e.g. 0xff67 for
    // the menu key), handed to the focused window as a user's key is.
    void key(unsigned long keysym);

  private:
    void* x11_ = nullptr;
    void* xtst_ = nullptr;
    void* display_ = nullptr;
};
// The message boxes as the user has them (QMessageBox) while it lives, in place of the handler a
// test installed; that one comes back at its end.
class RealMessageBoxes {
  public:
    RealMessageBoxes();
    ~RealMessageBoxes();
    RealMessageBoxes(const RealMessageBoxes&) = delete;
    RealMessageBoxes& operator=(const RealMessageBoxes&) = delete;

  private:
    MsgHandler handler_;
    BeepHandler beep_;
};
// Presses key on the next message box that shows, once it is the active window, and keeps its
// text in *text. A box the key left open is closed as Escape closes it.
void KeyOnNextMessageBox(Qt::Key key, QString* text = nullptr);

// Failures of the file system, made on the test's side.
// Writes to regular files fail with EFBIG from byte limit on (RLIMIT_FSIZE, SIGXFSZ ignored) while
// it lives: a write stopped at a chosen byte.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(qint64 limit);
    ~FileSizeLimit();

  private:
    qint64 soft_;
    void (*handler_)(int);
};
// A tmpfs of a few pages mounted on folder and filled, so that every write there fails with
// ENOSPC. Mounting needs root (CI runs as root); mounted() is false where it cannot be done.
class FullFileSystem {
  public:
    explicit FullFileSystem(const QString& folder);
    ~FullFileSystem();
    bool mounted() const { return mounted_; }
    // Fills what is left free; files put there before stay.
    void fill();

  private:
    QString folder_;
    bool mounted_ = false;
};
// Runs act in a forked child that dies by SIGXFSZ when a write reaches byte limit, as a kill in
// the middle of a write would stop the program. Returns true when the child was stopped that way,
// false when it ended normally.
bool KilledAtByte(qint64 limit, const std::function<void()>& act);
// Runs act in a forked child whose address space is limited to 1 GiB (where it can be set) and
// gives back the text it returns, "AppError: <message>" for a user's message it throws, "hung"
// when it has not ended within the generous limit that only a blocked child reaches (it is then
// killed) and "died" when it ended otherwise (an allocation past the limit).
QString InChild(const std::function<QString()>& act, int limitMs = 60000);
