// Monthly pay and bonus calculation: yen figures worked out by hand from the 2026 tables, the
// slip item lists, manual entries, other periods and the yearly health cap of bonuses.
#include "payroll/calc.h"

#include <array>
#include <cstring>
#include <limits>

#include "app/core/recalc.h"
#include "payroll/common.h"
#include "payroll/datamanage.h"
#include "payroll/option.h"
#include "payroll/otherperiod.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/premiums.h"
#include "payroll/slipitems.h"
#include "payroll/yearfile.h"
#include "platform/errors.h"
#include "platform/msgbox.h"
#include "tests/testutil.h"

namespace {

class CalcTest : public PeriodTest {
  protected:
    // Saves a month or bonus with the employee's figures set by the caller into the file: the
    // employee of slot from of the image in slot e.
    void storeOther(int p, int e, int32_t syahoGo, int32_t kazei, double yukyuZan = 0, int from = 1)
    {
        auto rec = std::make_unique<TPeriodRecord>();
        TYearFileHeader h;
        ReadPeriodRecord(CurPeriod.FileName, p, h, *rec);
        rec->syain[e] = SyainRec[from];
        rec->koujo[e].Koujo[koSyahoGo] = syahoGo;
        rec->sikyu[e].KazeiGoukei = kazei;
        rec->kintai[e].Kintai[kiYukyuZan] = yukyuZan;
        WriteAt(CurPeriod.FileName, DataRecPos(p - 1), *rec);
    }
};

TEST_F(CalcTest, MonthlyPayOfAMonthlyEmployee)
{
    openMonth(5);
    TEmployeeRec& E = employee(1, "260401_090000");
    E.Chingin[1] = 250000;
    E.Chingin[2] = 1953;
    E.Family = 10000;
    E.Koutuhi[0] = 12000;
    E.SikUnit = 2;
    E.Kekkin = 11364;
    E.KenhoRyo = 14925;
    E.KoseiRyo = 27450;
    E.Juumin = 10000;
    E.Juumin6 = 12000;
    E.Teate[1] = 5000;  // fixed allowance 1 is not on the default monthly slip
    KintaiRec[1].Kintai[kiFutuZangyo] = 10.5;
    KintaiRec[1].Kintai[kiKekkin] = 1;
    SikyuRec[1].Sikyu[siVarTeate1] = 7000;  // nor is variable allowance 1: kept, not counted
    CalcKyuyo(1);
    const TSikyuRec& P = SikyuRec[1];
    const TKoujoRec& D = KoujoRec[1];
    EXPECT_EQ(P.Sikyu[siKihon], 250000) << "full base pay in a month with an absence";
    EXPECT_EQ(P.Sikyu[siFutuZangyo], 20507) << "10.5 h x 1,953 = 20,506.5, rounded up";
    EXPECT_EQ(P.Sikyu[siFixTeate1], 0);
    EXPECT_EQ(P.Sikyu[siVarTeate1], 7000);
    EXPECT_EQ(P.Sikyu[siHikazeiTuukin], 12000);
    EXPECT_EQ(P.Sikyu[siKekkin], -11364);
    EXPECT_EQ(P.KazeiGoukei, 269143);
    EXPECT_EQ(P.SikyuGoukei, 281143) << "with the non-taxable commuting allowance";
    EXPECT_EQ(D.Koujo[koKoyou], 1406) << "281,143 x 0.5 % = 1,405.715";
    EXPECT_EQ(D.Koujo[koSyahoKei], 43781);
    EXPECT_EQ(D.Koujo[koSyahoGo], 225362);
    EXPECT_EQ(D.Koujo[koSyotoku], 3630) << "2026 甲, one dependant, 224,000..227,000";
    EXPECT_EQ(D.KoujoGoukei, 57411);
    EXPECT_EQ(D.SyahoSantei, 281143);

    TSikyuRec before = SikyuRec[1];
    CalcKyuyo(1);
    EXPECT_EQ(std::memcmp(&before, &SikyuRec[1], sizeof before), 0) << "a second run changes nothing";
}

TEST_F(CalcTest, AmountsBeyond32BitsAreRefusedAndTheRowsKept)
{
    openMonth(5);
    const QString tail =
        u("は計算できません。\n金額が扱える範囲(-2,147,483,648～2,147,483,647円)を超えます。\n"
          "入力した金額や時間を確認して下さい。");
    const struct {
        int keitai;
        int32_t wage, family;
        double hours;
        const char* item;
    } cases[] = {
        {3, 9999999, 0, 999, "時給計"},  // 9,989,999,001 yen, once paid as -2,147,475,648
        {3, 1000, 0, 1e10, "時給計"},
        {3, 1000, 0, std::numeric_limits<double>::quiet_NaN(), "給与"},
        {1, 2000000000, 200000000, 0, "課税支給合計"},
    };
    for (const auto& c : cases) {
        TEmployeeRec& E = employee(1);
        E.Keitai = c.keitai, E.Chingin[1] = c.wage, E.Family = c.family;
        KintaiRec[1].Kintai[kiJitudou] = c.hours;
        SikyuRec[1].Sikyu[siKihon] = 123;
        const TSikyuRec kept = SikyuRec[1];
        try {
            CalcKyuyo(1);
            ADD_FAILURE() << "not refused: " << c.item;
        } catch (const AppError& e) {
            EXPECT_EQ(e.message(), u("【社員】の「%1」").arg(u(c.item)) + tail);
        }
        EXPECT_EQ(std::memcmp(&kept, &SikyuRec[1], sizeof kept), 0) << c.item;
    }
    // The recalculation of all goes on with the others and tells the refusal once.
    employee(2).Chingin[1] = 250000;
    ScriptedMsgBox box;
    CalcAllMember(false);
    ASSERT_EQ(box.shown().size(), 1u);
    EXPECT_EQ(box.lastText(), u("【社員】の「課税支給合計」") + tail);
    EXPECT_EQ(SikyuRec[2].SikyuGoukei, 250000);
}

TEST_F(CalcTest, BasePayByPayTypeAndEmploymentInsuranceRounding)
{
    openMonth(4);
    TEmployeeRec& E = employee(1, "k1");
    E.Keitai = 2;
    E.Chingin[1] = 10000;
    E.Yukyu = 8000;
    KintaiRec[1].Kintai[kiSyukkin] = 20;
    KintaiRec[1].Kintai[kiYukyu] = 2;
    CalcKyuyo(1);
    EXPECT_EQ(SikyuRec[1].Sikyu[siKihon], 216000);

    E.Keitai = 3;
    E.Chingin[1] = 1150;
    KintaiRec[1].Kintai[kiJitudou] = 100.75;
    KintaiRec[1].Kintai[kiYukyu] = 0;
    CalcKyuyo(1);
    EXPECT_EQ(SikyuRec[1].Sikyu[siKihon], 115863) << "100.75 h x 1,150 = 115,862.5, rounded up";

    E.Keitai = 1;
    E.Kekkin = 10000;
    CorpRec.KoyRitu = 0.6;
    // Employment insurance is charged on the wages paid: 100,000 less 12 absence days at 10,000 is a
    // gross pay of -20,000, which is charged nothing (not refunded 120), and 10 days leave 0. Tax:
    // 248,749 and 248,917 lie in 甲 248,000..251,000, one dependant, 4,490; below 0 none.
    const struct {
        int32_t pay;
        double absence;
        int32_t gross, ins, tax;
    } cases[] = {{250250, 0, 250250, 1501, 4490},
                 {250420, 0, 250420, 1503, 4490},
                 {100000, 12, -20000, 0, 0},
                 {100000, 10, 0, 0, 0}};
    for (const auto& c : cases) {
        E.Chingin[1] = c.pay;
        KintaiRec[1].Kintai[kiKekkin] = c.absence;
        CalcKyuyo(1);
        EXPECT_EQ(SikyuRec[1].SikyuGoukei, c.gross) << c.pay << ", " << c.absence << " days";
        EXPECT_EQ(KoujoRec[1].Koujo[koKoyou], c.ins) << c.pay << ", " << c.absence << " days";
        EXPECT_EQ(KoujoRec[1].Koujo[koSyotoku], c.tax) << c.pay << ", " << c.absence << " days";
    }
}

TEST_F(CalcTest, OvertimeAndReductionsFollowTheirRoundingModes)
{
    openMonth(4);
    TEmployeeRec& E = employee(1, "k1");
    E.Chingin[2] = 900;
    KintaiRec[1].Kintai[kiFutuZangyo] = TimeStrToFloat(QStringLiteral("1:02"));
    CalcKyuyo(1);
    // 62/60 h x 900 = 930 exactly; in binary 930.0000000000001, which must not round up to 931.
    EXPECT_EQ(SikyuRec[1].Sikyu[siFutuZangyo], 930);

    struct Case {
        int mode;
        double days;
        int32_t kekkin;
    };
    // 1.5 days x 7,333 = 10,999.5 and 1.4 x 7,333 = 10,266.2, both taken off the pay.
    const Case cases[] = {
        {0, 1.5, -10999}, {2, 1.5, -11000}, {1, 1.5, -10999},  // up moves a negative amount toward zero
        {0, 1.4, -10266}, {2, 1.4, -10266}, {1, 1.4, -10266},
    };
    E.Kekkin = 7333;
    for (const Case& c : cases) {
        OptionRec.HasuuGen = c.mode;
        KintaiRec[1].Kintai[kiKekkin] = c.days;
        CalcKyuyo(1);
        EXPECT_EQ(SikyuRec[1].Sikyu[siKekkin], c.kekkin) << "mode " << c.mode << ", " << c.days << " days";
    }
}

TEST_F(CalcTest, RecalculationOfEveryoneTakesEachPayTypesSlipAsPublishedThen)
{
    // The first variable allowance is on the monthly slip only; overtime is not on the daily one.
    WriteAll(IniFileName, QByteArray("[KyuyoKeitai1]\r\nSikyu=111111111111111000\r\n"));
    openMonth(5);
    for (int e = 1; e <= 2; ++e) {
        TEmployeeRec& E = employee(e, QByteArray("k") + QByteArray::number(e));
        E.Keitai = e;
        E.Chingin[1] = e == 1 ? 200000 : 10000;
        E.Chingin[2] = 1000;
        KintaiRec[e].Kintai[kiSyukkin] = 20;
        KintaiRec[e].Kintai[kiFutuZangyo] = 2;
        SikyuRec[e].Sikyu[siVarTeate1] = 7000;
    }
    CalcAllMember(false);
    EXPECT_EQ(SikyuRec[1].SikyuGoukei, 200000 + 2000 + 7000);
    EXPECT_EQ(SikyuRec[2].Sikyu[siFutuZangyo], 0);
    EXPECT_EQ(SikyuRec[2].SikyuGoukei, 200000) << "20 days x 10,000, nothing else on the daily slip";
    // Taken off the monthly slip, the allowance counts no more at the next recalculation.
    SikyuItem[15].Use[1] = false;
    PublishKyuyoItems();
    CalcAllMember(false);
    EXPECT_EQ(SikyuRec[1].SikyuGoukei, 200000 + 2000);
}

TEST_F(CalcTest, CommutingAllowanceFollowsItsPaymentRule)
{
    struct Case {
        int rule, month;
        double days;
        int32_t paid;
    };
    const Case cases[] = {
        {4, 5, 20, 30000}, {4, 6, 20, 0},   {3, 10, 20, 30000}, {11, 12, 20, 30000}, {6, 2, 20, 0},
        {1, 6, 0, 0},      {1, 6, 21, 630}, {0, 6, 20, 0},      {12, 6, 20, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule * 100 + c.month);
        openMonth(c.month);
        TEmployeeRec& E = employee(1, "k1");
        E.SikUnit = c.rule;
        E.Koutuhi[0] = c.rule == 1 ? 30 : 30000;
        E.Koutuhi[1] = 0;
        KintaiRec[1].Kintai[kiSyukkin] = c.days;
        CalcKyuyo(1);
        EXPECT_EQ(SikyuRec[1].Sikyu[siHikazeiTuukin], c.paid);
        EXPECT_EQ(SikyuRec[1].SikyuGoukei, c.paid);
        EXPECT_EQ(SikyuRec[1].KazeiGoukei, 0) << "the non-taxable part is not taxable";
    }
}

TEST_F(CalcTest, ManualEntriesRetirementAndNoIncomeTax)
{
    openMonth(6);
    TEmployeeRec& E = employee(1, "k1");
    E.Chingin[1] = 300000;
    SikyuRec[1].Sikyu[siKihon] = 280000;
    SikyuRec[1].SikyuManual[siKihon] = 1;
    KoujoRec[1].Koujo[koSyotoku] = 9999;
    KoujoRec[1].KoujoManual[koSyotoku] = 1;
    CalcKyuyo(1);
    EXPECT_EQ(SikyuRec[1].Sikyu[siKihon], 280000);
    EXPECT_EQ(SikyuRec[1].SikyuGoukei, 280000);
    EXPECT_EQ(KoujoRec[1].Koujo[koSyotoku], 9999);

    E.NoSyoto = 1;
    CalcKyuyo(1);
    EXPECT_EQ(KoujoRec[1].Koujo[koSyotoku], 0) << "no income tax even when one was typed in";

    SikyuRec[1].Sonota[1] = KoujoRec[1].Sonota[1] = 500;
    E.Taisyoku.setText(QStringLiteral("080531"));
    CalcKyuyo(1);
    const TSikyuRec zeroP{};
    const TKoujoRec zeroD{};
    EXPECT_EQ(std::memcmp(&SikyuRec[1], &zeroP, sizeof zeroP), 0);
    EXPECT_EQ(std::memcmp(&KoujoRec[1], &zeroD, sizeof zeroD), 0);
}

TEST_F(CalcTest, IncomeTaxIsZeroWhenNotOnTheSlipAndJuneResidentTaxMayShift)
{
    WriteAll(IniFileName, QByteArray("[KyuyoKeitai1]\r\nKoujo=111111110100010001\r\n"));
    openMonth(6);
    TEmployeeRec& E = employee(1, "k1");
    E.Chingin[1] = 400000;
    E.Juumin = 15000;
    E.Juumin6 = 15800;
    KoujoRec[1].Koujo[koSyotoku] = 777;
    CalcKyuyo(1);
    EXPECT_EQ(KoujoRec[1].Koujo[koSyotoku], 0);
    EXPECT_EQ(KoujoRec[1].Koujo[koJuumin], 15800);

    CorpRec.SikyuShift = -1;
    CorpRec.Juumin6Flag = 1;
    CalcKyuyo(1);
    EXPECT_EQ(KoujoRec[1].Koujo[koJuumin], 15000) << "June's amount moves to period 7";
    CurPeriod.Period = 7;
    CalcKyuyo(1);
    EXPECT_EQ(KoujoRec[1].Koujo[koJuumin], 15800);
    CorpRec.SikyuShift = 1;
    CalcKyuyo(1);
    EXPECT_EQ(KoujoRec[1].Koujo[koJuumin], 15000);
}

TEST_F(CalcTest, BonusPremiumsAndTaxFromLastMonthsPay)
{
    openMonth(6);
    employee(1, "k1");
    storeOther(6, 4, 225362, 0);  // last month, in another slot
    openBonus(13, 7, 10);
    TEmployeeRec& E = employee(1, "k1");
    E.Kaigo = 1;
    SikyuRec[1].Sikyu[siKihon] = 500000;
    EXPECT_TRUE(CalcSyoyo(1));
    const TKoujoRec& D = KoujoRec[1];
    EXPECT_EQ(D.Koujo[koKenpo], 24775);
    EXPECT_EQ(D.Koujo[koKaigo], 3975) << "28,750 for health and care together, less health";
    EXPECT_EQ(D.Koujo[koKousei], 45750);
    EXPECT_EQ(D.Koujo[koKoyou], 2500);
    EXPECT_EQ(D.Koujo[koSyahoGo], 423000);
    EXPECT_EQ(D.Koujo[koSyotoku], 8637) << "423,000 x 2.042 %, cut";
    EXPECT_EQ(D.SyoyoRitu, 2042);
    EXPECT_EQ(D.KoujoGoukei, 77000 + 8637);
    EXPECT_EQ(D.Koujo[koJuumin], 0) << "no resident tax on bonuses";

    // Ten times last month's pay still computes; above it the tax is left to the user.
    storeOther(6, 4, 42300, 0);
    EXPECT_TRUE(CalcSyoyo(1));
    EXPECT_EQ(D.SyoyoRitu, 0) << "the rate of pay below 107,000 with one dependant is 0 %";
    storeOther(6, 4, 42299, 0);
    EXPECT_FALSE(CalcSyoyo(1));
    EXPECT_EQ(D.Koujo[koSyotoku], 0);
    storeOther(6, 4, 0, 0);
    EXPECT_FALSE(CalcSyoyo(1));
    E.NoSyoto = 1;
    EXPECT_TRUE(CalcSyoyo(1));
    KoujoRec[1].Koujo[koSyotoku] = 1234;
    KoujoRec[1].KoujoManual[koSyotoku] = 1;
    EXPECT_TRUE(CalcSyoyo(1));
    EXPECT_EQ(D.Koujo[koSyotoku], 1234) << "an entered bonus tax stays, even with no income tax";
}

TEST_F(CalcTest, JanuaryBonusTakesLastDecembersPay)
{
    employee(1, "k1");
    auto rec = PeriodRecord();
    rec->syain[30].MembKey.setBytes("k1");
    rec->koujo[30].Koujo[koSyahoGo] = 300000;
    StorePeriod(YearFileName(dir(), QStringLiteral("令和"), 7), 12, *rec);
    openBonus(13, 1, 10);
    employee(1, "k1").Sinzoku = 0;
    SikyuRec[1].Sikyu[siKihon] = 400000;
    EXPECT_TRUE(CalcSyoyo(1));
    // 400,000 less 19,820 + 36,600 + 2,000 of insurance = 341,580, at 甲 0 dependants and a previous
    // month of 300,000 (260,000..309,000): 6.126 % = 20,925.1, cut.
    EXPECT_EQ(KoujoRec[1].Koujo[koSyahoGo], 341580);
    EXPECT_EQ(KoujoRec[1].SyoyoRitu, 6126);
    EXPECT_EQ(KoujoRec[1].Koujo[koSyotoku], 20925);
}

TEST_F(CalcTest, BonusCapsAndStandardAmount)
{
    openBonus(14, 12, 10);
    TEmployeeRec& E = employee(1, "k1");
    E.Kaigo = 0;
    E.NoSyoto = 1;
    // Premiums are charged on what is paid: a bonus corrected below zero has a standard amount of 0,
    // and employment insurance never goes below 0 when the officer's pay exceeds the gross.
    const struct {
        int32_t bonus, officer;
        int32_t health, pension, employment;
        const char* why;
    } cases[] = {
        {1800000, 34567, 90875, 137250, 9000,
         "pension base capped at 1,500,000; health 1,834,000 x 4.955 % = 90,874.7; officer's pay not "
         "insured"},
        {-50000, 0, 0, 0, 0, "-50,000: nothing charged, nothing refunded"},
        // 80,000 gross: health 80,000 x 4.955 % = 3,964, pension x 9.15 % = 7,320; employment base
        // 80,000 - 100,000 = -20,000 (once -100 yen).
        {-20000, 100000, 3964, 7320, 0, "officer's pay above the gross"},
    };
    for (const auto& c : cases) {
        SikyuRec[1].Sikyu[siKihon] = c.bonus;
        SikyuRec[1].Sikyu[siYakusyoku] = c.officer;
        CalcSyoyo(1);
        const std::array<int32_t, 4> got{KoujoRec[1].Koujo[koKenpo], KoujoRec[1].Koujo[koKousei],
                                         KoujoRec[1].Koujo[koKoyou], KoujoRec[1].Koujo[koSyahoKei]};
        EXPECT_EQ(got, (std::array{c.health, c.pension, c.employment, c.health + c.pension + c.employment}))
            << c.why;
    }
}

// Every premium, monthly and bonus, on a base of 200,000 yen at a rate that leaves it 0.49, 0.50,
// 0.505 or 0.51 yen above a whole amount, under every rounding mode of the settings (the premiums
// follow none of them). Health 5 % + f/2000 (10,000 + f yen), care with 0.8 % more (11,600 + f
// together, care the difference), pension 9 % (18,000 + f), fund 2 % (4,000 + f), employment 0.5 %
// (1,000 + f). Social insurance drops a fraction up to 0.50; employment insurance drops 0.50 but
// not 0.505.
TEST_F(CalcTest, EveryPremiumRoundsAtHalfAYenWhateverTheRoundingModes)
{
    struct Case {
        double fraction;
        int32_t health, care, pension, fund, employment;
    } const cases[] = {
        {0.49, 10000, 1600, 18000, 4000, 1000},
        {0.50, 10000, 1600, 18000, 4000, 1000},
        {0.505, 10000, 1600, 18000, 4000, 1001},
        {0.51, 10001, 1600, 18001, 4001, 1001},
    };
    const auto rates = [](double f) {
        CorpRec.KenRitu = 5 + f / 2000, CorpRec.KaiRitu = 0.8, CorpRec.NenRitu = 9 + f / 2000;
        CorpRec.KknRitu = 2 + f / 2000, CorpRec.KoyRitu = 0.5 + f / 2000;
    };
    const auto insured = [](TEmployeeRec& E) {
        E.Kaigo = E.NenKikin = 1;
        E.NoSyoto = 1;
    };
    for (int mode : {0, 1, 2}) {
        const QByteArray m = QByteArray::number(mode);
        WriteAll(IniFileName, "[Option]\r\nHasuuSik=" + m + "\r\nHasuuGen=" + m + "\r\nHasuuKou=" + m +
                                  "\r\nHasuuSikS=" + m + "\r\nHasuuGenS=" + m + "\r\nHasuuKouS=" + m +
                                  "\r\n");
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << ", fraction " << c.fraction);
            openMonth(4);
            rates(c.fraction);
            const TGradePremiums g = GradePremiums(FindKenhoGrade(200000), CorpRec);
            EXPECT_EQ(g.KenhoRyo, c.health);
            EXPECT_EQ(g.KaigoRyo, c.care);
            EXPECT_EQ(g.KoseiRyo, c.pension);
            EXPECT_EQ(g.Kakekin, c.fund);
            TEmployeeRec& E = employee(1, "k1");
            insured(E);
            E.Chingin[1] = 200000;
            CalcKyuyo(1);
            EXPECT_EQ(KoujoRec[1].Koujo[koKoyou], c.employment) << "monthly";

            openBonus(13, 7, 10);
            rates(c.fraction);
            insured(employee(1, "k1"));
            SikyuRec[1].Sikyu[siKihon] = 200000;
            CalcSyoyo(1);
            const TKoujoRec& D = KoujoRec[1];
            const std::array<int32_t, 5> bonus = {D.Koujo[koKenpo], D.Koujo[koKaigo], D.Koujo[koKousei],
                                                  D.Koujo[koKikin], D.Koujo[koKoyou]};
            EXPECT_EQ(bonus, (std::array{c.health, c.care, c.pension, c.fund, c.employment})) << "bonus";
        }
    }
}

TEST_F(CalcTest, YearlyHealthCapCountsStandardAmountsOfTheInsuranceYear)
{
    openBonus(13, 7, 10);
    employee(1, "k1");
    storeOther(13, 2, 0, 5000400);  // July bonus, standard amount 5,000,000
    openBonus(15, 12, 20);
    YearHeader.SyoyoMonth[1] = 7;
    YearHeader.SyoyoDay[1] = 10;
    employee(1, "k1");
    EXPECT_EQ(CalcKenhoSyoyoBase(1, 1000000), 730000);
    // A bonus corrected below zero counts as 0, not as room under the cap: 5,000,000 and -2,000,000
    // leave 730,000, not 2,730,000.
    storeOther(14, 2, 0, -2000000);
    EXPECT_EQ(CalcKenhoSyoyoBase(1, 3000000), 730000);
    storeOther(13, 2, 0, 5800000);
    EXPECT_EQ(CalcKenhoSyoyoBase(1, 1000000), 0);
    YearHeader.SyoyoMonth[1] = 12;
    YearHeader.SyoyoDay[1] = 25;
    EXPECT_EQ(CalcKenhoSyoyoBase(1, 1000000), 1000000) << "a bonus paid later in the month is not earlier";
}

TEST_F(CalcTest, FebruaryBonusCountsLastYearsBonusesFromApril)
{
    // Last year's file: a July and a December bonus counted, a March bonus not (other insurance year).
    const QString prev = YearFileName(dir(), QStringLiteral("令和"), 7);
    auto rec = PeriodRecord();
    rec->syain[9].MembKey.setBytes("k1");
    const int32_t paidIn[] = {3, 7, 12};
    for (int q = 13; q <= 15; ++q) {
        rec->sikyu[9].KazeiGoukei = 1000000 * (q - 12);
        StorePeriod(prev, q, *rec);
        WriteAt(prev, 24 + 4 * (q - 13), paidIn[q - 13]);  // the header's month of the bonus
    }
    openBonus(13, 1, 15);
    employee(1, "k1");
    storeOther(13, 2, 0, 300400);  // this year's January bonus, standard amount 300,000
    openBonus(14, 2, 20);
    YearHeader.SyoyoMonth[1] = 1;
    YearHeader.SyoyoDay[1] = 15;
    employee(1, "k1");
    // 2,000,000 + 3,000,000 of last year and 300,000 of January leave 430,000.
    EXPECT_EQ(CalcKenhoSyoyoBase(1, 1000000), 430000);
}

TEST_F(CalcTest, OtherPeriodsAreFoundByKey)
{
    openMonth(4);
    employee(1, "k1");
    storeOther(3, 17, 180000, 0, 6.5);
    EXPECT_EQ(ReadPeriodData(3, "k1"), 180000);
    EXPECT_EQ(GetPrevYukyuZan(3, "k1"), 6.5);
    EXPECT_EQ(ReadPeriodData(3, "k2"), 0);
    EXPECT_EQ(GetPrevYukyuZan(3, "k2"), -999.0);
    EXPECT_EQ(GetPrevYukyuZan(3, ""), -999.0);
    EXPECT_EQ(ReadPeriodData(0, "k1"), 0) << "no file for last year";
    EXPECT_EQ(GetPrevYukyuZan(0, "k1"), -999.0);
}

}  // namespace

// A recalculation reads each other period once for all employees; the next one reads the file
// again, so a month saved anew or deleted in between is what it sees.
TEST_F(CalcTest, EachRecalculationSeesTheOtherPeriodsAsLastSaved)
{
    openMonth(6);
    employee(1, "k1");
    employee(2, "k2");
    storeOther(6, 4, 225362, 0);  // last month: k1 in slot 4, k2 in slot 5
    storeOther(6, 5, 225362, 0, 0, 2);
    const auto bonus = [] {
        for (int e = 1; e <= 2; ++e) {
            employee(e, e == 1 ? "k1" : "k2").Kaigo = 1;
            SikyuRec[e].Sikyu[siKihon] = 500000;
            KoujoRec[e].Koujo[koSyotoku] = 0;
            KoujoRec[e].KoujoManual[koSyotoku] = 0;
        }
    };
    openBonus(13, 7, 10);
    bonus();
    ScriptedMsgBox box;
    CalcAllMember(false);
    EXPECT_TRUE(box.shown().empty()) << box.lastText();
    EXPECT_EQ(KoujoRec[1].Koujo[koSyotoku], 8637) << "423,000 x 2.042 %, cut";
    EXPECT_EQ(KoujoRec[2].Koujo[koSyotoku], 8637);

    // June saved anew with a tenth of the pay for k1: above ten times, the tax is left to the user.
    storeOther(6, 4, 42299, 0);
    box.answer(MsgResult::No);
    CalcAllMember(false);
    ASSERT_EQ(box.shown().size(), 1u);
    EXPECT_EQ(KoujoRec[1].Koujo[koSyotoku], 0);
    EXPECT_EQ(KoujoRec[2].Koujo[koSyotoku], 8637) << "k2 still found in the record read again";

    // June deleted: nobody had pay last month.
    DeletePeriodData(CurPeriod.FileName, 6);
    openBonus(13, 7, 10);
    bonus();
    box.clear();
    box.answer(MsgResult::No);
    CalcAllMember(false);
    ASSERT_EQ(box.shown().size(), 1u);
    EXPECT_EQ(KoujoRec[1].Koujo[koSyotoku], 0);
    EXPECT_EQ(KoujoRec[2].Koujo[koSyotoku], 0);
}

// The yearly health cap of one run counts the earlier bonus as saved when the run starts.
TEST_F(CalcTest, HealthCapOfEachRunCountsTheEarlierBonusAsLastSaved)
{
    openBonus(13, 7, 10);
    employee(1, "k1");
    storeOther(13, 2, 0, 5000400);
    openBonus(15, 12, 20);
    YearHeader.SyoyoMonth[1] = 7;
    YearHeader.SyoyoDay[1] = 10;
    employee(1, "k1");
    TCalcItems first;
    EXPECT_EQ(CalcKenhoSyoyoBase(1, 1000000, first.otherPeriods()), 730000);
    storeOther(13, 2, 0, 2000000);
    TCalcItems second;
    EXPECT_EQ(CalcKenhoSyoyoBase(1, 1000000, second.otherPeriods()), 1000000);
}
