// The help window: the program's HTML help pages in a browser of their own, opened on the
// contents, the keyword index or the page of a window; F1 opens it from any window, Shift+F1
// shows the What's This text of the control under the focus in a tip (objectName "FieldHelp") that
// leaves the keys to the field.
#pragma once
#include <QWidget>

class QTextBrowser;
class QPushButton;

class TfmHelp : public QWidget {
    Q_OBJECT
  public:
    explicit TfmHelp(QWidget* parent = nullptr);
    // Shows path (a page of the help folder) and brings the window up.
    void showPage(const QString& path);
    QString currentPage() const;

  private:
    QTextBrowser* brHelp;
    QPushButton* btContents;
    QPushButton* btIndex;
    QPushButton* btBack;
};

// The requests of the help menu and of F1. Each tells "ヘルプファイルが見つかりません" when the
// help pages are not there. A context without a page of its own opens the contents.
void ShowHelpContents();
void ShowHelpIndex();
void ShowHelpContext(int context);
// The page of the window that holds widget (the nearest one with a help context number).
void ShowHelpFor(QWidget* widget);
// The control whose explanation Shift+F1 shows for focus: focus itself or the nearest control
// around it in its window that has one; null when none has.
const QWidget* FieldHelpOf(const QWidget* focus);
// F1 and Shift+F1 for the whole program, and their removal with the help window (tests).
void InstallHelpKeys();
void RemoveHelpKeys();
// The help window while it exists, else null.
TfmHelp* HelpWindow();
