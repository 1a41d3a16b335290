// Every window of the program, created once at start in a fixed order and reached through its
// global variable. Windows whose work comes in a later version are plain shells until then.
#pragma once
#include <QDialog>

// A window that exists (so that the creation order and the globals hold) but has no work yet.
class TShellForm : public QDialog {
    Q_OBJECT
public:
    TShellForm(const char* className, const QString& caption, QWidget* parent = nullptr);
};

extern TShellForm* fmOption;
extern TShellForm* fmVersion;
extern TShellForm* fmFolder;
extern TShellForm* fmSendMail;
extern TShellForm* fmInpPass;
extern TShellForm* fmSetPass;
extern TShellForm* fmInpDlg;
extern TShellForm* fmPrnItem;
extern TShellForm* fmSelFont;
extern TShellForm* fmSeqNo;
extern TShellForm* fmSelCorp;
extern TShellForm* fmShowLog;
extern TShellForm* fmListEdit;
extern TShellForm* fmCloud;

// Creates every window in the start-up order, the main window first. Call once.
void CreateForms();
// Deletes them again (tests).
void DestroyForms();
