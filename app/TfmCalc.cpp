// Placeholder until the window is built.
#include "app/TfmCalc.h"

TfmCalc::TfmCalc(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("簡易電卓")); }
TfmCalc* Calculator()
{
    static TfmCalc* calc = new TfmCalc();
    return calc;
}
