// The print dialog every document is started from: printer and paper, page counts, the pay date
// and memo of slips, the pay list's grouping, the preview and the print job.
#pragma once
#include <QDialog>
#include <QPointer>
#include <array>
#include <functional>

#include "platform/formref.h"
#include "print/pages.h"

class QFileDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

// Whether the keys of a shortcut are still down: from the shortcut until Ctrl is let go or the
// mouse is pressed, the Ctrl that is down belongs to the shortcut (Ctrl+P) and was not held to
// ask for anything. The watch is the application's one, installed at start by WatchShortcutKeys:
// the print dialog is made on first use, after the shortcut that opens it.
class TShortcutKeys : public QObject {
  public:
    using QObject::QObject;
    bool down = false;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
};
// Installs the watch of shortcut keys on the application (once; later calls do nothing).
void WatchShortcutKeys();
// Whether the Ctrl now down belongs to a shortcut.
bool ShortcutCtrlDown();

class TfmInji : public QDialog {
    Q_OBJECT
  public:
    explicit TfmInji(QWidget* parent = nullptr);
    ~TfmInji() override;

    // What the dialog prints, set by the caller before showing it: tag is the document kind * 100
    // + employee slot (99: the ticked employees), or + period for the pay list; caption is the
    // document's name.
    void setDocument(int tag, const QString& caption);
    int tag() const { return Tag; }

    // Once at the main window's first activation: the remembered memo.
    void LoadPrintMemo();
    void SetPrinterPaper(int paperSize, int orientation);
    bool LoadPrintInfo();
    void SavePrintInfo();

    // Counts and texts for Tag; fromDialog is the showing itself (dates, caption, printer), not a
    // change of the pay list's grouping.
    void FormShow(bool fromDialog);
    void btPrnSetupClick();
    void mmEditMemoChange();
    void btMemoryClick();
    void btPreViewClick();
    // The print job; the preview's print command runs it too.
    void btOkClick();
    // The save dialog's file types: the spreadsheet file is offered (and chosen first) when a
    // spreadsheet program is there; the default suffix follows the chosen type.
    void SetupSaveDlg(bool spreadsheet);
    void createSaveDlg();
    void SaveDlgTypeChange(const QString& filter);
    // The export of the document (表計算連携): asks for the file, writes it with the notice shown,
    // tells the outcome and opens a workbook with the desktop's program for it.
    void btOutCSVClick();

    // The pay date and memo as the page dispatcher prints them.
    void PublishPrintInputs();
    // The slip memo, shared with the slip mail window.
    QString memoText() const;
    void setMemoText(const QString& text);
    // The employee list the dialog prints from: the main window installs it at start (nothing
    // installed reads as an empty list).
    static void SetMemberList(std::function<TListSlots()> source);
    // The slots of the ticked lines of the main window's list, in list order.
    static QList<int> TickedSlots();

    // Closes the dialog and gives the focus back to the window it was opened from.
    void done(int r) override;

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    int Tag = 0;
    // The window active when the dialog opened: the window manager may leave no window active
    // when a dialog closes right after a message box of its own.
    QPointer<QWidget> opener_;
    // Controls, named as their objectName.
    QPushButton* btPrnSetup;
    QLabel* pnPrinter;
    QLabel* pnLType;
    QLabel* pnPrnInfo;
    QLabel* lbNengappi0;
    QLabel* lbNengappi1;
    QLineEdit* edPrnDateYY;
    QLineEdit* edPrnDateMM;
    QLineEdit* edPrnDateDD;
    QLabel* lbEditMemo;
    QPlainTextEdit* mmEditMemo;
    QPushButton* btMemory;
    QFrame* pnPrnMethod;
    QRadioButton* rbNormal;
    QRadioButton* rbSyaKbn;
    QRadioButton* rbBusyo;
    QPushButton* btOutCSV;
    QPushButton* btPreView;
    QPushButton* btOk;
    QPushButton* btCancel;
    QFileDialog* SaveDlg = nullptr;  // made by SetupSaveDlg

    void setNengappiLabel();
    // Tells what became of the printer: no print service, or the remembered printer gone.
    void tellPrinterChoice(const QString& remembered);

    bool noServiceTold_ = false;
    QString goneTold_;  // the remembered printer already told to be gone in this run
};

extern TFormRef<TfmInji> fmInji;

// Lays the year, month and day edits over the blanks of the date label's "    年    月    日".
void PlaceDateEdits(QLabel* label, const std::array<QLineEdit*, 3>& edits);

// Keeps a memo within maxLines lines (0: no limit) and maxChars characters, a line break counting
// two as it is stored: a line begun past the limit goes at once, and so do the characters just
// typed past the length.
void KeepMemoWithin(QPlainTextEdit* memo, int maxLines, int maxChars);
// Takes the characters CP932 lacks out of memo, the caret kept after what it followed; the refusal
// naming the first of them, empty when there was none.
QString DropWhatCp932Lacks(QPlainTextEdit* memo);
