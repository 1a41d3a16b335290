// Placeholder until the window is built.
#include "app/TfmListInp.h"

TfmListInp* fmListInp = nullptr;
TfmListInp::TfmListInp(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("一覧入力画面")); }
