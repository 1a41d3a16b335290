// Employee CSV export and import.
#include "app/core/membcsv.h"

#include <QHash>
#include <algorithm>
#include <cstring>
#include <memory>

#include "app/core/membedit.h"
#include "payroll/calc.h"
#include "payroll/captions.h"
#include "payroll/common.h"
#include "payroll/period.h"
#include "platform/clock.h"
#include "platform/cp932.h"
#include "platform/errors.h"

namespace {

const char* const HeaderNames[MemberCsvColumns] = {
    "氏名",           "部署",           "社員区分",        "支給形態",
    "現金支給",       "税額表",         "退職年月日",      "扶養人数",
    "扶養親族等の数", "基本給",         "役職手当",        "家族手当",
    "残業手当(普通)", "残業手当(深夜)", "休日残業(普通)",  "休日残業(深夜)",
    "交通費(非課税)", "交通費(課税)",   "住民税(６月)",    "住民税(以外)",
    "有休時支給額",   "欠勤控除額",     "遅刻･早退控除額", "雇用保険対象",
    "健康保険料",     "介護保険料",     "厚生年金保険料",  "厚生年金基金掛け金",
    "メールアドレス", "UniqueKey",      "FileVer 1.1",     "連番"};

// The four insurances of columns 24..27: the flag, the amount and the employee window's field.
struct Insurance {
    uint8_t TEmployeeRec::*flag;
    int32_t TEmployeeRec::*amount;
    const char* field;
};
const Insurance Insurances[4] = {{&TEmployeeRec::Kenkou, &TEmployeeRec::KenhoRyo, "edKenhoRyo"},
                                 {&TEmployeeRec::Kaigo, &TEmployeeRec::KaigoRyo, "edKaigoRyo"},
                                 {&TEmployeeRec::NenHoken, &TEmployeeRec::KoseiRyo, "edKoseiRyo"},
                                 {&TEmployeeRec::NenKikin, &TEmployeeRec::Kakekin, "edKakekin"}};

// The integer columns, their fields and the employee window's field that holds the same value
// (the insurances and flags are handled on their own).
struct IntColumn {
    int column;
    const char* field;
    int32_t (*get)(const TEmployeeRec&);
    void (*set)(TEmployeeRec&, int32_t);
};
#define INT_COLUMN(c, f, m)                                         \
    {                                                               \
        c, f, [](const TEmployeeRec& r) -> int32_t { return r.m; }, \
            [](TEmployeeRec& r, int32_t v) { r.m = v; }             \
    }
#define ARR_COLUMN(c, f, m, i)                                                                          \
    {                                                                                                   \
        c, f, [](const TEmployeeRec& r) -> int32_t { return r.m[i]; }, [](TEmployeeRec& r, int32_t v) { \
            auto a = r.m;                                                                               \
            a[i] = v;                                                                                   \
            r.m = a;                                                                                    \
        }                                                                                               \
    }
const IntColumn IntColumns[] = {
    INT_COLUMN(7, "edFuyou", Fuyou),          INT_COLUMN(8, "edSinzoku", Sinzoku),
    ARR_COLUMN(9, "edChingin1", Chingin, 1),  INT_COLUMN(10, "edYakuin", Yakuin),
    INT_COLUMN(11, "edFamily", Family),       ARR_COLUMN(12, "edChingin2", Chingin, 2),
    ARR_COLUMN(13, "edChingin3", Chingin, 3), ARR_COLUMN(14, "edChingin4", Chingin, 4),
    ARR_COLUMN(15, "edChingin5", Chingin, 5), ARR_COLUMN(16, "edKoutuhi0", Koutuhi, 0),
    ARR_COLUMN(17, "edKoutuhi1", Koutuhi, 1), INT_COLUMN(18, "edJuumin6", Juumin6),
    INT_COLUMN(19, "edJuumin", Juumin),       INT_COLUMN(20, "edYukyu", Yukyu),
    INT_COLUMN(21, "edKekkin", Kekkin),       INT_COLUMN(22, "edChisou", Chisou),
};
#undef INT_COLUMN
#undef ARR_COLUMN

QByteArray quoted(const QString& text)
{
    QString t = text;
    t.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return '"' + cp932::encode(t.trimmed()) + "\",";
}
QByteArray number(int64_t v)
{
    return QByteArray::number(static_cast<qlonglong>(v)) + ',';
}

// "2024/ 4/ 1" of a stored retirement date: the western year is the stored year + 1988.
QString exportDate(const TEmployeeRec& r)
{
    const TTaisyokuDate d = TaisyokuOf(r);
    if (d.isEmpty()) return {};
    return QStringLiteral("%1/%2/%3").arg(d.Year.trimmed().toInt() + 1988, 4).arg(d.Month, d.Day);
}

// A line refused: the column's name and what is wrong with it.
struct LineError {
    QString reason;
};
[[noreturn]] void refuse(int column, const QString& why)
{
    throw LineError{QStringLiteral("%1: %2").arg(QString::fromUtf8(HeaderNames[column]), why)};
}

int32_t intOf(const QStringList& f, int column)
{
    try {
        return NumStrToInt(f.value(column));
    } catch (const ConvertError&) {
        refuse(column, QStringLiteral("数値ではありません（%1）").arg(f.value(column)));
    }
}

// A number of the column within lo..hi.
int32_t intIn(const QStringList& f, int column, int32_t lo, int32_t hi)
{
    const int32_t v = intOf(f, column);
    if (v < lo || v > hi) {
        const QString range = hi - lo == 1 ? QStringLiteral("%1か%2").arg(lo).arg(hi)
                                           : QStringLiteral("%1～%2").arg(lo).arg(hi);
        refuse(column, QStringLiteral("%1ではありません（%2）").arg(range, f.value(column)));
    }
    return v;
}

// A number as the employee window's field of it can hold it: as many characters as the field
// takes, a leading "-" among them (7 characters: -999999..9999999).
int32_t fieldValue(const QStringList& f, int column, const char* field)
{
    const int length = FindField(MemberFields(), field)->def.maxLength;
    int32_t power = 1;
    for (int i = 1; i < length; ++i) power *= 10;
    return intIn(f, column, -(power - 1), power * 10 - 1);
}

// "yyyy/m/d" or "yyyy/mm/dd" as the stored "%2d%2d%2d"; a date that equals the stored one keeps
// the stored bytes ("3604 1" and "36 4 1" are the same day).
void storeDate(TEmployeeRec& r, const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        r.Taisyoku.setText(QString());
        return;
    }
    const QStringList parts = t.split(QLatin1Char('/'));
    bool ok[3] = {};
    const int y = parts.size() == 3 ? parts[0].trimmed().toInt(&ok[0]) - 1988 : 0;
    const int m = parts.size() == 3 ? parts[1].trimmed().toInt(&ok[1]) : 0;
    const int d = parts.size() == 3 ? parts[2].trimmed().toInt(&ok[2]) : 0;
    if (!ok[0] || !ok[1] || !ok[2] || y < 0 || y > 99 || m < 1 || m > 12 || d < 1 || d > 31)
        refuse(6, QStringLiteral("日付ではありません（%1）").arg(text));
    const TTaisyokuDate old = TaisyokuOf(r);
    if (!old.isEmpty() && old.Year.trimmed().toInt() == y && old.Month.trimmed().toInt() == m &&
        old.Day.trimmed().toInt() == d)
        return;
    r.Taisyoku.setText(QString::asprintf("%2d%2d%2d", y, m, d));
}

// The columns of one line stored into rec; LineError when a value cannot be stored.
void storeLine(TEmployeeRec& r, const QStringList& f, bool withSeqNo, bool storeSeqNo)
{
    const QString name = f.value(0).trimmed();
    if (name.isEmpty()) refuse(0, QStringLiteral("空です"));
    const int32_t keitai = intIn(f, 3, PayType::Monthly, PayType::Hourly);
    const int32_t zeigaku = intIn(f, 5, 0, 1);
    const struct {
        int column;
        PStr<20>* p20;
        PStr<50>* p50;
        PStr<12>* p12;
    } texts[] = {{0, &r.Simei, nullptr, nullptr},
                 {1, &r.Busyo, nullptr, nullptr},
                 {2, nullptr, nullptr, &r.KubunName},
                 {28, nullptr, &r.MailAdrs, nullptr}};
    for (const auto& t : texts) {
        const QString s = t.column == 2 ? f.value(2) : f.value(t.column).trimmed();
        if (!cp932::canEncode(s)) refuse(t.column, QStringLiteral("使えない文字があります"));
        if (t.p50 && HasControlChar(s)) refuse(t.column, QStringLiteral("改行などの制御文字があります"));
        if (t.p20) t.p20->setText(s);
        if (t.p50) t.p50->setText(s);
        if (t.p12) t.p12->setText(s);
    }
    // The category's text decides its index: a list item by its place, anything else is typed.
    r.Kubun = KubunItems().indexOf(r.KubunName.shownText());
    r.Keitai = keitai;
    r.Zeigaku = zeigaku;
    r.Genkin = static_cast<uint8_t>(intIn(f, 4, 0, 1));
    storeDate(r, f.value(6));
    for (const IntColumn& c : IntColumns) c.set(r, fieldValue(f, c.column, c.field));
    r.Koyou = static_cast<uint8_t>(intIn(f, 23, 0, 1));
    for (int i = 0; i < 4; ++i) {
        // -1: not insured.
        const int32_t v = fieldValue(f, 24 + i, Insurances[i].field);
        r.*(Insurances[i].flag) = v != -1 ? 1 : 0;
        if (v != -1) r.*(Insurances[i].amount) = v;
    }
    // A new employee's serial number is not taken, but a wrong one is still a wrong line.
    if (withSeqNo) {
        const int32_t seq = intIn(f, 31, 0, MaxEmployee);
        if (storeSeqNo) r.SeqNo = static_cast<uint16_t>(seq);
    }
}

// The slot whose key is key, 0 when none.
int slotOfKey(const QByteArray& key)
{
    for (int e = 1; e <= MaxEmployee; ++e)
        if (!SyainRec[e].MembKey.isEmpty() && SyainRec[e].MembKey.bytes() == key) return e;
    return 0;
}

// Serial numbers 1..N in their order (employees without one after those with one).
void closeSerialNumbers()
{
    if (GetMaxMembNo() == 0) return;
    QList<int> used;
    for (int e = 1; e <= MaxEmployee; ++e) {
        if (SyainRec[e].MembKey.isEmpty())
            SyainRec[e].SeqNo = 0;
        else
            used << e;
    }
    auto rank = [](int e) { return SyainRec[e].SeqNo == 0 ? 0x10000 : int(SyainRec[e].SeqNo); };
    std::stable_sort(used.begin(), used.end(), [&](int a, int b) { return rank(a) < rank(b); });
    for (int i = 0; i < used.size(); ++i) SyainRec[used[i]].SeqNo = static_cast<uint16_t>(i + 1);
}

// The period's four arrays as they were before an import, put back when it stops.
struct Snapshot {
    TSyainArray syain = SyainRec;
    TKintaiArray kintai = KintaiRec;
    TSikyuArray sikyu = SikyuRec;
    TKoujoArray koujo = KoujoRec;
    void restore() const
    {
        SyainRec = syain;
        KintaiRec = kintai;
        SikyuRec = sikyu;
        KoujoRec = koujo;
    }
};

}  // namespace

QByteArray MemberCsvHeader()
{
    QByteArray h;
    for (const char* n : HeaderNames) h += cp932::encode(QString::fromUtf8(n)) + ',';
    return h;
}

QByteArray MemberCsvLine(int slot)
{
    const TEmployeeRec& r = SyainRec[slot];
    QByteArray l;
    l += quoted(r.Simei.shownText());
    l += quoted(r.Busyo.shownText());
    l += quoted(GetKubunName(slot));
    l += number(r.Keitai);
    l += number(r.Genkin ? 1 : 0);
    l += number(r.Zeigaku);
    l += quoted(exportDate(r));
    for (const IntColumn& c : IntColumns) {
        l += number(c.get(r));
        if (c.column == 22) l += number(r.Koyou ? 1 : 0);  // column 23 follows the deductions
    }
    for (const Insurance& i : Insurances) l += number(r.*(i.flag) ? int64_t(r.*(i.amount)) : -1);
    l += quoted(r.MailAdrs.shownText());
    l += quoted(QString::fromLatin1(r.MembKey.bytes()));
    l += quoted(QString());
    l += number(r.SeqNo);
    l.chop(1);
    return l;
}

QByteArray ExportMemberCsv()
{
    QByteArray out = MemberCsvHeader() + "\r\n";
    // Every slot in use: a gap left by a foreign file must not end the export early.
    for (int e = 1; e <= MaxEmployee; ++e)
        if (!SyainRec[e].MembKey.isEmpty()) out += MemberCsvLine(e) + "\r\n";
    return out;
}

QList<QByteArray> SplitCsvLines(const QByteArray& bytes)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\n') continue;
        const qsizetype end = i > start && bytes[i - 1] == '\r' ? i - 1 : i;
        lines << bytes.mid(start, end - start);
        start = i + 1;
    }
    if (start < bytes.size()) lines << bytes.mid(start);
    return lines;
}

QStringList SplitImportLine(const QString& line)
{
    QStringList fields;
    const QChar q = QLatin1Char('"'), comma = QLatin1Char(',');
    qsizetype i = 0;
    while (i < line.size()) {
        if (line[i] != q) {
            const qsizetype c = line.indexOf(comma, i);
            fields << line.mid(i, c < 0 ? -1 : c - i);
            if (c < 0) break;
            i = c + 1;
            continue;
        }
        QString field;
        ++i;
        for (;;) {
            const qsizetype c = line.indexOf(q, i);
            if (c < 0) {  // no closing quote: the rest of the line
                field += line.mid(i);
                i = line.size();
                break;
            }
            field += line.mid(i, c - i);
            if (c + 1 < line.size() && line[c + 1] == q) {
                field += q;
                i = c + 2;
                continue;
            }
            // After the closing quote, anything up to the separator belongs to the field.
            const qsizetype sep = line.indexOf(comma, c + 1);
            field += line.mid(c + 1, sep < 0 ? -1 : sep - c - 1);
            i = sep < 0 ? line.size() : sep + 1;
            break;
        }
        fields << field;
    }
    return fields;
}

QByteArray ImportMembKey(int count)
{
    const QDateTime now = Now();
    const QDate d = now.date();
    const QTime t = now.time();
    QByteArray key;
    key += char('0' + d.year() % 10);
    key += char(64 + d.month());
    key += char(64 + d.day());
    key += '_';
    key += char(64 + t.hour());
    key += QByteArray::number(t.minute()).rightJustified(2, '0');
    key += QByteArray::number(t.second()).rightJustified(2, '0');
    key += '_' + QByteArray::number(count).rightJustified(3, '0');
    return key;
}

TCsvImportResult ImportMemberCsv(const QByteArray& bytes, const CsvAskNew& ask)
{
    TCsvImportResult res;
    const QList<QByteArray> lines = SplitCsvLines(bytes);
    // The header is read like every other line: a spreadsheet program may quote its names.
    QStringList header;
    try {
        if (!lines.isEmpty()) header = SplitImportLine(cp932::decode(lines[0]));
    } catch (const EncodingError&) {
    }
    for (int c = 0; c < 4; ++c)
        if (header.value(c) != QString::fromUtf8(HeaderNames[c])) {
            res.error = QStringLiteral("不正なデータファイルなので処理を中断しました。");
            return res;
        }
    const QString ver = header.value(CsvVersionColumn);
    if (!ver.startsWith(QLatin1String("FileVer"))) {
        res.error = QStringLiteral("ファイルフォーマットが違うので処理を中断しました。");
        return res;
    }
    const QString version = ver.mid(8, 4);
    const bool withSeqNo = version >= QLatin1String("1.1") && header.size() > 31;
    const int columns = std::min<int>(header.size(), MemberCsvColumns);

    const Snapshot before;
    // The line each key was first taken from: a copied line that kept its key would overwrite the
    // employee of the first one.
    QHash<QByteArray, int> keyLines;
    for (int i = 1; i < lines.size(); ++i) {
        const int lineNo = i + 1;
        QStringList f;
        try {
            f = SplitImportLine(cp932::decode(lines[i]));
        } catch (const EncodingError&) {
            res.rejected.append({lineNo, QString(), QStringLiteral("文字コードがシフトJISではありません")});
            continue;
        }
        if (f.size() < columns) {  // also an empty line
            ++res.skipped;
            continue;
        }
        const QString name = f.value(0).trimmed();
        if (f.size() > header.size() || f.size() > MemberCsvColumns) {
            res.rejected.append({lineNo, name, QStringLiteral("項目が多すぎます（%1項目）").arg(f.size())});
            continue;
        }
        const QByteArray key = f.value(CsvKeyColumn).trimmed().toLatin1();
        const int slot = key.isEmpty() ? 0 : slotOfKey(key);
        TEmployeeRec work;
        if (slot) {
            work = SyainRec[slot];
        } else {
            std::memset(&work, 0, sizeof work);
            work.SikUnit = CommutingRule::EveryMonth;
        }
        try {
            storeLine(work, f, withSeqNo, slot != 0);
        } catch (const LineError& e) {
            res.rejected.append({lineNo, name, e.reason});
            continue;
        }
        if (!key.isEmpty()) {
            if (const int first = keyLines.value(key)) {
                res.rejected.append({lineNo, name,
                                     QStringLiteral("UniqueKey: %1行目と同じキーです（%2）")
                                         .arg(first)
                                         .arg(QString::fromLatin1(key))});
                continue;
            }
            keyLines.insert(key, lineNo);
        }
        if (!key.isEmpty() && slot == 0 && !(ask && ask(name))) {
            ++res.declined;
            continue;
        }
        ++res.stored;
        if (slot) {
            SyainRec[slot] = work;
            continue;
        }
        work.MembKey.setBytes(ImportMembKey(res.stored));
        if (AddNewMember(work) == 0) {
            before.restore();
            res = {};
            res.full = true;
            res.error =
                QStringLiteral("社員情報の登録上限に達したので中断します。\n社員情報は変更していません。");
            return res;
        }
    }
    closeSerialNumbers();
    return res;
}

QString ImportReport(const TCsvImportResult& r)
{
    QString text = QStringLiteral("%1件のデータで社員情報を更新しました。").arg(r.stored);
    if (r.skipped > 0)
        text += QStringLiteral("\n空の行・項目の足りない行 %1件は読み飛ばしました。").arg(r.skipped);
    if (!r.rejected.isEmpty()) {
        text += QStringLiteral("\n次の%1件は読み込めませんでした。").arg(r.rejected.size());
        for (const TCsvReject& j : r.rejected)
            text += QStringLiteral("\n%1行目 [氏名:%2] %3").arg(j.line).arg(j.name, j.reason);
    }
    return text;
}
