// Premiums from the grade table at the 2026 rates: every grade at the Tokyo, Osaka and Hokkaido rates must
// round like the law (an employee share's fraction of half a yen or less is dropped, anything
// above rounds up), worked out here in exact integer arithmetic from the published CSV files.
#include <QFile>

#include "payroll/premiums.h"
#include "payroll/taxtable.h"
#include "tests/testutil.h"

namespace {

QList<QStringList> readCsv(const char* name)
{
    QFile f(QStringLiteral(TABLE_CSV_DIR) + QString::fromUtf8(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    QList<QStringList> rows;
    for (const QByteArray& line : f.readAll().split('\n').mid(1))
        if (!line.trimmed().isEmpty()) rows << QString::fromUtf8(line.trimmed()).split(QLatin1Char(','));
    return rows;
}

// Rate in thousandths of a percent (9.85 % total -> 4925 for the employee's half).
int64_t halfRate(const QString& percent) { return qRound64(percent.toDouble() * 1000) / 2; }

// Standard pay times rate, per 100,000, with the law's rounding of the employee's share.
int32_t lawPremium(int64_t standard, int64_t rate)
{
    const int64_t num = standard * rate;
    return static_cast<int32_t>(num / 100000 + (num % 100000 > 50000 ? 1 : 0));
}

class PremiumsTest : public TablesTest {};

TEST_F(PremiumsTest, EveryGradeAtThreePrefecturesRoundsLikeTheLaw)
{
    const QList<QStringList> grades = readCsv("health-grades.csv");
    const QList<QStringList> pension = readCsv("pension-grades.csv");
    ASSERT_EQ(grades.size(), 50);
    ASSERT_EQ(pension.size(), 32);
    int checked = 0;
    for (const QStringList& pref : readCsv("health-rates-2026.csv")) {
        if (pref[1] != QStringLiteral("北海道") && pref[1] != QStringLiteral("東京") && pref[1] != QStringLiteral("大阪"))
            continue;
        const int64_t ken = halfRate(pref[2]), kai = halfRate(pref[3]), nen = halfRate(pref[4]);
        TCorpRec corp{};
        corp.KenRitu = ken / 1000.0;
        corp.KaiRitu = kai / 1000.0;
        corp.NenRitu = nen / 1000.0;
        corp.KknRitu = 0;
        for (const QStringList& g : grades) {
            const int grade = g[0].toInt();
            const int64_t m = g[3].toLongLong();
            const int64_t mp = pension[std::clamp(grade, 4, 35) - 4][3].toLongLong();
            const TGradePremiums p = GradePremiums(grade, corp);
            SCOPED_TRACE(pref[1] + QStringLiteral(" grade %1").arg(grade));
            EXPECT_EQ(p.KenhoRyo, lawPremium(m, ken));
            EXPECT_EQ(p.KenhoRyo + p.KaigoRyo, lawPremium(m, ken + kai));
            EXPECT_EQ(p.KoseiRyo, lawPremium(mp, nen));
            EXPECT_EQ(p.Kakekin, 0);
            ++checked;
        }
    }
    EXPECT_EQ(checked, 150);
}

TEST_F(PremiumsTest, GradeSearchAndPensionClamp)
{
    EXPECT_EQ(FindKenhoGrade(0), 1);
    EXPECT_EQ(FindKenhoGrade(62999), 1);
    EXPECT_EQ(FindKenhoGrade(63000), 2);
    EXPECT_EQ(FindKenhoGrade(300000), 22) << "290,000..310,000 is grade 22 (standard 300,000)";
    EXPECT_EQ(KenhoTable[22].Hyojun, 300000);
    EXPECT_EQ(FindKenhoGrade(-1), 0);
    EXPECT_EQ(ClampPensionGrade(1), 4);
    EXPECT_EQ(ClampPensionGrade(50), 35);
    TCorpRec corp{};
    corp.NenRitu = 9.15;
    EXPECT_EQ(GradePremiums(50, corp).KoseiRyo, 59475) << "650,000 x 9.15 %";
    EXPECT_EQ(GradePremiums(51, corp).KoseiRyo, 0) << "no such grade";
}

}  // namespace
