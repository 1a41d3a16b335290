// The slip mail window: the ticked employees' slips (or one employee's) as JPEG images, mailed to
// each employee or saved in a chosen folder, with the subject, body, pay date and memo they carry.
#pragma once
#include <QDialog>

#include "platform/formref.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class TfmSendMail : public QDialog {
    Q_OBJECT
  public:
    explicit TfmSendMail(QWidget* parent = nullptr);

    // What the window sends, set by its opener: tag is 200 + slot for one employee, 299 for the
    // ticked ones (the print dialog gets the same for the preview); caption "給与明細書" or
    // "賞与明細書".
    void setDocument(int tag, const QString& caption);
    void FormShow();
    // send: mail the slips; else save them in a folder.
    void btOk_SaveClick(bool send);
    void btPreViewClick();
    void btMemoryClick();
    void btMemory2Click();
    void done(int r) override;

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    // The stored mail body, read once when the window is made.
    void LoadMailText();
    void publish();
    QList<int> slotsToSend() const;

    int Tag = 0;
    QString caption_;
    int savedFormType_ = -1;  // the slip paper setting while the window is open, -1 when not changed
    QLineEdit* edKenmei;
    QPlainTextEdit* mmHonbun;
    QLabel* lbNengappi1;
    QLineEdit* edPrnDateYY;
    QLineEdit* edPrnDateMM;
    QLineEdit* edPrnDateDD;
    QPlainTextEdit* mmEditMemo;
    QCheckBox* cbShowDialog;
    QLabel* lbNoMail = nullptr;
    QLabel* lbSendInfo;
    QPushButton* btOk;
    QPushButton* btSave;
    QPushButton* btPreView;
    QPushButton* btMemory;
    QPushButton* btMemory2;
    QPushButton* btCancel;
};

extern TFormRef<TfmSendMail> fmSendMail;
