// Page and employee counts per document kind, the lists the documents read, and the employees of
// each page.
#include "print/pages.h"

#include "payroll/calc.h"
#include "payroll/captions.h"
#include "payroll/common.h"
#include "payroll/option.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "platform/inifile.h"
#include "print/lists.h"

QStringList IchiranGroupName;
QList<TIchiranPage> IchiranPage;
QStringList IchiranKubun;
QList<int> IchiranLines;
int IchiranPeriod = 0;
Arr<TJuminEntry, 0, 90> JuminTable;
Arr<bool, 1, 17> DaichoAddFlag;
Arr<bool, 1, 15> DaichoDelFlag;
Arr<QString, 13, 15> PeriodTitles;

namespace {

bool inUse(int slot)
{
    return !SyainRec[slot].MembKey.isEmpty();
}

QString seasonWord()
{
    return OptionRec.SyoyoName ? QStringLiteral("季") : QStringLiteral("期");
}

QString departmentOf(int slot)
{
    return SyainRec[slot].Busyo.shownText();
}

// The groups of the grouped pay list: by class the classes of the employee window's list (its
// entries 1..count, the last one past the end reading empty: the employees without a class),
// then the other classes in slot order; by department the departments in slot order.
QStringList groupNames(int mode)
{
    QStringList names;
    if (mode == 1) {
        const QStringList items = KubunItems();
        for (int i = 1; i <= items.size(); ++i) names << items.value(i);
        for (int e = 1; e <= MaxEmployee; ++e)
            if (inUse(e) && !names.contains(GetKubunName(e))) names << GetKubunName(e);
    } else {
        for (int e = 1; e <= MaxEmployee; ++e)
            if (inUse(e) && !names.contains(departmentOf(e))) names << departmentOf(e);
    }
    return names;
}

void buildGroupedPages(int mode, const QList<int>& lines)
{
    IchiranGroupName = groupNames(mode);
    for (const QString& group : IchiranGroupName) {
        QStringList stamps;
        for (int slot : lines) {
            if (slot < 1 || slot > MaxEmployee || IsTaisyoku(slot)) continue;
            const QString of = mode == 1 ? GetKubunName(slot) : departmentOf(slot);
            if (of == group) stamps << SyainRec[slot].MembKey.shownText();
        }
        const int n = stamps.size();
        if (n == 0) continue;
        SelCount += n;
        // Ten members take a second page that carries only the subtotal.
        const int pages = n / 10 + 1;
        for (int j = 1; j <= pages; ++j) {
            TIchiranPage page;
            page.GroupName = group;
            for (int i = 1; i <= 10; ++i) page.Members[i] = stamps.value((j - 1) * 10 + i - 1);
            page.LastOfGroup = j == pages;
            IchiranPage << page;
        }
        PageCount += pages;
    }
}

void buildKubunList()
{
    const QStringList items = KubunItems();
    for (int i = 1; i <= 5; ++i)
        for (int e = 1; e <= MaxEmployee; ++e)
            if (IsZaiseki(e) && GetKubunName(e) == items.value(i)) {
                IchiranKubun << GetKubunName(e);
                break;
            }
    for (int e = 1; e <= MaxEmployee; ++e)
        if (IsZaiseki(e) && !IchiranKubun.contains(GetKubunName(e))) IchiranKubun << GetKubunName(e);
}

void buildJuminTable()
{
    JuminTable = {};
    // Counted afresh: the municipalities are numbered from 1 whatever was counted before.
    SelCount = 0;
    const int p = CurPeriod.Period;
    // The month the calculation deducts the June amount in: July when pay falls in the month
    // before the data month and the company deducts it then.
    const int juneMonth = CorpRec.SikyuShift == -1 && CorpRec.Juumin6Flag == 1 ? 7 : 6;
    const bool june = p == juneMonth;
    for (int e = 1; e <= MaxEmployee; ++e) {
        if (!IsZaiseki(e)) continue;
        const TEmployeeRec& E = SyainRec[e];
        const QString town = E.Chouson.shownText();
        int entry = 0;
        if (!town.isEmpty()) {
            for (int i = 1; i <= SelCount; ++i)
                if (JuminTable[i].Name == town) entry = i;
            if (entry == 0) {
                entry = ++SelCount;
                JuminTable[entry].Name = town;
            }
        }
        JuminTable[entry].Count += 1;
        JuminTable[entry].Amount += june ? E.Juumin6 : E.Juumin;
    }
    if (JuminTable[0].Count > 0) SelCount += 1;
}

void readLedgerFlags()
{
    const TDaichoChoice choice = ReadDaichoChoice();
    DaichoAddFlag = choice.Add;
    DaichoDelFlag = choice.Del;
    int removed = 0;
    for (int i = 1; i <= 15; ++i) removed += DaichoDelFlag[i] ? 1 : 0;
    // An added row takes the place of a removed one (the rule of the settings window): flags that
    // would add more, written by hand or by another program, are dropped from the last, so the
    // grid always ends on the sheet.
    int added = 0;
    for (int i = 1; i <= 17; ++i)
        if (DaichoAddFlag[i] && ++added > removed) DaichoAddFlag[i] = false;
}

int countOf(const auto& flags)
{
    int n = 0;
    for (int i = flags.low; i <= flags.high; ++i) n += flags[i] ? 1 : 0;
    return n;
}

QString listTitle(int period)
{
    if (IsBonusPeriod(period) && period <= PeriodCount) return PeriodTitles[period];
    return QStringLiteral("%1月分･給与").arg(period);
}

QString slipPaperText()
{
    switch (OptionRec.FormType) {
        case 0:
            return QStringLiteral(" A4用紙(1名/枚)  [210mm×297mm]");
        case 1:
            return QStringLiteral(" A4用紙(2名/枚)  [210mm×297mm]");
        default:
            return QStringLiteral(" HISAGO GB1150   [210mm×297mm]");
    }
}

QString nameOf(int slot)
{
    return slot >= 1 && slot <= MaxEmployee ? SyainRec[slot].Simei.shownText() : QString();
}

}  // namespace

TDaichoChoice ReadDaichoChoice()
{
    const IniFile ini(IniFileName);
    const QString section = QStringLiteral("Option");
    QString add = ini.readString(section, QStringLiteral("DaichoAdd"), QString(17, QLatin1Char('0')));
    const QString del = ini.readString(section, QStringLiteral("DaichoDel"), QString(15, QLatin1Char('0')));
    // Files of the version before the seventeenth row know sixteen rows.
    if (add.size() < 17) add += QLatin1Char('0');
    TDaichoChoice c;
    for (int i = 1; i <= 17; ++i) c.Add[i] = add.mid(i - 1, 1) == QLatin1String("1");
    for (int i = 1; i <= 15; ++i) c.Del[i] = del.mid(i - 1, 1) == QLatin1String("1");
    return c;
}

void WriteDaichoChoice(const TDaichoChoice& choice)
{
    QString add, del;
    for (int i = 1; i <= 17; ++i) add += choice.Add[i] ? QLatin1Char('1') : QLatin1Char('0');
    for (int i = 1; i <= 15; ++i) del += choice.Del[i] ? QLatin1Char('1') : QLatin1Char('0');
    IniFile ini(IniFileName);
    ini.writeString(QStringLiteral("Option"), QStringLiteral("DaichoAdd"), add);
    ini.writeString(QStringLiteral("Option"), QStringLiteral("DaichoDel"), del);
    ini.save();
}

QString CheckDaichoChoice(const TDaichoChoice& choice)
{
    if (countOf(choice.Add) <= countOf(choice.Del)) return {};
    return QStringLiteral("追加する勤怠項目が多すぎます。\n追加項目数≦削除項目数にして下さい。");
}

TPrintPlan PlanPrint(int tag, const TListSlots& list, int mode)
{
    PeriodTitles[13] = QStringLiteral("夏") + seasonWord() + QStringLiteral("賞与");
    PeriodTitles[14] = QStringLiteral("冬") + seasonWord() + QStringLiteral("賞与");
    PeriodTitles[15] = OptionRec.TokuSyoyo;

    const int kind = tag / 100;
    const int n = tag % 100;
    PaperKind = kind;
    IchiranMode = mode;
    SelCount = 0;
    PageCount = 0;
    IchiranGroupName.clear();
    IchiranPage.clear();
    IchiranKubun.clear();
    IchiranLines = list.Lines;
    IchiranPeriod = kind == 5 ? n : 0;

    TPrintPlan plan;
    plan.PaperText = QStringLiteral(" Ａ４用紙・横  [297mm×210mm]");
    if (kind == 2) {
        plan.PaperText = slipPaperText();
        plan.Landscape = false;
    } else if (kind == 7 || kind == 8) {
        plan.PaperText = QStringLiteral(" Ａ４用紙・縦  [210mm×297mm]");
        plan.Landscape = false;
    }

    if (kind == 5 && mode != 0) {
        buildGroupedPages(mode, list.Lines);
    } else {
        for (int e = 1; e <= MaxEmployee; ++e)
            if (inUse(e) && (kind == 1 || !IsTaisyoku(e))) ++SelCount;
    }

    switch (kind) {
        case 1:
            PageCount = (SelCount - 1) / 10 + 1;
            plan.InfoText = QString::asprintf(" %2d枚 [%d名]", PageCount, SelCount);
            break;
        case 2:
            if (n == 99) {
                SelCount = int(list.Ticked.size());
                PageCount = OptionRec.FormType == 0 ? SelCount : (SelCount - 1) / 2 + 1;
                plan.InfoText = QString::asprintf(" %d枚 [%d名]", PageCount, SelCount);
            } else {
                PageCount = 1;
                plan.InfoText = QStringLiteral(" 1枚 [%1]").arg(nameOf(n));
            }
            break;
        case 4:
            readLedgerFlags();
            if (n == 99) {
                PageCount = int(list.Ticked.size());
                plan.InfoText = QStringLiteral(" %1枚").arg(PageCount);
            } else {
                PageCount = 1;
                plan.InfoText = QStringLiteral(" 1枚 [%1]").arg(nameOf(n));
            }
            break;
        case 5:
            readLedgerFlags();
            if (mode == 0 && OptionRec.OldIchiran) {
                buildKubunList();
                PageCount = (SelCount + int(IchiranKubun.size())) / 10 + 1;
            } else if (mode == 0) {
                PageCount = SelCount / 10 + 1;
            }
            plan.InfoText =
                QStringLiteral(" %1枚 [%2名、%3]").arg(PageCount, 2).arg(SelCount).arg(listTitle(n));
            break;
        case 6:
            readLedgerFlags();
            PageCount = 2;
            plan.InfoText = QString::asprintf(" %2d枚", PageCount);
            break;
        case 7:
            SelCount = 0;
            for (int e = 1; e <= MaxEmployee; ++e)
                if (IsZaiseki(e) && SyainRec[e].Genkin) ++SelCount;
            PageCount = (SelCount - 1) / 50 + 1;
            plan.InfoText = QString::asprintf(" %2d枚 [%d名]", PageCount, SelCount);
            break;
        case 8:
            buildJuminTable();
            PageCount = 1;
            plan.InfoText = QString::asprintf(" %2d枚 [%d件]", PageCount, SelCount);
            break;
        default:
            // Kind 3 and anything unknown have no document.
            break;
    }
    return plan;
}

TMembers PageMembers(int kind, int n, int page, const QList<int>& ticked)
{
    TMembers m{};
    switch (kind) {
        case 1: {
            const QList<int> order = PrintOrder();
            for (int i = 1; i <= 10; ++i) m[i] = order.value((page - 1) * 10 + i - 1);
            break;
        }
        case 2:
        case 3:
            if (n != 99) {
                m[1] = n;
            } else if (OptionRec.FormType == 0) {
                m[1] = ticked.value(page - 1);
            } else {
                m[1] = ticked.value(2 * page - 2);
                m[2] = ticked.value(2 * page - 1);
            }
            break;
        case 4:
            m[1] = n == 99 ? ticked.value(page - 1) : n;
            break;
        default:
            break;
    }
    return m;
}

int PageArgument(int kind, int page)
{
    return kind == 2 || kind == 3 || kind == 4 ? 0 : page;
}

int JobPageCount(int kind)
{
    switch (kind) {
        case 1:
        case 2:
        case 4:
        case 5:
        case 6:
        case 7:
        case 8:
            return PageCount;
        default:
            return 0;
    }
}
