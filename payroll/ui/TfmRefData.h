// "参照するデータの選択": the saved month of any year that supplies the company block and the
// employees of a period started without a usable previous month.
#pragma once
#include <QDialog>

#include "platform/formref.h"

class QListWidget;
class QPushButton;

class TfmRefData : public QDialog {
    Q_OBJECT
  public:
    explicit TfmRefData(QWidget* parent = nullptr);

    // Set by the period selection: a month later than the chosen one is saved already.
    bool LaterExists = false;

    // Empties the period's blocks, lists the saved months and warns; with nothing to list the
    // window closes by itself with Cancel without being seen.
    int exec() override;
    void FormShow();
    void bbOkClick();

  protected:
    void done(int r) override;

  private:
    // Controls, named as their objectName.
    QListWidget* ListBox = nullptr;
    QPushButton* bbOk = nullptr;
    QPushButton* bbCancel = nullptr;
};

extern TFormRef<TfmRefData> fmRefData;
