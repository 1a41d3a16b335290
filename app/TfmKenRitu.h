// "健康保険料率選択": picks a prefecture's health-insurance rate; returns the employee's half.
#pragma once
#include <QDialog>

class TfmKenRitu : public QDialog {
    Q_OBJECT
public:
    explicit TfmKenRitu(QWidget* parent = nullptr);
    // After OK: the chosen rate, already halved, in percent.
    double SelRitu = 0;
};

extern TfmKenRitu* fmKenRitu;
