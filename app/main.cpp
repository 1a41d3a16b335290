// The program pelmoras: the single-instance guard, the folders and the write check, then every
// window once, the main window shown and the event loop.
#include <QApplication>
#include <QFont>
#include <csignal>

#include "app/TfmMain.h"
#include "app/forms.h"
#include "payroll/paths.h"
#include "payroll/startup.h"
#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/filedialogs.h"
#include "platform/focusmark.h"
#include "platform/fonts.h"
#include "platform/keyrules.h"
#include "platform/msgbox.h"
#include "platform/msgbox_qt.h"
#include "platform/singleinstance.h"
#include "platform/translations.h"
#include "services/update.h"

namespace {

// One guard for every event handler: an error meant for the user is shown and the program goes
// on, as with the runtime the program was designed for.
class TApplication : public QApplication {
  public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const AppError& e) {
            ShowError(e.message());
            return false;
        }
    }
};

void SetupApplication()
{
    // The name titles the message boxes. Not set as the display name: X11 would append that to
    // every window title, which already begins with the product name.
    QApplication::setApplicationName(ProductName);
    InstallFontSubstitutions();
    // The file and printer dialogs are Qt's own; without the translation they stay English.
    InstallQtTranslations();
    InstallApplicationFont();
    InstallQtMessageBoxes();
    InstallFocusMarks();
    InstallFileDialogColumns();
    InstallKeyRules();
}

// The start up to the main window on screen; false, after its message, when the program must end.
bool StartUp(SingleInstance& guard)
{
    if (!PassSingleInstanceGuard(guard, QApplication::arguments())) return false;
    SetupPaths();
    if (!CheckIniWritable() || !CheckIniReadable()) return false;
    // Stopped work is settled at every start that holds the lock. An update run beside a running
    // copy leaves the data, and the download it may be making, to that copy.
    if (guard.isHeld()) {
        if (!FinishStoppedWork(DataPath)) return false;
        // A download an earlier run left behind is never used.
        ClearUpdateFolder(DataPath);
    } else if (!guard.isUsable() && !StartWithoutLock(DataPath, guard.lockFileName())) {
        // Without a lock nothing tells whether another copy runs: a stopped restore waits.
        return false;
    }
    // Temporaries made outside the data root are found again by the next start.
    SetTemporaryRecord(TemporaryRecordFile(DataPath));
    CreateForms();
    guard.setActivateHandler([] { RestoreAndRaise(fmMain); });
    fmMain->show();
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    // A write beyond the file size limit (ulimit -f) then fails with EFBIG and is reported, the
    // previous file kept, instead of the signal ending the program without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    // The font configuration loads while the application connects to the display.
    TFontConfigWarmUp fontConfig;
    TApplication app(argc, argv);
    fontConfig.wait();
    SetupApplication();
    SingleInstance guard(QStringLiteral("Tessavonel"));
    // Nothing thrown on the way to the event loop ends the program unexplained: the windows read
    // the settings as they are made.
    try {
        if (!StartUp(guard)) return 1;
    } catch (const AppError& e) {
        ShowError(e.message());
        return 1;
    } catch (const std::exception& e) {
        ShowError(QStringLiteral("起動中にエラーが発生しました。\n%1").arg(QString::fromLocal8Bit(e.what())));
        return 1;
    }
    const int result = app.exec();
    guard.release();
    return result;
}
