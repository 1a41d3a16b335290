// Free routines shared by every window and document: amount and hour texts, the rounding rules of
// the calculation, the entry filters for numeric fields, item names, employee lookups and dates.
#pragma once
#include <QByteArray>
#include <QDate>
#include <QString>
#include <cstdint>

#include "payroll/yearfile.h"  // DataRecPos
#include "platform/cp932.h"

// ---- numbers and texts ----

// value without decimals, with thousands separators, right-aligned to width characters.
QString FmtAmount(int width, double value);
// text without any "," and " ".
QString DelComma(const QString& text);
// Trimmed; empty gives 0; else the text without commas and blanks as an integer. ConvertError
// when it is not one.
int32_t StrToIntEx(const QString& text);
// The same, with the commas and blanks removed before the emptiness test.
int32_t NumStrToInt(const QString& text);
// An amount, hours or "h:mm" text as a number: blanks are skipped, the first character that
// cannot belong to a number ends it, a doubled sign or point shows "入力エラー" and gives 0.
// ConvertError when what remains is not a number (".").
double StrToFloatEx(const QString& text);
// "h:mm" as hours ("1:45" is 1.75, "-0:30" is -0.5); texts without ":" go to StrToFloatEx.
double TimeStrToFloat(const QString& text);
// Hours six characters wide, in the style OptionRec.TimeStyle chooses ("  1:45" or "  1.75").
QString FmtJikan(double hours);
// Items whose amounts are hours rather than counts or yen.
bool IsJikanItem(const QString& itemName);
// Trimmed, then without any half-width or full-width blank.
QString DelSpace(const QString& text);
// True when text holds a control character (C0, DEL or C1: line breaks, tabs): such a character in
// an e-mail address would reach the mail header.
bool HasControlChar(const QString& text);
// True when count bytes of a and b are equal (count <= 0 gives true).
bool CompMem(const void* a, const void* b, int count);
// Fills count bytes with value (nothing when count <= 0).
void ClearMem(void* dest, uint8_t value, int count);

// ---- rounding (results are whole numbers; to truncate is to cut toward zero) ----
// None of them converts a value that is not a number, or one that does not fit, to an integer:
// they throw RangeError instead. The calculation, which knows the employee and the item, says
// which amount could not be worked out.

// Truncation that forgives a representation error of up to 1e-6 (2.9999995 gives 3).
int64_t TruncEps(double value);
// Mode 1 up (toward plus infinity), 2 half away from zero, anything else down; all with the
// 1e-6 tolerance of TruncEps.
int32_t RoundByMode(int mode, double value);
// The same in 64 bits, for amounts that are added up or checked before they are stored.
int64_t RoundByMode64(int mode, double value);
// a * b rounded with the rounding mode of payment items (OptionRec.HasuuSik).
int32_t MulRound1(double a, double b);
// ... of reductions of pay (OptionRec.HasuuGen).
int32_t MulRound2(double a, double b);
// ... of deductions (OptionRec.HasuuKou).
int32_t MulRound3(double a, double b);
// Social-insurance premiums: a fraction of up to 0.50 yen is dropped, above it rounds up.
int32_t RoundShaho(double value);
// Employment insurance: the same with the limit at 0.50 yen exactly (0.499 is added).
int32_t RoundShaho2(double value);
// Both in 64 bits.
int64_t RoundShaho64(double value);
int64_t RoundShaho2_64(double value);
// value as a stored 32-bit amount; RangeError when it does not fit.
int32_t FitInt32(int64_t value);

// ---- entry helpers ----

// -1, or the byte position (1-based) where the trail byte of a half-typed double-byte character
// goes next.
extern int OverTypePending;
// Over-type entry: key replaces the byte after caret (caret counts the bytes before it) instead
// of being inserted, and a double-byte character under it is never left half overwritten.
// Returns false, leaving everything alone, when nothing is pending and the caret is at the end:
// ordinary typing appends.
bool OverTypeKey(QByteArray& text, int& caret, uint8_t key);
// The same for a whole typed character (caret counts characters): its CP932 bytes are typed in a
// row. False also when the text or the character has no CP932 form.
bool OverTypeKey(QString& text, int& caret, QChar key);

// The outcome of a numeric entry: the normalised value, or the message that refuses it. Both are
// empty for an empty entry.
struct TNumInput {
    QString value;
    QString error;
};
// Validates and normalises a numeric entry of a field with this Tag (display width * 10 +
// decimals): "12.5" with Tag 71 gives "012.5". ConvertError when the entry holds letters.
TNumInput CheckNumInput(const QString& text, int tag);
// The number a typed entry stands for: the one reading of a typed number that slip entry and list
// entry share. kintai: an attendance field (Tag 52 days, 62 hours, two decimals), else an amount.
// Hours are what was typed whatever style they are shown in: "7:20" is 7 1/3 hours, "7.33" is 7.33.
// refused: no number, or out of the field's range, with error saying why; days above 31 are taken
// as 0 with their message. The windows store this value, never a number read back from the text
// they show for it, which is rounded to two decimals or to whole minutes.
struct TEntryNumber {
    double value = 0;
    QString error;
    bool refused = false;
};
TEntryNumber ParseEntryNumber(const QString& text, int tag, bool kintai);
// text cut to maxLen CP932 bytes without splitting a double-byte character; maxLen <= 0 is no
// limit.
QString CutToMaxLen(const QString& text, int maxLen);
inline bool IsKanjiLead(uint8_t b)
{
    return cp932::isLeadByte(b);
}

// ---- items, employees, dates ----

// The placeholder names of the user items ("F固定手当１", "V勤怠項目", ...) as prefix plus the name
// the user gave in the settings; any other name unchanged.
QString GetItemName(const QString& key);
// The largest serial number SeqNo among the 90 slots, 0 when none is set.
int32_t GetMaxMembNo();
// The slot carrying serial number no (the last one when several do), -1 when none.
int32_t FindMembNo(int32_t no);
// The year data file of the year before the open one, in the data folder.
QString GetPrevYearFileName();
// Heisei 16..24 data once the present year is 2013 or later: the calculation leaves it untouched.
bool IsLockedYear();
// The default pay date printed on slips, each part "%2d": era year, month, day.
void GetPrnDate(QString& year, QString& month, QString& day);
// Completed years at atDate; someone born on 29 February has his birthday on 1 March in other
// years.
int32_t CalcAge(const QDate& birthDate, const QDate& atDate);
// Era 1 明治, 2 大正, 3 昭和, 4 平成, 5 令和; an unknown era gives 0.
int32_t WarekiToSeireki(int era, int year);
