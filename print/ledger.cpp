// The ledger grid shared by the per-employee ledger, the pay list and the grand total ledger: rows
// under the settings' flags, the names column, value and total columns; and the three documents.
#include "print/ledger.h"

#include <memory>
#include <vector>

#include "payroll/calc.h"
#include "payroll/captions.h"
#include "payroll/common.h"
#include "payroll/option.h"
#include "payroll/period.h"
#include "payroll/yearfile.h"
#include "platform/cp932.h"
#include "print/dispatch.h"
#include "print/engine.h"
#include "print/pages.h"

namespace {

QString u(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

// The default item names, each with its one-character prefix (F fixed, V variable).
const char* const DefKintaiName[16] = {"F所定労働日数", "V出勤日数",     "V有休日数",     "V欠勤日数",
                                       "V休日出勤日数", "V特別休暇日数", "F所定労働時間", "V実働時間",
                                       "V普通残業時間", "V深夜残業時間", "V休日普通残業", "V休日深夜残業",
                                       "V遅刻早退回数", "V遅刻早退時間", "V勤怠項目",     "V有休残日数"};
const char* const DefSikyuName[18] = {
    "F基本給",       "F役職手当",     "F家族手当",     "F固定手当１",   "F固定手当２",   "F固定手当３",
    "F普通残業手当", "F深夜残業手当", "F休日普通残業", "F休日深夜残業", "F非課税通勤費", "F課税通勤費",
    "F欠勤控除",     "F遅刻早退控除", "V変動手当１",   "V変動手当２",   "V変動手当３",   "F課税支給合計"};
// The deductions in display order; the three bare "F" entries are not rows.
const char* const DefKoujoName[18] = {
    "F健康保険料",   "F介護保険料", "F厚生年金保険", "F厚生年金基金", "F雇用保険料", "F社会保険料計",
    "F社保控除後計", "F",           "F所得税",       "F住民税",       "F固定控除１", "F固定控除２",
    "F固定控除３",   "F",           "V変動控除１",   "V変動控除２",   "V変動控除３", "F"};
const char* const DefSonotaName[3] = {"Vその他１", "Vその他２", "Vその他３"};

// Storage index of each payment entry (18: the taxable total) and each deduction entry (0: none).
constexpr int SikyuStore[18] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 16, 17, 13, 14, 15, 0};
constexpr int KoujoStore[18] = {1, 5, 2, 3, 4, 6, 7, 0, 8, 9, 10, 11, 12, 0, 13, 14, 15, 0};

QString displayName(const char* key)
{
    return GetItemName(u(key)).mid(1);
}

// The flag that hides payment entry k (1..18), deduction entry k, or 0 when the entry always shows.
int payDelFlag(int k)
{
    return k >= 4 && k <= 6 ? k - 3 : k >= 15 && k <= 17 ? k - 11 : 0;
}
int dedDelFlag(int k)
{
    return k >= 11 && k <= 13 ? k - 4 : k >= 15 && k <= 17 ? k - 5 : 0;
}

// The attendance value of added row i by its display name (the user item by its given name).
double kintaiByName(const QString& name, const TKintaiRec& k)
{
    if (name.isEmpty()) return 0;
    for (int i = 1; i <= 15; ++i)
        if (name == u(KintaiItemNames[i])) return k.Kintai[i];
    return name == OptionRec.KintaiFre ? k.Kintai[kiFree] : 0;
}

QString attendanceText(const QString& name, double v)
{
    return IsJikanItem(name) ? FmtJikan(v) : QString::asprintf("%6.2f", v);
}

bool boldRow(DaichoRowKind kind)
{
    return kind == DaichoRowKind::PaySum || kind == DaichoRowKind::DedSum || kind == DaichoRowKind::Santei ||
           kind == DaichoRowKind::Net;
}

constexpr float GridLeft = 10.0f;
constexpr float GridTop = 29.0f;
constexpr float RowPitch = 4.4f;
constexpr float FirstRowY = 33.9f;

float rowY(int i)
{
    return FirstRowY + RowPitch * i;
}

// PrAdjustV lowered for a page and put back however the page ends, a failed read included.
class AdjustV {
  public:
    AdjustV() : saved_(OptionRec.PrAdjustV) {}
    ~AdjustV() { OptionRec.PrAdjustV = saved_; }
    AdjustV(const AdjustV&) = delete;
    AdjustV& operator=(const AdjustV&) = delete;
    void lower(double mm) { OptionRec.PrAdjustV = saved_ - mm; }

  private:
    double saved_;
};

void plainText()
{
    PrnBold = PrnUnderline = PrnItalic = PrnNarrow = false;
}

// Shaded bands, the heavy frame and the line under the headings; narrow text from here on.
void drawGrid(float right, int totalRows)
{
    for (int r = 0; r <= totalRows; r += 2)
        FillBox(GridLeft, GridTop + RowPitch * r, right, GridTop + RowPitch * (r + 1));
    SetPenWidth(PenThick);
    DrawBox(GridLeft, GridTop, right, GridTop + RowPitch * (totalRows + 1));
    DrawLine(GridLeft, 33.4f, right, 33.4f);
    PrnNarrow = true;
}

float gridBottom(int totalRows)
{
    return GridTop + RowPitch * (totalRows + 1);
}

// The names column with the rules between the row groups and the boxes around the sums.
void drawNames(const QList<TDaichoRow>& rows, const TDaichoCounts& c, float right)
{
    for (int i = 0; i < rows.size(); ++i) {
        const TDaichoRow& r = rows[i];
        const float y = rowY(i);
        const DaichoRowKind prev = i > 0 ? rows[i - 1].Kind : r.Kind;
        if (r.Kind == DaichoRowKind::Pay && prev == DaichoRowKind::Added)
            DrawLine(GridLeft, y - 0.5f, right, y - 0.5f);
        if (r.Kind == DaichoRowKind::PaySum || r.Kind == DaichoRowKind::DedSum) {
            SetPenWidth(PenThick);
            DrawBox(GridLeft, y - 0.5f, right, y + 3.9f);
        }
        if (prev == DaichoRowKind::Santei && r.Kind != DaichoRowKind::Santei)
            DrawLine(GridLeft, y - 0.5f, right, y - 0.5f);
        if (r.Kind == DaichoRowKind::Net && c.OtherRows > 0) DrawLine(GridLeft, y - 0.5f, right, y - 0.5f);
        PrnBold = boldRow(r.Kind);
        PrintText(13.0f, y, r.Name);
    }
    PrnBold = false;
}

// How a column of values is written.
enum class ColumnForm {
    Period,       // one period of one employee: attendance, amounts 9 wide, sums bold
    LedgerTotal,  // the ledger's year total: all bold, attendance sums 10 wide, amounts 10 wide
    SumTotal,     // the totals of a list: no attendance, amounts 10 wide, the net 11 wide
};
struct TColumn {
    float x;
    ColumnForm form;
    int period = 0;                // for the pay date row
    bool blankAttendance = false;  // bonus columns of the ledger
    bool bold = false;             // SumTotal
};

void drawColumn(const TColumn& col, const QList<TDaichoRow>& rows, const std::vector<double>& values)
{
    for (int i = 0; i < rows.size(); ++i) {
        const TDaichoRow& r = rows[i];
        const double v = values[size_t(i)];
        float x = col.x;
        QString text;
        if (r.Kind == DaichoRowKind::Added) {
            if (col.form == ColumnForm::SumTotal)
                text.clear();
            else if (r.Item == 17)
                text = col.form == ColumnForm::Period ? FormatPayDate(col.period) : QString();
            else if (col.form == ColumnForm::Period)
                text = col.blankAttendance ? QString() : attendanceText(r.Name, v);
            else if (r.Item != 16)
                text = attendanceText(r.Name, v).rightJustified(10);
        } else if (col.form == ColumnForm::Period) {
            text = FmtAmount(9, v);
        } else if (col.form == ColumnForm::SumTotal && r.Kind == DaichoRowKind::Net) {
            text = FmtAmount(11, v);
            x -= 1.6f;
        } else {
            text = FmtAmount(10, v);
        }
        PrnBold = col.form == ColumnForm::LedgerTotal || (col.form == ColumnForm::SumTotal && col.bold) ||
                  (col.form == ColumnForm::Period && boldRow(r.Kind));
        if (!text.isEmpty()) PrintText(x, rowY(i), text);
    }
    PrnBold = false;
}

std::vector<double> rowValues(const QList<TDaichoRow>& rows, const TKintaiRec& k, const TSikyuRec& s,
                              const TKoujoRec& d)
{
    std::vector<double> v;
    v.reserve(size_t(rows.size()));
    for (const TDaichoRow& r : rows) v.push_back(DaichoValue(r, k, s, d));
    return v;
}

void addTo(std::vector<double>& sums, const std::vector<double>& values)
{
    for (size_t i = 0; i < sums.size(); ++i) sums[i] += values[i];
}

QString eraYearText()
{
    return QStringLiteral("%1%2年").arg(CurPeriod.EraText).arg(CurPeriod.EraYear);
}

// The ledgers' title line: the era year and title large, the company name from corpX below them.
void printLedgerTitle(const QString& title, float corpX)
{
    plainText();
    PrnFontName = OptionRec.FontName;
    SetFontPoint(16);
    PrintText(95, 20, eraYearText());
    PrintText(122, 20, title);
    SetFontPoint(10);
    PrnFontName = OptionRec.FontNameS;
    PrintText(corpX, 21.5f, CorpRec.Syamei.shownText());
    PrnFontName = OptionRec.FontName;
}

}  // namespace

std::vector<double> DaichoValues(const QList<TDaichoRow>& rows, const TKintaiRec& k, const TSikyuRec& s,
                                 const TKoujoRec& d)
{
    return rowValues(rows, k, s, d);
}

TLedgerColumns DaichoYear(const QList<TDaichoRow>& rows, const QByteArray& key, TYearData& year)
{
    TLedgerColumns c;
    c.total.assign(size_t(rows.size()), 0.0);
    for (int p = 1; p <= PeriodCount; ++p) {
        if (!year.saved(p)) continue;
        const TPeriodRecord& rec = year.period(p);
        const QList<int>& found = year.slotsOf(p, key);
        const int s = found.isEmpty() ? 0 : found.last();  // the highest slot of the key
        // A period before the employee came shows zeros.
        static const TKintaiRec noKintai{};
        static const TSikyuRec noSikyu{};
        static const TKoujoRec noKoujo{};
        c.period[p] = s ? rowValues(rows, rec.kintai[s], rec.sikyu[s], rec.koujo[s])
                        : rowValues(rows, noKintai, noSikyu, noKoujo);
        addTo(c.total, c.period[p]);
    }
    return c;
}

TLedgerColumns SoGokeiYear(const QList<TDaichoRow>& rows, TYearData& year)
{
    TLedgerColumns c;
    c.total.assign(size_t(rows.size()), 0.0);
    for (int p = 1; p <= PeriodCount; ++p) {
        if (!year.saved(p)) continue;
        const TPeriodRecord& rec = year.period(p);
        std::vector<double>& sums = c.period[p];
        sums.assign(size_t(rows.size()), 0.0);
        for (int e = 1; e <= MaxEmployee && !rec.syain[e].MembKey.isEmpty(); ++e)
            if (rec.syain[e].Taisyoku.shownText().trimmed().isEmpty())
                addTo(sums, rowValues(rows, rec.kintai[e], rec.sikyu[e], rec.koujo[e]));
        addTo(c.total, sums);
    }
    return c;
}

TDaichoCounts CountDaichoColumns()
{
    TDaichoCounts c;
    for (int i = 1; i <= 17; ++i)
        if (DaichoAddFlag[i]) ++c.Added, ++c.TotalRows;
    for (int i = 1; i <= 15; ++i) {
        if (!DaichoDelFlag[i]) continue;
        --c.TotalRows;
        if (i <= 6)
            --c.PayRows;
        else if (i <= 12)
            --c.DedRows;
        else
            --c.OtherRows;
    }
    return c;
}

QList<TDaichoRow> DaichoRows(bool bonusNames)
{
    QList<TDaichoRow> rows;
    for (int i = 1; i <= 17; ++i)
        if (DaichoAddFlag[i])
            rows.append(
                {DaichoRowKind::Added, i, i == 17 ? u("支給月日") : displayName(DefKintaiName[i - 1])});
    for (int k = 1; k <= 18; ++k) {
        if (payDelFlag(k) && DaichoDelFlag[payDelFlag(k)]) continue;
        QString name = displayName(DefSikyuName[k - 1]);
        if (bonusNames && k == 1) name = u("賞与");
        if (bonusNames && k == 2) name = u("役員報酬");
        rows.append({DaichoRowKind::Pay, k, name});
    }
    rows.append({DaichoRowKind::PaySum, 0, u("支給項目合計")});
    for (int k = 1; k <= 18; ++k) {
        if (KoujoStore[k - 1] == 0 || (dedDelFlag(k) && DaichoDelFlag[dedDelFlag(k)])) continue;
        rows.append({DaichoRowKind::Ded, k, displayName(DefKoujoName[k - 1])});
    }
    rows.append({DaichoRowKind::DedSum, 0, u("控除項目合計")});
    rows.append({DaichoRowKind::Santei, 0, u("社保算定合計")});
    for (int i = 1; i <= 3; ++i)
        if (!DaichoDelFlag[12 + i]) rows.append({DaichoRowKind::Other, i, displayName(DefSonotaName[i - 1])});
    rows.append({DaichoRowKind::Net, 0, u("差引支給額")});
    return rows;
}

double DaichoValue(const TDaichoRow& row, const TKintaiRec& k, const TSikyuRec& s, const TKoujoRec& d)
{
    switch (row.Kind) {
        case DaichoRowKind::Added:
            return row.Item == 17 ? 0 : kintaiByName(row.Name, k);
        case DaichoRowKind::Pay: {
            const int store = SikyuStore[row.Item - 1];
            return store ? s.Sikyu[store] : s.KazeiGoukei;
        }
        case DaichoRowKind::PaySum:
            return s.SikyuGoukei;
        case DaichoRowKind::Ded:
            return d.Koujo[KoujoStore[row.Item - 1]];
        case DaichoRowKind::DedSum:
            return d.KoujoGoukei;
        case DaichoRowKind::Santei:
            return d.SyahoSantei;
        case DaichoRowKind::Other:
            return d.Sonota[row.Item];
        case DaichoRowKind::Net:
            return double(s.SikyuGoukei) - d.KoujoGoukei + d.Sonota[1] + d.Sonota[2] + d.Sonota[3];
    }
    return 0;
}

QString DaichoPeriodTitle(int p)
{
    static const char* const months[12] = {"１月給与", "２月給与", "３月給与", "４月給与",
                                           "５月給与", "６月給与", "７月給与", "８月給与",
                                           "９月給与", "10月給与", "11月給与", "12月給与"};
    if (p >= 1 && p <= MonthPeriods) return u(months[p - 1]);
    if (IsBonusPeriod(p) && p <= PeriodCount) return PeriodTitles[p];
    return {};
}

void PrintKyuyoDaicho(int slot)
{
    if (slot < 1 || slot > MaxEmployee) return;
    const TEmployeeRec& E = SyainRec[slot];
    AdjustV adjust;
    adjust.lower(7.0);
    printLedgerTitle(u("社 員 別 給 与 台 帳"), 12);
    PrintText(190, 21.5f, u("氏名:") + E.Simei.shownText());
    if (E.Sex == 1 || E.Sex == 2) PrintText(232, 21.5f, E.Sex == 1 ? u("性別:男") : u("性別:女"));
    PrintText(250, 21.5f, PrintDateText);

    adjust.lower(10.0);
    const TDaichoCounts c = CountDaichoColumns();
    const QList<TDaichoRow> rows = DaichoRows();
    constexpr float right = 285.0f;
    drawGrid(right, c.TotalRows);
    // Sixteen lines, fifteen headings: the total column has its own heading.
    for (int col = 0; col <= 15; ++col) {
        const float x = 35.0f + 15.5f * col;
        DrawLine(x, GridTop, x, gridBottom(c.TotalRows));
        if (col < 15) PrintText(x + 1.0f, 30.0f, DaichoPeriodTitle(col + 1));
    }
    PrnBold = true;
    PrintText(270.5f, 30.0f, u("合   計"));
    PrnBold = false;
    drawNames(rows, c, right);

    TPageYearData year;  // shared by the pages of a print job
    const TLedgerColumns cols = DaichoYear(rows, E.MembKey.bytes(), year.get());
    for (int p = 1; p <= PeriodCount; ++p)
        if (!cols.period[p].empty())
            drawColumn({36.0f + 15.5f * (p - 1), ColumnForm::Period, p, IsBonusPeriod(p)}, rows,
                       cols.period[p]);
    drawColumn({268.5f, ColumnForm::LedgerTotal}, rows, cols.total);
}

void PrintSoGokeiDaicho(int page)
{
    AdjustV adjust;
    adjust.lower(7.0);
    printLedgerTitle(u("給与/賞与総合計台帳"), 10);
    PrintText(230, 21.5f, PrintDateText);
    PrintText(270, 21.5f, QStringLiteral("Page %1 / %2").arg(page).arg(PageCount));

    adjust.lower(10.0);
    const TDaichoCounts c = CountDaichoColumns();
    const QList<TDaichoRow> rows = DaichoRows();
    constexpr float right = 290.0f;
    drawGrid(right, c.TotalRows);
    for (int col = 0; col <= 9; ++col) {
        const float x = 35.0f + 25.5f * col;
        DrawLine(x, GridTop, x, gridBottom(c.TotalRows));
        const int q = 10 * (page - 1) + col + 1;
        if (q <= PeriodCount) PrintText(x + 7.0f, 30.0f, DaichoPeriodTitle(q));
        if (q == PeriodCount + 1) PrintText(x + 7.0f, 30.0f, u(" 合　計"));
    }
    drawNames(rows, c, right);

    TPageYearData year;
    const TLedgerColumns cols = SoGokeiYear(rows, year.get());
    for (int col = 0; col <= 9; ++col) {
        const int q = 10 * (page - 1) + col + 1;
        if (q <= PeriodCount && !cols.period[q].empty())
            drawColumn({40.0f + 25.5f * col, ColumnForm::SumTotal}, rows, cols.period[q]);
    }
    if (page == 2) drawColumn({167.5f, ColumnForm::SumTotal}, rows, cols.total);
}

// ---- the pay and bonus list ----

namespace {

struct TListTitle {
    QString text;
    float x;
    bool compact;
};

// The month the list names and its era and year text, after the previous-month shift and the
// change of era on 1 May of year 31.
struct TListMonth {
    QString year;  // "令和8年 "
    int month;
    bool previous;
};
TListMonth listMonth(int p)
{
    TListMonth lm;
    int y = CurPeriod.EraYear;
    lm.month = !IsBonusPeriod(p) ? p : (p <= PeriodCount ? YearHeader.SyoyoMonth[p - 12] : 0);
    lm.previous = CorpRec.SikyuShift == -1 && !IsBonusPeriod(p);
    if (lm.previous && --lm.month < 1) {
        lm.month = 12;
        --y;
    }
    lm.year = QStringLiteral("%1%2年 ").arg(CurPeriod.EraText).arg(y);
    // Only the earlier era's year 31 changed era on 1 May.
    if (CurPeriod.EraText == EraName[1] && y == 31 && lm.month >= 5) lm.year = EraName[2] + u("1年 ");
    return lm;
}

bool payDatePrinted(int p)
{
    return p >= 1 && p <= PeriodCount && YearHeader.PrnMonth[p] != 0 && YearHeader.PrnDay[p] != 0;
}

// The first characters of the special bonus's name that fit in eight bytes, a blank between
// them: a half-width character is one character, not half of a pair.
QString spacedName(const QString& name)
{
    QStringList chars;
    int bytes = 0;
    for (const QChar ch : name) {
        bytes += cp932::byteLength(QString(ch));
        if (bytes > 8) break;
        chars << QString(ch);
    }
    return chars.join(QLatin1Char(' '));
}

TListTitle listTitle(int p)
{
    const TListMonth lm = listMonth(p);
    const QString s = OptionRec.SyoyoName ? u("季") : u("期");
    if (payDatePrinted(p)) {
        QString t = p == 13   ? lm.year + u("夏") + s + u("賞与")
                    : p == 14 ? lm.year + u("冬") + s + u("賞与")
                    : p == 15 ? lm.year + OptionRec.TokuSyoyo
                              : QStringLiteral("%1%2月分給与").arg(lm.year).arg(lm.month);
        return {t + u("一覧"), 95.0f, true};
    }
    QString t = p == 13       ? lm.year + u("夏 ") + s + u(" 賞 与 一 覧")
                : p == 14     ? lm.year + u("冬 ") + s + u(" 賞 与 一 覧")
                : p == 15     ? lm.year + spacedName(OptionRec.TokuSyoyo) + u(" 一 覧")
                : lm.previous ? QStringLiteral("%1%2月分給与一覧").arg(lm.year).arg(lm.month)
                              : QStringLiteral("%1%2 月 分 給 与 一 覧").arg(lm.year).arg(lm.month);
    return {t, 100.0f, false};
}

int slotOfKey(const QString& key)
{
    int slot = 0;
    for (int e = 1; e <= MaxEmployee && !key.isEmpty(); ++e)
        if (SyainRec[e].MembKey.shownText() == key) slot = e;
    return slot;
}

void drawEmployee(int k, int slot, int p, const QList<TDaichoRow>& rows)
{
    PrnBold = false;
    PrintText(35.5f + 25.5f * (k - 1), 29.5f, SyainRec[slot].Simei.shownText());
    drawColumn({40.0f + 25.5f * (k - 1), ColumnForm::Period, p}, rows,
               rowValues(rows, KintaiRec[slot], SikyuRec[slot], KoujoRec[slot]));
}

// Sums of the period image over the employees in use up to the first free slot, not retired,
// that pass the filter; count gets how many were summed.
template <typename F>
std::vector<double> imageTotals(const QList<TDaichoRow>& rows, F take, int& count)
{
    std::vector<double> sums(size_t(rows.size()), 0.0);
    count = 0;
    for (int e = 1; e <= MaxEmployee && !SyainRec[e].MembKey.isEmpty(); ++e) {
        if (IsTaisyoku(e) || !take(e)) continue;
        addTo(sums, rowValues(rows, KintaiRec[e], SikyuRec[e], KoujoRec[e]));
        ++count;
    }
    return sums;
}

// The employees of the old layout: slot order up to the first free slot, retired ones skipped.
QList<int> oldLayoutSlots()
{
    QList<int> listed;
    for (int e = 1; e <= MaxEmployee && !SyainRec[e].MembKey.isEmpty(); ++e)
        if (!IsTaisyoku(e)) listed << e;
    return listed;
}

void printOldLayout(int page, int p, const QList<TDaichoRow>& rows)
{
    const QList<int> listed = oldLayoutSlots();
    int k = 1;
    for (; k <= 10 && 10 * (page - 1) + k <= listed.size(); ++k)
        drawEmployee(k, listed[10 * (page - 1) + k - 1], p, rows);
    // Subtotal column j follows the employees: columns taken before this page's first one.
    const int kubun = int(IchiranKubun.size());
    int j = std::max(0, 10 * (page - 1) - int(listed.size())) + 1;
    for (; k <= 10 && j <= kubun + 1; ++k, ++j) {
        int n = 0;
        const QString name = j <= kubun ? IchiranKubun[j - 1] : QString();
        const std::vector<double> sums = imageTotals(
            rows, [&](int e) { return j > kubun || GetKubunName(e) == name; }, n);
        PrnBold = true;
        if (j <= kubun) {
            QString label = QStringLiteral("%1計(%2名)").arg(name, QString::number(n));
            if (cp932::byteLength(label) > 16)
                label = QStringLiteral("%1計(%2)").arg(name, QString::number(n));
            PrintText(35.5f + 25.5f * (k - 1), 29.5f, label);
        } else {
            PrintText(40.0f + 25.5f * (k - 1), 29.5f, QStringLiteral("合 計(%1名)").arg(n));
        }
        drawColumn({40.0f + 25.5f * (k - 1), ColumnForm::SumTotal, p, false, true}, rows, sums);
    }
}

}  // namespace

std::vector<double> IchiranTotals(const QList<TDaichoRow>& rows, int mode, const QString& group, int& count)
{
    return imageTotals(
        rows,
        [&](int e) {
            return mode == 1   ? GetKubunName(e) == group
                   : mode == 2 ? SyainRec[e].Busyo.shownText() == group
                               : true;
        },
        count);
}

QString IchiranTitle(int period)
{
    return listTitle(period).text;
}

void PrintKyuyoIchiran(int page, int mode)
{
    const int p = IchiranPeriod;
    AdjustV adjust;
    adjust.lower(7.0);
    plainText();
    PrnFontName = OptionRec.FontName;
    SetFontPoint(16);
    const TListTitle title = listTitle(p);
    PrintText(title.x, 20, title.text);
    SetFontPoint(10);
    PrnFontName = OptionRec.FontNameS;
    PrintText(10, 21.5f, CorpRec.Syamei.shownText());
    PrnFontName = OptionRec.FontName;
    if (payDatePrinted(p))
        PrintText(165, 21.5f,
                  QStringLiteral("支給日:%1月%2日").arg(YearHeader.PrnMonth[p]).arg(YearHeader.PrnDay[p]));
    else if (listMonth(p).previous)
        PrintText(170, 21.5f, QStringLiteral("(%1月支給)").arg(p));
    PrintText(230, 21.5f, PrintDateText);
    PrintText(270, 21.5f, QStringLiteral("Page %1 / %2").arg(page).arg(PageCount));
    const bool grouped = mode == 1 || mode == 2;
    const TIchiranPage* group =
        grouped && page >= 1 && page <= IchiranPage.size() ? &IchiranPage[page - 1] : nullptr;
    if (group && !group->GroupName.isEmpty())
        PrintText(195, 21.5f, QStringLiteral("[%1]").arg(group->GroupName));

    adjust.lower(10.0);
    const TDaichoCounts c = CountDaichoColumns();
    const QList<TDaichoRow> rows = DaichoRows(IsBonusPeriod(p));
    constexpr float right = 290.0f;
    drawGrid(right, c.TotalRows);
    for (int col = 0; col <= 9; ++col) {
        const float x = 35.0f + 25.5f * col;
        DrawLine(x, GridTop, x, gridBottom(c.TotalRows));
    }
    drawNames(rows, c, right);
    if (mode == 0 && OptionRec.OldIchiran) {
        printOldLayout(page, p, rows);
        return;
    }

    int k = 0;
    if (grouped) {
        if (!group) return;
        for (int i = 1; i <= 10 && !group->Members[i].isEmpty(); ++i) {
            const int slot = slotOfKey(group->Members[i]);
            if (slot && !IsTaisyoku(slot)) drawEmployee(++k, slot, p, rows);
        }
    } else {
        QList<int> listed;
        for (int s : IchiranLines)
            if (s >= 1 && s <= MaxEmployee && !IsTaisyoku(s)) listed << s;
        for (int i = 10 * (page - 1); i < listed.size() && k < 10; ++i) drawEmployee(++k, listed[i], p, rows);
    }
    if (page != PageCount && !(group && group->LastOfGroup)) return;
    if (k >= 10) return;  // no free column (the page counts leave one)
    ++k;
    int n = 0;
    const std::vector<double> sums = IchiranTotals(rows, mode, group ? group->GroupName : QString(), n);
    PrnBold = true;
    PrintText(40.0f + 25.5f * (k - 1), 29.5f, u("　合　計"));
    drawColumn({40.0f + 25.5f * (k - 1), ColumnForm::SumTotal, p, false, true}, rows, sums);
}
