// "健康保険料率選択": picks a prefecture's health-insurance rate; returns the employee's half.
#pragma once
#include <QDialog>

#include "platform/formref.h"

class QListWidget;
class QPushButton;

class TfmKenRitu : public QDialog {
    Q_OBJECT
  public:
    // Reads the rate file of the tables folder (TablePath) once, here.
    explicit TfmKenRitu(QWidget* parent = nullptr);
    // After OK: the chosen rate, already halved, in percent.
    double SelRitu = 0;

    void btOkClick();

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    // Controls, named as their objectName.
    QListWidget* ListBox = nullptr;
    QPushButton* btOk = nullptr;
    QPushButton* btCancel = nullptr;
    int pickedRow() const;  // the selected line, -1 for none

    QString problem_;  // why a rate file that exists could not be read
};

extern TFormRef<TfmKenRitu> fmKenRitu;
