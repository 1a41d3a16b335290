// The company window's rules without its widgets: the defaults of an unset company block, the
// table of its fields, the checks of OK, the hours per day for new periods, the premium reset after
// a change of rates, and the lines of the grade and rate pickers that serve it.
#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

#include "payroll/fieldtable.h"
#include "payroll/records.h"

// The employee's shares (percent) of the 2026 rates, the year of the tables the program ships
// (data/tables): employment insurance from April 2026, 5/1000 in a general business and 6/1000 in
// agriculture, forestry, fisheries, sake brewing and construction; half of the care rate of 1.62 %
// and of the pension rate of 18.3 % (health-rates-2026.csv, the same in every prefecture).
struct TDefaultRates {
    double KoyJigyo, KoyIgai, Kaigo, Nenkin;
};
inline constexpr TDefaultRates DefaultRates{0.5, 0.6, 0.81, 9.15};

// Employment-insurance share of the employee by business kind (percent).
double KoyRituOfJigyo(bool jigyo);
// "%6.3f", the way the window shows every rate.
QString FmtRitu(double ritu);
// The corporate number with its 13 digits ("%.13d"), empty for 0.
QString FmtHouNo(int64_t houNo);
// Hours per day as the window shows them: FmtJikan without its first character.
QString FmtJikanD(double hours);

// The block with the defaults of a block never set: employment insurance of a general business,
// care and pension at DefaultRates. Health and fund rates stay as they are.
TCorpRec CorpWithDefaults(const TCorpRec& corp);

// The fields of the company window in tab order.
using TCorpField = TFieldDesc<TCorpRec>;
const std::vector<TCorpField>& CorpFields();

// The checks of OK in their order; the first refusal is shown as an error box. Texts that are not
// numbers throw ConvertError.
struct TCorpCheck {
    QByteArray focus;          // the field OK sends the user back to
    bool pickKenRitu = false;  // the health rate is missing: the rate picker opens
    bool ok() const { return focus.isEmpty() && !pickKenRitu; }
};
TCorpCheck CheckCorpEntry(const TFieldValues& e);
// Writes [Option] DefJikanD of the company's settings file, the hours per day of new periods.
// Throws IoError when the file cannot be written.
void WriteDefJikanD(double jikanD);

// The four rates the premiums depend on.
struct TCorpRates {
    double KenRitu = 0, KaiRitu = 0, NenRitu = 0, KknRitu = 0;
    bool operator==(const TCorpRates&) const = default;
};
TCorpRates CorpRatesOf(const TCorpRec& corp);
// After OK: when the rates of CorpRec differ from before, tells the user that premiums must be
// reset and offers to do it when some employee has a grade.
void OfferPremiumReset(const TCorpRates& before);
// The premiums of every employee in use from his grade and the rates of CorpRec; a grade above
// the table is taken as its highest. Employees without a grade are named in a message. Nothing
// is changed without a grade table.
void ResetPremiums();

// ---- the pickers ----

// Grades of the grade table loaded at start (0 without one).
int32_t KenhoGradeCount();
// The grade the grade picker selects for a stored grade: 0 (or less) selects grade 1, a grade
// above the table its highest. 0 when the table is empty.
int32_t PickerGrade(int32_t stored);
// The grade picker's line of grade g: bounds and standard remuneration with thousands
// separators; the open bound of the top grade is left blank.
QString KenhoGradeLine(int32_t g);

// The lines of "健康保険料率.dat" in the tables folder (CP932, empty lines and the date line left
// out). False when the file is missing, and with problem set when it exists but cannot be read or
// is not CP932.
bool ReadKenRituFile(QStringList& lines, QString& problem);
// The same of the rate file in folder (ends with "/").
bool ReadKenRituFileIn(const QString& folder, QStringList& lines, QString& problem);
// The full rate of a line (its bytes 11..15 after the 10-byte label); false when they are not a
// rate.
bool KenRituOfLine(const QString& line, double& rate);
