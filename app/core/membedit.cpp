// The employee master record and the window's field texts, new employees and their template.
#include "app/core/membedit.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>

#include "app/core/mainflow.h"
#include "payroll/common.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "platform/atomicfile.h"
#include "platform/clock.h"
#include "platform/cp932.h"
#include "platform/errors.h"

namespace {

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

QString amount9(int32_t v)
{
    return FmtAmount(9, v);
}
QString amount7(int32_t v)
{
    return FmtAmount(7, v);
}

}  // namespace

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

QStringList SexItems()
{
    return {QString(), QStringLiteral("男"), QStringLiteral("女")};
}

QStringList SikUnitItems()
{
    return {QStringLiteral("1日毎"), QStringLiteral("毎月")};
}

void TakeKubunItemName(TEmployeeRec& rec)
{
    const QStringList items = KubunItems();
    if (rec.Kubun >= 1 && rec.Kubun < items.size()) rec.KubunName.setText(items[rec.Kubun]);
}

TMembForm MemberToForm(const TEmployeeRec& rec, int slot)
{
    TMembForm f;
    f.Simei = rec.Simei.shownText();
    f.Busyo = rec.Busyo.shownText();
    const QStringList kubun = KubunItems();
    // An index beyond the list (a foreign record) shows the stored text like a typed category.
    f.Kubun = rec.Kubun >= 0 && rec.Kubun < kubun.size() ? rec.Kubun : -1;
    f.KubunName = f.Kubun >= 1 ? kubun[f.Kubun] : rec.KubunName.shownText();
    f.Keitai = rec.Keitai >= 1 && rec.Keitai <= 3 ? rec.Keitai - 1 : -1;
    f.Otsu = rec.Zeigaku != 0;
    f.Sex = rec.Sex <= 2 ? rec.Sex : -1;
    f.Genkin = rec.Genkin != 0;
    if (slot >= 1 && slot <= MaxEmployee) {
        const TTaisyokuDate t = ReadTaisyoku(slot);
        f.Taisyo = !t.isEmpty();
        if (f.Taisyo) {
            f.TaiYY = t.Year;
            f.TaiMM = t.Month;
            f.TaiDD = t.Day;
        }
    }
    f.MailAdrs = trimLow(rec.MailAdrs.shownText());
    f.Chouson = trimLow(rec.Chouson.shownText());
    f.Fuyou = QString::asprintf("%2d", rec.Fuyou);
    f.Sinzoku = QString::asprintf("%2d", rec.Sinzoku);
    for (int i = 1; i <= 5; ++i) f.Chingin[i] = amount9(rec.Chingin[i]);
    f.Yakuin = amount9(rec.Yakuin);
    f.Family = amount9(rec.Family);
    f.Koutuhi[0] = amount9(rec.Koutuhi[0]);
    f.Koutuhi[1] = amount9(rec.Koutuhi[1]);
    f.SikUnit = rec.SikUnit == 1 || rec.SikUnit == 2 ? rec.SikUnit - 1 : -1;
    f.Juumin6 = amount9(rec.Juumin6);
    f.Juumin = amount9(rec.Juumin);
    for (int i = 1; i <= 3; ++i) {
        f.Teate[i] = amount9(rec.Teate[i]);
        f.Koujo[i] = amount9(rec.FixKoujoGaku[i]);
    }
    f.Yukyu = amount9(rec.Yukyu);
    f.Kekkin = amount9(rec.Kekkin);
    f.Chisou = amount9(rec.Chisou);
    f.Koyou = rec.Koyou != 0;
    f.Kenkou = rec.Kenkou != 0;
    f.KenhoRyo = amount7(rec.KenhoRyo);
    f.Kaigo = rec.Kaigo != 0;
    f.KaigoRyo = amount7(rec.KaigoRyo);
    f.NenHoken = rec.NenHoken != 0;
    f.KoseiRyo = amount7(rec.KoseiRyo);
    f.NenKikin = rec.NenKikin != 0;
    f.Kakekin = amount7(rec.Kakekin);
    f.NoSyoto = rec.NoSyoto != 0;
    f.MyNo = rec.MyNo != 0 ? QString::asprintf("%.12lld", static_cast<long long>(rec.MyNo)) : QString();
    f.Tokyu = rec.Tokyu;
    return f;
}

void FormToMember(const TMembForm& f, int slot, TEmployeeRec& rec)
{
    rec.Simei.setText(trimLow(f.Simei));
    rec.Busyo.setText(trimLow(f.Busyo));
    rec.Kubun = KubunItems().indexOf(f.KubunName);
    rec.KubunName.setText(f.KubunName);
    rec.Keitai = f.Keitai + 1;
    rec.Zeigaku = f.Otsu ? 1 : 0;
    rec.Sex = static_cast<uint8_t>(std::max(f.Sex, 0));
    rec.Genkin = f.Genkin;

    // An unchanged date keeps its stored bytes: rewriting "712 1" as " 712 1" would make an
    // untouched record differ from the file.
    bool keepDate = false;
    if (slot >= 1 && slot <= MaxEmployee) {
        const TTaisyokuDate t = ReadTaisyoku(slot);
        keepDate = f.Taisyo
                       ? !t.isEmpty() && datePart(t.Year) == datePart(f.TaiYY) &&
                             datePart(t.Month) == datePart(f.TaiMM) && datePart(t.Day) == datePart(f.TaiDD)
                       : t.isEmpty();
    }
    if (keepDate) {
        rec.Taisyoku = SyainRec[slot].Taisyoku;
    } else {
        const auto pad = [](const QString& s) { return s.rightJustified(2, QLatin1Char(' ')); };
        rec.Taisyoku.setText(f.Taisyo ? trimLow(pad(f.TaiYY) + pad(f.TaiMM) + pad(f.TaiDD)) : QString());
    }

    rec.MailAdrs.setText(trimLow(f.MailAdrs));
    rec.Chouson.setText(trimLow(f.Chouson));
    rec.Fuyou = NumStrToInt(f.Fuyou);
    rec.Sinzoku = NumStrToInt(f.Sinzoku);
    for (int i = 1; i <= 5; ++i) rec.Chingin[i] = StrToIntEx(f.Chingin[i]);
    rec.Yakuin = StrToIntEx(f.Yakuin);
    rec.Family = StrToIntEx(f.Family);
    rec.Koutuhi[0] = StrToIntEx(f.Koutuhi[0]);
    rec.Koutuhi[1] = StrToIntEx(f.Koutuhi[1]);
    // Rules 3..11 (month-specific payments) are still honoured by the calculation; the list shows
    // only 1 and 2, so "none selected" means "leave the stored rule alone".
    if (f.SikUnit >= 0)
        rec.SikUnit = f.SikUnit + 1;
    else if (rec.SikUnit < 3 || rec.SikUnit > 11)
        rec.SikUnit = 0;
    rec.Juumin6 = StrToIntEx(f.Juumin6);
    rec.Juumin = StrToIntEx(f.Juumin);
    for (int i = 1; i <= 3; ++i) {
        rec.Teate[i] = StrToIntEx(f.Teate[i]);
        rec.FixKoujoGaku[i] = StrToIntEx(f.Koujo[i]);
    }
    rec.Yukyu = StrToIntEx(f.Yukyu);
    rec.Kekkin = StrToIntEx(f.Kekkin);
    rec.Chisou = StrToIntEx(f.Chisou);
    rec.Koyou = f.Koyou;
    rec.Kenkou = f.Kenkou;
    rec.KenhoRyo = StrToIntEx(f.KenhoRyo);
    rec.Kaigo = f.Kaigo;
    rec.KaigoRyo = StrToIntEx(f.KaigoRyo);
    rec.NenHoken = f.NenHoken;
    rec.KoseiRyo = StrToIntEx(f.KoseiRyo);
    rec.NenKikin = f.NenKikin;
    rec.Kakekin = StrToIntEx(f.Kakekin);
    rec.NoSyoto = f.NoSyoto;
    if (f.MyNo.isEmpty()) {
        rec.MyNo = 0;
    } else {
        const std::optional<int64_t> no = StrToMyNumber(f.MyNo);
        if (!no) throw ConvertError(QStringLiteral("マイナンバーの入力に誤りがあります。"));
        rec.MyNo = *no;
    }
    rec.Tokyu = static_cast<uint16_t>(std::clamp(f.Tokyu, 0, 0xFFFF));

    std::memset(rec.reserved164, 0, sizeof rec.reserved164);
    std::memset(rec.reserved204, 0, sizeof rec.reserved204);
    std::memset(rec.reserved356, 0, 141);  // bytes 497..499 are kept
}

void GetMemberFromForm(const TMembForm& f, int slot, TEmployeeRec& rec)
{
    if (rec.MembKey.isEmpty()) {
        const int32_t unit = rec.SikUnit;
        std::memset(&rec, 0, sizeof rec);
        rec.SikUnit = unit;
        rec.MembKey.setBytes(NewMembKey());
    }
    FormToMember(f, slot, rec);
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

TMembFormError CheckMemberForm(const TMembForm& f)
{
    if (trimLow(f.Simei).isEmpty()) return {TMembFormError::Simei, QStringLiteral("氏名を入力して下さい。")};
    if (!f.MyNo.isEmpty() && !StrToMyNumber(f.MyNo))
        return {TMembFormError::MyNo, QStringLiteral("マイナンバーの入力に誤りがあります。")};
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
    if (CurPeriod.Period >= 1 && CurPeriod.Period <= 12) {
        Arr<double, 1, 16>& k = KintaiRec[e].Kintai;
        k[kiSyoteiNissu] = CorpRec.Nissu;
        k[kiSyoteiJikan] = CorpRec.Jikan;
        if (rec.Keitai == 1) {
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
    r.Keitai = 1;
    r.SikUnit = 2;
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw IoError::failed(what, path, file.errorString());
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

TEmployeeRec MemberTemplate(const TMembForm& f)
{
    TMembForm g = f;
    g.MyNo.clear();  // an individual number belongs to one person only
    TEmployeeRec r;
    std::memset(&r, 0, sizeof r);
    GetMemberFromForm(g, -1, r);
    clearStr(r.Simei);
    clearStr(r.MembKey);
    clearStr(r.MailAdrs);
    clearStr(r.Taisyoku);
    r.Tokyu = 0;
    r.MyNo = 0;
    return r;
}

void SaveMemberTemplate(const TMembForm& f)
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
