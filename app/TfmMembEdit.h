// "社員情報の編集": creates one employee or edits one employee's master record of the open period.
// The record logic and the table of its fields live in app/core/membedit; this window shows a
// working copy and takes input.
#pragma once
#include <QDialog>

#include "app/core/membedit.h"
#include "payroll/records.h"
#include "platform/formref.h"

class QKeyEvent;
class QLineEdit;

class TfmMembEdit : public QDialog {
    Q_OBJECT
  public:
    explicit TfmMembEdit(QWidget* parent = nullptr);
    // What the next showing shows: slot 1..90, or -1 for a new employee; view only when opened
    // from the slip entry window.
    void setMember(int slot, bool viewOnly);
    // The slot on the screen (stepping changes it).
    int membSlot() const { return membSlot_; }
    bool viewOnly() const { return viewOnly_; }

  protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void buildControls();
    void FormShow();
    void FirstRunActivate();
    void SetMemberToForm(int slot);
    TFieldValues FormFields() const;
    void GetMemberFromForm(TEmployeeRec& rec) const;
    void btOkClick();
    void sbNewBaseClick();
    void sbAutoSetClick();
    void sbCalculatorClick();
    // tag -1 back, 1 next, 0 only show membSlot_ and set the step buttons.
    void StepData(int tag);
    void KeitaiRule();
    void TaisyoRule(bool fill);
    void KenkouRule();
    void KaigoRule();
    void followCheck(const char* box, std::initializer_list<const char*> controls);
    void FuyouChange();
    void fieldEnter(QWidget* w);
    void editExit(QLineEdit* edit);
    bool keyPress(QWidget* w, QKeyEvent* e);
    bool moveVertically(QWidget* w, int dir);
    void textEdited(QLineEdit* edit);
    int pickerGrade() const;
    void setPickerGrade(int grade);
    template <typename T = QWidget>
    T* control(const char* name) const
    {
        return findChild<T*>(QString::fromLatin1(name));
    }
    QLineEdit* edit(const char* name) const;
    bool checked(const char* box) const;

    int membSlot_ = -1;
    bool viewOnly_ = false;
    // The working record the controls show and are saved into, and the record as it reads back
    // from the controls right after it was shown (the "unchanged" state).
    TEmployeeRec WorkMemb{};
    TEmployeeRec OrgMemb{};
    QWidget* LastFocus = nullptr;
    QLineEdit* CalcTarget = nullptr;
    // Whether the grade-table button still asks first: the one window lives for the whole run,
    // and Yes clears it for the rest of the run.
    bool askAutoSet_ = true;
    QList<QLineEdit*> numEdits_;  // every numeric edit, edMyNo included
    bool loading_ = false;        // controls are being filled: no field rules
    bool firstShow_ = true;
    int tokyu_ = 0;  // the grade while no picker exists
};

extern TFormRef<TfmMembEdit> fmMembEdit;
