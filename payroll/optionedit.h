// The settings window's rules without its widgets: the 17 user item names with their limits, the
// names they may not take, and the checks of OK in their order.
#pragma once
#include <QString>
#include <QStringList>

#include "payroll/option.h"

// The item-name edits in their order: fixed allowances 1-3, variable allowances 1-3, fixed
// deductions 1-3, variable deductions 1-3, other items 1-3, the special bonus, the attendance item.
inline constexpr int ItemNameCount = 17;
struct TItemNameEdit {
    const char* name;  // objectName of the edit
    int maxLength;     // CP932 bytes
};
extern const TItemNameEdit ItemNameEdits[ItemNameCount];
inline constexpr int inTokuSyoyo = 15, inKintaiFre = 16;

QStringList ItemNamesOf(const TOptionRec& r);
void StoreItemNames(TOptionRec& r, const QStringList& names);

// Names of the prepared items that a user item may not take.
const QStringList& ReservedItemNames();

// The first refusal of OK: the message and the edit (index into ItemNameEdits) to focus.
struct TItemNameCheck {
    int focus = -1;
    QString message;
    bool ok() const { return focus < 0; }
};
// names as cut to their lengths.
TItemNameCheck CheckItemNames(const QStringList& names);
