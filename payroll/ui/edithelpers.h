// Qt side of the entry helpers: over-type entry, the numeric check, the byte-length cut and the
// keyboard shared by the numeric fields of the entry windows. The rules live in payroll/common.
#pragma once
#include <QObject>
#include <QString>
#include <functional>

class QFocusEvent;
class QKeyEvent;
class QLineEdit;
class QTimer;
class QWidget;

// Over-type entry for a key typed into a QLineEdit or an editable QComboBox (call it from the
// field's key handler while OptionRec.InputOverN is on). Returns true, with the event accepted,
// when the character replaced the one under the caret; false leaves the key to the widget.
bool OverTypeKey(QWidget* control, QKeyEvent* event);
// Checks the edit's text with the Tag of its dynamic property "Tag" (display width * 10 +
// decimals). A refused entry shows its message as an error box and gives false with value empty.
// ConvertError when the text holds letters.
bool CheckNumInput(QLineEdit* edit, QString& value);
// CheckNumInput for a field being left: any refusal (letters included) is shown, and the focus goes
// back into the field once the focus change under way is done. True with value when it passed.
bool CheckFieldOnExit(QLineEdit* edit, QString& value);
// Cuts the edit's text to its maxLength counted in CP932 bytes, without splitting a double-byte
// character; the caret goes to the end when the text then fills the field.
void TrimEditMaxLen(QLineEdit* edit);
// The one refusal of a character CP932 lacks in a text field, typed or pasted: it is taken out
// (the caret stays after what remains) and named in "「X」はこのプログラムで扱えない文字です。".
// True when something was taken out.
bool RefuseNonCp932(QLineEdit* edit);
// Ctrl+Delete in an entry field: the whole text deleted as typing deletes (undoable, reported by
// textEdited, and the user's entry even when the field was empty already). Nothing in a read-only
// field.
void EmptyAsTyped(QLineEdit* edit);
// A focus change made by a message box, menu or other window taking the focus for a moment or
// giving it back: it is neither entering nor leaving the field concerned.
bool FocusOfOtherWindow(const QFocusEvent* event);

// An arrow key (no modifier but the keypad's) in the editor of a grid cell that leaves the cell for
// its neighbour: up and down always; left and right unless the user is typing in the cell and the
// caret still has text to move over on that side. An editor opened with its text selected is not
// typed in yet.
bool ArrowLeavesCell(const QLineEdit* editor, const QKeyEvent* event);

// Enter in an entry window on a check box or radio button moves on to the next control as Tab
// does. Fields keep their own Enter; a focused push button is pressed by Enter in every window
// (InstallKeyRules), and the buttons are not default buttons, so that Enter in a field never
// presses one. Installed once on the window.
void InstallEnterKeys(QWidget* window);

// The keyboard of a numeric entry field. Enter goes on to the next control and is consumed;
// Ctrl+Delete empties the field; the digits and the field's own characters are typed (over the
// text while OptionRec.InputOverN is on) and any other character beeps and is dropped. With
// OptionRec.AutoSelect the whole text is selected 150 ms after the field is entered. Backspace,
// cursor keys and shortcuts stay the field's own. It lives as a child of its edit.
class TNumKeys : public QObject {
    Q_OBJECT
  public:
    // chars: what the field takes beside the digits ("-" signed, "." decimals, ":" hours).
    explicit TNumKeys(QLineEdit* edit, const QString& chars = QString());
    // The keys installed on edit, or null.
    static TNumKeys* of(const QLineEdit* edit);

    void setChars(const QString& chars) { chars_ = chars; }

    // Enter in a window that moves on otherwise (to the next editable row, say).
    std::function<void()> onEnter;
    // The window's work on entering and on leaving the field. Focus that another window takes
    // and gives back is neither, but the first focus of a window just shown enters its field.
    std::function<void()> onEntered;
    std::function<void()> onLeft;
    // Off for an editor that is opened with its text selected.
    bool autoSelect = true;
    // A selected text is replaced by what is typed instead of typed over from its start.
    bool replaceSelection = false;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool accepts(QChar c) const;
    bool keyPress(QKeyEvent* event);

    QLineEdit* edit_;
    QString chars_;
    QTimer* selectTimer_;
    bool inside_ = false;  // entered and not left since
};
