// The password fields of both password windows.
#pragma once
class QLineEdit;
class QWidget;

// A hidden edit shows "*" for every character, as the hidden fields always did.
void EchoStars(QLineEdit* edit);

// An edit that shows "*" for each character and keeps only characters CP932 has (with a beep for
// one it drops): the stored form is made of CP932 bytes.
QLineEdit* PasswordEdit(QWidget* parent, const char* name);
