// "会社情報の設定": the company block of the open period, the default working hours per day, and
// the offer to recompute the employees' premiums when insurance rates change.
#pragma once
#include <QDialog>

#include "payroll/corpinfo.h"
#include "platform/formref.h"

class QLineEdit;

class TfmCorpInfo : public QDialog {
    Q_OBJECT
  public:
    explicit TfmCorpInfo(QWidget* parent = nullptr);
    ~TfmCorpInfo() override;

    // Whether the next showing is the first-run setup (sample values, the question on Cancel);
    // the main window sets it before it opens the window.
    void setFirstRun(bool on) { firstRun_ = on; }
    // Cancel, Escape and the close box; during the first-run setup only after a question.
    void reject() override;

  protected:
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    // Fills the window from CorpRec (with the defaults of a block never set).
    void FormShow();
    // The first activation after a show: the sample values of the first-run setup.
    void FormActivate();
    // Checks the fields and stores them into CorpRec; closes with OK when all checks pass.
    void bbOkClick();
    void btKenRituClick();
    void NumericItemExit(QLineEdit* edit);
    void cbSikyuKbnClick(const char* sender);
    void setSampleColour(bool sample);
    template <typename T = QWidget>
    T* control(const char* name) const
    {
        return findChild<T*>(QString::fromLatin1(name));
    }
    QLineEdit* edit(const char* name) const;

    bool activated_ = false;
    bool firstRun_ = false;
    TCorpRates rates_;  // the rates when the window was shown
};

extern TFormRef<TfmCorpInfo> fmCorpInfo;
