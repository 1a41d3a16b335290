// Test main: a QApplication on the offscreen platform unless a display is set.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>

#include "app/resets.h"
#include "platform/focusmark.h"
#include "platform/fonts.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    QApplication app(argc, argv);
    // The windows and pages are laid out for the program's faces, as at start.
    InstallFontSubstitutions();
    // Every window shows the focus mark from its start, as in the program.
    InstallFocusMarks();
    // ResetGlobals, which every fixture calls, then puts the print and window state back too.
    RegisterGlobalResets();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
