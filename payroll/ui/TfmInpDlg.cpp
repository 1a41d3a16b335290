// The year entry: era list, era year (digits only), OK checked by the core (payroll/periodselect).
#include "payroll/ui/TfmInpDlg.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include "payroll/period.h"
#include "payroll/periodselect.h"
#include "payroll/ui/edithelpers.h"
#include "platform/msgbox.h"

TFormRef<TfmInpDlg> fmInpDlg;

TfmInpDlg::TfmInpDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmInpDlg"));
    setWindowTitle(QStringLiteral("年の入力"));
    setModal(true);
    cbGengo = new QComboBox(this);
    cbGengo->setObjectName(QStringLiteral("cbGengo"));
    edYear = new QLineEdit(this);
    edYear->setObjectName(QStringLiteral("edYear"));
    edYear->setMaxLength(2);
    // Digits only; anything else beeps and is dropped.
    new TNumKeys(edYear);
    btOk = new QPushButton(QStringLiteral("Ｏ Ｋ"), this);
    btOk->setObjectName(QStringLiteral("btOk"));
    btOk->setDefault(true);
    auto* row = new QHBoxLayout(this);
    row->addWidget(cbGengo);
    row->addWidget(edYear);
    row->addWidget(btOk);
    connect(btOk, &QPushButton::clicked, this, &TfmInpDlg::btOkClick);
}

void TfmInpDlg::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (e->spontaneous()) return;
    cbGengo->clear();
    cbGengo->addItem(EraName[2]);
    if (EraName[1] != EraName[2]) cbGengo->addItem(EraName[1]);
    cbGengo->setCurrentIndex(0);
    edYear->clear();
    edYear->setFocus();
}

void TfmInpDlg::btOkClick()
{
    EraText = cbGengo->currentText();
    Year = edYear->text().trimmed().toInt();
    const QString refused = CheckNewYear(EraText, Year);
    if (!refused.isEmpty()) {
        ShowError(refused);
        edYear->setFocus();
        return;
    }
    accept();
}
