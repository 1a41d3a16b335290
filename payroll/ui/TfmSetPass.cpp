// The password setting window and the password fields.
#include "payroll/ui/TfmSetPass.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "payroll/password.h"
#include "payroll/ui/edithelpers.h"
#include "payroll/ui/passedit.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/formkit.h"
#include "platform/msgbox.h"

TFormRef<TfmSetPass> fmSetPass;

namespace {
// "*" for every character, as the password fields always showed.
class StarEcho : public QProxyStyle {
  public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* ret) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter) return '*';
        return QProxyStyle::styleHint(hint, option, widget, ret);
    }
};
}  // namespace

void EchoStars(QLineEdit* edit)
{
    auto* style = new StarEcho;
    style->setParent(edit);
    edit->setStyle(style);
}

QLineEdit* PasswordEdit(QWidget* parent, const char* name)
{
    auto* edit = Named<QLineEdit>(parent, name);
    EchoStars(edit);
    edit->setEchoMode(QLineEdit::Password);
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit] { RefuseNonCp932(edit); });
    return edit;
}

TfmSetPass::TfmSetPass(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmSetPass"));
    setWindowTitle(QStringLiteral("パスワード設定"));
    setModal(true);
    edPass1 = PasswordEdit(this, "edPass1");
    edPass2 = PasswordEdit(this, "edPass2");
    lbNotice1 = Named<QLabel>(this, "lbNotice1");
    auto* notice = new QFrame(this);
    notice->setFrameShape(QFrame::StyledPanel);
    auto* noticeLines = new QVBoxLayout(notice);
    noticeLines->addWidget(lbNotice1);
    noticeLines->addWidget(new QLabel(QStringLiteral("出来なくなるので御注意下さい。"), notice));
    auto* btOk = Named<QPushButton>(this, "btOk", QStringLiteral("設定する"));
    auto* btCancel = Named<QPushButton>(this, "btCancel", QStringLiteral("キャンセル"));
    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("パスワード設定入力"), this), 0, 0);
    fields->addWidget(edPass1, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("パスワード確認入力"), this), 1, 0);
    fields->addWidget(edPass2, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btOk);
    buttons->addWidget(btCancel);
    auto* main = new QVBoxLayout(this);
    main->addLayout(fields);
    main->addWidget(new QLabel(QStringLiteral("（解除する時は未入力のまま｢設定する｣をクリック）"), this));
    main->addWidget(notice);
    main->addLayout(buttons);
    btOk->setAutoDefault(false);
    btCancel->setAutoDefault(false);
    connect(btOk, &QPushButton::clicked, this, &TfmSetPass::btOkClick);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(edPass1, &QLineEdit::returnPressed, edPass2, [this] { edPass2->setFocus(); });
    connect(edPass2, &QLineEdit::returnPressed, this, &TfmSetPass::btOkClick);
}

QString TfmSetPass::password() const
{
    return edPass1->text();
}

void TfmSetPass::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (e->spontaneous()) return;
    edPass1->clear();
    edPass2->clear();
    lbNotice1->setText(PassMode == pmStartup ? QStringLiteral("パスワードを忘れると、ソフトを起動する事が")
                                             : QStringLiteral("パスワードを忘れると、クラウドからの復元が"));
    edPass1->setFocus();
}

void TfmSetPass::btOkClick()
{
    if (edPass1->text() != edPass2->text()) {
        ShowError(QStringLiteral("パスワードの設定入力と確認入力が異なっています。"));
        return;
    }
    const bool clear = edPass1->text().isEmpty();
    if (MessageDlg(clear ? QStringLiteral("パスワード設定を解除しますか？")
                         : QStringLiteral("パスワードを設定しますか？"),
                   MsgType::Confirmation, MsgButtons::YesNo) != MsgResult::Yes)
        return;
    try {
        WritePassword(PassMode, edPass1->text());
    } catch (const AppError& e) {
        ShowError(e.message());
        return;
    }
    ShowInfo(clear ? QStringLiteral("パスワード設定を解除しました。")
                   : QStringLiteral("パスワードを設定しました。"));
    accept();
}
