// "クラウド機能": backup of all data to the backup server, restore from it and deletion there,
// the compression password and the automatic backup at program end.
#pragma once
#include <QDialog>
#include <functional>

#include "services/ftp.h"

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

    // Runs op with a cancellable progress dialog for its transfers and a wait cursor; an
    // AppError it throws is shown. Also the automatic backup at program end goes through it.
    static bool WithProgress(QWidget* parent, const std::function<bool(const FtpProgress&)>& op);

  protected:
    void showEvent(QShowEvent* e) override;
    void done(int r) override;

  private:
    void sbPasswordClick();
    void btHelpClick();
    // Takes the key typed in the window; false (with a message) when it is not a valid key.
    bool takeUserKey();
    void showState();

    QPushButton *sbBackup = nullptr, *sbRestore = nullptr, *sbDelete = nullptr;
    QPushButton *btHelp = nullptr, *btClose = nullptr, *sbPassword = nullptr;
    QLabel *lbPassword = nullptr, *lbHint = nullptr, *lbBackupDate = nullptr;
    QCheckBox* cbAutoBackup = nullptr;
    QLineEdit* edUserKey = nullptr;
};

extern TfmCloud* fmCloud;
