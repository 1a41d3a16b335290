// What the main window decides without widgets: the default data year, the period title, the
// employee list lines, the migration of an earlier version's data and the tax change notice.
#pragma once
#include <QDate>
#include <QString>
#include <QStringList>

#include "payroll/period.h"

// The title of the open period, for example 令和6年4月支給給与 or 令和6年・夏季賞与.
extern QString MainPeriodTitle;

// The default data year of a day: 令和 from May 2019, 平成 before.
TEraYear DefaultEra(const QDate& today);
// The default year file of a day in folder: during 2019 always 平成31.
QString DefaultYearFile(const QString& folder, const QDate& today);
// The title of the period in CurPeriod (bonus slots by their payment month in YearHeader).
QString PeriodTitle();

// The company name of the open period, for captions.
QString CompanyName();
// The retirement date of an employee as stored ("%2s%2s%2s" of era year, month and day):
// the text is right-aligned to six characters before it is split, so "712 1" (7/12/1 written
// without its padding) reads as 7/12/1. Empty parts when not retired.
struct TTaisyokuDate {
    QString Year, Month, Day;  // two characters each, blank-padded on the left
    bool isEmpty() const { return Year.trimmed().isEmpty() && Month.trimmed().isEmpty() && Day.trimmed().isEmpty(); }
};
TTaisyokuDate ReadTaisyoku(int slot);

// Category and pay-type names of the employee list.
QString GetKubunName(int slot);
QString KeitaiName(int keitai);
// One line of the employee list: 130 single-byte columns, the slot in columns 128..130.
QString MakeMemberLine(int slot);

// Moves the year files and other files of an earlier version's data folder into DataPath; only
// files of exactly the old year-file size are converted, the rest copied. A file that cannot be
// converted or copied is left where it was and named with the reason; the others still move.
struct TMigration {
    int moved = 0;
    QStringList failed;  // one line per file left behind
};
TMigration MigrateOldData(const QString& oldFolder);

// Reads "TaxChangeDate" of [Option] in iniFile; true when the rate change notice is due. Writes
// the date when it was due or when the settings file is new.
bool CheckTaxChange(const QString& iniFile, bool newSysIni);
constexpr const char* TaxChangeDate = "2023/04/01";
