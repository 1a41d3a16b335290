// Placeholder until the window is built.
#include "app/TfmKenRitu.h"

TfmKenRitu* fmKenRitu = nullptr;
TfmKenRitu::TfmKenRitu(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("健康保険料率選択")); }
