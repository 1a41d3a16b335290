// Qt side of the entry helpers; the byte rules are those of payroll/common.
#include "payroll/ui/edithelpers.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QVariant>

#include "payroll/common.h"
#include "platform/cp932.h"
#include "platform/msgbox.h"

bool OverTypeKey(QWidget* control, QKeyEvent* event) {
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

bool CheckNumInput(QLineEdit* edit, QString& value) {
    const TNumInput r = CheckNumInput(edit->text(), edit->property("Tag").toInt());
    value = r.value;
    if (r.error.isEmpty()) return true;
    MessageDlg(r.error, MsgType::Error, MsgButtons::Ok);
    return false;
}

void TrimEditMaxLen(QLineEdit* edit) {
    const QString text = edit->text();
    const QString cut = CutToMaxLen(text, edit->maxLength());
    if (cut != text) edit->setText(cut);
    // A cut text is full even when a double-byte character left its last byte free.
    if (cut != text || cp932::byteLength(cut) >= edit->maxLength()) edit->end(false);
}
