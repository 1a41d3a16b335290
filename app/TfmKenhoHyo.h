// "健康保険等級表": picks a grade of the health-insurance grade table.
#pragma once
#include <QDialog>

class TfmKenhoHyo : public QDialog {
    Q_OBJECT
public:
    explicit TfmKenhoHyo(QWidget* parent = nullptr);
    // On entry the grade to preselect (0 = none); after OK the chosen grade 1..G.
    int SelToKyu = 0;
};

extern TfmKenhoHyo* fmKenhoHyo;
