// "フォルダーの選択": the program's own folder chooser for backups, restores and saved slip images: a
// tree of the home folder, "/" and the removable and network mounts, listed as they are opened.
#pragma once
#include <QDialog>

#include "platform/formref.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class TfmFolder : public QDialog {
    Q_OBJECT
  public:
    explicit TfmFolder(QWidget* parent = nullptr);

    // The starting folder set by the caller (default: the last backup folder, else the home
    // folder) and, after OK, the chosen folder without a final "/".
    QString FolderName;
    // Shows or hides the button that makes a folder inside the current one.
    void setMkDirVisible(bool visible);

    // Selects the node of path, listing the folders on the way; false (with the message
    // "指定フォルダ[...]がありません。") when a part of it is missing.
    bool selectPath(const QString& path);
    // Makes the folder name inside the current folder and selects it; false with an error.
    bool makeFolder(const QString& name);
    // The current folder, with a final "/".
    QString currentPath() const { return CurrentPath; }
    void bbOkClick();

    // Every close empties the tree; the next show reads the folders again.
    void done(int r) override;

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void fillTree();
    // The top node that holds path deepest, nullptr when none does.
    QTreeWidgetItem* topNodeOf(const QString& path) const;
    void listChildren(QTreeWidgetItem* node);
    void btMkDirClick();

    QTreeWidget* TreeView = nullptr;
    QLabel* StsBar = nullptr;
    QPushButton* bbOk = nullptr;
    QPushButton* bbCancel = nullptr;
    QPushButton* btMkDir = nullptr;
    QString CurrentPath;
};

extern TFormRef<TfmFolder> fmFolder;
