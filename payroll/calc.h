// The calculation of one employee's pay (months) or bonus (bonus periods), in place on the period
// image: payments, premiums, employment insurance, income tax, resident tax and the totals.
#pragma once
#include <QString>
#include <cstdint>

// True when the item (without prefix, user items under their current names) is on the payment
// (deduction) list of the slip form type 1..3; a form type outside 1..3 has no items.
bool IsSikyuItem(const QString& name, int32_t formType);
bool IsKoujoItem(const QString& name, int32_t formType);

// Retired: the retirement date is not blank. In use and not retired.
bool IsTaisyoku(int32_t slot);
bool IsZaiseki(int32_t slot);

// Monthly pay of slot 1..90 for the open month.
void CalcKyuyo(int32_t slot);
// Bonus of slot 1..90 for the open bonus period; false when the income tax could not be computed
// (no pay last month, or a bonus after insurance above ten times that pay).
bool CalcSyoyo(int32_t slot);
// The health-insurance bonus base of the slot after the yearly cap of 5,730,000 yen.
int32_t CalcKenhoSyoyoBase(int32_t slot, int32_t base);

constexpr int32_t KenhoSyoyoYearCap = 5730000;
constexpr int32_t NenkinSyoyoCap = 1500000;
