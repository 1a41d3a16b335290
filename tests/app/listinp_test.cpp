// The list-entry window over a real year file: columns in serial order read back into the right
// slots, shaded and manual cells, refused entries, the Enter walk, the bonus manual-tax question,
// columns whose employee changed under the grid, and the grids the main window fills.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <cstring>
#include <memory>

#include "app/TfmListInp.h"
#include "app/core/recalc.h"
#include "payroll/common.h"
#include "payroll/option.h"
#include "payroll/period.h"
#include "payroll/slipitems.h"
#include "payroll/yearfile.h"
#include "platform/msgbox.h"
#include "tests/app/appfixture.h"

namespace {

class ListInpTest : public WithForms<PeriodTest> {
  protected:
    static TEmployeeRec& employee(int slot, int keitai = 1, int seq = 0)
    {
        TEmployeeRec& E = SyainRec[slot];
        E.Simei.setText(u("社員") + QString::number(slot));
        E.MembKey.setBytes(QByteArray("260401_0900") + QByteArray::number(slot).rightJustified(2, '0'));
        E.Keitai = keitai;
        E.SeqNo = seq;
        E.Chingin[1] = keitai == 1 ? 200000 + 1000 * slot : 1000;
        E.Chingin[2] = 1600;
        return E;
    }
    TListGridView* grid(const char* name) const
    {
        return fmListInp->findChild<TListGridView*>(QString::fromLatin1(name));
    }
    static int rowOf(TListGridView* g, const char* name) { return FindGridRow(g->grid, u(name)); }
    // Types into the current cell as the keyboard does: the first key opens the editor, the rest
    // go to it; Enter leaves the cell.
    static void type(TListGridView* g, const QString& text, bool enter = true)
    {
        QApplication::processEvents();
        const auto target = [g]() -> QWidget* {
            QWidget* e = g->indexWidget(g->currentIndex());
            return e ? e : g;
        };
        for (QChar c : text) QTest::keyClick(target(), c.toLatin1());
        if (enter) QTest::keyClick(target(), Qt::Key_Return);
    }
    static void typeAt(TListGridView* g, int col, const char* rowName, const QString& text)
    {
        g->setCell(col, rowOf(g, rowName));
        type(g, text);
    }
    ScriptedMsgBox box;
};

TEST_F(ListInpTest, EntriesOfTenEmployeesLandInTheirSlotsInSerialOrder)
{
    openMonth(5);
    // Eleven employees numbered in another order than their slots; slot 4 has retired.
    const int seq[12] = {0, 5, 11, 2, 7, 1, 9, 3, 10, 4, 6, 8};
    for (int e = 1; e <= 11; ++e) employee(e, 1, seq[e]);
    SyainRec[4].Taisyoku.setText(QStringLiteral("080430"));
    KintaiRec[4].Kintai[kiSyukkin] = 3;
    SikyuRec[4].Sikyu[siKihon] = 99;
    fmListInp->show();
    TListGridView* h = grid("StrGridH");
    ASSERT_EQ(h->grid.colCount(), 11) << "ten columns besides the item names";
    QList<int> shown;
    for (int c = 1; c <= 10; ++c) shown << h->grid.FindGridMemb(c);
    EXPECT_EQ(shown, QList<int>({5, 3, 7, 9, 1, 10, 11, 6, 8, 2}));
    EXPECT_EQ(h->model()->headerData(0, Qt::Horizontal).toString(), u("社員5"));

    for (int c = 1; c <= 10; ++c) typeAt(h, c, "出勤日数", QString::number(10 + c));
    typeAt(h, 3, "普通残業時間", QStringLiteral("7:30"));
    EXPECT_EQ(h->grid.cell(3, rowOf(h, "普通残業時間")), QStringLiteral("  7:30"));
    fmListInp->reject();  // closing reads the grid back and recalculates everyone
    for (int c = 1; c <= 10; ++c) {
        const int e = shown[c - 1];
        EXPECT_EQ(KintaiRec[e].Kintai[kiSyukkin], 10 + c) << "slot " << e;
        EXPECT_EQ(KintaiRec[e].Kintai[kiSyoteiJikan], 168.0);
        EXPECT_EQ(SikyuRec[e].Sikyu[siKihon], 200000 + 1000 * e);
    }
    EXPECT_EQ(KintaiRec[7].Kintai[kiFutuZangyo], 7.5);
    EXPECT_EQ(SikyuRec[7].Sikyu[siFutuZangyo], 12000) << "7.5 h x 1,600";
    EXPECT_EQ(KintaiRec[4].Kintai[kiSyukkin], 3.0) << "a retired employee keeps his attendance";
    EXPECT_EQ(SikyuRec[4].Sikyu[siKihon], 0);
    EXPECT_TRUE(box.shown().empty());
}

TEST_F(ListInpTest, ShadedCellsAndManualAmountsOfTheFixedPage)
{
    openMonth(5);
    employee(1, 1);
    employee(2, 2);  // daily staff have no overtime pay on their slip
    CalcAllMember(false);
    fmListInp->show();
    auto* pages = fmListInp->findChild<QTabWidget*>(QStringLiteral("PageCtrl"));
    pages->setCurrentWidget(fmListInp->findChild<QWidget*>(QStringLiteral("tsKotei")));
    TListGridView* k = grid("StrGridK");
    ASSERT_EQ(fmListInp->ActiveGrid(), k);
    const int zangyo = rowOf(k, "普通残業手当");
    const QModelIndex shaded = k->model()->index(zangyo - 1, 1);
    EXPECT_FALSE(shaded.data(Qt::DisplayRole).isValid());
    EXPECT_FALSE(shaded.flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(k->model()->index(zangyo - 1, 0).flags() & Qt::ItemIsEditable);

    typeAt(k, 1, "住民税", QStringLiteral("12345"));
    EXPECT_EQ(KoujoRec[1].KoujoManual[koJuumin], 1);
    pages->setCurrentIndex(0);  // leaving the page reads it back
    EXPECT_EQ(KoujoRec[1].Koujo[koJuumin], 12345) << "kept by the recalculation";
    EXPECT_EQ(KoujoRec[2].KoujoManual[koJuumin], 0);
}

TEST_F(ListInpTest, RefusedEntriesStayWhereTheyWereTyped)
{
    openMonth(5);
    employee(1);
    KintaiRec[1].Kintai[kiSyukkin] = 20;
    KintaiRec[1].Kintai[kiFutuZangyo] = 2;
    SikyuItem[15].Use[1] = true;  // 変動手当１, an entered amount
    PublishKyuyoItems();
    fmListInp->show();
    TListGridView* h = grid("StrGridH");
    struct Case {
        const char* row;
        const char* typed;
        const char* message;
        const char* cell;  // afterwards
    };
    const Case cases[] = {
        {"普通残業時間", "1:75", "分の入力が59を超えています。", "  2:00"},
        {"変動手当１", "12345678", "入力した数値が上限を超えました。", "      0"},
        {"出勤日数", "32", "日数の入力は31までです。", ""},
    };
    for (const Case& c : cases) {
        box.clear();
        const int r = rowOf(h, c.row);
        ASSERT_GT(r, 0) << c.row;
        h->setCell(1, r);
        type(h, QString::fromLatin1(c.typed));
        ASSERT_EQ(box.shown().size(), 1u) << c.typed;
        EXPECT_EQ(box.lastText(), u(c.message));
        EXPECT_EQ(h->grid.cell(1, r), u(c.cell)) << c.typed;
        EXPECT_EQ(h->row(), r) << "the cursor stays on the refused entry";
    }
    // Letters pasted past the key filter are refused the same way; typed ones only beep.
    box.clear();
    h->setCell(1, rowOf(h, "欠勤日数"));
    type(h, QStringLiteral("x1"), false);
    EXPECT_EQ(box.beeps(), 1);
    auto* editor = qobject_cast<QLineEdit*>(h->indexWidget(h->currentIndex()));
    ASSERT_TRUE(editor);
    editor->insert(QStringLiteral("a"));
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(box.shown().size(), 1u);
    EXPECT_EQ(h->grid.cell(1, rowOf(h, "欠勤日数")), QStringLiteral("  0.00"));
    fmListInp->reject();  // nothing left in the grid can stop the read-back
    EXPECT_EQ(KintaiRec[1].Kintai[kiSyukkin], 0.0);
    EXPECT_EQ(KintaiRec[1].Kintai[kiFutuZangyo], 2.0);
}

TEST_F(ListInpTest, EnterWalksTheRowsOfTheEmployeesSlipOnly)
{
    openMonth(5);
    employee(1, 1);
    employee(2, 2);
    employee(3, 3);
    // Hourly staff get no entered item at all.
    for (int r = 1; r <= 16; ++r) KintaiItem[r].Use[3] = false;
    for (int r = 1; r <= 18; ++r) SikyuItem[r].Use[3] = KoujoItem[r].Use[3] = false;
    PublishKyuyoItems();
    OptionRec.AutoSelect = false;
    fmListInp->show();
    TListGridView* h = grid("StrGridH");
    struct Case {
        int col;
        const char* from;
        const char* to;
    };
    const Case cases[] = {{1, "有休日数", "欠勤日数"},
                          {2, "有休日数", "特別休暇日数"},  // daily staff have no absence days
                          {1, "遅刻早退時間", "有休残日数"},
                          {1, "有休残日数", "出勤日数"}};
    for (const Case& c : cases) {
        h->setCell(c.col, rowOf(h, c.from));
        QTest::keyClick(h, Qt::Key_Return);
        EXPECT_EQ(h->grid.cell(0, h->row()), u(c.to)) << c.col << " " << c.from;
    }
    h->setCell(3, 2);
    QTest::keyClick(h, Qt::Key_Return);
    EXPECT_EQ(h->row(), 2) << "no row of his slip: Enter stays";
}

TEST_F(ListInpTest, YesToTheBonusTaxQuestionMakesTheTaxManualAtOnce)
{
    openBonus(13, 7, 10);
    employee(1);
    employee(2).NoSyoto = 1;
    fmListInp->show();
    TListGridView* h = grid("StrGridH");
    TListGridView* k = grid("StrGridK");
    ASSERT_LT(rowOf(h, "出勤日数"), 0) << "no attendance in a bonus period";
    typeAt(h, 1, "賞与", QStringLiteral("500000"));
    box.clear();
    box.answer(MsgResult::Yes);
    box.answer(MsgResult::Ok);
    auto* pages = child<QTabWidget>(fmListInp, "PageCtrl");
    pages->setCurrentIndex(1);  // no pay in June: the tax cannot be computed
    ASSERT_GE(box.shown().size(), 1u);
    EXPECT_TRUE(box.shown()[0].text.endsWith(u("該当する社員の所得税を手入力モードに変更しますか？")));
    EXPECT_EQ(KoujoRec[1].KoujoManual[koSyotoku], 1);
    EXPECT_EQ(KoujoRec[2].KoujoManual[koSyotoku], 0) << "no withholding for him";
    EXPECT_TRUE(k->model()->index(rowOf(k, "所得税") - 1, 0).flags() & Qt::ItemIsEditable);
    typeAt(k, 1, "所得税", QStringLiteral("40000"));
    box.clear();
    pages->setCurrentIndex(0);
    EXPECT_TRUE(box.shown().empty()) << "asked once only";
    EXPECT_EQ(KoujoRec[1].Koujo[koSyotoku], 40000);
    EXPECT_EQ(KoujoRec[1].KoujoManual[koSyotoku], 1);
    fmListInp->reject();
}

TEST_F(ListInpTest, ASlotWhoseKeyIsInNoColumnIsNotReadFromAnotherColumn)
{
    openMonth(5);
    for (int e = 1; e <= 3; ++e) {
        employee(e);
        KintaiRec[e].Kintai[kiSyukkin] = 10 * e;
    }
    fmListInp->show();
    // Under the open grid the first employee retires and a fourth one arrives.
    SyainRec[1].Taisyoku.setText(QStringLiteral("080430"));
    employee(4);
    KintaiRec[4].Kintai[kiSyukkin] = 44;
    CalcAllMember(true);
    EXPECT_EQ(KintaiRec[2].Kintai[kiSyukkin], 20.0);
    EXPECT_EQ(KintaiRec[3].Kintai[kiSyukkin], 30.0);
    EXPECT_EQ(KintaiRec[4].Kintai[kiSyukkin], 44.0) << "left alone, not given the third column";
    fmListInp->hide();
}

TEST_F(ListInpTest, TheMainWindowReadsTheGridsOfThePeriodItOpens)
{
    openMonth(4);
    employee(1);
    KintaiRec[1].Kintai[kiSyukkin] = 20;
    fmListInp->FormActivate(nullptr);  // April in the grids
    openMonth(5);                      // never saved
    employee(1);
    KintaiRec[1].Kintai[kiSyukkin] = 18;
    fmMain->UpdateMainCaption();
    EXPECT_EQ(KintaiRec[1].Kintai[kiSyukkin], 18.0);
    EXPECT_EQ(KintaiRec[1].Kintai[kiSyoteiNissu], 21.0) << "the month was calculated";
    EXPECT_EQ(SikyuRec[1].Sikyu[siKihon], 201000);
    EXPECT_TRUE(fmMain->action("mnListInput")->isEnabled());
    fmListInp->show();
    EXPECT_EQ(fmListInp->findChild<QLabel*>(QStringLiteral("lbKihonH"))->text(),
              u("所定労働時間： 168.00時間"));
    Screenshot(fmListInp, "list-entry.png");
    fmListInp->hide();
}

// Hours and days whose stored numbers the grid shows rounded: 7:20 (7.33 as decimals), 7.33 hours
// entered as decimals (7:20 as h:mm), 50 minutes of lateness, 9.875 days of paid leave left and a
// taken eighth of a day. Slot 1 is paid by the hour (1,500 yen), slot 2 by the month.
class ListInpExactTest : public ListInpTest {
  protected:
    void SetUp() override
    {
        ListInpTest::SetUp();
        // April leaves 10.875 days of paid leave to both.
        auto april = PeriodRecord();
        for (int e : {1, 2}) {
            april->syain[e].MembKey.setBytes(QByteArray("260401_0900") +
                                             QByteArray::number(e).rightJustified(2, '0'));
            april->kintai[e].Kintai[kiYukyuZan] = 10.875;
        }
        StorePeriod(CurPeriod.FileName, 4, *april);
    }
    static void month()
    {
        employee(1, 3).Chingin[1] = 1500;
        employee(2, 1);
        for (int e : {1, 2}) {
            TKintaiRec& k = KintaiRec[e];
            k.Kintai[kiSyoteiNissu] = CorpRec.Nissu;
            k.Kintai[kiSyoteiJikan] = CorpRec.Jikan;
            k.Kintai[kiSyukkin] = 20;
            k.Kintai[kiJitudou] = e == 1 ? StrToFloatEx(QStringLiteral("7:20")) : 7.33;
            k.Kintai[kiFutuZangyo] = e == 1 ? 7.33 : StrToFloatEx(QStringLiteral("7:20"));
            k.Kintai[kiChisouJikan] = StrToFloatEx(QStringLiteral("0:50"));
            k.Kintai[kiYukyu] = 0.125;
            k.Kintai[kiYukyuZan] = 9.875;
        }
        CalcAllMember(false);
    }
    // The bytes of the period image differ from before: the offset of the first that does, -1 when
    // none does.
    static qint64 firstChange(const TPeriodRecord& before)
    {
        const auto now = CopyPeriodImage();
        const auto* a = reinterpret_cast<const unsigned char*>(&before);
        const auto* b = reinterpret_cast<const unsigned char*>(now.get());
        for (qint64 i = 0; i < qint64(sizeof before); ++i)
            if (a[i] != b[i]) return i;
        return -1;
    }
};

// Recalculations from the list-entry window with no cell typed in, in both time styles: leaving
// either page, closing, and the main window opening a new month, which reads the grids just filled.
TEST_F(ListInpExactTest, RecalculationWithNothingTypedChangesNoByte)
{
    for (int style : {0, 1}) {
        SCOPED_TRACE(style ? "h:mm" : "decimal hours");
        OptionRec.TimeStyle = style;
        openMonth(5);
        month();
        ASSERT_EQ(SikyuRec[1].Sikyu[siKihon], 11000) << "7:20 at 1,500 yen";
        const auto before = CopyPeriodImage();
        fmListInp->show();
        TListGridView* h = grid("StrGridH");
        EXPECT_EQ(h->grid.cell(1, rowOf(h, "実働時間")).trimmed(), style ? u("7:20") : u("7.33"));
        EXPECT_EQ(h->grid.cell(1, rowOf(h, "有休残日数")).trimmed(), u("9.88"));
        // Walked through, the paid-leave days included, without typing.
        for (const char* row : {"出勤日数", "有休日数", "実働時間", "有休残日数"})
            h->setCell(1, rowOf(h, row));
        auto* pages = child<QTabWidget>(fmListInp, "PageCtrl");
        pages->setCurrentIndex(1);
        EXPECT_EQ(firstChange(*before), -1) << "leaving 変動項目";
        pages->setCurrentIndex(0);
        EXPECT_EQ(firstChange(*before), -1) << "leaving 固定項目";
        fmListInp->reject();
        EXPECT_EQ(firstChange(*before), -1) << "closing";
        EXPECT_EQ(SikyuRec[1].Sikyu[siKihon], 11000);

        // June, never saved, opened by the main window: it fills the grids and recalculates from them.
        openMonth(6);
        ASSERT_EQ(YearHeader.DataExists[6], 0);
        month();
        const auto june = CopyPeriodImage();
        fmMain->UpdateMainCaption();
        EXPECT_EQ(firstChange(*june), -1) << "opening a new month";
    }
    EXPECT_TRUE(box.shown().empty()) << box.lastText();
}

// What is typed goes back as the number typed, not as the text the cell shows: 7:20 in decimal
// hours, and the paid leave left after days taken worked out from last month's 10.875.
TEST_F(ListInpExactTest, TypedCellsGoBackAsTheNumberTyped)
{
    OptionRec.TimeStyle = 0;
    openMonth(5);
    month();
    fmListInp->show();
    TListGridView* h = grid("StrGridH");
    typeAt(h, 1, "実働時間", QStringLiteral("7:20"));
    EXPECT_EQ(h->grid.cell(1, rowOf(h, "実働時間")).trimmed(), u("7.33"));
    typeAt(h, 2, "有休日数", QStringLiteral("1"));
    EXPECT_EQ(h->grid.cell(2, rowOf(h, "有休残日数")).trimmed(), u("9.88"));
    typeAt(h, 2, "遅刻早退時間", QStringLiteral("0:50"));
    fmListInp->reject();
    EXPECT_EQ(KintaiRec[1].Kintai[kiJitudou], StrToFloatEx(QStringLiteral("7:20")));
    EXPECT_EQ(SikyuRec[1].Sikyu[siKihon], 11000);
    EXPECT_EQ(KintaiRec[2].Kintai[kiYukyu], 1.0);
    EXPECT_EQ(KintaiRec[2].Kintai[kiYukyuZan], 9.875);
    EXPECT_EQ(KintaiRec[2].Kintai[kiChisouJikan], StrToFloatEx(QStringLiteral("0:50")));
    EXPECT_EQ(KintaiRec[1].Kintai[kiYukyuZan], 9.875) << "not typed";
    EXPECT_EQ(KintaiRec[1].Kintai[kiYukyu], 0.125);

    // The same keys as in slip entry store the same number and pay the same (slot 2, by the month).
    for (const TypedHours& t : kTypedHours) {
        SCOPED_TRACE(testing::Message() << t.typed << (t.style ? " (h:mm)" : " (decimal)"));
        OptionRec.TimeStyle = t.style;
        openMonth(5);
        month();
        SyainRec[2].Chingin[2] = 1500;
        fmListInp->show();
        typeAt(h, 2, "普通残業時間", QString::fromLatin1(t.typed));
        EXPECT_EQ(h->grid.cell(2, rowOf(h, "普通残業時間")), QLatin1String(t.shown));
        fmListInp->reject();
        EXPECT_EQ(KintaiRec[2].Kintai[kiFutuZangyo], t.hours);
        EXPECT_EQ(SikyuRec[2].Sikyu[siFutuZangyo], t.pay);
    }
    EXPECT_TRUE(box.shown().empty()) << box.lastText();
}

}  // namespace
