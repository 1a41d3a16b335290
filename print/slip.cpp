// The pay and bonus slip in millimetres on the upper half of an A4 sheet: frame, header, the four
// item blocks, totals, payment method and the year's cumulative figures.
#include "print/slip.h"

#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "payroll/captions.h"
#include "payroll/common.h"
#include "payroll/option.h"
#include "payroll/otherperiod.h"
#include "payroll/period.h"
#include "payroll/slipitems.h"
#include "payroll/yearfile.h"
#include "platform/errors.h"
#include "print/dispatch.h"
#include "print/engine.h"

namespace {

struct Box {
    float x1, y1, x2, y2;
};
struct Caption {
    float x, y;
    QString text;
};
// A block of the frame: shaded strips first, ruled lines over them, the heavy outline, then the
// captions on top.
struct Block {
    Box outline;
    std::vector<Box> shaded;
    std::vector<Box> lines;
    std::vector<Caption> captions;
};

QString u(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

std::vector<Block> frameBlocks(bool cash, bool fuyou)
{
    std::vector<Block> blocks;
    blocks.push_back({{17.5f, 46.5f, 55, 123.5f},
                      {{17.5f, 46.5f, 55, 52}, {17.5f, 46.5f, 40.5f, 123.5f}},
                      {{17.5f, 52, 55, 52}, {40.5f, 52, 40.5f, 123.5f}},
                      {{27, 48, QStringLiteral("勤　　　　怠")}}});
    if (fuyou)
        blocks.push_back({{17.5f, 128.5f, 55, 138},
                          {{17.5f, 128.5f, 40.5f, 138}},
                          {{17.5f, 133.5f, 55, 133.5f}, {40.5f, 128.5f, 40.5f, 138}},
                          {{21, 129.5f, QStringLiteral("税")},
                           {28.1f, 129.5f, QStringLiteral("額")},
                           {35.2f, 129.5f, QStringLiteral("表")},
                           {21, 134, QStringLiteral("扶 養 人 数")}}});
    blocks.push_back({{57, 46.5f, 103.5f, 138},
                      {{57, 46.5f, 103.5f, 52}, {57, 46.5f, 80, 138}, {57, 133.5f, 103.5f, 138}},
                      {{57, 52, 103.5f, 52}, {57, 133.5f, 103.5f, 133.5f}, {80, 52, 80, 138}},
                      {{70, 48, QStringLiteral("支　　　　　給")}, {62, 134, QStringLiteral("合     計")}}});
    blocks.push_back(
        {{105.5f, 46.5f, 152, 138},
         {{105.5f, 46.5f, 152, 52}, {105.5f, 46.5f, 128.5f, 138}, {105.5f, 133.5f, 152, 138}},
         {{105.5f, 52, 152, 52}, {105.5f, 133.5f, 152, 133.5f}, {128.5f, 52, 128.5f, 138}},
         {{118, 48, QStringLiteral("控　　　　　除")}, {110, 134, QStringLiteral("合     計")}}});
    blocks.push_back(
        {{154, 46.5f, 200.5f, 74},
         {{154, 46.5f, 200.5f, 52}, {154, 46.5f, 177, 74}},
         {{154, 52, 200.5f, 52}, {154, 69, 200.5f, 69}, {177, 52, 177, 74}},
         {{166, 48, QStringLiteral("そ　　の　　他")}, {158, 70, QStringLiteral("合　　　計")}}});
    blocks.push_back({{154, 78, 200.5f, 83},
                      {{154, 78, 177, 83}},
                      {{177, 78, 177, 83}},
                      {{157, 79, QStringLiteral("差引支給額")}}});
    blocks.push_back(
        {{154, 84, 200.5f, 107.5f},
         {{154, 84, 200.5f, 89.5f}, {154, 84, 177, 107.5f}, {154, 102, 200.5f, 107.5f}},
         {{154, 89.5f, 200.5f, 89.5f}, {154, 102, 200.5f, 102}, {177, 89.5f, 177, 107.5f}},
         {{166, 85.5f, cash ? QStringLiteral("現 金 支 給 額") : QStringLiteral("振 込 支 給 額")},
          {158, 103, QStringLiteral("合　　　計")}}});
    blocks.push_back({{154, 123.8f, 200.5f, 138},
                      {{154, 123.8f, 177, 138}},
                      {{159, 128.5f, 200.5f, 128.5f},
                       {159, 133, 200.5f, 133},
                       {159, 123.8f, 159, 138},
                       {177, 123.8f, 177, 138}},
                      {{155, 127.2f, QStringLiteral("累")},
                       {155, 131.4f, QStringLiteral("計")},
                       {160, 125, QStringLiteral("支　給　額")},
                       {160, 129.5f, QStringLiteral("社会保険料")},
                       {160, 134, QStringLiteral("所　得　税")}}});
    return blocks;
}

void plainText()
{
    PrnBold = PrnUnderline = PrnItalic = PrnNarrow = false;
}

// shade < 0 shades with FillBox (the settings may turn it off); otherwise with that colour.
void drawBlocks(const std::vector<Block>& blocks, long shade)
{
    for (const Block& b : blocks) {
        for (const Box& s : b.shaded) {
            if (shade < 0)
                FillBox(s.x1, s.y1, s.x2, s.y2);
            else
                FillBoxRgb(s.x1, s.y1, s.x2, s.y2, unsigned(shade));
        }
        for (const Box& l : b.lines) DrawLine(l.x1, l.y1, l.x2, l.y2);
        SetPenWidth(PenThick);
        DrawBox(b.outline.x1, b.outline.y1, b.outline.x2, b.outline.y2);
        SetPenWidth(PenThin);
        for (const Caption& c : b.captions) PrintText(c.x, c.y, c.text);
    }
}

// The header boxes and captions shared by plain paper and the preprinted form.
void drawHeader(bool juryo)
{
    PrnFontName = OptionRec.FontNameM;
    plainText();
    SetPenWidth(PenThin);
    DrawBox(17.5f, 10, 108, 40);
    DrawBox(114, 13, 178, 35);
    if (juryo) DrawBox(182, 17, 200, 35);
    SetFontPoint(16);
    PrintText(86, 13, QStringLiteral("明細書"));
    SetFontPoint(9);
    PrintText(25, 25.2f, QStringLiteral("氏　名"));
    PrintText(25, 29.7f, QStringLiteral("所　属"));
    DrawLine(127, 40.3f, 178, 40.3f);
    PrintText(129, 36.6f, QStringLiteral("支給日"));
    PrintText(155, 36.6f, QStringLiteral("年"));
    PrintText(164, 36.6f, QStringLiteral("月"));
    PrintText(173.5f, 36.6f, QStringLiteral("日"));
}

// ---- item values by name ----

double kintaiValue(int slot, const QString& name)
{
    static const auto names = [] {
        std::array<QString, 16> n;
        for (int k = 1; k <= 15; ++k) n[k] = u(KintaiItemNames[k]);
        return n;
    }();
    for (int k = 1; k <= 15; ++k)
        if (name == names[k]) return KintaiRec[slot].Kintai[k];
    if (!OptionRec.KintaiFre.isEmpty() && name == OptionRec.KintaiFre) return KintaiRec[slot].Kintai[kiFree];
    return 0;
}

// The first entry of the list whose name matches wins, so a user item named like a fixed one
// shows the fixed one's value.
int indexOf(const std::vector<std::pair<QString, int>>& names, const QString& name)
{
    for (const auto& [n, index] : names)
        if (!n.isEmpty() && n == name) return index;
    return 0;
}

constexpr int KazeiIndex = 18;  // "課税支給合計" in the payment lookup

int64_t sikyuValue(int slot, const QString& name)
{
    const std::vector<std::pair<QString, int>> names = {
        {QStringLiteral("基本給"), 1},        {QStringLiteral("賞与"), 1},
        {QStringLiteral("役職手当"), 2},      {QStringLiteral("役員報酬"), 2},
        {QStringLiteral("家族手当"), 3},      {OptionRec.FixTeate[1], 4},
        {OptionRec.FixTeate[2], 5},           {OptionRec.FixTeate[3], 6},
        {QStringLiteral("普通残業手当"), 7},  {QStringLiteral("深夜残業手当"), 8},
        {QStringLiteral("休日普通残業"), 9},  {QStringLiteral("休日深夜残業"), 10},
        {QStringLiteral("非課税通勤費"), 11}, {QStringLiteral("課税通勤費"), 12},
        {OptionRec.VarTeate[1], 13},          {OptionRec.VarTeate[2], 14},
        {OptionRec.VarTeate[3], 15},          {QStringLiteral("欠勤控除"), 16},
        {QStringLiteral("遅刻早退控除"), 17}, {QStringLiteral("課税支給合計"), KazeiIndex},
    };
    const int i = indexOf(names, name);
    if (i == KazeiIndex) return SikyuRec[slot].KazeiGoukei;
    return i ? SikyuRec[slot].Sikyu[i] : 0;
}

int64_t koujoValue(int slot, const QString& name)
{
    const std::vector<std::pair<QString, int>> names = {
        {QStringLiteral("健康保険料"), 1},   {QStringLiteral("厚生年金保険"), 2},
        {QStringLiteral("厚生年金基金"), 3}, {QStringLiteral("雇用保険料"), 4},
        {QStringLiteral("介護保険料"), 5},   {QStringLiteral("社会保険料計"), 6},
        {QStringLiteral("社保控除後計"), 7}, {QStringLiteral("所得税"), 8},
        {QStringLiteral("住民税"), 9},       {OptionRec.FixKoujo[1], 10},
        {OptionRec.FixKoujo[2], 11},         {OptionRec.FixKoujo[3], 12},
        {OptionRec.VarKoujo[1], 13},         {OptionRec.VarKoujo[2], 14},
        {OptionRec.VarKoujo[3], 15},
    };
    const int i = indexOf(names, name);
    return i ? KoujoRec[slot].Koujo[i] : 0;
}

int64_t sonotaValue(int slot, const QString& name)
{
    for (int i = 1; i <= 3; ++i)
        if (!OptionRec.Sonota[i].isEmpty() && name == OptionRec.Sonota[i]) return SikyuRec[slot].Sonota[i];
    return 0;
}

// "%6.2f" with ties away from zero, as the amounts elsewhere are rounded.
QString sixTwo(double v)
{
    const long double scaled = std::round(std::fabs(static_cast<long double>(v)) * 100.0L);
    const auto n = static_cast<long long>(scaled);
    QString text = QStringLiteral("%1.%2").arg(n / 100).arg(n % 100, 2, 10, QLatin1Char('0'));
    if (v < 0 && n != 0) text.prepend(QLatin1Char('-'));
    return text.rightJustified(6);
}

QString amount(int64_t v)
{
    return FmtAmount(10, double(v));
}

float rowY(int r)
{
    return static_cast<float>(54.0 + 4.27 * r);
}

// The row's item name without its prefix, or empty when row r (1-based) is not printed for the
// slip form type.
template <typename L, typename I>
QString rowName(const L& list, const I& items, int t, int r)
{
    if (!items[r].Use[t]) return {};
    return GetItemName(list[t][r]).mid(1);
}

void printItems(int slot, int t)
{
    for (int r = 1; r <= 16; ++r) {
        const QString name = rowName(KintaiList, KintaiItem, t, r);
        if (name.isEmpty()) continue;
        const double v = kintaiValue(slot, name);
        PrintText(18.5f, rowY(r - 1), name);
        PrintText(43.5f, rowY(r - 1), IsJikanItem(name) ? FmtJikan(v) : sixTwo(v));
    }
    for (int r = 1; r <= 18; ++r) {
        const QString name = rowName(SikyuList, SikyuItem, t, r);
        if (name.isEmpty()) continue;
        static const char* const basePay[] = {"基本給", "日給計", "時給計"};
        PrintText(58, rowY(r - 1), name == QStringLiteral("基本給") ? u(basePay[t - 1]) : name);
        PrintText(84.5f, rowY(r - 1), amount(sikyuValue(slot, name)));
    }
    for (int r = 1; r <= 18; ++r) {
        const QString name = rowName(KoujoList, KoujoItem, t, r);
        if (name.isEmpty()) continue;
        PrintText(106.5f, rowY(r - 1), name);
        PrintText(133, rowY(r - 1), amount(koujoValue(slot, name)));
    }
}

int64_t printSonota(int slot, int t)
{
    int64_t sum = 0;
    for (int r = 1; r <= 3; ++r) {
        const QString name = rowName(SonotaList, SonotaItem, t, r);
        if (name.isEmpty()) continue;
        const int64_t v = sonotaValue(slot, name);
        sum += v;
        PrintText(155, rowY(r - 1), name);
        PrintText(181.5f, rowY(r - 1), amount(v));
    }
    return sum;
}

// The memo line with its first wage placeholder filled in.
QString memoLine(int slot, QString line)
{
    static const QString placeholder = QStringLiteral("{$Kihonkyuu}");
    const int at = line.indexOf(placeholder);
    if (at >= 0) line.replace(at, placeholder.size(), FmtAmount(10, SyainRec[slot].Chingin[1]).trimmed());
    return line;
}

}  // namespace

QString MeisaiTitle()
{
    const int p = CurPeriod.Period;
    QString era = CurPeriod.EraText;
    int y = CurPeriod.EraYear;
    int m = !IsBonusPeriod(p) ? p : (p <= PeriodCount ? YearHeader.SyoyoMonth[p - 12] : 0);
    // The era changed on 1 May of 平成31: that data year's later pays belong to 令和1. Only the
    // earlier era's year 31 is meant, never a 令和31.
    if (era == EraName[1] && y == 31 && m >= 5) {
        era = EraName[2];
        y = 1;
    }
    const QString season = OptionRec.SyoyoName ? QStringLiteral("季") : QStringLiteral("期");
    switch (p) {
        case 13:
            return QStringLiteral("%1%2年 夏%3賞与").arg(era).arg(y).arg(season);
        case 14:
            return QStringLiteral("%1%2年 冬%3賞与").arg(era).arg(y).arg(season);
        case 15:
            return QStringLiteral("%1%2年 %3").arg(era).arg(y).arg(OptionRec.TokuSyoyo);
    }
    if (CorpRec.SikyuShift == -1 && --m == 0) {
        m = 12;
        --y;
    }
    if (era == EraName[2] && y == 1 && m == 4) {
        era = EraName[1];
        y = 31;
    }
    return QStringLiteral("%1%2年 %3月分給与").arg(era).arg(y).arg(m);
}

void PrintMeisaiFrame(bool cash)
{
    SetPenColor(0x000000);
    drawHeader(OptionRec.PrnJuryo);
    if (OptionRec.PrnJuryo) PrintText(183, 36.6f, OptionRec.JuryoStr);
    drawBlocks(frameBlocks(cash, OptionRec.PrnFuyou), -1);
}

void DrawPreprintedFormSheet()
{
    constexpr unsigned ink = 0x1B7A5A;   // the form's green printing ink
    constexpr unsigned tint = 0xDFF1E8;  // its pale tint in the shaded strips
    // The form's own boxes: the transfer block, and the cash amount row under it that only the
    // form has (the slip prints a cash net amount there).
    std::vector<Block> blocks = frameBlocks(false, true);
    blocks.push_back({{154, 108, 200.5f, 113.5f},
                      {{154, 108, 177, 113.5f}},
                      {{177, 108, 177, 113.5f}},
                      {{157, 109.2f, QStringLiteral("現金支給額")}}});
    PageOffsetX = 0;
    for (const float offset : {-0.5f, -0.5f + 148.5f}) {
        PageOffsetY = offset;
        SetPenColor(ink);
        drawHeader(true);
        PrintText(183, 36.6f, QStringLiteral("　　受領印"));
        drawBlocks(blocks, tint);
    }
    // The tear line between the two slips of a sheet, a row of short dashes.
    PageOffsetY = 0;
    for (float x = 5; x < 205; x += 3) DrawLine(x, 148.5f, x + 1.5f, 148.5f);
    SetPenColor(0x000000);
}

void ReadRuikeiMonth(TYearData& year, int n, const QByteArray& key, TRuikei& sums)
{
    const TPeriodRecord& rec = year.period(n + 1);
    // The whole counted string: a longer stamp that starts like the key is someone else.
    for (const int e : year.slotsOf(n + 1, key)) {
        sums.Kazei += rec.sikyu[e].KazeiGoukei;
        sums.Syaho += rec.koujo[e].Koujo[koSyahoKei];
        sums.Syotoku += rec.koujo[e].Koujo[koSyotoku];
    }
}

TRuikei GatherRuikei(int slot)
{
    TRuikei sums;
    const QByteArray key = SyainRec[slot].MembKey.bytes();
    const int p = CurPeriod.Period;
    const auto bonusMonth = [](int b) { return YearHeader.SyoyoMonth[b - 12]; };
    const auto bonusDay = [](int b) { return YearHeader.SyoyoDay[b - 12]; };
    TPageYearData year;  // shared by the slips of a print job
    const auto add = [&](int n) { ReadRuikeiMonth(year.get(), n, key, sums); };
    try {
        if (!key.isEmpty() && p >= 1 && !IsBonusPeriod(p)) {
            for (int m = 1; m < p; ++m) add(m - 1);
            // A bonus paid in the slip's own month counts when it was paid by the slip's pay day.
            const int payDay = NumStrToInt(PrnDateDay);
            for (int b = 13; b <= 15; ++b)
                if (bonusMonth(b) < p || (bonusMonth(b) == p && bonusDay(b) <= payDay)) add(b - 1);
        } else if (!key.isEmpty() && IsBonusPeriod(p) && p <= PeriodCount) {
            const int bm = bonusMonth(p), bd = bonusDay(p);
            for (int m = 1; m < bm && m <= MonthPeriods; ++m) add(m - 1);
            // A bonus without a payment month has no month of its own to add.
            if (bm >= 1 && bm <= 12 && bd >= CorpRec.Sikyubi) add(bm - 1);
            for (int b = 13; b <= 15; ++b)
                if (bonusMonth(b) < bm || (bonusMonth(b) == bm && bonusDay(b) < bd)) add(b - 1);
        }
    } catch (const AppError& e) {
        throw IoError(QStringLiteral("明細書の累計額を集計できませんでした。\n") + e.message());
    }
    sums.Kazei += SikyuRec[slot].KazeiGoukei;
    sums.Syaho += KoujoRec[slot].Koujo[koSyahoKei];
    sums.Syotoku += KoujoRec[slot].Koujo[koSyotoku];
    return sums;
}

void PrintMeisai(int slot)
{
    if (slot < 1 || slot > MaxEmployee) return;
    const TEmployeeRec& E = SyainRec[slot];
    const bool cash = E.Genkin != 0;
    const bool form = OptionRec.FormType >= 2;
    // A record without a valid pay type is read as monthly rather than indexing past the lists.
    const int t = IsPayType(E.Keitai) ? E.Keitai : PayType::Monthly;
    if (!form) PrintMeisaiFrame(cash);
    SetPenColor(0x000000);
    plainText();

    PrnFontName = OptionRec.FontName;
    SetFontPoint(12);
    PrintText(35, 14, MeisaiTitle());

    SetFontPoint(10);
    PrnFontName = OptionRec.FontNameS;
    PrintText(25, 20, CorpRec.Syamei.shownText());
    PrnFontName = OptionRec.FontName;
    PrintText(40, 25, E.Simei.shownText() + QStringLiteral("  様"));
    const QString busyo = E.Busyo.shownText();
    const QString kubun = GetKubunName(slot);
    // Joined only between two parts: an employee without a category shows no dangling "・".
    PrintText(40, 29.5f,
              busyo.isEmpty()   ? kubun
              : kubun.isEmpty() ? busyo
                                : busyo + QStringLiteral("・") + kubun);

    PrnFontName = OptionRec.FontNameO;
    for (int i = 0; i < PrintMemo.size() && i < 5; ++i)
        PrintText(115, 15 + 3.8f * i, memoLine(slot, PrintMemo[i]));

    PrnFontName = OptionRec.FontName;
    PrintText(141, 36.6f, PrnDateYear);
    PrintText(159, 36.6f, PrnDateMonth);
    PrintText(168, 36.6f, PrnDateDay);

    printItems(slot, t);
    if (OptionRec.PrnFuyou) {
        PrintText(47, 129.2f, E.Zeigaku == 0 ? QStringLiteral("甲欄") : QStringLiteral("乙欄"));
        PrintText(47, 134, QStringLiteral("%1人").arg(E.Fuyou, 2));
    }
    const TSikyuRec& P = SikyuRec[slot];
    const TKoujoRec& D = KoujoRec[slot];
    PrintText(84.5f, 134, amount(P.SikyuGoukei));
    PrintText(133, 134, amount(D.KoujoGoukei));
    const int64_t sonota = printSonota(slot, t);
    PrintText(181.5f, 69.5f, amount(sonota));

    const int64_t net = int64_t(P.SikyuGoukei) - D.KoujoGoukei + sonota;
    PrintText(181.5f, 79, amount(net));
    if (form && cash) {
        PrintText(181.5f, 109.5f, amount(net));
    } else {
        PrintText(155, 90, cash ? QStringLiteral("現金支給") : QStringLiteral("振込支給"));
        PrintText(181.5f, 90, amount(net));
        PrintText(181.5f, 103, amount(net));
    }

    if (OptionRec.PrnRuikei) {
        const TRuikei r = GatherRuikei(slot);
        PrintText(181.5f, 124.5f, amount(r.Kazei));
        PrintText(181.5f, 129.2f, amount(r.Syaho));
        PrintText(181.5f, 134, amount(r.Syotoku));
    }
}
