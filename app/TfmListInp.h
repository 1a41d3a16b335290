// "一覧入力画面": the attendance and amounts of every active employee side by side, one column per
// employee, on two pages (variable and fixed items).
#pragma once
#include <QDialog>

class TfmListInp : public QDialog {
    Q_OBJECT
public:
    explicit TfmListInp(QWidget* parent = nullptr);
};

extern TfmListInp* fmListInp;
