// "入力項目の設定": the settings of the company data set (OptionRec): the user item names with their
// tax and insurance flags, slip paper, rounding, print position, fonts and entry switches.
#pragma once
#include <QDialog>
#include <QString>

#include "platform/formref.h"

class QLineEdit;

class TfmOption : public QDialog {
    Q_OBJECT
  public:
    explicit TfmOption(QWidget* parent = nullptr);
    ~TfmOption() override;

  protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void FormShow();
    // Checks the names, moves the controls into OptionRec and writes it; closes with OK.
    void btSysSaveClick();
    void sbSelectFontClick(int tag);
    void edPrAdjustExit(QLineEdit* edit);
    // Drops what CP932 lacks and cuts the text to the edit's limit.
    void keepText(QLineEdit* edit);
    template <typename T = QWidget>
    T* control(const QString& name) const
    {
        return findChild<T*>(name);
    }

    QString fonts_[4];  // the working font names: body, headings, company name, notices
    bool filled_ = false;
};

extern TFormRef<TfmOption> fmOption;
