// The serial order window.
#include "app/TfmSeqNo.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>

#include "app/core/memberlist.h"
#include "payroll/calc.h"
#include "payroll/ui/edithelpers.h"
#include "platform/fonts.h"
#include "platform/msgbox.h"

TFormRef<TfmSeqNo> fmSeqNo;
bool TfmSeqNo::ShowDragHint = true;

namespace {

constexpr int RetiredRole = Qt::UserRole + 1;
const char* const Sections[] = {"No", "氏　　名", "部署名", "社員区分", "支給形態 ", ""};
const int SectionWidths[] = {32, 143, 144, 100, 90, 100};

// White and light blue lines in turn; retired employees in silver (also their selection).
class SeqLineDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool retired = index.data(RetiredRole).toBool();
        const QColor silver(0xC0, 0xC0, 0xC0);
        QColor back = index.row() % 2 ? QColor(0xDD, 0xEE, 0xFF) : QColor(Qt::white);
        QColor fore = retired ? silver : option.palette.color(QPalette::Text);
        if (option.state & QStyle::State_Selected) {
            back = retired ? silver : option.palette.color(QPalette::Highlight);
            fore = option.palette.color(QPalette::HighlightedText);
        }
        p->fillRect(option.rect, back);
        p->setPen(fore);
        p->setFont(option.font);
        p->drawText(option.rect, Qt::AlignLeft | Qt::AlignVCenter, index.data(Qt::DisplayRole).toString());
    }
};

}  // namespace

TfmSeqNo::TfmSeqNo(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmSeqNo"));
    setWindowTitle(QStringLiteral("社員連番の変更"));
    auto* box = new QVBoxLayout(this);
    auto* model = new QStandardItemModel(0, 6, this);
    for (int i = 0; i < 6; ++i) {
        model->setHorizontalHeaderItem(i, new QStandardItem(QString::fromUtf8(Sections[i])));
        if (i < 5)
            model->setHeaderData(i, Qt::Horizontal,
                                 QStringLiteral("クリックすると並び替え（Ctrl+%1）").arg(i + 1),
                                 Qt::ToolTipRole);
    }
    HeadCtrl = new QHeaderView(Qt::Horizontal, this);
    HeadCtrl->setObjectName(QStringLiteral("HeadCtrl"));
    HeadCtrl->setModel(model);
    HeadCtrl->setSectionsClickable(true);
    HeadCtrl->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int i = 0; i < 6; ++i) {
        HeadCtrl->resizeSection(i, SectionWidths[i]);
        HeadCtrl->setSectionResizeMode(i, QHeaderView::Fixed);
    }
    HeadCtrl->setFixedHeight(22);
    HeadCtrl->setMouseTracking(true);
    HeadCtrl->viewport()->installEventFilter(this);
    static const int orders[] = {1, 2, 5, 3, 4};  // of the five sections that sort
    connect(HeadCtrl, &QHeaderView::sectionClicked, this, [this](int section) {
        if (section >= 0 && section < 5) ListMembersBy(orders[section]);
    });
    ListBox = new QListWidget(this);
    ListBox->setObjectName(QStringLiteral("ListBox"));
    ListBox->setFont(FixedPitchFont(16));
    ListBox->setItemDelegate(new SeqLineDelegate(ListBox));
    ListBox->setUniformItemSizes(true);
    ListBox->setToolTip(QStringLiteral("ドラッグ&ドロップで並べ替え"));
    ListBox->setDragDropMode(QAbstractItemView::InternalMove);
    ListBox->setDefaultDropAction(Qt::MoveAction);
    ListBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The header's orders by keyboard: Ctrl+1..Ctrl+5, also in the list's menu (the menu key).
    static const char* const sortCaptions[] = {"No順(&1)", "氏名順(&2)", "部署名順(&3)", "社員区分順(&4)",
                                               "支給形態順(&5)"};
    ListBox->setContextMenuPolicy(Qt::ActionsContextMenu);
    for (int i = 0; i < 5; ++i) {
        auto* sort = new QAction(QString::fromUtf8(sortCaptions[i]), ListBox);
        sort->setObjectName(QStringLiteral("acSort%1").arg(i + 1));
        sort->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + i)));
        sort->setShortcutContext(Qt::WindowShortcut);
        const int order = orders[i];
        connect(sort, &QAction::triggered, this, [this, order] { ListMembersBy(order); });
        ListBox->addAction(sort);
    }
    auto* lines = new QVBoxLayout;  // the header sits on the list
    lines->setSpacing(0);
    lines->addWidget(HeadCtrl);
    lines->addWidget(ListBox, 1);
    box->addLayout(lines, 1);

    auto* buttons = new QHBoxLayout;
    auto button = [&](const char* name, const char* caption) {
        auto* b = new QPushButton(QString::fromUtf8(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    connect(button("sbUp", "↑(上に移動)"), &QPushButton::clicked, this, [this] { moveLine(-1); });
    connect(button("sbDown", "↓(下に移動)"), &QPushButton::clicked, this, [this] { moveLine(1); });
    buttons->addStretch();
    connect(button("btReset", "リセット"), &QPushButton::clicked, this, &TfmSeqNo::btResetClick);
    connect(button("bbOk", "ＯＫ"), &QPushButton::clicked, this, &TfmSeqNo::bbOkClick);
    connect(button("btCancel", "キャンセル"), &QPushButton::clicked, this, &QDialog::reject);
    box->addLayout(buttons);
    // Enter presses the focused button, ↑ and ↓ included, as Space does.
    InstallEnterKeys(this);
    resize(HeadCtrl->length() + 40, 480);
}

void TfmSeqNo::showEvent(QShowEvent* e)
{
    // Beside the main window: its height and top, centred over it.
    if (QWidget* main = parentWidget()) {
        const QRect m = main->frameGeometry();
        resize(width(), main->height());
        move(m.left() + (m.width() - frameGeometry().width()) / 2, m.top());
    }
    ListMembersBy(1);
    QDialog::showEvent(e);
    if (ShowDragHint) {
        ShowDragHint = false;
        QTimer::singleShot(0, this,
                           [] { ShowInfo(QStringLiteral("ドラッグ＆ドロップでも順番を変更可能です。")); });
    }
}

bool TfmSeqNo::eventFilter(QObject* watched, QEvent* e)
{
    // The five sections that sort show a hand, the last one the arrow.
    if (watched == HeadCtrl->viewport() && e->type() == QEvent::MouseMove) {
        const int section = HeadCtrl->logicalIndexAt(static_cast<QMouseEvent*>(e)->position().toPoint());
        HeadCtrl->viewport()->setCursor(section >= 0 && section < 5 ? Qt::PointingHandCursor
                                                                    : Qt::ArrowCursor);
    }
    return QDialog::eventFilter(watched, e);
}

void TfmSeqNo::ListMembersBy(int order)
{
    if (order < 1) order = lastOrder_;
    ListBox->clear();
    for (int e : OrderedSlots(order, true)) {
        auto* item = new QListWidgetItem(SeqNoLine(e), ListBox);
        item->setData(SlotRole, e);
        item->setFlags((item->flags() | Qt::ItemIsDragEnabled) & ~Qt::ItemIsDropEnabled);
        if (IsTaisyoku(e)) item->setData(RetiredRole, true);
    }
    if (ListBox->count() > 0) ListBox->setCurrentRow(0);
    lastOrder_ = order;
}

QList<int> TfmSeqNo::listedSlots() const
{
    QList<int> found;
    for (int i = 0; i < ListBox->count(); ++i) found << ListBox->item(i)->data(SlotRole).toInt();
    return found;
}

void TfmSeqNo::moveLine(int step)
{
    const int row = ListBox->currentRow();
    const int to = row + step;
    if (row < 0 || to < 0 || to >= ListBox->count()) return;
    QListWidgetItem* item = ListBox->takeItem(row);
    ListBox->insertItem(to, item);
    ListBox->setCurrentRow(to);
}

void TfmSeqNo::bbOkClick()
{
    StoreSerialOrder(listedSlots());
    accept();
}

void TfmSeqNo::btResetClick()
{
    if (MessageDlg(QStringLiteral("社員連番の変更をリセットしますか？"), MsgType::Confirmation,
                   MsgButtons::YesNo, MsgDefault::Safe) != MsgResult::Yes)
        return;
    StoreSerialOrder({});
    accept();
}
