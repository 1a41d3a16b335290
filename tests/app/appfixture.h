// Fixtures of the window tests: the program's windows around a test, a window shown and active as
// the user has it, and the pictures of docs/screenshots/.
#pragma once
#include <QApplication>
#include <QTest>
#include <QWidget>

#include "app/TfmMain.h"
#include "app/forms.h"
#include "platform/fonts.h"
#include "tests/testutil.h"

// Base with the program's windows created for each test and deleted after it, unasked.
template <class Base>
class WithForms : public Base {
  protected:
    void SetUp() override
    {
        Base::SetUp();
        CreateForms();
    }
    void TearDown() override
    {
        if (fmMain) fmMain->SkipSaveCheck = true;
        DestroyForms();
        Base::TearDown();
    }
};

// Shows w and waits until it is the active window: offscreen windows take no focus otherwise.
inline void ShowActive(QWidget* w)
{
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w, 60000));
    QCoreApplication::processEvents();  // what the activation starts
}

// The folder PELMORAS_SCREENSHOTS names for the pictures of the documentation, else empty.
inline QString ScreenshotFolder()
{
    return qEnvironmentVariable("PELMORAS_SCREENSHOTS");
}
// Saves w as file in that folder, when there is one.
inline void Screenshot(QWidget* w, const char* file)
{
    if (!ScreenshotFolder().isEmpty()) {
        EXPECT_TRUE(w->grab().save(ScreenshotFolder() + u'/' + QString::fromLatin1(file))) << file;
    }
}

// While screenshots are taken, the program's faces and size for the windows made after it; the
// test's font again at its end.
class ScreenshotFont {
  public:
    ScreenshotFont()
    {
        if (!on()) return;
        InstallFontSubstitutions();
        InstallApplicationFont();
    }
    ~ScreenshotFont()
    {
        if (on()) QApplication::setFont(saved_);
    }
    bool on() const { return !ScreenshotFolder().isEmpty(); }

  private:
    const QFont saved_ = QApplication::font();
};
