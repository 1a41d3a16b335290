// "クラウド機能": backup of all data to the backup server, restore from it and deletion there,
// the compression password and the automatic backup at program end.
#pragma once
#include <QDialog>
#include <functional>

#include "platform/formref.h"
#include "services/cloud.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TfmCloud : public QDialog {
    Q_OBJECT
  public:
    explicit TfmCloud(QWidget* parent = nullptr);

    // Set by the program: the password window in its cloud mode, and the end of the program
    // after a restore (the main window closes without the save question).
    std::function<void()> OnPassword;
    std::function<void()> OnEndProgram;

    void sbBackupClick();
    void sbRestoreClick();
    void sbDeleteClick();

    // Runs each exchange with the server with a cancellable progress box "pdTransfer" over
    // parent and the wait cursor, both gone when the exchange ends, so that the operation's
    // questions and messages are never under them. Also the automatic backup at program end.
    static CloudTransfers ProgressBox(QWidget* parent);

  protected:
    void showEvent(QShowEvent* e) override;
    void done(int r) override;

  private:
    void sbPasswordClick();
    void btHelpClick();
    // Takes the key typed in the window; false (with a message) when it is not a valid key.
    bool takeUserKey();
    void showState();
    // Runs op unless an operation runs already (a click while its transfer waits for the server);
    // an AppError it throws is shown.
    void runOnce(const std::function<void()>& op);

    QPushButton *sbBackup = nullptr, *sbRestore = nullptr, *sbDelete = nullptr;
    QPushButton *btHelp = nullptr, *btClose = nullptr, *sbPassword = nullptr;
    QLabel *lbPassword = nullptr, *lbHint = nullptr, *lbBackupDate = nullptr;
    QCheckBox* cbAutoBackup = nullptr;
    QLineEdit* edUserKey = nullptr;
    bool busy_ = false;
};

extern TFormRef<TfmCloud> fmCloud;
