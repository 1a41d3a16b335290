// The ledger item settings window over [Option] DaichoAdd and DaichoDel.
#include "print/ui/TfmPrnItem.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "payroll/common.h"
#include "platform/errors.h"
#include "platform/msgbox.h"
#include "print/pages.h"

TFormRef<TfmPrnItem> fmPrnItem;

namespace {

const char* const AddKeys[16] = {"F所定労働日数", "V出勤日数",     "V有休日数",     "V欠勤日数",
                                 "V休日出勤日数", "V特別休暇日数", "F所定労働時間", "V実働時間",
                                 "V普通残業時間", "V深夜残業時間", "V休日普通残業", "V休日深夜残業",
                                 "V遅刻早退回数", "V遅刻早退時間", "V勤怠項目",     "V有休残日数"};
const char* const DelKeys[15] = {"F固定手当１", "F固定手当２", "F固定手当３", "V変動手当１", "V変動手当２",
                                 "V変動手当３", "F固定控除１", "F固定控除２", "F固定控除３", "V変動控除１",
                                 "V変動控除２", "V変動控除３", "Vその他１",   "Vその他２",   "Vその他３"};

QString shownName(const char* key)
{
    return GetItemName(QString::fromUtf8(key)).mid(1);
}

}  // namespace

TfmPrnItem::TfmPrnItem(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmPrnItem"));
    setWindowTitle(QStringLiteral("給与台帳/月別一覧の印刷項目"));
    auto* addBox = new QGroupBox(QStringLiteral("印刷項目に追加する勤怠項目"), this);
    auto* addGrid = new QGridLayout(addBox);
    for (int i = 1; i <= 17; ++i) {
        cbAddItem[i] = new QCheckBox(addBox);
        cbAddItem[i]->setObjectName(QStringLiteral("cbAddItem%1").arg(i));
        addGrid->addWidget(cbAddItem[i], (i - 1) % 9, (i - 1) / 9);
    }
    auto* delBox = new QGroupBox(QStringLiteral("印刷項目から削除する支給/控除/その他項目    "), this);
    auto* delGrid = new QGridLayout(delBox);
    for (int i = 1; i <= 15; ++i) {
        cbDelItem[i] = new QCheckBox(delBox);
        cbDelItem[i]->setObjectName(QStringLiteral("cbDelItem%1").arg(i));
        delGrid->addWidget(cbDelItem[i], (i - 1) % 3, (i - 1) / 3);
    }
    sbDefault = new QPushButton(QStringLiteral("初期状態"), this);
    sbDefault->setObjectName(QStringLiteral("sbDefault"));
    bbOk = new QPushButton(QStringLiteral("Ｏ Ｋ"), this);
    bbOk->setObjectName(QStringLiteral("bbOk"));
    bbOk->setDefault(true);
    bbCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    bbCancel->setObjectName(QStringLiteral("bbCancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(sbDefault);
    buttons->addStretch();
    buttons->addWidget(bbOk);
    buttons->addWidget(bbCancel);
    auto* main = new QVBoxLayout(this);
    main->addWidget(addBox);
    main->addWidget(delBox);
    main->addLayout(buttons);

    connect(sbDefault, &QPushButton::clicked, this, &TfmPrnItem::sbDefaultClick);
    connect(bbOk, &QPushButton::clicked, this, &TfmPrnItem::bbOkClick);
    connect(bbCancel, &QPushButton::clicked, this, &TfmPrnItem::reject);
}

void TfmPrnItem::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous()) FormShow();
}

void TfmPrnItem::FormShow()
{
    for (int i = 1; i <= 16; ++i) cbAddItem[i]->setText(shownName(AddKeys[i - 1]));
    cbAddItem[17]->setText(QStringLiteral("支給月日"));
    for (int i = 1; i <= 15; ++i) cbDelItem[i]->setText(shownName(DelKeys[i - 1]));
    TDaichoChoice c;
    try {
        c = ReadDaichoChoice();
    } catch (const AppError& e) {
        // The boxes start unchecked; OK writes the choice anew.
        ShowError(e.message());
    }
    for (int i = 1; i <= 17; ++i) cbAddItem[i]->setChecked(c.Add[i]);
    for (int i = 1; i <= 15; ++i) cbDelItem[i]->setChecked(c.Del[i]);
}

void TfmPrnItem::sbDefaultClick()
{
    if (MessageDlg(QStringLiteral("追加/削除する項目設定を初期状態に戻します。"), MsgType::Confirmation,
                   MsgButtons::YesNo, MsgDefault::Safe) != MsgResult::Yes)
        return;
    for (int i = 1; i <= 17; ++i) cbAddItem[i]->setChecked(false);
    for (int i = 1; i <= 15; ++i) cbDelItem[i]->setChecked(false);
}

void TfmPrnItem::bbOkClick()
{
    TDaichoChoice c;
    for (int i = 1; i <= 17; ++i) c.Add[i] = cbAddItem[i]->isChecked();
    for (int i = 1; i <= 15; ++i) c.Del[i] = cbDelItem[i]->isChecked();
    const QString refused = CheckDaichoChoice(c);
    if (!refused.isEmpty()) {
        ShowError(refused);
        return;
    }
    if (c.Add[17])
        ShowInfo(
            QStringLiteral("[支給月日]を印刷する場合、[入力項目の設定]画面の\n"
                           "[給与/賞与明細の支給日を記憶]がチェックされている必要があります。"));
    try {
        WriteDaichoChoice(c);
    } catch (const AppError& e) {
        ShowError(e.message());
        return;
    }
    accept();
}
