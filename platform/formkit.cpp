// Builders for form controls.
#include "platform/formkit.h"

#include <QInputDialog>
#include <algorithm>

#include "platform/cp932.h"
#include "platform/msgbox.h"

QLineEdit* NumericEdit(QWidget* parent, const char* name, int maxLength, int tag, int spareDigits)
{
    auto* edit = Named<QLineEdit>(parent, name);
    edit->setMaxLength(maxLength);
    edit->setProperty("Tag", tag);
    edit->setAttribute(Qt::WA_InputMethodEnabled, false);
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * (maxLength + spareDigits) +
                        12);
    return edit;
}

QLineEdit* DatePartEdit(QWidget* parent, const char* name)
{
    auto* edit = Named<QLineEdit>(parent, name);
    edit->setMaxLength(2);
    edit->setAlignment(Qt::AlignCenter);
    // Digits only: the input method would let full-width digits past the key filter.
    edit->setAttribute(Qt::WA_InputMethodEnabled, false);
    return edit;
}

QToolButton* SpeedButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* b = Named<QToolButton>(parent, name);
    b->setText(caption);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setFocusPolicy(Qt::NoFocus);
    b->setMinimumHeight(26);
    return b;
}

bool InputQuery(QWidget* parent, const QString& caption, const QString& prompt, QString& value, int width,
                int maxBytes)
{
    QInputDialog dlg(parent);
    dlg.setObjectName(QStringLiteral("InputQuery"));
    dlg.setWindowTitle(caption);
    dlg.setLabelText(prompt);
    dlg.setTextValue(value);
    // The field shows width full-width characters; the title is not cut by the frame's buttons
    // (their room guessed at 8 characters).
    const QFontMetrics fm = dlg.fontMetrics();
    const int field = fm.horizontalAdvance(QString(width, QChar(0x3042))) + 16;
    const int title = fm.horizontalAdvance(caption) + fm.horizontalAdvance(QString(8, QChar(0x3042)));
    if (auto* edit = dlg.findChild<QLineEdit*>()) edit->setMinimumWidth(field);
    // Input stops at the limit with a beep: what was just typed beyond it is taken back.
    if (maxBytes > 0)
        QObject::connect(&dlg, &QInputDialog::textValueChanged, &dlg, [&dlg, maxBytes](const QString& typed) {
            auto* edit = qobject_cast<QLineEdit*>(dlg.focusWidget());
            if (!edit || cp932::byteLength(typed) <= maxBytes) return;
            QString text = typed;
            int caret = edit->cursorPosition();
            while (caret > 0 && cp932::byteLength(text) > maxBytes) text.remove(--caret, 1);
            text = cp932::cut(text, maxBytes);
            edit->setText(text);
            edit->setCursorPosition(std::min(caret, int(text.size())));
            MessageBeep();
        });
    dlg.setMinimumWidth(std::max(field + 24, title));
    if (dlg.exec() != QDialog::Accepted) return false;
    value = dlg.textValue();
    return true;
}
