// The focus mark: every control the keyboard reaches shows that it has the focus, the first one
// from the moment its window opens, and Tab into a group of radio buttons lands on the ticked one.
// Walked with real key events through the window system, under a window manager.
#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QHash>
#include <QImage>
#include <QRadioButton>
#include <QTest>
#include <limits>

#include "app/TfmCalc.h"
#include "app/TfmMembEdit.h"
#include "app/TfmSeqNo.h"
#include "payroll/option.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/ui/TfmFolder.h"
#include "payroll/ui/TfmOption.h"
#include "payroll/ui/TfmSelData.h"
#include "payroll/ui/TfmSelFont.h"
#include "print/ui/TfmInji.h"
#include "print/ui/TfmPrnItem.h"
#include "services/ui/TfmCloud.h"
#include "tests/app/appfixture.h"

namespace {

// What a walk along the Tab order of a window found.
struct TabWalk {
    QStringList reached;     // every control that took the focus, in order
    QStringList unmarked;    // controls that looked the same with and without the focus
    QStringList wrongRadio;  // radio buttons Tab landed on while another of their group is ticked
};

QString nameOf(const QWidget* w)
{
    if (!w->objectName().isEmpty()) return w->objectName();
    QString name = QString::fromLatin1(w->metaObject()->className());
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) name += u'[' + b->text() + u']';
    return name;
}

// A radio button reached while another radio of its group is ticked.
bool uncheckedRadioOfTickedGroup(QWidget* w)
{
    auto* radio = qobject_cast<QRadioButton*>(w);
    if (!radio || radio->isChecked() || !radio->autoExclusive() || !radio->parentWidget()) return false;
    for (QRadioButton* other : radio->parentWidget()->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly))
        if (other != radio && other->autoExclusive() && other->isChecked()) return true;
    return false;
}

// Presses key (Tab, or Enter where the window moves on with it) on the active window until the
// focus is back at its first control or stays put, comparing each control's picture while it has
// the focus with its picture as the window opened (the first control's: once the focus has left).
// The first control's focused picture is taken before any key, as the window opened.
TabWalk WalkFocus(QWidget* window, Qt::Key key = Qt::Key_Tab, int maxSteps = 120)
{
    TabWalk walk;
    QHash<QWidget*, QImage> focused, unfocused;
    QWidget* first = QApplication::focusWidget();
    if (!first) return walk;
    for (QWidget* w : window->findChildren<QWidget*>())
        if (w != first && w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus))
            unfocused.insert(w, w->grab().toImage());
    walk.reached << nameOf(first);
    focused.insert(first, first->grab().toImage());
    if (uncheckedRadioOfTickedGroup(first)) walk.wrongRadio << nameOf(first);
    QWidget* current = first;
    for (int i = 0; i < maxSteps; ++i) {
        QTest::keyClick(window->windowHandle(), key);
        QWidget* next = QApplication::focusWidget();
        if (!next || next == current || next->window() != window) break;
        if (current == first && !unfocused.contains(first)) unfocused.insert(first, first->grab().toImage());
        current = next;
        if (current == first) break;
        walk.reached << nameOf(current);
        if (!focused.contains(current)) focused.insert(current, current->grab().toImage());
        if (uncheckedRadioOfTickedGroup(current)) walk.wrongRadio << nameOf(current);
    }
    // A mark is a line along the control: a few pixels that differ (the style's dotted hint on a
    // checked tool button) are none.
    const auto differing = [](const QImage& a, const QImage& b) {
        if (a.size() != b.size()) return std::numeric_limits<int>::max();
        int n = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
        return n;
    };
    for (auto it = focused.cbegin(); it != focused.cend(); ++it) {
        const QImage& image = it.value();
        if (unfocused.contains(it.key()) &&
            differing(unfocused.value(it.key()), image) < (image.width() + image.height()) / 2)
            walk.unmarked << nameOf(it.key());
    }
    return walk;
}

class FocusMarkTest : public WithForms<PeriodTest> {
  protected:
    void SetUp() override
    {
        WithForms::SetUp();
        loadPeriod(4);
        employee(1);
        employee(2);
        SyainRec[2].Zeigaku = 1;  // 乙欄
        DataRoot = dir();
        SysIniFileName = IniFileName;
    }
    // The window shown and active as the user has it, its walk checked; the controls named must
    // be among those the walk reached.
    void walk(QWidget* window, Qt::Key key, std::initializer_list<const char*> reached)
    {
        ShowActive(window);
        // The window manager may still be giving the focus back after the window closed before.
        const auto focusedHere = [window] {
            return window->isActiveWindow() && QApplication::focusWidget() &&
                   QApplication::focusWidget()->window() == window;
        };
        for (int i = 0; i < 3 && !QTest::qWaitFor(focusedHere, 2000); ++i) {
            window->activateWindow();
            (void)QTest::qWaitForWindowActive(window);
        }
        const TabWalk w = WalkFocus(window, key);
        QWidget* f = QApplication::focusWidget();
        ASSERT_FALSE(w.reached.isEmpty())
            << "focus: " << (f ? nameOf(f) + u(" in ") + nameOf(f->window()) : u("none")) << " active: "
            << (QApplication::activeWindow() ? nameOf(QApplication::activeWindow()) : u("none"));
        EXPECT_TRUE(w.unmarked.isEmpty())
            << "no focus mark: " << w.unmarked.join(u(", ")) << "\nreached: " << w.reached.join(u(", "));
        EXPECT_TRUE(w.wrongRadio.isEmpty()) << "entered on an unticked radio: " << w.wrongRadio.join(u(", "));
        for (const char* name : reached) EXPECT_TRUE(w.reached.contains(u(name))) << name << " never reached";
    }
    // Closes window and waits until the window system has taken it off the screen.
    static void close(QWidget* window)
    {
        window->hide();
        (void)QTest::qWaitFor(
            [window] { return !window->windowHandle() || !window->windowHandle()->isExposed(); });
    }
    ScriptedMsgBox box;
};

// Each window as a user opens it, walked with Tab (and the employee window with Enter, as a
// month-end moves through it); the first control is looked at before any key.
TEST_F(FocusMarkTest, EveryControlShowsTheFocusFromTheStartAndRadioGroupsAreEnteredOnTheTickedOne)
{
    if (RanItselfUnderXvfb(90000, true)) return;
    ScreenshotFont font;  // before the windows are made
    {
        SCOPED_TRACE("employee window by Enter");
        fmMembEdit->setMember(1, false);
        walk(fmMembEdit.get(), Qt::Key_Return, {"cbKeitai", "rbZeigaku0", "cbSex", "cbTaisyo"});
        close(fmMembEdit.get());
    }
    {
        SCOPED_TRACE("employee window by Tab, 乙欄 ticked");
        fmMembEdit->setMember(2, false);
        walk(fmMembEdit.get(), Qt::Key_Tab, {"cbKeitai", "rbZeigaku1", "cbSex", "cbTaisyo"});
        ASSERT_TRUE(child<QRadioButton>(fmMembEdit.get(), "rbZeigaku1")->isChecked());
        child<QRadioButton>(fmMembEdit.get(), "rbZeigaku1")->setFocus(Qt::TabFocusReason);
        Screenshot(fmMembEdit.get(), "focus-radio.png");
        close(fmMembEdit.get());
    }
    {
        SCOPED_TRACE("settings window, 60進法 ticked");
        OptionRec.TimeStyle = 1;
        walk(fmOption.get(), Qt::Key_Tab, {"rbTimeStyle60"});
        close(fmOption.get());
    }
    {
        SCOPED_TRACE("period selection");
        walk(fmSelData, Qt::Key_Tab, {"ListBox", "cbTaisyoNen"});
        close(fmSelData);
    }
    {
        SCOPED_TRACE("font chooser");
        fmSelFont->prepare(u("印刷全体のフォント選択"), u("ＭＳ 明朝"), u("令和8年4月分 給与"));
        walk(fmSelFont.get(), Qt::Key_Tab, {"ListBox", "btOk", "cbBold"});
        close(fmSelFont.get());
    }
    {
        SCOPED_TRACE("folder picker");
        fmFolder->FolderName = dir();
        walk(fmFolder.get(), Qt::Key_Tab, {"TreeView", "bbOk"});
        close(fmFolder.get());
    }
    {
        SCOPED_TRACE("serial order");
        walk(fmSeqNo.get(), Qt::Key_Tab, {});
        close(fmSeqNo.get());
    }
    {
        SCOPED_TRACE("ledger item settings");
        walk(fmPrnItem.get(), Qt::Key_Tab, {});
        close(fmPrnItem.get());
    }
    {
        SCOPED_TRACE("cloud window");
        walk(fmCloud.get(), Qt::Key_Tab, {});
        close(fmCloud.get());
    }
    {
        SCOPED_TRACE("calculator");
        walk(Calculator(), Qt::Key_Tab, {"pnDisp", "btOk", "btCancel"});
        close(Calculator());
    }
    {
        SCOPED_TRACE("save dialog of 表計算連携");
        fmInji->SetupSaveDlg(true);
        auto* save = child<QFileDialog>(fmInji.get(), "SaveDlg");
        save->setOption(QFileDialog::DontUseNativeDialog);
        walk(save, Qt::Key_Tab, {"fileTypeCombo", "listModeButton"});
        close(save);
    }
}

}  // namespace
