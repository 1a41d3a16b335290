// Period title, company name and the employee texts of lists and documents.
#include "payroll/captions.h"

#include "payroll/option.h"
#include "platform/cp932.h"

QString MainPeriodTitle;

QString PeriodTitle()
{
    const int p = CurPeriod.Period;
    int m = p;
    if (IsBonusPeriod(p)) m = YearHeader.SyoyoMonth[p - 12];
    QString era = CurPeriod.EraText;
    int y = CurPeriod.EraYear;
    if (y == 31 && m >= 5) {  // 平成31 became 令和 in May 2019
        era = EraName[2];
        y = 1;
    }
    const QString s = QStringLiteral("%1%2年").arg(era).arg(y);
    const QString suffix = OptionRec.SyoyoName ? QStringLiteral("季") : QStringLiteral("期");
    switch (p) {
        case 13:
            return s + QStringLiteral("・夏") + suffix + QStringLiteral("賞与");
        case 14:
            return s + QStringLiteral("・冬") + suffix + QStringLiteral("賞与");
        case 15:
            return s + QStringLiteral("・") + OptionRec.TokuSyoyo;
        default:
            return s + QStringLiteral("%1月支給給与").arg(p);
    }
}

QString CompanyName()
{
    return CorpRec.Syamei.shownText();
}

TTaisyokuDate ReadTaisyoku(int slot)
{
    return TaisyokuOf(SyainRec[slot]);
}

TTaisyokuDate TaisyokuOf(const TEmployeeRec& rec)
{
    const QString t = rec.Taisyoku.shownText().trimmed();
    if (t.isEmpty()) return {};
    const QString r = t.right(6).rightJustified(6, QLatin1Char(' '));
    return {r.mid(0, 2), r.mid(2, 2), r.mid(4, 2)};
}

QString GetKubunName(int slot)
{
    // Index 0 is the list's empty line: the category was typed, and its text is the stored one.
    const QStringList items = KubunItems();
    const TEmployeeRec& E = SyainRec[slot];
    if (E.Kubun >= 1 && E.Kubun < items.size()) return items[E.Kubun];
    return E.KubunName.shownText();
}

QString KeitaiName(int keitai)
{
    static const char* const names[] = {"月給", "日給", "時間給"};
    return IsPayType(keitai) ? QString::fromUtf8(names[keitai - 1]) : QString();
}

QString MakeMemberLine(int slot)
{
    const TEmployeeRec& E = SyainRec[slot];
    const int no = E.SeqNo != 0 ? E.SeqNo : slot;
    QString line = QStringLiteral(" %1  ").arg(no % 100, 2, 10, QLatin1Char('0'));
    line += cp932::padRight(E.Simei.shownText(), 16) + QStringLiteral("  ");
    line += cp932::padRight(E.Busyo.shownText(), 16) + QStringLiteral("  ");
    line += cp932::padRight(GetKubunName(slot), 10) + QStringLiteral("  ");
    line += cp932::padRight(KeitaiName(E.Keitai), 6) + QString(6, QLatin1Char(' '));
    // Each part of the date is two bytes wide whatever it holds: a double-byte character in a
    // damaged date would otherwise push the later columns one byte to the right.
    const TTaisyokuDate t = ReadTaisyoku(slot);
    if (t.isEmpty())
        line += QString(12, QLatin1Char(' '));
    else
        line += QStringLiteral("%1/%2/%3    ")
                    .arg(cp932::padLeft(t.Year, 2), cp932::padLeft(t.Month, 2), cp932::padLeft(t.Day, 2));
    line += cp932::padRight(E.MailAdrs.shownText(), 48) + QStringLiteral("  ");
    line += QStringLiteral("%1").arg(slot, 3, 10, QLatin1Char('0'));
    return line;
}

QStringList KubunItems()
{
    return {QString(),
            QStringLiteral("役員"),
            QStringLiteral("一般社員"),
            QStringLiteral("臨時社員"),
            QStringLiteral("パート"),
            QStringLiteral("アルバイト")};
}

QStringList KeitaiItems()
{
    return {QStringLiteral("月給"), QStringLiteral("日給"), QStringLiteral("時間給")};
}
