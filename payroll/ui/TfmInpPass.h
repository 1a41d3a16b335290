// "パスワード入力": the start-up password, asked before any company data is opened.
#pragma once
#include <QByteArray>
#include <QDialog>

#include "platform/formref.h"

class QLineEdit;

class TfmInpPass : public QDialog {
    Q_OBJECT
  public:
    // Reads the start-up password once: one set or cleared later counts from the next start.
    explicit TfmInpPass(QWidget* parent = nullptr);
    // The password as CP932 bytes; empty when none is set.
    QByteArray PassWord;
    // The right password was entered (or none is set).
    bool Passed = false;

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void btOkClick();

    QLineEdit* edPassword = nullptr;
};

extern TFormRef<TfmInpPass> fmInpPass;
