// "一覧形式で社員情報修正": the numeric master data of every employee in service side by side, one
// column per employee; a monthly pay typed into its row fills the four premiums from the grade
// table. The grid is filled on every activation and written back on close (no cancel).
#pragma once
#include <QDialog>
#include <cstdint>

#include "platform/formref.h"

class QAbstractItemDelegate;
class QTableWidget;
class QTableWidgetItem;
class QTimer;

class TfmListEdit : public QDialog {
    Q_OBJECT
  public:
    explicit TfmListEdit(QWidget* parent = nullptr);

    // The slot of each employee column (column 1 first).
    QList<int> columnSlots() const { return slots_; }

    // The placement is read from the company's settings once a run.
    static bool FirstShow;

  protected:
    void showEvent(QShowEvent* e) override;
    void done(int r) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    friend class TListEditDelegate;
    void FormActivate();
    // Enter: the premiums of a pay typed into its row, then the next editable row of the column.
    void enterKey();
    // A key that leaves the cell being edited (Enter, an arrow): what was typed is taken, and true;
    // a refused entry is told and the cell stays with its editor open on what it held, false.
    bool leaveEditor(QAbstractItemDelegate* delegate, QWidget* editor);
    // An arrow key: the neighbouring cell that way, or the same one at the grid's edge.
    void arrowKey(int key);
    // The four premiums of column c from the grade of a monthly pay.
    void premiumsOf(int32_t pay, int c);
    // A cell entered: the pay row left is emptied, and with AutoSelect the new cell's editor opens.
    void StrGridSelectCell(int row, int col, int prevRow, int prevCol);
    void readPlacement();
    void writePlacement();

    QTableWidget* StrGrid = nullptr;
    QTimer* Timer1 = nullptr;  // opens the editor of a cell just entered (AutoSelect)
    QList<int> slots_;
    bool leaving_ = false;   // a key leaves the cell: a refusal is kept in refusal_
    bool refusing_ = false;  // a refusal is being told
    QString refusal_;
};

extern TFormRef<TfmListEdit> fmListEdit;
