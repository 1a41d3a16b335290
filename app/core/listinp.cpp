// The list-entry grids without widgets: columns, rows, cell texts, entry checks and read-back.
#include "app/core/listinp.h"

#include <initializer_list>

#include "payroll/calc.h"
#include "payroll/common.h"
#include "payroll/option.h"
#include "payroll/otherperiod.h"
#include "payroll/period.h"
#include "payroll/slipitems.h"
#include "platform/errors.h"

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// Rows of one slip item list: an entry gets a row when for some pay type it carries the prefix
// and a display name; the row records for which pay types that holds.
template <int N>
void addRows(std::vector<TGridRow>& rows, const Arr<Arr<QString, 1, N>, 1, 3>& list, TRowList from,
             QChar prefix, std::initializer_list<const char*> skip = {})
{
    for (int r = 1; r <= N; ++r) {
        TGridRow row;
        row.list = from;
        bool any = false;
        for (int t = PayType::Monthly; t <= PayType::Hourly; ++t) {
            const QString item = GetItemName(list[t][r]);
            const QString name = item.mid(1).trimmed();
            bool on = item.startsWith(prefix) && !name.isEmpty();
            for (const char* s : skip) on = on && name != u(s);
            row.onForm[t] = on;
            if (on) {
                row.name = name;
                any = true;
            }
        }
        if (any) rows.push_back(row);
    }
}

int userIndex(const Arr<QString, 1, 3>& names, const QString& name)
{
    for (int i = 1; i <= 3; ++i)
        if (!names[i].isEmpty() && names[i] == name) return i;
    return 0;
}

// The attendance index of an item name, 0 for none.
int kintaiIndex(const QString& name)
{
    for (int k = 1; k <= 15; ++k)
        if (name == u(KintaiItemNames[k])) return k;
    return !OptionRec.KintaiFre.isEmpty() && name == OptionRec.KintaiFre ? 16 : 0;
}

bool isDayItem(const QString& name)
{
    for (const char* d : {"出勤日数", "有休日数", "欠勤日数", "休日出勤日数", "特別休暇日数"})
        if (name == u(d)) return true;
    return false;
}

int columnSlot(const TListGrid& g, int col)
{
    return col >= 1 && col < g.colCount() ? g.FindGridMemb(col) : -1;
}

// The pay type of a slot, 0 when it is none of 1..3 (such an employee has no item on his slip).
int formType(int slot)
{
    const int t = SyainRec[slot].Keitai;
    return IsPayType(t) ? t : 0;
}

using Target = TListGrid::Target;

struct NameK {
    const char* name;
    int k;
};

// Where a grid row's value goes back to, by the row's name: attendance in months (the two
// holiday-overtime names only on 変動項目, where they are hours, not the payments of the same
// names), then the page's payments and deductions.
Target readTarget(TGridKind kind, const QString& name, bool bonus)
{
    const TOptionRec& o = OptionRec;
    const bool hendou = kind == TGridKind::Hendou;
    const auto match = [&](std::initializer_list<NameK> list, Target::Kind to) -> Target {
        for (const NameK& e : list)
            if (name == u(e.name)) return {to, e.k};
        return {};
    };
    Target t;
    if (!bonus) {
        t = match({{"出勤日数", 2},
                   {"有休日数", 3},
                   {"欠勤日数", 4},
                   {"休日出勤日数", 5},
                   {"特別休暇日数", 6},
                   {"実働時間", 8},
                   {"普通残業時間", 9},
                   {"深夜残業時間", 10},
                   {"遅刻早退回数", 13},
                   {"遅刻早退時間", 14},
                   {"有休残日数", 15}},
                  Target::Kintai);
        if (t.kind) return t;
        if (hendou && (t = match({{"休日普通残業", 11}, {"休日深夜残業", 12}}, Target::Kintai)).kind)
            return t;
        if (!o.KintaiFre.isEmpty() && name == o.KintaiFre) return {Target::Kintai, 16};
    }
    if (hendou) {
        if (bonus && (t = match({{"賞与", siKihon}, {"役員報酬", siYakusyoku}}, Target::Sikyu)).kind)
            return t;
        if (int i = userIndex(o.VarTeate, name)) return {Target::Sikyu, 12 + i};
        if (int i = userIndex(o.Sonota, name)) return {Target::Sonota, i};
        if (int i = userIndex(o.VarKoujo, name)) return {Target::Koujo, 12 + i};
        return {};
    }
    if (!bonus) {
        t = match({{"基本給", 1},
                   {"役職手当", 2},
                   {"家族手当", 3},
                   {"普通残業手当", 7},
                   {"深夜残業手当", 8},
                   {"休日普通残業", 9},
                   {"休日深夜残業", 10},
                   {"非課税通勤費", 11},
                   {"課税通勤費", 12},
                   {"欠勤控除", 16},
                   {"遅刻早退控除", 17}},
                  Target::Sikyu);
        if (t.kind) return t;
    }
    if (int i = userIndex(o.FixTeate, name)) return {Target::Sikyu, 3 + i};
    t = match({{"健康保険料", 1},
               {"厚生年金保険", 2},
               {"厚生年金基金", 3},
               {"雇用保険料", 4},
               {"介護保険料", 5},
               {"所得税", 8}},
              Target::Koujo);
    if (t.kind) return t;
    if (!bonus && name == u("住民税")) return {Target::Koujo, koJuumin};
    if (int i = userIndex(o.FixKoujo, name)) return {Target::Koujo, 9 + i};
    return {};
}

}  // namespace

// ---- the grid ----

QString TListGrid::cell(int col, int row) const
{
    if (col < 0 || row < 0 || col >= colCount() || row >= rowCount() || (col == 0 && row == 0)) return {};
    if (row == 0) return names_[size_t(col - 1)];
    if (col == 0) return rows_[size_t(row - 1)].name;
    return cells_[size_t(row - 1) * keys_.size() + size_t(col - 1)];
}

void TListGrid::setCell(int col, int row, const QString& text)
{
    if (col >= 1 && row >= 1 && col < colCount() && row < rowCount())
        cells_[size_t(row - 1) * keys_.size() + size_t(col - 1)] = text;
}

void TListGrid::enterCell(int col, int row, const QString& text, double value)
{
    if (col < 1 || row < 1 || col >= colCount() || row >= rowCount()) return;
    const size_t i = size_t(row - 1) * keys_.size() + size_t(col - 1);
    cells_[i] = text;
    typed_[i] = value;
}

std::optional<double> TListGrid::typedValue(int col, int row) const
{
    if (col < 1 || row < 1 || col >= colCount() || row >= rowCount()) return std::nullopt;
    return typed_[size_t(row - 1) * keys_.size() + size_t(col - 1)];
}

QByteArray TListGrid::key(int col) const
{
    return col >= 1 && col < colCount() ? keys_[size_t(col - 1)] : QByteArray();
}

int TListGrid::FindGridMemb(int col) const
{
    const QByteArray k = key(col);
    if (k.isEmpty()) return -1;  // an empty key would match every free slot
    int& known = slots_[size_t(col - 1)];
    if (known >= 1 && known <= MaxEmployee && SyainRec[known].MembKey.bytes() == k) return known;
    for (int e = 1; e <= MaxEmployee; ++e)
        if (SyainRec[e].MembKey.bytes() == k) return known = e;
    return -1;
}

int TListGrid::columnOfKey(const QByteArray& k) const
{
    if (k.isEmpty()) return -1;
    for (size_t c = 0; c < keys_.size(); ++c)
        if (keys_[c] == k) return int(c) + 1;
    return -1;
}

void TListGrid::setColumns(const QList<int>& order)
{
    names_.clear();
    keys_.clear();
    slots_.clear();
    for (int e : order) {
        names_.push_back(SyainRec[e].Simei.shownText());
        keys_.push_back(SyainRec[e].MembKey.bytes());
        slots_.push_back(e);
    }
    cells_.assign(rows_.size() * keys_.size(), QString());
    typed_.assign(cells_.size(), std::nullopt);
}

void TListGrid::setRows(std::vector<TGridRow> rows)
{
    rows_ = std::move(rows);
    targetsBonus_ = -1;
    refill();
}

void TListGrid::refill()
{
    cells_.assign(rows_.size() * keys_.size(), QString());
    typed_.assign(cells_.size(), std::nullopt);
    for (int c = 1; c < colCount(); ++c) {
        const int e = FindGridMemb(c);
        if (e < 1) continue;
        for (int r = 1; r < rowCount(); ++r) setCell(c, r, CellText(kind_, rows_[size_t(r - 1)], e));
    }
}

const std::vector<TListGrid::Target>& TListGrid::targets(bool bonus) const
{
    if (targetsBonus_ != int(bonus)) {
        targets_.clear();
        for (const TGridRow& r : rows_) targets_.push_back(readTarget(kind_, r.name, bonus));
        targetsBonus_ = int(bonus);
    }
    return targets_;
}

// ---- columns and rows ----

bool GetColumnSlot(int n, int& slot)
{
    slot = GetMaxMembNo() > 0 ? FindMembNo(n) : n;
    return slot >= 1 && slot <= MaxEmployee && IsZaiseki(slot);
}

QList<int> ListColumnSlots()
{
    QList<int> order;
    bool taken[MaxEmployee + 1] = {};
    for (int n = 1, e = 0; n <= MaxEmployee; ++n)
        if (GetColumnSlot(n, e) && !taken[e]) {
            order << e;
            taken[e] = true;
        }
    for (int e = 1; e <= MaxEmployee; ++e)
        if (IsZaiseki(e) && !taken[e]) order << e;
    return order;
}

std::vector<TGridRow> HendouRows(bool bonus)
{
    std::vector<TGridRow> rows;
    if (!bonus) addRows(rows, KintaiList, TRowList::Kintai, QLatin1Char('V'));
    addRows(rows, SikyuList, TRowList::Sikyu, QLatin1Char('V'));
    addRows(rows, KoujoList, TRowList::Koujo, QLatin1Char('V'));
    addRows(rows, SonotaList, TRowList::Sonota, QLatin1Char('V'));
    return rows;
}

std::vector<TGridRow> KoteiRows()
{
    std::vector<TGridRow> rows;
    addRows(rows, SikyuList, TRowList::Sikyu, QLatin1Char('F'), {"課税支給合計"});
    addRows(rows, KoujoList, TRowList::Koujo, QLatin1Char('F'), {"社会保険料計", "社保控除後計"});
    return rows;
}

QString CellText(TGridKind, const TGridRow& row, int e)
{
    const TOptionRec& o = OptionRec;
    switch (row.list) {
        case TRowList::Kintai: {
            const int k = kintaiIndex(row.name);
            const double v = k ? KintaiRec[e].Kintai[k] : 0.0;
            return IsJikanItem(row.name) ? FmtJikan(v) : QString::asprintf("%6.2f", v);
        }
        case TRowList::Sikyu: {
            int k = SikyuIndex(row.name);
            if (!k && (k = userIndex(o.VarTeate, row.name))) k += 12;
            return FmtAmount(7, k ? SikyuRec[e].Sikyu[k] : 0);
        }
        case TRowList::Koujo: {
            int k = KoujoIndex(row.name);
            if (!k && (k = userIndex(o.VarKoujo, row.name))) k += 12;
            return FmtAmount(7, k ? KoujoRec[e].Koujo[k] : 0);
        }
        case TRowList::Sonota: {
            const int j = userIndex(o.Sonota, row.name);
            return FmtAmount(7, j ? SikyuRec[e].Sonota[j] : 0);
        }
    }
    return {};
}

// ---- cells ----

bool IsCellEditable(const TListGrid& g, int col, int row)
{
    if (row < 1 || row >= g.rowCount()) return false;
    const int e = columnSlot(g, col);
    if (e < 1) return false;
    const int t = formType(e);
    return t && g.row(row).onForm[t];
}

bool IsCellManual(const TListGrid& g, int col, int row)
{
    if (g.kind() != TGridKind::Kotei || row < 1 || row >= g.rowCount()) return false;
    const int e = columnSlot(g, col);
    if (e < 1) return false;
    const QString& name = g.row(row).name;
    if (const int k = SikyuIndex(name)) return SikyuRec[e].SikyuManual[k] != 0;
    if (const int k = KoujoIndex(name)) return KoujoRec[e].KoujoManual[k] != 0;
    return false;
}

void MarkCellManual(const TListGrid& g, int col, int row)
{
    if (g.kind() != TGridKind::Kotei || row < 1 || row >= g.rowCount()) return;
    const int e = columnSlot(g, col);
    if (e < 1) return;
    const QString& name = g.row(row).name;
    if (const int k = SikyuIndex(name))
        SikyuRec[e].SikyuManual[k] = 1;
    else if (const int k = KoujoIndex(name))
        KoujoRec[e].KoujoManual[k] = 1;
}

QString AllowedChars(const TListGrid& g, int row)
{
    if (row < 1 || row >= g.rowCount() || !g.row(row).kintai()) return QStringLiteral("-");
    return IsJikanItem(g.row(row).name) ? QStringLiteral("-.:") : QStringLiteral("-.");
}

int CellTag(const TListGrid& g, int row)
{
    if (row < 1 || row >= g.rowCount() || !g.row(row).kintai()) return 90;
    return isDayItem(g.row(row).name) ? 52 : 62;
}

TCellEntry CheckCellEntry(const TListGrid& g, int row, const QString& typed)
{
    TCellEntry r;
    if (row < 1 || row >= g.rowCount()) return r;
    const TGridRow& item = g.row(row);
    const TEntryNumber n = ParseEntryNumber(typed, CellTag(g, row), item.kintai());
    r.error = n.error;
    r.accepted = !n.refused;
    // A day count above 31 empties the cell.
    if (n.refused || !n.error.isEmpty()) return r;
    r.value = n.value;
    if (!item.kintai())
        r.text = FmtAmount(7, n.value);
    else
        r.text = IsJikanItem(item.name) ? FmtJikan(n.value) : QString::asprintf("%6.2f", n.value);
    return r;
}

int NextEditRow(const TListGrid& g, int col, int row)
{
    const int items = g.rowCount() - 1;
    const int e = columnSlot(g, col);
    if (items < 1 || e < 1) return row;
    const int t = formType(e);
    if (!t) return row;
    const int from = row >= 1 && row <= items ? row : items;
    for (int i = 1; i <= items; ++i) {
        const int r = (from - 1 + i) % items + 1;
        if (g.row(r).onForm[t]) return r;
    }
    return row;
}

int FindGridRow(const TListGrid& g, const QString& name)
{
    for (int r = 1; r < g.rowCount(); ++r)
        if (g.row(r).name == name) return r;
    return -1;
}

bool UpdateYukyuZan(TListGrid& g, int col)
{
    const int taken = FindGridRow(g, QStringLiteral("有休日数"));
    const int rest = FindGridRow(g, QStringLiteral("有休残日数"));
    const int e = columnSlot(g, col);
    if (g.kind() != TGridKind::Hendou || taken < 1 || rest < 1 || e < 1) return false;
    // Days not typed are the stored ones, and so is the remainder worked out from them.
    const std::optional<double> days = g.typedValue(col, taken);
    if (!days) return false;
    const double prev = GetPrevYukyuZan(CurPeriod.Period - 1, SyainRec[e].MembKey.bytes());
    if (prev == -999.0) return false;
    g.enterCell(col, rest, QString::asprintf("%6.2f", prev - *days), prev - *days);
    return true;
}

// ---- read-back ----

bool ReadGridColumn(const TListGrid& g, int e, bool bonus)
{
    const int col = g.columnOfKey(SyainRec[e].MembKey.bytes());
    if (col < 1) return false;
    const std::vector<Target>& targets = g.targets(bonus);
    for (int r = 1; r < g.rowCount(); ++r) {
        const Target t = targets[size_t(r - 1)];
        // A cell nobody typed in shows the record's value rounded to what the cell can show: read
        // back, 7:20 would become 7.33 hours and 9.875 days 9.88.
        const std::optional<double> typed = g.typedValue(col, r);
        if (t.kind == Target::None || !typed) continue;
        const double v = *typed;
        switch (t.kind) {
            case Target::Kintai:
                KintaiRec[e].Kintai[t.k] = v;
                break;
            case Target::Sikyu:
                SikyuRec[e].Sikyu[t.k] = FitInt32(TruncEps(v));
                break;
            case Target::Koujo:
                KoujoRec[e].Koujo[t.k] = FitInt32(TruncEps(v));
                break;
            case Target::Sonota:
                SikyuRec[e].Sonota[t.k] = KoujoRec[e].Sonota[t.k] = FitInt32(TruncEps(v));
                break;
            case Target::None:
                break;
        }
    }
    return true;
}
