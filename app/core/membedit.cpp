// The employee master record and the table of the window's fields, new employees and their
// template.
#include "app/core/membedit.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>

#include "payroll/captions.h"
#include "payroll/common.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "platform/atomicfile.h"
#include "platform/clock.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/readfile.h"

namespace {

using R = TEmployeeRec;
using K = FieldKind;

const QString TemplateName = QStringLiteral("社員情報.dat");
const QString SampleTemplateName = QStringLiteral("社員情報(仮).dat");

// Blanks and control characters off both ends, as the stored texts were always trimmed: a
// full-width blank at the end of a name is the user's and stays.
QString trimLow(const QString& s)
{
    int b = 0, e = s.size();
    while (b < e && s[b].unicode() <= 0x20) ++b;
    while (e > b && s[e - 1].unicode() <= 0x20) --e;
    return s.mid(b, e - b);
}

// One part of a retirement date compared by its number, so that " 7" and "07" are the same day.
QString datePart(const QString& s)
{
    QString t = trimLow(s);
    while (t.size() > 1 && t.startsWith(QLatin1Char('0'))) t.remove(0, 1);
    return t;
}

template <int N>
void clearStr(PStr<N>& s)
{
    std::memset(&s, 0, sizeof s);
}

const char* const DateEdits[] = {"edTaiYY", "edTaiMM", "edTaiDD"};

// The retirement date of the check box and its three edits ("%2s%2s%2s", trimmed). A date left
// as shown keeps the stored bytes: rewriting "712 1" as " 712 1" would make an untouched record
// differ from the file.
void storeDate(R& r, const TFieldValues& v)
{
    const TTaisyokuDate stored = TaisyokuOf(r);
    const QString shown[] = {stored.Year, stored.Month, stored.Day};
    const bool retired = v.value("cbTaisyo").checked;
    bool same = retired != stored.isEmpty();
    QString text;
    for (int i = 0; i < 3; ++i) {
        const QString part = v.value(DateEdits[i]).text;
        same = same && (!retired || datePart(part) == datePart(shown[i]));
        text += part.rightJustified(2, QLatin1Char(' '));
    }
    if (!same) r.Taisyoku.setText(retired ? trimLow(text) : QString());
}

// A text of the record (get returns it as stored, set stores it), shown as stored or trimmed, and
// stored trimmed.
template <typename Get, typename Set>
TMemberField textField(const TFieldDef& def, bool trimShown, Get get, Set set)
{
    return TextField<R>(
        def, [=](const R& r) { return trimShown ? trimLow(get(r)) : get(r); },
        [=](R& r, const QString& s) { set(r, trimLow(s)); });
}

// A number by its Tag: amounts of 7 digits shown 9 wide (90), premiums of 6 shown 7 wide (70),
// dependants of 2 (20).
template <typename Get, typename Set>
TMemberField number(int tag, const char* name, const char* caption, Get get, Set set,
                    const char* label = nullptr)
{
    return NumberField<R>({.name = name,
                           .caption = caption,
                           .kind = tag == 20 ? K::Count : K::Amount,
                           .tag = tag,
                           .maxLength = tag == 90   ? 7
                                        : tag == 70 ? 6
                                                    : 2,
                           .label = label},
                          get, set);
}
template <typename Get, typename Set>
TMemberField check(const char* name, const char* caption, Get get, Set set)
{
    return CheckField<R>({.name = name, .caption = caption, .kind = K::Check}, get, set);
}

}  // namespace

const std::vector<TMemberField>& MemberFields()
{
    static const std::vector<TMemberField> table = [] {
        std::vector<TMemberField> t = {
            textField(
                {.name = "edSimei", .caption = "氏名", .maxLength = 16}, false,
                [](const R& r) { return r.Simei.shownText(); },
                [](R& r, const QString& s) { r.Simei.setText(s); }),
            textField(
                {.name = "edBusyo", .caption = "部署名", .maxLength = 16}, false,
                [](const R& r) { return r.Busyo.shownText(); },
                [](R& r, const QString& s) { r.Busyo.setText(s); }),
            // An index beyond the list (a foreign record) shows the stored text like a typed
            // category; a text that is no item of the list is stored with the index -1.
            {{.name = "cbKubun",
              .caption = "社員区分",
              .kind = K::EditList,
              .maxLength = 10,
              .items = KubunItems()},
             [](const R& r) {
                 const QStringList items = KubunItems();
                 const int i = r.Kubun >= 0 && r.Kubun < items.size() ? r.Kubun : -1;
                 return TFieldValue{i >= 1 ? items[i] : r.KubunName.shownText(), i};
             },
             [](R& r, const TFieldValues& v) {
                 const QString text = v.value("cbKubun").text;
                 r.Kubun = KubunItems().indexOf(text);
                 r.KubunName.setText(text);
             }},
            ListField<R>(
                {.name = "cbKeitai", .caption = "支給形態", .kind = K::List, .items = KeitaiItems()},
                [](const R& r) { return IsPayType(r.Keitai) ? r.Keitai - 1 : -1; },
                [](R& r, int i) { r.Keitai = i + 1; }),
            CheckField<R>(
                {.name = "rbZeigaku0", .caption = "甲欄", .kind = K::Radio},
                [](const R& r) { return r.Zeigaku == 0; }, [](R& r, bool on) { r.Zeigaku = on ? 0 : 1; }),
            CheckField<R>({.name = "rbZeigaku1", .caption = "乙欄", .kind = K::Radio},
                          [](const R& r) { return r.Zeigaku != 0; }),
            ListField<R>(
                {.name = "cbSex",
                 .caption = "性別",
                 .kind = K::List,
                 .items = {QString(), QStringLiteral("男"), QStringLiteral("女")}},
                [](const R& r) { return r.Sex <= 2 ? int(r.Sex) : -1; },
                [](R& r, int i) { r.Sex = static_cast<uint8_t>(std::max(i, 0)); }),
            textField(
                {.name = "edChouson", .caption = "市区町村", .maxLength = 16}, true,
                [](const R& r) { return r.Chouson.shownText(); },
                [](R& r, const QString& s) { r.Chouson.setText(s); }),
            textField(
                {.name = "edMailAdrs", .caption = "メールアドレス", .maxLength = 48, .inputMethod = false},
                true, [](const R& r) { return r.MailAdrs.shownText(); },
                [](R& r, const QString& s) { r.MailAdrs.setText(s); }),
            {{.name = "cbTaisyo", .caption = "退職者", .kind = K::Check},
             [](const R& r) {
                 return TFieldValue{{}, -1, !TaisyokuOf(r).isEmpty()};
             },
             storeDate},
        };
        for (int i = 0; i < 3; ++i)
            t.push_back({{.name = DateEdits[i], .kind = K::Digits, .tag = 20, .maxLength = 2},
                         [i](const R& r) {
                             const TTaisyokuDate d = TaisyokuOf(r);
                             return TFieldValue{i == 0 ? d.Year : i == 1 ? d.Month : d.Day};
                         },
                         {}});  // stored by cbTaisyo
        t.push_back(TextField<R>(
            {.name = "edMyNo", .caption = "マイナンバー", .kind = K::Digits, .tag = 20, .maxLength = 12},
            [](const R& r) {
                return r.MyNo != 0 ? QString::asprintf("%.12lld", static_cast<long long>(r.MyNo)) : QString();
            },
            [](R& r, const QString& text) {
                const std::optional<int64_t> no = text.isEmpty() ? 0 : StrToMyNumber(text);
                if (!no) throw ConvertError(QStringLiteral("マイナンバーの入力に誤りがあります。"));
                r.MyNo = *no;
            }));
        // Pay: the wage by pay type and the overtime unit prices, allowances, commuting.
        const char* const chingin[][2] = {{"edChingin1", "基本給"},
                                          {"edChingin2", "普通残業単価"},
                                          {"edChingin3", "深夜残業単価"},
                                          {"edChingin4", "休日普通単価"},
                                          {"edChingin5", "休日深夜単価"}};
        for (int i = 1; i <= 5; ++i)
            t.push_back(number(90, chingin[i - 1][0], chingin[i - 1][1], FIELD_ELEMENT(Chingin, i),
                               i == 1 ? "lbChingin1" : nullptr));
        t.push_back(number(90, "edYakuin", "役職手当", FIELD_MEMBER(Yakuin)));
        t.push_back(number(90, "edFamily", "家族手当", FIELD_MEMBER(Family)));
        // The captions of the fixed allowances and deductions are the user's item names.
        const char* const teate[][2] = {
            {"edTeate1", "lbFixTeate1"}, {"edTeate2", "lbFixTeate2"}, {"edTeate3", "lbFixTeate3"}};
        for (int i = 1; i <= 3; ++i)
            t.push_back(number(90, teate[i - 1][0], "", FIELD_ELEMENT(Teate, i), teate[i - 1][1]));
        for (int i = 0; i <= 1; ++i)
            t.push_back(number(90, i == 0 ? "edKoutuhi0" : "edKoutuhi1",
                               i == 0 ? "非課税通勤費" : "課税通勤費", FIELD_ELEMENT(Koutuhi, i)));
        // Rules 3..11 (month-specific payments) are still honoured by the calculation; the list
        // shows only 1 and 2, so "none selected" leaves the stored rule alone.
        t.push_back(ListField<R>(
            {.name = "cbSikUnit",
             .caption = "通勤費の支給",
             .kind = K::List,
             .items = {QStringLiteral("1日毎"), QStringLiteral("毎月")}},
            [](const R& r) {
                return r.SikUnit == CommutingRule::PerDay || r.SikUnit == CommutingRule::EveryMonth
                           ? r.SikUnit - 1
                           : -1;
            },
            [](R& r, int i) {
                if (i >= 0)
                    r.SikUnit = i + 1;
                else if (r.SikUnit < CommutingRule::QuarterlyFirst ||
                         r.SikUnit > CommutingRule::HalfYearlyLast)
                    r.SikUnit = 0;
            }));
        // Deductions and the rates of absence.
        t.push_back(number(90, "edJuumin6", "住民税(6月)", FIELD_MEMBER(Juumin6)));
        t.push_back(number(90, "edJuumin", "住民税(7月～)", FIELD_MEMBER(Juumin)));
        const char* const koujo[][2] = {
            {"edKoujo1", "lbFixKoujo1"}, {"edKoujo2", "lbFixKoujo2"}, {"edKoujo3", "lbFixKoujo3"}};
        for (int i = 1; i <= 3; ++i)
            t.push_back(number(90, koujo[i - 1][0], "", FIELD_ELEMENT(FixKoujoGaku, i), koujo[i - 1][1]));
        t.push_back(number(90, "edYukyu", "有休時支給額", FIELD_MEMBER(Yukyu), "lbYukyu"));
        t.push_back(number(90, "edKekkin", "欠勤控除(1日)", FIELD_MEMBER(Kekkin)));
        t.push_back(number(90, "edChisou", "遅刻早退(1時間)", FIELD_MEMBER(Chisou)));
        // Insurance with its premiums, dependants, tax and cash.
        t.push_back(check("cbKoyou", "雇用保険対象者", FIELD_MEMBER(Koyou)));
        t.push_back(check("cbKenkou", "健康保険対象者", FIELD_MEMBER(Kenkou)));
        t.push_back(number(70, "edKenhoRyo", "健康保険料", FIELD_MEMBER(KenhoRyo), "lbKenhoRyo"));
        t.push_back(check("cbKaigo", "介護保険料を徴収", FIELD_MEMBER(Kaigo)));
        t.push_back(number(70, "edKaigoRyo", "介護保険料", FIELD_MEMBER(KaigoRyo), "lbKaigoRyo"));
        t.push_back(check("cbNenHoken", "厚生年金対象者", FIELD_MEMBER(NenHoken)));
        t.push_back(number(70, "edKoseiRyo", "厚生年金保険", FIELD_MEMBER(KoseiRyo), "lbKoseiRyo"));
        t.push_back(check("cbNenKikin", "厚生年金基金加入", FIELD_MEMBER(NenKikin)));
        t.push_back(number(70, "edKakekin", "基金掛金", FIELD_MEMBER(Kakekin), "lbKakekin"));
        t.push_back(number(20, "edFuyou", "扶養人数", FIELD_MEMBER(Fuyou)));
        t.push_back(number(20, "edSinzoku", "扶養親族等の数", FIELD_MEMBER(Sinzoku)));
        t.push_back(check("cbNoSyoto", "所得税を計算しない", FIELD_MEMBER(NoSyoto)));
        t.push_back(check("cbGenkin", "現金支給", FIELD_MEMBER(Genkin)));
        return t;
    }();
    return table;
}

void TakeKubunItemName(TEmployeeRec& rec)
{
    const QStringList items = KubunItems();
    if (rec.Kubun >= 1 && rec.Kubun < items.size()) rec.KubunName.setText(items[rec.Kubun]);
}

void FormToMember(const TFieldValues& f, TEmployeeRec& rec)
{
    StoreFields(MemberFields(), f, rec);
    std::memset(rec.reserved164, 0, sizeof rec.reserved164);
    std::memset(rec.reserved204, 0, sizeof rec.reserved204);
    std::memset(rec.reserved356, 0, 141);  // bytes 497..499 are kept
}

void GetMemberFromForm(const TFieldValues& f, int grade, TEmployeeRec& rec)
{
    if (rec.MembKey.isEmpty()) {
        const int32_t unit = rec.SikUnit;
        std::memset(&rec, 0, sizeof rec);
        rec.SikUnit = unit;
        rec.MembKey.setBytes(NewMembKey());
    }
    FormToMember(f, rec);
    rec.Tokyu = static_cast<uint16_t>(std::clamp(grade, 0, 0xFFFF));
}

QByteArray NewMembKey()
{
    return Now().toString(QStringLiteral("yyMMdd_HHmmss")).toLatin1();
}

std::optional<int64_t> StrToMyNumber(const QString& text)
{
    if (text.size() != 12) return std::nullopt;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    return text.left(6).toLongLong() * 1000000 + text.mid(6).toLongLong();
}

TMembFormError CheckMemberForm(const TFieldValues& f)
{
    if (trimLow(f.value("edSimei").text).isEmpty())
        return {"edSimei", QStringLiteral("氏名を入力して下さい。")};
    if (HasControlChar(f.value("edMailAdrs").text))
        return {"edMailAdrs", QStringLiteral("メールアドレスに改行などの制御文字は使えません。")};
    const QString myNo = f.value("edMyNo").text;
    if (!myNo.isEmpty() && !StrToMyNumber(myNo))
        return {"edMyNo", QStringLiteral("マイナンバーの入力に誤りがあります。")};
    return {};
}

int FirstFreeSlot()
{
    for (int e = 1; e <= MaxEmployee; ++e)
        if (SyainRec[e].MembKey.isEmpty()) return e;
    return 0;
}

int AddNewMember(const TEmployeeRec& rec)
{
    const int e = FirstFreeSlot();
    if (e == 0) return 0;
    SyainRec[e] = rec;
    SyainRec[e].SeqNo = 0;
    if (CurPeriod.Period >= 1 && !IsBonusPeriod(CurPeriod.Period)) {
        Arr<double, 1, 16>& k = KintaiRec[e].Kintai;
        k[kiSyoteiNissu] = CorpRec.Nissu;
        k[kiSyoteiJikan] = CorpRec.Jikan;
        if (rec.Keitai == PayType::Monthly) {
            k[kiSyukkin] = CorpRec.Nissu;
            k[kiJitudou] = CorpRec.Jikan;
        }
    }
    // While nobody has a serial number the list runs in slot order; once numbers exist they run
    // 1..N without gaps, and the newcomer goes last.
    if (const int32_t max = GetMaxMembNo(); max > 0) SyainRec[e].SeqNo = static_cast<uint16_t>(max + 1);
    return e;
}

QString MemberTemplateFile()
{
    return DataPath + TemplateName;
}

TEmployeeRec NewMemberDefaults()
{
    TEmployeeRec r;
    std::memset(&r, 0, sizeof r);
    r.Kubun = 2;
    r.Keitai = PayType::Monthly;
    r.SikUnit = CommutingRule::EveryMonth;
    return r;
}

TEmployeeRec NewMemberFromBase(bool firstRun)
{
    TEmployeeRec r = NewMemberDefaults();
    QString path = MemberTemplateFile();
    if (!QFileInfo::exists(path)) {
        if (!firstRun) return r;
        path = TablePath + SampleTemplateName;
        if (!QFileInfo::exists(path)) return r;
    }
    const QString what = QStringLiteral("新規作成時の基本の読み込み");
    QFile file;
    OpenReadFileOrThrow(file, path, ReadKind::Data, what);
    const QByteArray bytes = file.read(sizeof r);
    if (bytes.size() != static_cast<int>(sizeof r))
        throw IoError::failed(what, path, QStringLiteral("ファイルが短すぎます。"));
    std::memcpy(&r, bytes.constData(), sizeof r);
    // Whatever file this is, a newcomer gets his own key, no one's individual number and is not
    // retired.
    clearStr(r.MembKey);
    clearStr(r.Taisyoku);
    r.MyNo = 0;
    return r;
}

TEmployeeRec MemberTemplate(const TFieldValues& f)
{
    TFieldValues g = f;
    g["edMyNo"].text.clear();  // an individual number belongs to one person only
    TEmployeeRec r;
    std::memset(&r, 0, sizeof r);
    GetMemberFromForm(g, 0, r);
    clearStr(r.Simei);
    clearStr(r.MembKey);
    clearStr(r.MailAdrs);
    clearStr(r.Taisyoku);
    r.Tokyu = 0;
    r.MyNo = 0;
    return r;
}

void SaveMemberTemplate(const TFieldValues& f)
{
    const TEmployeeRec r = MemberTemplate(f);
    const QString path = MemberTemplateFile();
    WriteFileAtomic(path, QByteArray(reinterpret_cast<const char*>(&r), sizeof r),
                    QStringLiteral("新規作成時の基本の書き込み"));
}

void DeleteMemberTemplate()
{
    const QString path = MemberTemplateFile();
    QFile file(path);
    if (file.exists() && !file.remove())
        throw IoError::failed(QStringLiteral("新規作成時の基本の削除"), path, file.errorString());
}

int StepSlot(int slot, int dir)
{
    if (slot < 1 || slot > MaxEmployee) return slot;
    if (GetMaxMembNo() > 0) {
        const int target = SyainRec[slot].SeqNo + dir;
        if (target < 1) return slot;
        for (int e = 1; e <= MaxEmployee; ++e)
            if (SyainRec[e].SeqNo == target && !SyainRec[e].MembKey.isEmpty()) return e;
        return slot;
    }
    const int e = slot + dir;
    return e >= 1 && e <= MaxEmployee && !SyainRec[e].MembKey.isEmpty() ? e : slot;
}

TStepButtons StepButtons(int slot, bool viewOnly)
{
    TStepButtons b;
    if (viewOnly || slot < 1 || slot > MaxEmployee) return b;
    if (const int32_t max = GetMaxMembNo(); max > 0) {
        const int n = SyainRec[slot].SeqNo;
        b.back = n >= 2;
        b.next = n >= 1 && n < max;
    } else {
        b.back = slot >= 2;
        b.next = slot < MaxEmployee && !SyainRec[slot + 1].MembKey.isEmpty();
    }
    return b;
}

QString DropNonCp932(const QString& text)
{
    if (cp932::canEncode(text)) return text;
    QString kept;
    for (char32_t c : text.toUcs4()) {
        const QString ch = QString::fromUcs4(&c, 1);
        if (cp932::canEncode(ch)) kept += ch;
    }
    return kept;
}
