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

// Overtime typed into 普通残業時間 in either display style (0 decimal, 1 h:mm), as slip entry and
// list entry both take it: the number typed is stored and paid, at 1,500 yen an hour rounded up,
// whatever the field shows afterwards.
struct TypedHours {
    int style;
    const char* typed;
    double hours;
    const char* shown;
    int32_t pay;
};
inline constexpr TypedHours kTypedHours[] = {
    {0, "7:20", 7 + 20.0 / 60, "  7.33", 11000},  // 7 1/3 h, not 7.33 (10,995)
    {1, "7.33", 7.33, "  7:20", 10995},           // 7.33 h, not 7:20 (11,000)
    {0, "8:10", 8 + 10.0 / 60, "  8.17", 12250},  // 8 1/6 h, not 8.17 (12,255)
    {1, "7.99", 7.99, "  7:59", 11985},           // not 7:59 (11,975)
    {1, "1.01", 1.01, "  1:01", 1515},            // 1,515 yen, not 1:01 (1,525)
    {1, "7:20", 7 + 20.0 / 60, "  7:20", 11000}, {0, "7.33", 7.33, "  7.33", 10995},
};
