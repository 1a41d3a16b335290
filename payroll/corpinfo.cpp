// Company block checks and storage, the premium reset over all employees, and the picker lines.
#include "payroll/corpinfo.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
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
#include "platform/readfile.h"

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

const std::vector<TCorpField>& CorpFields()
{
    using R = TCorpRec;
    using K = FieldKind;
    const auto rate = [](const char* name, const char* caption, auto get, auto set) {
        return NumberField<R>(
            {.name = name, .caption = caption, .kind = K::Decimal, .tag = 63, .maxLength = 6}, get, set);
    };
    static const std::vector<TCorpField> table = {
        TextField<R>(
            {.name = "edSyamei", .caption = "会社名称", .maxLength = SyameiBytes},
            [](const R& c) { return c.Syamei.shownText(); },  // a damaged name still opens
            [](R& c, const QString& s) { c.Syamei.setText(CutToMaxLen(s.trimmed(), SyameiBytes)); }),
        NumberField<R>({.name = "edSikyubi",
                        .caption = "給与支給日     日",
                        .kind = K::Count,
                        .tag = 20,
                        .maxLength = 2},
                       FIELD_MEMBER(Sikyubi)),
        // The pay-date shift is one number behind two boxes; the second box stores it.
        CheckField<R>({.name = "cbSikyuP1", .caption = "入力月の翌月を支給日とする", .kind = K::Check},
                      [](const R& c) { return c.SikyuShift == 1; }),
        {{.name = "cbSikyuM1", .caption = "入力月の前月の給与明細とする", .kind = K::Check},
         [](const R& c) {
             return TFieldValue{{}, -1, c.SikyuShift == -1};
         },
         [](R& c, const TFieldValues& v) {
             c.SikyuShift = v.value("cbSikyuM1").checked ? -1 : v.value("cbSikyuP1").checked ? 1 : 0;
         }},
        CheckField<R>(
            {.name = "cbJuumin6", .caption = "住民税(6月分)をずらす", .kind = K::Check},
            [](const R& c) { return c.SikyuShift == -1 && c.Juumin6Flag == 1; },
            [](R& c, bool on) { c.Juumin6Flag = on ? 1 : 0; }),
        NumberField<R>({.name = "edJikanD",
                        .caption = "1日の労働時間        時間",
                        .kind = K::Hours,
                        .tag = 52,
                        .maxLength = 5},
                       FIELD_MEMBER(JikanD)),
        TextField<R>(
            {.name = "edHouNo",
             .caption = "法人番号",
             .kind = K::Digits,
             .tag = 20,
             .maxLength = HouNoDigits},
            [](const R& c) { return FmtHouNo(c.HouNo); },
            [](R& c, const QString& text) {
                // The number is kept in 64 bits: its 13 digits do not fit a 32-bit integer.
                const QString s = text.trimmed();
                c.HouNo = s.isEmpty() ? 0 : s.left(7).toLongLong() * 1000000 + s.mid(7).toLongLong();
            }),
        CheckField<R>(
            {.name = "rbJigyo", .caption = "一般事業所", .kind = K::Radio},
            [](const R& c) { return c.Jigyo == 1; }, [](R& c, bool on) { c.Jigyo = on ? 1 : 0; }),
        CheckField<R>({.name = "rbIgai", .caption = "それ以外", .kind = K::Radio},
                      [](const R& c) { return c.Jigyo != 1; }),
        rate("edKoyRitu", "保険料負担率          ％", FIELD_MEMBER(KoyRitu)),
        rate("edKenRitu", "健康保険              ％", FIELD_MEMBER(KenRitu)),
        rate("edKaiRitu", "介護保険              ％", FIELD_MEMBER(KaiRitu)),
        rate("edNenRitu", "厚生年金              ％", FIELD_MEMBER(NenRitu)),
        rate("edKknRitu", "厚生年金基金率         ％", FIELD_MEMBER(KknRitu)),
        CheckField<R>({.name = "cbUseHyo", .caption = "雇用保険料額表を使用", .kind = K::Check},
                      FIELD_MEMBER(UseHyo)),
    };
    return table;
}

TCorpCheck CheckCorpEntry(const TFieldValues& e)
{
    const auto text = [&e](const char* field) { return e.value(field).text; };
    const auto refuse = [](const char* message, const char* field) {
        ShowError(QString::fromUtf8(message));
        return TCorpCheck{field};
    };
    const QString name = text("edSyamei").trimmed();
    if (name.isEmpty()) return refuse("会社名が入力されていません。", "edSyamei");
    try {
        cp932::encode(name);
    } catch (const EncodingError& err) {
        // The name is stored in CP932 bytes; a character it lacks could not be kept.
        ShowError(err.message());
        return TCorpCheck{"edSyamei"};
    }
    if (StrToFloatEx(text("edJikanD")) == 0) return refuse("所定労働条件が入力されていません。", "edJikanD");
    const int32_t day = NumStrToInt(text("edSikyubi"));
    if (day < 1 || day > 31) return refuse("給与支給日の入力に誤りがあります。", "edSikyubi");
    const bool koy = StrToFloatEx(text("edKoyRitu")) == 0;
    const bool ken = StrToFloatEx(text("edKenRitu")) == 0;
    const bool kai = StrToFloatEx(text("edKaiRitu")) == 0;
    const bool nen = StrToFloatEx(text("edNenRitu")) == 0;
    if (koy || ken || kai || nen) {
        TCorpCheck r = refuse("保険料負担率が入力されていません。", koy ? "edKoyRitu" : "");
        // The later missing rates take the focus; a missing health rate is picked from the list.
        r.pickKenRitu = ken;
        if (kai) r.focus = "edKaiRitu";
        if (nen) r.focus = "edNenRitu";
        return r;
    }
    const QString houNo = text("edHouNo").trimmed();
    if (!houNo.isEmpty() && (houNo.size() != HouNoDigits || !allDigits(houNo)))
        return refuse("法人番号の入力に誤りがあります。", "edHouNo");
    return {};
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
                   MsgButtons::YesNo, MsgDefault::Safe) == MsgResult::Yes)
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
    return ReadKenRituFileIn(TablePath, lines, problem);
}

bool ReadKenRituFileIn(const QString& folder, QStringList& lines, QString& problem)
{
    lines.clear();
    const QString path = folder + KenRituName;
    QFile f;
    problem.clear();
    QString reason;
    if (!OpenReadFile(f, path, ReadKind::Table, reason)) {
        if (errno != ENOENT) problem = QStringLiteral("%1 を読み込めません。\n%2").arg(path, reason);
        return false;
    }
    QStringList read;
    while (!f.atEnd()) {
        QByteArray raw = f.readLine();
        while (raw.endsWith('\n') || raw.endsWith('\r')) raw.chop(1);
        if (raw.trimmed().isEmpty() || IsTableDateLine(raw)) continue;
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
