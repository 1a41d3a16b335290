// The frame of the exports: a table of rows and cells, written as code page 932 CSV or as an
// .xlsx workbook, and the names an export gives its files and sheets.
#pragma once
#include <QList>
#include <QString>
#include <QStringList>

// One cell. The CSV file takes csv as it is (quoted where it must be); the workbook takes a number
// for amounts and counts, and a string for everything else.
struct TExportCell {
    enum Kind {
        Empty,
        Text,     // a name or heading, the same in both
        Fixed,    // a formatted text (h:mm, a pay date): the workbook drops its padding blanks
        Amount,   // whole yen, shown with thousands separators in the workbook
        Decimal,  // an attendance value, two decimals in the workbook
        Number,   // a plain number
    };
    Kind kind = Empty;
    QString csv;
    double value = 0;

    static TExportCell text(const QString& t) { return {Text, t, 0}; }
    static TExportCell fixed(const QString& t) { return {Fixed, t, 0}; }
    static TExportCell amount(double v);
    static TExportCell decimal(double v, const QString& csvText) { return {Decimal, csvText, v}; }
    static TExportCell number(double v);
};

struct TExportRow {
    QList<TExportCell> cells;
    bool trailingComma = true;  // the CSV line ends with a comma (every item line does)
};

struct TExportSheet {
    QString name;  // as the export wants it; made valid and unique when written
    QList<TExportRow> rows;
};

// A number as the exports write it: plain digits, "-" when negative, a point only when there is a
// fraction (at most 15 significant digits, no trailing zeros), no separators, no exponent.
QString NumberText(double v);

// The CSV bytes of a sheet: one line per row, CRLF, code page 932. A field holding a comma, a
// double quote or a line break is put in double quotes, its quotes doubled. Throws EncodingError
// for a character code page 932 lacks.
QByteArray ExportCsv(const TExportSheet& sheet);
// Writes them through the atomic write path. Throws IoError (the old file stays).
void WriteExportCsv(const QString& path, const TExportSheet& sheet);

// Writes the sheets as one workbook: under a temporary name in the target's folder, closed and
// checked, synced and renamed over path. On any failure nothing is left but the old file, and
// IoError says what failed.
void WriteExportWorkbook(const QString& path, const QList<TExportSheet>& sheets);

// Column widths of a sheet in character units, from the widest cell of each column as shown.
QList<double> ExportColumnWidths(const TExportSheet& sheet);
// Sheet names a workbook takes: at most 31 characters, none of []:*?/\, no apostrophe at either
// end, never empty, and unique without regard to letter case.
QStringList ValidSheetNames(const QStringList& wanted);
// A name that can be part of a file name on every usual file system (a Windows share, a USB
// stick): "/", "\", ":", "*", "?", """, "<", ">", "|" and control characters become "_"; not
// hidden, not empty (fallback then).
QString SafeFileName(const QString& name, const QString& fallback = QString());
// path, or the first of "name(2).ext", "name(3).ext", ... that is not in taken.
QString UniquePath(const QString& path, const QStringList& taken);
