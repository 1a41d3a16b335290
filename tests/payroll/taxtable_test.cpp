// Tests of the table files: the bytes the builder writes, the checks at load, and withholding tax
// figures worked out by hand from the published 2026 tables (data/tables/*.csv).
#include "payroll/taxtable.h"

#include <QFile>
#include <QHash>
#include <QList>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <functional>

#include "payroll/option.h"
#include "payroll/paths.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "tests/testutil.h"
#include "tools/tablebuilder.h"

namespace {

const QString BuildDir = QStringLiteral(TABLE_BUILD_DIR);
const QString CsvDir = QStringLiteral(TABLE_CSV_DIR);
constexpr int32_t Open = 2147483647;  // the bound written where the published table has none

int32_t i32(const QByteArray& b, int off) {
    int32_t v;
    std::memcpy(&v, b.constData() + off, sizeof v);
    return v;
}
double f64(const QByteArray& b, int off) {
    double v;
    std::memcpy(&v, b.constData() + off, sizeof v);
    return v;
}
void putI32(QByteArray& b, int off, int32_t v) {
    std::memcpy(b.data() + off, &v, sizeof v);
}

// Offsets in the monthly file: row i (1-based) starts at 4 + 44 * (i - 1); Kou[d] at +8 + 4d.
int rowOff(int i) {
    return 4 + 44 * (i - 1);
}

// A published CSV read with nothing of the builder: cells by column name.
struct CsvRows {
    explicit CsvRows(const QString& name) {
        QFile f(CsvDir + name);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const QStringList head = lines.value(0).split(QLatin1Char(','));
        for (int i = 0; i < head.size(); ++i) col.insert(head[i], i);
        for (int i = 1; i < lines.size(); ++i) rows << lines[i].split(QLatin1Char(','));
    }
    QString s(int row, const char* name) const { return rows[row][col.value(QLatin1String(name))]; }
    int n(int row, const char* name) const { return s(row, name).toInt(); }
    QHash<QString, int> col;
    QList<QStringList> rows;
};

// Rate times amount with fractions of a yen dropped, in exact integers: the rates have at most
// five decimals.
int64_t ratePart(const QString& rate, int64_t amount) {
    const int64_t units = qRound64(rate.toDouble() * 100000.0);
    return units * amount / 100000;
}

class TaxTableTest : public CoreTest {
  protected:
    void SetUp() override {
        CoreTest::SetUp();
        ClearTableFiles();
    }
    void TearDown() override {
        ClearTableFiles();
        CoreTest::TearDown();
    }
    // The tables as the build made them, loaded the way the program loads them.
    void loadBuilt() {
        TablePath = BuildDir;
        LoadTableFiles();
        ASSERT_EQ(TableFileCount, 3) << TableFileProblems.join(QLatin1Char('\n')).toStdString();
    }
    // The built files copied into the test folder, to be spoiled there and loaded.
    void copyBuilt() {
        for (const QString& name : {TaxTableKyuyoName, TaxTableSyoyoName, KenhoTableName})
            ASSERT_TRUE(QFile::copy(BuildDir + name, dir() + name));
        TablePath = dir();
    }
    void spoil(const QString& name, const std::function<void(QByteArray&)>& change) {
        QByteArray b = ReadAll(dir() + name);
        change(b);
        QFile::remove(dir() + name);
        WriteAll(dir() + name, b);
    }
};

// ---- the files as built ----

TEST_F(TaxTableTest, BuiltFilesHaveTheRecordSizes) {
    EXPECT_EQ(ReadAll(BuildDir + TaxTableKyuyoName).size(), 11540);
    EXPECT_EQ(ReadAll(BuildDir + TaxTableSyoyoName).size(), 1856);
    EXPECT_EQ(ReadAll(BuildDir + KenhoTableName).size(), 972);
}

TEST_F(TaxTableTest, MonthlyFileRowsAtTheirOffsets) {
    const QByteArray b = ReadAll(BuildDir + TaxTableKyuyoName);
    ASSERT_EQ(b.size(), 11540);
    // 231 published rows from 105,000 to 740,000 and the eight bracket rows (2,130,000 merged).
    const int n = 239;
    EXPECT_EQ(i32(b, 0), n);
    // First taxed row: 105,000 to 107,000, 甲 170 / 0, 乙 3,800.
    EXPECT_EQ(i32(b, rowOff(1)), 105000);
    EXPECT_EQ(i32(b, rowOff(1) + 4), 107000);
    EXPECT_EQ(i32(b, rowOff(1) + 8), 170);
    EXPECT_EQ(i32(b, rowOff(1) + 12), 0);
    EXPECT_EQ(i32(b, rowOff(1) + 40), 3800);
    // Last row of the table proper: 737,000 to 740,000, 甲7 26,110.
    EXPECT_EQ(i32(b, rowOff(n - 8)), 737000);
    EXPECT_EQ(i32(b, rowOff(n - 8) + 4), 740000);
    EXPECT_EQ(i32(b, rowOff(n - 8) + 8 + 4 * 7), 26110);
    // T0 = 740,000 up to the next threshold, 甲0 71,680, 乙 259,200.
    EXPECT_EQ(i32(b, rowOff(n - 7)), 740000);
    EXPECT_EQ(i32(b, rowOff(n - 7) + 4), 790000);
    EXPECT_EQ(i32(b, rowOff(n - 7) + 8), 71680);
    EXPECT_EQ(i32(b, rowOff(n - 7) + 40), 259200);
    // T1 = 790,000: 乙 there is 259,200 + 40.84 % of 50,000 = 279,620.
    EXPECT_EQ(i32(b, rowOff(n - 6) + 40), 279620);
    // T3 = 1,710,000 reaches up to 2,170,000: the 2,130,000 threshold is merged into it.
    EXPECT_EQ(i32(b, rowOff(n - 4)), 1710000);
    EXPECT_EQ(i32(b, rowOff(n - 4) + 4), 2170000);
    EXPECT_EQ(i32(b, rowOff(n - 4) + 40), 655400);
    // T4 = 2,170,000: 甲0 571,220; 乙 655,400 + 45.945 % of 460,000 = 866,747.
    EXPECT_EQ(i32(b, rowOff(n - 3)), 2170000);
    EXPECT_EQ(i32(b, rowOff(n - 3) + 8), 571220);
    EXPECT_EQ(i32(b, rowOff(n - 3) + 40), 866747);
    // T7 = 3,500,000, open above; 乙 655,400 + 45.945 % of 1,790,000 (822,415.5, cut) = 1,477,815.
    EXPECT_EQ(i32(b, rowOff(n)), 3500000);
    EXPECT_EQ(i32(b, rowOff(n) + 4), Open);
    EXPECT_EQ(i32(b, rowOff(n) + 8), 1125270);
    EXPECT_EQ(i32(b, rowOff(n) + 8 + 4 * 7), 1080000);
    EXPECT_EQ(i32(b, rowOff(n) + 40), 1477815);
    // Rows 240..260 unused and zero.
    EXPECT_EQ(b.mid(rowOff(n + 1), 11444 - rowOff(n + 1)), QByteArray(11444 - rowOff(n + 1), '\0'));
    const double kou[8] = {0.2042, 0.23483, 0.33693, 0.4084, 0.4084, 0.4084, 0.4084, 0.45945};
    for (int k = 0; k < 8; ++k) EXPECT_EQ(f64(b, 11444 + 8 * k), kou[k]) << k;
    EXPECT_EQ(f64(b, 11508), 0.03063);
    EXPECT_EQ(f64(b, 11516), 0.4084);
    EXPECT_EQ(f64(b, 11524), 0.45945);
    EXPECT_EQ(i32(b, 11532), 1610);
    EXPECT_EQ(i32(b, 11536), 1610);
}

TEST_F(TaxTableTest, BonusFileRowsAtTheirOffsets) {
    const QByteArray b = ReadAll(BuildDir + TaxTableSyoyoName);
    ASSERT_EQ(b.size(), 1856);
    EXPECT_EQ(i32(b, 0), 21);  // 21 rates from 0 % to 45.945 %
    // 甲 row 1 at 4: rate 0, 0 dependants below 82,000, 7 dependants below 317,000.
    EXPECT_EQ(f64(b, 4), 0.0);
    EXPECT_EQ(i32(b, 12), 0);
    EXPECT_EQ(i32(b, 16), 82000);
    EXPECT_EQ(i32(b, 12 + 8 * 7 + 4), 317000);
    // 甲 row 2 at 76: 2.042 %, 0 dependants 82,000 to 94,000.
    EXPECT_EQ(f64(b, 76), 0.02042);
    EXPECT_EQ(i32(b, 84), 82000);
    EXPECT_EQ(i32(b, 88), 94000);
    // 甲 row 21 at 1444: 45.945 % from 3,495,000, open above.
    EXPECT_EQ(f64(b, 1444), 0.45945);
    EXPECT_EQ(i32(b, 1452), 3495000);
    EXPECT_EQ(i32(b, 1456), Open);
    // Rows 22..24 zero.
    EXPECT_EQ(b.mid(4 + 72 * 21, 72 * 3), QByteArray(72 * 3, '\0'));
    // 乙: five rows at 1736, 10.21 % below 224,000 ... 45.945 % open above.
    EXPECT_EQ(i32(b, 1732), 5);
    EXPECT_EQ(f64(b, 1736), 0.1021);
    EXPECT_EQ(i32(b, 1744), 224000);
    EXPECT_EQ(f64(b, 1736 + 12 * 4), 0.45945);
    EXPECT_EQ(i32(b, 1736 + 12 * 4 + 8), Open);
}

TEST_F(TaxTableTest, GradeFileRowsAtTheirOffsets) {
    const QByteArray b = ReadAll(BuildDir + KenhoTableName);
    ASSERT_EQ(b.size(), 972);
    // Row 0: 50 grades, the pension from grade 4 (88,000) to grade 35 (650,000).
    EXPECT_EQ(i32(b, 0), 50);
    EXPECT_EQ(i32(b, 4), 4);
    EXPECT_EQ(i32(b, 8), 35);
    EXPECT_EQ(i32(b, 12), 0);
    EXPECT_EQ(i32(b, 16), 63000);
    EXPECT_EQ(i32(b, 20), 58000);
    EXPECT_EQ(i32(b, 12 * 4 + 8), 88000);
    EXPECT_EQ(i32(b, 12 * 35), 635000);
    EXPECT_EQ(i32(b, 12 * 35 + 8), 650000);
    EXPECT_EQ(i32(b, 12 * 50), 1355000);
    EXPECT_EQ(i32(b, 12 * 50 + 4), Open);
    EXPECT_EQ(i32(b, 12 * 50 + 8), 1390000);
    EXPECT_EQ(b.mid(12 * 51), QByteArray(12 * 30, '\0'));
}

TEST_F(TaxTableTest, RateListLinesInCp932) {
    const QByteArray b = ReadAll(BuildDir + KenRituName);
    const QList<QByteArray> lines = b.split('\n');
    // 47 lines of 15 bytes and CRLF, then nothing.
    ASSERT_EQ(lines.size(), 48);
    EXPECT_TRUE(lines[47].isEmpty());
    EXPECT_EQ(b.size(), 47 * 17);
    EXPECT_EQ(lines[0], cp932::encode(QStringLiteral("北海道    10.28\r")));
    EXPECT_EQ(lines[12], cp932::encode(QStringLiteral("東京都     9.85\r")));
    EXPECT_EQ(lines[13], cp932::encode(QStringLiteral("神奈川県   9.92\r")));
    EXPECT_EQ(lines[25], cp932::encode(QStringLiteral("京都府     9.89\r")));
    EXPECT_EQ(lines[26], cp932::encode(QStringLiteral("大阪府    10.13\r")));
    EXPECT_EQ(lines[45], cp932::encode(QStringLiteral("鹿児島県  10.13\r")));
    EXPECT_EQ(lines[46], cp932::encode(QStringLiteral("沖縄県     9.44\r")));
}

// ---- monthly tax, worked by hand from withholding-monthly-2026.csv (fractions cut) ----

TEST_F(TaxTableTest, MonthlyKouFromTheTable) {
    loadBuilt();
    // 300,000 lies in the row 299,000..302,000: 甲 7,930 / 3,080 (3 dependants) / 0 (7).
    EXPECT_EQ(CalcGensenZei(300000, 0, 0), 7930);
    EXPECT_EQ(CalcGensenZei(300000, 0, 3), 3080);
    EXPECT_EQ(CalcGensenZei(300000, 0, 7), 0);
    // 738,500 in 737,000..740,000: 甲7 26,110; 9 dependants take 2 x 1,610 more: 22,890.
    EXPECT_EQ(CalcGensenZei(738500, 0, 9), 22890);
    // 450,000 in 449,000..452,000: 甲7 2,750; 8 dependants 1,140; 9 would be -470, so 0.
    EXPECT_EQ(CalcGensenZei(450000, 0, 8), 1140);
    EXPECT_EQ(CalcGensenZei(450000, 0, 9), 0);
    // The first taxed row starts at 105,000 (甲 170); one yen below it no 甲 tax.
    EXPECT_EQ(CalcGensenZei(105000, 0, 0), 170);
    EXPECT_EQ(CalcGensenZei(104999, 0, 0), 0);
    // 739,999 is still in the table (71,380); 740,000 is the first threshold's own row (71,680).
    EXPECT_EQ(CalcGensenZei(739999, 0, 0), 71380);
    EXPECT_EQ(CalcGensenZei(740000, 0, 0), 71680);
}

TEST_F(TaxTableTest, MonthlyOtsu) {
    loadBuilt();
    // 300,000: 乙 53,600; one dependant takes 1,610 off: 51,990.
    EXPECT_EQ(CalcGensenZei(300000, 1, 0), 53600);
    EXPECT_EQ(CalcGensenZei(300000, 1, 1), 51990);
    // Below 105,000 乙 is 3.063 % of the whole amount: 100,000 gives 3,063; 104,999 gives
    // 3,216.1 -> 3,216; with two dependants 3,216 - 3,220 < 0 gives 0.
    EXPECT_EQ(CalcGensenZei(100000, 1, 0), 3063);
    EXPECT_EQ(CalcGensenZei(104999, 1, 0), 3216);
    EXPECT_EQ(CalcGensenZei(104999, 1, 2), 0);
    EXPECT_EQ(CalcGensenZei(105000, 1, 0), 3800);
    // A column other than 甲 and 乙 takes no tax below the table.
    EXPECT_EQ(CalcGensenZei(100000, 2, 0), 0);
    // 1,000,000 lies above 甲 thresholds 1 and 2 but 乙 has one bracket from 740,000 to
    // 1,710,000: 259,200 + 40.84 % of 260,000 (106,184) = 365,384.
    EXPECT_EQ(CalcGensenZei(1000000, 1, 0), 365384);
    // 2,000,000: 655,400 + 45.945 % of 290,000 (133,240.5 -> 133,240) = 788,640.
    EXPECT_EQ(CalcGensenZei(2000000, 1, 0), 788640);
    // Exactly at a threshold: the row's own amount.
    EXPECT_EQ(CalcGensenZei(740000, 1, 0), 259200);
    EXPECT_EQ(CalcGensenZei(790000, 1, 0), 279620);
    EXPECT_EQ(CalcGensenZei(1710000, 1, 0), 655400);
}

TEST_F(TaxTableTest, MonthlyKouAboveTheTable) {
    loadBuilt();
    // 800,000: 790,000 row plus 23.483 % of 10,000 (2,348.3 -> 2,348).
    EXPECT_EQ(CalcGensenZei(800000, 0, 0), 81890 + 2348);
    EXPECT_EQ(CalcGensenZei(800000, 0, 3), 62500 + 2348);
    EXPECT_EQ(CalcGensenZei(800000, 0, 9), 36620 + 2348 - 2 * 1610);
    // 5,000,000: 1,125,270 + 45.945 % of 1,500,000 (689,175).
    EXPECT_EQ(CalcGensenZei(5000000, 0, 0), 1814445);
    // 790,000 exactly: the row, no rate part.
    EXPECT_EQ(CalcGensenZei(790000, 0, 0), 81890);
    // 763,619: 20.42 % of 23,619 is 4,822.9998, cut to 4,822 (a product held in single
    // precision would become 4,823.0 and overcharge a yen).
    EXPECT_EQ(CalcGensenZei(763619, 0, 0), 71680 + 4822);
}

TEST_F(TaxTableTest, MonthlyRateOfFractionsFollowsTheRoundingMode) {
    loadBuilt();
    // 810,005: 23.483 % of 20,005 = 4,697.77; 乙 2,000,000: 133,240.5 of the rate part.
    OptionRec.HasuuKou = 0;
    EXPECT_EQ(CalcGensenZei(810005, 0, 0), 81890 + 4697);
    EXPECT_EQ(CalcGensenZei(2000000, 1, 0), 655400 + 133240);
    OptionRec.HasuuKou = 2;
    EXPECT_EQ(CalcGensenZei(810005, 0, 0), 81890 + 4698);
    EXPECT_EQ(CalcGensenZei(2000000, 1, 0), 655400 + 133241);
}

TEST_F(TaxTableTest, MergedBracketIs3392Below) {
    loadBuilt();
    // From 2,130,000 to 2,169,999 the 1,710,000 line goes on: 374,520 + 40.84 % over 1,710,000.
    // 2,130,000: 374,520 + 171,528 = 546,048, the published 549,440 less 3,392.
    EXPECT_EQ(CalcGensenZei(2130000, 0, 0), 546048);
    EXPECT_EQ(549440 - CalcGensenZei(2130000, 0, 0), 3392);
    // 2,150,000: 374,520 + 179,696 = 554,216 (published: 549,440 + 8,168 = 557,608).
    EXPECT_EQ(CalcGensenZei(2150000, 0, 0), 554216);
    // 2,169,999 with 3 dependants: 355,120 + 187,863.59 -> 542,983 (published 546,375).
    EXPECT_EQ(CalcGensenZei(2169999, 0, 3), 542983);
    // From 2,170,000 the published line again: 571,220.
    EXPECT_EQ(CalcGensenZei(2170000, 0, 0), 571220);
}

TEST_F(TaxTableTest, NegativeDependantsCountAsNone) {
    loadBuilt();
    EXPECT_EQ(CalcGensenZei(300000, 0, -1), 7930);
    EXPECT_EQ(CalcGensenZei(300000, 0, -100), 7930);
    // 乙 would otherwise add 1,610 per negative dependant.
    EXPECT_EQ(CalcGensenZei(300000, 1, -2), 53600);
    double rate = -1;
    // Bonus 甲, 0 dependants, previous pay 300,000: 6.126 % of 500,000.
    EXPECT_EQ(CalcSyoyoZei(300000, 500000, 0, -3, rate), 30630);
    EXPECT_EQ(rate, 0.06126);
}

// Every published row at its lower bound, a middle amount and one yen below its upper bound,
// 甲 for 0..10 dependants and 乙; above the table the rate rule on the published threshold rows.
TEST_F(TaxTableTest, MonthlyMatchesEveryPublishedRow) {
    loadBuilt();
    const CsvRows csv(QStringLiteral("withholding-monthly-2026.csv"));
    ASSERT_EQ(csv.rows.size(), 241);
    const char* kou[8] = {"kou0", "kou1", "kou2", "kou3", "kou4", "kou5", "kou6", "kou7"};
    int first = -1, t0 = -1, t3 = -1, merged = -1, below = -1;
    for (int r = 0; r < csv.rows.size(); ++r) {
        if (csv.n(r, "ijou") == 740000) t0 = r;
        if (csv.n(r, "ijou") == 1710000) t3 = r;
        if (csv.n(r, "ijou") == 2130000) merged = r;
        if (csv.n(r, "ijou") == 105000) first = r;
    }
    ASSERT_TRUE(first == 1 && t0 > 0 && t3 > 0 && merged == t3 + 1);
    for (int r = 0; r < csv.rows.size(); ++r) {
        const int lo = csv.n(r, "ijou");
        const int hi = csv.s(r, "miman").isEmpty() ? 10000000 : csv.n(r, "miman");
        // The base line of 甲 above the table; the merged band stays on the line below it.
        const int base = r == merged ? t3 : r;
        for (int a : {lo, (lo + hi) / 2, hi - 1}) {
            for (int n = 0; n <= 10; ++n) {
                int64_t want;
                const int d = n < 7 ? n : 7;
                if (r < t0)
                    want = csv.n(r, kou[d]);
                else
                    want =
                        csv.n(base, kou[d]) + ratePart(csv.s(base, "kou_rate_over"), a - csv.n(base, "ijou"));
                if (n > 7) want = std::max<int64_t>(0, want - (n - 7) * 1610);
                EXPECT_EQ(CalcGensenZei(a, 0, n), want) << "甲 " << a << " dependants " << n;
            }
            int64_t otsu;
            if (r < first)
                otsu = ratePart(csv.s(0, "otsu_rate_over"), a);
            else if (r < t0)
                otsu = csv.n(r, "otsu");
            else if (a < 1710000)
                otsu = csv.n(t0, "otsu") + ratePart(csv.s(t0, "otsu_rate_over"), a - 740000);
            else
                otsu = csv.n(t3, "otsu") + ratePart(csv.s(t3, "otsu_rate_over"), a - 1710000);
            EXPECT_EQ(CalcGensenZei(a, 1, 0), otsu) << "乙 " << a;
            below = r;
        }
    }
    EXPECT_EQ(below, 240);
}

// ---- bonus rates, worked by hand from withholding-bonus-2026.csv ----

TEST_F(TaxTableTest, BonusRates) {
    loadBuilt();
    double rate = 0;
    // 甲, 3 dependants, previous pay 300,000 lies in 300,000..354,000: 4.084 % of 500,000.
    EXPECT_EQ(CalcSyoyoZei(300000, 500000, 0, 3, rate), 20420);
    EXPECT_EQ(rate, 0.04084);
    // One yen less lies in 181,000..300,000: 2.042 %.
    EXPECT_EQ(CalcSyoyoZei(299999, 500000, 0, 3, rate), 10210);
    // 9 dependants use the seven-or-more column (317,000..383,000: 2.042 %), no further cut.
    EXPECT_EQ(CalcSyoyoZei(320000, 500000, 0, 9, rate), 10210);
    EXPECT_EQ(CalcSyoyoZei(320000, 500000, 0, 7, rate), 10210);
    // 甲 0 dependants from 3,495,000 on: the last row, 45.945 %.
    EXPECT_EQ(CalcSyoyoZei(3495000, 1000000, 0, 0, rate), 459450);
    EXPECT_EQ(CalcSyoyoZei(3494999, 1000000, 0, 0, rate), 418610);
    // 乙: 10.21 % below 224,000, 20.42 % from it; 45.945 % at and above 1,118,000.
    EXPECT_EQ(CalcSyoyoZei(223999, 500000, 1, 0, rate), 51050);
    EXPECT_EQ(CalcSyoyoZei(224000, 500000, 1, 0, rate), 102100);
    EXPECT_EQ(CalcSyoyoZei(2000000, 500000, 1, 4, rate), 229725);
    EXPECT_EQ(rate, 0.45945);
    // Below 82,000 with no dependants the rate is 0.
    EXPECT_EQ(CalcSyoyoZei(81999, 500000, 0, 0, rate), 0);
    EXPECT_EQ(rate, 0.0);
}

TEST_F(TaxTableTest, BonusRoundingModeAndNoNegativeTax) {
    loadBuilt();
    double rate = 0;
    // 100,000 lies in 94,000..260,000 (4.084 %); 123,450 x 4.084 % = 5,041.698.
    EXPECT_EQ(CalcSyoyoZei(100000, 123450, 0, 0, rate), 5041);
    OptionRec.HasuuKou = 2;
    EXPECT_EQ(CalcSyoyoZei(100000, 123450, 0, 0, rate), 5042);
    // A bonus below zero after social insurance gives no tax, not a refund.
    EXPECT_EQ(CalcSyoyoZei(300000, -100000, 0, 0, rate), 0);
    EXPECT_EQ(rate, 0.06126);
}

// Both edges of every published band, 甲 0..7 (and 8, 10 on the seven-or-more column) and 乙.
TEST_F(TaxTableTest, BonusMatchesEveryPublishedBand) {
    loadBuilt();
    const CsvRows csv(QStringLiteral("withholding-bonus-2026.csv"));
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

TEST_F(TaxTableTest, LoadSetsPathsAndCount) {
    copyBuilt();
    LoadTableFiles();
    EXPECT_EQ(TableFileCount, 3);
    EXPECT_TRUE(TableFileProblems.isEmpty());
    EXPECT_EQ(TaxTableKyuyoFile, dir() + QStringLiteral("税額表(給与).dat"));
    EXPECT_EQ(TaxTableSyoyoFile, dir() + QStringLiteral("税額表(賞与).dat"));
    EXPECT_EQ(KenhoTableFile, dir() + QStringLiteral("健康保険料額表.dat"));
    EXPECT_EQ(KenhoTable[0].Ijou, 50);
    EXPECT_EQ(KenhoTable[22].Hyojun, 300000);
}

TEST_F(TaxTableTest, MissingFilesLeaveZeroTablesAndNoTax) {
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
}

TEST_F(TaxTableTest, FileDeletedAfterLoadChangesNothing) {
    copyBuilt();
    LoadTableFiles();
    ASSERT_EQ(TableFileCount, 3);
    ASSERT_TRUE(QFile::remove(dir() + TaxTableKyuyoName));
    ASSERT_TRUE(QFile::remove(dir() + TaxTableSyoyoName));
    EXPECT_EQ(CalcGensenZei(300000, 0, 0), 7930);
    double rate = 0;
    EXPECT_EQ(CalcSyoyoZei(300000, 500000, 0, 0, rate), 30630);
    EXPECT_EQ(rate, 0.06126);
}

TEST_F(TaxTableTest, ShortOrLongMonthlyFileCountsAsMissing) {
    for (int delta : {-1, 1}) {
        copyBuilt();
        spoil(TaxTableKyuyoName, [&](QByteArray& b) { b.resize(b.size() + delta); });
        LoadTableFiles();
        EXPECT_EQ(TableFileCount, 2) << delta;
        EXPECT_EQ(TaxTableKyuyo.RowCount, 0);
        EXPECT_EQ(CalcGensenZei(300000, 0, 0), 0);
        ASSERT_EQ(TableFileProblems.size(), 1);
        EXPECT_TRUE(TableFileProblems[0].startsWith(TaxTableKyuyoName));
        // The other two still load.
        double rate = 0;
        EXPECT_EQ(CalcSyoyoZei(300000, 500000, 0, 0, rate), 30630);
        EXPECT_EQ(KenhoTable[0].Ijou, 50);
        for (const QString& name : {TaxTableKyuyoName, TaxTableSyoyoName, KenhoTableName})
            QFile::remove(dir() + name);
    }
}

TEST_F(TaxTableTest, MonthlyRowCountOutsideTheArrayCountsAsMissing) {
    // 261 would send the bracket rows past the end of the record, 7 before its start.
    for (int count : {261, 7, 0, -5}) {
        copyBuilt();
        spoil(TaxTableKyuyoName, [&](QByteArray& b) { putI32(b, 0, count); });
        LoadTableFiles();
        EXPECT_EQ(TableFileCount, 2) << count;
        EXPECT_EQ(CalcGensenZei(5000000, 0, 0), 0) << count;
        for (const QString& name : {TaxTableKyuyoName, TaxTableSyoyoName, KenhoTableName})
            QFile::remove(dir() + name);
    }
}

TEST_F(TaxTableTest, DescendingBoundsCountAsMissing) {
    copyBuilt();
    // Monthly row 100 starting below the end of row 99.
    spoil(TaxTableKyuyoName, [](QByteArray& b) { putI32(b, rowOff(100), i32(b, rowOff(99)) - 1000); });
    // Bonus 乙 row 3 ending below row 2.
    spoil(TaxTableSyoyoName, [](QByteArray& b) { putI32(b, 1736 + 12 * 2 + 8, 200000); });
    // Grade 20 starting below the end of grade 19.
    spoil(KenhoTableName, [](QByteArray& b) { putI32(b, 12 * 20, i32(b, 12 * 19)); });
    LoadTableFiles();
    EXPECT_EQ(TableFileCount, 0);
    EXPECT_EQ(TableFileProblems.size(), 3);
    EXPECT_EQ(KenhoTable[0].Ijou, 0);
    EXPECT_EQ(KenhoTable[20].Ijou, 0);
}

TEST_F(TaxTableTest, DescendingBonusRangeOfOneColumnCountsAsMissing) {
    copyBuilt();
    // 甲 row 5, column for 4 dependants: its range ends before it starts.
    spoil(TaxTableSyoyoName, [](QByteArray& b) {
        const int han = 4 + 72 * 4 + 8 + 8 * 4;
        putI32(b, han + 4, i32(b, han) - 1);
    });
    LoadTableFiles();
    EXPECT_EQ(TableFileCount, 2);
    double rate = 0.5;
    EXPECT_EQ(CalcSyoyoZei(300000, 500000, 0, 0, rate), 0);
    EXPECT_EQ(rate, 0.5);
}

TEST_F(TaxTableTest, WrongGradeCountCountsAsMissing) {
    // 81 grades do not fit the record; 0 is no table; pension grades beyond the grades.
    const QList<QList<int32_t>> heads = {{81, 4, 35}, {0, 4, 35}, {50, 4, 51}, {50, 36, 35}, {50, 0, 35}};
    for (const QList<int32_t>& head : heads) {
        copyBuilt();
        spoil(KenhoTableName, [&](QByteArray& b) {
            for (int i = 0; i < 3; ++i) putI32(b, 4 * i, head[i]);
        });
        LoadTableFiles();
        EXPECT_EQ(TableFileCount, 2) << head[0] << " " << head[1] << " " << head[2];
        EXPECT_EQ(KenhoTable[0].Ijou, 0);
        for (const QString& name : {TaxTableKyuyoName, TaxTableSyoyoName, KenhoTableName})
            QFile::remove(dir() + name);
    }
}

TEST_F(TaxTableTest, BonusRowCountsOutsideTheArrayCountMissing) {
    for (const QList<int32_t>& counts : QList<QList<int32_t>>{{25, 5}, {0, 5}, {21, 11}, {21, 0}}) {
        copyBuilt();
        spoil(TaxTableSyoyoName, [&](QByteArray& b) {
            putI32(b, 0, counts[0]);
            putI32(b, 1732, counts[1]);
        });
        LoadTableFiles();
        EXPECT_EQ(TableFileCount, 2) << counts[0] << " " << counts[1];
        for (const QString& name : {TaxTableKyuyoName, TaxTableSyoyoName, KenhoTableName})
            QFile::remove(dir() + name);
    }
}

// ---- the builder's own checks on its input ----

TEST_F(TaxTableTest, BuilderRefusesAGapInTheMonthlyTable) {
    QByteArray csv = ReadAll(CsvDir + tablebuilder::MonthlyCsv);
    csv.replace("\n299000,302000,", "\n299500,302000,");
    WriteAll(dir() + tablebuilder::MonthlyCsv, csv);
    try {
        tablebuilder::BuildTaxTableKyuyo(dir() + tablebuilder::MonthlyCsv);
        FAIL() << "a gap was accepted";
    } catch (const AppError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("line 87"))) << e.message().toStdString();
    }
}

TEST_F(TaxTableTest, BuilderMergesOnlyABracketOfTheSameRate) {
    QByteArray csv = ReadAll(CsvDir + tablebuilder::MonthlyCsv);
    ASSERT_TRUE(csv.contains(",504170,,0.4084,"));
    csv.replace(",504170,,0.4084,", ",504170,,0.41,");
    WriteAll(dir() + tablebuilder::MonthlyCsv, csv);
    EXPECT_THROW(tablebuilder::BuildTaxTableKyuyo(dir() + tablebuilder::MonthlyCsv), AppError);
}

}  // namespace
