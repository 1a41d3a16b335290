// The period selection without its windows: the state read from the open year file, the list of
// year files, the loading or preparation of the chosen period, the paid-leave carry and the age
// notices, and the saved-month list of the base-month choice.
#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "payroll/records.h"

// The company blocks of months 1..12 of the open year file; they supply each month's stored days
// and hours to the period fields.
extern Arr<TCorpRec, 1, 12> MonthCorpRecs;
// Working hours per day of the company ([Option] DefJikanD of its settings file); 0 until the
// company setup has been done.
extern double DefJikanDay;
extern bool SetupDone;   // the company setup has been done (hours per day known)
extern bool SelectDone;  // a period has been chosen once in this run
extern bool StartHint;   // the start hint is still to be shown

// Puts the globals above back to their state at start (tests).
void ResetPeriodSelect();

// Reads the header of fileName into YearHeader and the company blocks of months 1..12 into
// MonthCorpRecs, and DefJikanDay from IniFileName. A missing or short file throws IoError, a
// damaged header DamagedDataError, a DefJikanD that is not a number ConvertError; the globals
// then stay as they were.
void ReadSelectState(const QString& fileName);

// The era year in the name of a year file ("令和08年給与･賞与.dat" gives 8): the digits after the
// four bytes of the era name, up to "年". 0 when there are none.
int EraYearOfFileName(const QString& fileName);

// The list text of period p: "１月支給給与" .. "12月支給給与", the two bonus names (seasonal
// spelling after OptionRec.SyoyoName) and OptionRec.TokuSyoyo.
QString PeriodListName(int p);

// The year files present in DataPath as the year list shows them ("平成30年"): 平成 16..31, then
// (when the era names differ) 令和 2..20.
QStringList YearFileEntries();

// The check of a new year file's era and era year: the message that refuses it (era year 0 or 1,
// a year outside the year list's range of that era, a file that exists), empty when it is taken.
QString CheckNewYear(const QString& era, int year);

// Reads the open period (CurPeriod.Period) of fileName into the image, keeping the header in
// memory (it may hold a bonus date just entered), and cuts every e-mail address to 48 bytes.
void LoadPeriod(const QString& fileName);

// The period a new period p is prepared from; period 0 means none.
struct TBasePeriod {
    QString fileName;
    int period = 0;
};
// January: December of last year's file when that file exists; months 2..12: the month before;
// a bonus: the newest month of this year saved, else December of last year when the bonus is
// paid in January and that December is saved. Reads YearHeader of the open file.
TBasePeriod ChooseBasePeriod(int p);

// The texts of the window's fields at OK.
struct TPeriodEntry {
    QString yearText;        // year list text, "令和08年"
    int period = 0;          // 1..15
    QString nissu, jikan;    // the month's scheduled days and hours
    QString sikyuM, sikyuD;  // the bonus payment month and day
};
// The field a refused entry sends the user back to; None when the period is open.
enum class EntryField { None, Nissu, SikyuM, SikyuD };
// Shown when a new period has no company to start from and the company setup is done: the base
// month window, told whether a later month of the year is saved already.
using ChooseBaseDialog = std::function<void(bool laterExists)>;

// The OK of the period selection: checks the entries (refusals are shown as error boxes and
// change nothing), reads the rounding modes, loads the chosen period or prepares a new one from
// its base (company and employees carried, the rest empty, days and hours of monthly-paid staff,
// remaining paid leave), then the locked-year notice and, with OptionRec.KaigoChk, the age
// notices. File errors throw.
EntryField SelectPeriod(const TPeriodEntry& entry, const ChooseBaseDialog& chooseBase);

// Attendance of a new month: monthly-paid employees work the scheduled days and hours.
void FillMonthlyPaid();
// Remaining paid leave of a new period p: the previous period's (December of last year for
// January) minus the leave taken; employees not found there keep their value.
void CarryYukyuZan(int p);

// Age notices of the open month from the birth dates in the withholding-slip data file: the
// care-insurance questions at 40 and 65 and the one-time notices at 70 and 75. Answers change
// Kaigo and AgeNotice in the image. Nothing happens without a usable file.
void CheckCareInsuranceAges();

// One line of the base-month list: a saved month of some year file.
struct TRefLine {
    QString text;      // "令和08年 4月支給給与"
    QString yearPart;  // "令和08年"
    QString fileName;
    int month = 0;
};
// Every saved month of every year file of DataPath, in year and month order. Files shorter than
// a year file or with a damaged header are left out: their months could not be read.
std::vector<TRefLine> RefDataLines();
// The line preselected: the newest saved month of the open year not after CurPeriod.Period, else
// the last line; -1 for no lines.
int RefDataPreselect(const std::vector<TRefLine>& lines);
// Takes the company block and the employees of month of fileName into the image (month 0: empty)
// and empties attendance and amounts. True when the company name is set.
bool ApplyRefData(const QString& fileName, int month);
