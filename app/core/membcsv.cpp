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

// Retirement years are stored as the employee window shows them: the era year alone, in the era
// of the open period. Records kept from before 令和 still hold 平成 years (10..31 for dates of
// 1998..2019), which no 令和 year reaches for decades. So a stored year 1..R+1, R the 令和 year of
// the open period (a retirement fixed for next year included), is a 令和 year; 0 and every larger
// year are 平成 years. In a period before 2019 every stored year is a 平成 year.
int lastReiwaYear()
{
    const int western = CurPeriod.EraYear > 0
                            ? CurPeriod.EraYear + (CurPeriod.EraText == EraName[1] ? 1988 : 2018)
                            : Today().year();
    return western >= 2019 ? western - 2018 + 1 : 0;
}

// The western year of a stored era year.
int westernYear(int stored)
{
    return stored >= 1 && stored <= lastReiwaYear() ? stored + 2018 : stored + 1988;
}

// "2024/ 4/ 1" of a stored retirement date: the stored month and day characters as they are.
QString exportDate(const TEmployeeRec& r)
{
    const TTaisyokuDate d = TaisyokuOf(r);
    if (d.isEmpty()) return {};
    return QStringLiteral("%1/%2/%3").arg(westernYear(d.Year.trimmed().toInt()), 4).arg(d.Month, d.Day);
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

// The stored era year of a western date, read back by westernYear as the same year: the 令和 year
// from 1 May 2019 on while it is one the rule reads as 令和, else the 平成 year. 0 when the date has
// no such year (a 令和 year beyond next year, or a 平成 year the rule would read as 令和).
int storedYear(int y, int m)
{
    const int last = lastReiwaYear();
    const int reiwa = y - 2018, heisei = y - 1988;
    if (QDate(y, m, 1) >= QDate(2019, 5, 1) && last > 0) return reiwa >= 1 && reiwa <= last ? reiwa : 0;
    return heisei > last && heisei >= 1 && heisei <= 99 ? heisei : 0;
}

// "yyyy/m/d" or "yyyy/mm/dd" as the stored "%2d%2d%2d"; a date that equals the stored one keeps
// the stored bytes ("3604 1" and "36 4 1" are the same day, and so are 令和1年3月 and 平成31年3月).
void storeDate(TEmployeeRec& r, const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        r.Taisyoku.setText(QString());
        return;
    }
    const QStringList parts = t.split(QLatin1Char('/'));
    bool ok[3] = {};
    const int y = parts.size() == 3 ? parts[0].trimmed().toInt(&ok[0]) : 0;
    const int m = parts.size() == 3 ? parts[1].trimmed().toInt(&ok[1]) : 0;
    const int d = parts.size() == 3 ? parts[2].trimmed().toInt(&ok[2]) : 0;
    if (!ok[0] || !ok[1] || !ok[2] || y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > 31)
        refuse(6, QStringLiteral("日付ではありません（%1）").arg(text));
    const TTaisyokuDate old = TaisyokuOf(r);
    if (!old.isEmpty() && westernYear(old.Year.trimmed().toInt()) == y && old.Month.trimmed().toInt() == m &&
        old.Day.trimmed().toInt() == d)
        return;
    const int stored = storedYear(y, m);
    if (stored == 0) {
        const int last = lastReiwaYear();
        const int from = last == 0 ? 1989 : last < 30 ? 1989 + last : 2019;
        const int to = last == 0 ? 2087 : 2018 + last;
        refuse(6, QStringLiteral("%1年～%2年の日付ではありません（%3）").arg(from).arg(to).arg(text));
    }
    r.Taisyoku.setText(QString::asprintf("%2d%2d%2d", stored, m, d));
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

// The message refusing a header whose names in columns from..to-1 are not the expected ones (or,
// when to is its end, that goes on after it), naming the first column that differs; empty when
// they agree.
QString headerFault(const QStringList& header, int from, int to, bool end)
{
    const QString stop = QStringLiteral("\n社員情報は変更していません。");
    for (int c = from; c < to; ++c) {
        const QString want = QString::fromUtf8(HeaderNames[c]);
        if (c >= header.size())
            return QStringLiteral("列の見出しが違うので処理を中断しました。\n%1列目の「%2」がありません。")
                       .arg(c + 1)
                       .arg(want) +
                   stop;
        if (header[c] != want)
            return QStringLiteral(
                       "列の見出しが違うので処理を中断しました。\n%1列目が「%2」ではなく「%3」です。")
                       .arg(c + 1)
                       .arg(want, header[c]) +
                   stop;
    }
    if (!end || header.size() <= to) return {};
    return QStringLiteral("列の見出しが違うので処理を中断しました。\n%1列目の「%2」は余分な列です。")
               .arg(to + 1)
               .arg(header[to]) +
           stop;
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

QList<TCsvRecord> SplitCsvRecords(const QByteArray& bytes)
{
    // Quotes open a field only at its start, as SplitImportLine reads them; a doubled one inside
    // stays in the field. '"', ',', CR and LF are never the second byte of a CP932 character.
    QList<TCsvRecord> records;
    qsizetype start = 0;
    int line = 1, first = 1;
    bool fieldStart = true, quoted = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < bytes.size() && bytes[i + 1] == '"')
                    ++i;
                else
                    quoted = false;
            } else if (c == '\n') {
                ++line;
            }
            continue;
        }
        if (c == '"' && fieldStart) {
            quoted = true;
            fieldStart = false;
        } else if (c == ',') {
            fieldStart = true;
        } else if (c == '\n') {
            const qsizetype end = i > start && bytes[i - 1] == '\r' ? i - 1 : i;
            records.append({bytes.mid(start, end - start), first, line});
            start = i + 1;
            first = ++line;
            fieldStart = true;
        } else {
            fieldStart = false;
        }
    }
    // A quote left open runs to the end of the file, whose last line end is no part of it.
    if (start < bytes.size()) {
        QByteArray rest = bytes.mid(start);
        int last = line;
        if (rest.endsWith('\n')) {
            rest.chop(rest.endsWith("\r\n") ? 2 : 1);
            --last;
        }
        records.append({rest, first, last});
    }
    return records;
}

QList<QByteArray> SplitCsvLines(const QByteArray& bytes)
{
    QList<QByteArray> lines;
    for (const TCsvRecord& r : SplitCsvRecords(bytes)) lines << r.bytes;
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
    const QList<TCsvRecord> lines = SplitCsvRecords(bytes);
    // The header is read like every other line: a spreadsheet program may quote its names.
    QStringList header;
    try {
        if (!lines.isEmpty()) header = SplitImportLine(cp932::decode(lines[0].bytes));
    } catch (const EncodingError&) {
    }
    for (int c = 0; c < 4; ++c)
        if (header.value(c) != QString::fromUtf8(HeaderNames[c])) {
            res.error = QStringLiteral("不正なデータファイルなので処理を中断しました。");
            return res;
        }
    // Every name is compared: columns moved in a spreadsheet would put amounts into wrong fields.
    if (const QString wrong = headerFault(header, 4, CsvVersionColumn, false); !wrong.isEmpty()) {
        res.error = wrong;
        return res;
    }
    const QString ver = header.value(CsvVersionColumn);
    if (!ver.startsWith(QLatin1String("FileVer"))) {
        res.error = QStringLiteral("ファイルフォーマットが違うので処理を中断しました。");
        return res;
    }
    // Layout 1.0 ends at FileVer; later ones carry the serial number after it.
    const QString version = ver.mid(8, 4);
    const bool withSeqNo = version >= QLatin1String("1.1");
    const int columns = withSeqNo ? MemberCsvColumns : CsvVersionColumn + 1;
    if (const QString wrong = headerFault(header, CsvVersionColumn + 1, columns, true); !wrong.isEmpty()) {
        res.error = wrong;
        return res;
    }

    // The fields of every line, and the lines of each key: a copied line that kept its key must
    // not overwrite the employee, nor may either line pass for the employee's own.
    QList<QStringList> fields(lines.size());
    QList<bool> decoded(lines.size(), false);
    QHash<QByteArray, QList<int>> keyLines;
    for (int i = 1; i < lines.size(); ++i) {
        try {
            fields[i] = SplitImportLine(cp932::decode(lines[i].bytes));
            decoded[i] = true;
        } catch (const EncodingError&) {
            continue;
        }
        const QByteArray key = fields[i].value(CsvKeyColumn).trimmed().toLatin1();
        if (!key.isEmpty()) keyLines[key] << lines[i].line;
    }

    const Snapshot before;
    for (int i = 1; i < lines.size(); ++i) {
        const int lineNo = lines[i].line;
        if (!decoded[i]) {
            res.rejected.append({lineNo, QString(), QStringLiteral("文字コードがシフトJISではありません")});
            continue;
        }
        const QStringList& f = fields[i];
        // The report names the employee on one line.
        QString name = f.value(0).trimmed();
        name.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(QLatin1Char('\n'), QLatin1Char(' '));
        const QByteArray key = f.value(CsvKeyColumn).trimmed().toLatin1();
        if (!key.isEmpty() && keyLines.value(key).size() > 1) {
            QStringList numbers;
            for (int n : keyLines.value(key)) numbers << QString::number(n);
            res.rejected.append({lineNo, name,
                                 QStringLiteral("UniqueKey: %1行目が同じキーです（%2）")
                                     .arg(numbers.join(QStringLiteral(", ")), QString::fromLatin1(key))});
            continue;
        }
        if (lines[i].lastLine > lineNo) {
            int column = 0;
            while (column < f.size() - 1 && !f[column].contains(QLatin1Char('\n'))) ++column;
            res.rejected.append(
                {lineNo, name,
                 QStringLiteral("%1: 項目の中に改行があります（%2行目まで続いています）")
                     .arg(QString::fromUtf8(HeaderNames[std::min(column, MemberCsvColumns - 1)]))
                     .arg(lines[i].lastLine)});
            continue;
        }
        if (f.size() < columns) {
            // A blank line (a spreadsheet's empty row) is passed over; any other short line lost a
            // column or had its fields run together by a stray quote.
            if (std::all_of(f.cbegin(), f.cend(), [](const QString& v) { return v.trimmed().isEmpty(); })) {
                ++res.skipped;
                continue;
            }
            res.rejected.append(
                {lineNo, name,
                 QStringLiteral("項目が足りません（%1項目、%2項目必要です）").arg(f.size()).arg(columns)});
            continue;
        }
        if (f.size() > columns) {
            res.rejected.append({lineNo, name, QStringLiteral("項目が多すぎます（%1項目）").arg(f.size())});
            continue;
        }
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
    if (r.skipped > 0) text += QStringLiteral("\n空の行 %1件は読み飛ばしました。").arg(r.skipped);
    if (!r.rejected.isEmpty()) {
        text += QStringLiteral("\n次の%1件は読み込めませんでした。").arg(r.rejected.size());
        for (const TCsvReject& j : r.rejected)
            text += QStringLiteral("\n%1行目 [氏名:%2] %3").arg(j.line).arg(j.name, j.reason);
    }
    return text;
}
