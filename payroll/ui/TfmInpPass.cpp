// The start-up password prompt.
#include "payroll/ui/TfmInpPass.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "payroll/password.h"
#include "payroll/ui/passedit.h"
#include "platform/formkit.h"
#include "platform/msgbox.h"

TFormRef<TfmInpPass> fmInpPass;

TfmInpPass::TfmInpPass(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmInpPass"));
    setWindowTitle(QStringLiteral("パスワード入力"));
    setModal(true);
    edPassword = PasswordEdit(this, "edPassword");
    edPassword->setMinimumWidth(220);
    auto* cbDispChar = Named<QCheckBox>(this, "cbDispChar", QStringLiteral("入力内容を表示する"));
    auto* btOk = Named<QPushButton>(this, "btOk", QStringLiteral("Ｏ Ｋ"));
    auto* btCancel = Named<QPushButton>(this, "btCancel", QStringLiteral("キャンセル"));
    btOk->setAutoDefault(false);
    btCancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btOk);
    buttons->addWidget(btCancel);
    auto* main = new QVBoxLayout(this);
    main->addWidget(edPassword);
    main->addWidget(cbDispChar);
    main->addLayout(buttons);
    connect(cbDispChar, &QCheckBox::toggled, this,
            [this](bool on) { edPassword->setEchoMode(on ? QLineEdit::Normal : QLineEdit::Password); });
    connect(btOk, &QPushButton::clicked, this, &TfmInpPass::btOkClick);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(edPassword, &QLineEdit::returnPressed, this, &TfmInpPass::btOkClick);

    PassWord = ReadPassword(pmStartup);
    Passed = PassWord.isEmpty();
}

void TfmInpPass::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous()) edPassword->setFocus();
}

void TfmInpPass::btOkClick()
{
    Passed = PasswordMatches(PassWord, edPassword->text());
    if (Passed) {
        accept();
        return;
    }
    ShowError(QStringLiteral("パスワードが違います"));
    // Selected, so that the password typed again replaces the wrong one instead of adding to it.
    edPassword->setFocus();
    edPassword->selectAll();
}
