// Builders for form controls.
#include "platform/formkit.h"

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
