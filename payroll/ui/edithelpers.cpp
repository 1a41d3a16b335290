// Qt side of the entry helpers and the numeric fields' keyboard; the byte rules are those of
// payroll/common.
#include "payroll/ui/edithelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QVariant>
#include <algorithm>

#include "payroll/common.h"
#include "payroll/option.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/msgbox.h"

bool OverTypeKey(QWidget* control, QKeyEvent* event)
{
    QLineEdit* edit = qobject_cast<QLineEdit*>(control);
    if (!edit) {
        auto* combo = qobject_cast<QComboBox*>(control);
        if (!combo || !combo->isEditable()) return false;
        edit = combo->lineEdit();
    }
    const QString typed = event->text();
    if (typed.size() != 1 || !typed[0].isPrint() || edit->isReadOnly()) return false;
    // A selection as long as the whole field is replaced by typing, as in any edit.
    if (qobject_cast<QLineEdit*>(control) && cp932::byteLength(edit->selectedText()) >= edit->maxLength())
        return false;
    const QString before = edit->text();
    QString text = before;
    int caret = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    if (!OverTypeKey(text, caret, typed[0])) return false;
    // Only the changed run is replaced, through insert(): the change stays undoable and reports
    // textEdited like typing does, which the entry windows take as the user's own entry.
    int head = 0;
    while (head < before.size() && head < text.size() && before[head] == text[head]) ++head;
    int tail = 0;
    while (tail < before.size() - head && tail < text.size() - head &&
           before[before.size() - 1 - tail] == text[text.size() - 1 - tail])
        ++tail;
    edit->setSelection(head, before.size() - head - tail);
    edit->insert(text.mid(head, text.size() - head - tail));
    edit->setCursorPosition(caret);
    event->accept();
    return true;
}

bool CheckNumInput(QLineEdit* edit, QString& value)
{
    const TNumInput r = CheckNumInput(edit->text(), edit->property("Tag").toInt());
    value = r.value;
    if (r.error.isEmpty()) return true;
    MessageDlg(r.error, MsgType::Error, MsgButtons::Ok);
    return false;
}

void TrimEditMaxLen(QLineEdit* edit)
{
    const QString text = edit->text();
    const QString cut = CutToMaxLen(text, edit->maxLength());
    if (cut != text) edit->setText(cut);
    // A cut text is full even when a double-byte character left its last byte free.
    if (cut != text || cp932::byteLength(cut) >= edit->maxLength()) edit->end(false);
}

void EmptyAsTyped(QLineEdit* edit)
{
    if (edit->isReadOnly()) return;
    edit->selectAll();
    edit->del();
    edit->setModified(true);
}

bool FocusOfOtherWindow(const QFocusEvent* event)
{
    const Qt::FocusReason r = event->reason();
    return r == Qt::ActiveWindowFocusReason || r == Qt::PopupFocusReason;
}

namespace {

// Sees the Enter that the focused control let through to its window.
class TEnterKeys : public QObject {
  public:
    explicit TEnterKeys(QWidget* window) : QObject(window), window_(window)
    {
        window->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != window_ || event->type() != QEvent::KeyPress) return false;
        auto* k = static_cast<QKeyEvent*>(event);
        if ((k->key() != Qt::Key_Return && k->key() != Qt::Key_Enter) ||
            (k->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        // A focused push button took its Enter before (the keyboard rules of every window).
        QWidget* focused = window_->focusWidget();
        if (qobject_cast<QCheckBox*>(focused) || qobject_cast<QRadioButton*>(focused)) {
            QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
            QCoreApplication::sendEvent(focused, &tab);
            return true;
        }
        return false;
    }

  private:
    QWidget* window_;
};

}  // namespace

void InstallEnterKeys(QWidget* window)
{
    new TEnterKeys(window);
}

TNumKeys::TNumKeys(QLineEdit* edit, const QString& chars)
    : QObject(edit), edit_(edit), chars_(chars), selectTimer_(new QTimer(this))
{
    selectTimer_->setSingleShot(true);
    selectTimer_->setInterval(150);
    connect(selectTimer_, &QTimer::timeout, this, [this] {
        if (edit_->hasFocus()) edit_->selectAll();
    });
    edit->installEventFilter(this);
}

TNumKeys* TNumKeys::of(const QLineEdit* edit)
{
    return edit->findChild<TNumKeys*>(QString(), Qt::FindDirectChildrenOnly);
}

bool TNumKeys::accepts(QChar c) const
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || chars_.contains(c);
}

bool TNumKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != edit_) return false;
    switch (event->type()) {
        case QEvent::KeyPress:
            return keyPress(static_cast<QKeyEvent*>(event));
        case QEvent::FocusIn:
            // Focus given back by a message box or menu: the field was never left.
            if (inside_ && FocusOfOtherWindow(static_cast<QFocusEvent*>(event))) break;
            inside_ = true;
            if (onEntered) onEntered();
            // A read-only field is only looked at: there is nothing to type over.
            if (autoSelect && OptionRec.AutoSelect && !edit_->isReadOnly()) selectTimer_->start();
            break;
        case QEvent::FocusOut:
            if (FocusOfOtherWindow(static_cast<QFocusEvent*>(event))) break;
            inside_ = false;
            if (onLeft) onLeft();
            break;
        case QEvent::Hide:
            // Shown again, the window enters its field anew (a minimised one was never left).
            if (!event->spontaneous()) inside_ = false;
            break;
        default:
            break;
    }
    return false;
}

bool TNumKeys::keyPress(QKeyEvent* event)
{
    // A key before the selection's moment has come: the field is entered as that moment would
    // leave it, and the moment passes. Selecting later would select what was just typed, and the
    // next key would replace it ("20" typed quickly became "0").
    if (selectTimer_->isActive()) {
        selectTimer_->stop();
        edit_->selectAll();
    }
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (onEnter) {
            onEnter();
        } else {
            // Moved on as Tab moves: the window's tab order and its rules of who takes the focus.
            QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
            QCoreApplication::sendEvent(edit_, &tab);
        }
        return true;
    }
    if (key == Qt::Key_Delete && (event->modifiers() & Qt::ControlModifier)) {
        EmptyAsTyped(edit_);
        return true;
    }
    // With Ctrl or Ctrl+Shift, and only then, a line edit types nothing: those keys are shortcuts.
    const Qt::KeyboardModifiers mods = event->modifiers();
    const QString typed = event->text();
    if (typed.size() != 1 || !typed[0].isPrint() || mods == Qt::ControlModifier ||
        mods == (Qt::ControlModifier | Qt::ShiftModifier) || edit_->isReadOnly())
        return false;
    if (!accepts(typed[0])) {
        MessageBeep();
        return true;
    }
    if (!OptionRec.InputOverN || (replaceSelection && edit_->hasSelectedText())) return false;
    return OverTypeKey(edit_, event);
}

bool RefuseNonCp932(QLineEdit* edit)
{
    const QString text = edit->text();
    const QString refusal = cp932::refusal(text);
    if (refusal.isEmpty()) return false;
    const QString kept = cp932::keepEncodable(text);
    const int caret = int(cp932::keepEncodable(text.left(edit->cursorPosition())).size());
    edit->setText(kept);
    edit->setCursorPosition(std::min(caret, int(kept.size())));
    ShowError(refusal);
    return true;
}

bool CheckFieldOnExit(QLineEdit* edit, QString& value)
{
    bool ok = false;
    try {
        ok = CheckNumInput(edit, value);
    } catch (const AppError& err) {
        ShowError(err.message());
    }
    if (!ok) QTimer::singleShot(0, edit, [edit] { edit->setFocus(); });
    return ok;
}

bool ArrowLeavesCell(const QLineEdit* editor, const QKeyEvent* event)
{
    const int k = event->key();
    if ((k != Qt::Key_Left && k != Qt::Key_Right && k != Qt::Key_Up && k != Qt::Key_Down) ||
        (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    if (k == Qt::Key_Up || k == Qt::Key_Down || !editor->isModified()) return true;
    if (editor->hasSelectedText()) return false;
    return k == Qt::Key_Left ? editor->cursorPosition() == 0
                             : editor->cursorPosition() == editor->text().size();
}
