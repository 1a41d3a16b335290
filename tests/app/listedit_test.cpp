// The employee list edit grid: cells checked when left, premiums from a monthly pay, Enter down
// the editable rows, and the write-back on close.
#include "app/core/listedit.h"

#include <QApplication>
#include <QTableWidget>

#include "app/TfmListEdit.h"
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
    EXPECT_EQ(CheckListEditCell(1, u("-1")).error, u("「扶養人数」に 0から99までの数値を入力して下さい。"));
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

}  // namespace
