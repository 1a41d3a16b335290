// The slip items of pay and bonus slips: which item stands in which row, and whether the row is
// used for monthly, daily and hourly staff; kept in the company's settings file and published
// as the item lists of the open period's kind.
#pragma once
#include <QString>

#include "payroll/records.h"

struct TSlipItem {
    QString Name;         // with its "F"/"V" prefix; user items as placeholders
    Arr<bool, 1, 3> Use;  // used on pay type 1 monthly, 2 daily, 3 hourly
};

// The item arrays (shared by the pay and bonus settings: they hold the kind loaded last).
extern Arr<TSlipItem, 1, 16> KintaiItem;
extern Arr<TSlipItem, 1, 18> SikyuItem;
extern Arr<TSlipItem, 1, 18> KoujoItem;
extern Arr<TSlipItem, 1, 3> SonotaItem;

// The published lists [pay type][row]: the item's name when used on that pay type, else "F".
extern Arr<Arr<QString, 1, 16>, 1, 3> KintaiList;
extern Arr<Arr<QString, 1, 18>, 1, 3> SikyuList;
extern Arr<Arr<QString, 1, 18>, 1, 3> KoujoList;
extern Arr<Arr<QString, 1, 3>, 1, 3> SonotaList;

// Empties the item arrays and the lists, as at start (ResetGlobals).
void ResetSlipItems();

// Default item tables, row order (index 1..).
extern const char* const DefKintaiName[17];
extern const char* const DefSikyuNameK[19];
extern const char* const DefKoujoNameK[19];
extern const char* const DefSikyuNameS[19];
extern const char* const DefKoujoNameS[19];
extern const char* const DefSonotaName[4];

// Reads the pay-slip (or bonus-slip) settings of IniFileName into the item arrays; publishes
// them when apply is set. The bonus loader leaves KintaiItem alone.
void LoadKyuyoItemSetting(bool apply);
void LoadSyoyoItemSetting(bool apply);
// Publishes the item arrays into the lists (bonus: every attendance entry is "F").
void PublishKyuyoItems();
void PublishSyoyoItems();
// Writes the item arrays as pay-slip (or bonus-slip) settings, user items back as placeholders.
// Throws IoError.
void SaveKyuyoItemSetting();
void SaveSyoyoItemSetting();
// Puts the defaults of the kind into the item arrays (the "初期状態" button).
void SetDefaultKyuyoItems();
void SetDefaultSyoyoItems();

// Moves the element at row from to row to; the elements between shift by one.
template <typename A>
void MoveSlipItem(A& items, int from, int to)
{
    if (from == to || from < A::low || from > A::high || to < A::low || to > A::high) return;
    TSlipItem moved = items[from];
    if (from < to)
        for (int r = from; r < to; ++r) items[r] = items[r + 1];
    else
        for (int r = from; r > to; --r) items[r] = items[r - 1];
    items[to] = moved;
}

// The colour of unused items in every entry window (red 0xCC, green 0xDD, blue 0xDD).
constexpr unsigned DisableColorRgb = 0xCCDDDD;
