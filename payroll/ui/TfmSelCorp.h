// "使用する会社データを選択": the company data set to work with, chosen at start; its lines can be
// renamed and its sets other than the first deleted.
#pragma once
#include <QDialog>

#include "platform/formref.h"

class QListWidget;
class QToolButton;

class TfmSelCorp : public QDialog {
    Q_OBJECT
  public:
    explicit TfmSelCorp(QWidget* parent = nullptr);
    // After OK: the code of the chosen set ("_a".."_z"), empty for the first set.
    QString SelCode;

    // Every close writes the list back to [CorpData] of SysIniFileName.
    void done(int r) override;

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void FormShow();
    void ListBoxClick();
    void btSelectClick();
    void sbReNameClick();
    void sbDeleteClick();

    QListWidget* ListBox = nullptr;
    QToolButton* sbDelete = nullptr;
};

extern TFormRef<TfmSelCorp> fmSelCorp;
