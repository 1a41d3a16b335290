// The keyboard of the entry windows through the window system, on shown and active windows: Enter
// on a focused button, Enter through the company window's boxes, the list-entry window's page keys
// and the company name typed over a selection.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include "app/TfmDataEdit.h"
#include "app/TfmListInp.h"
#include "app/TfmMembEdit.h"
#include "payroll/option.h"
#include "payroll/period.h"
#include "payroll/ui/TfmCorpInfo.h"
#include "platform/msgbox.h"
#include "print/ui/TfmPrnFormK.h"
#include "tests/app/appfixture.h"

namespace {

class KeysTest : public WithForms<PeriodTest> {
  protected:
    void SetUp() override
    {
        WithForms::SetUp();
        openMonth(5);
        OptionRec.AutoSelect = false;
        TfmDataEdit::AskMembView = false;
        for (int e = 1; e <= 2; ++e) employee(e).Chingin[1] = 200000;
    }
    // A key as the keyboard gives it: to the active window, which hands it to its focused control.
    static void press(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(w->windowHandle(), key, mods);
    }
    static QString focused()
    {
        QWidget* f = QApplication::focusWidget();
        return f ? f->objectName() : QString();
    }
    ScriptedMsgBox box;
};

TEST_F(KeysTest, EnterPressesTheFocusedButton)
{
    fmMembEdit->setMember(1, false);
    fmDataEdit->MembSlot = 1;
    struct Case {
        QDialog* window;
        const char* button;
    } const cases[] = {
        {fmCorpInfo, "bbOk"},       {fmCorpInfo, "btKenRitu"}, {fmMembEdit, "btOk"},
        {fmMembEdit, "btCancel"},   {fmDataEdit, "btReturn"},  {fmDataEdit, "btPrnMeisai"},
        {fmDataEdit, "btMembEdit"}, {fmPrnFormK, "sbDefault"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        ShowActive(c.window);
        auto* button = c.window->findChild<QPushButton*>(QString::fromLatin1(c.button));
        ASSERT_TRUE(button);
        // Only the press is looked at: what the button does is other tests' concern.
        QObject::disconnect(button, &QPushButton::clicked, nullptr, nullptr);
        QSignalSpy clicked(button, &QPushButton::clicked);
        button->setFocus();
        press(c.window, Qt::Key_Return);
        EXPECT_EQ(clicked.count(), 1);
        EXPECT_TRUE(c.window->isVisible()) << "no default button closed the window";
        c.window->hide();
    }
}

TEST_F(KeysTest, EnterMovesOnFromEveryControlOfTheCompanyWindow)
{
    ShowActive(fmCorpInfo);
    child<QWidget>(fmCorpInfo, "edSyamei")->setFocus();
    QStringList walked;
    for (int i = 0; i < 10; ++i) {
        press(fmCorpInfo, Qt::Key_Return);
        walked << focused();
    }
    EXPECT_EQ(walked, QStringList({"edSikyubi", "cbSikyuP1", "cbSikyuM1", "edJikanD", "edHouNo", "cbHide",
                                   "rbJigyo", "edKoyRitu", "edKenRitu", "btKenRitu"}));
    EXPECT_FALSE(child<QCheckBox>(fmCorpInfo, "cbSikyuP1")->isChecked()) << "Enter ticks nothing";
    EXPECT_TRUE(child<QCheckBox>(fmCorpInfo, "cbHide")->isChecked());
    EXPECT_TRUE(box.shown().empty()) << box.lastText();
}

TEST_F(KeysTest, CompanyNameInsertsWhileNumbersAreTypedOver)
{
    OptionRec.InputOverN = true;
    ShowActive(fmCorpInfo);
    QLineEdit* name = child<QLineEdit>(fmCorpInfo, "edSyamei");
    name->setText(u("株式会社ペルモ商事"));
    name->setFocus();
    press(fmCorpInfo, Qt::Key_A, Qt::ControlModifier);
    press(fmCorpInfo, Qt::Key_X);
    press(fmCorpInfo, Qt::Key_Y);
    EXPECT_EQ(name->text(), u("xy"));
    name->setText(u("株式会社商事"));
    name->setCursorPosition(4);
    press(fmCorpInfo, Qt::Key_Z);
    EXPECT_EQ(name->text(), u("株式会社z商事"));
    // The pay day, a numeric field, is still typed over.
    QLineEdit* day = child<QLineEdit>(fmCorpInfo, "edSikyubi");
    day->setText(u("25"));
    day->setFocus();
    day->setCursorPosition(0);
    press(fmCorpInfo, Qt::Key_1);
    EXPECT_EQ(day->text(), u("15"));
}

TEST_F(KeysTest, PageKeysSwitchTheListEntryPagesFromTheGridAndItsEditor)
{
    ShowActive(fmListInp);
    QTabWidget* pages = child<QTabWidget>(fmListInp, "PageCtrl");
    auto* variable = fmListInp->findChild<TListGridView*>(QStringLiteral("StrGridH"));
    const int row = variable->row();
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        int page;
    } const cases[] = {
        {Qt::Key_Tab, Qt::ControlModifier, 1},
        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 0},
        {Qt::Key_PageDown, Qt::ControlModifier, 1},
        {Qt::Key_PageUp, Qt::ControlModifier, 0},
        {Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier, 1},  // two pages: either way round
    };
    for (const Case& c : cases) {
        press(fmListInp, c.key, c.mods);
        EXPECT_EQ(pages->currentIndex(), c.page) << c.key;
        EXPECT_EQ(focused(), c.page == 0 ? u("StrGridH") : u("StrGridK"));
    }
    // From an open editor the entry is taken first, and the cell cursor stays where it was.
    press(fmListInp, Qt::Key_PageUp, Qt::ControlModifier);
    variable->setCell(1, row);
    press(fmListInp, Qt::Key_3);
    ASSERT_TRUE(variable->editing());
    press(fmListInp, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(pages->currentIndex(), 1);
    EXPECT_EQ(variable->row(), row);
    EXPECT_EQ(variable->grid.cell(1, row).trimmed(), u("3.00"));
}

}  // namespace
