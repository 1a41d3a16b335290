// The three exports: their tables built from the ledger rows and sums the printed documents use,
// and written as CSV files or a workbook.
#include "print/exports.h"

#include <QDir>
#include <QFileInfo>
#include <optional>

#include "payroll/calc.h"
#include "payroll/captions.h"
#include "payroll/common.h"
#include "payroll/option.h"
#include "payroll/period.h"
#include "platform/msgbox.h"
#include "platform/notice.h"
#include "print/dispatch.h"
#include "print/ledger.h"

namespace {

QString u(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

// An attendance value as the documents show it: hours as h:mm text (or two decimals, as the
// settings choose), counts and days with two decimals.
TExportCell attendanceCell(const QString& name, double v)
{
    if (IsJikanItem(name)) {
        const QString t = FmtJikan(v);
        return t.contains(QLatin1Char(':')) ? TExportCell::fixed(t) : TExportCell::decimal(v, t);
    }
    return TExportCell::decimal(v, QString::asprintf("%6.2f", v));
}

TExportRow nameRow(const TDaichoRow& r)
{
    TExportRow row;
    row.cells << TExportCell::text(r.Name);
    return row;
}

// The heading of the year ledgers: an empty corner, the fifteen periods and "合計", with no comma
// after the last.
TExportRow yearHeading()
{
    TExportRow row;
    row.cells << TExportCell{};
    for (int p = 1; p <= PeriodCount; ++p) row.cells << TExportCell::text(DaichoPeriodTitle(p));
    row.cells << TExportCell::text(u("合計"));
    row.trailingComma = false;
    return row;
}

// A year ledger's table: period columns (zeros where a period was never saved), then the total.
// Attendance rows are left out of the grand total (withAttendance false).
TExportSheet yearSheet(const QString& name, const QList<TDaichoRow>& rows, const TLedgerColumns& cols,
                       bool withAttendance)
{
    TExportSheet sheet;
    sheet.name = name;
    sheet.rows << yearHeading();
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const TDaichoRow& r = rows[i];
        const size_t at = size_t(i);
        if (r.Kind == DaichoRowKind::Added && !withAttendance) continue;
        TExportRow row = nameRow(r);
        for (int p = 1; p <= PeriodCount; ++p) {
            const bool saved = !cols.period[p].empty();
            const double v = saved ? cols.period[p][at] : 0.0;
            if (r.Kind != DaichoRowKind::Added)
                row.cells << TExportCell::amount(v);
            else if (r.Item == 17)
                row.cells << TExportCell::fixed(FormatPayDate(p));
            else if (!saved || IsBonusPeriod(p))
                row.cells << TExportCell{};
            else
                row.cells << attendanceCell(r.Name, v);
        }
        // Remaining leave and the pay date have no total; attendance totals are plain numbers.
        if (r.Kind != DaichoRowKind::Added)
            row.cells << TExportCell::amount(cols.total[at]);
        else if (r.Item >= 16)
            row.cells << TExportCell{};
        else
            row.cells << TExportCell::number(cols.total[at]);
        sheet.rows << row;
    }
    return sheet;
}

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

// "指定されたファイルに出力中です。" on top of every window while files are written. It is taken
// down for a question, which it would cover, and put up again for the next file.
class WritingNotice {
  public:
    WritingNotice() { writing(); }
    void writing()
    {
        if (!notice_) notice_.emplace(u("指定されたファイルに出力中です。"));
    }
    void asking() { notice_.reset(); }

  private:
    std::optional<ScopedNotice> notice_;
};

bool confirmOverwrite(const QString& path)
{
    return MessageDlg(u("同名のファイルが存在します。上書きしますか？\n\n") + QDir::toNativeSeparators(path),
                      MsgType::Confirmation, MsgButtons::YesNo, MsgDefault::Safe) == MsgResult::Yes;
}

QString seasonWord()
{
    return OptionRec.SyoyoName ? u("季") : u("期");
}

}  // namespace

TExportSheet DaichoSheet(int slot, TYearData& year)
{
    const QList<TDaichoRow> rows = DaichoRows();
    const TEmployeeRec& E = SyainRec[slot];
    return yearSheet(E.Simei.shownText().trimmed(), rows, DaichoYear(rows, E.MembKey.bytes(), year), true);
}

TExportSheet SoGokeiSheet(TYearData& year)
{
    const QList<TDaichoRow> rows = DaichoRows();
    const QString name = QStringLiteral("%1%2年 総合計台帳").arg(CurPeriod.EraText).arg(CurPeriod.EraYear);
    return yearSheet(name, rows, SoGokeiYear(rows, year), false);
}

TExportSheet IchiranSheet(const QList<int>& lines, int mode)
{
    const int p = IchiranPeriod;
    const QList<TDaichoRow> rows = DaichoRows(IsBonusPeriod(p));
    TExportSheet sheet;
    TExportRow heading;
    heading.cells << TExportCell{};
    QList<TExportRow> items;
    for (const TDaichoRow& r : rows) items << nameRow(r);

    // A column of sums: no attendance under it, or (for the total) no cell at all.
    const auto sumColumn = [&](const QString& title, const std::vector<double>& sums, bool attendanceCells) {
        heading.cells << TExportCell::text(title);
        for (qsizetype i = 0; i < rows.size(); ++i) {
            if (rows[i].Kind != DaichoRowKind::Added)
                items[i].cells << TExportCell::amount(sums[size_t(i)]);
            else if (attendanceCells)
                items[i].cells << TExportCell{};
        }
    };
    const bool grouped = mode == 1 || mode == 2;
    const QStringList groups = grouped ? IchiranGroupName : QStringList{QString()};
    for (const QString& group : groups) {
        int listed = 0;
        for (int slot : lines) {
            if (slot < 1 || slot > MaxEmployee || IsTaisyoku(slot)) continue;
            if (mode == 1 && GetKubunName(slot) != group) continue;
            if (mode == 2 && SyainRec[slot].Busyo.shownText() != group) continue;
            ++listed;
            heading.cells << TExportCell::text(SyainRec[slot].Simei.shownText());
            const std::vector<double> v = DaichoValues(rows, KintaiRec[slot], SikyuRec[slot], KoujoRec[slot]);
            for (qsizetype i = 0; i < rows.size(); ++i) {
                const TDaichoRow& r = rows[i];
                if (r.Kind != DaichoRowKind::Added)
                    items[i].cells << TExportCell::amount(v[size_t(i)]);
                else if (r.Item == 17)
                    items[i].cells << TExportCell::fixed(FormatPayDate(p));
                else
                    items[i].cells << attendanceCell(r.Name, v[size_t(i)]);
            }
        }
        if (!grouped || listed == 0) continue;
        int n = 0;
        const std::vector<double> sums = IchiranTotals(rows, mode, group, n);
        sumColumn(QStringLiteral("%1計(%2名)").arg(group).arg(n), sums, true);
    }
    int n = 0;
    const std::vector<double> sums = IchiranTotals(rows, 0, QString(), n);
    sumColumn(QStringLiteral("合 計(%1名)").arg(n), sums, false);
    sheet.rows << heading << items;
    return sheet;
}

bool OutDaichoCSV(const TExportTarget& target, const QList<int>& members)
{
    if (members.isEmpty()) {
        ShowError(u("出力する社員が選ばれていません。\n社員一覧のNo欄をチェックしてから出力してください。"));
        return false;
    }
    WritingNotice notice;
    TYearData year;
    if (target.workbook) {
        QList<TExportSheet> sheets;
        for (int slot : members) sheets << DaichoSheet(slot, year);
        WriteExportWorkbook(target.file, sheets);
        return true;
    }
    const QFileInfo chosen(target.file);
    const QString folder = chosen.absolutePath() + QLatin1Char('/');
    const bool byName = chosen.fileName().compare(u("none.csv"), Qt::CaseInsensitive) == 0;
    QStringList written;
    for (int slot : members) {
        const QString name = SafeFileName(SyainRec[slot].Simei.shownText(), u("社員") + twoDigits(slot));
        // Two employees of one name get two files: none written in this run is overwritten.
        const QString path = UniquePath(
            byName ? folder + name + u(".csv") : folder + twoDigits(slot) + name + u("_") + chosen.fileName(),
            written);
        if (QFileInfo::exists(path)) {
            notice.asking();
            if (!confirmOverwrite(path)) return false;
            notice.writing();
        }
        WriteExportCsv(path, DaichoSheet(slot, year));
        written << path;
    }
    return true;
}

bool OutIchiranCSV(const TExportTarget& target, const QList<int>& lines, int mode)
{
    const WritingNotice notice;
    TExportSheet sheet = IchiranSheet(lines, mode);
    if (target.workbook) {
        sheet.name = QFileInfo(target.file).completeBaseName();
        WriteExportWorkbook(target.file, {sheet});
    } else {
        WriteExportCsv(target.file, sheet);
    }
    return true;
}

bool OutSoGokeiCSV(const TExportTarget& target)
{
    const WritingNotice notice;
    TYearData year;
    const TExportSheet sheet = SoGokeiSheet(year);
    if (target.workbook)
        WriteExportWorkbook(target.file, {sheet});
    else
        WriteExportCsv(target.file, sheet);
    return true;
}

bool CanExport(int tag)
{
    const int kind = tag / 100;
    return kind == 4 || kind == 5 || kind == 6;
}

bool RunExport(int tag, const TExportTarget& target, const TListSlots& list, int mode)
{
    switch (tag / 100) {
        case 4:
            return OutDaichoCSV(target, tag % 100 == 99 ? list.Ticked : QList<int>{tag % 100});
        case 5:
            return OutIchiranCSV(target, list.Lines, mode);
        case 6:
            return OutSoGokeiCSV(target);
        default:
            return false;
    }
}

QString ExportFileName(int tag)
{
    switch (tag / 100) {
        case 4:
            return u("給与台帳");
        case 6:
            return u("総合計台帳");
        case 5:
            break;
        default:
            return {};
    }
    const int p = tag % 100;
    const int payMonth = IsBonusPeriod(p) && p <= PeriodCount ? YearHeader.SyoyoMonth[p - 12] : p;
    QString year = QStringLiteral("%1%2年･").arg(CurPeriod.EraText).arg(CurPeriod.EraYear);
    if (CurPeriod.EraYear == 31 && payMonth >= 5) year = EraName[2] + u("1年･");
    const QString what = p == 13   ? u("夏") + seasonWord() + u("賞与")
                         : p == 14 ? u("冬") + seasonWord() + u("賞与")
                         : p == 15 ? OptionRec.TokuSyoyo
                                   : QStringLiteral("%1月分給与").arg(payMonth);
    return SafeFileName(year + what + u("一覧"), u("一覧"));
}

QString ExportDoneMessage(int tag)
{
    switch (tag / 100) {
        case 4:
            return u("社員別給与台帳をファイルに出力しました。");
        case 5:
            return u("月別給与/賞与一覧をファイルに出力しました。");
        case 6:
            return u("給与/賞与総合計台帳をファイルに出力しました。");
        default:
            return {};
    }
}
