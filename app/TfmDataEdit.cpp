// Placeholder until the window is built.
#include "app/TfmDataEdit.h"

TfmDataEdit* fmDataEdit = nullptr;
TfmDataEdit::TfmDataEdit(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("明細入力画面")); }
