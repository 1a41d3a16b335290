// The program pelmoras: the single-instance guard, the folders and the write check, then every
// window once, the main window shown and the event loop.
#include <QApplication>
#include <QFont>

#include "app/TfmMain.h"
#include "app/forms.h"
#include "payroll/paths.h"
#include "payroll/startup.h"
#include "platform/errors.h"
#include "platform/focusmark.h"
#include "platform/fonts.h"
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
}

}  // namespace

int main(int argc, char** argv)
{
    // The font configuration loads while the application connects to the display.
    TFontConfigWarmUp fontConfig;
    TApplication app(argc, argv);
    fontConfig.wait();
    SetupApplication();
    SingleInstance guard(QStringLiteral("Tessavonel"));
    if (!PassSingleInstanceGuard(guard, QApplication::arguments())) return 1;
    SetupPaths();
    if (!CheckIniWritable()) return 1;
    // A start with parameters beside a running copy leaves the data, and the download it may be
    // making, to that copy.
    if (guard.isHeld()) {
        if (!FinishStoppedWork(DataPath)) return 1;
        // A download an earlier run left behind is never used.
        ClearUpdateFolder(DataPath);
    }
    CreateForms();
    guard.setActivateHandler([] { RestoreAndRaise(fmMain); });
    fmMain->show();
    const int result = app.exec();
    guard.release();
    return result;
}
