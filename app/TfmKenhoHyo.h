// "健康保険等級表": picks a grade of the health-insurance grade table.
#pragma once
#include <QDialog>

#include "platform/formref.h"

class QLabel;
class QListWidget;
class QPushButton;

class TfmKenhoHyo : public QDialog {
    Q_OBJECT
  public:
    explicit TfmKenhoHyo(QWidget* parent = nullptr);
    // On entry the grade to preselect (0 = none); after OK the chosen grade 1..G.
    int SelToKyu = 0;

    void FormShow();
    void ListBoxClick();
    void bbOkClick();

  protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    // Controls, named as their objectName.
    QListWidget* ListBox = nullptr;
    QLabel* lbSelToKyu = nullptr;
    QPushButton* bbOk = nullptr;
    QPushButton* bbCancel = nullptr;

    bool filled_ = false;  // the list is filled once per run
};

extern TFormRef<TfmKenhoHyo> fmKenhoHyo;
