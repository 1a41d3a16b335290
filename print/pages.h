// What the print dialog works out for the document its Tag asks for: the paper, the page and
// employee counts with the dialog's texts, the lists the documents read, and the employees of
// each page for the print job and the preview alike.
#pragma once
#include <QList>
#include <QString>
#include <QStringList>

#include "print/dispatch.h"

// A page of the pay list grouped by employee class or department.
struct TIchiranPage {
    QString GroupName;
    Arr<QString, 1, 10> Members;  // identity stamps of the employees on the page
    bool LastOfGroup = false;     // the page that carries the group's subtotal
};
// Resident tax collected by municipality.
struct TJuminEntry {
    QString Name;
    int32_t Count = 0;   // employees
    int32_t Amount = 0;  // yen
};

// Rebuilt on every showing of the dialog.
extern QStringList IchiranGroupName;        // groups of the grouped pay list, in order
extern QList<TIchiranPage> IchiranPage;     // page p of the grouped pay list at index p - 1
extern QStringList IchiranKubun;            // employee classes of the old pay-list layout
extern QList<int> IchiranLines;             // slots of the main window's list lines, in list order
extern int IchiranPeriod;                   // the period of the pay list (the Tag's last two digits)
extern Arr<TJuminEntry, 0, 90> JuminTable;  // entry 0: the employees without a municipality
extern Arr<bool, 1, 17> DaichoAddFlag;      // ledger rows added
extern Arr<bool, 1, 15> DaichoDelFlag;      // ledger rows left out
// Ledger headings of the three bonus periods (13 summer, 14 winter, 15 the special bonus).
extern Arr<QString, 13, 15> PeriodTitles;

// The ledger row choices of [Option] as stored: DaichoAdd of 17 flags (one of 16 is read with a
// seventeenth "0"), DaichoDel of 15; a missing character reads as off.
struct TDaichoChoice {
    Arr<bool, 1, 17> Add{};
    Arr<bool, 1, 15> Del{};
};
TDaichoChoice ReadDaichoChoice();
// Writes both keys. Throws IoError when the settings file cannot be written.
void WriteDaichoChoice(const TDaichoChoice& choice);
// The message that refuses a choice adding more rows than it removes, else empty.
QString CheckDaichoChoice(const TDaichoChoice& choice);

// The employee list of the main window as the dialog sees it: the slots of its lines in list
// order, and of the ticked ones.
struct TListSlots {
    QList<int> Lines;
    QList<int> Ticked;
};

struct TPrintPlan {
    QString PaperText;  // paper and orientation shown by the dialog
    QString InfoText;   // pages and counts shown by the dialog
    bool Landscape = true;
};

// Sets PaperKind, PageCount and SelCount for tag (kind * 100 + slot, 99 the ticked employees, or
// the period for the pay list) and rebuilds the lists of that kind. mode is the pay list's
// grouping (IchiranMode).
TPrintPlan PlanPrint(int tag, const TListSlots& list, int mode);
// The employee slots of page (1-based) of the document kind; n is the Tag's slot part.
TMembers PageMembers(int kind, int n, int page, const QList<int>& ticked);
// The page argument of PrintPage: 0 where the members define the page (slips, ledgers).
int PageArgument(int kind, int page);
// Pages a print job of the kind sends: PageCount for the kinds with a document, else none.
int JobPageCount(int kind);
