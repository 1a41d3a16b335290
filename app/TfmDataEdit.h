// "明細入力画面": one employee's attendance, payments and deductions of the open period, on the
// slip items of his pay type, recalculated whenever a field is left.
#pragma once
#include <QDialog>
#include <QHash>

#include "app/core/dataedit.h"
#include "payroll/records.h"
#include "platform/formref.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

class TfmDataEdit : public QDialog {
    Q_OBJECT
  public:
    explicit TfmDataEdit(QWidget* parent = nullptr);
    // The slot shown (stepping changes it).
    int MembSlot = 0;
    // The hint before the first view of an employee record in a run.
    static inline bool AskMembView = true;

    // Records to screen and screen to records; GetMeisai shows the message of a row that cannot
    // be stored and gives false, having stored nothing.
    void ShowMeisai(int slot);
    bool GetMeisai(int slot);
    // tag -1 back, 1 next, 0 only show MembSlot and set the buttons.
    void StepData(int tag);
    void sbCalcClick(bool byButton);
    void sbManualClick(bool byButton);
    void sbCalculatorClick();
    void btMembEditClick();
    void btPrnMeisaiClick();
    void btSendMailClick();

    // Closing runs the leave of the current field first and stores the screen.
    void done(int r) override;

  protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    // True while the screen is being filled: leaving a field then does nothing.
    bool InShow = false;
    // The row edit most recently entered (kept across openings) and its row's label.
    QLineEdit* CurEdit = nullptr;
    QLabel* CurLabel = nullptr;

    // Row controls, 1-based as the slip rows.
    Arr<QLabel*, 1, 16> KintaiLabel{};
    Arr<QLineEdit*, 1, 16> KintaiEdit{};
    Arr<QLabel*, 1, 18> SikyuLabel{};
    Arr<QLineEdit*, 1, 18> SikyuEdit{};
    Arr<QLabel*, 1, 18> KoujoLabel{};
    Arr<QLineEdit*, 1, 18> KoujoEdit{};
    Arr<QLabel*, 1, 3> SonotaLabel{};
    Arr<QLineEdit*, 1, 3> SonotaEdit{};

    // Other controls, named as their objectName (the rows' are ed/lb + group + row).
    QLabel* lbSimei = nullptr;
    QGroupBox* gbChingin = nullptr;
    QLabel* lbChingin2 = nullptr;
    QLabel* lbChingin3 = nullptr;
    QLabel* lbChingin4 = nullptr;
    QLabel* lbChingin5 = nullptr;
    QGroupBox* gbKintai = nullptr;
    QGroupBox* gbSikyu = nullptr;
    QGroupBox* gbKoujo = nullptr;
    QGroupBox* gbSonota = nullptr;
    QLabel* pnSikyuTotal = nullptr;
    QLabel* pnKoujoTotal = nullptr;
    QLabel* pnSonotaTotal = nullptr;
    QLabel* pnSikyugaku = nullptr;
    QLabel* pnAutoSet = nullptr;
    QToolButton* sbBackData = nullptr;
    QToolButton* sbNextData = nullptr;
    QToolButton* sbCalculator = nullptr;
    QToolButton* sbCalc = nullptr;
    QToolButton* sbManual = nullptr;
    QPushButton* btPrnMeisai = nullptr;
    QPushButton* btSendMail = nullptr;
    QPushButton* btMembEdit = nullptr;
    QPushButton* btReturn = nullptr;

    struct RowRef {
        SlipGroup group = sgKintai;
        int row = 0;  // 0: not a row edit
    };
    void buildControls();
    QGroupBox* buildGroup(SlipGroup g, const QString& title);
    RowRef rowOf(const QObject* w) const;
    QLineEdit* edit(SlipGroup g, int row) const;
    QLabel* label(SlipGroup g, int row) const;
    const TSlipRow* shownRow(const QLineEdit* e) const;
    QList<QLineEdit*> rowEdits() const;
    void showRow(SlipGroup g, int row, const TSlipRow& r);
    void setManualLook(QLineEdit* e, bool manual);
    void setEditable(QLineEdit* e, bool editable);
    void rowEnter(QLineEdit* e);
    // closing: the window is to close, and a refusal says so.
    bool rowExit(QLineEdit* e, bool closing = false);
    bool checkEntry(QLineEdit* e, bool closing = false);
    // Shows text for the number value entered into e; stored as value while e shows text.
    void showEntered(QLineEdit* e, const QString& text, double value);
    bool keyPress(QLineEdit* e, QKeyEvent* k);
    void moveRow(QLineEdit* e, int dir);
    void enterNext(QLineEdit* e);
    void textEdited(QLineEdit* e);
    bool commit(bool* taxComputed = nullptr);
    bool FormCloseQuery();
    void selectInMainList();

    TSlipScreen screen_;
    int shownSlot_ = 0;  // the slot screen_ holds
    // The numbers entered since the screen was filled, with the texts shown for them.
    struct Entered {
        QString text;
        double value = 0;
    };
    QHash<const QLineEdit*, Entered> entered_;
    bool closing_ = false;  // the window is going: the focus leaving with it is no leaving
    // An entry refused by its check, until it is changed: other fields ignore the focus the
    // refusal takes back, and the message is not repeated for the same text.
    QLineEdit* refusedEdit_ = nullptr;
    QString refusedText_;
    QString refusedError_;
};

extern TFormRef<TfmDataEdit> fmDataEdit;
