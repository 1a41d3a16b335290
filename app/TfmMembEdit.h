// "社員情報の編集": creates one employee or edits one employee's master record of the open period.
#pragma once
#include <QDialog>

class TfmMembEdit : public QDialog {
    Q_OBJECT
public:
    explicit TfmMembEdit(QWidget* parent = nullptr);
    // -1 = a new employee; 1..90 = the slot shown (stepping changes it).
    int MembSlot = -1;
    // Show only (opened from the slip entry window).
    bool ViewOnly = false;
};

extern TfmMembEdit* fmMembEdit;
