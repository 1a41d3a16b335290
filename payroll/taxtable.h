// The three table files (monthly withholding table, bonus withholding rates, health-insurance
// grades) as byte images, their loading at start, and the two withholding-tax lookups.
#pragma once
#include <QString>
#include <QStringList>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "payroll/records.h"

static_assert(std::endian::native == std::endian::little, "the table files are little-endian images");

#pragma pack(push, 1)

// One line of the monthly table: the tax for pay from Ijou up to (not including) Miman.
struct alignas(4) TTaxRow {
    int32_t Ijou;
    int32_t Miman;
    Arr<int32_t, 0, 7> Kou;  // 甲 column, 0..7 dependants
    int32_t Otsu;            // 乙 column
};

// "税額表(給与).dat": the monthly table by pay after social insurance. The last eight rows in use
// are the bracket rows: their Ijou are the thresholds T0..T7 above the table, their taxes the
// tax at exactly that threshold.
struct alignas(4) TTaxTableKyuyo {
    int32_t RowCount;                  // rows in use, 8..260
    Arr<TTaxRow, 1, 260> Rows;         // ascending; rows after RowCount are zero
    PackedArr<double, 0, 7> KouRitu;   // 甲: rate above threshold Tk
    double OtsuRitu0;                  // 乙: rate of the whole amount below row 1
    PackedArr<double, 1, 2> OtsuRitu;  // 乙: rate above T0 and above T3
    int32_t KouFuyoKoujo;              // 甲: subtracted per dependant beyond seven
    int32_t OtsuFuyoKoujo;             // 乙: subtracted per dependant
};

// The previous month's pay, from Ijou up to (not including) Miman.
struct TSyoyoRange {
    int32_t Ijou;
    int32_t Miman;
};

struct TSyoyoKouRow {
    double Ritu;
    Arr<TSyoyoRange, 0, 7> Han;  // for 0..6 dependants and for seven or more
};

struct TSyoyoOtsuRow {
    double Ritu;
    int32_t Miman;  // the rate applies below this previous-month pay
};

// "税額表(賞与).dat": bonus rates by the previous month's pay. The last row in use of each part
// is the catch-all; its ranges are never searched.
struct TTaxTableSyoyo {
    int32_t KouCount;  // 1..24
    Arr<TSyoyoKouRow, 1, 24> KouRows;
    int32_t OtsuCount;  // 1..10
    Arr<TSyoyoOtsuRow, 1, 10> OtsuRows;
};

struct TKenhoGrade {
    int32_t Ijou;    // monthly remuneration from
    int32_t Miman;   // up to (not including)
    int32_t Hyojun;  // standard monthly remuneration of the grade
};

#pragma pack(pop)

// "健康保険料額表.dat": row 0 holds the number of grades G (1..80) and the lowest and highest
// grade the welfare pension uses (Ijou, Miman, Hyojun in that order); rows 1..G are the grades.
using TKenhoGradeTable = Arr<TKenhoGrade, 0, 80>;

static_assert(sizeof(TTaxRow) == 44);
static_assert(offsetof(TTaxRow, Miman) == 4);
static_assert(offsetof(TTaxRow, Kou) == 8);
static_assert(offsetof(TTaxRow, Otsu) == 40);
static_assert(sizeof(TTaxTableKyuyo) == 11540);
static_assert(offsetof(TTaxTableKyuyo, RowCount) == 0);
static_assert(offsetof(TTaxTableKyuyo, Rows) == 4);
static_assert(offsetof(TTaxTableKyuyo, KouRitu) == 11444);
static_assert(offsetof(TTaxTableKyuyo, OtsuRitu0) == 11508);
static_assert(offsetof(TTaxTableKyuyo, OtsuRitu) == 11516);
static_assert(offsetof(TTaxTableKyuyo, KouFuyoKoujo) == 11532);
static_assert(offsetof(TTaxTableKyuyo, OtsuFuyoKoujo) == 11536);
static_assert(sizeof(TSyoyoRange) == 8);
static_assert(offsetof(TSyoyoRange, Miman) == 4);
static_assert(sizeof(TSyoyoKouRow) == 72);
static_assert(offsetof(TSyoyoKouRow, Han) == 8);
static_assert(sizeof(TSyoyoOtsuRow) == 12);
static_assert(offsetof(TSyoyoOtsuRow, Miman) == 8);
static_assert(sizeof(TTaxTableSyoyo) == 1856);
static_assert(offsetof(TTaxTableSyoyo, KouCount) == 0);
static_assert(offsetof(TTaxTableSyoyo, KouRows) == 4);
static_assert(offsetof(TTaxTableSyoyo, OtsuCount) == 1732);
static_assert(offsetof(TTaxTableSyoyo, OtsuRows) == 1736);
static_assert(sizeof(TKenhoGrade) == 12);
static_assert(offsetof(TKenhoGrade, Miman) == 4);
static_assert(offsetof(TKenhoGrade, Hyojun) == 8);
static_assert(sizeof(TKenhoGradeTable) == 972);

// The file names in the tables folder.
extern const QString TaxTableKyuyoName;  // "税額表(給与).dat"
extern const QString TaxTableSyoyoName;  // "税額表(賞与).dat"
extern const QString KenhoTableName;     // "健康保険料額表.dat"
extern const QString KenRituName;        // "健康保険料率.dat"

// The date of the published tables a file was made from travels inside the file, so that a copied
// or updated file keeps it: behind the record of each of the three files, and as the last line of
// the rate list, the 23 bytes "#published yyyy/mm/dd" CRLF. Files made before carry none and still
// load.
constexpr int TableDateSize = 23;
QByteArray TableDateTrailer(const QString& date);
// Whether line (without its line end) is the date line of the rate list.
bool IsTableDateLine(const QByteArray& line);
// The published date "yyyy/mm/dd" a table file carries at its end, empty when it carries none.
QString TableFileDate(const QString& path);
// Whether a table file of date is older than an installed one of installed: a file without a
// date was made before dates were written and counts as older than any dated one.
bool OlderTableDate(const QString& date, const QString& installed);

// The tables as loaded at start, and the full path of each file. A table whose file was missing
// or unusable is all zero.
extern TTaxTableKyuyo TaxTableKyuyo;
extern TTaxTableSyoyo TaxTableSyoyo;
extern TKenhoGradeTable KenhoTable;
extern QString TaxTableKyuyoFile;
extern QString TaxTableSyoyoFile;
extern QString KenhoTableFile;
extern int32_t TableFileCount;  // files loaded, 0..3; start-up refuses to go on below 3
// One line per file that exists but could not be used ("<file name>: <reason>"), so that the
// start-up message can be followed by the cause.
extern QStringList TableFileProblems;

// The three tables as read from one folder: a table whose file was missing or unusable is all
// zero; count and problems as TableFileCount and TableFileProblems.
struct TTableFiles {
    TTaxTableKyuyo kyuyo{};
    TTaxTableSyoyo syoyo{};
    TKenhoGradeTable kenho{};
    int32_t count = 0;
    QStringList problems;
};
// Reads the three files from folder (ends with "/"), touching none of the tables in use. A file
// counts as loaded only when it holds exactly its record, alone or followed by the published
// date, and passes the checks below; anything else leaves its table zero. Never throws.
TTableFiles ReadTableFiles(const QString& folder);
// Reads the three files from TablePath, as ReadTableFiles does, into the tables in use.
void LoadTableFiles();
// Zeroes the three tables, the paths, the count and the problems.
void ClearTableFiles();

// Why a table cannot be used, or an empty text when it can. The checks make every index the
// lookups and the grade readers compute lie inside the record: row and grade counts within their
// arrays, bounds of each row in ascending order, rates finite fractions.
QString CheckTaxTableKyuyo(const TTaxTableKyuyo& t);
QString CheckTaxTableSyoyo(const TTaxTableSyoyo& t);
QString CheckKenhoTable(const TKenhoGradeTable& t);

// Monthly withholding tax on taxable pay (pay after social insurance) for column 0 (甲) or any
// other column (乙; column 1 also taxes pay below the table), never below 0. A negative number of
// dependants counts as 0. Uses the table loaded at start; 0 when none was loaded.
int32_t CalcGensenZei(int32_t Taxable, int32_t Column, int32_t Dependants);
// Bonus withholding tax: the rate found by the previous month's pay after social insurance
// (stored in Rate) times the bonus after social insurance, never below 0. Without a loaded table
// the result is 0 and Rate is left as it was.
int32_t CalcSyoyoZei(int32_t PrevPay, int32_t Bonus, int32_t Column, int32_t Dependants, double& Rate);
