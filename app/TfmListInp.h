// "一覧入力画面": the attendance and amounts of every active employee side by side, one column per
// employee, on two pages (variable and fixed items). The grid logic lives in app/core/listinp.
#pragma once
#include <QAbstractTableModel>
#include <QDialog>
#include <QStyledItemDelegate>
#include <QTableView>

#include "app/core/listinp.h"
#include "platform/formref.h"

class QKeyEvent;
class QLabel;
class QTabWidget;
class QTimer;
class TfmListInp;

// The cells of one grid for the view: item rows and employee columns, with the employee names
// and item names as the view's headers (the grid's fixed row and column).
class TListGridModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    TListGridModel(TListGrid& grid, QObject* parent);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The role of the header data that carries a column's MembKey (the hidden key row).
    static constexpr int KeyRole = Qt::UserRole + 1;

    TListGrid& grid;
    // After the grid was rebuilt or refilled.
    void reload();
    void cellChanged(int col, int row);
};

// The in-place editor of the grids: a numeric field (TNumKeys) whose Enter goes down the column.
class TListGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    TListGridDelegate(TfmListInp* form, QObject* parent);
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    TfmListInp* form_;
};

class TListGridView : public QTableView {
    Q_OBJECT
  public:
    TListGridView(TListGrid& grid, TfmListInp* form, QWidget* parent);
    TListGrid& grid;
    TListGridModel* gridModel;
    // The current cell in grid coordinates (column 1.., row 1..), 0 when there is none.
    int col() const;
    int row() const;
    void setCell(int col, int row);
    // Commits and closes an open cell editor.
    void commitEditing();
    // Leaves the current cell by an arrow key (Qt::Key_Left ...), the entry in it taken first.
    void leaveCell(int key);
    bool editing() const { return state() == QAbstractItemView::EditingState; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

  private:
    TfmListInp* form_;
    friend class TListGridDelegate;
};

class TfmListInp : public QDialog {
    Q_OBJECT
  public:
    explicit TfmListInp(QWidget* parent = nullptr);
    ~TfmListInp() override;

    // Fills the grids from the records of the open period; with no sender the window stays hidden
    // (the main window after opening a period).
    void FormActivate(QObject* sender);
    void FormClose();
    // The page is about to change from the one shown to page.
    void PageCtrlChanging(int page);
    // The page keys of a tab widget, which the grids and their editors would take as cell moves:
    // true when e was one and the page changed.
    bool PageKey(const QKeyEvent* e);
    // Recalculates and opens the slip entry for the employee of the current column.
    void DataEditProc();
    // Rebuilds the rows of StrGridH for a month / a bonus period; with a sender the slip item
    // window is shown first and the rows are rebuilt only on OK.
    void mnPrnFormKClick(QObject* sender);
    void mnPrnFormSClick(QObject* sender);
    void SetGridKyuyo();
    void SetGridSyoyo();
    int FindGridMemb(int col) const { return GridH.FindGridMemb(col); }
    TListGridView* ActiveGrid() const;

    // A cell was entered (from: the user moved in the grid, not the program).
    void StrGridSelectCell(TListGridView* grid, int col, int row, int prevCol, int prevRow, bool fromGrid);
    // An edited cell is left: the typed text is checked and taken, or refused with a message.
    bool StrGridExit(TListGridView* grid, int col, int row, const QString& typed);
    // Enter: on to the next row of an item on the column employee's slip.
    void EnterMove(TListGridView* grid);
    // After a refused entry (its message closed): the cursor in the grid's cell again, its editor
    // open and empty for the next try.
    void ReopenRefusedCell(TListGridView* grid);
    // The key filter of the cells; false drops the character (after a beep).
    bool AcceptKey(TListGridView* grid, QChar c) const;
    void Timer1Timer();
    void Timer2Timer();

    void done(int r) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // The grid views and their editors reach the timers and the refusal flag.
    friend class TListGridDelegate;
    friend class TListGridView;

    TListGrid GridH{TGridKind::Hendou};
    TListGrid GridK{TGridKind::Kotei};

    // Controls, named as their objectName.
    QTabWidget* PageCtrl;
    QWidget* tsHendou;
    QWidget* tsKotei;
    TListGridView* StrGridH;
    TListGridView* StrGridK;
    QLabel* lbKihonH;
    QLabel* Label1;
    QTimer* Timer1;  // opens the editor of a cell just entered (AutoSelect)
    QTimer* Timer2;  // closes the input method after the Kanji keys

    // The last entry left was refused or emptied with a message.
    bool EntryRefused = false;

    void refreshPage(TListGridView* grid);
    void setBasicHoursLabel();
    void setColumnWidths();
    void installReader();

    int activePage_ = 0;
    bool placed_ = false;
    bool switching_ = false;
    bool readerInstalled_ = false;
    bool inExit_ = false;
};

extern TFormRef<TfmListInp> fmListInp;
