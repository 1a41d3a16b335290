// "明細入力画面": one employee's attendance, payments and deductions of the open period, on the
// slip items of his pay type, recalculated whenever a field is left.
#pragma once
#include <QDialog>

class TfmDataEdit : public QDialog {
    Q_OBJECT
public:
    explicit TfmDataEdit(QWidget* parent = nullptr);
    // The slot shown (stepping changes it).
    int MembSlot = 0;
};

extern TfmDataEdit* fmDataEdit;
