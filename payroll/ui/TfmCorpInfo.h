// "会社情報の設定": the company block of the open period, the default working hours per day, and
// the offer to recompute the employees' premiums when insurance rates change.
#pragma once
#include <QDialog>

class TfmCorpInfo : public QDialog {
    Q_OBJECT
public:
    explicit TfmCorpInfo(QWidget* parent = nullptr);
};

extern TfmCorpInfo* fmCorpInfo;
