// What the pay-slip and bonus-slip item windows share: the pay-type tabs, the item grids with
// their drag handles and use colours, the default button, and OK and Cancel.
#pragma once
#include <QDialog>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include "payroll/slipitems.h"

class QFrame;
class QLabel;
class QPushButton;
class QTabWidget;

// An item grid: rows are dragged to a new place by their handle in column 0.
class TSlipItemGrid : public QTableWidget {
    Q_OBJECT
  public:
    TSlipItemGrid(int tag, int rows, QWidget* parent);

    int Tag;  // 1 attendance, 2 payments, 3 deductions, 4 other

  signals:
    // A row was dragged from row `from` to row `to` (grid rows, from 0).
    void rowMoved(int from, int to);
    // Space on a name cell: the keyboard's way of clicking it.
    void nameToggled(int row);

  protected:
    // The keyboard stays on the names: the handle column is the mouse's.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    int dropRowAt(int y) const;

    int dragFrom_ = -1;
    int dropTo_ = -1;
};

class TfmPrnFormBase;

// Paints every cell of the item grids through the window's StringGridDrawCell.
class TSlipItemDelegate : public QStyledItemDelegate {
  public:
    explicit TSlipItemDelegate(TfmPrnFormBase* form);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

  private:
    TfmPrnFormBase* form_;
};

class TfmPrnFormBase : public QDialog {
    Q_OBJECT
  public:
    // The pay type of the active tab: 1 monthly, 2 daily, 3 hourly.
    int ActivePayType() const;

    void FormShow();
    void StringGridDrawCell(QPainter* painter, const TSlipItemGrid* grid, int col, int row, const QRect& rect,
                            bool focused) const;
    void StringGridSelectCell(TSlipItemGrid* grid, int col, int row);
    void sgKintaiRowMoved(int from, int to);
    void sgSikyuRowMoved(int from, int to);
    void sgKoujoRowMoved(int from, int to);
    void sgSonotaRowMoved(int from, int to);
    void sbDefaultClick();
    // Publishes the item arrays; from the OK button also writes them and closes with OK.
    void bbOkClick(QObject* sender);

    // Cancel, Escape and the title bar put the item arrays and lists back as they were shown.
    void reject() override;

  protected:
    TfmPrnFormBase(bool withKintai, QWidget* parent);

    virtual void loadItems(bool apply) = 0;
    virtual void publishItems() = 0;
    virtual void saveItems() = 0;  // throws IoError
    virtual void setDefaultItems() = 0;

    void showEvent(QShowEvent* event) override;

  private:
    // Controls, named as their objectName.
    QTabWidget* PageCtrl;
    QWidget* tsGekkyu;
    QWidget* tsNikkyu;
    QWidget* tsJikan;
    TSlipItemGrid* sgKintai = nullptr;  // pay slips only
    TSlipItemGrid* sgSikyu;
    TSlipItemGrid* sgKoujo;
    TSlipItemGrid* sgSonota;
    QFrame* pnDisable;
    QPushButton* sbDefault;
    QPushButton* bbOk;
    QPushButton* bbCancel;

    TSlipItemGrid* addGrid(const char* name, int tag, int rows, const QString& header, QWidget* parent);
    TSlipItem& item(int tag, int row);
    const TSlipItem& item(int tag, int row) const;
    void fillGrids();
    void fillGrid(TSlipItemGrid* grid);
    void repaintGrids();
    void tabChanged(int index);

    QWidget* gridPanel_;  // the grids, moved onto whichever tab is active

    // The arrays and lists as they stood before the window loaded its settings.
    struct Shown {
        Arr<TSlipItem, 1, 16> kintai;
        Arr<TSlipItem, 1, 18> sikyu;
        Arr<TSlipItem, 1, 18> koujo;
        Arr<TSlipItem, 1, 3> sonota;
        Arr<Arr<QString, 1, 16>, 1, 3> kintaiList;
        Arr<Arr<QString, 1, 18>, 1, 3> sikyuList;
        Arr<Arr<QString, 1, 18>, 1, 3> koujoList;
        Arr<Arr<QString, 1, 3>, 1, 3> sonotaList;
    };
    Shown shown_;
    bool haveShown_ = false;
};
