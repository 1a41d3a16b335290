// Small builders for the controls of the forms: every control carries its component name as its
// objectName, numeric fields their Tag, and a numeric field never opens the input method.
#pragma once
#include <QLineEdit>
#include <QString>
#include <QToolButton>

template <typename T, typename... Args>
T* Named(QWidget* parent, const char* name, Args&&... args)
{
    auto* w = new T(std::forward<Args>(args)..., parent);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

// A numeric field: Tag = display width * 10 + decimals, at most maxLength characters, no input
// method (it would let full-width digits past the key filter), as wide as its digits need.
QLineEdit* NumericEdit(QWidget* parent, const char* name, int maxLength, int tag, int spareDigits = 1);
// A two-character part of a date (year, month, day), centred, without the input method.
QLineEdit* DatePartEdit(QWidget* parent, const char* name);
// The one-line input box (objectName "InputQuery"): caption as its title, prompt above the field,
// value as the starting text and, after OK, the text typed. As wide as the caption and a field of
// width full-width characters need; with maxBytes, typing stops (with a beep) at that many CP932
// bytes. Returns whether it was closed with OK.
bool InputQuery(QWidget* parent, const QString& caption, const QString& prompt, QString& value, int width,
                int maxBytes = 0);
// A flat button that leaves the focus in the field it works on.
QToolButton* SpeedButton(QWidget* parent, const char* name, const QString& caption);
