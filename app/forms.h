// Every window of the program, reached through its global variable: the main window, the period
// selection are created at start, the others the first time they are used. Windows whose work comes in a
// later version are plain shells until then.
#pragma once
#include <QDialog>

// A window that exists (so that the creation order and the globals hold) but has no work yet.
class TShellForm : public QDialog {
    Q_OBJECT
  public:
    TShellForm(const char* className, const QString& caption, QWidget* parent = nullptr);
};

// Creates the start-up windows, the main window first, and readies the others. Call once.
void CreateForms();
// Deletes them again (tests).
void DestroyForms();
// Reads the stored print memo into the print dialog: at once when the dialog exists, else when it
// is first created.
void LoadPrintMemo();
