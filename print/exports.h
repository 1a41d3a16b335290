// The exports of the print dialog: the per-employee year ledger, the pay or bonus list and the
// grand total ledger as CSV files or a workbook, with the rows and sums of their printed documents.
#pragma once
#include <QList>
#include <QString>

#include "print/exportframe.h"
#include "print/pages.h"

class TYearData;

// Where an export goes: the file chosen in the save dialog, as a workbook or as CSV.
struct TExportTarget {
    QString file;
    bool workbook = false;
};

// The tables, laid out as their documents' rows (the ledger rows under the settings' flags):
// the year ledger of the employee in slot, from the year data file;
TExportSheet DaichoSheet(int slot, TYearData& year);
// the pay or bonus list of period IchiranPeriod over the list lines (slots in list order, the
// retired left out), grouped by IchiranGroupName for mode 1 (class) or 2 (department);
TExportSheet IchiranSheet(const QList<int>& lines, int mode);
// the grand total ledger of the year.
TExportSheet SoGokeiSheet(TYearData& year);

// The exports. Each returns true once everything is written, false when the user declined to
// overwrite a file (what was written before stays) or there was nothing to export; errors throw
// AppError and leave no partial file behind. The notice "指定されたファイルに出力中です。" shows
// while they write, never over their questions.
// The ledger: one CSV file per employee slot of members (named after the chosen file, or
// "<name>.csv" for the chosen name "none.csv"), or one workbook with a sheet per employee.
bool OutDaichoCSV(const TExportTarget& target, const QList<int>& members);
bool OutIchiranCSV(const TExportTarget& target, const QList<int>& lines, int mode);
bool OutSoGokeiCSV(const TExportTarget& target);

// Whether the print dialog exports the document of tag: kind 4, 5 or 6. The plain pay list is
// exported as its plain table also while it prints in the old layout with category subtotals.
bool CanExport(int tag);
// The export of tag's document (Tag as the print dialog's: kind * 100 + slot or period).
bool RunExport(int tag, const TExportTarget& target, const TListSlots& list, int mode);
// The file name proposed for it, without folder and suffix ("給与台帳", "令和8年･5月分給与一覧").
QString ExportFileName(int tag);
// What the user is told once it is written.
QString ExportDoneMessage(int tag);
