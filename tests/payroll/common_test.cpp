// Tests of the common routines: rounding in yen, amount and hour texts, the numeric entry check,
// over-type entry in CP932 bytes, item names, employee lookups and dates.
#include "payroll/common.h"

#include <cmath>
#include <limits>
#include <map>

#include "payroll/option.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/msgbox.h"
#include "tests/testutil.h"

using CommonTest = CoreTest;

TEST_F(CommonTest, TruncEpsAndRoundByModeForgiveOneMillionth)
{
    EXPECT_EQ(TruncEps(2.9999995), 3);
    EXPECT_EQ(TruncEps(-2.9999995), -3);
    EXPECT_EQ(TruncEps(2.99999), 2);
    struct {
        int mode;
        double value;
        int32_t want;
    } cases[] = {
        {1, 100.0001, 101}, {1, -100.5, -100}, {1, 1500 * 1.1, 1650}, {1, 100.0000005, 100}, {2, -2.5, -3},
        {2, 2.5, 3},        {2, 2.4999, 2},    {3, 99.9999995, 100},  {0, -7.9, -7},
    };
    for (const auto& c : cases) EXPECT_EQ(RoundByMode(c.mode, c.value), c.want) << c.mode << " " << c.value;
}

TEST_F(CommonTest, MulRoundUsesEachItemKindsModeOnTheDoubleProduct)
{
    OptionRec.HasuuSik = 1, OptionRec.HasuuGen = 2, OptionRec.HasuuKou = 0;
    // 300,333 x 10.21% = 30,663.9993: in single precision this became 30,664.
    EXPECT_EQ(MulRound3(300333, 0.1021), 30663);
    EXPECT_EQ(MulRound2(300333, 0.1021), 30664);
    // Hourly 1,234 yen x 1.25 = 1,542.5.
    EXPECT_EQ(MulRound1(1234, 1.25), 1543);
    EXPECT_EQ(MulRound2(1234, 1.25), 1543);
    EXPECT_EQ(MulRound3(1234, 1.25), 1542);
    // Holiday work, 1,300 yen x 1.35: the product is 1,755.0000000000002.
    EXPECT_EQ(MulRound1(1300, 1.35), 1755);
}

// Each item kind takes its own mode, the month's from HasuuSik/HasuuGen/HasuuKou and a bonus's from
// the S keys: the mode under test goes into one key, another mode into the five others.
TEST_F(CommonTest, EachItemKindRoundsByItsOwnModeOfTheMonthOrTheBonus)
{
    useDataFolder();
    const double factors[] = {1.54249, 1.5425, 1.54251, -1.5425, 1.542};  // x 1,000 yen
    const std::map<int, std::array<int32_t, 5>> want = {
        {0, {1542, 1542, 1542, -1542, 1542}},  // down
        {1, {1543, 1543, 1543, -1542, 1542}},  // up: a negative amount toward zero
        {2, {1542, 1543, 1543, -1543, 1542}},  // half away from zero
        {3, {1542, 1542, 1542, -1542, 1542}},
    };
    const char* keys[] = {"HasuuSik", "HasuuGen", "HasuuKou", "HasuuSikS", "HasuuGenS", "HasuuKouS"};
    int32_t (*const routines[])(double, double) = {MulRound1, MulRound2, MulRound3};
    for (int period : {5, 13}) {
        for (int kind = 0; kind < 3; ++kind) {
            for (const auto& [mode, yen] : want) {
                const int key = kind + (period > 12 ? 3 : 0);
                QByteArray ini = "[Option]\r\n";
                for (int k = 0; k < 6; ++k)
                    ini += QByteArray(keys[k]) + "=" +
                           QByteArray::number(k == key    ? mode
                                              : mode == 1 ? 2
                                                          : 1) +
                           "\r\n";
                WriteAll(IniFileName, ini);
                LoadHasuu(period);
                for (int i = 0; i < 5; ++i)
                    EXPECT_EQ(routines[kind](1000, factors[i]), yen[i])
                        << keys[key] << "=" << mode << ", 1,000 x " << factors[i];
            }
        }
    }
}

TEST_F(CommonTest, SocialInsuranceDropsFiftySen)
{
    EXPECT_EQ(RoundShaho(100.50), 100);
    EXPECT_EQ(RoundShaho(100.51), 101);
    EXPECT_EQ(RoundShaho(-100.51), -101);
    EXPECT_EQ(RoundShaho(245000 * 0.0501), 12274);   // 12,274.5 yen
    EXPECT_EQ(RoundShaho(265000 * 0.04995), 13237);  // 13,236.75 yen
    EXPECT_EQ(RoundShaho2(100.50), 100);
    EXPECT_EQ(RoundShaho2(100.502), 101);
    EXPECT_EQ(RoundShaho2(250250 * 0.006), 1501);  // 1,501.5 yen
}

TEST_F(CommonTest, RoundingNeverTurnsAnOutOfRangeValueIntoAWholeNumber)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double v : {nan, -HUGE_VAL, 1e300}) EXPECT_THROW(RoundByMode64(1, v), RangeError) << v;
    for (double v : {nan, 1e10, -2147483649.0, 2147483648.0}) {
        EXPECT_THROW(RoundByMode(2, v), RangeError) << v;
        EXPECT_THROW(RoundShaho(v), RangeError) << v;
    }
    EXPECT_EQ(RoundByMode(2, -2147483648.4), INT32_MIN);
    OptionRec.TimeStyle = 1;
    EXPECT_EQ(FmtJikan(1e10) + FmtJikan(nan), "10000000000:00   nan");
}

TEST_F(CommonTest, AmountAndHourTexts)
{
    EXPECT_EQ(FmtAmount(9, 1234567), "1,234,567");
    EXPECT_EQ(FmtAmount(9, -1500), "   -1,500");
    EXPECT_EQ(FmtAmount(7, 12345678), "12,345,678");
    EXPECT_EQ(FmtAmount(6, 2.5), "     3");
    EXPECT_EQ(FmtAmount(6, -0.4), "     0");
    double sixTimesTenMinutes = 0;
    for (int i = 0; i < 6; ++i) sixTimesTenMinutes += 10.0 / 60;
    const struct {
        double hours;
        const char* hmm;
        const char* decimal;
    } cases[] = {
        {1.75, "  1:45", "  1.75"},  {-0.5, " -0:30", " -0.50"},   {sixTimesTenMinutes, "  1:00", "  1.00"},
        {7.999, "  8:00", "  8.00"}, {-0.001, "  0:00", "  0.00"}, {123.5, "123:30", "123.50"},
        {0.125, "  0:08", "  0.13"},
    };
    for (const auto& c : cases) {
        OptionRec.TimeStyle = 1;
        EXPECT_EQ(FmtJikan(c.hours), QString::fromUtf8(c.hmm)) << c.hours;
        OptionRec.TimeStyle = 0;
        EXPECT_EQ(FmtJikan(c.hours), QString::fromUtf8(c.decimal)) << c.hours;
    }
}

TEST_F(CommonTest, NumberTextsToNumbers)
{
    ScriptedMsgBox box;
    EXPECT_EQ(StrToIntEx(" 1,234 "), 1234);
    EXPECT_EQ(NumStrToInt("-1,000"), -1000);
    EXPECT_EQ(NumStrToInt(" , "), 0);
    EXPECT_THROW(StrToIntEx(","), ConvertError);
    const struct {
        const char* text;
        double want;
    } cases[] = {
        {"1,234.5", 1234.5}, {" 12 ", 12}, {"12円", 12},  {"-3.25", -3.25},
        {"5-", 5},           {"-", 0},     {"", 0},       {"1:30", 1.5},
        {"-0:30", -0.5},     {"2:", 2},    {":45", 0.75}, {"1..2", 0},
        {"--1", 0},          {"1:2:3", 0},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(StrToFloatEx(QString::fromUtf8(c.text)), c.want) << c.text;
    ASSERT_EQ(box.shown().size(), 3u);
    EXPECT_EQ(box.shown()[0].text, "入力エラー");
    try {
        StrToIntEx("abc");
        FAIL();
    } catch (const ConvertError& e) {
        EXPECT_EQ(e.message(), "「abc」は数値ではありません。");
    }
    EXPECT_THROW(StrToFloatEx("."), ConvertError);
    EXPECT_THROW(TimeStrToFloat("a:10"), ConvertError);
}

TEST_F(CommonTest, CheckNumInputNormalisesOrRefuses)
{
    const QString dup = "．や：又は符号(－)が重複しています。", limit = "入力した数値が上限を超えました。";
    const struct {
        const char* text;
        int tag;
        QString value, error;
    } cases[] = {
        {"12.5", 71, "012.5", ""},
        {"1:60", 62, "", "分の入力が59を超えています。"},
        {"1-", 90, "", "符号(－)の位置が不正です。"},
        {"1,234,567", 90, "01234567", ""},
        {"12,345,678", 90, "", limit},
        {"123456", 70, "0123456", ""},
        {"1234567", 70, "", limit},
        {"123.5", 62, "0123.5", ""},
        {"1234", 62, "", limit},
        {"000123", 62, "0000123", ""},
        {"1.256", 62, "01.25", ""},
        {"-15", 90, "-015", ""},
        {"1:5", 62, "01:05", ""},
        {"1:30", 61, "01:30", ""},
        {"1.2.3", 62, "", dup},
        {"--5", 90, "", dup},
        {" ", 90, "", ""},
    };
    for (const auto& c : cases) {
        const TNumInput r = CheckNumInput(QString::fromUtf8(c.text), c.tag);
        EXPECT_EQ(r.value, c.value) << c.text;
        EXPECT_EQ(r.error, c.error) << c.text;
    }
    EXPECT_THROW(CheckNumInput("12a", 90), ConvertError);
}

TEST_F(CommonTest, OverTypeKeepsDoubleByteCharactersWhole)
{
    const struct {
        const char* text;
        int caret;
        const char* key;
        const char* want;
        int wantCaret;
    } cases[] = {
        {"1,234", 0, "5", "5,234", 1}, {"山田", 0, "A", "A 田", 1}, {"abcd", 1, "漢", "a漢d", 2},
        {"1あ", 0, "い", "い ", 1},    {"123", 2, "い", "12い", 3}, {"あ", 0, "ｱ", "ｱ ", 1},
    };
    for (const auto& c : cases) {
        QString text = QString::fromUtf8(c.text);
        int caret = c.caret;
        EXPECT_TRUE(OverTypeKey(text, caret, QString::fromUtf8(c.key)[0])) << c.text;
        EXPECT_EQ(text, QString::fromUtf8(c.want));
        EXPECT_EQ(caret, c.wantCaret);
    }
    QString text = "123";
    int caret = 3;
    EXPECT_FALSE(OverTypeKey(text, caret, QChar('4')));
    caret = 0;
    EXPECT_FALSE(OverTypeKey(text, caret, QChar(0xD55C)));  // Hangul has no CP932 form
    EXPECT_EQ(text, "123");
    // Byte by byte, the lead byte leaves the trail byte pending.
    QByteArray bytes = "12";
    caret = 0;
    ASSERT_TRUE(OverTypeKey(bytes, caret, 0x82));
    EXPECT_EQ(OverTypePending, 2);
    ASSERT_TRUE(OverTypeKey(bytes, caret, 0xA0));
    EXPECT_EQ(OverTypePending, -1);
    EXPECT_EQ(bytes, QByteArray("\x82\xA0"));
    EXPECT_EQ(caret, 2);
}

TEST_F(CommonTest, ItemNamesAndEmployeeLookups)
{
    for (int i = 1; i <= 3; ++i) {
        OptionRec.FixTeate[i] = QString("資格%1").arg(i), OptionRec.VarTeate[i] = QString("出張%1").arg(i);
        OptionRec.FixKoujo[i] = QString("組合%1").arg(i), OptionRec.VarKoujo[i] = QString("立替%1").arg(i);
        OptionRec.Sonota[i] = QString("食事%1").arg(i);
    }
    OptionRec.KintaiFre = "休出";
    const char* cases[][2] = {
        {"F固定手当１", "F資格1"}, {"F固定手当３", "F資格3"}, {"V変動手当２", "V出張2"},
        {"F固定控除１", "F組合1"}, {"V変動控除３", "V立替3"}, {"Vその他２", "V食事2"},
        {"V勤怠項目", "V休出"},    {"F基本給", "F基本給"},
    };
    for (const auto& c : cases) EXPECT_EQ(GetItemName(QString::fromUtf8(c[0])), QString::fromUtf8(c[1]));

    EXPECT_EQ(GetMaxMembNo(), 0);
    SyainRec[3].SeqNo = 5, SyainRec[10].SeqNo = 2, SyainRec[40].SeqNo = 5;
    EXPECT_EQ(GetMaxMembNo(), 5);
    EXPECT_EQ(FindMembNo(5), 40);
    EXPECT_EQ(FindMembNo(2), 10);
    EXPECT_EQ(FindMembNo(7), -1);
    EXPECT_EQ(DelSpace(" 山田　太郎 様 "), "山田太郎様");
}

TEST_F(CommonTest, PrintedPayDateStaysInTheMonth)
{
    const struct {
        int era, year, period, sikyubi, shift;
        const char *y, *m, *d;
    } cases[] = {
        {2, 6, 12, 25, 1, " 7", " 1", "25"}, {1, 31, 12, 25, 1, " 2", " 1", "25"},
        {2, 6, 2, 31, 0, " 6", " 2", "29"},  {2, 7, 2, 30, 0, " 7", " 2", "28"},
        {2, 7, 1, 29, 1, " 7", " 2", "28"},  {2, 7, 4, 31, 0, " 7", " 4", "30"},
        {2, 7, 5, 0, 0, " 7", " 5", " 1"},   {1, 20, 11, 31, 1, "20", "12", "31"},
    };
    for (const auto& c : cases) {
        CurPeriod.EraText = EraName[c.era], CurPeriod.EraYear = c.year, CurPeriod.Period = c.period;
        CorpRec.Sikyubi = c.sikyubi, CorpRec.SikyuShift = c.shift;
        QString y, m, d;
        GetPrnDate(y, m, d);
        EXPECT_EQ(y + "/" + m + "/" + d, QString("%1/%2/%3").arg(c.y, c.m, c.d)) << c.year << "-" << c.period;
    }
}

TEST_F(CommonTest, YearsAndAges)
{
    DataPath = "/d/";
    CurPeriod.EraText = EraName[2], CurPeriod.EraYear = 7;
    EXPECT_EQ(GetPrevYearFileName(), "/d/令和06年給与･賞与.dat");
    CurPeriod.EraYear = 2;
    EXPECT_EQ(GetPrevYearFileName(), "/d/平成31年給与･賞与.dat");
    {
        FixedClock clock(QDateTime(QDate(2024, 1, 5), QTime(9, 0)));
        CurPeriod.EraText = EraName[1];
        for (int y : {15, 16, 24, 25}) {
            CurPeriod.EraYear = y;
            EXPECT_EQ(IsLockedYear(), y == 16 || y == 24) << y;
        }
    }
    FixedClock before(QDateTime(QDate(2012, 12, 31), QTime(9, 0)));
    CurPeriod.EraYear = 20;
    EXPECT_FALSE(IsLockedYear());
    EXPECT_EQ(CalcAge(QDate(2000, 2, 29), QDate(2001, 2, 28)), 0);
    EXPECT_EQ(CalcAge(QDate(2000, 2, 29), QDate(2001, 3, 1)), 1);
    EXPECT_EQ(CalcAge(QDate(1985, 4, 10), QDate(2025, 4, 9)), 39);
    EXPECT_EQ(CalcAge(QDate(1985, 4, 10), QDate(2025, 4, 10)), 40);
    EXPECT_EQ(WarekiToSeireki(1, 45), 1912);
    EXPECT_EQ(WarekiToSeireki(3, 64), 1989);
    EXPECT_EQ(WarekiToSeireki(4, 31), 2019);
    EXPECT_EQ(WarekiToSeireki(5, 1), 2019);
}
