// The grade and rate pickers, and the calculator's key sequences and its window.
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <string>

#include "app/TfmCalc.h"
#include "app/TfmKenhoHyo.h"
#include "app/core/calculator.h"
#include "payroll/corpinfo.h"
#include "payroll/paths.h"
#include "payroll/taxtable.h"
#include "payroll/ui/TfmKenRitu.h"
#include "platform/cp932.h"
#include "platform/msgbox.h"
#include "tests/app/appfixture.h"

namespace {

class PickerTest : public TablesTest {
  protected:
    ScriptedMsgBox box;
};

TEST_F(PickerTest, GradePickerPreselectsTheStoredGradeWithinTheTable)
{
    TfmKenhoHyo w;
    auto* list = child<QListWidget>(&w, "ListBox");
    auto* label = child<QLabel>(&w, "lbSelToKyu");
    struct Case {
        int stored, selected;
    } const cases[] = {{0, 1}, {-3, 1}, {1, 1}, {17, 17}, {50, 50}, {51, 50}, {80, 50}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        w.SelToKyu = c.stored;
        w.show();
        EXPECT_EQ(list->currentRow(), c.selected - 1);
        EXPECT_EQ(label->text(), QStringLiteral("選択等級：%1等級").arg(c.selected));
        child<QPushButton>(&w, "bbOk")->click();
        EXPECT_EQ(w.result(), QDialog::Accepted);
        EXPECT_EQ(w.SelToKyu, c.selected);
    }
    EXPECT_EQ(list->count(), 50) << "filled once, not at every show";

    // A click moves the label; Cancel keeps the grade; Enter in the list takes the line.
    w.SelToKyu = 3;
    w.show();
    list->setCurrentRow(9);
    EXPECT_EQ(label->text(), QStringLiteral("選択等級：10等級"));
    child<QPushButton>(&w, "bbCancel")->click();
    EXPECT_EQ(w.SelToKyu, 3);
    w.show();
    Screenshot(&w, "grade-table.png");
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(w.SelToKyu, 4);
}

TEST_F(PickerTest, GradeLinesKeepTheirColumns)
{
    EXPECT_EQ(KenhoGradeLine(1), QStringLiteral("        0円以上    63,000円未満     58,000円"));
    EXPECT_EQ(KenhoGradeLine(22), QStringLiteral("  290,000円以上   310,000円未満    300,000円"));
    // The top grade has no upper bound to show.
    EXPECT_EQ(KenhoGradeLine(50), QStringLiteral("1,355,000円以上                  1,390,000円"));
    for (int g = 1; g <= 50; ++g) EXPECT_EQ(cp932::byteLength(KenhoGradeLine(g)), 44) << g;
}

TEST_F(PickerTest, GradePickerWithoutATableHasNothingToTake)
{
    ClearTableFiles();
    TfmKenhoHyo w;
    w.SelToKyu = 5;
    w.show();
    EXPECT_EQ(child<QListWidget>(&w, "ListBox")->count(), 0);
    EXPECT_FALSE(child<QPushButton>(&w, "bbOk")->isEnabled());
    w.bbOkClick();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.SelToKyu, 5);
}

// The list takes the focus and, with it, a current first line; only a line the user picks is taken.
TEST_F(PickerTest, RatePickerTakesHalfOfTheLineTheUserPicked)
{
    TablePath = dir();
    WriteAll(dir() + KenRituName, cp932::encode(QStringLiteral("東京都    9.85\r\n神奈川県  10.19\r\n\r\n")));
    struct Case {
        const char* how;
        double ritu;  // 0: nothing taken
    } const cases[] = {{"focus only", 0}, {"Down", 5.095}, {"click on the first line", 4.925}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        box.clear();
        TfmKenRitu w;
        auto* list = child<QListWidget>(&w, "ListBox");
        auto* ok = child<QPushButton>(&w, "btOk");
        ASSERT_EQ(list->item(1)->text(), QStringLiteral("神奈川県  10.19%"));
        ShowActive(&w);
        ASSERT_EQ(QApplication::focusWidget(), list);
        if (c.how == std::string("Down")) QTest::keyClick(list, Qt::Key_Down);
        if (c.how == std::string("click on the first line"))
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(list->item(0)).center());
        EXPECT_EQ(ok->isEnabled(), c.ritu != 0);
        QTest::mouseClick(ok, Qt::LeftButton);
        EXPECT_EQ(w.result(), c.ritu != 0 ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_DOUBLE_EQ(w.SelRitu, c.ritu);
        EXPECT_EQ(box.lastText(),
                  c.ritu != 0 ? u("選択した健康保険料率の半分の値がセットされます。") : QString());
    }
}

TEST_F(PickerTest, RatePickerWithoutAUsableFile)
{
    TablePath = dir();
    {
        TfmKenRitu missing;
        missing.show();
        EXPECT_EQ(child<QListWidget>(&missing, "ListBox")->count(), 0);
        EXPECT_FALSE(child<QListWidget>(&missing, "ListBox")->isEnabled());
        EXPECT_FALSE(child<QPushButton>(&missing, "btOk")->isEnabled());
        EXPECT_TRUE(box.shown().empty());
    }
    // Bytes that are not CP932: the file counts as missing, and the user is told why.
    WriteAll(dir() + KenRituName, QByteArray("\x81\x20\x81\x81  10.19\r\n"));
    {
        TfmKenRitu broken;
        broken.show();
        EXPECT_EQ(child<QListWidget>(&broken, "ListBox")->count(), 0);
        EXPECT_FALSE(child<QListWidget>(&broken, "ListBox")->isEnabled());
        EXPECT_EQ(box.shown().size(), 1u);
    }
    // A line without a rate is refused when chosen, and the window stays.
    box.clear();
    WriteAll(dir() + KenRituName, cp932::encode(QStringLiteral("北海道\r\n")));
    TfmKenRitu shortLine;
    shortLine.show();
    child<QListWidget>(&shortLine, "ListBox")->setCurrentRow(0);
    shortLine.btOkClick();
    EXPECT_TRUE(shortLine.isVisible());
    EXPECT_EQ(box.shown().size(), 1u);
}

// ---- calculator ----

// Presses the keys ('=' equals, '%' percent, '\b' BS, 'c' AC) and gives the display after each.
QString press(TCalculator& c, const char* keys)
{
    QStringList shown;
    for (const char* k = keys; *k; ++k) {
        const int tag = *k == '='   ? TCalculator::Calc
                        : *k == '%' ? TCalculator::Per
                                    : TCalculator::TagOfChar(*k);
        c.Press(tag);
        shown << c.Display();
    }
    return shown.join(QLatin1Char(' '));
}

TEST(Calculator, KeySequences)
{
    struct Case {
        const char* keys;
        const char* displays;
        int beeps;
    } const cases[] = {
        {"1+2===", "1 1 2 3 5 7", 0},
        {"200+10%=", "2 20 200 200 1 10 20 220", 0},
        {"200*10%=", "2 20 200 200 1 10 0.1 20", 0},
        {"5*=", "5 5 25", 0},
        {"1+2+3=", "1 1 2 3 3 6", 0},
        // A number typed after a result is the new left operand.
        {"1+2=4*5=", "1 1 2 3 4 4 5 20", 0},
        {"1+2=*5=", "1 1 2 3 3 5 15", 0},
        {"5-8=", "5 5 8 -3", 0},
        {"2/3=", "2 2 3 0.6666666667", 0},
        // Nine characters at most, the point included.
        {"1234567890", "1 12 123 1234 12345 123456 1234567 12345678 123456789 123456789", 0},
        {"1234567.89", "1 12 123 1234 12345 123456 1234567 1234567. 1234567.8 1234567.8", 0},
        // Zeros typed after the point stay visible; BS takes them back one by one.
        {"1.50\b\b\b\b", "1 1. 1.5 1.50 1.5 1. 1 0", 0},
        {"0.00001/10=", "0 0. 0.0 0.00 0.000 0.0000 0.00001 0.00001 1 10 1E-6", 0},
        {"99999*99999=*10=",
         "9 99 999 9999 99999 99999 9 99 999 9999 99999 9999800001 9999800001 1 10 9.999800001E10", 0},
        {"12c", "1 12 0", 0},
        {"7\b\b", "7 0 0", 0},
        {"5+%", "5 5 5", 1},
        // After a result a new number starts, however long the operand was.
        {"1+123456789=5", "1 1 1 12 123 1234 12345 123456 1234567 12345678 123456789 123456790 5", 0},
        // Division by zero: an error on the display, and the next number starts afresh.
        {"5/0=2+3=", "5 5 0 エラー 2 2 3 5", 1},
        {"5/0=+", "5 5 0 エラー エラー", 2},
    };
    for (const Case& c : cases) {
        ScriptedMsgBox box;
        TCalculator calc;
        EXPECT_EQ(press(calc, c.keys), QString::fromUtf8(c.displays)) << c.keys;
        EXPECT_EQ(box.beeps(), c.beeps) << c.keys;
        EXPECT_TRUE(std::isfinite(static_cast<double>(calc.CalcValue()))) << c.keys;
    }
}

TEST(Calculator, OnlyValuesAFieldCanHoldAreHandedOver)
{
    ScriptedMsgBox box;
    TCalculator c;
    press(c, "214748364*10=");
    EXPECT_EQ(c.CalcValue(), 2147483640.0L);
    EXPECT_TRUE(c.TakeError().isEmpty());
    press(c, "+8=");
    EXPECT_EQ(c.Display(), QStringLiteral("2147483648"));
    EXPECT_FALSE(c.TakeError().isEmpty());
    press(c, "c0-214748364*10-8=");
    EXPECT_EQ(c.Display(), QStringLiteral("-2147483648"));
    EXPECT_TRUE(c.TakeError().isEmpty());
    press(c, "-1=");
    EXPECT_FALSE(c.TakeError().isEmpty());
    press(c, "c5/0=");
    EXPECT_TRUE(c.HasError());
    EXPECT_EQ(c.CalcValue(), 0.0L);
    EXPECT_FALSE(c.TakeError().isEmpty());
    press(c, "c.5");
    EXPECT_TRUE(c.TakeError().isEmpty()) << "truncated, it is 0";
}

TEST(Calculator, WindowTakesKeysAndRefusesWhatNoFieldHolds)
{
    ScriptedMsgBox box;
    TfmCalc* w = Calculator();
    auto* display = child<QLabel>(w, "pnDisp");
    EXPECT_EQ(w, Calculator());
    w->show();
    QTest::keyClicks(w, "12+3");
    QTest::keyClick(w, Qt::Key_Return);
    EXPECT_EQ(display->text(), QStringLiteral("15"));
    EXPECT_TRUE(w->isVisible()) << "Enter is the equals key, not OK";
    QTest::keyClicks(w, "c");
    child<QToolButton>(w, "sbNum4")->click();
    child<QToolButton>(w, "sbMulti")->click();
    QTest::keyClicks(w, "99999999");
    QTest::keyClick(w, Qt::Key_Enter);
    EXPECT_EQ(display->text(), QStringLiteral("399999996"));
    QTest::keyClicks(w, "*9");
    QTest::keyClick(w, Qt::Key_Enter);
    child<QPushButton>(w, "btOk")->click();
    EXPECT_TRUE(w->isVisible());
    ASSERT_EQ(box.shown().size(), 1u);
    EXPECT_EQ(box.shown()[0].type, MsgType::Error);
    QTest::keyClicks(w, "c7");
    child<QPushButton>(w, "btOk")->click();
    EXPECT_EQ(w->result(), QDialog::Accepted);
    EXPECT_EQ(w->CalcValue, 7.0L);
    w->show();
    EXPECT_EQ(display->text(), QStringLiteral("0")) << "every opening starts clear";
    EXPECT_FALSE(child<QToolButton>(w, "sbTax")->isVisible());
    w->reject();
}

}  // namespace
