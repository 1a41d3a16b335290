// Placeholder until the window is built.
#include "payroll/ui/TfmCorpInfo.h"

TfmCorpInfo* fmCorpInfo = nullptr;
TfmCorpInfo::TfmCorpInfo(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("会社情報の設定")); }
