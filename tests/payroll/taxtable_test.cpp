// Tests of the table files: the bytes the builder writes, the checks at load, and withholding tax
// figures worked out by hand from the published 2026 tables (data/tables/*.csv).
#include "payroll/taxtable.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QLocale>
#include <QMap>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <functional>
#include <vector>

#include "payroll/corpinfo.h"
#include "payroll/option.h"
#include "payroll/paths.h"
#include "platform/cp932.h"
#include "tests/testutil.h"

namespace {

constexpr int32_t Open = 2147483647;  // the bound written where the published table has none

// Rate times amount with fractions of a yen dropped, in exact integers: the rates have at most
// five decimals.
int64_t ratePart(const QString& rate, int64_t amount)
{
    const int64_t units = qRound64(rate.toDouble() * 100000.0);
    return units * amount / 100000;
}

// Figures worked by hand: the reasoning, then the cases it covers.
struct Monthly {
    int32_t amount, column, dependants, tax;
};
struct Bonus {
    int32_t prevPay, bonus, column, dependants, tax;
    double rate;
};
template <typename Case>
using Worked = std::pair<const char*, std::vector<Case>>;

class TaxTableTest : public CoreTest {
  protected:
    static int32_t i32(const QByteArray& b, int off) { return qFromUnaligned<int32_t>(b.constData() + off); }
    static double f64(const QByteArray& b, int off) { return qFromUnaligned<double>(b.constData() + off); }
    static void putI32(QByteArray& b, int off, int32_t v) { qToUnaligned(v, b.data() + off); }
    // Offsets in the monthly file: row i (1-based) starts at 4 + 44 * (i - 1); Kou[d] at +8 + 4d.
    static int rowOff(int i) { return 4 + 44 * (i - 1); }

    // The built files copied into the test folder, the one named spoilt changed there.
    void copyBuilt(const QString& spoilt = {}, const std::function<void(QByteArray&)>& change = {})
    {
        for (const QString& name : {TaxTableKyuyoName, TaxTableSyoyoName, KenhoTableName}) {
            QByteArray b = ReadAll(BuiltTables() + name);
            if (name == spoilt) change(b);
            WriteAll(dir() + name, b);
        }
        TablePath = dir();
    }
    static void expectMonthly(const Worked<Monthly>& w)
    {
        SCOPED_TRACE(w.first);
        for (const Monthly& c : w.second)
            EXPECT_EQ(CalcGensenZei(c.amount, c.column, c.dependants), c.tax)
                << c.amount << " column " << c.column << " dependants " << c.dependants;
    }
    static void expectBonus(const Worked<Bonus>& w)
    {
        SCOPED_TRACE(w.first);
        for (const Bonus& c : w.second) {
            double rate = -1;
            EXPECT_EQ(CalcSyoyoZei(c.prevPay, c.bonus, c.column, c.dependants, rate), c.tax) << c.prevPay;
            EXPECT_EQ(rate, c.rate) << c.prevPay;
        }
    }
};

// ---- the files as built ----

TEST_F(TaxTableTest, MonthlyFileRowsAtTheirOffsets)
{
    const QByteArray b = ReadAll(BuiltTables() + TaxTableKyuyoName);
    ASSERT_EQ(b.size(), 11540 + TableDateSize);
    // 231 published rows from 105,000 to 740,000 and the eight bracket rows (2,130,000 merged).
    const int n = 239;
    EXPECT_EQ(i32(b, 0), n);
    const struct {
        int row;
        std::array<int32_t, 6> fields;  // Ijou, Miman, Kou[0], Kou[1], Kou[7], Otsu
    } rows[] = {
        {1, {105000, 107000, 170, 0, 0, 3800}},                  // the first taxed row
        {n - 7, {740000, 790000, 71680, 65210, 26410, 259200}},  // T0, up to the next threshold
        // T3 reaches up to 2,170,000: the 2,130,000 threshold is merged into it.
        {n - 4, {1710000, 2170000, 374520, 368040, 329240, 655400}},
        // T7, open above; 乙 655,400 + 45.945 % of 1,790,000 (822,415.5, cut) = 1,477,815.
        {n, {3500000, Open, 1125270, 1118800, 1080000, 1477815}},
    };
    for (const auto& r : rows) {
        const int o = rowOff(r.row);
        const std::array<int32_t, 6> read = {i32(b, o),      i32(b, o + 4),  i32(b, o + 8),
                                             i32(b, o + 12), i32(b, o + 36), i32(b, o + 40)};
        EXPECT_EQ(read, r.fields) << "row " << r.row;
    }
    // Rows 240..260 unused and zero.
    EXPECT_EQ(b.mid(rowOff(n + 1), 11444 - rowOff(n + 1)), QByteArray(11444 - rowOff(n + 1), '\0'));
    // 甲 rates above T0..T7, then 乙 below the table, above T0 and above T3.
    const double rates[] = {0.2042, 0.23483, 0.33693, 0.4084, 0.4084, 0.4084,
                            0.4084, 0.45945, 0.03063, 0.4084, 0.45945};
    for (int k = 0; k < 11; ++k) EXPECT_EQ(f64(b, 11444 + 8 * k), rates[k]) << k;
    EXPECT_EQ(i32(b, 11532), 1610);
    EXPECT_EQ(i32(b, 11536), 1610);
}

TEST_F(TaxTableTest, BonusAndGradeFilesFieldsAtTheirOffsets)
{
    const QByteArray b = ReadAll(BuiltTables() + TaxTableSyoyoName),
                     g = ReadAll(BuiltTables() + KenhoTableName);
    ASSERT_EQ(b.size(), 1856 + TableDateSize);
    ASSERT_EQ(g.size(), 972 + TableDateSize);
    // Bonus: 21 甲 rows of 72 bytes from 4 (rate, then from/to for 0..7 dependants), rows 22..24
    // zero; the 乙 count at 1732 and five rows of 12 bytes (rate, up to) from 1736.
    // Row 1 rate 0: 0 dependants below 82,000, 7 below 317,000; row 2 2.042 % from 82,000 to
    // 94,000; row 21 45.945 % from 3,495,000, open above. 乙 10.21 % below 224,000 ... 45.945 % open.
    const std::pair<int, int32_t> ints[] = {{0, 21},     {12, 0},        {16, 82000},     {72, 317000},
                                            {84, 82000}, {88, 94000},    {1452, 3495000}, {1456, Open},
                                            {1732, 5},   {1744, 224000}, {1792, Open}};
    for (auto [off, want] : ints) EXPECT_EQ(i32(b, off), want) << off;
    const std::pair<int, double> rates[] = {
        {4, 0.0}, {76, 0.02042}, {1444, 0.45945}, {1736, 0.1021}, {1784, 0.45945}};
    for (auto [off, want] : rates) EXPECT_EQ(f64(b, off), want) << off;
    EXPECT_EQ(b.mid(4 + 72 * 21, 72 * 3), QByteArray(72 * 3, '\0'));
    // Grades: row 0 is 50 grades, the pension from grade 4 (88,000) to grade 35 (650,000); rows of
    // 12 bytes (from, to, standard amount), 51..80 zero.
    const std::pair<int, int32_t> grades[] = {{0, 50},       {4, 4},         {8, 35},     {12, 0},
                                              {16, 63000},   {20, 58000},    {56, 88000}, {420, 635000},
                                              {428, 650000}, {600, 1355000}, {604, Open}, {608, 1390000}};
    for (auto [off, want] : grades) EXPECT_EQ(i32(g, off), want) << off;
    EXPECT_EQ(g.mid(12 * 51, 12 * 30), QByteArray(12 * 30, '\0'));
}

TEST_F(TaxTableTest, RateListLinesInCp932)
{
    const QByteArray b = ReadAll(BuiltTables() + KenRituName);
    const QList<QByteArray> lines = b.split('\n');
    // 47 lines of 15 bytes and CRLF, the date line, then nothing.
    ASSERT_EQ(lines.size(), 49);
    EXPECT_EQ(lines[47], "#published 2026/03/01\r");
    EXPECT_TRUE(lines[48].isEmpty());
    EXPECT_EQ(b.size(), 47 * 17 + TableDateSize);
    const std::pair<int, const char*> shown[] = {
        {0, "北海道    10.28"},  {12, "東京都     9.85"}, {13, "神奈川県   9.92"}, {25, "京都府     9.89"},
        {26, "大阪府    10.13"}, {45, "鹿児島県  10.13"}, {46, "沖縄県     9.44"}};
    for (auto [i, text] : shown) EXPECT_EQ(lines[i], cp932::encode(QString::fromUtf8(text) + u'\r')) << i;
}

// Every file carries the date from which its published tables apply (the grade file the later of
// its two), read back from the file's end; a file made before, without it, still loads.
TEST_F(TaxTableTest, FilesCarryThePublishedDateAndOldFilesStillLoad)
{
    const PublishedCsv dates("published-dates.csv");
    const auto date = [&](const char* csv) {
        for (int r = 0; r < dates.rows.size(); ++r)
            if (dates.s(r, "csv") == u(csv)) return dates.s(r, "published").trimmed();
        return QString();
    };
    const QString kenho = std::max(date("health-grades.csv"), date("pension-grades.csv"));
    const std::pair<const QString&, QString> files[] = {
        {TaxTableKyuyoName, date("withholding-monthly-2026.csv")},
        {TaxTableSyoyoName, date("withholding-bonus-2026.csv")},
        {KenhoTableName, kenho},
        {KenRituName, date("health-rates-2026.csv")}};
    for (const auto& [name, published] : files) {
        EXPECT_EQ(published.size(), 10) << name;
        EXPECT_EQ(TableFileDate(BuiltTables() + name), published) << name;
        EXPECT_TRUE(ReadAll(BuiltTables() + name).endsWith("#published " + published.toLatin1() + "\r\n"));
    }
    EXPECT_EQ(kenho, u("2026/03/01"));

    // Copied, the files keep their dates; without them (the old layout) they load all the same.
    copyBuilt();
    for (const auto& [name, published] : files)
        if (&name != &KenRituName) {
            EXPECT_EQ(TableFileDate(dir() + name), published);
        }
    for (const QString& name : {TaxTableKyuyoName, TaxTableSyoyoName, KenhoTableName}) {
        QByteArray b = ReadAll(dir() + name);
        b.chop(TableDateSize);
        WriteAll(dir() + name, b);
        EXPECT_EQ(TableFileDate(dir() + name), QString()) << name;
    }
    TablePath = dir();
    LoadTableFiles();
    EXPECT_EQ(TableFileCount, 3);
    EXPECT_TRUE(TableFileProblems.isEmpty()) << TableFileProblems.join(u("\n"));
    EXPECT_EQ(CalcGensenZei(300000, 0, 0), 7930);
    // The rate list reads its 47 prefectures with the date line and without it.
    for (const bool withDate : {true, false}) {
        QByteArray b = ReadAll(BuiltTables() + KenRituName);
        if (!withDate) b.chop(TableDateSize);
        WriteAll(dir() + KenRituName, b);
        QStringList lines;
        QString problem;
        ASSERT_TRUE(ReadKenRituFile(lines, problem)) << problem;
        EXPECT_EQ(lines.size(), 47);
        EXPECT_EQ(lines.last(), u("沖縄県     9.44"));
    }
}

// The company window offers the employee's half of the care and pension rates the program ships.
TEST_F(TaxTableTest, DefaultCareAndPensionSharesAreHalfTheShippedRates)
{
    const PublishedCsv csv("health-rates-2026.csv");
    ASSERT_EQ(csv.rows.size(), 47);
    for (int r = 0; r < csv.rows.size(); ++r) {
        SCOPED_TRACE(csv.s(r, "prefecture"));
        EXPECT_DOUBLE_EQ(csv.s(r, "care_rate_percent").toDouble() / 2, DefaultRates.Kaigo);
        EXPECT_DOUBLE_EQ(csv.s(r, "pension_rate_percent").toDouble() / 2, DefaultRates.Nenkin);
    }
}

// ---- monthly tax, worked by hand from withholding-monthly-2026.csv (fractions cut) ----

TEST_F(TaxTableTest, MonthlyTaxWorkedByHand)
{
    loadBuiltTables();
    // The cells of the published table itself are checked row by row below; these are worked out.
    const Worked<Monthly> worked[] = {
        {"738,500 in 737,000..740,000: 甲7 26,110; 9 dependants take 2 x 1,610 more: 22,890",
         {{738500, 0, 9, 22890}}},
        {"450,000 in 449,000..452,000: 甲7 2,750; 8 dependants 1,140; 9 would be -470, so 0",
         {{450000, 0, 8, 1140}, {450000, 0, 9, 0}}},
        {"300,000: 乙 53,600; one dependant takes 1,610 off: 51,990", {{300000, 1, 1, 51990}}},
        {"below 105,000 乙 is 3.063 % of the whole: 100,000 gives 3,063; 104,999 3,216.1 -> 3,216",
         {{100000, 1, 0, 3063}, {104999, 1, 0, 3216}}},
        {"104,999 with two dependants: 3,216 - 3,220 < 0 gives 0", {{104999, 1, 2, 0}}},
        {"a column other than 甲 and 乙 takes no tax below the table", {{100000, 2, 0, 0}}},
        {"1,000,000: 乙 has one bracket 740,000..1,710,000: 259,200 + 40.84 % of 260,000 (106,184)",
         {{1000000, 1, 0, 365384}}},
        {"2,000,000: 655,400 + 45.945 % of 290,000 (133,240.5 -> 133,240) = 788,640",
         {{2000000, 1, 0, 788640}}},
        {"800,000: 790,000 row plus 23.483 % of 10,000 (2,348.3 -> 2,348)",
         {{800000, 0, 0, 81890 + 2348},
          {800000, 0, 3, 62500 + 2348},
          {800000, 0, 9, 36620 + 2348 - 2 * 1610}}},
        {"5,000,000: 1,125,270 + 45.945 % of 1,500,000 (689,175)", {{5000000, 0, 0, 1814445}}},
        // A product held in single precision would become 4,823.0 and overcharge a yen.
        {"763,619: 20.42 % of 23,619 is 4,822.9998, cut to 4,822", {{763619, 0, 0, 71680 + 4822}}},
        // From 2,130,000 to 2,169,999 the 1,710,000 line goes on: 374,520 + 40.84 % over 1,710,000.
        {"2,130,000: 374,520 + 171,528 = 546,048, the published 549,440 less 3,392",
         {{2130000, 0, 0, 546048}}},
        {"2,169,999 with 3 dependants: 355,120 + 187,863.59 -> 542,983 (published 546,375)",
         {{2169999, 0, 3, 542983}}},
    };
    for (const auto& w : worked) expectMonthly(w);
}

TEST_F(TaxTableTest, MonthlyRateOfFractionsFollowsTheRoundingMode)
{
    loadBuiltTables();
    // 810,005: 23.483 % of 20,005 = 4,697.77; 乙 2,000,000: 133,240.5 of the rate part.
    for (auto [mode, kou, otsu] : {std::tuple{0, 4697, 133240}, {2, 4698, 133241}}) {
        OptionRec.HasuuKou = mode;
        EXPECT_EQ(CalcGensenZei(810005, 0, 0), 81890 + kou) << mode;
        EXPECT_EQ(CalcGensenZei(2000000, 1, 0), 655400 + otsu) << mode;
    }
}

TEST_F(TaxTableTest, NegativeDependantsCountAsNone)
{
    loadBuiltTables();
    // 乙 would otherwise add 1,610 per negative dependant.
    expectMonthly(
        {"as 0 dependants", {{300000, 0, -1, 7930}, {300000, 0, -100, 7930}, {300000, 1, -2, 53600}}});
    expectBonus({"甲, 0 dependants, previous pay 300,000: 6.126 % of 500,000",
                 {{300000, 500000, 0, -3, 30630, 0.06126}}});
}

// Every published row at its lower bound, a middle amount and one yen below its upper bound,
// 甲 for 0..10 dependants and 乙; above the table the rate rule on the published threshold rows.
TEST_F(TaxTableTest, MonthlyMatchesEveryPublishedRow)
{
    loadBuiltTables();
    const PublishedCsv csv("withholding-monthly-2026.csv");
    ASSERT_EQ(csv.rows.size(), 241);
    const char* kou[8] = {"kou0", "kou1", "kou2", "kou3", "kou4", "kou5", "kou6", "kou7"};
    const int first = csv.find("ijou", 105000), t0 = csv.find("ijou", 740000), t3 = csv.find("ijou", 1710000);
    const int merged = csv.find("ijou", 2130000);
    ASSERT_TRUE(first == 1 && t0 > 0 && t3 > 0 && merged == t3 + 1);
    // Above the table: the tax at the threshold row plus its rate over the threshold.
    const auto above = [&](int row, const char* tax, const char* rate, int a) {
        return csv.n(row, tax) + ratePart(csv.s(row, rate), a - csv.n(row, "ijou"));
    };
    for (int r = 0; r < csv.rows.size(); ++r) {
        const int lo = csv.n(r, "ijou");
        const int hi = csv.s(r, "miman").isEmpty() ? 10000000 : csv.n(r, "miman");
        // The base line of 甲 above the table; the merged band stays on the line below it.
        const int base = r == merged ? t3 : r;
        for (int a : {lo, (lo + hi) / 2, hi - 1}) {
            for (int n = 0; n <= 10; ++n) {
                const char* col = kou[std::min(n, 7)];
                int64_t want = r < t0 ? csv.n(r, col) : above(base, col, "kou_rate_over", a);
                if (n > 7) want = std::max<int64_t>(0, want - (n - 7) * 1610);
                EXPECT_EQ(CalcGensenZei(a, 0, n), want) << "甲 " << a << " dependants " << n;
            }
            const int64_t otsu = r < first ? ratePart(csv.s(0, "otsu_rate_over"), a)
                                 : r < t0  ? csv.n(r, "otsu")
                                           : above(a < 1710000 ? t0 : t3, "otsu", "otsu_rate_over", a);
            EXPECT_EQ(CalcGensenZei(a, 1, 0), otsu) << "乙 " << a;
        }
    }
}

// The README tells the user by how much the merged band falls short of the published 甲 column.
TEST_F(TaxTableTest, ReadmeStatesTheShortfallOfTheMergedBandForEveryColumn)
{
    loadBuiltTables();
    const PublishedCsv csv("withholding-monthly-2026.csv");
    const int row = csv.find("ijou", 2130000);
    ASSERT_GE(row, 0);
    QMap<int, QStringList> columns;  // shortfall -> dependants
    for (int n = 0; n <= 7; ++n) {
        const int published = csv.n(row, QStringLiteral("kou%1").arg(n).toLatin1().constData());
        columns[published - CalcGensenZei(2130000, 0, n)]
            << QStringLiteral("%1人").arg(n) + (n == 7 ? u("以上") : u(""));
    }
    ASSERT_EQ(columns.size(), 2);
    const QString readme = QString::fromUtf8(ReadAll(QStringLiteral(TEST_DATA_DIR "/../../README.md")));
    for (auto it = columns.cbegin(); it != columns.cend(); ++it) {
        const QString told =
            it.value().join(u("・")) + u("では") + QLocale(QLocale::English).toString(it.key()) + u("円");
        EXPECT_TRUE(readme.contains(told)) << told;
    }
}

// ---- bonus rates, worked by hand from withholding-bonus-2026.csv ----

TEST_F(TaxTableTest, BonusTaxWorkedByHand)
{
    loadBuiltTables();
    // The rate of each band is checked band by band below; these are worked out.
    const Worked<Bonus> worked[] = {
        {"100,000 lies in 94,000..260,000 (4.084 %); 123,450 x 4.084 % = 5,041.698, cut",
         {{100000, 123450, 0, 0, 5041, 0.04084}}},
        {"a bonus below zero after social insurance gives no tax, not a refund",
         {{300000, -100000, 0, 0, 0, 0.06126}}},
    };
    for (const auto& w : worked) expectBonus(w);
    OptionRec.HasuuKou = 2;
    expectBonus({"5,041.698 rounded half up", {{100000, 123450, 0, 0, 5042, 0.04084}}});
}

// Both edges of every published band, 甲 0..7 (and 8, 10 on the seven-or-more column) and 乙.
TEST_F(TaxTableTest, BonusMatchesEveryPublishedBand)
{
    loadBuiltTables();
    const PublishedCsv csv("withholding-bonus-2026.csv");
    ASSERT_EQ(csv.rows.size(), 173);
    for (int r = 0; r < csv.rows.size(); ++r) {
        const bool kou = csv.s(r, "column") == QStringLiteral("kou");
        const int from = csv.n(r, "prev_pay_from");
        const int to = csv.s(r, "prev_pay_to").isEmpty() ? from + 1000001 : csv.n(r, "prev_pay_to");
        const int64_t want = ratePart(csv.s(r, "rate"), 1000000);
        QList<int> deps = {kou ? csv.n(r, "dependants") : 0};
        if (kou && deps[0] == 7) deps << 8 << 10;
        for (int n : deps) {
            for (int p : {from, to - 1}) {
                double rate = -1;
                EXPECT_EQ(CalcSyoyoZei(p, 1000000, kou ? 0 : 1, n, rate), want) << r << " " << p << " " << n;
                EXPECT_EQ(rate, csv.s(r, "rate").toDouble()) << r << " " << p;
            }
        }
    }
}

// ---- loading ----

// Without files the tables are zero and no tax is taken; loaded, they stay in memory.
TEST_F(TaxTableTest, LoadSetsCountAndAFileDeletedAfterwardsChangesNothing)
{
    TablePath = dir();
    LoadTableFiles();
    EXPECT_EQ(TableFileCount, 0);
    EXPECT_TRUE(TableFileProblems.isEmpty());
    EXPECT_EQ(CalcGensenZei(300000, 0, 0), 0);
    EXPECT_EQ(CalcGensenZei(100000, 1, 0), 0);
    double rate = 0.5;
    EXPECT_EQ(CalcSyoyoZei(300000, 500000, 0, 0, rate), 0);
    EXPECT_EQ(rate, 0.5);
    EXPECT_EQ(KenhoTable[0].Ijou, 0);

    copyBuilt();
    LoadTableFiles();
    EXPECT_EQ(TableFileCount, 3);
    EXPECT_TRUE(TableFileProblems.isEmpty());
    EXPECT_EQ(KenhoTable[22].Hyojun, 300000);
    ASSERT_TRUE(QFile::remove(dir() + TaxTableKyuyoName));
    ASSERT_TRUE(QFile::remove(dir() + TaxTableSyoyoName));
    // The folder read again by the loader that takes a folder (as the installer checks staged
    // tables): one file is left, and the tables in use stay as they are.
    const TTableFiles read = ReadTableFiles(dir());
    EXPECT_EQ(read.count, 1);
    EXPECT_EQ(read.kenho[22].Hyojun, 300000);
    EXPECT_EQ(read.kyuyo.RowCount, 0);
    EXPECT_EQ(TableFileCount, 3);
    EXPECT_EQ(CalcGensenZei(300000, 0, 0), 7930);
    expectBonus({"still the table in memory", {{300000, 500000, 0, 0, 30630, 0.06126}}});
}

// A spoilt file is not loaded at all: its table stays zero, and the other two still load.
TEST_F(TaxTableTest, BrokenTableFileCountsAsMissing)
{
    const auto counts = [](int32_t kou, int32_t otsu) {
        return [=](QByteArray& b) { putI32(b, 0, kou), putI32(b, 1732, otsu); };
    };
    const auto grades = [](int32_t count, int32_t lo, int32_t hi) {
        return [=](QByteArray& b) { putI32(b, 0, count), putI32(b, 4, lo), putI32(b, 8, hi); };
    };
    const struct {
        const char* how;
        const QString& file;
        std::function<void(QByteArray&)> spoil;
        // Put at the file's name in its place: refused at once, never read through.
        std::function<bool(const QByteArray&)> plant = {};
    } cases[] = {
        {"one byte short", TaxTableKyuyoName, [](QByteArray& b) { b.chop(1); }},
        {"one byte long", TaxTableKyuyoName, [](QByteArray& b) { b.append('\0'); }},
        {"a date that is no date", TaxTableKyuyoName, [](QByteArray& b) { b.replace("/01/01", "/13/01"); }},
        {"the date and a byte more", TaxTableSyoyoName, [](QByteArray& b) { b.append('\n'); }},
        // 261 would send the bracket rows past the end of the record, 7 before its start.
        {"261 rows", TaxTableKyuyoName, [](QByteArray& b) { putI32(b, 0, 261); }},
        {"7 rows", TaxTableKyuyoName, [](QByteArray& b) { putI32(b, 0, 7); }},
        {"row 100 starting below the end of row 99", TaxTableKyuyoName,
         [](QByteArray& b) { putI32(b, rowOff(100), i32(b, rowOff(99)) - 1000); }},
        {"乙 row 3 ending below row 2", TaxTableSyoyoName,
         [](QByteArray& b) { putI32(b, 1736 + 12 * 2 + 8, 200000); }},
        {"甲 row 5, 4 dependants: the range ends before it starts", TaxTableSyoyoName,
         [](QByteArray& b) { putI32(b, 4 + 72 * 4 + 8 + 8 * 4 + 4, i32(b, 4 + 72 * 4 + 8 + 8 * 4) - 1); }},
        {"25 甲 rows", TaxTableSyoyoName, counts(25, 5)},
        {"0 甲 rows", TaxTableSyoyoName, counts(0, 5)},
        {"11 乙 rows", TaxTableSyoyoName, counts(21, 11)},
        {"0 乙 rows", TaxTableSyoyoName, counts(21, 0)},
        {"grade 20 starting below the end of grade 19", KenhoTableName,
         [](QByteArray& b) { putI32(b, 12 * 20, i32(b, 12 * 19)); }},
        // 81 grades do not fit the record; 0 is no table; pension grades beyond the grades.
        {"81 grades", KenhoTableName, grades(81, 4, 35)},
        {"0 grades", KenhoTableName, grades(0, 4, 35)},
        {"pension up to grade 51", KenhoTableName, grades(50, 4, 51)},
        {"pension from 36 to 35", KenhoTableName, grades(50, 36, 35)},
        {"pension from grade 0", KenhoTableName, grades(50, 0, 35)},
        {"a link to a FIFO", KenhoTableName, [](QByteArray&) {},
         [&](const QByteArray& at) {
             const QByteArray fifo = QFile::encodeName(dir() + u("fifo"));
             ::unlink(fifo.constData());
             return ::mkfifo(fifo.constData(), 0600) == 0 && ::unlink(at.constData()) == 0 &&
                    ::symlink(fifo.constData(), at.constData()) == 0;
         }},
        {"a link to nowhere", TaxTableKyuyoName, [](QByteArray&) {},
         [](const QByteArray& at) {
             return ::unlink(at.constData()) == 0 && ::symlink("/nonexistent", at.constData()) == 0;
         }},
        {"a FIFO", TaxTableSyoyoName, [](QByteArray&) {},
         [](const QByteArray& at) {
             return ::unlink(at.constData()) == 0 && ::mkfifo(at.constData(), 0600) == 0;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QString(c.file + u' ' + QString::fromUtf8(c.how)).toStdString());
        // Whatever the row before planted goes, not written through.
        for (const QString& name : {TaxTableKyuyoName, TaxTableSyoyoName, KenhoTableName})
            QFile::remove(dir() + name);
        copyBuilt(c.file, c.spoil);
        if (c.plant) {
            ASSERT_TRUE(c.plant(QFile::encodeName(dir() + c.file)));
            EXPECT_EQ(TableFileDate(dir() + c.file), QString());
        }
        LoadTableFiles();
        EXPECT_EQ(TableFileCount, 2);
        EXPECT_EQ(ReadTableFiles(dir()).problems, TableFileProblems);
        ASSERT_EQ(TableFileProblems.size(), 1);
        EXPECT_TRUE(TableFileProblems[0].startsWith(c.file));
        if (c.plant) {
            EXPECT_TRUE(TableFileProblems[0].contains(u("開けません"))) << TableFileProblems[0].toStdString();
        }
        const bool kyuyo = &c.file == &TaxTableKyuyoName, syoyo = &c.file == &TaxTableSyoyoName;
        EXPECT_EQ(TaxTableKyuyo.RowCount, kyuyo ? 0 : 239);
        EXPECT_EQ(CalcGensenZei(300000, 0, 0), kyuyo ? 0 : 7930);
        EXPECT_EQ(CalcGensenZei(5000000, 0, 0), kyuyo ? 0 : 1814445);
        double rate = 0.5;
        EXPECT_EQ(CalcSyoyoZei(300000, 500000, 0, 0, rate), syoyo ? 0 : 30630);
        EXPECT_EQ(rate, syoyo ? 0.5 : 0.06126);
        const bool kenho = !kyuyo && !syoyo;
        EXPECT_EQ(KenhoTable[0].Ijou, kenho ? 0 : 50);
        EXPECT_EQ(KenhoTable[20].Ijou == 0, kenho);
    }
}

}  // namespace
