// Placeholder until the window is built.
#include "app/TfmKenhoHyo.h"

TfmKenhoHyo* fmKenhoHyo = nullptr;
TfmKenhoHyo::TfmKenhoHyo(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("健康保険等級表")); }
