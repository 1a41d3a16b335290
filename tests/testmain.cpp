// Test main: a QApplication on the offscreen platform unless a display is set, in a home of its own.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QLocale>
#include <cstdio>
#include <cstdlib>

#include "app/resets.h"
#include "platform/filedialogs.h"
#include "platform/focusmark.h"
#include "platform/fonts.h"
#include "platform/keyrules.h"

// Built with AddressSanitizer, the runtime leaves __tls_get_addr alone. Its interceptor guesses the
// bounds of a dynamic TLS block (a library's thread-local data, made when a thread first touches a
// library opened after start) from a header that glibc stopped writing long ago: a block that
// happens to start 16 bytes past a page boundary has the allocator's own chunk header read as its
// bounds, and LeakSanitizer's scan at exit runs into unmapped memory ("Tracer caught signal 11").
// Without the interceptor the blocks are still found: they are heap blocks that the thread's
// vector of TLS blocks points to, and that vector is reached from the thread's static TLS, which is
// scanned as before.
extern "C" const char* __asan_default_options()
{
    return "intercept_tls_get_addr=0";
}

namespace {
// Every test process runs with a home and XDG folders of its own, made here and removed at its
// end: no test reads or writes the developer's settings (Qt's file dialog history, fontconfig's
// cache, the data folder under ~/.local/share), so one run cannot change the next.
class PrivateHome {
  public:
    PrivateHome()
    {
        QByteArray base = qgetenv("TMPDIR");
        if (base.isEmpty()) base = "/tmp";
        QByteArray name = base + "/pelmoras-test-home-XXXXXX";
        if (!::mkdtemp(name.data())) {
            std::perror("mkdtemp");
            std::exit(2);
        }
        home_ = name;
        const struct {
            const char* var;
            const char* sub;
        } folders[] = {{"XDG_CONFIG_HOME", "/.config"},
                       {"XDG_DATA_HOME", "/.local/share"},
                       {"XDG_CACHE_HOME", "/.cache"},
                       {"XDG_STATE_HOME", "/.local/state"},
                       {"XDG_RUNTIME_DIR", "/.runtime"}};
        ::setenv("HOME", home_.constData(), 1);
        for (const auto& f : folders) {
            const QByteArray path = home_ + f.sub;
            QDir().mkpath(QString::fromLocal8Bit(path));
            ::chmod(path.constData(), 0700);
            ::setenv(f.var, path.constData(), 1);
        }
    }
    ~PrivateHome() { QDir(QString::fromLocal8Bit(home_)).removeRecursively(); }
    PrivateHome(const PrivateHome&) = delete;
    PrivateHome& operator=(const PrivateHome&) = delete;

  private:
    QByteArray home_;
};
}  // namespace

int main(int argc, char** argv)
{
    const PrivateHome home;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    QApplication app(argc, argv);
    // The windows and pages are laid out for the program's faces, as at start.
    InstallFontSubstitutions();
    // Every window shows the focus mark from its start, as in the program.
    InstallFocusMarks();
    // The file dialogs' columns fit what they show, as in the program.
    InstallFileDialogColumns();
    // And the keys every window shares.
    InstallKeyRules();
    // ResetGlobals, which every fixture calls, then puts the print and window state back too.
    RegisterGlobalResets();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
