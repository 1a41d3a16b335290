// Free routines shared by every window and document: amount and hour texts, rounding, entry
// filters, item names, employee lookups and dates.
#include "payroll/common.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "payroll/option.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "platform/clock.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/msgbox.h"

namespace {

// The tolerance that absorbs the representation error of decimal fractions in binary; held in
// extended precision so that adding it does not itself round.
constexpr long double Eps = 0.000001L;

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Blanks and control characters off both ends, as the runtime's Trim does (not Unicode spaces:
// a full-width blank at the end of a name is the user's).
QString trimLow(const QString& s)
{
    int b = 0, e = s.size();
    while (b < e && s[b].unicode() <= 0x20) ++b;
    while (e > b && s[e - 1].unicode() <= 0x20) --e;
    return s.mid(b, e - b);
}

[[noreturn]] void notNumber(const QString& text)
{
    throw ConvertError(QStringLiteral("「%1」は数値ではありません。").arg(text));
}

void inputError()
{
    MessageDlg(QStringLiteral("入力エラー"), MsgType::Error, MsgButtons::Ok);
}

// An optional sign and at least one digit, nothing else, within 32 bits.
int32_t toInt32(const QString& s, const QString& shown)
{
    int i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == QLatin1Char('-') || s[i] == QLatin1Char('+')))
        neg = s[i++] == QLatin1Char('-');
    if (i == s.size()) notNumber(shown);
    int64_t v = 0;
    for (; i < s.size(); ++i) {
        if (!isAsciiDigit(s[i])) notNumber(shown);
        v = v * 10 + (s[i].unicode() - '0');
        if (v > int64_t(INT32_MAX) + 1) notNumber(shown);
    }
    if (neg) v = -v;
    if (v > INT32_MAX) notNumber(shown);
    return static_cast<int32_t>(v);
}

// value with `decimals` places (0..2), a tie rounded away from zero as the runtime's Format does
// rather than to even as printf does, padded with blanks on the left to width. Scaling a double by
// 100 is exact in the 64-bit significand of long double, so the decimal digits are those of the
// exact binary value. The digits are written backwards into a buffer of their own: the ledgers
// format some three hundred thousand amounts for 90 employees.
QString fixedText(double value, int decimals, bool grouped, int width = 0)
{
    const long double scale = decimals == 0 ? 1.0L : decimals == 1 ? 10.0L : 100.0L;
    const long double scaled = std::round(std::fabs(static_cast<long double>(value)) * scale);
    if (!std::isfinite(value) || scaled >= 9.0e18L)
        return QString::number(value, 'f', decimals).rightJustified(width);
    uint64_t rest = static_cast<uint64_t>(scaled);
    char buf[64];  // 19 digits, 6 commas, a sign and a point at most, then blanks
    char* const end = buf + sizeof buf;
    char* p = end;
    for (int i = 0; i < decimals; ++i, rest /= 10) *--p = char('0' + rest % 10);
    if (decimals > 0) *--p = '.';
    for (int count = 0; count == 0 || rest > 0; ++count, rest /= 10) {
        if (grouped && count > 0 && count % 3 == 0) *--p = ',';
        *--p = char('0' + rest % 10);
    }
    if (value < 0 && scaled != 0) *--p = '-';
    while (end - p < width && p > buf) *--p = ' ';
    return QString::fromLatin1(p, end - p).rightJustified(width);
}

// Truncation of v toward zero with the tolerance; a value that is not a number or lies beyond
// 64 bits has no whole number to give.
int64_t truncEpsL(long double v)
{
    const long double t = std::trunc(v >= 0 ? v + Eps : v - Eps);
    if (!(std::fabs(t) < 9.2e18L)) throw RangeError();
    return static_cast<int64_t>(t);
}

}  // namespace

// ---- numbers and texts ----

QString FmtAmount(int width, double value)
{
    return fixedText(value, 0, true, width);
}

QString DelComma(const QString& text)
{
    QString s = text;
    s.remove(QLatin1Char(','));
    s.remove(QLatin1Char(' '));
    return s;
}

int32_t StrToIntEx(const QString& text)
{
    const QString t = trimLow(text);
    if (t.isEmpty()) return 0;
    return toInt32(DelComma(t), t);
}

int32_t NumStrToInt(const QString& text)
{
    const QString t = trimLow(DelComma(text));
    if (t.isEmpty()) return 0;
    return toInt32(t, t);
}

double StrToFloatEx(const QString& text)
{
    if (text.contains(QLatin1Char(':'))) return TimeStrToFloat(text);
    QString kept;
    bool sign = false, point = false;
    const QString s = QString(text).remove(QLatin1Char(','));
    for (QChar c : s) {
        if (c == QLatin1Char(' ')) continue;
        if (c == QLatin1Char('+') || c == QLatin1Char('-')) {
            if (sign) return inputError(), 0.0;
            sign = true;
        } else if (c == QLatin1Char('.')) {
            if (point) return inputError(), 0.0;
            point = true;
        } else if (!isAsciiDigit(c)) {
            break;
        }
        kept += c;
    }
    if (!kept.isEmpty() && (kept.back() == QLatin1Char('-') || kept.back() == QLatin1Char('+'))) kept.chop(1);
    if (kept.isEmpty()) return 0.0;
    bool ok = false;
    const double v = kept.toDouble(&ok);
    if (!ok) notNumber(text);
    return v;
}

double TimeStrToFloat(const QString& text)
{
    if (text.isEmpty() || !text.contains(QLatin1Char(':'))) return StrToFloatEx(text);
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() > 2) return inputError(), 0.0;
    const QString minText = parts[1].isEmpty() ? QStringLiteral("0") : parts[1];
    const double minutes = StrToFloatEx(minText) / 60;
    QString hours = DelComma(trimLow(parts[0]));
    const bool neg = hours.startsWith(QLatin1Char('-'));
    if (neg) hours.remove(0, 1);
    // ":30" is half an hour; the field's own check would have written it "0:30".
    const int32_t h = hours.isEmpty() ? 0 : toInt32(hours, text);
    return neg ? -(h + minutes) : h + minutes;
}

QString FmtJikan(double hours)
{
    // Hours too large for minutes in 64 bits (or not a number) have no "h:mm" form; they show as
    // they are rather than as a wrong count of minutes.
    if (OptionRec.TimeStyle == 0 || !(std::fabs(hours) < 1.0e15)) return fixedText(hours, 2, false, 6);
    // Whole minutes first: a sum of 0:10 entries lies just below the hour in binary and must show
    // "1:00", never "0:60".
    const auto minutes = static_cast<int64_t>(std::nearbyint(std::fabs(hours) * 60.0));
    QString text = QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
    if (hours < 0 && minutes > 0) text.prepend(QLatin1Char('-'));
    return text.rightJustified(6);
}

bool IsJikanItem(const QString& itemName)
{
    return itemName.contains(QStringLiteral("時間")) || itemName.contains(QStringLiteral("残業"));
}

bool HasControlChar(const QString& text)
{
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

QString DelSpace(const QString& text)
{
    QString s = trimLow(text);
    s.remove(QLatin1Char(' '));
    s.remove(QChar(0x3000));
    return s;
}

bool CompMem(const void* a, const void* b, int count)
{
    return count <= 0 || std::memcmp(a, b, static_cast<size_t>(count)) == 0;
}

void ClearMem(void* dest, uint8_t value, int count)
{
    if (count > 0) std::memset(dest, value, static_cast<size_t>(count));
}

// ---- rounding ----

int64_t TruncEps(double value)
{
    return truncEpsL(value);
}

int32_t FitInt32(int64_t value)
{
    if (value < INT32_MIN || value > INT32_MAX) throw RangeError();
    return static_cast<int32_t>(value);
}

int64_t RoundByMode64(int mode, double value)
{
    const long double v = value;
    switch (mode) {
        case 1: {
            // Up, but a product such as 1300 * 1.35 = 1755.0000000000002 is 1755, not 1756.
            const long double up = std::ceil(v - Eps);
            if (!(std::fabs(up) < 9.2e18L)) throw RangeError();
            return static_cast<int64_t>(up);
        }
        case 2:
            return v >= 0 ? truncEpsL(v + 0.5L) : truncEpsL(v - 0.5L);
        default:
            return truncEpsL(v);
    }
}

int32_t RoundByMode(int mode, double value)
{
    return FitInt32(RoundByMode64(mode, value));
}

// The product stays in double: squeezing it into single precision first turns 30,663.9993 into
// 30,664.
int32_t MulRound1(double a, double b)
{
    return RoundByMode(OptionRec.HasuuSik, b * a);
}
int32_t MulRound2(double a, double b)
{
    return RoundByMode(OptionRec.HasuuGen, b * a);
}
int32_t MulRound3(double a, double b)
{
    return RoundByMode(OptionRec.HasuuKou, b * a);
}

namespace {
int64_t roundWith(double value, long double add)
{
    const double sum = static_cast<double>(value >= 0 ? value + add : value - add);
    return TruncEps(sum);
}
}  // namespace

int64_t RoundShaho64(double value)
{
    return roundWith(value, 0.49L);
}
int64_t RoundShaho2_64(double value)
{
    return roundWith(value, 0.499L);
}
int32_t RoundShaho(double value)
{
    return FitInt32(RoundShaho64(value));
}
int32_t RoundShaho2(double value)
{
    return FitInt32(RoundShaho2_64(value));
}

// ---- entry helpers ----

int OverTypePending = -1;

bool OverTypeKey(QByteArray& text, int& caret, uint8_t key)
{
    const int c = caret;
    const auto at = [&text](int i) { return static_cast<uint8_t>(text[i]); };
    if (OverTypePending < 0) {
        if (c < 0 || c >= text.size()) return false;
        // Overwriting the first byte of a double-byte character blanks its second byte.
        if (IsKanjiLead(at(c)) && c + 1 < text.size()) text[c + 1] = ' ';
        text[c] = static_cast<char>(key);
        if (IsKanjiLead(key)) {
            OverTypePending = c + 2;
            if (text.size() == c + 1) text.append(' ');
        }
    } else {
        const int p = OverTypePending;
        if (text.size() >= p) {
            if (IsKanjiLead(at(p - 1)) && p < text.size()) text[p] = ' ';
            text[p - 1] = static_cast<char>(key);
        } else {
            text.append(static_cast<char>(key));
        }
        OverTypePending = -1;
    }
    caret = c + 1;
    return true;
}

bool OverTypeKey(QString& text, int& caret, QChar key)
{
    // A character arrives whole here, so no trail byte can legitimately be waiting.
    OverTypePending = -1;
    QByteArray bytes, keyBytes;
    try {
        bytes = cp932::encode(text);
        keyBytes = cp932::encode(QString(key));
    } catch (const EncodingError&) {
        return false;
    }
    if (keyBytes.isEmpty() || caret < 0 || caret > text.size()) return false;
    int c = cp932::byteLength(text.left(caret));
    if (!OverTypeKey(bytes, c, static_cast<uint8_t>(keyBytes[0]))) return false;
    for (int i = 1; i < keyBytes.size(); ++i) OverTypeKey(bytes, c, static_cast<uint8_t>(keyBytes[i]));
    text = cp932::decode(bytes);
    caret = cp932::decode(bytes.left(c)).size();
    return true;
}

TNumInput CheckNumInput(const QString& text, int tag)
{
    TNumInput r;
    const QString s = trimLow(DelComma(text)).left(9);
    if (s.isEmpty()) return r;
    const int seps = s.count(QLatin1Char('.')) + s.count(QLatin1Char(':'));
    const int minus = s.count(QLatin1Char('-'));
    if (seps >= 2 || minus >= 2) {
        r.error = QStringLiteral("．や：又は符号(－)が重複しています。");
        return r;
    }
    for (QChar c : s)
        if (!isAsciiDigit(c) && c != QLatin1Char('.') && c != QLatin1Char(':') && c != QLatin1Char('-'))
            notNumber(s);
    int sepPos = s.indexOf(QLatin1Char('.'));
    if (sepPos < 0) sepPos = s.indexOf(QLatin1Char(':'));
    const QChar sep = sepPos >= 0 ? s[sepPos] : QChar();
    QString frac = sepPos >= 0 ? s.mid(sepPos + 1) : QString();
    if (sep == QLatin1Char(':')) {
        const int mins = frac.isEmpty() ? 0 : frac.toInt();
        if (mins > 59) {
            r.error = QStringLiteral("分の入力が59を超えています。");
            return r;
        }
        // Minutes are always two digits: cutting "30" to the field's decimals would turn half an
        // hour into three minutes, and "1:5" means five minutes.
        frac = QStringLiteral("%1").arg(mins, 2, 10, QLatin1Char('0'));
    } else {
        frac = frac.left(tag % 10);
    }
    if (minus > 0 && s.indexOf(QLatin1Char('-')) != 0) {
        r.error = QStringLiteral("符号(－)の位置が不正です。");
        return r;
    }
    QString digits = sepPos >= 0 ? s.left(sepPos) : s;
    digits.remove(QLatin1Char('-'));
    int limit;
    if (tag == 70)
        limit = 6;
    else if (tag == 90)
        limit = 7;
    else
        limit = tag / 10 - tag % 10 - (tag % 10 > 0 ? 1 : 0);
    int significant = digits.size();
    for (QChar c : digits) {
        if (c != QLatin1Char('0')) break;
        --significant;
    }
    if (significant > limit) {
        r.error = QStringLiteral("入力した数値が上限を超えました。");
        return r;
    }
    r.value = (minus > 0 ? QStringLiteral("-0") : QStringLiteral("0")) + digits;
    if (sepPos >= 0) r.value += sep + frac;
    return r;
}

TEntryNumber ParseEntryNumber(const QString& text, int tag, bool kintai)
{
    TEntryNumber r;
    try {
        const TNumInput in = CheckNumInput(text, tag);
        if (!in.error.isEmpty()) {
            r.error = in.error;
            r.refused = true;
            return r;
        }
        // The check leaves digits, a sign and one separator: "7:20" reads as hours and minutes.
        if (!kintai)
            r.value = StrToIntEx(in.value);
        else if (!in.value.isEmpty())
            r.value = StrToFloatEx(in.value);
    } catch (const AppError& e) {
        // Letters that came in past the key filter (pasted text).
        r.error = e.message();
        r.refused = true;
        return r;
    }
    if (tag == 52 && r.value > 31) {
        r.error = QStringLiteral("日数の入力は31までです。");
        r.value = 0;
    }
    return r;
}

QString CutToMaxLen(const QString& text, int maxLen)
{
    return maxLen <= 0 ? text : cp932::cut(text, maxLen);
}

// ---- items, employees, dates ----

QString GetItemName(const QString& key)
{
    // Called for every slip row of every employee in each recalculation: the placeholders are
    // built once, and most names are told apart by their second character.
    static const QString digits = QStringLiteral("１２３");
    static const std::array<QString, 16> placeholders = [] {
        std::array<QString, 16> p;
        const QString stems[5] = {QStringLiteral("F固定手当"), QStringLiteral("V変動手当"),
                                  QStringLiteral("F固定控除"), QStringLiteral("V変動控除"),
                                  QStringLiteral("Vその他")};
        for (int s = 0; s < 5; ++s)
            for (int i = 0; i < 3; ++i) p[s * 3 + i] = stems[s] + digits[i];
        p[15] = QStringLiteral("V勤怠項目");
        return p;
    }();
    if (key.size() < 4) return key;
    const QChar second = key[1];
    if (second != QChar(0x56FA) && second != QChar(0x5909) && second != QChar(0x305D) &&
        second != QChar(0x52E4))
        return key;  // 固, 変, そ, 勤
    for (int n = 0; n < 16; ++n) {
        if (key != placeholders[n]) continue;
        const int i = n % 3 + 1;
        switch (n / 3) {
            case 0:
                return QStringLiteral("F") + OptionRec.FixTeate[i];
            case 1:
                return QStringLiteral("V") + OptionRec.VarTeate[i];
            case 2:
                return QStringLiteral("F") + OptionRec.FixKoujo[i];
            case 3:
                return QStringLiteral("V") + OptionRec.VarKoujo[i];
            case 4:
                return QStringLiteral("V") + OptionRec.Sonota[i];
            default:
                return QStringLiteral("V") + OptionRec.KintaiFre;
        }
    }
    return key;
}

int32_t GetMaxMembNo()
{
    int32_t m = 0;
    for (int i = 1; i <= MaxEmployee; ++i) m = std::max<int32_t>(m, SyainRec[i].SeqNo);
    return m;
}

int32_t FindMembNo(int32_t no)
{
    int32_t found = -1;
    for (int i = 1; i <= MaxEmployee; ++i)
        if (SyainRec[i].SeqNo == no) found = i;
    return found;
}

QString GetPrevYearFileName()
{
    QString era = CurPeriod.EraText;
    int year = CurPeriod.EraYear - 1;
    // The year 2019 is kept under 平成31, so 令和2 follows it directly.
    if (era == EraName[2] && year < 2) {
        era = EraName[1];
        year += 30;
    }
    return YearFileName(DataPath, era, year);
}

bool IsLockedYear()
{
    // The era test first: it runs for every employee of every recalculation, the clock only for
    // the few old periods it can hold for.
    return CurPeriod.EraText == EraName[1] && CurPeriod.EraYear >= 16 && CurPeriod.EraYear <= 24 &&
           Today().year() >= 2013;
}

void GetPrnDate(QString& year, QString& month, QString& day)
{
    int y = CurPeriod.EraYear;
    int m = CurPeriod.Period;
    int d = CorpRec.Sikyubi <= 0 ? 1 : CorpRec.Sikyubi;
    const bool heisei = CurPeriod.EraText == EraName[1];
    if (CorpRec.SikyuShift == 1 && ++m > 12) {
        m = 1;
        ++y;
    }
    if (m >= 1 && m <= 12) {
        const int western = y + (heisei ? 1988 : 2018);
        d = std::min(d, QDate(western, m, 1).daysInMonth());
    }
    // December of 平成31 paid in January falls in 令和2.
    if (heisei && y == 32) y = 2;
    year = QString::number(y).rightJustified(2);
    month = QString::number(m).rightJustified(2);
    day = QString::number(d).rightJustified(2);
}

int32_t CalcAge(const QDate& birthDate, const QDate& atDate)
{
    const int y = atDate.year();
    const bool leapling = birthDate.month() == 2 && birthDate.day() == 29;
    const QDate birthday =
        leapling && !QDate::isLeapYear(y) ? QDate(y, 3, 1) : QDate(y, birthDate.month(), birthDate.day());
    return y - birthDate.year() - (birthday > atDate ? 1 : 0);
}

int32_t WarekiToSeireki(int era, int year)
{
    switch (era) {
        case 1:
            return year + 1867;
        case 2:
            return year + 1911;
        case 3:
            return year + 1925;
        case 4:
            return year + 1988;
        case 5:
            return year + 2018;
        default:
            return 0;
    }
}
