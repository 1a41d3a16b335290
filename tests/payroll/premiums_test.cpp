// Premiums from the grade table at the 2026 rates: every grade at the Tokyo, Osaka and Hokkaido
// rates must round like the law (an employee share's fraction of half a yen or less is dropped,
// anything above rounds up), worked out here in exact integer arithmetic from the published CSV files.
#include "payroll/premiums.h"

#include "payroll/taxtable.h"
#include "tests/testutil.h"

namespace {

// Rate in thousandths of a percent (9.85 % total -> 4925 for the employee's half).
int64_t halfRate(const QString& percent)
{
    return qRound64(percent.toDouble() * 1000) / 2;
}

// Standard pay times rate, per 100,000, with the law's rounding of the employee's share.
int32_t lawPremium(int64_t standard, int64_t rate)
{
    const int64_t num = standard * rate;
    return static_cast<int32_t>(num / 100000 + (num % 100000 > 50000 ? 1 : 0));
}

class PremiumsTest : public TablesTest {};

TEST_F(PremiumsTest, EveryGradeAtThreePrefecturesRoundsLikeTheLaw)
{
    const PublishedCsv grades("health-grades.csv"), pension("pension-grades.csv");
    const PublishedCsv rates("health-rates-2026.csv");
    ASSERT_EQ(grades.rows.size(), 50);
    ASSERT_EQ(pension.rows.size(), 32);
    int checked = 0;
    for (int r = 0; r < rates.rows.size(); ++r) {
        const QString name = rates.s(r, "prefecture");
        if (name != QStringLiteral("北海道") && name != QStringLiteral("東京") &&
            name != QStringLiteral("大阪"))
            continue;
        const int64_t ken = halfRate(rates.s(r, "health_rate_percent"));
        const int64_t kai = halfRate(rates.s(r, "care_rate_percent"));
        const int64_t nen = halfRate(rates.s(r, "pension_rate_percent"));
        TCorpRec corp{};
        corp.KenRitu = ken / 1000.0;
        corp.KaiRitu = kai / 1000.0;
        corp.NenRitu = nen / 1000.0;
        for (int g = 0; g < grades.rows.size(); ++g) {
            const int grade = grades.n(g, "grade");
            const int64_t m = grades.n(g, "standard");
            const int64_t mp = pension.n(std::clamp(grade, 4, 35) - 4, "standard");
            const TGradePremiums p = GradePremiums(grade, corp);
            SCOPED_TRACE(name + QStringLiteral(" grade %1").arg(grade));
            EXPECT_EQ(p.KenhoRyo, lawPremium(m, ken));
            EXPECT_EQ(p.KenhoRyo + p.KaigoRyo, lawPremium(m, ken + kai));
            EXPECT_EQ(p.KoseiRyo, lawPremium(mp, nen));
            EXPECT_EQ(p.Kakekin, 0);
            ++checked;
        }
    }
    EXPECT_EQ(checked, 150);
}

// The pension clamp and its rates are checked grade by grade above.
TEST_F(PremiumsTest, GradeSearchAndGradesOutsideTheTable)
{
    const std::pair<int32_t, int32_t> grades[] = {{-1, 0}, {0, 1}, {62999, 1}, {63000, 2}, {300000, 22}};
    for (auto [pay, grade] : grades) EXPECT_EQ(FindKenhoGrade(pay), grade) << pay;
    TCorpRec corp{};
    corp.NenRitu = 9.15;
    EXPECT_EQ(GradePremiums(51, corp).KoseiRyo, 0) << "no such grade";
}

}  // namespace
