// The main window: the employee list of the open period with its menus and tool bar, the opening
// sequence of its first activation, the save question at close and the placement of the window.
#pragma once
#include <QMainWindow>

#include "platform/msgbox.h"
#include "services/update.h"
#include "services/webcheck.h"

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

    // Makes the next close silent: no question, no placement written (the restores set it before
    // they end the program).
    bool SkipSaveCheck = false;

    // What other windows ask of the employee list. A line's slot is its item data, never read
    // back from the line's text (a damaged name or date would shift the text's columns).
    // The slots of the lines in list order.
    QList<int> listedSlots() const;
    // The slots of the ticked lines in list order.
    QList<int> tickedSlots() const;
    // The slot of the selected line; 0 when no line is selected.
    int selectedSlot() const;
    // Selects the line of slot, when it is listed (the editors stepping through employees).
    void selectSlot(int slot);
    // The first period of a new company is being set up (no company name yet).
    bool firstRun() const { return FirstRun; }
    // The opening sequence has not yet opened a period: closing asks nothing.
    bool startupPending() const { return StartupPending; }

    // Rebuilds caption, period title, menus and list for the period now open.
    void UpdateMainCaption();
    void mnSaveFileClick();
    // Copies tag into the period selection's Tag and closes (1 menu, 3 tool button: back to the
    // period selection; 0: end the program).
    void mnReturnCloseClick(int tag);
    // Refills the employee list: 1 number, 2 name, 3 employee class, 4 pay type, 5 department;
    // below 1 the last order again with the ticks kept by line position.
    void FillMemberList(int order);
    // 1: remember the slots of the ticked lines; 2: tick exactly those lines again.
    void KeepTicks(int mode);
    void UpdateCommandStates();
    void HeadCtrlSectionClick(int section);
    void mnTaisyokuClick();
    void mnAllOnOffPClick();
    void mnAllOnOffMClick();
    void btNewEnterClick();
    void btModifyClick();
    void btDeleteClick();
    void mnCorpInfoClick();
    // The slip entry window for the selected employee.
    void mnDataEditClick();
    // Slips of the ticked employees by mail (retired ones and bad addresses are unticked first).
    void mnSendMeisailClick();
    // The employee master to and from a CSV file the user picks.
    void mnExportClick();
    // The serial order window; on OK the list follows the new numbers.
    void mnSeqNoChangeClick();
    // The list edit grid; the list shows what it changed.
    void mnListEditClick();
    // Attendance report files of the attendance program into the open month.
    void mnKinmuReadClick();
    void mnInportClick();
    // The maker's notice of the version file, at every normal start; silent on any failure.
    void CheckNotice();
    void mnFAQClick();
    // The program update and the table-file update of the maker's web host; unasked (the start
    // switches "/Download" and "/DownloadF") downloads and installs without any question.
    void mnVerCheckClick(bool unasked = false);
    void mnFileUpdateClick(bool unasked = false);

    // Item data of a line: its employee's slot, and whether he is retired while retired
    // employees are shown.
    static constexpr int SlotRole = Qt::UserRole;
    static constexpr int RetiredRole = Qt::UserRole + 1;

    // The menu item or tool button of a name (the component names), for tests and other windows.
    QAction* action(const char* name) const;

  protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void buildMenus();
    bool hasUnsavedChanges();
    // Downloads the archive at url into the update folder and installs it; after a failure
    // tells the user (a failed download or a damaged archive with failed) and returns false.
    bool downloadAndInstall(UpdateKind kind, const QString& url, const QString& failed, MsgType failedType);
    // Reads the version file; tells the user why not (no address, no connection) and returns false.
    bool fetchVersionFileOrTell(TVersionInfo& v);
    // Opens a page whose address came from the network: https only; what names it in the refusal.
    void openPageFromNetwork(const QString& url, const QString& what);
    // While the version file or a download is on its way: no second network command starts and
    // the window does not close (the answer would have nowhere to go).
    bool networkBusy_ = false;
    class NetworkWait;
    void readPlacement();
    void writePlacement();
    // The cloud backup at program end when [Cloud] AutoBackup is on.
    void RunAutoBackup();
    void FormActivate();
    bool FormCloseQuery();
    void FormClose();
    void mnMeisaiClick();
    // Opens the print dialog for a document: needsTick refuses it while no line is ticked;
    // unsaved, when given, is said (OK or cancel) while the period differs from the file.
    void printDocument(int tag, const QString& caption, bool needsTick, const QString& unsaved);
    void mnInstDirClick();
    void stepEditor(int direction);
    void ListBoxClick();
    void refill(bool ticksBySlot);
    void setTickCommands(bool nextTicks);
    int slotOfRow(int row) const;
    // The CSV file of an export (save) or import; empty when the user cancels.
    QString chooseCsvFile(bool save);
    // The selected slot, or 0 after telling the user that no line is selected.
    int selectedSlotOrTell();
    // Writes the start's entry of the system log unless this run has written it.
    void logStart();

    QListWidget* ListBox = nullptr;
    QHeaderView* HeadCtrl = nullptr;
    int ListOrder = 0;
    QList<int> SavedTicks;
    bool FirstRun = false;
    // Start-up switches (the command line) and the state of the opening sequence.
    bool StartupPending = true;
    // The start's entry of the system log is written (once per run).
    bool StartLogged = false;
    bool DownloadMode = false;
    bool UpdateMode = false;
    bool DownloadFMode = false;
    bool NewSysIni = false;
    // The program version shown in the version window, e.g. "1.00".
    QString VerStr;
    bool firstActivate_ = true;
    // The attendance import introduces itself once a run.
    bool KinmuReadInfo = true;
    bool closingAllowed_ = false;
};

extern TfmMain* fmMain;
