// "パスワード設定": sets or clears the start-up password or the cloud-archive password.
#pragma once
#include <QDialog>

#include "platform/formref.h"

class QLabel;
class QLineEdit;

class TfmSetPass : public QDialog {
    Q_OBJECT
  public:
    explicit TfmSetPass(QWidget* parent = nullptr);
    // 1 the start-up password, 2 the cloud-archive password (pmStartup, pmCloud); set before showing.
    int PassMode = 1;
    // After OK: the password set, in plain text (the cloud window archives with it).
    QString password() const;

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void btOkClick();

    QLineEdit* edPass1 = nullptr;
    QLineEdit* edPass2 = nullptr;
    QLabel* lbNotice1 = nullptr;
};

extern TFormRef<TfmSetPass> fmSetPass;
