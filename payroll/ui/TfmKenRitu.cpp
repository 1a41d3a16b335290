// The rate picker: the lines of "健康保険料率.dat", read once when the window is made.
#include "payroll/ui/TfmKenRitu.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "payroll/corpinfo.h"
#include "platform/fonts.h"
#include "platform/msgbox.h"

TFormRef<TfmKenRitu> fmKenRitu;

TfmKenRitu::TfmKenRitu(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmKenRitu"));
    setWindowTitle(QStringLiteral("健康保険料率選択"));
    setModal(true);

    ListBox = new QListWidget(this);
    ListBox->setObjectName(QStringLiteral("ListBox"));
    const QFont mono = FixedPitchFont(14);
    ListBox->setFont(mono);
    ListBox->setFixedWidth(QFontMetrics(mono).horizontalAdvance(QLatin1Char('0')) * 17 + 40);
    ListBox->setMinimumHeight((QFontMetrics(mono).height() + 2) * 16);
    ListBox->setEnabled(false);

    btOk = new QPushButton(QStringLiteral("Ｏ Ｋ"), this);
    btOk->setObjectName(QStringLiteral("btOk"));
    btOk->setEnabled(false);
    btCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));

    auto* right = new QVBoxLayout;
    right->addWidget(btOk);
    right->addWidget(btCancel);
    right->addStretch();
    auto* main = new QHBoxLayout(this);
    main->addWidget(ListBox);
    main->addLayout(right);

    QStringList lines;
    if (ReadKenRituFile(lines, problem_)) {
        for (const QString& line : lines) ListBox->addItem(line + QLatin1Char('%'));
        ListBox->setEnabled(true);
    }

    // Only a line the user picked can be taken. The list makes its first line current, unselected,
    // when it takes the focus; a click or a key selects.
    connect(ListBox, &QListWidget::itemSelectionChanged, this,
            [this] { btOk->setEnabled(pickedRow() >= 0); });
    connect(ListBox, &QListWidget::itemDoubleClicked, this, [this] { btOkClick(); });
    connect(btOk, &QPushButton::clicked, this, &TfmKenRitu::btOkClick);
    connect(btCancel, &QPushButton::clicked, this, &TfmKenRitu::reject);
}

void TfmKenRitu::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (e->spontaneous()) return;
    btOk->setEnabled(pickedRow() >= 0);
    if (!problem_.isEmpty()) ShowError(problem_);
}

int TfmKenRitu::pickedRow() const
{
    const QList<QListWidgetItem*> picked = ListBox->selectedItems();
    return picked.isEmpty() ? -1 : ListBox->row(picked.first());
}

void TfmKenRitu::btOkClick()
{
    const int row = pickedRow();
    if (row < 0) return;
    QString line = ListBox->item(row)->text();
    line.chop(1);  // the "%" the list adds
    double rate = 0;
    if (!KenRituOfLine(line, rate)) {
        ShowError(QStringLiteral("選択した行に健康保険料率がありません。\n%1").arg(line));
        return;
    }
    ShowInfo(QStringLiteral("選択した健康保険料率の半分の値がセットされます。"));
    SelRitu = rate / 2;
    accept();
}
