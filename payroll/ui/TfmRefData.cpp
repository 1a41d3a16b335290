// The base-month window: lists the saved months of every year file and takes the chosen month's
// company block and employees into the period being started (payroll/periodselect).
#include "payroll/ui/TfmRefData.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstring>

#include "payroll/period.h"
#include "payroll/periodselect.h"
#include "platform/errors.h"
#include "platform/msgbox.h"

TFormRef<TfmRefData> fmRefData;

namespace {
constexpr int FileRole = Qt::UserRole;
constexpr int MonthRole = Qt::UserRole + 1;
}  // namespace

TfmRefData::TfmRefData(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmRefData"));
    setWindowTitle(QStringLiteral("参照するデータの選択"));
    setModal(true);

    ListBox = new QListWidget(this);
    ListBox->setObjectName(QStringLiteral("ListBox"));
    ListBox->setMinimumSize(
        ListBox->fontMetrics().horizontalAdvance(QStringLiteral("令和08年12月支給給与")) + 40,
        (ListBox->fontMetrics().height() + 2) * 12);
    bbOk = new QPushButton(QStringLiteral("Ｏ Ｋ"), this);
    bbOk->setObjectName(QStringLiteral("bbOk"));
    bbCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    bbCancel->setObjectName(QStringLiteral("bbCancel"));

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(bbOk);
    buttons->addWidget(bbCancel);
    buttons->addStretch();
    auto* main = new QHBoxLayout(this);
    main->addWidget(ListBox);
    main->addLayout(buttons);

    connect(bbOk, &QPushButton::clicked, this, &TfmRefData::bbOkClick);
    connect(ListBox, &QListWidget::itemDoubleClicked, this, &TfmRefData::bbOkClick);
    connect(bbCancel, &QPushButton::clicked, this, &TfmRefData::reject);
}

int TfmRefData::exec()
{
    FormShow();
    // Nothing to choose from: the window closes with Cancel before it is ever seen.
    if (ListBox->count() == 0) return QDialog::Rejected;
    return QDialog::exec();
}

void TfmRefData::FormShow()
{
    std::memset(&CorpRec, 0, sizeof CorpRec);
    std::memset(&SyainRec, 0, sizeof SyainRec);
    std::memset(&KintaiRec, 0, sizeof KintaiRec);
    std::memset(&SikyuRec, 0, sizeof SikyuRec);
    std::memset(&KoujoRec, 0, sizeof KoujoRec);
    ListBox->clear();
    const std::vector<TRefLine> lines = RefDataLines();
    for (const TRefLine& line : lines) {
        auto* item = new QListWidgetItem(line.text, ListBox);
        item->setData(FileRole, line.fileName);
        item->setData(MonthRole, line.month);
    }
    if (lines.empty()) {
        ShowWarning(
            QStringLiteral("選択された月の前月のデータが無いので、基本情報と\n"
                           "社員情報を引き継ぐ事が出来ませんでした。\n\n"
                           "基本情報と社員情報の設定を行って下さい。"));
        return;
    }
    ListBox->setCurrentRow(RefDataPreselect(lines));
    ListBox->scrollToItem(ListBox->currentItem());
    ListBox->setFocus();
    if (LaterExists)
        ShowWarning(
            QStringLiteral("選択された月の前月のデータと、前月データより新しい\n"
                           "データの両方が存在します。\n\n"
                           "参照するデータをリストから選択して下さい。"));
    else
        ShowWarning(
            QStringLiteral("選択された月の前月のデータが無いので、基本情報と\n"
                           "社員情報を引き継ぐ事が出来ませんでした。\n\n"
                           "参照するデータをリストから選択して下さい。"));
}

void TfmRefData::bbOkClick()
{
    const QListWidgetItem* item = ListBox->currentItem();
    if (!item) return;
    try {
        if (!ApplyRefData(item->data(FileRole).toString(), item->data(MonthRole).toInt())) {
            done(QDialog::Rejected);
            return;
        }
    } catch (const AppError& e) {
        ShowError(e.message());
        return;
    }
    ShowWarning(
        QStringLiteral("参照したデータと保険料率等が違う可能性があるので、\n"
                       "基本情報と社員情報の設定を確認して下さい。"));
    accept();
}

void TfmRefData::done(int r)
{
    if (r == QDialog::Rejected && ListBox->count() > 0)
        ShowWarning(
            QStringLiteral("参照しない場合、全て新規入力となります。\n"
                           "基本情報と社員情報の設定を行って下さい。"));
    QDialog::done(r);
}
