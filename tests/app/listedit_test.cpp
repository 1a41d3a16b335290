// The employee list edit grid: cells checked when left, premiums from a monthly pay, Enter down
// the editable rows, and the write-back on close.
#include "app/core/listedit.h"

#include <QApplication>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <initializer_list>

#include "app/TfmListEdit.h"
#include "payroll/option.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"
#include "tests/app/appfixture.h"

namespace {

class ListEditTest : public WithForms<PeriodTest> {
  protected:
    void SetUp() override
    {
        WithForms<PeriodTest>::SetUp();
        loadPeriod(4);
        employee(1).Chingin[1] = 245000;  // health, pension; no care
        SyainRec[1].Simei.setText(u("山田太郎"));
        TEmployeeRec& h = employee(2);
        h.Keitai = PayType::Hourly;
        h.Yukyu = 8000;
        h.Simei.setText(u("鈴木花子"));
        h.Chingin[2] = 12000000;  // more digits than a cell takes
        employee(3).Taisyoku.setText(u("080331"));
        for (int e = 1; e <= 3; ++e) SyainRec[e].SeqNo = uint16_t(4 - e);  // 3, 2, 1
    }
    static void type(const QString& keys)
    {
        for (QChar c : keys) QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    }
    ScriptedMsgBox msg_;
};

TEST_F(ListEditTest, CellsAreRefusedWhenNoNumberOrOutOfRange)
{
    struct Case {
        int row;
        const char* text;
        const char* shown;  // "": refused
    } const cases[] = {
        {3, "245000", "245,000"},
        {3, " ", "0"},
        {3, "-9999999", "-9,999,999"},
        {3, "10000000", ""},
        {3, "1-2", ""},
        {1, "99", "99"},
        {1, "-1", ""},
        {24, "999999", "999,999"},
        {24, "1000000", ""},
    };
    for (const Case& c : cases) {
        const TCellCheck k = CheckListEditCell(c.row, u(c.text));
        EXPECT_EQ(k.text, u(c.shown)) << c.row << " " << c.text;
        EXPECT_EQ(k.error.isEmpty(), *c.shown != 0) << k.error;
    }
    EXPECT_EQ(CheckListEditCell(3, u("1-2")).error, u("「基本給」に 数値を入力して下さい。"));
    // Too long for any field, and for 32 bits: a number all the same, out of range.
    EXPECT_EQ(CheckListEditCell(3, u("12345678901")).error,
              u("「基本給」に -9,999,999から9,999,999までの数値を入力して下さい。"));
    EXPECT_EQ(CheckListEditCell(3, u("-99,999,999,999")).error,
              u("「基本給」に -9,999,999から9,999,999までの数値を入力して下さい。"));
    EXPECT_EQ(CheckListEditCell(1, u("-1")).error, u("「扶養人数」に 0から99までの数値を入力して下さい。"));
}

// An editor opened on a cell and left as it was is no entry: a value with more digits than a cell
// takes is kept, not refused, whether the editor had opened (automatic selection) or not.
TEST_F(ListEditTest, AnEditorLeftAsItWasRefusesNothing)
{
    ShowActive(fmListEdit);
    auto* grid = child<QTableWidget>(fmListEdit, "StrGrid");
    QTableWidgetItem* overtime = grid->item(5, 0);  // 鈴木花子's 残業手当(普通)
    ASSERT_EQ(overtime->text(), u("12,000,000"));
    grid->setCurrentItem(overtime);
    grid->editItem(overtime);
    ASSERT_TRUE(qobject_cast<QLineEdit*>(grid->indexWidget(grid->currentIndex())));
    grid->setCurrentCell(6, 0);         // leaves it, committing the editor
    QCoreApplication::processEvents();  // where a refusal would be shown
    EXPECT_TRUE(msg_.shown().empty()) << msg_.lastText();
    EXPECT_EQ(overtime->text(), u("12,000,000"));
    fmListEdit->close();
    EXPECT_TRUE(msg_.shown().empty()) << msg_.lastText();
    EXPECT_EQ(int(SyainRec[2].Chingin[2]), 12000000);
}

TEST_F(ListEditTest, PayRowFillsPremiumsEnterMovesDownAndCloseStoresEveryCell)
{
    const ScreenshotFont face;
    ShowActive(fmListEdit);
    EXPECT_EQ(fmListEdit->columnSlots(), QList<int>({2, 1})) << "serial order, retired left out";
    auto* grid = child<QTableWidget>(fmListEdit, "StrGrid");
    EXPECT_EQ(grid->item(2, 1)->text(), u("245,000"));
    EXPECT_EQ(grid->item(11, 1)->text(), QString()) << "a monthly wage has no paid-leave rate";
    EXPECT_FALSE(grid->item(11, 1)->flags() & Qt::ItemIsEditable);
    EXPECT_EQ(grid->item(11, 0)->text(), u("8,000"));
    Screenshot(fmListEdit, "list-edit.png");

    grid->setCurrentCell(PayRow - 1, 1);
    type(u("300000"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    // 2026: health 4.955 % and care 0.795 % of 300,000, pension 9.15 %, no fund rate.
    QStringList premiums;
    for (int r = PayRow; r < PayRow + 4; ++r) premiums << grid->item(r, 1)->text();
    EXPECT_EQ(premiums, QStringList({u("14,865"), QString(), u("27,450"), QString()})) << "care and fund off";
    EXPECT_EQ(grid->item(PayRow - 1, 1)->text(), QString());
    EXPECT_EQ(grid->currentRow(), PayRow) << "on to health insurance";
    grid->setCurrentCell(PayRow + 3 - 1, 1);  // the last editable row wraps to the first
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(grid->currentRow(), 0);

    grid->setCurrentCell(2, 1);
    type(u("1-2"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCoreApplication::processEvents();
    EXPECT_EQ(msg_.lastText(), u("「基本給」に 数値を入力して下さい。"));
    EXPECT_EQ(grid->item(2, 1)->text(), u("245,000"));
    grid->setCurrentCell(1, 0);
    type(u("2"));
    fmListEdit->close();
    EXPECT_EQ(std::make_tuple(SyainRec[1].KenhoRyo, SyainRec[1].KaigoRyo, SyainRec[1].KoseiRyo),
              std::make_tuple(14865, 2385, 27450));
    EXPECT_EQ(SyainRec[2].Sinzoku, 2) << "the cell being edited is stored too";
    EXPECT_EQ(int(SyainRec[1].Chingin[1]), 245000);
    EXPECT_EQ(int(SyainRec[2].Chingin[2]), 12000000) << "a cell left as shown keeps its value";
    EXPECT_EQ(IniFile(IniFileName).readString(u("Window"), u("ListMemSts")), u("wsNormal"));
}

// Keys as the keyboard gives them, on the window shown and active: the four premiums of every
// employee, and the grid's own settings of automatic selection and typing over.
class ListEditKeysTest : public ListEditTest {
  protected:
    void SetUp() override
    {
        ListEditTest::SetUp();
        TEmployeeRec& a = SyainRec[1];
        a.Kenkou = a.NenHoken = 1;
        a.KenhoRyo = 14775;
        a.KoseiRyo = 27450;
        TEmployeeRec& b = SyainRec[2];  // every insurance off, premiums kept from before
        b.Kenkou = b.Kaigo = b.NenHoken = b.NenKikin = 0;
        b.KenhoRyo = 1111;
        b.KaigoRyo = 222;
        b.KoseiRyo = 3333;
        b.Kakekin = 444;
    }
    static void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(fmListEdit->windowHandle(), key, mods);
    }
    static void press(std::initializer_list<Qt::Key> keys)
    {
        for (Qt::Key k : keys) press(k);
    }
    QTableWidget* grid() const { return child<QTableWidget>(fmListEdit, "StrGrid"); }
    QLineEdit* editor() const
    {
        return qobject_cast<QLineEdit*>(grid()->indexWidget(grid()->currentIndex()));
    }
    // The premiums of both employees as stored.
    static QList<int> premiums()
    {
        QList<int> p;
        for (int e : {1, 2})
            p << SyainRec[e].KenhoRyo << SyainRec[e].KaigoRyo << SyainRec[e].KoseiRyo << SyainRec[e].Kakekin;
        return p;
    }
};

// An empty 標準報酬月額 row means no change: Enter through it, with or without automatic selection
// and in a column whose insurances are all off, leaves every premium as it was.
TEST_F(ListEditKeysTest, EnterThroughTheEmptyPayRowChangesNoPremium)
{
    if (RanItselfUnderXvfb()) return;
    const QList<int> before = premiums();
    for (bool autoSelect : {true, false}) {
        OptionRec.AutoSelect = autoSelect;
        ShowActive(fmListEdit);
        for (int col : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "AutoSelect " << autoSelect << ", column " << col);
            grid()->setCurrentCell(0, col);
            for (int i = 0; i < ListEditRows && grid()->currentRow() != PayRow - 1; ++i)
                press(Qt::Key_Return);
            ASSERT_EQ(grid()->currentRow(), PayRow - 1);
            press(Qt::Key_Return);
            EXPECT_NE(grid()->currentRow(), PayRow - 1) << "on down the column";
            for (int r = PayRow; r < PayRow + 4; ++r)
                EXPECT_EQ(grid()->item(r, col)->data(Qt::DisplayRole).toString(),
                          ListEditEditable(fmListEdit->columnSlots()[col], r + 1)
                              ? ListEditText(fmListEdit->columnSlots()[col], r + 1)
                              : QString())
                    << ListEditCaption(r + 1);
        }
        fmListEdit->close();
        EXPECT_EQ(premiums(), before);
    }
    EXPECT_TRUE(msg_.shown().empty()) << msg_.lastText();
}

// A monthly pay typed and left without Enter, by an arrow or Tab, is dropped as the row is left: it
// picks no grade, then or later; one that is no number is refused.
TEST_F(ListEditKeysTest, APayLeftWithoutEnterIsDropped)
{
    if (RanItselfUnderXvfb()) return;
    OptionRec.AutoSelect = false;
    const QList<int> before = premiums();
    ShowActive(fmListEdit);
    const struct {
        Qt::Key leave;
        int col;      // the column typed in (0 鈴木花子, 1 山田太郎)
        int row, to;  // where the cursor is afterwards
    } cases[] = {
        {Qt::Key_Down, 1, PayRow, 1}, {Qt::Key_Up, 1, PayRow - 2, 1}, {Qt::Key_Tab, 0, PayRow - 1, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.leave);
        grid()->setCurrentCell(PayRow - 1, c.col);
        press({Qt::Key_3, Qt::Key_0, Qt::Key_0, Qt::Key_0, Qt::Key_0, Qt::Key_0});
        ASSERT_TRUE(editor());
        press(c.leave);
        EXPECT_EQ(std::make_pair(grid()->currentRow(), grid()->currentColumn()), std::make_pair(c.row, c.to));
        EXPECT_EQ(grid()->item(PayRow - 1, c.col)->text(), QString());
        // Back to the row and Enter: still nothing to pick a grade from.
        grid()->setCurrentCell(PayRow - 1, c.col);
        press(Qt::Key_Return);
        EXPECT_EQ(grid()->item(PayRow, 1)->text(), u("14,775"));
    }
    EXPECT_TRUE(msg_.shown().empty()) << msg_.lastText();
    // A pay that is no number is refused where it was typed, and picks no grade either.
    grid()->setCurrentCell(PayRow - 1, 1);
    press({Qt::Key_1, Qt::Key_Minus, Qt::Key_2, Qt::Key_Return});
    EXPECT_EQ(msg_.lastText(), u("「標準報酬月額」に 数値を入力して下さい。"));
    EXPECT_EQ(grid()->currentRow(), PayRow - 1);
    EXPECT_EQ(grid()->item(PayRow, 1)->text(), u("14,775"));
    fmListEdit->close();
    EXPECT_EQ(premiums(), before);
}

// With 数値項目を自動選択する a cell entered opens with its whole text selected, and the digits
// typed replace it; with 数値項目を上書き入力する a digit typed inside the text goes over the one
// under the caret.
TEST_F(ListEditKeysTest, CellsFollowAutoSelectAndTypingOver)
{
    if (RanItselfUnderXvfb()) return;
    struct Case {
        const char* what;
        bool autoSelect, inputOverN;
        std::initializer_list<Qt::Key> keys;  // on 基本給 of 山田太郎, entered from the row above
        const char* shown;
        int stored;
    } const cases[] = {
        {"selected as entered",
         true,
         true,
         {Qt::Key_3, Qt::Key_1, Qt::Key_0, Qt::Key_0, Qt::Key_0, Qt::Key_0},
         "310,000",
         310000},
        {"typed over at the front", false, true, {Qt::Key_F2, Qt::Key_Home, Qt::Key_3}, "345,000", 345000},
        {"inserted at the front", false, false, {Qt::Key_F2, Qt::Key_Home, Qt::Key_3}, "3,245,000", 3245000},
        {"selected, then typed over at the front", true, true, {Qt::Key_Home, Qt::Key_1}, "145,000", 145000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OptionRec.AutoSelect = c.autoSelect;
        OptionRec.InputOverN = c.inputOverN;
        SyainRec[1].Chingin[1] = 245000;
        ShowActive(fmListEdit);
        grid()->setCurrentCell(1, 1);
        press(Qt::Key_Down);
        ASSERT_EQ(grid()->currentRow(), 2);
        if (c.autoSelect) {
            ASSERT_TRUE(QTest::qWaitFor(
                [this] { return editor() && editor()->selectedText() == u("245,000"); }, 2000));
        }
        press(c.keys);
        press(Qt::Key_Return);
        EXPECT_EQ(grid()->item(2, 1)->text(), u(c.shown));
        fmListEdit->close();
        EXPECT_EQ(int(SyainRec[1].Chingin[1]), c.stored);
    }
    EXPECT_TRUE(msg_.shown().empty()) << msg_.lastText();
}

}  // namespace
