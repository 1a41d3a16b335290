// "社員情報の編集": creates one employee or edits one employee's master record of the open period.
// The record logic lives in app/core/membedit; this window shows a working copy and takes input.
#pragma once
#include "platform/formref.h"
#include <QDialog>

#include "app/core/membedit.h"
#include "payroll/records.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

class TfmMembEdit : public QDialog {
    Q_OBJECT
  public:
    explicit TfmMembEdit(QWidget* parent = nullptr);
    // -1 = a new employee; 1..90 = the slot shown (stepping changes it).
    int MembSlot = -1;
    // Show only (opened from the slip entry window).
    bool ViewOnly = false;

    // The working record the controls show and are saved into, and the record as it reads back
    // from the controls right after it was shown (the "unchanged" state).
    TEmployeeRec WorkMemb{};
    TEmployeeRec OrgMemb{};
    QWidget* LastFocus = nullptr;
    QLineEdit* CalcTarget = nullptr;
    // Whether the grade-table button still asks first; cleared for the rest of the run by Yes.
    static inline bool AskAutoSet = true;

    void SetMemberToForm(int slot);
    // The controls as field texts, and saved into rec.
    TMembForm FormFields() const;
    void GetMemberFromForm(TEmployeeRec& rec);
    void btOkClick();
    void sbNewBaseClick();
    void sbAutoSetClick();
    void sbCalculatorClick();
    // tag -1 back, 1 next, 0 only show MembSlot and set the step buttons.
    void StepData(int tag);

    // Controls, named as their objectName.
    QFrame* Panel1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLineEdit* edSimei = nullptr;
    QLineEdit* edBusyo = nullptr;
    QComboBox* cbKubun = nullptr;
    QComboBox* cbKeitai = nullptr;
    QRadioButton* rbZeigaku0 = nullptr;
    QRadioButton* rbZeigaku1 = nullptr;
    QComboBox* cbSex = nullptr;
    QLineEdit* edChouson = nullptr;
    QLineEdit* edMailAdrs = nullptr;
    QCheckBox* cbTaisyo = nullptr;
    QLabel* lbTaisyo = nullptr;
    QLineEdit* edTaiYY = nullptr;
    QLineEdit* edTaiMM = nullptr;
    QLineEdit* edTaiDD = nullptr;
    QLineEdit* edMyNo = nullptr;
    QCheckBox* cbHide = nullptr;
    QLabel* lbChingin1 = nullptr;
    QLineEdit* edChingin[6] = {};  // 1..5
    QLineEdit* edYakuin = nullptr;
    QLineEdit* edFamily = nullptr;
    QLabel* lbFixTeate[4] = {};  // 1..3
    QLineEdit* edTeate[4] = {};
    QLineEdit* edKoutuhi0 = nullptr;
    QLineEdit* edKoutuhi1 = nullptr;
    QComboBox* cbSikUnit = nullptr;
    QLineEdit* edJuumin6 = nullptr;
    QLineEdit* edJuumin = nullptr;
    QLabel* lbFixKoujo[4] = {};
    QLineEdit* edKoujo[4] = {};
    QLabel* lbYukyu = nullptr;
    QLineEdit* edYukyu = nullptr;
    QLineEdit* edKekkin = nullptr;
    QLineEdit* edChisou = nullptr;
    QCheckBox* cbKoyou = nullptr;
    QCheckBox* cbKenkou = nullptr;
    QLabel* lbKenhoRyo = nullptr;
    QLineEdit* edKenhoRyo = nullptr;
    QCheckBox* cbKaigo = nullptr;
    QLabel* lbKaigoRyo = nullptr;
    QLineEdit* edKaigoRyo = nullptr;
    QCheckBox* cbNenHoken = nullptr;
    QLabel* lbKoseiRyo = nullptr;
    QLineEdit* edKoseiRyo = nullptr;
    QCheckBox* cbNenKikin = nullptr;
    QLabel* lbKakekin = nullptr;
    QLineEdit* edKakekin = nullptr;
    QLineEdit* edFuyou = nullptr;
    QLineEdit* edSinzoku = nullptr;
    QCheckBox* cbNoSyoto = nullptr;
    QCheckBox* cbGenkin = nullptr;
    QToolButton* sbAutoSet = nullptr;
    QToolButton* sbBackData = nullptr;
    QToolButton* sbNextData = nullptr;
    QToolButton* sbNewBase = nullptr;
    QToolButton* sbCalculator = nullptr;
    QPushButton* btOk = nullptr;
    QPushButton* btCancel = nullptr;

  protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void buildControls();
    void FormShow();
    void FirstRunActivate();
    void setFields(const TMembForm& f);
    void KeitaiRule();
    void TaisyoRule(bool fill);
    void KenkouRule();
    void KaigoRule();
    void NenHokenRule();
    void NenKikinRule();
    void HideRule();
    void FuyouChange();
    void fieldEnter(QWidget* w);
    void editExit(QLineEdit* edit);
    bool keyPress(QWidget* w, QKeyEvent* e);
    bool moveVertically(QWidget* w, int dir);
    void textEdited(QLineEdit* edit);
    int pickerGrade() const;
    void setPickerGrade(int grade);
    void selectInMainList();

    QList<QLineEdit*> numEdits_;  // every edit with a Tag, edMyNo included
    bool loading_ = false;        // controls are being filled: no field rules
    bool firstShow_ = true;
    int tokyu_ = 0;  // the grade while no picker exists
};

extern TFormRef<TfmMembEdit> fmMembEdit;
