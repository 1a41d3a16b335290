// "会社情報の設定": the company block of the open period, the default working hours per day, and
// the offer to recompute the employees' premiums when insurance rates change.
#pragma once
#include "platform/formref.h"
#include <QDialog>

#include "payroll/corpinfo.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TfmCorpInfo : public QDialog {
    Q_OBJECT
  public:
    explicit TfmCorpInfo(QWidget* parent = nullptr);
    ~TfmCorpInfo() override;

    // Fills the window from CorpRec (with the defaults of a block never set).
    void FormShow();
    // The first activation after a show: the sample values of the first-run setup.
    void FormActivate();
    // Checks the fields and stores them into CorpRec; closes with OK when all checks pass.
    void bbOkClick();
    void btKenRituClick();
    // The window's fields as texts.
    TCorpEntry Entry() const;
    // Cancel, Escape and the close box; during the first-run setup only after a question.
    void reject() override;
    // Whether the next showing is the first-run setup (sample values, the question on Cancel);
    // the main window sets it before it opens the window.
    void setFirstRun(bool on) { firstRun_ = on; }

    // Controls, named as their objectName.
    QLineEdit* edSyamei = nullptr;
    QLineEdit* edSikyubi = nullptr;
    QCheckBox* cbSikyuP1 = nullptr;
    QCheckBox* cbSikyuM1 = nullptr;
    QCheckBox* cbJuumin6 = nullptr;
    QLineEdit* edJikanD = nullptr;
    QLineEdit* edKoyRitu = nullptr;
    QRadioButton* rbJigyo = nullptr;
    QRadioButton* rbIgai = nullptr;
    QCheckBox* cbUseHyo = nullptr;
    QLineEdit* edKenRitu = nullptr;
    QLineEdit* edKaiRitu = nullptr;
    QLineEdit* edNenRitu = nullptr;
    QLineEdit* edKknRitu = nullptr;
    QLineEdit* edHouNo = nullptr;
    QCheckBox* cbHide = nullptr;
    QPushButton* btKenRitu = nullptr;
    QPushButton* bbOk = nullptr;
    QPushButton* bbCancel = nullptr;

  protected:
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void NumericItemExit(QLineEdit* edit);
    void cbSikyuKbnClick(QCheckBox* sender);
    void setSampleColour(bool sample);

    bool activated_ = false;
    bool firstRun_ = false;
    TCorpRates rates_;  // the rates when the window was shown
};

extern TFormRef<TfmCorpInfo> fmCorpInfo;
