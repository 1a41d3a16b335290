// The employee list of the main window without widgets: which slots are listed in which order,
// the mail-address test of a line, and the deletion of an employee from the open period.
#pragma once
#include <QList>
#include <QString>

// Orders of the list: 1 number (slot, or serial once serial numbers exist), 2 name, 3 employee
// class, 4 pay type, 5 department.
QList<int> OrderedSlots(int order, bool showRetired);
// The sort key of a slot for orders 2, 3, 5 and the serial order (0); the slot stands in its
// characters 20..22.
QString MemberSortKey(int order, int slot);
// The e-mail column of a list line (characters 78..125) is not a usable address: no "@" after
// its first character, or double-byte text in it.
bool IsBadMailLine(const QString& line);
// Employees whose name is set.
int MemberCount();
// Removes slot from the period in memory: later slots move down, slot 90 is cleared, and serial
// numbers above the deleted one close the gap.
void DeleteMember(int slot);

// A line of the serial order window: number (serial, else slot), name, department, category and
// pay type in byte-counted columns. Its slot is kept beside it, never read back from the text (a
// name longer than its column would shift it).
QString SeqNoLine(int slot);
// Serial numbers 1..N in the order given; every other slot gets 0.
void StoreSerialOrder(const QList<int>& order);
