// The page dispatcher: one page of the chosen document onto the current canvas of the drawing
// engine, for the print job, the preview and the slip images alike. The print dialog (or the slip
// mail window) fills the fields below before asking for pages.
#pragma once
#include <QString>
#include <QStringList>
#include <memory>

#include "payroll/records.h"

using TMembers = Arr<int, 1, 10>;  // employee slots of a page, 0 = none

// The document kind (dialog Tag div 100): 1 employee list, 2 slips, 4 pay ledger, 5 pay or bonus
// list, 6 grand total ledger, 7 money denominations, 8 resident tax.
extern int PaperKind;
extern int PageCount;
extern int SelCount;
// Grouping of the pay list: 0 plain, 1 by employee class, 2 by department.
extern int IchiranMode;

// Pay date on slips as entered: the era label (its first 5 bytes: the era name and a blank) and
// the year, month and day edits.
extern QString PayDateEraLabel;
extern QString PayDateYY;
extern QString PayDateMM;
extern QString PayDateDD;
// The memo printed on slips (at most five lines).
extern QStringList PrintMemo;

// Prepared by PrintPage for the documents.
extern QString PrintDateText;  // creation date of document headers
extern QString PrnDateYear;    // era and year of the pay date
extern QString PrnDateMonth;   // "%2d"
extern QString PrnDateDay;     // "%2d"

class TYearData;

// The saved periods of the open year read once for all the pages of one print job (the year
// ledgers' columns, the slips' cumulative figures) instead of once for every page. A job holds
// one while it draws its pages, and nothing saves or deletes a period meanwhile; the file is read
// when a page first needs it.
class TJobYearData {
  public:
    TJobYearData();
    ~TJobYearData();
    TJobYearData(const TJobYearData&) = delete;
    TJobYearData& operator=(const TJobYearData&) = delete;

  private:
    friend class TPageYearData;
    TJobYearData* outer_;
    std::unique_ptr<TYearData> year_;
};
// The year data a page reads: the job's while a job holds one, else a reading of its own.
class TPageYearData {
  public:
    TPageYearData();
    ~TPageYearData();
    TPageYearData(const TPageYearData&) = delete;
    TPageYearData& operator=(const TPageYearData&) = delete;
    // Read when first asked for; throws IoError or DamagedDataError as TYearData does.
    TYearData& get();

  private:
    std::unique_ptr<TYearData> own_;
};

// Draws page (1-based, 0 when the members define it) of the document PaperKind.
void PrintPage(int page, const TMembers& members);
// The drawing engine, the fields above, the print dialog's lists (print/pages.h) and the current
// printer back to their state at start; registered with ResetGlobals.
void ResetPrintState();
// " %2d/%2d" of the pay date last printed for a period, or empty when none was.
QString FormatPayDate(int period);
