// Message boxes with a type (warning, error, information, confirmation) and a button set. The core calls
// MessageDlg; the window layer installs the handler that shows a QMessageBox, and tests install a scripted
// one that answers from a queue and keeps every text shown.
#pragma once
#include <QString>
#include <functional>
#include <vector>

enum class MsgType { Warning, Error, Information, Confirmation };
// YesNoDetails: Yes, No and an OK button with a caption of its own ("詳細表示(&D)").
enum class MsgButtons { Ok, YesNo, YesNoCancel, OkCancel, YesNoDetails };
enum class MsgResult { Ok, Cancel, Yes, No };
// The button Enter presses. A question whose Yes deletes or overwrites data defaults to the safe
// answer, the one Escape gives (No, or Cancel where offered), so that a habitual Enter loses nothing.
enum class MsgDefault { First, Safe };

struct MsgShown {
    QString text;
    MsgType type;
    MsgButtons buttons;
    QString okCaption;  // the OK button's caption of YesNoDetails
    MsgDefault def = MsgDefault::First;
};

using MsgHandler = std::function<MsgResult(const MsgShown&)>;
using BeepHandler = std::function<void()>;

// Shows text and returns the button pressed. Without a handler nothing is shown and the
// answer is the safe one: No for a question with Yes and No, Cancel where offered, else Ok.
MsgResult MessageDlg(const QString& text, MsgType type, MsgButtons buttons,
                     MsgDefault def = MsgDefault::First);
// The safe answer of a button set: No for a question with Yes and No, Cancel where offered, else Ok.
MsgResult SafeAnswer(MsgButtons buttons);
// Yes (focused), No, and OK captioned okCaption; Escape answers No.
MsgResult MessageDlgDetails(const QString& text, MsgType type, const QString& okCaption);
inline void ShowError(const QString& text)
{
    MessageDlg(text, MsgType::Error, MsgButtons::Ok);
}
inline void ShowWarning(const QString& text)
{
    MessageDlg(text, MsgType::Warning, MsgButtons::Ok);
}
inline void ShowInfo(const QString& text)
{
    MessageDlg(text, MsgType::Information, MsgButtons::Ok);
}
void MessageBeep();

MsgHandler SetMsgHandler(MsgHandler handler);  // returns the previous handler
BeepHandler SetBeepHandler(BeepHandler handler);

// Answers message boxes from a queue while it lives (tests); records what was shown.
class ScriptedMsgBox {
  public:
    ScriptedMsgBox();
    ~ScriptedMsgBox();
    ScriptedMsgBox(const ScriptedMsgBox&) = delete;
    ScriptedMsgBox& operator=(const ScriptedMsgBox&) = delete;

    void answer(MsgResult r) { answers_.push_back(r); }
    const std::vector<MsgShown>& shown() const { return shown_; }
    int beeps() const { return beeps_; }
    QString lastText() const { return shown_.empty() ? QString() : shown_.back().text; }
    void clear()
    {
        shown_.clear();
        beeps_ = 0;
    }

  private:
    std::vector<MsgResult> answers_;
    std::vector<MsgShown> shown_;
    int beeps_ = 0;
    MsgHandler previous_;
    BeepHandler previousBeep_;
};
