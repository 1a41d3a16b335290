// The page dispatcher: one page of the chosen document onto the current canvas of the drawing
// engine, for the print job, the preview and the slip images alike. The print dialog (or the slip
// mail window) fills the fields below before asking for pages.
#pragma once
#include <QString>
#include <QStringList>

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

// Draws page (1-based, 0 when the members define it) of the document PaperKind.
void PrintPage(int page, const TMembers& members);
// The drawing engine, the fields above, the print dialog's lists (print/pages.h) and the current
// printer back to their state at start; registered with ResetGlobals.
void ResetPrintState();
// " %2d/%2d" of the pay date last printed for a period, or empty when none was.
QString FormatPayDate(int period);
