// The slip of one employee: rows, texts, checks, storing, recalculation, paid-leave carry and
// stepping order, over the period image.
#include "app/core/dataedit.h"

#include <cmath>

#include "payroll/calc.h"
#include "payroll/common.h"
#include "payroll/option.h"
#include "payroll/otherperiod.h"
#include "payroll/period.h"
#include "payroll/slipitems.h"
#include "platform/errors.h"

namespace {

bool validSlot(int slot)
{
    return slot >= 1 && slot <= MaxEmployee;
}

bool isSum(const QString& name)
{
    return name == QStringLiteral("課税支給合計") || name == QStringLiteral("社会保険料計") ||
           name == QStringLiteral("社保控除後計");
}

// Fixed allowance (payments) or fixed deduction (deductions) names, for the ManualOn rule.
bool isFixedUserItem(SlipGroup g, const QString& name)
{
    for (int i = 1; i <= 3; ++i)
        if ((g == sgSikyu && name == OptionRec.FixTeate[i]) ||
            (g == sgKoujo && name == OptionRec.FixKoujo[i]))
            return true;
    return false;
}

// The stored value of a row.
double storedValue(int slot, SlipGroup g, int k)
{
    if (k <= 0) return 0;
    switch (g) {
        case sgKintai:
            return KintaiRec[slot].Kintai[k];
        case sgSikyu:
            return k == 18 ? SikyuRec[slot].KazeiGoukei : SikyuRec[slot].Sikyu[k];
        case sgKoujo:
            return KoujoRec[slot].Koujo[k];
        case sgSonota:
            return SikyuRec[slot].Sonota[k];
    }
    return 0;
}

uint8_t* manualFlag(int slot, SlipGroup g, int k)
{
    if (k <= 0) return nullptr;
    if (g == sgSikyu) return &SikyuRec[slot].SikyuManual[k];
    if (g == sgKoujo) return &KoujoRec[slot].KoujoManual[k];
    return nullptr;
}

}  // namespace

QString SlipListEntry(SlipGroup g, int payType, int row)
{
    if (payType < 1 || payType > 3 || row < 1 || row > SlipRowCount[g]) return QString();
    switch (g) {
        case sgKintai:
            return KintaiList[payType][row];
        case sgSikyu:
            return SikyuList[payType][row];
        case sgKoujo:
            return KoujoList[payType][row];
        case sgSonota:
            return SonotaList[payType][row];
    }
    return QString();
}

QString SlipRowName(SlipGroup g, int payType, int row)
{
    const QString name = GetItemName(SlipListEntry(g, payType, row)).mid(1);
    if (g == sgSikyu && name == QStringLiteral("基本給")) {
        if (payType == 2) return QStringLiteral("日給計");
        if (payType == 3) return QStringLiteral("時給計");
    }
    return name;
}

int SlipStoreIndex(SlipGroup g, const QString& name)
{
    if (name.isEmpty()) return 0;
    switch (g) {
        case sgKintai:
            for (int k = 1; k <= 15; ++k)
                if (name == QString::fromUtf8(KintaiItemNames[k])) return k;
            return name == OptionRec.KintaiFre ? 16 : 0;
        case sgSikyu:
            if (const int k = SikyuIndex(name)) return k;
            for (int i = 1; i <= 3; ++i)
                if (name == OptionRec.VarTeate[i]) return 12 + i;
            return name == QStringLiteral("課税支給合計") ? 18 : 0;
        case sgKoujo:
            if (const int k = KoujoIndex(name)) return k;
            for (int i = 1; i <= 3; ++i)
                if (name == OptionRec.VarKoujo[i]) return 12 + i;
            return 0;
        case sgSonota:
            for (int i = 1; i <= 3; ++i)
                if (name == OptionRec.Sonota[i]) return i;
            return 0;
    }
    return 0;
}

int SlipManualIndex(SlipGroup g, const QString& name)
{
    if (name.isEmpty()) return 0;
    if (g == sgSikyu) return SikyuIndex(name);
    if (g == sgKoujo) return KoujoIndex(name);
    return 0;
}

bool SlipManualSwitchable(SlipGroup g, const QString& name)
{
    return (g == sgSikyu || g == sgKoujo) && !isSum(name) && SlipManualIndex(g, name) > 0;
}

bool IsSlipDayItem(const QString& name)
{
    static const QStringList days = {QStringLiteral("出勤日数"),     QStringLiteral("有休日数"),
                                     QStringLiteral("欠勤日数"),     QStringLiteral("休日出勤日数"),
                                     QStringLiteral("特別休暇日数"), QStringLiteral("所定労働日数")};
    return days.contains(name);
}

int SlipCheckTag(SlipGroup g, const QString& name)
{
    if (g == sgKintai) return IsSlipDayItem(name) ? 52 : 62;
    return isSum(name) ? 80 : 90;
}

QString SlipValueText(SlipGroup g, const QString& name, double value)
{
    if (g != sgKintai) return FmtAmount(10, value);
    if (IsJikanItem(name)) return FmtJikan(value);
    return QString::asprintf("%6.2f", value);
}

TSlipScreen MeisaiScreen(int slot)
{
    TSlipScreen s;
    for (int g = sgKintai; g <= sgSonota; ++g) s.rows[g].resize(SlipRowCount[g]);
    if (!validSlot(slot)) return s;
    const TEmployeeRec& E = SyainRec[slot];
    const TSikyuRec& P = SikyuRec[slot];
    const TKoujoRec& D = KoujoRec[slot];
    s.simei = E.Simei.shownText();
    s.caption = QStringLiteral("明細入力画面 【%1】").arg(s.simei);
    const int t = E.Keitai;
    int64_t sonota = 0;
    for (int g = sgKintai; g <= sgSonota; ++g) {
        const auto group = static_cast<SlipGroup>(g);
        for (int r = 1; r <= SlipRowCount[g]; ++r) {
            TSlipRow& row = s.rows[g][r - 1];
            row.name = SlipRowName(group, t, r);
            if (row.name.isEmpty()) continue;
            row.computed = group != sgSonota && SlipListEntry(group, t, r).startsWith(QLatin1Char('F'));
            const double value = storedValue(slot, group, SlipStoreIndex(group, row.name));
            if (uint8_t* flag = manualFlag(slot, group, SlipManualIndex(group, row.name))) {
                if (OptionRec.ManualOn && value == 0 && isFixedUserItem(group, row.name)) *flag = 1;
                row.manual = *flag != 0;
            }
            row.text = SlipValueText(group, row.name, value);
            if (group == sgSonota) sonota += TruncEps(value);
        }
    }
    s.sikyuTotal = FmtAmount(10, P.SikyuGoukei);
    s.koujoTotal = FmtAmount(10, D.KoujoGoukei);
    s.sonotaTotal = FmtAmount(10, double(sonota));
    s.sikyugaku = FmtAmount(10, double(int64_t(P.SikyuGoukei) - D.KoujoGoukei + sonota));
    const char* const captions[] = {"普通残業手当 %1 円", "深夜残業手当 %1 円", "休日普通残業 %1 円",
                                    "休日深夜残業 %1 円"};
    for (int i = 2; i <= 5; ++i)
        s.chingin[i] = QString::fromUtf8(captions[i - 2]).arg(FmtAmount(9, E.Chingin[i]));
    return s;
}

TSlipEntry CheckSlipEntry(SlipGroup g, const QString& name, const QString& text)
{
    TSlipEntry e;
    e.text = text;
    const TEntryNumber n = ParseEntryNumber(text, SlipCheckTag(g, name), g == sgKintai);
    e.error = n.error;
    e.refused = n.refused;
    if (n.refused) return e;
    e.value = n.value;
    e.text = SlipValueText(g, name, e.value);
    return e;
}

QString StoreMeisai(int slot, const QList<TSlipInput>& inputs)
{
    if (!validSlot(slot)) return QString();
    struct Write {
        SlipGroup g;
        int k;
        double value;
    };
    std::vector<Write> writes;
    for (const TSlipInput& in : inputs) {
        const int k = SlipStoreIndex(in.group, in.name);
        if (k == 0) continue;
        // What was entered goes in as the number entered: the text shows it rounded.
        if (in.entered) {
            writes.push_back({in.group, k, *in.entered});
            continue;
        }
        if (in.text == in.shown) continue;
        const TSlipEntry e = CheckSlipEntry(in.group, in.name, in.text);
        if (!e.error.isEmpty()) return e.error;
        writes.push_back({in.group, k, e.value});
    }
    for (const Write& w : writes) {
        const int32_t amount = FitInt32(TruncEps(w.value));
        switch (w.g) {
            case sgKintai:
                KintaiRec[slot].Kintai[w.k] = w.value;
                break;
            case sgSikyu:
                (w.k == 18 ? SikyuRec[slot].KazeiGoukei : SikyuRec[slot].Sikyu[w.k]) = amount;
                break;
            case sgKoujo:
                KoujoRec[slot].Koujo[w.k] = amount;
                break;
            case sgSonota:
                SikyuRec[slot].Sonota[w.k] = amount;
                KoujoRec[slot].Sonota[w.k] = amount;
                break;
        }
    }
    return QString();
}

bool RecalcMeisai(int slot)
{
    if (!validSlot(slot) || SyainRec[slot].MembKey.isEmpty()) return true;
    if (IsBonusPeriod(CurPeriod.Period)) return CalcSyoyo(slot);
    CalcKyuyo(slot);
    return true;
}

void SetManualTax(int slot)
{
    if (validSlot(slot)) KoujoRec[slot].KoujoManual[KoujoIndex(QStringLiteral("所得税"))] = 1;
}

std::optional<bool> ToggleManual(int slot, SlipGroup g, const QString& name)
{
    if (!validSlot(slot)) return std::nullopt;
    uint8_t* flag = manualFlag(slot, g, SlipManualIndex(g, name));
    if (!flag) return std::nullopt;
    *flag = *flag ? 0 : 1;
    return *flag != 0;
}

std::optional<double> YukyuZanAfter(int slot, double yukyuDays)
{
    if (!validSlot(slot)) return std::nullopt;
    const double rest = GetPrevYukyuZan(CurPeriod.Period - 1, SyainRec[slot].MembKey.bytes());
    if (rest == -999.0) return std::nullopt;
    return rest - yukyuDays;
}

TSlipEntry CalcValueEntry(SlipGroup g, const QString& name, long double value)
{
    TSlipEntry e;
    const auto v = static_cast<double>(value);
    // Beyond eight digits no row holds it, and the rounding must not meet a 32-bit overflow.
    if (!std::isfinite(v) || (g != sgKintai && std::fabs(v) >= 1e8)) {
        e.error = QStringLiteral("入力した数値が上限を超えました。");
        e.refused = true;
        return e;
    }
    if (g == sgKintai) {
        // Checked as the rounded text shown would be (31 days at most), taken as the number given,
        // as a typed entry is.
        e = CheckSlipEntry(g, name, SlipValueText(g, name, v));
        if (e.error.isEmpty()) e.value = v;
        return e;
    }
    int mode = 0;
    if (g == sgKoujo)
        mode = OptionRec.HasuuKou;
    else if (g == sgSikyu)
        mode = name == QStringLiteral("欠勤控除") || name == QStringLiteral("遅刻早退控除")
                   ? OptionRec.HasuuGen
                   : OptionRec.HasuuSik;
    e = CheckSlipEntry(g, name, FmtAmount(10, RoundByMode(mode, v)));
    if (!e.error.isEmpty()) e.refused = true;
    return e;
}

int StepMeisaiSlot(int slot, int dir)
{
    if (!validSlot(slot) || dir == 0) return slot;
    if (const int max = GetMaxMembNo(); max > 0) {
        for (int n = SyainRec[slot].SeqNo + dir; n >= 1 && n <= max; n += dir) {
            const int e = FindMembNo(n);
            if (validSlot(e) && IsZaiseki(e)) return e;
        }
        return slot;
    }
    for (int e = slot + dir; validSlot(e); e += dir)
        if (IsZaiseki(e)) return e;
    return slot;
}

TSlipStepButtons MeisaiStepButtons(int slot)
{
    TSlipStepButtons b;
    if (!validSlot(slot)) return b;
    if (const int max = GetMaxMembNo(); max > 0) {
        const auto active = [](int n) {
            const int e = FindMembNo(n);
            return validSlot(e) && IsZaiseki(e);
        };
        int first = 0, last = 0;
        for (int n = 1; n <= max && !first; ++n)
            if (active(n)) first = n;
        for (int n = max; n >= 1 && !last; --n)
            if (active(n)) last = n;
        const int n = SyainRec[slot].SeqNo;
        b.back = first > 0 && n > first;
        b.next = last > 0 && last > n;
        return b;
    }
    for (int e = 1; e < slot && !b.back; ++e) b.back = IsZaiseki(e);
    for (int e = slot + 1; e <= MaxEmployee && !b.next; ++e) b.next = IsZaiseki(e);
    return b;
}

int NextEditableRow(const std::vector<bool>& editable, int from)
{
    const int n = static_cast<int>(editable.size());
    if (n == 0) return -1;
    const int start = from >= 0 && from < n ? from : n - 1;
    for (int step = 1; step < n + (from >= 0 && from < n ? 0 : 1); ++step) {
        const int i = (start + step) % n;
        if (editable[i]) return i;
    }
    return -1;
}
