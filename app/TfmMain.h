// The main window: the employee list of the open period with its menus and tool bar, the opening
// sequence of its first activation, the save question at close and the placement of the window.
#pragma once
#include <QMainWindow>

class QListWidget;
class QHeaderView;
class QAction;
class QToolButton;
class QStandardItemModel;

class TfmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfmMain(QWidget* parent = nullptr);
    ~TfmMain() override;

    QListWidget* ListBox = nullptr;
    QHeaderView* HeadCtrl = nullptr;
    bool SkipSaveCheck = false;
    bool FirstRun = false;

    // Rebuilds caption, period title, menus and list for the period now open.
    void UpdateMainCaption();
    void mnSaveFileClick();
    // Copies tag into the period selection's Tag and closes (1 menu, 3 tool button: back to the
    // period selection; 0: end the program).
    void mnReturnCloseClick(int tag);
    // Fills the employee list in slot or serial order.
    void FillMemberList();

    // The menu item or tool button of a name (the component names), for tests and other windows.
    QAction* action(const char* name) const;

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void buildMenus();
    void readPlacement();
    void writePlacement();
    void FormActivate();
    bool FormCloseQuery();
    void FormClose();
    void mnMeisaiClick();
    void mnInstDirClick();
    void stepEditor(int direction);

    bool firstActivate_ = true;
    bool closingAllowed_ = false;
};

extern TfmMain* fmMain;

// Start-up switches and the state of the opening sequence.
extern bool StartupPending;
extern bool DownloadMode;
extern bool UpdateMode;
extern bool DownloadFMode;
extern bool NewSysIni;
// The program version shown in the version window, e.g. "1.00".
extern QString VerStr;
// Whether the preview shows its buttons ([Option] PreViewBtn of the program-wide settings).
extern bool PreViewButtons;
