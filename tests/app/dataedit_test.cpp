// The slip entry window driven offscreen: entry checks, the bytes entries leave, manual entry,
// stepping, Enter, the main window's command, and a month of three employees saved and reloaded.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <array>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/TfmCalc.h"
#include "app/TfmDataEdit.h"
#include "app/TfmMembEdit.h"
#include "payroll/calc.h"
#include "payroll/option.h"
#include "payroll/period.h"
#include "payroll/slipitems.h"
#include "payroll/yearfile.h"
#include "print/ui/TfmInji.h"
#include "tests/app/appfixture.h"

namespace {

class DataEditTest : public PeriodTest {
  protected:
    void SetUp() override
    {
        PeriodTest::SetUp();
        openMonth(4);
        OptionRec.AutoSelect = false;  // the tests select what they type over
        w = std::make_unique<TfmDataEdit>();
    }
    void TearDown() override
    {
        w.reset();
        PeriodTest::TearDown();
    }
    static TEmployeeRec& employee(int slot, const char* name, int keitai = 1, int seqNo = 0)
    {
        TEmployeeRec& E = SyainRec[slot];
        E.Simei.setText(u(name));
        E.MembKey.setBytes(QByteArray("260401_0900") + QByteArray::number(10 + slot));
        E.Keitai = keitai;
        E.SeqNo = static_cast<uint16_t>(seqNo);
        KintaiRec[slot].Kintai[kiSyoteiNissu] = CorpRec.Nissu;
        KintaiRec[slot].Kintai[kiSyoteiJikan] = CorpRec.Jikan;
        return E;
    }
    void open(int slot)
    {
        w->MembSlot = slot;
        ShowActive(w.get());
    }
    // The edit of the row showing name in group "Kintai", "Sikyu", "Koujo" or "Sonota".
    QLineEdit* field(const char* group, const char* name) const
    {
        for (int r = 1; r <= 18; ++r) {
            auto* l = w->findChild<QLabel*>(QStringLiteral("lb%1%2").arg(QLatin1String(group)).arg(r));
            if (l && l->text() == u(name))
                return w->findChild<QLineEdit*>(QStringLiteral("ed%1%2").arg(QLatin1String(group)).arg(r));
        }
        ADD_FAILURE() << group << " row " << name << " is not on the slip";
        return child<QLineEdit>(w.get(), "edKintai1");
    }
    // Empties the field (Ctrl+Delete), types text and leaves with the key (Enter).
    static void type(QLineEdit* e, const char* text, Qt::Key key = Qt::Key_Return)
    {
        e->setFocus();
        QTest::keyClick(e, Qt::Key_Delete, Qt::ControlModifier);
        QTest::keyClicks(e, text);
        QTest::keyClick(e, key);
    }
    QAbstractButton* button(const char* name) const { return child<QAbstractButton>(w.get(), name); }
    bool close()
    {
        button("btReturn")->click();
        return !w->isVisible();
    }
    std::unique_ptr<TfmDataEdit> w;
    ScriptedMsgBox box;
};

TEST_F(DataEditTest, EntriesAreCheckedWhereTheyAreTyped)
{
    employee(1, "山田　太郎").Chingin[2] = 1500;
    struct Case {
        const char *row, *typed;
        const char* message;  // "" none
        int k;                // attendance index
        double stored;
        const char* shown;
        int style = 1;          // of the hours shown
        int32_t overtime = -1;  // 普通残業手当 afterwards, -1 not looked at
    };
    std::vector<Case> cases = {
        {"普通残業時間", "7:30", "", 9, 7.5, "  7:30", 1, 11250},
        {"出勤日数", "32", "日数の入力は31までです。", 2, 0, "  0.00"},
        {"出勤日数", "31", "", 2, 31, " 31.00"},
    };
    // The same keys as in list entry store the same number and pay the same.
    for (const TypedHours& t : kTypedHours)
        cases.push_back({"普通残業時間", t.typed, "", kiFutuZangyo, t.hours, t.shown, t.style, t.pay});
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.typed << (c.style ? " (h:mm)" : " (decimal)"));
        OptionRec.TimeStyle = c.style;
        KintaiRec[1].Kintai[c.k] = 3;
        box.clear();
        open(1);
        QLineEdit* e = field("Kintai", c.row);
        type(e, c.typed);
        EXPECT_EQ(box.lastText(), u(c.message));
        EXPECT_EQ(e->text(), QLatin1String(c.shown));
        EXPECT_EQ(ValueAt<double>(&KintaiRec[1], (c.k - 1) * 8), c.stored) << "stored when the field is left";
        if (c.overtime >= 0) {
            EXPECT_EQ(SikyuRec[1].Sikyu[siFutuZangyo], c.overtime);
        }
        ASSERT_TRUE(close());
        EXPECT_EQ(ValueAt<double>(&KintaiRec[1], (c.k - 1) * 8), c.stored) << "and when the window closes";
        if (c.overtime >= 0) {
            EXPECT_EQ(SikyuRec[1].Sikyu[siFutuZangyo], c.overtime);
        }
    }
    // The calculator's number is entered as a typed one: 22÷3 hours is 7 1/3 (11,000 yen), not the
    // 7.33 shown (10,995).
    {
        OptionRec.TimeStyle = 0;
        KintaiRec[1].Kintai[kiFutuZangyo] = 3;
        open(1);
        QLineEdit* e = field("Kintai", "普通残業時間");
        e->setFocus();
        TfmCalc* calc = Calculator();
        WhenShown(calc, [calc] {
            calc->CalcValue = 22.0L / 3;
            calc->accept();
        });
        button("sbCalculator")->click();
        EXPECT_EQ(e->text(), u("  7.33"));
        ASSERT_TRUE(close());
        EXPECT_EQ(ValueAt<double>(&KintaiRec[1], (kiFutuZangyo - 1) * 8), double(22.0L / 3));
        EXPECT_EQ(SikyuRec[1].Sikyu[siFutuZangyo], 11000);
    }
    OptionRec.TimeStyle = 1;

    // An entry that does not parse or exceeds its field stays where it was typed: the field keeps
    // the focus, neither closing nor stepping goes on, and nothing is stored. Closing says why,
    // whether the entry was refused on leaving it (Enter) or is refused by the close (Escape).
    employee(2, "次の社員");
    struct Refused {
        const char *row, *typed, *message;
        int k;
        bool escape;
    } refused[] = {
        {"欠勤日数", "1.2.3", "．や：又は符号(－)が重複しています。", 4, false},
        {"実働時間", "1000", "入力した数値が上限を超えました。", 8, false},
        {"普通残業時間", "160:75", "分の入力が59を超えています。", 9, false},
        {"普通残業時間", "160:75", "分の入力が59を超えています。", 9, true},
    };
    for (const Refused& c : refused) {
        SCOPED_TRACE(c.typed);
        box.clear();
        open(1);
        const TKintaiRec before = KintaiRec[1];
        QLineEdit* e = field("Kintai", c.row);
        type(e, c.typed, c.escape ? Qt::Key_Escape : Qt::Key_Return);
        if (!c.escape) {
            EXPECT_EQ(box.lastText(), u(c.message));
            EXPECT_TRUE(QTest::qWaitFor([e] { return QApplication::focusWidget() == e; }, 60000))
                << "focus back";
            QTest::mouseClick(button("btReturn"), Qt::LeftButton);
        }
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(box.lastText(),
                  u("「%1」の入力に誤りがあるため、画面を閉じられません。\n%2").arg(u(c.row), u(c.message)));
        EXPECT_EQ(box.shown().size(), c.escape ? 1u : 2u) << "told once on leaving, once on closing";
        EXPECT_TRUE(QTest::qWaitFor([e] { return QApplication::focusWidget() == e; }, 60000)) << "focus back";
        EXPECT_EQ(e->text(), QLatin1String(c.typed));
        QTest::keyClick(e, Qt::Key_PageUp);
        EXPECT_EQ(w->MembSlot, 1);
        EXPECT_EQ(box.shown().size(), c.escape ? 1u : 2u) << "stepping adds nothing";
        EXPECT_EQ(std::memcmp(&before, &KintaiRec[1], sizeof before), 0);
        type(e, "2");
        EXPECT_EQ(KintaiRec[1].Kintai[c.k], 2.0);
        ASSERT_TRUE(close());
    }
}

TEST_F(DataEditTest, IncomeTaxTypedInManualModeIsSavedWithItsFlag)
{
    TEmployeeRec& E = employee(1, "山田　太郎");
    E.Chingin[1] = 300000;
    E.Sinzoku = 1;
    CalcKyuyo(1);
    open(1);
    QLineEdit* tax = field("Koujo", "所得税");
    EXPECT_EQ(tax->text(), QStringLiteral("     6,320")) << "2026 甲, one dependant, 299,000..302,000";
    EXPECT_TRUE(tax->isReadOnly());
    field("Koujo", "社会保険料計")->setFocus();
    EXPECT_FALSE(button("sbManual")->isEnabled()) << "a sum is never typed";
    tax->setFocus();
    ASSERT_TRUE(button("sbManual")->isEnabled());
    button("sbManual")->click();
    type(tax, "5000");
    EXPECT_EQ(child<QLabel>(w.get(), "pnKoujoTotal")->text(), QStringLiteral("     5,000"));
    ASSERT_TRUE(close());
    ASSERT_TRUE(SavePeriod());

    // Deduction row of slot 1 in April: the amount at 4 * (8 - 1), the flag at 107 + 8.
    const QByteArray file = ReadAll(CurPeriod.FileName);
    const int row =
        DataRecPos(3) + sizeof(TCorpRec) + sizeof(TSyainArray) + sizeof(TKintaiArray) + sizeof(TSikyuArray);
    EXPECT_EQ(ValueAt<int32_t>(file, row + 28), 5000);
    EXPECT_EQ(file[row + 115], 1);
}

TEST_F(DataEditTest, SteppingPassesRetiredEmployeesGapsAndEnds)
{
    struct Case {
        const char* what;
        int seq[6];      // serial numbers of slots 1..5 (index 0 unused)
        int retired;     // slot
        int from;        // slot opened
        QList<int> way;  // slots reached by "次のデータ" until it is disabled, then back
    } cases[] = {
        {"slot order: a retired employee and a free slot between", {0, 0, 0, 0, 0, 0}, 2, 1, {4, 5}},
        {"serial order with a retired employee and a number held by nobody",
         {0, 3, 1, 2, 6, 4},
         3,
         2,
         {1, 5, 4}},
        {"the highest number is retired", {0, 1, 2, 3, 0, 0}, 3, 1, {2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::memset(&SyainRec, 0, sizeof SyainRec);
        for (int e = 1; e <= 5; ++e)
            if (e != 3 || c.seq[1] != 0) employee(e, ("社員" + std::to_string(e)).c_str(), 1, c.seq[e]);
        SyainRec[c.retired].Taisyoku.setBytes(" 8 331");
        open(c.from);
        EXPECT_FALSE(button("sbBackData")->isEnabled());
        for (int slot : c.way) {
            ASSERT_TRUE(button("sbNextData")->isEnabled());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp);
            EXPECT_EQ(w->MembSlot, slot);
        }
        EXPECT_FALSE(button("sbNextData")->isEnabled());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp);
        EXPECT_EQ(w->MembSlot, c.way.back()) << "nothing beyond the last";
        for (int i = c.way.size() - 2; i >= -1; --i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
            EXPECT_EQ(w->MembSlot, i >= 0 ? c.way[i] : c.from);
        }
        EXPECT_FALSE(button("sbBackData")->isEnabled());
        ASSERT_TRUE(close());
    }
}

TEST_F(DataEditTest, EnterGoesToTheNextRowThatTakesEntriesAndEndsWithoutOne)
{
    employee(1, "月給");
    employee(2, "時給", 3);
    open(1);
    type(field("Kintai", "特別休暇日数"), "1");
    EXPECT_EQ(QApplication::focusWidget(), field("Kintai", "実働時間")) << "over 所定労働時間, computed";
    ASSERT_TRUE(close());

    // A pay type whose slip has nothing to enter: Enter leaves the only row for the buttons.
    for (int r = 1; r <= 18; ++r) {
        if (r <= 16) KintaiList[3][r] = QStringLiteral("F");
        SikyuList[3][r] = r == 1 ? u("F基本給") : QStringLiteral("F");
        KoujoList[3][r] = QStringLiteral("F");
    }
    for (int r = 1; r <= 3; ++r) SonotaList[3][r] = QStringLiteral("F");
    open(2);
    QLineEdit* only = field("Sikyu", "時給計");
    EXPECT_EQ(QApplication::focusWidget(), only);
    QTest::keyClick(only, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), button("btPrnMeisai"));
    ASSERT_TRUE(close());
}

TEST_F(DataEditTest, BonusTaxQuestionYesMakesTheTaxRowEditableAtOnce)
{
    openBonus(13, 7, 10);
    employee(1, "山田　太郎").Koyou = 1;
    open(1);
    box.answer(MsgResult::Yes);
    type(field("Sikyu", "賞与"), "300000");
    ASSERT_EQ(box.shown().size(), 2u) << "the question and the note";
    EXPECT_EQ(box.shown()[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(KoujoRec[1].KoujoManual[8], 1);
    QLineEdit* tax = field("Koujo", "所得税");
    EXPECT_EQ(QApplication::focusWidget(), tax);
    type(tax, "12000");
    EXPECT_EQ(KoujoRec[1].Koujo[koSyotoku], 12000);
    EXPECT_EQ(box.shown().size(), 2u) << "not asked again once the tax is manual";
    ASSERT_TRUE(close());
}

using DataEditFormsTest = WithForms<DataEditTest>;

TEST_F(DataEditFormsTest, MainWindowOpensTheSlipForAnEmployeeInService)
{
    employee(1, "在籍");
    employee(2, "退職").Taisyoku.setBytes(" 8 331");
    fmMain->action("mnTaisyoku")->setChecked(true);
    fmMain->FillMemberList(1);
    auto* list = child<QListWidget>(fmMain, "ListBox");
    list->setCurrentRow(1);
    EXPECT_FALSE(fmMain->action("sbDataEdit")->isEnabled());
    list->setCurrentRow(0);
    ASSERT_TRUE(fmMain->action("sbDataEdit")->isEnabled());
    // In the slip: this employee's slip in the print dialog, his record shown read-only.
    QString shown;
    int printTag = 0, viewSlot = 0;
    bool viewOnly = false;
    WhenShown(fmDataEdit, [&] {
        shown = fmDataEdit->windowTitle();
        WhenShown(fmInji, [&] {
            printTag = fmInji->tag();
            fmInji->reject();
        });
        child<QAbstractButton>(fmDataEdit, "btPrnMeisai")->click();
        WhenShown(fmMembEdit, [&] {
            viewSlot = fmMembEdit->membSlot();
            viewOnly = fmMembEdit->viewOnly();
            fmMembEdit->reject();
        });
        child<QAbstractButton>(fmDataEdit, "btMembEdit")->click();
        fmDataEdit->reject();
    });
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(shown, u("明細入力画面 【在籍】"));
    EXPECT_EQ(printTag, 201);
    EXPECT_EQ(viewSlot, 1);
    EXPECT_TRUE(viewOnly);
    EXPECT_EQ(
        box.lastText(),
        u("社員情報の表示のみであり、編集は出来ません。\n(社員情報の編集はメイン画面から選択して下さい)"));
}

// The main window steps either editor with Alt+arrows and the mouse's side buttons: one press, one
// employee, with the focus in a field of a panel and the button over a label of a group.
TEST_F(DataEditFormsTest, OneKeyOrSideButtonStepsOneEmployeeInEitherEditor)
{
    for (int e = 1; e <= 4; ++e) employee(e, ("社員" + std::to_string(e)).c_str());
    struct Step {
        Qt::Key key;  // with Alt; Key_unknown: the mouse button instead
        Qt::MouseButton button;
        int slot;
    } const steps[] = {{Qt::Key_Right, Qt::NoButton, 2},
                       {Qt::Key_Right, Qt::NoButton, 3},
                       {Qt::Key_Left, Qt::NoButton, 2},
                       {Qt::Key_unknown, Qt::ForwardButton, 3},
                       {Qt::Key_unknown, Qt::BackButton, 2}};
    fmMembEdit->setMember(1, false);
    fmDataEdit->MembSlot = 1;
    const std::pair<QDialog*, std::function<int()>> editors[] = {
        {fmMembEdit, [] { return fmMembEdit->membSlot(); }},
        {fmDataEdit, [] { return fmDataEdit->MembSlot; }}};
    for (const auto& [editor, slot] : editors) {
        SCOPED_TRACE(editor->objectName().toStdString());
        ShowActive(editor);
        QWidget* field = QApplication::focusWidget();
        ASSERT_TRUE(field && field->parentWidget() != editor) << "the focus in a field of a panel";
        QLabel* label = nullptr;
        for (QLabel* l : editor->findChildren<QLabel*>())
            if (!label && l->isVisible() && l->parentWidget() != editor) label = l;
        ASSERT_TRUE(label);
        for (const Step& s : steps) {
            if (s.key != Qt::Key_unknown)
                QTest::keyClick(QApplication::focusWidget(), s.key, Qt::AltModifier);
            else
                QTest::mouseClick(label, s.button);
            EXPECT_EQ(slot(), s.slot) << s.key << " " << s.button;
        }
        editor->reject();
    }
    EXPECT_TRUE(box.shown().empty()) << box.lastText();
}

// April 2026 of a company with a monthly, a daily and an hourly employee, typed into the window,
// saved and read back. Every figure is worked out here from the rules and the 2026 tables.
TEST_F(DataEditTest, MonthOfThreeEmployeesEnteredSavedAndReloaded)
{
    const ScreenshotFont face;  // before the window measures its rows
    if (face.on()) w = std::make_unique<TfmDataEdit>();
    TEmployeeRec& M = employee(1, "山田　太郎", 1);
    M.Chingin[1] = 250000;
    M.Chingin[2] = 1953;
    M.Family = 10000;
    M.Koutuhi[0] = 12000;
    M.SikUnit = 2;
    M.Kekkin = 11364;
    M.Kenkou = M.NenHoken = M.Koyou = 1;
    M.KenhoRyo = 14925;
    M.KoseiRyo = 27450;
    M.Juumin = 10000;
    M.Sinzoku = 1;
    TEmployeeRec& D = employee(2, "鈴木　花子", 2);
    D.Chingin[1] = 10000;
    D.Yukyu = 8000;
    D.Chisou = 1250;
    D.Koutuhi[0] = 300;
    D.SikUnit = 1;
    D.Koyou = 1;
    TEmployeeRec& H = employee(3, "佐藤　次郎", 3);
    H.Chingin[1] = 1200;
    H.Yukyu = 9000;
    H.Koutuhi[0] = 4000;
    H.SikUnit = 2;
    H.Koyou = 1;
    H.Zeigaku = 1;
    // March is saved with the paid leave left over.
    CurPeriod.Period = 3;
    KintaiRec[2].Kintai[kiYukyuZan] = 10.375;
    KintaiRec[3].Kintai[kiYukyuZan] = 5;
    WritePeriod();
    CurPeriod.Period = 4;
    KintaiRec[2].Kintai[kiYukyuZan] = KintaiRec[3].Kintai[kiYukyuZan] = 0;
    // The monthly slip also carries a variable allowance and an other item, under user names.
    OptionRec.VarTeate[1] = u("皆勤手当");
    OptionRec.Sonota[1] = u("立替金");
    SikyuItem[15].Use[1] = true;
    SonotaItem[1].Use[1] = true;
    PublishKyuyoItems();

    open(1);
    type(field("Kintai", "出勤日数"), "20");
    type(field("Kintai", "欠勤日数"), "1");
    type(field("Kintai", "普通残業時間"), "10:30");
    type(field("Sikyu", "皆勤手当"), "5000");
    type(field("Sonota", "立替金"), "3000");
    EXPECT_EQ(child<QLabel>(w.get(), "lbChingin2")->text(), u("普通残業手当     1,953 円"));
    EXPECT_EQ(child<QLabel>(w.get(), "pnSikyugaku")->text(), QStringLiteral("   231,487"));
    Screenshot(w.get(), "slip-entry-monthly.png");
    ASSERT_TRUE(close());

    open(2);
    EXPECT_TRUE(field("Sikyu", "日給計")->isReadOnly());
    type(field("Kintai", "出勤日数"), "18");
    type(field("Kintai", "有休日数"), "2");
    EXPECT_EQ(field("Kintai", "有休残日数")->text(), QStringLiteral("  8.38")) << "10.375 left in March";
    type(field("Kintai", "遅刻早退時間"), "1:45");
    ASSERT_TRUE(close());

    open(3);
    type(field("Kintai", "実働時間"), "85:15");
    type(field("Kintai", "有休日数"), "1");
    QLineEdit* juumin = field("Koujo", "住民税");
    juumin->setFocus();
    button("sbManual")->click();
    type(juumin, "1500");
    Screenshot(w.get(), "slip-entry-hourly.png");
    ASSERT_TRUE(close());
    ASSERT_TRUE(SavePeriod());
    ClearPeriodImage();
    LoadPeriod(CurPeriod.FileName, 4);

    // Per slot: basic pay, overtime, variable allowance, late, absence, commuting, taxable, total pay;
    // health, pension, employment insurance, income tax, resident tax, deductions, net pay.
    const std::pair<int, std::array<int32_t, 15>> expect[] = {
        // 250,000 + 10,000 family + 10.5 h x 1,953 = 20,506.5 up to 20,507 + 5,000 - 1 day 11,364
        // = 274,143 taxable, + 12,000 commuting = 286,143; insurance 286,143 x 0.5 % = 1,430.7 ->
        // 1,431; 274,143 - 43,806 = 230,337 -> 甲 one dependant 3,850; net + 3,000 other item.
        {1,
         {250000, 20507, 5000, 0, -11364, 12000, 274143, 286143, 14925, 27450, 1431, 3850, 10000, 57656,
          231487}},
        // 18 x 10,000 + 2 x 8,000 = 196,000; 1.75 h x 1,250 = 2,187.5 cut to 2,187; commuting
        // 18 x 300; 199,213 x 0.5 % = 996.07 -> 996; 193,813 - 996 = 192,817 -> 甲 none 4,050.
        {2, {196000, 0, 0, -2187, 0, 5400, 193813, 199213, 0, 0, 996, 4050, 0, 5046, 194167}},
        // 85.25 h x 1,200 + 9,000 = 111,300; + 4,000 = 115,300; x 0.5 % = 576.5 -> 576;
        // 111,300 - 576 = 110,724 -> 乙 3,900; resident tax typed 1,500.
        {3, {111300, 0, 0, 0, 0, 4000, 111300, 115300, 0, 0, 576, 3900, 1500, 5976, 109324}},
    };
    for (const auto& [e, figures] : expect) {
        const TSikyuRec& P = SikyuRec[e];
        const TKoujoRec& Q = KoujoRec[e];
        const std::array<int32_t, 15> got{
            P.Sikyu[siKihon],  P.Sikyu[siFutuZangyo], P.Sikyu[siVarTeate1],
            P.Sikyu[siChisou], P.Sikyu[siKekkin],     P.Sikyu[siHikazeiTuukin],
            P.KazeiGoukei,     P.SikyuGoukei,         Q.Koujo[koKenpo],
            Q.Koujo[koKousei], Q.Koujo[koKoyou],      Q.Koujo[koSyotoku],
            Q.Koujo[koJuumin], Q.KoujoGoukei,         P.SikyuGoukei - Q.KoujoGoukei + P.Sonota[1]};
        EXPECT_EQ(got, figures) << "slot " << e;
    }
    EXPECT_EQ(KintaiRec[1].Kintai[kiFutuZangyo], 10.5);
    EXPECT_EQ(KintaiRec[2].Kintai[kiChisouJikan], 1.75);
    EXPECT_EQ(KintaiRec[2].Kintai[kiYukyuZan], 8.375) << "the days left, not the 8.38 shown";
    EXPECT_EQ(KintaiRec[3].Kintai[kiJitudou], 85.25);
    EXPECT_EQ(KintaiRec[3].Kintai[kiYukyuZan], 4.0);
    EXPECT_EQ(KoujoRec[1].Sonota[1], 3000) << "an other item goes into both rows";
    EXPECT_EQ(KoujoRec[3].KoujoManual[koJuumin], 1);
}

TEST_F(DataEditTest, StoringChecksEveryRowBeforeWritingAny)
{
    employee(1, "社員");
    KintaiRec[1].Kintai[kiFutuZangyo] = 7.51;
    const TKintaiRec before = KintaiRec[1];
    const QString bad =
        StoreMeisai(1, {{sgKintai, u("出勤日数"), QStringLiteral("20"), QStringLiteral("  0.00")},
                        {sgKintai, u("欠勤日数"), QStringLiteral("1..2"), QStringLiteral("  0.00")}});
    EXPECT_EQ(bad, u("．や：又は符号(－)が重複しています。"));
    EXPECT_EQ(std::memcmp(&before, &KintaiRec[1], sizeof before), 0) << "not even the good row";

    // A row left as it was shown keeps its stored value: 7.51 h shows as 7:31, which is 7.5167 h.
    EXPECT_TRUE(
        StoreMeisai(1, {{sgKintai, u("普通残業時間"), QStringLiteral("  7:31"), QStringLiteral("  7:31")},
                        {sgKintai, u("出勤日数"), QStringLiteral("20"), QStringLiteral("  0.00")}})
            .isEmpty());
    EXPECT_EQ(KintaiRec[1].Kintai[kiFutuZangyo], 7.51);
    EXPECT_EQ(KintaiRec[1].Kintai[kiSyukkin], 20.0);
}

}  // namespace
