// One employee's slip of the open period without widgets: which item stands in which row for his
// pay type, the records as row texts and the texts stored back, the check of an entry, the
// recalculation and manual flags, the carry of paid leave and the order of stepping.
#pragma once
#include <QList>
#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "payroll/records.h"

// The four row groups of a slip and their row counts.
enum SlipGroup { sgKintai, sgSikyu, sgKoujo, sgSonota };
constexpr int SlipRowCount[4] = {16, 18, 18, 3};

// The entry of the published item list for row (1-based) of pay type 1..3, with its "F"/"V"
// prefix; empty for a pay type outside 1..3.
QString SlipListEntry(SlipGroup g, int payType, int row);
// The name a row shows: the entry without its prefix, user items under their user names, base pay
// as "日給計" or "時給計" for daily and hourly staff. Empty: the row is not in use.
QString SlipRowName(SlipGroup g, int payType, int row);

// Storage place of a shown name: attendance 1..16, payments 1..17 and 18 for "課税支給合計",
// deductions 1..15, other items 1..3; 0 for a name that stores nothing.
int SlipStoreIndex(SlipGroup g, const QString& name);
// Index of the manual-entry flag of a payment or deduction row (SikyuIndex, KoujoIndex), else 0.
int SlipManualIndex(SlipGroup g, const QString& name);
// Whether "修正ON/OFF" may act on a computed row: payments and deductions except the three sums.
bool SlipManualSwitchable(SlipGroup g, const QString& name);

// Attendance counted in days (checked against 31).
bool IsSlipDayItem(const QString& name);
// The width code an entry of the row is checked with: attendance 62, days 52; amounts 90, the
// three sums 80 (their ten-character field shows eight digits, which a 32-bit amount holds).
int SlipCheckTag(SlipGroup g, const QString& name);
// A value as the row shows it: hours by OptionRec.TimeStyle, other attendance with two decimals,
// amounts ten wide with separators.
QString SlipValueText(SlipGroup g, const QString& name, double value);

// One row as shown.
struct TSlipRow {
    QString name;           // empty: not in use, its edit hidden
    bool computed = false;  // an "F" item: shown in the computed colour, read-only unless manual
    bool manual = false;    // its manual-entry flag is set
    QString text;
};

struct TSlipScreen {
    QString caption;  // "明細入力画面 【氏名】"
    QString simei;
    std::array<std::vector<TSlipRow>, 4> rows;  // rows[g][row - 1]
    QString sikyuTotal, koujoTotal, sonotaTotal, sikyugaku;
    Arr<QString, 2, 5> chingin;  // captions of the overtime unit prices
    const TSlipRow& row(SlipGroup g, int r) const { return rows[g][r - 1]; }
};

// The slip of slot 1..90 as rows and totals. With OptionRec.ManualOn a fixed allowance or fixed
// deduction of 0 is marked manual in the records, so the calculation keeps it at 0.
TSlipScreen MeisaiScreen(int slot);

// The outcome of checking a typed entry: the text to show and its value, or the message.
// refused: the entry stays for the user to correct; otherwise text holds what replaces it.
struct TSlipEntry {
    QString text;
    double value = 0;
    QString error;
    bool refused = false;
};
TSlipEntry CheckSlipEntry(SlipGroup g, const QString& name, const QString& text);

// A row of the screen to store: its name, its text, the text it was shown with and, when its text
// is one the window put there for a number entered (an accepted entry, the paid leave left), that
// number.
struct TSlipInput {
    SlipGroup group;
    QString name;
    QString text;
    QString shown;
    std::optional<double> entered = std::nullopt;
};
// Stores the rows entered as the number entered ("7:20" shown as "7.33" is 7 1/3 hours), and the
// other rows whose text differs from what was shown (an untouched "7:31" is not rounded into the
// record); every row is checked before the first is written. Returns the message of a row that
// does not check, with nothing stored, or an empty text.
QString StoreMeisai(int slot, const QList<TSlipInput>& inputs);

// The monthly or bonus calculation of the slot; false when the bonus income tax was left to the
// user.
bool RecalcMeisai(int slot);
// Income tax of the slot to manual entry.
void SetManualTax(int slot);
// Inverts the manual flag of a payment or deduction row; the new state, nothing when the row has
// no flag.
std::optional<bool> ToggleManual(int slot, SlipGroup g, const QString& name);

// The remaining paid leave after yukyuDays, from the previous period's remainder; nothing when
// that is not available.
std::optional<double> YukyuZanAfter(int slot, double yukyuDays);

// The calculator's value as an entry of the row, as if typed: an amount rounded by the rounding
// mode of the row, refused when it does not fit; an attendance figure taken as given and shown
// rounded.
TSlipEntry CalcValueEntry(SlipGroup g, const QString& name, long double value);

// Stepping from slot by dir: by serial number (1..GetMaxMembNo, numbers held by nobody or by a
// retired employee passed over) once serial numbers exist, else by slot, to an employee in use and
// not retired. slot itself when there is none that way.
int StepMeisaiSlot(int slot, int dir);
struct TSlipStepButtons {
    bool back = false, next = false;
};
TSlipStepButtons MeisaiStepButtons(int slot);

// The first editable row after from, going round once; -1 when no other row is editable.
int NextEditableRow(const std::vector<bool>& editable, int from);
