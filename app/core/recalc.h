// Recalculation of every employee of the open period, with the question that switches employees
// whose bonus income tax cannot be computed to manual entry.
#pragma once
#include <functional>

#include "payroll/records.h"

class TCalcItems;

// The last bonus result per slot (false: the income tax was left to the user).
extern Arr<bool, 1, MaxEmployee> SyoyoResult;

// Reads the list-entry grids back into the records of one slot (installed by the list-entry
// window while it holds grids of the open period).
using GridReader = std::function<void(int slot, bool bonus)>;
GridReader SetGridReader(GridReader reader);

// One slot of a recalculation of everyone, with the run's items.
void CalcKyuyoAll(int slot, bool readGrid, TCalcItems& items);
void CalcSyoyoAll(int slot, bool readGrid, TCalcItems& items);
void CalcAllMember(bool readGrid);
