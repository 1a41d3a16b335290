// The calculation of one employee's pay (months) or bonus (bonus periods), in place on the period
// image: payments, premiums, employment insurance, income tax, resident tax and the totals.
#pragma once
#include <QString>
#include <cstdint>

#include "payroll/otherperiod.h"

// True when the item (without prefix, user items under their current names) is on the payment
// (deduction) list of the slip form type 1..3; a form type outside 1..3 has no items.
bool IsSikyuItem(const QString& name, int32_t formType);
bool IsKoujoItem(const QString& name, int32_t formType);

// The slip items as one recalculation sees them: the names on the payment and deduction lists of
// each pay type (user items under their current names), looked up once per pay type, and for each
// stored amount whether its item is on them, found at the first employee that asks. Looking these
// up anew for every amount of every employee took most of a recalculation. With them, the other
// periods a bonus reads (last month's pay, the year's earlier bonuses), each record read once for
// all employees instead of about three whole records per employee. A table holds only while the
// published lists, the user items' names and the saved periods stay as they are: make one per run.
class TCalcItems {
  public:
    // k: the amount's place in TSikyuRec.Sikyu (TKoujoRec.Koujo); name: its item on the slip.
    bool sikyuOn(int formType, int k, const QString& name) { return on(0, formType, k, name); }
    bool koujoOn(int formType, int k, const QString& name) { return on(1, formType, k, name); }
    TOtherPeriods& otherPeriods() { return periods_; }

  private:
    bool on(int list, int formType, int k, const QString& name);
    struct Resolved {
        bool named = false;
        QString names[18];
        int8_t flags[19];  // -1 not asked yet
    };
    Resolved resolved_[2][3];
    TOtherPeriods periods_;
};

// Retired: the retirement date is not blank. In use and not retired.
bool IsTaisyoku(int32_t slot);
bool IsZaiseki(int32_t slot);

// Monthly pay of slot 1..90 for the open month; items resolved by a recalculation of everyone.
void CalcKyuyo(int32_t slot);
void CalcKyuyo(int32_t slot, TCalcItems& items);
// Bonus of slot 1..90 for the open bonus period; false when the income tax could not be computed
// (no pay last month, or a bonus after insurance above ten times that pay).
bool CalcSyoyo(int32_t slot);
bool CalcSyoyo(int32_t slot, TCalcItems& items);
// The health-insurance bonus base of the slot after the yearly cap of 5,730,000 yen.
int32_t CalcKenhoSyoyoBase(int32_t slot, int32_t base);
int32_t CalcKenhoSyoyoBase(int32_t slot, int32_t base, TOtherPeriods& periods);

constexpr int32_t KenhoSyoyoYearCap = 5730000;
constexpr int32_t NenkinSyoyoCap = 1500000;
