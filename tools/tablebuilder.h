// The table builder: turns the published tables (CSV files of data/tables) into the three table
// files and the prefecture rate list the program reads from its own folder.
#pragma once
#include <QByteArray>
#include <QString>
#include <cstdint>

#include "payroll/taxtable.h"

namespace tablebuilder {

// The published tables the files are made from, in the CSV folder.
extern const QString MonthlyCsv;      // "withholding-monthly-2026.csv"
extern const QString BonusCsv;        // "withholding-bonus-2026.csv"
extern const QString HealthCsv;       // "health-grades.csv"
extern const QString PensionCsv;      // "pension-grades.csv"
extern const QString HealthRatesCsv;  // "health-rates-2026.csv"
// The date from which each published table applies: columns "csv" (a file name above) and
// "published" ("yyyy/mm/dd").
extern const QString DatesCsv;  // "published-dates.csv"

// Yen taken off per dependant: 甲 beyond seven, and 乙 for every dependant declared to the
// secondary employer (the published table uses the same 1,610 yen for both).
constexpr int32_t FuyoKoujo = 1610;
// The monthly file holds eight 甲 thresholds above the table and 2026 has nine. This one is
// dropped: its band is taxed on the line of the threshold below it (same rate), which keeps the
// 乙 thresholds at the first and fourth place where the file expects them. Pay from 2,130,000 to
// 2,169,999 yen is then taxed below the published table by 3,392 yen with 0, 2, 3 or 6 dependants
// and by 3,402 yen with 1, 4, 5, 7 or more (乙 is not affected).
constexpr int32_t MergedThreshold = 2130000;
// The upper bound written where the published table has none.
constexpr int32_t NoUpperBound = 2147483647;

// Each throws AppError naming the file and line when the CSV does not have the expected shape;
// the records returned pass the program's own load checks.
TTaxTableKyuyo BuildTaxTableKyuyo(const QString& monthlyCsv);
TTaxTableSyoyo BuildTaxTableSyoyo(const QString& bonusCsv);
TKenhoGradeTable BuildKenhoTable(const QString& healthCsv, const QString& pensionCsv);
// "健康保険料率.dat": one CP932 line per prefecture in code order, CRLF-terminated: the prefecture
// name padded with blanks to 10 bytes, then the total rate in percent as 5 characters ("10.28",
// " 9.85").
QByteArray BuildKenRituText(const QString& ratesCsv);

// The published date of the table csvName, from the dates file of csvDir.
QString PublishedDate(const QString& csvDir, const QString& csvName);

// Reads the CSV files of csvDir and writes the four files into outDir (which must exist), each
// with the published date of its tables at its end (the grade file the later of its two).
// Throws AppError or IoError.
void BuildTableFiles(const QString& csvDir, const QString& outDir);

}  // namespace tablebuilder
