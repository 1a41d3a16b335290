// The grade picker: the grade table as lines of a fixed-pitch list, the stored grade preselected.
#include "app/TfmKenhoHyo.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "payroll/corpinfo.h"
#include "platform/fonts.h"

TFormRef<TfmKenhoHyo> fmKenhoHyo;

namespace {
// Half-width columns of a list line and where the standard remuneration starts.
constexpr int LineColumns = 44;
constexpr int HyojunColumn = 33;
}  // namespace

TfmKenhoHyo::TfmKenhoHyo(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmKenhoHyo"));
    setWindowTitle(QStringLiteral("健康保険等級表"));
    setModal(true);

    ListBox = new QListWidget(this);
    ListBox->setObjectName(QStringLiteral("ListBox"));
    // The amounts line up in columns only in the fixed-pitch face.
    const QFont mono = FixedPitchFont(14);
    ListBox->setFont(mono);
    ListBox->setUniformItemSizes(true);
    const int halfWidth = QFontMetrics(mono).horizontalAdvance(QLatin1Char('0'));
    const int textLeft = ListBox->frameWidth() + 3;
    ListBox->setFixedWidth(textLeft * 2 + halfWidth * (LineColumns + 1) + 20);
    ListBox->setMinimumHeight((QFontMetrics(mono).height() + 2) * 16);

    auto* head1 = new QLabel(QStringLiteral("報 酬 月 額"), this);
    auto* head2 = new QLabel(QStringLiteral("標準報酬"), this);
    for (QLabel* h : {head1, head2}) {
        h->setAlignment(Qt::AlignCenter);
        h->setFrameStyle(QFrame::Panel | QFrame::Raised);
    }
    head1->setFixedWidth(textLeft + halfWidth * (HyojunColumn - 1));
    head2->setFixedWidth(ListBox->width() - head1->width() - 20);

    lbSelToKyu = new QLabel(this);
    lbSelToKyu->setObjectName(QStringLiteral("lbSelToKyu"));

    bbOk = new QPushButton(QStringLiteral("Ｏ Ｋ"), this);
    bbOk->setObjectName(QStringLiteral("bbOk"));
    bbOk->setEnabled(false);
    bbCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    bbCancel->setObjectName(QStringLiteral("bbCancel"));

    auto* heads = new QHBoxLayout;
    heads->setSpacing(0);
    heads->addWidget(head1);
    heads->addWidget(head2);
    heads->addStretch();
    auto* left = new QVBoxLayout;
    left->setSpacing(0);
    left->addLayout(heads);
    left->addWidget(ListBox);
    left->addSpacing(6);
    left->addWidget(lbSelToKyu);
    auto* right = new QVBoxLayout;
    right->addSpacing(head1->sizeHint().height());
    right->addWidget(bbOk);
    right->addWidget(bbCancel);
    right->addStretch();
    auto* main = new QHBoxLayout(this);
    main->addLayout(left);
    main->addLayout(right);

    ListBox->installEventFilter(this);
    connect(ListBox, &QListWidget::currentRowChanged, this, [this] { ListBoxClick(); });
    connect(ListBox, &QListWidget::itemDoubleClicked, this, [this] { bbOkClick(); });
    connect(bbOk, &QPushButton::clicked, this, &TfmKenhoHyo::bbOkClick);
    connect(bbCancel, &QPushButton::clicked, this, &TfmKenhoHyo::reject);
}

void TfmKenhoHyo::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous()) FormShow();
}

void TfmKenhoHyo::FormShow()
{
    if (!filled_) {
        filled_ = true;
        for (int g = 1; g <= KenhoGradeCount(); ++g) ListBox->addItem(KenhoGradeLine(g));
        // Centred on the window that opened it (the employee window).
        if (QWidget* opener = QApplication::activeWindow(); opener && opener != this && opener->isVisible()) {
            const QRect owner = opener->geometry();
            const QSize own = size().isValid() && isVisible() ? size() : sizeHint();
            move(owner.left() + (owner.width() - own.width()) / 2,
                 owner.top() + (owner.height() - own.height()) / 2);
        }
    }
    // A grade beyond the list (a longer table of an earlier year) selects the highest one.
    const int g = PickerGrade(SelToKyu);
    ListBox->setCurrentRow(g - 1);
    ListBoxClick();
    ListBox->setFocus();
}

void TfmKenhoHyo::ListBoxClick()
{
    const int row = ListBox->currentRow();
    // Without a line selected there is no grade to hand back.
    bbOk->setEnabled(row >= 0);
    lbSelToKyu->setText(row >= 0 ? QStringLiteral("選択等級：%1等級").arg(row + 1) : QString());
}

void TfmKenhoHyo::bbOkClick()
{
    const int row = ListBox->currentRow();
    if (row < 0) return;
    SelToKyu = row + 1;
    accept();
}

bool TfmKenhoHyo::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == ListBox && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            bbOkClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}
