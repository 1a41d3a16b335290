// Placeholder until the window is built.
#include "app/TfmMembEdit.h"

TfmMembEdit* fmMembEdit = nullptr;
TfmMembEdit::TfmMembEdit(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("社員情報の編集")); }
