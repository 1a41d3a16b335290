// The export frame: number texts, the CSV writer over the atomic write path, the workbook writer
// over libxlsxwriter, and safe file and sheet names.
#include "print/exportframe.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cmath>
#include <memory>

#include "platform/atomicfile.h"
#include "platform/cp932.h"
#include "platform/errors.h"

namespace {

const QString WorkbookWrite = QStringLiteral("表計算ファイル（.xlsx）の書き込み");

QString csvField(const QString& text)
{
    static const QString special = QStringLiteral(",\"\r\n");
    for (const QChar c : text)
        if (special.contains(c)) {
            QString quoted = text;
            quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            return QLatin1Char('"') + quoted + QLatin1Char('"');
        }
    return text;
}

// The text a cell shows in the workbook, for the width of its column.
QString shownText(const TExportCell& c)
{
    switch (c.kind) {
        case TExportCell::Empty:
            return {};
        case TExportCell::Text:
            return c.csv;
        case TExportCell::Fixed:
            return c.csv.trimmed();
        case TExportCell::Amount: {
            QString digits = QString::number(std::llround(std::fabs(c.value)));
            for (qsizetype i = digits.size() - 3; i > 0; i -= 3) digits.insert(i, QLatin1Char(','));
            return c.value < 0 ? QLatin1Char('-') + digits : digits;
        }
        case TExportCell::Decimal:
            return QString::number(c.value, 'f', 2);
        case TExportCell::Number:
            return c.csv;
    }
    return {};
}

[[noreturn]] void failWorkbook(const QString& path, const QString& reason)
{
    throw IoError::failed(WorkbookWrite, QDir::toNativeSeparators(path), reason);
}

// The temporary file of a workbook, removed unless it was put in place.
struct PartFile {
    QByteArray name;
    ~PartFile()
    {
        if (!name.isEmpty()) ::unlink(name.constData());
    }
};

struct WorkbookFree {
    void operator()(lxw_workbook* wb) const { lxw_workbook_free(wb); }
};

QString libraryReason(lxw_error err, int sysErr)
{
    // A write the system refused (a full disk) says so in its own words.
    if (sysErr != 0) return SystemReason(sysErr);
    // The library's own texts are English; the causes a user can meet are said in Japanese.
    switch (err) {
        case LXW_ERROR_MEMORY_MALLOC_FAILED:
            return SystemReason(ENOMEM);
        case LXW_ERROR_32_STRING_LENGTH_EXCEEDED:
        case LXW_ERROR_128_STRING_LENGTH_EXCEEDED:
        case LXW_ERROR_255_STRING_LENGTH_EXCEEDED:
        case LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED:
            return QStringLiteral("セルに入れる文字が多すぎます。");
        case LXW_ERROR_SHEETNAME_LENGTH_EXCEEDED:
        case LXW_ERROR_INVALID_SHEETNAME_CHARACTER:
        case LXW_ERROR_SHEETNAME_START_END_APOSTROPHE:
        case LXW_ERROR_SHEETNAME_ALREADY_USED:
            return QStringLiteral("シート名が正しくありません。");
        default:
            return QStringLiteral("表計算ファイルを作れませんでした（エラー番号 %1）。").arg(int(err));
    }
}

}  // namespace

TExportCell TExportCell::amount(double v)
{
    return {Amount, NumberText(v), v};
}

TExportCell TExportCell::number(double v)
{
    return {Number, NumberText(v), v};
}

QString NumberText(double v)
{
    if (!std::isfinite(v)) return QStringLiteral("0");
    if (v == std::trunc(v) && std::fabs(v) < 1e18) return QString::number(static_cast<long long>(v));
    const double a = std::fabs(v);
    const int before = a >= 1 ? int(std::floor(std::log10(a))) + 1 : 0;
    QString t = QString::number(v, 'f', std::clamp(15 - before, 0, 15));
    if (t.contains(QLatin1Char('.'))) {
        while (t.endsWith(QLatin1Char('0'))) t.chop(1);
        if (t.endsWith(QLatin1Char('.'))) t.chop(1);
    }
    return t == QStringLiteral("-0") ? QStringLiteral("0") : t;
}

QByteArray ExportCsv(const TExportSheet& sheet)
{
    QString out;
    for (const TExportRow& row : sheet.rows) {
        for (qsizetype i = 0; i < row.cells.size(); ++i) {
            if (i > 0) out += QLatin1Char(',');
            out += csvField(row.cells[i].csv);
        }
        if (row.trailingComma) out += QLatin1Char(',');
        out += QStringLiteral("\r\n");
    }
    return cp932::encode(out);
}

void WriteExportCsv(const QString& path, const TExportSheet& sheet)
{
    WriteFileAtomic(path, ExportCsv(sheet), QStringLiteral("CSVファイルの書き込み"));
}

QList<double> ExportColumnWidths(const TExportSheet& sheet)
{
    QList<double> widths;
    for (const TExportRow& row : sheet.rows)
        for (qsizetype c = 0; c < row.cells.size(); ++c) {
            if (widths.size() <= c) widths.resize(c + 1, 0.0);
            // A full-width character takes two columns of the grid, as its two bytes say.
            const double w = cp932::byteLength(shownText(row.cells[c]));
            widths[c] = std::max(widths[c], w);
        }
    for (double& w : widths) w = std::min(w + 2.0, 80.0);
    return widths;
}

QStringList ValidSheetNames(const QStringList& wanted)
{
    static const QString invalid = QStringLiteral("[]:*?/\\");
    QStringList names;
    for (const QString& want : wanted) {
        QString name;
        for (const QChar c : want) name += invalid.contains(c) || c.unicode() < 0x20 ? QLatin1Char('_') : c;
        while (name.startsWith(QLatin1Char('\''))) name.remove(0, 1);
        while (name.endsWith(QLatin1Char('\''))) name.chop(1);
        name = name.trimmed();
        // The spreadsheet program keeps "History" for itself.
        if (name.isEmpty() || name.compare(QStringLiteral("History"), Qt::CaseInsensitive) == 0)
            name += QStringLiteral("Sheet");
        const auto head = [](const QString& s, qsizetype n) {
            // Never half of a surrogate pair.
            if (s.size() > n && s.at(n - 1).isHighSurrogate()) --n;
            return s.left(n);
        };
        QString unique = head(name, 31);
        const auto taken = [&](const QString& n) { return names.contains(n, Qt::CaseInsensitive); };
        for (int k = 2; taken(unique); ++k) {
            const QString tail = QStringLiteral("(%1)").arg(k);
            unique = head(name, 31 - tail.size()) + tail;
        }
        names << unique;
    }
    return names;
}

QString SafeFileName(const QString& name, const QString& fallback)
{
    static const QString refused = QStringLiteral("/\\:*?\"<>|");
    QString safe = name;
    for (QChar& c : safe)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || refused.contains(c)) c = QLatin1Char('_');
    safe = safe.trimmed();
    while (safe.startsWith(QLatin1Char('.'))) safe.remove(0, 1);
    return safe.isEmpty() ? fallback : safe;
}

QString UniquePath(const QString& path, const QStringList& taken)
{
    if (!taken.contains(path)) return path;
    const QFileInfo info(path);
    const QString folder = path.left(path.size() - info.fileName().size());
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    const QString base = info.fileName().left(info.fileName().size() - suffix.size());
    for (int k = 2;; ++k) {
        const QString next = folder + QStringLiteral("%1(%2)%3").arg(base).arg(k).arg(suffix);
        if (!taken.contains(next)) return next;
    }
}

void WriteExportWorkbook(const QString& path, const QList<TExportSheet>& sheets)
{
    const QFileInfo target(path);
    // Renaming would replace a file the user made read-only; refuse as writing into it would.
    if (target.exists() && !target.isWritable()) failWorkbook(path, SystemReason(EACCES));
    PartFile part;
    const int fd = CreateTemporaryFile(path, part.name);  // mode 0600, the name reserved
    if (fd < 0) {
        const int err = errno;
        part.name.clear();
        failWorkbook(path, SystemReason(err));
    }
    ::close(fd);

    std::unique_ptr<lxw_workbook, WorkbookFree> wb(workbook_new(part.name.constData()));
    if (!wb) failWorkbook(path, SystemReason(ENOMEM));
    lxw_format* yen = workbook_add_format(wb.get());
    format_set_num_format(yen, "#,##0");
    lxw_format* twoDecimals = workbook_add_format(wb.get());
    format_set_num_format(twoDecimals, "0.00");

    QStringList wanted;
    for (const TExportSheet& s : sheets) wanted << s.name;
    const QStringList names = ValidSheetNames(wanted);
    for (qsizetype i = 0; i < sheets.size(); ++i) {
        const TExportSheet& sheet = sheets[i];
        lxw_worksheet* ws = workbook_add_worksheet(wb.get(), names[i].toUtf8().constData());
        if (!ws) failWorkbook(path, QStringLiteral("シート名「%1」を付けられませんでした。").arg(names[i]));
        lxw_error err = LXW_NO_ERROR;
        for (qsizetype r = 0; r < sheet.rows.size() && !err; ++r) {
            const QList<TExportCell>& cells = sheet.rows[r].cells;
            for (qsizetype c = 0; c < cells.size() && !err; ++c) {
                const TExportCell& cell = cells[c];
                const auto row = lxw_row_t(r);
                const auto col = lxw_col_t(c);
                switch (cell.kind) {
                    case TExportCell::Empty:
                        break;
                    case TExportCell::Text:
                    case TExportCell::Fixed: {
                        // Always a string: a text that starts with "=" is never taken as a formula.
                        const QString t = cell.kind == TExportCell::Fixed ? cell.csv.trimmed() : cell.csv;
                        if (!t.isEmpty())
                            err = worksheet_write_string(ws, row, col, t.toUtf8().constData(), nullptr);
                        break;
                    }
                    case TExportCell::Amount:
                        err = worksheet_write_number(ws, row, col, cell.value, yen);
                        break;
                    case TExportCell::Decimal:
                        err = worksheet_write_number(ws, row, col, cell.value, twoDecimals);
                        break;
                    case TExportCell::Number:
                        err = worksheet_write_number(ws, row, col, cell.value, nullptr);
                        break;
                }
            }
        }
        const QList<double> widths = ExportColumnWidths(sheet);
        for (qsizetype c = 0; c < widths.size() && !err; ++c)
            err = worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), widths[c], nullptr);
        if (err) failWorkbook(path, libraryReason(err, 0));
    }
    errno = 0;
    const lxw_error closed = workbook_close(wb.release());  // frees the workbook, written or not
    if (closed != LXW_NO_ERROR) failWorkbook(path, libraryReason(closed, errno));
    // Synced, made private and renamed over the target; on failure the part is removed there.
    const QByteArray name = part.name;
    part.name.clear();
    CommitFileAtomic(QFile::decodeName(name), path, WorkbookWrite);
}
