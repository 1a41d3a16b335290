#include "services/ui/TfmCloud.h"

#include <QApplication>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "payroll/password.h"
#include "payroll/paths.h"
#include "platform/errors.h"
#include "platform/formkit.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"
#include "services/cloud.h"

TFormRef<TfmCloud> fmCloud;

namespace {
const QString kCloud = QStringLiteral("Cloud");
}

TfmCloud::TfmCloud(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmCloud"));
    setWindowTitle(QStringLiteral("クラウド機能"));
    sbBackup = Named<QPushButton>(this, "sbBackup", QStringLiteral("クラウドにバックアップ"));
    sbRestore = Named<QPushButton>(this, "sbRestore", QStringLiteral("クラウドから復元"));
    sbDelete = Named<QPushButton>(this, "sbDelete", QStringLiteral("クラウドのデータ削除"));
    btHelp = Named<QPushButton>(this, "btHelp", QStringLiteral("機能説明と使用手順"));
    btClose = Named<QPushButton>(this, "btClose", QStringLiteral("閉じる"));
    auto* gbOption = Named<QGroupBox>(this, "gbOption", QString());
    sbPassword = Named<QPushButton>(gbOption, "sbPassword", QStringLiteral("圧縮時のパスワード"));
    lbPassword = Named<QLabel>(gbOption, "lbPassword", QString());
    cbAutoBackup =
        Named<QCheckBox>(gbOption, "cbAutoBackup", QStringLiteral("ソフト終了時に自動でバックアップ"));
    lbHint = Named<QLabel>(gbOption, "lbHint", QStringLiteral("(手動でアップロード後に有効化)"));
    edUserKey = Named<QLineEdit>(gbOption, "edUserKey");
    edUserKey->setMaxLength(32);
    edUserKey->setToolTip(QStringLiteral("別のパソコンで復元するときは、このキーを入力して下さい。"));
    auto* lbBackup = Named<QLabel>(this, "lbBackup", QStringLiteral("バックアップ日付："));
    lbBackupDate = Named<QLabel>(this, "lbBackupDate", QString());
    for (QPushButton* b : {sbBackup, sbRestore, sbDelete, btHelp, btClose, sbPassword})
        b->setAutoDefault(false);

    auto* pw = new QHBoxLayout;
    pw->addWidget(sbPassword);
    pw->addWidget(lbPassword, 1);
    auto* auto_ = new QHBoxLayout;
    auto_->addWidget(cbAutoBackup);
    auto_->addWidget(lbHint, 1);
    auto* key = new QHBoxLayout;
    key->addWidget(new QLabel(QStringLiteral("ユーザーキー："), gbOption));
    key->addWidget(edUserKey, 1);
    auto* opt = new QVBoxLayout(gbOption);
    opt->addLayout(pw);
    opt->addLayout(auto_);
    opt->addLayout(key);
    auto* date = new QHBoxLayout;
    date->addWidget(lbBackup);
    date->addWidget(lbBackupDate, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(btHelp);
    bottom->addStretch();
    bottom->addWidget(btClose);
    auto* all = new QVBoxLayout(this);
    for (QPushButton* b : {sbBackup, sbRestore, sbDelete}) all->addWidget(b);
    all->addWidget(gbOption);
    all->addLayout(date);
    all->addLayout(bottom);

    // Tab follows the window from top to bottom.
    const QList<QWidget*> order = {sbBackup,     sbRestore, sbDelete, sbPassword,
                                   cbAutoBackup, edUserKey, btHelp,   btClose};
    for (int i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

    connect(sbBackup, &QPushButton::clicked, this, &TfmCloud::sbBackupClick);
    connect(sbRestore, &QPushButton::clicked, this, &TfmCloud::sbRestoreClick);
    connect(sbDelete, &QPushButton::clicked, this, &TfmCloud::sbDeleteClick);
    connect(sbPassword, &QPushButton::clicked, this, &TfmCloud::sbPasswordClick);
    connect(btHelp, &QPushButton::clicked, this, &TfmCloud::btHelpClick);
    connect(btClose, &QPushButton::clicked, this, &QDialog::accept);
}

void TfmCloud::showState()
{
    lbPassword->setText(ReadPassword(pmCloud).isEmpty() ? QStringLiteral("無し") : QStringLiteral("有り"));
    lbBackupDate->setText(CloudBackupDate());
}

void TfmCloud::showEvent(QShowEvent* e)
{
    try {
        const IniFile ini(SysIniFileName);
        cbAutoBackup->setChecked(ini.readBool(kCloud, QStringLiteral("AutoBackup"), false));
        // Automatic backups only once a manual one has shown that the server can be reached.
        const bool backedUp = !ini.readString(kCloud, QStringLiteral("BackupDate")).isEmpty();
        cbAutoBackup->setEnabled(backedUp);
        lbHint->setVisible(!backedUp);
        edUserKey->setText(CloudUserKey());
        showState();
    } catch (const AppError& err) {
        ShowError(err.message());
    }
    QDialog::showEvent(e);
}

void TfmCloud::done(int r)
{
    try {
        IniFile ini(SysIniFileName);
        ini.writeBool(kCloud, QStringLiteral("AutoBackup"), cbAutoBackup->isChecked());
        if (ini.modified()) ini.save();
    } catch (const AppError& err) {
        ShowError(err.message());
    }
    QDialog::done(r);
}

bool TfmCloud::takeUserKey()
{
    const QString typed = edUserKey->text().trimmed();
    if (!IsValidUserKey(typed)) {
        ShowWarning(QStringLiteral("ユーザーキーは半角英数字8～32文字で入力して下さい。"));
        edUserKey->setFocus();
        return false;
    }
    if (typed.toUpper() != CloudUserKey()) WriteCloudUserKey(typed);
    edUserKey->setText(typed.toUpper());
    return true;
}

CloudTransfers TfmCloud::ProgressBox(QWidget* parent)
{
    QPointer<QWidget> owner(parent);
    return [owner](const CloudStep& step) {
        QProgressDialog dlg(QStringLiteral("クラウドと通信しています..."), QStringLiteral("中止"), 0, 0,
                            owner);
        dlg.setObjectName(QStringLiteral("pdTransfer"));
        dlg.setWindowModality(Qt::WindowModal);
        dlg.setMinimumDuration(500);
        dlg.setAutoReset(false);
        dlg.setAutoClose(false);
        struct WaitCursor {
            WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
            ~WaitCursor() { QApplication::restoreOverrideCursor(); }
        } wait;
        return step([&](qint64 done, qint64 total) {
            // In tenths of a percent, rounded down: the bar is full only when every byte is done.
            constexpr int kSteps = 1000;
            dlg.setMaximum(total > 0 ? kSteps : 0);
            dlg.setValue(total <= 0      ? 0
                         : done >= total ? kSteps
                                         : int(std::max<qint64>(done, 0) * kSteps / total));
            QApplication::processEvents();
            return !dlg.wasCanceled();
        });
    };
}

void TfmCloud::runOnce(const std::function<void()>& op)
{
    if (busy_) return;
    busy_ = true;
    try {
        op();
    } catch (const AppError& err) {
        ShowError(err.message());
    }
    busy_ = false;
}

void TfmCloud::sbBackupClick()
{
    runOnce([this] {
        if (!takeUserKey()) return;
        const auto showDate = [this](const QString& date) {
            lbBackupDate->setText(date);
            lbBackupDate->repaint();
        };
        if (CloudBackup(false, ProgressBox(this), showDate)) {
            cbAutoBackup->setEnabled(true);
            lbHint->hide();
        }
        showState();
    });
}

void TfmCloud::sbRestoreClick()
{
    runOnce([this] {
        if (!takeUserKey() || !CloudRestore(ProgressBox(this))) return;
        accept();
        if (OnEndProgram) OnEndProgram();
    });
}

void TfmCloud::sbDeleteClick()
{
    runOnce([this] {
        if (takeUserKey()) CloudDeleteData(ProgressBox(this));
    });
}

void TfmCloud::sbPasswordClick()
{
    if (OnPassword) OnPassword();
    showState();
}

void TfmCloud::btHelpClick()
{
    ShowInfo(QStringLiteral(
        "給与/賞与データと設定内容をクラウドにバックアップし、クラウドから復元できます。\r"
        "複数のパソコンで作業するときや、新しいパソコンに移るときに役立ちます。\r"
        "データはユーザーごとにパスワード付きのzipファイルでアップロードされ、第三者には読めません。\r\r"
        "【使用手順】\r"
        "1. ｢圧縮時のパスワード｣を設定します。\r"
        "2. ｢クラウドにバックアップ｣を押します。\r"
        "3. "
        "別のパソコンで復元するときは、同じユーザーキーとパスワードを入力して｢クラウドから復元｣を押します"
        "。"));
}
