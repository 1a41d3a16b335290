// The employee list edit grid without widgets: its rows over the employee window's fields, the
// employees it shows, cell texts, the check of a cell left, the premiums of a monthly pay and the
// write-back on close.
#pragma once
#include <QList>
#include <QString>
#include <vector>

#include "payroll/premiums.h"

// Row r (1..27) of the grid: its caption and the employee window's field it shows (none for the
// monthly pay row, which only feeds the grade table). The user's item names replace the captions
// of the fixed allowances and deductions.
struct TListEditRow {
    const char* caption;
    const char* field;
};
constexpr int ListEditRows = 27;
constexpr int PayRow = 23;  // "標準報酬月額"
const TListEditRow& ListEditRow(int row);
QString ListEditCaption(int row);

// The employees in service in display order: by serial number once serial numbers are in use,
// else by slot.
QList<int> ListEditSlots();
// Monthly pay has no paid-leave rate; a premium whose insurance is off is not entered.
bool ListEditEditable(int slot, int row);
// The cell of slot: the value as FmtAmount(9) without blanks; the pay row is always empty.
QString ListEditText(int slot, int row);
// The text a cell left shows ("245,000"; empty gives "0"), or the message that refuses it: not a
// number, or beyond the digits the employee window allows for the field.
struct TCellCheck {
    QString text;
    QString error;
};
TCellCheck CheckListEditCell(int row, const QString& text);
// Premiums of the grade whose bounds hold pay; no grade: all -1.
TGradePremiums ListEditPremiums(int32_t pay);
// Cells [column][row - 1] of the employees of columns written back into their records, all or
// none: ConvertError for a changed cell that does not pass CheckListEditCell, and nothing is
// stored then. A cell that shows what the record holds leaves the record's value.
void StoreListEdit(const QList<int>& columns, const QList<QStringList>& cells);
