// The one-page lists of the open period: the employee information list, the money denomination
// table for cash pay and the resident tax by municipality.
#pragma once
#include <QList>
#include <QString>
#include <array>
#include <cstdint>

#include "print/dispatch.h"

// Every employee slot in use, in print order: by serial number first, then those without one
// (an import leaves new employees at 0) in slot order.
QList<int> PrintOrder();

// The employee information list: the employees of the page in column order (0 ends the columns).
void PrintMeibo(int page, const TMembers& members);

// Notes and coins of an amount paid in cash: counts of 10000, 5000, 2000, 1000, 500, 100, 50, 10,
// 5 and 1 yen; a negative amount needs none, and the 2,000-yen note only when the settings use it.
std::array<int64_t, 10> SplitKinsyu(int64_t amount, bool use2k);
// The cash an employee is paid in the open period: the net pay plus the three other items.
int64_t CashAmount(int slot);
// The money denomination table, 50 employees a page, the totals on the last page.
void PrintKinsyuHyo(int page);

// The resident tax by municipality of the open month.
void PrintJuminZei(int page);
