// Domain checks of the year file's header and period records.
#include "payroll/validate.h"

#include <algorithm>
#include <initializer_list>

#include "payroll/common.h"
#include "payroll/periodselect.h"
#include "payroll/taxtable.h"
#include "payroll/yearfile.h"

namespace {

// Scheduled days, hours and rates as their entry fields can hold them (two digits of days, up
// to 999:59 hours a month and 99:59 a day, rates below 100 percent); attendance with room for
// the paid-leave balance carried from month to month.
constexpr double MaxMonthHours = 1000, MaxDayHours = 100, MaxRate = 100, MaxAttendance = 100000;
constexpr int MaxGrade = TKenhoGradeTable::high;
constexpr int64_t MaxHouNo = 9999999999999, MaxMyNo = 999999999999;

// Collects "where: field = value" lines.
class Checker {
  public:
    explicit Checker(QString where) : where_(std::move(where)) {}
    QStringList problems;

    void range(const QString& field, int64_t v, int64_t lo, int64_t hi)
    {
        if (v < lo || v > hi) add(field, QString::number(v));
    }
    // A number in [lo, hi): NaN and the infinities fail every comparison.
    void number(const QString& field, double v, double lo, double hi)
    {
        if (!(v >= lo && v < hi)) add(field, QString::number(v));
    }
    void oneOf(const QString& field, int64_t v, std::initializer_list<int64_t> values)
    {
        if (std::find(values.begin(), values.end(), v) == values.end()) add(field, QString::number(v));
    }
    template <int N>
    void text(const QString& field, const PStr<N>& s)
    {
        if (s.len > N) add(field + QStringLiteral("の長さ"), QString::number(s.len));
    }

  private:
    void add(const QString& field, const QString& value)
    {
        problems << QStringLiteral("%1: %2 = %3").arg(where_, field, value);
    }
    QString where_;
};

void checkEmployee(Checker& c, const TEmployeeRec& E)
{
    c.text(QStringLiteral("氏名"), E.Simei);
    c.text(QStringLiteral("部署名"), E.Busyo);
    c.text(QStringLiteral("社員の識別キー"), E.MembKey);
    c.range(QStringLiteral("社員区分"), E.Kubun, -1, 5);
    // 0 is a pay type never chosen: the employee window stores it when left without a choice.
    c.range(QStringLiteral("支給形態"), E.Keitai, 0, 3);
    c.range(QStringLiteral("税額表の欄(甲/乙)"), E.Zeigaku, 0, 1);
    c.range(QStringLiteral("扶養親族等の数"), E.Fuyou, -99, 99);
    c.range(QStringLiteral("源泉徴収の扶養人数"), E.Sinzoku, -99, 99);
    c.text(QStringLiteral("メールアドレス"), E.MailAdrs);
    c.text(QStringLiteral("退職年月日"), E.Taisyoku);
    c.text(QStringLiteral("社員区分名"), E.KubunName);
    c.range(QStringLiteral("健康保険の等級"), E.Tokyu, 0, MaxGrade);
    c.range(QStringLiteral("社員番号"), E.SeqNo, 0, MaxEmployee);
    c.range(QStringLiteral("マイナンバー"), E.MyNo, 0, MaxMyNo);
    c.text(QStringLiteral("住民税の納付先"), E.Chouson);
    c.range(QStringLiteral("性別"), E.Sex, 0, 2);
    c.oneOf(QStringLiteral("年齢の通知"), E.AgeNotice, {0, 70, 75});
}

}  // namespace

QStringList CheckYearHeader(const TYearFileHeader& h)
{
    Checker c(QStringLiteral("ファイルの先頭"));
    for (int p = 1; p <= PeriodCount; ++p) {
        const QString name = PeriodListName(p);
        c.range(name + QStringLiteral("の保存済みの印"), h.DataExists[p], 0, 1);
        c.range(name + QStringLiteral("の印刷した支給月"), h.PrnMonth[p], 0, 99);
        c.range(name + QStringLiteral("の印刷した支給日"), h.PrnDay[p], 0, 99);
    }
    for (int b = 1; b <= 3; ++b) {
        const QString name = PeriodListName(12 + b);
        c.range(name + QStringLiteral("の支給月"), h.SyoyoMonth[b], 0, 12);
        c.range(name + QStringLiteral("の支給日"), h.SyoyoDay[b], 0, 31);
    }
    return c.problems;
}

QStringList CheckCorpRec(int p, const TCorpRec& corp)
{
    Checker c(PeriodListName(p) + QStringLiteral(" 会社情報"));
    c.text(QStringLiteral("会社名"), corp.Syamei);
    c.range(QStringLiteral("支給月のずらし"), corp.SikyuShift, -1, 1);
    c.range(QStringLiteral("住民税(6月分)をずらす"), corp.Juumin6Flag, 0, 1);
    c.range(QStringLiteral("給与支給日"), corp.Sikyubi, 0, 31);
    c.range(QStringLiteral("所定労働日数"), corp.Nissu, 0, 99);
    c.number(QStringLiteral("所定労働時間"), corp.Jikan, 0, MaxMonthHours);
    c.number(QStringLiteral("1日の労働時間"), corp.JikanD, 0, MaxDayHours);
    c.number(QStringLiteral("雇用保険料率"), corp.KoyRitu, 0, MaxRate);
    c.number(QStringLiteral("健康保険料率"), corp.KenRitu, 0, MaxRate);
    c.number(QStringLiteral("介護保険料率"), corp.KaiRitu, 0, MaxRate);
    c.number(QStringLiteral("厚生年金保険料率"), corp.NenRitu, 0, MaxRate);
    c.number(QStringLiteral("厚生年金基金率"), corp.KknRitu, 0, MaxRate);
    c.range(QStringLiteral("法人番号"), corp.HouNo, 0, MaxHouNo);
    return c.problems;
}

QStringList CheckPeriodRecord(int p, const TPeriodRecord& rec)
{
    QStringList problems = CheckCorpRec(p, rec.corp);
    const QString month = PeriodListName(p);
    Arr<QString, 1, 16> names;
    for (int k = 1; k <= 16; ++k)
        names[k] = k == kiFree ? GetItemName(QString::fromUtf8(KintaiItemNames[k])).mid(1)
                               : QString::fromUtf8(KintaiItemNames[k]);
    for (int e = 1; e <= MaxEmployee; ++e) {
        const TEmployeeRec& E = rec.syain[e];
        if (E.MembKey.isEmpty()) continue;  // a free slot: its bytes are never used
        const auto check = [&](Checker& c) {
            checkEmployee(c, E);
            for (int k = 1; k <= 16; ++k)
                c.number(names[k], rec.kintai[e].Kintai[k], -MaxAttendance, MaxAttendance);
            c.range(QStringLiteral("賞与の源泉税率"), rec.koujo[e].SyoyoRitu, 0, 100000);
        };
        // Every record is checked on every read: the employee is named only once a problem is found.
        Checker sound{QString()};
        check(sound);
        if (sound.problems.isEmpty()) continue;
        // The name helps to find the employee, unless it is itself damaged.
        QString who = QStringLiteral("%1 社員%2").arg(month).arg(e);
        if (E.Simei.len <= sizeof E.Simei.data)
            who += QStringLiteral("「%1」").arg(E.Simei.shownText().trimmed());
        Checker c(who);
        check(c);
        problems << c.problems;
    }
    return problems;
}

void RefuseDamaged(const QString& fileName, const QStringList& problems)
{
    if (problems.isEmpty()) return;
    constexpr int Shown = 10;
    QString text = QStringLiteral("年度データファイルが壊れています。\n%1\n\n").arg(fileName);
    text += problems.mid(0, Shown).join(QLatin1Char('\n'));
    if (problems.size() > Shown) text += QStringLiteral("\nほか %1 件").arg(problems.size() - Shown);
    text += QStringLiteral(
        "\n\n壊れた値で計算しないよう、このデータは読み込みませんでした。ファイルは変更していません。");
    throw DamagedDataError(text);
}
