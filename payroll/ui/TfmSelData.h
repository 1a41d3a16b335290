// The period selection "給与対象月/賞与時期の選択": the data year, one of the fifteen periods, the
// month's working days and hours or the bonus payment date; OK loads or prepares the period.
#pragma once
#include <QDialog>
#include <functional>

class QListWidget;
class QComboBox;
class QLineEdit;
class QGroupBox;
class QLabel;
class QPushButton;
class QMenu;
class QAction;

class TfmSelData : public QDialog {
    Q_OBJECT
  public:
    explicit TfmSelData(QWidget* parent = nullptr);

    // Set by the main window to say from which command it was opened; cleared to 0 by OK.
    int Tag = 0;

    // Fills the window from the year file named in CurPeriod.FileName; without a sender the year
    // list is not rebuilt.
    void FormShow(bool sender = true);
    void bbOkClick();
    // Rebuilds cbTaisyoNen from the year files of DataPath, selecting the one named currentName.
    void FillYearCombo(const QString& currentName);
    void cbTaisyoNenChange();
    void ListBoxClick();
    void FormActivate();

    // The data management commands of the menus.
    void mnDelDataClick();
    void mnBackupClick();
    void mnRestoreClick();
    void mnCreateClick();
    void mnAddCorpDataClick(bool byReference);

    // Set by the main window: the next close of the main window ends the program without a
    // question (after a restore or a new data set everything is read afresh at the next start).
    std::function<void()> OnEndProgram;
    // Set by the program: shows the cloud window; true when a restore replaced the data.
    std::function<bool()> OnCloud;

  protected:
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void reject() override;

  private:
    // Controls, named as their objectName.
    QListWidget* ListBox = nullptr;
    QComboBox* cbTaisyoNen = nullptr;
    QGroupBox* gbKyuyo = nullptr;
    QLabel* lbNissu = nullptr;
    QLineEdit* edNissu = nullptr;
    QLabel* lbJikan = nullptr;
    QLineEdit* edJikan = nullptr;
    QGroupBox* gbSyoyo = nullptr;
    QLineEdit* edSikyuM = nullptr;
    QLineEdit* edSikyuD = nullptr;
    QPushButton* bbOk = nullptr;
    QPushButton* bbCancel = nullptr;
    QPushButton* btDataManage = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction* mnDelData = nullptr;
    QAction* mnDelData2 = nullptr;
    QAction* mnBackup = nullptr;
    QAction* mnRestore = nullptr;
    QAction* mnCloud = nullptr;
    QAction* mnCreate = nullptr;
    QMenu* mnAddCorpData = nullptr;
    QAction* mnNewCreate = nullptr;
    QAction* mnDataRef = nullptr;

    void edJikanEnter();
    void editExit(QLineEdit* edit);
    bool canClose();
    void endProgram(const QString& message);

    bool filling_ = false;  // the year list is being rebuilt: no year change
};

extern TfmSelData* fmSelData;
