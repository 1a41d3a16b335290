// Monthly pay and bonus calculation.
#include "payroll/calc.h"

#include <QFileInfo>
#include <algorithm>
#include <cstring>

#include "payroll/common.h"
#include "payroll/option.h"
#include "payroll/otherperiod.h"
#include "payroll/period.h"
#include "payroll/slipitems.h"
#include "payroll/taxtable.h"
#include "platform/errors.h"

namespace {

template <int N>
bool onList(const Arr<Arr<QString, 1, N>, 1, 3>& list, const QString& name, int formType)
{
    if (!IsPayType(formType)) return false;
    for (int r = 1; r <= N; ++r) {
        const QString item = GetItemName(list[formType][r]);  // shares the text, no copy
        if (QStringView(item).mid(1) == name) return true;
    }
    return false;
}

void clearRows(int e)
{
    std::memset(&SikyuRec[e], 0, sizeof(TSikyuRec));
    std::memset(&KoujoRec[e], 0, sizeof(TKoujoRec));
}

// Amounts are worked out in 64 bits; one that does not fit its 32-bit field is refused, naming
// the employee and the item, instead of being stored as a wrong (often negative) amount.
[[noreturn]] void refuse(const TEmployeeRec& E, const QString& item)
{
    throw AppError(QStringLiteral("【%1】の「%2」は計算できません。\n"
                                  "金額が扱える範囲(-2,147,483,648～2,147,483,647円)を超えます。\n"
                                  "入力した金額や時間を確認して下さい。")
                       .arg(E.Simei.shownText().trimmed(), item));
}

int64_t mul1(double a, double b)
{
    return RoundByMode64(OptionRec.HasuuSik, b * a);
}
int64_t mul2(double a, double b)
{
    return RoundByMode64(OptionRec.HasuuGen, b * a);
}

// The payment and deduction rows of one employee and the bookkeeping both calculations share.
// The rows are worked on in copies and stored only when every amount fits: a refused
// calculation leaves the employee's rows as they were.
struct Rows {
    const int e;
    const TEmployeeRec& E;
    alignas(8) TSikyuRec P;
    alignas(8) TKoujoRec D;
    int F;  // slip form type
    TCalcItems& items;
    int64_t notSyaho = 0;

    Rows(int e, TCalcItems& it)
        : e(e), E(SyainRec[e]), P(SikyuRec[e]), D(KoujoRec[e]), F(SyainRec[e].Keitai), items(it)
    {
    }
    void store() const
    {
        SikyuRec[e] = P;
        KoujoRec[e] = D;
    }

    int32_t fit(int64_t value, const QString& item) const
    {
        if (value < INT32_MIN || value > INT32_MAX) refuse(E, item);
        return static_cast<int32_t>(value);
    }
    // The name of payment k as the employee's slip shows it.
    QString payName(int k, const QString& name) const
    {
        static const QString basePay[] = {QStringLiteral("基本給"), QStringLiteral("日給計"),
                                          QStringLiteral("時給計")};
        return k == siKihon && !IsBonusPeriod(CurPeriod.Period) && IsPayType(F) ? basePay[F - 1] : name;
    }

    bool sikyuOn(int k, const QString& name) const { return items.sikyuOn(F, k, name); }
    bool koujoOn(int k, const QString& name) const { return items.koujoOn(F, k, name); }

    // Payment k: on the form, value unless manual; then added by the caller's rule.
    // Returns false (and clears the item) when it is not on the form.
    bool setPay(int k, const QString& name, int64_t value)
    {
        if (!sikyuOn(k, name)) {
            P.Sikyu[k] = 0;
            return false;
        }
        if (!P.SikyuManual[k]) P.Sikyu[k] = fit(value, payName(k, name));
        return true;
    }
    void addTaxable(int64_t amount)
    {
        P.KazeiGoukei = fit(P.KazeiGoukei + amount, QStringLiteral("課税支給合計"));
    }
    void addGross(int64_t amount)
    {
        P.SikyuGoukei = fit(P.SikyuGoukei + amount, QStringLiteral("支給項目合計"));
    }
    void addBoth(int64_t amount)
    {
        addTaxable(amount);
        addGross(amount);
    }
    // A user allowance: taxable and insurance-base flags of user item k.
    void addUserAllowance(int k, int64_t amount)
    {
        if (OptionRec.Kazei[k]) addTaxable(amount);
        if (!OptionRec.Syaho[k]) notSyaho += amount;
        addGross(amount);
    }
    void setSyahoSantei(int64_t value) { D.SyahoSantei = fit(value, QStringLiteral("社保算定合計")); }
    void fixedAllowances()
    {
        for (int i = 1; i <= 3; ++i)
            if (setPay(3 + i, OptionRec.FixTeate[i], E.Teate[i])) addUserAllowance(i - 1, P.Sikyu[3 + i]);
    }
    void variableAllowances()
    {
        for (int i = 1; i <= 3; ++i)
            if (sikyuOn(12 + i, OptionRec.VarTeate[i])) addUserAllowance(2 + i, P.Sikyu[12 + i]);
    }

    // Deduction k: on the form, value unless manual; false (item cleared) when not on the form.
    bool setDed(int k, const QString& name, int64_t value)
    {
        if (!koujoOn(k, name)) {
            D.Koujo[k] = 0;
            return false;
        }
        if (!D.KoujoManual[k]) D.Koujo[k] = fit(value, name);
        return true;
    }
    void addSyahoKei(int64_t amount)
    {
        D.Koujo[koSyahoKei] = fit(D.Koujo[koSyahoKei] + amount, QStringLiteral("社会保険料計"));
    }
    void addDeductions(int64_t amount)
    {
        D.KoujoGoukei = fit(D.KoujoGoukei + amount, QStringLiteral("控除項目合計"));
    }
    void addDedBoth(int64_t amount)
    {
        addSyahoKei(amount);
        addDeductions(amount);
    }
    void premium(int k, const QString& name, bool enrolled, int64_t amount)
    {
        if (setDed(k, name, enrolled ? amount : 0)) addDedBoth(D.Koujo[k]);
    }
    void addUserDeduction(int k, int64_t amount)
    {
        if (OptionRec.Kazei[k]) addSyahoKei(amount);
        if (OptionRec.Syaho[k]) setSyahoSantei(D.SyahoSantei - amount);
        addDeductions(amount);
    }
    void setSyahoGo()
    {
        D.Koujo[koSyahoGo] =
            fit(int64_t(P.KazeiGoukei) - D.Koujo[koSyahoKei], QStringLiteral("社保控除後計"));
    }
    void fixedAndVariableDeductions()
    {
        for (int i = 1; i <= 3; ++i)
            if (setDed(9 + i, OptionRec.FixKoujo[i], E.FixKoujoGaku[i]))
                addUserDeduction(5 + i, D.Koujo[9 + i]);
        for (int i = 1; i <= 3; ++i)
            if (koujoOn(12 + i, OptionRec.VarKoujo[i])) addUserDeduction(8 + i, D.Koujo[12 + i]);
    }
};

// Whether the commuting allowance of payment rule rule is paid in month m.
bool commutingMonth(int rule, int m)
{
    if (rule == CommutingRule::EveryMonth) return true;
    if (rule >= CommutingRule::QuarterlyFirst && rule <= CommutingRule::QuarterlyLast)
        return (m - (rule - 2)) % 3 == 0 && m >= rule - 2;
    if (rule >= CommutingRule::HalfYearlyFirst && rule <= CommutingRule::HalfYearlyLast)
        return m == rule - 5 || m == rule + 1;
    return false;
}

}  // namespace

bool IsSikyuItem(const QString& name, int32_t formType)
{
    return onList(SikyuList, name, formType);
}
bool IsKoujoItem(const QString& name, int32_t formType)
{
    return onList(KoujoList, name, formType);
}

bool TCalcItems::on(int list, int formType, int k, const QString& name)
{
    if (formType < 1 || formType > 3 || k < 1 || k > 18) return false;
    Resolved& r = resolved_[list][formType - 1];
    if (!r.named) {
        const auto& rows = list == 0 ? SikyuList[formType] : KoujoList[formType];
        for (int row = 1; row <= 18; ++row) r.names[row - 1] = GetItemName(rows[row]).mid(1);
        std::fill(std::begin(r.flags), std::end(r.flags), int8_t(-1));
        r.named = true;
    }
    int8_t& flag = r.flags[k];
    if (flag < 0) flag = std::find(std::begin(r.names), std::end(r.names), name) != std::end(r.names);
    return flag != 0;
}

bool IsTaisyoku(int32_t slot)
{
    return !SyainRec[slot].Taisyoku.bytes().trimmed().isEmpty();
}
bool IsZaiseki(int32_t slot)
{
    return !SyainRec[slot].MembKey.isEmpty() && !IsTaisyoku(slot);
}

namespace {

// A value of the calculation that is not a number or lies beyond 64 bits (RangeError of the
// rounding routines) is refused like an amount that does not fit.
template <typename F>
auto refusingRangeErrors(int32_t slot, F&& calc)
{
    try {
        return calc(slot);
    } catch (const RangeError&) {
        refuse(SyainRec[slot],
               IsBonusPeriod(CurPeriod.Period) ? QStringLiteral("賞与") : QStringLiteral("給与"));
    }
}

void calcKyuyo(int32_t slot, TCalcItems& items)
{
    if (IsLockedYear()) return;
    if (IsTaisyoku(slot)) {
        clearRows(slot);
        return;
    }
    Rows r(slot, items);
    const TEmployeeRec& E = r.E;
    const Arr<double, 1, 16> A = KintaiRec[slot].Kintai;
    TSikyuRec& P = r.P;
    TKoujoRec& D = r.D;
    const int m = CurPeriod.Period;
    P.KazeiGoukei = 0;
    P.SikyuGoukei = 0;

    int64_t base = 0;
    if (r.F == PayType::Monthly)
        base = E.Chingin[1];
    else
        base = mul1(r.F == PayType::Daily ? A[kiSyukkin] : A[kiJitudou], E.Chingin[1]);
    if (r.F == PayType::Daily || r.F == PayType::Hourly) base += mul1(A[kiYukyu], E.Yukyu);
    if (r.setPay(siKihon, QStringLiteral("基本給"), base)) r.addBoth(P.Sikyu[siKihon]);
    if (r.setPay(siYakusyoku, QStringLiteral("役職手当"), E.Yakuin)) r.addBoth(P.Sikyu[siYakusyoku]);
    if (r.setPay(siKazoku, QStringLiteral("家族手当"), E.Family)) r.addBoth(P.Sikyu[siKazoku]);
    r.fixedAllowances();
    static const QString overtime[] = {QStringLiteral("普通残業手当"), QStringLiteral("深夜残業手当"),
                                       QStringLiteral("休日普通残業"), QStringLiteral("休日深夜残業")};
    for (int i = 0; i < 4; ++i)
        if (r.setPay(siFutuZangyo + i, overtime[i], mul1(A[kiFutuZangyo + i], E.Chingin[2 + i])))
            r.addBoth(P.Sikyu[siFutuZangyo + i]);

    // Commuting allowance by its payment rule.
    const int rule = E.SikUnit;
    const bool payMonth = commutingMonth(rule, m);
    if (!payMonth) {
        if (!P.SikyuManual[siHikazeiTuukin]) P.Sikyu[siHikazeiTuukin] = 0;
        if (!P.SikyuManual[siKazeiTuukin]) P.Sikyu[siKazeiTuukin] = 0;
    }
    if (rule == CommutingRule::PerDay || payMonth) {
        const bool perDay = rule == CommutingRule::PerDay;
        const int64_t free = perDay ? mul1(A[kiSyukkin], E.Koutuhi[0]) : E.Koutuhi[0];
        const int64_t taxed = perDay ? mul1(A[kiSyukkin], E.Koutuhi[1]) : E.Koutuhi[1];
        if (r.setPay(siHikazeiTuukin, QStringLiteral("非課税通勤費"), free))
            r.addGross(P.Sikyu[siHikazeiTuukin]);
        if (r.setPay(siKazeiTuukin, QStringLiteral("課税通勤費"), taxed)) r.addBoth(P.Sikyu[siKazeiTuukin]);
    }

    r.variableAllowances();
    if (r.setPay(siKekkin, QStringLiteral("欠勤控除"), mul2(A[kiKekkin], -double(E.Kekkin))))
        r.addBoth(P.Sikyu[siKekkin]);
    if (r.setPay(siChisou, QStringLiteral("遅刻早退控除"), mul2(A[kiChisouJikan], -double(E.Chisou))))
        r.addBoth(P.Sikyu[siChisou]);

    r.setSyahoSantei(P.SikyuGoukei - r.notSyaho);
    D.Koujo[koSyahoKei] = 0;
    D.KoujoGoukei = 0;
    r.premium(koKenpo, QStringLiteral("健康保険料"), E.Kenkou, E.KenhoRyo);
    r.premium(koKousei, QStringLiteral("厚生年金保険"), E.NenHoken, E.KoseiRyo);
    r.premium(koKikin, QStringLiteral("厚生年金基金"), E.NenKikin, E.Kakekin);
    // Employment insurance is charged on the wages paid: a month whose reductions exceed its pay
    // pays none, and is refunded none.
    r.premium(koKoyou, QStringLiteral("雇用保険料"), E.Koyou,
              RoundShaho2_64(std::max<int32_t>(P.SikyuGoukei, 0) * (CorpRec.KoyRitu / 100)));
    r.premium(koKaigo, QStringLiteral("介護保険料"), E.Kaigo, E.KaigoRyo);

    const int june = CorpRec.SikyuShift == -1 && CorpRec.Juumin6Flag == 1 ? 7 : 6;
    if (r.setDed(koJuumin, QStringLiteral("住民税"), m == june ? E.Juumin6 : E.Juumin))
        r.addDeductions(D.Koujo[koJuumin]);
    r.fixedAndVariableDeductions();
    r.setSyahoGo();

    if (r.koujoOn(koSyotoku, QStringLiteral("所得税"))) {
        if (E.NoSyoto)
            D.Koujo[koSyotoku] = 0;
        else if (!D.KoujoManual[koSyotoku])
            D.Koujo[koSyotoku] = CalcGensenZei(D.Koujo[koSyahoGo], E.Zeigaku, E.Sinzoku);
        r.addDeductions(D.Koujo[koSyotoku]);
    } else {
        D.Koujo[koSyotoku] = 0;
    }
    r.store();
}

}  // namespace

void CalcKyuyo(int32_t slot, TCalcItems& items)
{
    refusingRangeErrors(slot, [&items](int32_t s) { calcKyuyo(s, items); });
}

void CalcKyuyo(int32_t slot)
{
    TCalcItems items;
    CalcKyuyo(slot, items);
}

int32_t CalcKenhoSyoyoBase(int32_t slot, int32_t base, TOtherPeriods& periods)
{
    const int p = CurPeriod.Period;
    const QByteArray key = SyainRec[slot].MembKey.bytes();
    const int m0 = YearHeader.SyoyoMonth[p - 12];
    const int d0 = YearHeader.SyoyoDay[p - 12];
    const bool earlyYear = m0 >= 1 && m0 <= 3;  // the insurance year began in April of last year
    int64_t t = 0;
    if (earlyYear) {
        if (TYearData* prev = periods.lastYear()) {
            for (int q = 13; q <= 15; ++q) {
                const int m = prev->header().SyoyoMonth[q - 12];
                if (m < 1 || m > 3) AddSyoyoKazei(*prev, q, key, t);
            }
        }
    }
    for (int q = 13; q <= 15; ++q) {
        if (q == p) continue;
        const int m = YearHeader.SyoyoMonth[q - 12];
        const int d = YearHeader.SyoyoDay[q - 12];
        const bool otherYearPart = earlyYear ? (m >= 4 && m <= 12) : (m >= 1 && m <= 3);
        if (otherYearPart || m > m0 || (m == m0 && d > d0)) continue;
        if (TYearData* year = periods.thisYear()) AddSyoyoKazei(*year, q, key, t);
    }
    if (t > KenhoSyoyoYearCap) return 0;
    if (t + base > KenhoSyoyoYearCap) return static_cast<int32_t>(KenhoSyoyoYearCap - t);
    return base;
}

int32_t CalcKenhoSyoyoBase(int32_t slot, int32_t base)
{
    TOtherPeriods periods;
    return CalcKenhoSyoyoBase(slot, base, periods);
}

namespace {

bool calcSyoyo(int32_t slot, TCalcItems& items)
{
    bool result = true;
    if (IsLockedYear()) return true;
    if (IsTaisyoku(slot)) {
        clearRows(slot);
        return true;
    }
    Rows r(slot, items);
    const TEmployeeRec& E = r.E;
    TSikyuRec& P = r.P;
    TKoujoRec& D = r.D;
    const int p = CurPeriod.Period;
    P.KazeiGoukei = 0;
    P.SikyuGoukei = 0;

    if (r.sikyuOn(siKihon, QStringLiteral("賞与"))) r.addBoth(P.Sikyu[siKihon]);
    if (r.sikyuOn(siYakusyoku, QStringLiteral("役員報酬"))) r.addBoth(P.Sikyu[siYakusyoku]);
    r.fixedAllowances();
    r.variableAllowances();
    r.setSyahoSantei(P.SikyuGoukei - r.notSyaho);

    // The standard bonus amount, and the employment-insurance base below, are never negative: a
    // bonus corrected below zero is charged nothing rather than refunded.
    const int32_t standard = std::max<int32_t>(P.KazeiGoukei / 1000 * 1000, 0);
    const int32_t h = CalcKenhoSyoyoBase(slot, standard, items.otherPeriods());
    const int32_t n = standard > NenkinSyoyoCap ? NenkinSyoyoCap : standard;
    D.Koujo[koSyahoKei] = 0;
    D.KoujoGoukei = 0;
    const TCorpRec& c = CorpRec;
    r.premium(koKenpo, QStringLiteral("健康保険料"), E.Kenkou, RoundShaho64(h * c.KenRitu / 100));
    r.premium(koKousei, QStringLiteral("厚生年金保険"), E.NenHoken, RoundShaho64(n * c.NenRitu / 100));
    r.premium(koKikin, QStringLiteral("厚生年金基金"), E.NenKikin, RoundShaho64(n * c.KknRitu / 100));
    r.premium(koKoyou, QStringLiteral("雇用保険料"), E.Koyou,
              RoundShaho2_64(std::max(double(P.SikyuGoukei) - P.Sikyu[siYakusyoku], 0.0) * c.KoyRitu / 100));
    // Health and care are rounded together; the care premium is the difference.
    r.premium(koKaigo, QStringLiteral("介護保険料"), E.Kaigo,
              RoundShaho64(h * (c.KenRitu + c.KaiRitu) / 100) - D.Koujo[koKenpo]);

    r.fixedAndVariableDeductions();
    r.setSyahoGo();

    if (r.koujoOn(koSyotoku, QStringLiteral("所得税"))) {
        if (D.KoujoManual[koSyotoku]) {
            // kept as entered
        } else if (E.NoSyoto) {
            D.Koujo[koSyotoku] = 0;
        } else {
            const int32_t prevPay =
                ReadPeriodData(YearHeader.SyoyoMonth[p - 12] - 1, E.MembKey.bytes(), items.otherPeriods());
            if (prevPay == 0 || int64_t(D.Koujo[koSyahoGo]) > 10 * int64_t(prevPay)) {
                D.Koujo[koSyotoku] = 0;
                result = false;
            } else {
                double rate = 0;
                D.Koujo[koSyotoku] = CalcSyoyoZei(prevPay, D.Koujo[koSyahoGo], E.Zeigaku, E.Sinzoku, rate);
                D.SyoyoRitu = static_cast<int32_t>(TruncEps(rate * 100000.0));
            }
        }
        r.addDeductions(D.Koujo[koSyotoku]);
    } else {
        D.Koujo[koSyotoku] = 0;
    }
    r.store();
    return result;
}

}  // namespace

bool CalcSyoyo(int32_t slot, TCalcItems& items)
{
    return refusingRangeErrors(slot, [&items](int32_t s) { return calcSyoyo(s, items); });
}

bool CalcSyoyo(int32_t slot)
{
    TCalcItems items;
    return CalcSyoyo(slot, items);
}
