// The reason of a failed system call reaches the user once, in Japanese and in the program's words:
// real failures of a read and a write, and every code the system has.
#include "platform/errors.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QRegularExpression>
#include <cerrno>
#include <clocale>
#include <cstring>

#include "platform/atomicfile.h"
#include "platform/inifile.h"
#include "tests/testutil.h"

namespace {

using SystemErrorTest = CoreTest;

// Makes a file immutable for as long as it lives: even root may not replace it.
struct Immutable {
    QByteArray name;
    bool set = false;
    explicit Immutable(const QString& path) : name(QFile::encodeName(path)) { set = flags(FS_IMMUTABLE_FL); }
    ~Immutable()
    {
        if (set) flags(0);
    }
    bool flags(int f)
    {
        const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        const bool ok = ::ioctl(fd, FS_IOC_SETFLAGS, &f) == 0;
        ::close(fd);
        return ok;
    }
};

// The code open() fails with for an ordinary user (nobody) reading path.
int openAsNobody(const QByteArray& path)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(0);
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        ::_exit(fd < 0 ? errno : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The message of the IoError that f throws, or a note that it threw none.
template <typename F>
QString messageOf(F f)
{
    try {
        f();
    } catch (const IoError& e) {
        return e.message();
    }
    return QStringLiteral("no error");
}

TEST_F(SystemErrorTest, ReadsAndWritesThatFailSayTheReasonOnceInJapanese)
{
    const QString folder = dir() + QStringLiteral("Tolvane.ini");
    QDir().mkpath(folder);
    const QString locked = dir() + QStringLiteral("locked.ini");
    WriteAll(locked, "[Option]\r\n");
    ::chmod(QFile::encodeName(locked).constData(), 0600);
    const QString gone = dir() + QStringLiteral("gone/Tolvane.ini");
    struct Case {
        const char* what;
        QString told;      // the whole message or reason the user is shown
        QString expected;  // what it must be
    };
    std::vector<Case> cases = {
        {"a folder in place of the settings file, read", messageOf([&] { IniFile ini(folder); }),
         QStringLiteral("設定ファイルの読み込みに失敗しました。\n%1\nファイルではなくフォルダーです。")
             .arg(folder)},
        {"a folder in place of a file written",
         messageOf([&] { WriteFileAtomic(folder, "x", QStringLiteral("書き込み")); }),
         QStringLiteral("書き込みに失敗しました。\n%1\nファイルではなくフォルダーです。").arg(folder)},
        {"a missing folder, written",
         messageOf([&] { WriteFileAtomic(gone, "x", QStringLiteral("書き込み")); }),
         QStringLiteral("書き込みに失敗しました。\n%1\nフォルダーが見つかりません。").arg(gone)},
    };
    if (::geteuid() == 0) {
        // Root may read anything: the code an ordinary user gets, and a file even root may not replace.
        cases.push_back({"a file its user may not read",
                         SystemReadReason(openAsNobody(QFile::encodeName(locked))),
                         QStringLiteral("読み込む権限がありません。")});
        Immutable fixed(locked);
        if (fixed.set)
            cases.push_back(
                {"an immutable file, replaced",
                 messageOf([&] { WriteFileAtomic(locked, "x", QStringLiteral("書き込み")); }),
                 QStringLiteral("書き込みに失敗しました。\n%1\n書き込む権限がありません。").arg(locked)});
    } else {
        cases.push_back({"a file its user may not read", messageOf([&] {
                                                             ::chmod(QFile::encodeName(locked).constData(),
                                                                     0200);
                                                             IniFile ini(locked);
                                                         }).section(QLatin1Char('\n'), 2),
                         QStringLiteral("読み込む権限がありません。")});
        ::chmod(QFile::encodeName(locked).constData(), 0600);
    }
    for (const Case& c : cases) EXPECT_EQ(c.told, c.expected) << c.what;
    EXPECT_EQ(ReadAll(locked), QByteArray("[Option]\r\n"));
}

// Every code the system knows, in whatever language the system would say it: one Japanese sentence,
// never the system's text, no English word.
TEST_F(SystemErrorTest, EveryCodeHasOneJapaneseReason)
{
    const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
    for (int err = 1; err < 134; ++err) {
        for (const QString& reason : {SystemReason(err), SystemReadReason(err)}) {
            SCOPED_TRACE(err);
            EXPECT_FALSE(reason.isEmpty());
            EXPECT_FALSE(reason.contains(latin)) << reason.toStdString();
            EXPECT_FALSE(reason.contains(QString::fromLocal8Bit(std::strerror(err)))) << reason.toStdString();
            EXPECT_TRUE(reason.endsWith(QStringLiteral("。"))) << reason.toStdString();
            EXPECT_EQ(reason.count(QStringLiteral("。")), 1) << reason.toStdString();
        }
    }
    EXPECT_EQ(SystemReason(EISDIR), QStringLiteral("ファイルではなくフォルダーです。"));
    EXPECT_EQ(SystemReadReason(ENOENT), QStringLiteral("ファイルが見つかりません。"));
}

}  // namespace
