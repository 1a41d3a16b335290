// Main window decisions that need no widgets.
#include "app/core/mainflow.h"

#include <QDir>

#include "payroll/option.h"
#include "payroll/paths.h"
#include "payroll/yearfile.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/inifile.h"

QString MainPeriodTitle;


TEraYear DefaultEra(const QDate& today)
{
    const int y = today.year();
    if (y > 2019 || (y == 2019 && today.month() >= 5))
        return {QStringLiteral("令和"), QStringLiteral("%1").arg(y - 2019 + 1, 2, 10, QLatin1Char('0'))};
    return {QStringLiteral("平成"), QStringLiteral("%1").arg(y - 1989 + 1, 2, 10, QLatin1Char('0'))};
}

QString DefaultYearFile(const QString& folder, const QDate& today)
{
    if (today.year() == 2019) return YearFileName(folder, QStringLiteral("平成"), 31);
    const TEraYear e = DefaultEra(today);
    return YearFileName(folder, e.EraText, e.YearText.toInt());
}

QString PeriodTitle()
{
    const int p = CurPeriod.Period;
    int m = p;
    if (p > 12) m = YearHeader.SyoyoMonth[p - 12];
    QString era = CurPeriod.EraText;
    int y = CurPeriod.EraYear;
    if (y == 31 && m >= 5) {  // 平成31 became 令和 in May 2019
        era = EraName[2];
        y = 1;
    }
    const QString s = QStringLiteral("%1%2年").arg(era).arg(y);
    const QString suffix = OptionRec.SyoyoName ? QStringLiteral("季") : QStringLiteral("期");
    switch (p) {
        case 13: return s + QStringLiteral("・夏") + suffix + QStringLiteral("賞与");
        case 14: return s + QStringLiteral("・冬") + suffix + QStringLiteral("賞与");
        case 15: return s + QStringLiteral("・") + OptionRec.TokuSyoyo;
        default: return s + QStringLiteral("%1月支給給与").arg(p);
    }
}

QString CompanyName() { return CorpRec.Syamei.shownText(); }

TTaisyokuDate ReadTaisyoku(int slot)
{
    const QString t = SyainRec[slot].Taisyoku.shownText().trimmed();
    if (t.isEmpty()) return {};
    const QString r = t.right(6).rightJustified(6, QLatin1Char(' '));
    return {r.mid(0, 2), r.mid(2, 2), r.mid(4, 2)};
}

QString GetKubunName(int slot)
{
    static const char* const names[] = {"", "役員", "一般社員", "臨時社員", "パート", "アルバイト"};
    const TEmployeeRec& E = SyainRec[slot];
    if (E.Kubun >= 0 && E.Kubun <= 5) return QString::fromUtf8(names[E.Kubun]);
    return E.KubunName.shownText();
}

QString KeitaiName(int keitai)
{
    static const char* const names[] = {"月給", "日給", "時間給"};
    return keitai >= 1 && keitai <= 3 ? QString::fromUtf8(names[keitai - 1]) : QString();
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
    const TTaisyokuDate t = ReadTaisyoku(slot);
    if (t.isEmpty())
        line += QString(12, QLatin1Char(' '));
    else
        line += QStringLiteral("%1/%2/%3    ").arg(t.Year, t.Month, t.Day);
    line += cp932::padRight(E.MailAdrs.shownText(), 48) + QStringLiteral("  ");
    line += QStringLiteral("%1").arg(slot, 3, 10, QLatin1Char('0'));
    return line;
}

TMigration MigrateOldData(const QString& oldFolder)
{
    const QDir dir(oldFolder);
    TMigration result;
    for (const QString& name : dir.entryList({QStringLiteral("*.dat")}, QDir::Files, QDir::Name)) {
        try {
            ConvertOldYearFile(dir.filePath(name), DataPath + name);
            ++result.moved;
        } catch (const AppError& e) {
            result.failed += e.message();
        }
    }
    return result;
}

bool CheckTaxChange(const QString& iniFile, bool newSysIni)
{
    IniFile ini(iniFile);
    const QString sec = QStringLiteral("Option"), key = QStringLiteral("TaxChangeDate");
    const QString date = QString::fromLatin1(TaxChangeDate);
    const QString value = newSysIni ? date : ini.readString(sec, key);
    const bool due = value < date;
    if (due || newSysIni) {
        ini.writeString(sec, key, date);
        ini.save();
    }
    return due;
}
