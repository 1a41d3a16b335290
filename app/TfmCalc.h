// "簡易電卓": the small calculator that the entry windows open beside a numeric field.
#pragma once
#include <QDialog>

class TfmCalc : public QDialog {
    Q_OBJECT
public:
    explicit TfmCalc(QWidget* parent = nullptr);
    // The value on the display, read by the caller after OK.
    long double CalcValue = 0;
};

// Created on first use (it is not one of the windows made at start).
TfmCalc* Calculator();
