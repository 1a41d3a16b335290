// The list-entry grids without widgets: which employees get a column and which items a row, the
// text of each cell from the period records, the check of a typed cell and the read-back of the
// typed cells of a grid into the records by item name.
#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>
#include <vector>

#include "payroll/records.h"

// 変動項目 (entered each period, "V" items) or 固定項目 (computed or master items, "F").
enum class TGridKind { Hendou, Kotei };

// Which list of the slip items a row comes from.
enum class TRowList { Kintai, Sikyu, Koujo, Sonota };

struct TGridRow {
    QString name;  // the label in column 0: the item's display name
    TRowList list = TRowList::Sikyu;
    Arr<bool, 1, 3> onForm{};  // on the slip list of pay type 1 monthly, 2 daily, 3 hourly
    bool kintai() const { return list == TRowList::Kintai; }
};

// One grid in the coordinates the window uses: column 0 holds the item names, row 0 the employee
// names, columns 1..colCount()-1 the employees and rows 1..rowCount()-1 the items. Every column
// also carries its employee's MembKey in a key row that is never shown. A cell typed in keeps the
// number entered beside its text: only those cells go back into the records, with that number,
// since the text shows hours and days rounded to two decimals.
class TListGrid {
  public:
    explicit TListGrid(TGridKind kind) : kind_(kind) {}

    TGridKind kind() const { return kind_; }
    int colCount() const { return int(keys_.size()) + 1; }
    int rowCount() const { return int(rows_.size()) + 1; }

    // Row 0 gives the employee name, column 0 the item name; outside the grid an empty text.
    QString cell(int col, int row) const;
    void setCell(int col, int row, const QString& text);
    // A cell the user typed in (or one worked out from such a cell), showing text for value.
    void enterCell(int col, int row, const QString& text, double value);
    // The number typed into a cell since the grid was filled; nothing for a cell not typed in.
    std::optional<double> typedValue(int col, int row) const;
    QByteArray key(int col) const;
    const TGridRow& row(int r) const { return rows_[size_t(r - 1)]; }

    // The slot whose MembKey is the key of column col, -1 when none (also for an empty key).
    int FindGridMemb(int col) const;
    // The column carrying key, -1 when none.
    int columnOfKey(const QByteArray& key) const;

    // Gives the grid one column per slot, in that order, with the names and keys (cells empty).
    void setColumns(const QList<int>& order);
    // Replaces the item rows and fills every cell from the records.
    void setRows(std::vector<TGridRow> rows);
    // Fills the cells of every column from the records again.
    void refill();

    // Where the read-back puts each row's value, resolved once per row set and period kind (the
    // rows are rebuilt whenever the item names could have changed).
    struct Target {
        enum Kind : char { None, Kintai, Sikyu, Koujo, Sonota } kind = None;
        int k = 0;
    };
    const std::vector<Target>& targets(bool bonus) const;

  private:
    TGridKind kind_;
    mutable std::vector<Target> targets_;
    mutable int targetsBonus_ = -1;  // -1 not resolved, else the period kind they are for
    std::vector<TGridRow> rows_;
    std::vector<QString> names_;                // row 0 of columns 1..
    std::vector<QByteArray> keys_;              // the key row of columns 1..
    mutable std::vector<int> slots_;            // slot of each column when filled; checked against the key
    std::vector<QString> cells_;                // item rows x employee columns, row by row
    std::vector<std::optional<double>> typed_;  // as cells_: the number of a cell typed in
};

// The slot for column candidate n: with serial numbers in use the employee numbered n, else slot
// n. False when there is none there or he is retired.
bool GetColumnSlot(int n, int& slot);
// The slots of the columns in order. Active employees that the serial numbers leave without a
// column (no number, or a number held twice) follow in slot order, so each has one column.
QList<int> ListColumnSlots();

// The rows of 変動項目 for a month or a bonus period, from the published slip item lists.
std::vector<TGridRow> HendouRows(bool bonus);
// The rows of 固定項目: computed payments and deductions other than the totals.
std::vector<TGridRow> KoteiRows();

// The text of item row of the grid kind for slot e, from the records.
QString CellText(TGridKind kind, const TGridRow& row, int e);

// Whether the cell can be typed into: its employee is in use and the item is on his slip list.
bool IsCellEditable(const TListGrid& g, int col, int row);
// Whether the fixed-page cell holds an amount the user typed over a computed one.
bool IsCellManual(const TListGrid& g, int col, int row);
// Marks the item of a fixed-page cell as typed by the user for its employee.
void MarkCellManual(const TListGrid& g, int col, int row);

// The characters a cell of this row accepts besides the digits.
QString AllowedChars(const TListGrid& g, int row);
// The display format (width * 10 + decimals) a cell of this row is checked with.
int CellTag(const TListGrid& g, int row);

// The outcome of typing text into a cell: accepted with the text the cell shows from then on, or
// refused (the cell keeps what it had). error is the message to show, also for an accepted entry
// that was emptied (a day count above 31).
struct TCellEntry {
    bool accepted = false;
    QString text;
    double value = 0;  // the number entered ("7:20" is 7 1/3 hours, whatever the text shows)
    QString error;
};
TCellEntry CheckCellEntry(const TListGrid& g, int row, const QString& typed);

// The row Enter moves to from row in column col: the next item row, wrapping to row 1, that is on
// the slip list of the column's employee; row itself when there is none (one pass at most).
int NextEditRow(const TListGrid& g, int col, int row);

// The row labelled name, -1 when the grid has none.
int FindGridRow(const TListGrid& g, const QString& name);
// After leaving a 有休日数 cell typed in: the 有休残日数 cell of the column becomes last period's
// remaining days minus the days typed, and is taken back like a typed cell. False when the days
// were not typed, or there is no such row or no previous figure.
bool UpdateYukyuZan(TListGrid& g, int col);

// Reads the cells typed in of the column that carries slot e's key back into his records, by the
// names of the rows; every other value keeps its stored number exactly. A slot whose key is in no
// column is left alone (false).
bool ReadGridColumn(const TListGrid& g, int e, bool bonus);
