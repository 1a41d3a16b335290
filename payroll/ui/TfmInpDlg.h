// "年の入力": the era and era year of a new year data file.
#pragma once
#include <QDialog>

#include "platform/formref.h"

class QComboBox;
class QLineEdit;
class QPushButton;

class TfmInpDlg : public QDialog {
    Q_OBJECT
  public:
    explicit TfmInpDlg(QWidget* parent = nullptr);

    // After OK: a year of the year list's ranges whose file does not exist yet.
    QString EraText;
    int Year = 0;

    void btOkClick();

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    QComboBox* cbGengo = nullptr;
    QLineEdit* edYear = nullptr;
    QPushButton* btOk = nullptr;
};

extern TFormRef<TfmInpDlg> fmInpDlg;
