// The ledger item settings: attendance rows (and the pay date) added to the ledgers and the pay
// list, and the user items taken out of them to make room.
#pragma once
#include <QDialog>

#include "platform/formref.h"

class QCheckBox;
class QPushButton;

class TfmPrnItem : public QDialog {
    Q_OBJECT
  public:
    explicit TfmPrnItem(QWidget* parent = nullptr);

    void FormShow();
    void sbDefaultClick();
    void bbOkClick();

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    QCheckBox* cbAddItem[18] = {};  // 1..17
    QCheckBox* cbDelItem[16] = {};  // 1..15
    QPushButton* sbDefault;
    QPushButton* bbOk;
    QPushButton* bbCancel;
};

extern TFormRef<TfmPrnItem> fmPrnItem;
