// The employee information list, the money denomination table and the resident tax by
// municipality, drawn from the period image in memory.
#include "print/lists.h"

#include "payroll/calc.h"
#include "payroll/captions.h"
#include "payroll/common.h"
#include "payroll/option.h"
#include "payroll/period.h"
#include "platform/cp932.h"
#include "print/engine.h"
#include "print/pages.h"

namespace {

QString u(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

void plainText()
{
    PrnBold = PrnUnderline = PrnItalic = PrnNarrow = false;
}

bool inUse(int slot)
{
    return slot >= 1 && slot <= MaxEmployee && !SyainRec[slot].MembKey.isEmpty();
}

// The heading shared by the two portrait lists: title, period in brackets, company, date, page.
void portraitHeading(const QString& title, const QString& period, int page)
{
    plainText();
    PrnFontName = OptionRec.FontName;
    SetFontPoint(16);
    PrintText(70, 12, title);
    SetFontPoint(12);
    PrintText(127, 12.5f, period);
    SetFontPoint(10);
    PrnFontName = OptionRec.FontNameS;
    PrintText(20, 19, CorpRec.Syamei.shownText());
    PrnFontName = OptionRec.FontName;
    PrintText(140, 19, PrintDateText);
    PrintText(175, 19, QStringLiteral("Page %1 / %2").arg(page).arg(PageCount));
}

// Era name and year of a pay month of the data year: pays from May of year 31 on fall in the
// first year of the later era.
void eraOfMonth(int month, QString& era, int& year)
{
    era = CurPeriod.EraText;
    year = CurPeriod.EraYear;
    if (era == EraName[1] && year == 31 && month >= 5) {
        era = EraName[2];
        year = 1;
    }
}

int payMonth(int p)
{
    return !IsBonusPeriod(p) ? p : (p <= PeriodCount ? YearHeader.SyoyoMonth[p - 12] : 0);
}

// ---- employee information list ----

const char* const MeiboLabels[31] = {
    "氏　　名",      "部　　署",       "社員区分",       "支給形態",       "税額表  ",       "扶養人数",
    "基本給  ",      "残業手当(普通)", "残業手当(深夜)", "休日残業(普通)", "休日残業(深夜)", "交通費(非課税)",
    "交通費(課税)",  "　支給単位  ",   "住民税(６月)",   "住民税(以外)",   "役職手当  ",     "家族手当  ",
    "固定手当１",    "固定手当２",     "固定手当３",     "固定控除１",     "固定控除２",     "固定控除３",
    "雇用保険対象",  "健康保険料",     "介護保険料",     "厚生年金保険料", "厚生年金掛け金", "退職年月日",
    "メールアドレス"};

// The commuting payment rule as the employee window names it; a code outside the list shows
// nothing.
QString unitText(int rule)
{
    static const char* const units[11] = {"１日毎",     "毎月",   "1,4,7,10月", "2,5,8,11月",
                                          "3,6,9,12月", "1, 7月", "2, 8月",     "3, 9月",
                                          "4,10月",     "5,11月", "6,12月"};
    return rule >= CommutingRule::PerDay && rule <= CommutingRule::HalfYearlyLast ? u(units[rule - 1])
                                                                                  : QString();
}

const QString NotApplied = QStringLiteral("     －");

}  // namespace

QList<int> PrintOrder()
{
    QList<int> order;
    for (int k = 1; k <= MaxEmployee; ++k)
        for (int e = 1; e <= MaxEmployee; ++e)
            if (inUse(e) && SyainRec[e].SeqNo == k) order << e;
    for (int e = 1; e <= MaxEmployee; ++e)
        if (inUse(e) && !order.contains(e)) order << e;
    return order;
}

void PrintMeibo(int page, const TMembers& members)
{
    plainText();
    PrnFontName = OptionRec.FontName;
    SetFontPoint(16);
    PrintText(100, 18, u("社 員 情 報 一 覧 表"));
    SetFontPoint(10);
    PrnFontName = OptionRec.FontNameS;
    PrintText(12, 20, CorpRec.Syamei.shownText());
    PrnFontName = OptionRec.FontName;
    PrintText(220, 20, PrintDateText);
    PrintText(260, 20, QStringLiteral("Page %1 / %2").arg(page).arg(PageCount));

    for (int band = 0; band <= 31; band += 2) FillBox(10, 27 + 5.5f * band, 288, 27 + 5.5f * (band + 1));
    FillBox(10, 27 + 5.5f * 31, 288, 203);
    SetPenWidth(PenThick);
    DrawBox(10, 27, 288, 203);
    DrawLine(10, 32.5f, 288, 32.5f);
    for (int c = 0; c <= 9; ++c) DrawLine(33 + 25.5f * c, 27, 33 + 25.5f * c, 203);
    PrnNarrow = true;
    for (int i = 1; i <= 31; ++i) {
        QString label = u(MeiboLabels[i - 1]);
        if (i >= 19 && i <= 21) label = OptionRec.FixTeate[i - 18];
        if (i >= 22 && i <= 24) label = OptionRec.FixKoujo[i - 21];
        PrintText(11, 28 + 5.5f * (i - 1), label);
    }

    for (int k = 1; k <= 10; ++k) {
        const int s = members[k];
        if (!inUse(s)) break;
        const TEmployeeRec& E = SyainRec[s];
        const float tx = 33.5f + 25.5f * (k - 1), ax = 38.0f + 25.5f * (k - 1);
        float y = 28;
        const auto text = [&](const QString& t) {
            PrintText(tx, y, t);
            y += 5.5f;
        };
        const auto amount = [&](double v) {
            PrintText(ax, y, FmtAmount(9, v));
            y += 5.5f;
        };
        const auto premium = [&](bool applies, double v) {
            if (applies)
                amount(v);
            else
                text(NotApplied);
        };
        text(E.Simei.shownText());
        text(E.Busyo.shownText());
        text(GetKubunName(s));
        text(KeitaiName(E.Keitai) + (E.Genkin ? u("(現金)") : QString()));
        text(E.Zeigaku == 0 ? u("甲欄") : u("乙欄"));
        text(QStringLiteral("%1人 / %2人").arg(E.Fuyou, 2).arg(E.Sinzoku, 2));
        for (int i = 1; i <= 5; ++i) amount(E.Chingin[i]);
        amount(E.Koutuhi[0]);
        amount(E.Koutuhi[1]);
        text(unitText(E.SikUnit));
        for (int v : {E.Juumin6, E.Juumin, E.Yakuin, E.Family}) amount(v);
        for (int i = 1; i <= 3; ++i) amount(E.Teate[i]);
        for (int i = 1; i <= 3; ++i) amount(E.FixKoujoGaku[i]);
        text(E.Koyou ? u("     ○") : NotApplied);
        premium(E.Kenkou, E.KenhoRyo);
        premium(E.Kaigo, E.KaigoRyo);
        premium(E.NenHoken, E.KoseiRyo);
        premium(E.NenKikin, E.Kakekin);
        // Right-aligned before it is split: a one-digit era year ("712 1") reads as 7/12/1.
        const TTaisyokuDate t = TaisyokuOf(E);
        text(t.isEmpty() ? NotApplied : QStringLiteral("  %1/%2/%3").arg(t.Year, t.Month, t.Day));
        const auto mail = SplitText16(E.MailAdrs.shownText());
        for (int i = 0; i < 3; ++i) PrintText(tx, y + 3.0f * i, mail[size_t(i)]);
    }
}

// ---- money denominations ----

std::array<int64_t, 10> SplitKinsyu(int64_t amount, bool use2k)
{
    static const int64_t values[10] = {10000, 5000, 2000, 1000, 500, 100, 50, 10, 5, 1};
    std::array<int64_t, 10> counts{};
    int64_t rest = std::max<int64_t>(amount, 0);
    for (int i = 0; i < 10; ++i) {
        if (i == 2 && !use2k) continue;
        counts[size_t(i)] = rest / values[i];
        rest %= values[i];
    }
    return counts;
}

int64_t CashAmount(int slot)
{
    const TSikyuRec& P = SikyuRec[slot];
    return TruncEps(double(P.SikyuGoukei) - KoujoRec[slot].KoujoGoukei + P.Sonota[1] + P.Sonota[2] +
                    P.Sonota[3]);
}

void PrintKinsyuHyo(int page)
{
    const int p = CurPeriod.Period;
    const QString s = OptionRec.SyoyoName ? u("季") : u("期");
    const QString what = p == 13   ? u("夏") + s + u("賞与")
                         : p == 14 ? u("冬") + s + u("賞与")
                         : p == 15 ? OptionRec.TokuSyoyo
                                   : QStringLiteral("%1月分給与").arg(p);
    QString era;
    int year;
    eraOfMonth(payMonth(p), era, year);
    portraitHeading(u("給与/賞与支払金種表"), QStringLiteral("[%1%2年 %3]").arg(era).arg(year).arg(what),
                    page);

    for (int band = 0; band <= 50; band += 2) FillBox(18, 24 + 5.0f * band, 191.8f, 29 + 5.0f * band);
    SetPenWidth(PenThick);
    DrawBox(18, 24, 191.8f, 284);
    DrawLine(18, 29, 191.8f, 29);
    DrawLine(18, 279, 191.8f, 279);
    PrnNarrow = true;
    for (int k = 0; k <= 10; ++k) DrawLine(50 + 12.0f * k, 24, 50 + 12.0f * k, 284);
    static const char* const headings[10] = {"1万円", "5千円", "2千円", " 千円", "500円",
                                             "100円", " 50円", " 10円", " 5円",  " 1円"};
    PrintText(27, 24.7f, u("社 員 名"));
    for (int i = 0; i < 10; ++i) PrintText(53 + 12.0f * i, 24.7f, u(headings[i]));
    PrintText(173, 24.7f, u(" 支給額合計"));

    const auto counts = [](float y, const std::array<int64_t, 10>& c) {
        for (int i = 0; i < 10; ++i)
            PrintText(55 + 12.0f * i, y,
                      i == 2 && !OptionRec.Use2kSatu ? u(" - ") : QStringLiteral("%1").arg(c[size_t(i)], 3));
    };
    std::array<int64_t, 10> totals{};
    double cash = 0;
    int n = 0;
    float y = 24.7f;
    for (int e : PrintOrder()) {
        if (!IsZaiseki(e) || !SyainRec[e].Genkin) continue;
        ++n;
        const int64_t a = CashAmount(e);
        const auto c = SplitKinsyu(a, OptionRec.Use2kSatu);
        if (n > 50 * (page - 1) && n <= 50 * page) {
            y += 5.0f;
            PrintText(20, y, SyainRec[e].Simei.shownText());
            counts(y, c);
            PrintText(174, y, FmtAmount(10, double(a)));
        }
        for (size_t i = 0; i < 10; ++i) totals[i] += c[i];
        if (a > 0) cash += double(a);
    }
    if (page == PageCount) {
        PrintText(22.5f, 279.7f, u("合　計"));
        counts(279.7f, totals);
        PrintText(174, 279.7f, FmtAmount(10, cash));
    }
}

// ---- resident tax ----

void PrintJuminZei(int page)
{
    const int p = CurPeriod.Period;
    QString era;
    int y;
    int m = payMonth(p);
    eraOfMonth(m, era, y);
    if (CorpRec.SikyuShift == -1) {
        if (--m < 1) {
            --y;
            m = 12;
        }
        if (era == EraName[2] && y == 1 && m == 4) {
            era = EraName[1];
            y = 31;
        }
    }
    portraitHeading(u("納税市町村別住民税"), QStringLiteral("[%1%2年 %3月分給与]").arg(era).arg(y).arg(m),
                    page);

    for (int band = 0; band <= 50; band += 2) FillBox(18, 24 + 5.0f * band, 195, 29 + 5.0f * band);
    SetPenWidth(PenThick);
    DrawBox(18, 24, 195, 279);
    DrawLine(18, 29, 195, 29);
    DrawLine(18, 279, 195, 279);
    SetPenWidth(PenThin);
    const QString heading = u("納税市町村名称  対象者数     金  額");
    PrintText(25, 24.7f, heading);

    const bool unnamed = JuminTable[0].Count > 0;
    const int first = unnamed ? 0 : 1;
    const int last = std::min(unnamed ? SelCount - 1 : SelCount, 90);
    float x = 25, ly = 24.7f;
    for (int i = first; i <= last; ++i) {
        if (i == 50) {
            // The second block has its heading whenever it starts.
            x = 120, ly = 24.7f;
            PrintText(x, ly, heading);
        }
        ly += 5.0f;
        const TJuminEntry& t = JuminTable[i];
        PrintText(x, ly,
                  QStringLiteral("%1 (%2名)  %3円")
                      .arg(cp932::padRightWhole(t.Name, 16), QString::number(t.Count).rightJustified(2),
                           FmtAmount(10, t.Amount)));
    }
}
