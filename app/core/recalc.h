// Recalculation of every employee of the open period, with the question that switches employees
// whose bonus income tax cannot be computed to manual entry.
#pragma once
#include <functional>

#include "payroll/records.h"

class TCalcItems;

// Reads the list-entry grids back into the records of one slot (installed by the list-entry
// window while it holds grids of the open period).
using GridReader = std::function<void(int slot, bool bonus)>;
GridReader SetGridReader(GridReader reader);

// One slot of a recalculation of everyone, with the run's items. The bonus gives the slot's
// result (false: the income tax was left to the user; true for an empty or retired slot).
void CalcKyuyoAll(int slot, bool readGrid, TCalcItems& items);
bool CalcSyoyoAll(int slot, bool readGrid, TCalcItems& items);
void CalcAllMember(bool readGrid);
