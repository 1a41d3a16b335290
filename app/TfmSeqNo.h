// "社員連番の変更": the employees of the open period put in the order that lists, slips and
// exports follow, by sorting, moving or dragging lines; OK stores serial numbers 1..N.
#pragma once
#include <QDialog>

#include "platform/formref.h"

class QListWidget;
class QHeaderView;

class TfmSeqNo : public QDialog {
    Q_OBJECT
  public:
    explicit TfmSeqNo(QWidget* parent = nullptr);

    // The slots of the lines, top to bottom.
    QList<int> listedSlots() const;
    // Refills the list: 1 number (serial once serial numbers exist, else slot), 2 name, 3 category,
    // 4 pay type, 5 department; below 1 the last order chosen.
    void ListMembersBy(int order);

    // The drag hint is shown once a run.
    static bool ShowDragHint;
    static constexpr int SlotRole = Qt::UserRole;

  protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void moveLine(int step);
    void bbOkClick();
    void btResetClick();

    QListWidget* ListBox = nullptr;
    QHeaderView* HeadCtrl = nullptr;
    int lastOrder_ = 1;
};

extern TFormRef<TfmSeqNo> fmSeqNo;
