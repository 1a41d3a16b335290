// The ledgers and the pay list: the rows they share (attendance rows added, user items left out,
// payments, deductions, sums, other items and the net amount), the per-employee year ledger, the
// pay or bonus list of a period and the company's grand total ledger.
#pragma once
#include <QList>
#include <QString>
#include <memory>
#include <vector>

#include "payroll/otherperiod.h"
#include "payroll/records.h"

struct TPeriodRecord;

// Row counts of the ledger grid under DaichoAddFlag and DaichoDelFlag.
struct TDaichoCounts {
    int Added = 0;
    int PayRows = 18;
    int TotalRows = 40;
    int OtherRows = 3;
    int DedRows = 15;
};
TDaichoCounts CountDaichoColumns();

// One row of the ledger grid in the order the names column shows them.
enum class DaichoRowKind { Added, Pay, PaySum, Ded, DedSum, Santei, Other, Net };
struct TDaichoRow {
    DaichoRowKind Kind;
    int Item;      // Added: 1..17 (17 the pay date); Pay, Ded, Other: the entry of its name table
    QString Name;  // as the names column shows it
};
// The rows under the flags; bonus names the payment rows "賞与" and "役員報酬" instead of "基本給"
// and "役職手当".
QList<TDaichoRow> DaichoRows(bool bonusNames = false);
// The value of a row for one employee's rows of a period: attendance values, yen amounts, the net
// amount with the three other items; 0 for the pay date row.
double DaichoValue(const TDaichoRow& row, const TKintaiRec& k, const TSikyuRec& s, const TKoujoRec& d);

// The values of the rows for one employee's records of a period.
std::vector<double> DaichoValues(const QList<TDaichoRow>& rows, const TKintaiRec& k, const TSikyuRec& s,
                                 const TKoujoRec& d);

// Columns of a year ledger: one per period (empty where the period was never saved) and the sums
// of them all, each a value per row.
struct TLedgerColumns {
    std::vector<double> period[PeriodCount + 1];  // [1..15]
    std::vector<double> total;
};
// The year of the employee with identity key: a saved period without him gives zeros; where
// several slots carry the key, the highest counts.
TLedgerColumns DaichoYear(const QList<TDaichoRow>& rows, const QByteArray& key, TYearData& year);
// The company's year: each saved period the sums over its employees up to the first free slot,
// those retired in that period left out.
TLedgerColumns SoGokeiYear(const QList<TDaichoRow>& rows, TYearData& year);
// The pay list's total over the period image: employees in use up to the first free slot, not
// retired, of the group (mode 1 employee class, 2 department, 0 everyone); count gets how many.
std::vector<double> IchiranTotals(const QList<TDaichoRow>& rows, int mode, const QString& group, int& count);

// The ledger's heading of period p: 1..12 "１月給与".."12月給与", 13..15 the bonus titles the print
// dialog set, anything else empty.
QString DaichoPeriodTitle(int p);

// The year pay ledger of employee slot (1..90) on one A4 landscape page, every period read from the
// year data file through the checked reader. Throws IoError when the file cannot be read.
void PrintKyuyoDaicho(int slot);
// Page 1 or 2 of the grand total ledger (periods 1..10; 11..15 and the year total).
void PrintSoGokeiDaicho(int page);
// Page of the pay or bonus list of the period in the print dialog's Tag; mode 0 plain, 1 by
// employee class, 2 by department.
void PrintKyuyoIchiran(int page, int mode);
// The list's title as printed, for example "令和8年 5月分給与一覧" (with a printed pay date) or
// "令和8年 5 月 分 給 与 一 覧".
QString IchiranTitle(int period);
