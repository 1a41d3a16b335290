// The employee master of the open period as a CP932 CSV file with a fixed 32-column header, and
// its reading back: every line is checked whole before anything is stored, and an import that
// stops stores nothing.
#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// Columns of a file of the current layout ("FileVer 1.1"); files of layout 1.0 end before 連番.
constexpr int MemberCsvColumns = 32;
constexpr int CsvVersionColumn = 30;
constexpr int CsvKeyColumn = 29;

// The header line without its line end: the 32 names, each followed by ",".
QByteArray MemberCsvHeader();
// The line of one slot without its line end.
QByteArray MemberCsvLine(int slot);
// The whole file: the header and one line per employee in use, in slot order, each ending CR LF.
QByteArray ExportMemberCsv();

// The records of a file: CR LF or LF alone ends a record (neither kept); a CR before any other
// byte is kept. A line end inside a quoted field (a line break typed in a cell) belongs to the
// field and is kept. A last record without a line end is a record too.
struct TCsvRecord {
    QByteArray bytes;
    int line = 0;      // the file line it starts on, 1 for the first
    int lastLine = 0;  // the file line it ends on
};
QList<TCsvRecord> SplitCsvRecords(const QByteArray& bytes);
// The bytes of each record.
QList<QByteArray> SplitCsvLines(const QByteArray& bytes);
// The fields of a line: bare up to the next ",", or quoted with "" for one quote. A "," at the
// very end opens no further field.
QStringList SplitImportLine(const QString& line);

// A line not stored, and why (line numbers count the header as line 1).
struct TCsvReject {
    int line = 0;
    QString name;
    QString reason;
};
struct TCsvImportResult {
    QString error;      // the import stopped: nothing was stored
    bool full = false;  // ... because all 90 slots were taken (a warning, not an error)
    int stored = 0;     // lines stored (updated or registered)
    int skipped = 0;    // empty lines (nothing but blanks and commas)
    int declined = 0;   // unknown employees the user did not register
    QList<TCsvReject> rejected;
};
// Asked for a line whose key no employee has, with its name: true registers it as new.
using CsvAskNew = std::function<bool(const QString& name)>;
// Reads a file's bytes into the open period: known keys update their employee, others are
// registered when ask says so. Nothing changes when a column name of the header differs from the
// expected ones or the slots run out. Every line of a key that occurs more than once in the file
// is refused, and so is a line with a line break inside a field. Serial numbers in use run 1..N
// afterwards, those without one following those with one in slot order.
TCsvImportResult ImportMemberCsv(const QByteArray& bytes, const CsvAskNew& ask);
// The message that ends an import, with the lines left out.
QString ImportReport(const TCsvImportResult& r);

// The key of a registered line: the year's last digit, month and day as letters ("A" = 1), "_",
// the hour as a letter ("@" = 0), minutes and seconds, "_" and the line count "%.3d".
QByteArray ImportMembKey(int count);
