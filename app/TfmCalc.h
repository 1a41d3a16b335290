// "簡易電卓": the small calculator that the entry windows open beside a numeric field.
#pragma once
#include <QDialog>

#include "app/core/calculator.h"

class QLabel;
class QPushButton;
class QTimer;
class QToolButton;

class TfmCalc : public QDialog {
    Q_OBJECT
  public:
    explicit TfmCalc(QWidget* parent = nullptr);
    // The value on the display, read by the caller after OK.
    long double CalcValue = 0;

    // Runs the button of this Tag as a key press does: shown pressed for a moment, then its action.
    void PressKey(int tag);
    void btOkClick();
    const TCalculator& Engine() const { return calc_; }

  protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    // Controls, named as their objectName.
    QLabel* pnDisp = nullptr;
    QToolButton* sbNum[10] = {};
    QToolButton* sbTen = nullptr;
    QToolButton* sbPlus = nullptr;
    QToolButton* sbMinus = nullptr;
    QToolButton* sbMulti = nullptr;
    QToolButton* sbDivide = nullptr;
    QToolButton* sbCalc = nullptr;
    QToolButton* sbPer = nullptr;
    QToolButton* sbClear = nullptr;
    QToolButton* sbBackSpace = nullptr;
    QToolButton* sbTax = nullptr;
    QPushButton* btOk = nullptr;
    QPushButton* btCancel = nullptr;
    QTimer* Timer1 = nullptr;  // releases the button shown pressed

    QToolButton* button(int tag) const;
    void run(int tag);

    TCalculator calc_;
    QToolButton* pressed_ = nullptr;
};

// Created on first use (it is not one of the windows made at start).
TfmCalc* Calculator();
