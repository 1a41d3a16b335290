// Company block checks and storage, the premium reset over all employees, and the picker lines.
#include "payroll/corpinfo.h"

#include <QFile>
#include <algorithm>
#include <limits>

#include "payroll/common.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/premiums.h"
#include "payroll/taxtable.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"

namespace {

constexpr int SyameiBytes = 44;
constexpr int HouNoDigits = 13;

bool allDigits(const QString& s)
{
    return std::all_of(s.begin(), s.end(),
                       [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

QString employeeName(int slot)
{
    try {
        return SyainRec[slot].Simei.text();
    } catch (const EncodingError&) {
        // A damaged name must not stop the message that lists the employees left out.
        return QStringLiteral("%1番目の社員").arg(slot);
    }
}

}  // namespace

double KoyRituOfJigyo(bool jigyo)
{
    return jigyo ? DefaultRates.KoyJigyo : DefaultRates.KoyIgai;
}

QString FmtRitu(double ritu)
{
    return QString::asprintf("%6.3f", ritu);
}

QString FmtHouNo(int64_t houNo)
{
    return houNo == 0 ? QString() : QString::asprintf("%.13lld", static_cast<long long>(houNo));
}

QString FmtJikanD(double hours)
{
    return FmtJikan(hours).mid(1);
}

TCorpRec CorpWithDefaults(const TCorpRec& corp)
{
    TCorpRec c = corp;
    if (c.KoyRitu == 0) {
        c.Jigyo = 1;
        c.KoyRitu = KoyRituOfJigyo(true);
    }
    if (c.KaiRitu == 0) c.KaiRitu = DefaultRates.Kaigo;
    if (c.NenRitu == 0) c.NenRitu = DefaultRates.Nenkin;
    return c;
}

TCorpEntry CorpEntryOf(const TCorpRec& corp)
{
    TCorpEntry e;
    e.Syamei = corp.Syamei.shownText();  // a damaged name must not keep the window from opening
    e.Sikyubi = QString::asprintf("%2d", corp.Sikyubi);
    e.JikanD = FmtJikanD(corp.JikanD);
    e.KoyRitu = FmtRitu(corp.KoyRitu);
    e.KenRitu = FmtRitu(corp.KenRitu);
    e.KaiRitu = FmtRitu(corp.KaiRitu);
    e.NenRitu = FmtRitu(corp.NenRitu);
    e.KknRitu = FmtRitu(corp.KknRitu);
    e.HouNo = FmtHouNo(corp.HouNo);
    e.SikyuP1 = corp.SikyuShift == 1;
    e.SikyuM1 = corp.SikyuShift == -1;
    e.Juumin6 = e.SikyuM1 && corp.Juumin6Flag == 1;
    e.Jigyo = corp.Jigyo == 1;
    e.UseHyo = corp.UseHyo != 0;
    return e;
}

TCorpCheck CheckCorpEntry(const TCorpEntry& e)
{
    TCorpCheck r;
    const QString name = e.Syamei.trimmed();
    if (name.isEmpty()) {
        ShowError(QStringLiteral("会社名が入力されていません。"));
        r.focus = CorpField::Syamei;
        return r;
    }
    try {
        cp932::encode(name);
    } catch (const EncodingError& err) {
        // The name is stored in CP932 bytes; a character it lacks could not be kept.
        ShowError(err.message());
        r.focus = CorpField::Syamei;
        return r;
    }
    if (StrToFloatEx(e.JikanD) == 0) {
        ShowError(QStringLiteral("所定労働条件が入力されていません。"));
        r.focus = CorpField::JikanD;
        return r;
    }
    const int32_t day = NumStrToInt(e.Sikyubi);
    if (day < 1 || day > 31) {
        ShowError(QStringLiteral("給与支給日の入力に誤りがあります。"));
        r.focus = CorpField::Sikyubi;
        return r;
    }
    const bool koy = StrToFloatEx(e.KoyRitu) == 0;
    const bool ken = StrToFloatEx(e.KenRitu) == 0;
    const bool kai = StrToFloatEx(e.KaiRitu) == 0;
    const bool nen = StrToFloatEx(e.NenRitu) == 0;
    if (koy || ken || kai || nen) {
        ShowError(QStringLiteral("保険料負担率が入力されていません。"));
        // The later missing rates take the focus; a missing health rate is picked from the list.
        if (koy) r.focus = CorpField::KoyRitu;
        r.pickKenRitu = ken;
        if (kai) r.focus = CorpField::KaiRitu;
        if (nen) r.focus = CorpField::NenRitu;
        return r;
    }
    const QString houNo = e.HouNo.trimmed();
    if (!houNo.isEmpty() && (houNo.size() != HouNoDigits || !allDigits(houNo))) {
        ShowError(QStringLiteral("法人番号の入力に誤りがあります。"));
        r.focus = CorpField::HouNo;
        return r;
    }
    return r;
}

void StoreCorpEntry(const TCorpEntry& e, TCorpRec& corp)
{
    corp.Syamei.setText(CutToMaxLen(e.Syamei.trimmed(), SyameiBytes));
    const QString houNo = e.HouNo.trimmed();
    // The number is kept in 64 bits: its 13 digits do not fit a 32-bit integer.
    corp.HouNo = houNo.isEmpty() ? 0 : houNo.left(7).toLongLong() * 1000000 + houNo.mid(7).toLongLong();
    corp.Sikyubi = NumStrToInt(e.Sikyubi);
    corp.JikanD = StrToFloatEx(e.JikanD);
    corp.KoyRitu = StrToFloatEx(e.KoyRitu);
    corp.KenRitu = StrToFloatEx(e.KenRitu);
    corp.KaiRitu = StrToFloatEx(e.KaiRitu);
    corp.NenRitu = StrToFloatEx(e.NenRitu);
    corp.KknRitu = StrToFloatEx(e.KknRitu);
    corp.Jigyo = e.Jigyo ? 1 : 0;
    corp.UseHyo = e.UseHyo ? 1 : 0;
    corp.SikyuShift = 0;
    if (e.SikyuP1) corp.SikyuShift = 1;
    if (e.SikyuM1) corp.SikyuShift = -1;
    corp.Juumin6Flag = e.Juumin6 ? 1 : 0;
}

void WriteDefJikanD(double jikanD)
{
    IniFile ini(IniFileName);
    ini.writeString(QStringLiteral("Option"), QStringLiteral("DefJikanD"), QString::asprintf("%.2f", jikanD));
    ini.save();
}

TCorpRates CorpRatesOf(const TCorpRec& corp)
{
    return TCorpRates{corp.KenRitu, corp.KaiRitu, corp.NenRitu, corp.KknRitu};
}

void OfferPremiumReset(const TCorpRates& before)
{
    if (CorpRatesOf(CorpRec) == before) return;
    bool graded = false;
    for (int s = 1; s <= MaxEmployee; ++s)
        if (!SyainRec[s].MembKey.isEmpty() && SyainRec[s].Tokyu != 0) graded = true;
    const QString text = QStringLiteral("社員情報の編集画面で､保険料などの再設定が必要です。");
    if (!graded) {
        ShowInfo(text);
        return;
    }
    if (MessageDlg(text + QStringLiteral("\n自動的に再設定を行いますか？"), MsgType::Confirmation,
                   MsgButtons::YesNo) == MsgResult::Yes)
        ResetPremiums();
}

void ResetPremiums()
{
    const int32_t grades = KenhoGradeCount();
    // Without a grade table every premium would become 0.
    if (grades < 1) return;
    QStringList ungraded;
    for (int s = 1; s <= MaxEmployee; ++s) {
        TEmployeeRec& E = SyainRec[s];
        if (E.MembKey.isEmpty()) continue;
        if (E.Tokyu == 0) {
            ungraded << employeeName(s);
            continue;
        }
        // A grade stored under a longer table of an earlier year is read as the highest grade.
        const TGradePremiums p = GradePremiums(std::min<int32_t>(E.Tokyu, grades), CorpRec);
        E.KenhoRyo = p.KenhoRyo;
        E.KaigoRyo = p.KaigoRyo;
        E.KoseiRyo = p.KoseiRyo;
        E.Kakekin = p.Kakekin;
    }
    if (!ungraded.isEmpty())
        ShowInfo(QStringLiteral("下記の社員は等級表が未選択なので自動設定されません。\n") +
                 ungraded.join(QStringLiteral("、")));
}

// ---- the pickers ----

int32_t KenhoGradeCount()
{
    return std::clamp<int32_t>(KenhoTable[0].Ijou, 0, KenhoTable.high);
}

int32_t PickerGrade(int32_t stored)
{
    const int32_t grades = KenhoGradeCount();
    if (grades == 0) return 0;
    return std::clamp(stored, 1, grades);
}

QString KenhoGradeLine(int32_t g)
{
    const TKenhoGrade& r = KenhoTable[g];
    // The top grade has no upper bound; the largest integer stands for it in the table.
    const QString miman = r.Miman == std::numeric_limits<int32_t>::max()
                              ? QString(15, QLatin1Char(' '))
                              : FmtAmount(9, r.Miman) + QStringLiteral("円未満");
    return FmtAmount(9, r.Ijou) + QStringLiteral("円以上 ") + miman + QStringLiteral("  ") +
           FmtAmount(9, r.Hyojun) + QStringLiteral("円");
}

bool ReadKenRituFile(QStringList& lines, QString& problem)
{
    lines.clear();
    const QString path = TablePath + KenRituName;
    QFile f(path);
    problem.clear();
    if (!f.exists()) return false;
    if (!f.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("%1 を読み込めません。\n%2").arg(path, f.errorString());
        return false;
    }
    QStringList read;
    while (!f.atEnd()) {
        QByteArray raw = f.readLine();
        while (raw.endsWith('\n') || raw.endsWith('\r')) raw.chop(1);
        if (raw.trimmed().isEmpty()) continue;
        try {
            read << cp932::decode(raw);
        } catch (const EncodingError& e) {
            problem = QStringLiteral("%1 を読み込めません。\n%2").arg(path, e.message());
            return false;
        }
    }
    lines = read;
    return true;
}

bool KenRituOfLine(const QString& line, double& rate)
{
    QByteArray bytes;
    try {
        bytes = cp932::encode(line);
    } catch (const EncodingError&) {
        return false;
    }
    bool ok = false;
    const double v = QString::fromLatin1(bytes.mid(10, 5).trimmed()).toDouble(&ok);
    if (!ok || !(v > 0 && v < 100)) return false;
    rate = v;
    return true;
}
