// Qt side of the entry helpers: over-type entry, the numeric check and the byte-length cut for
// line edits and editable combo boxes. The rules themselves live in payroll/common.
#pragma once
#include <QString>

class QKeyEvent;
class QLineEdit;
class QWidget;

// Over-type entry for a key typed into a QLineEdit or an editable QComboBox (call it from the
// field's key handler while OptionRec.InputOverN is on). Returns true, with the event accepted,
// when the character replaced the one under the caret; false leaves the key to the widget.
bool OverTypeKey(QWidget* control, QKeyEvent* event);
// Checks the edit's text with the Tag of its dynamic property "Tag" (display width * 10 +
// decimals). A refused entry shows its message as an error box and gives false with value empty.
// ConvertError when the text holds letters.
bool CheckNumInput(QLineEdit* edit, QString& value);
// Cuts the edit's text to its maxLength counted in CP932 bytes, without splitting a double-byte
// character; the caret goes to the end when the text then fills the field.
void TrimEditMaxLen(QLineEdit* edit);
