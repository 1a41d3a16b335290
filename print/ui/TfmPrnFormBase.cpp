// The slip item windows' shared body: grids over the shared item arrays, their painting, the
// toggle and move handlers, and the snapshot that Cancel puts back.
#include "print/ui/TfmPrnFormBase.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include "payroll/common.h"
#include "payroll/ui/edithelpers.h"
#include "platform/errors.h"
#include "platform/fonts.h"
#include "platform/msgbox.h"

namespace {

const QColor kHandle(0, 128, 128);
const QColor kGreyText(0x80, 0x80, 0x80);
constexpr int kRowHeight = 20;
constexpr int kHandleWidth = 10;
constexpr int kNameWidth = 140;

QColor disableColor()
{
    return QColor::fromRgb(DisableColorRgb);
}

QFrame* colourPanel(const QColor& colour, int w, int h, QWidget* parent)
{
    auto* f = new QFrame(parent);
    f->setFrameShape(QFrame::Box);
    f->setAutoFillBackground(true);
    QPalette p = f->palette();
    p.setColor(QPalette::Window, colour);
    f->setPalette(p);
    f->setFixedSize(w, h);
    return f;
}

}  // namespace

// ---- grid ----

TSlipItemGrid::TSlipItemGrid(int tag, int rows, QWidget* parent) : QTableWidget(rows, 2, parent), Tag(tag)
{
    setProperty("Tag", tag);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
    horizontalHeader()->setMinimumSectionSize(1);
    setColumnWidth(0, kHandleWidth);
    horizontalHeader()->setStretchLastSection(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The use colours are the whole point of the grid; a selection colour would hide them.
    setSelectionMode(QAbstractItemView::NoSelection);
    setTabKeyNavigation(false);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < 2; ++c) {
            auto* it = new QTableWidgetItem;
            it->setFlags(Qt::ItemIsEnabled);
            setItem(r, c, it);
        }
    setFixedSize(kHandleWidth + kNameWidth + 2 * frameWidth(), rows * kRowHeight + 2 * frameWidth());
    setToolTip(QStringLiteral("スペースキーで使用/未使用の切替、Ctrl+↑/↓で項目位置の入替"));
}

QModelIndex TSlipItemGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex to = QTableWidget::moveCursor(action, modifiers);
    return to.isValid() ? model()->index(to.row(), 1) : to;
}

int TSlipItemGrid::dropRowAt(int y) const
{
    const int r = rowAt(y);
    if (r >= 0) return r;
    return y < 0 ? 0 : rowCount() - 1;
}

void TSlipItemGrid::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && columnAt(pos.x()) == 0 && rowAt(pos.y()) >= 0) {
        dragFrom_ = dropTo_ = rowAt(pos.y());
        viewport()->setCursor(Qt::SizeVerCursor);
    }
    QTableWidget::mousePressEvent(event);
}

void TSlipItemGrid::mouseMoveEvent(QMouseEvent* event)
{
    if (dragFrom_ < 0) {
        QTableWidget::mouseMoveEvent(event);
        return;
    }
    const int to = dropRowAt(event->position().toPoint().y());
    if (to != dropTo_) {
        dropTo_ = to;
        viewport()->update();
    }
}

void TSlipItemGrid::mouseReleaseEvent(QMouseEvent* event)
{
    const int from = dragFrom_;
    const int to = from >= 0 ? dropRowAt(event->position().toPoint().y()) : -1;
    if (from >= 0) {
        dragFrom_ = dropTo_ = -1;
        viewport()->unsetCursor();
        viewport()->update();
    }
    QTableWidget::mouseReleaseEvent(event);
    if (from >= 0 && to != from) emit rowMoved(from, to);
}

void TSlipItemGrid::keyPressEvent(QKeyEvent* event)
{
    // Moving through the grid with the arrow keys must not switch every row passed over, so the
    // keyboard switches a row with Space only.
    if (event->key() == Qt::Key_Space && currentIndex().isValid() && currentColumn() == 1) {
        emit nameToggled(currentRow());
        return;
    }
    // Ctrl+Up and Ctrl+Down move the current row, as dragging its handle does.
    const int step = event->key() == Qt::Key_Up ? -1 : event->key() == Qt::Key_Down ? 1 : 0;
    if (step != 0 && event->modifiers() == Qt::ControlModifier) {
        const int from = currentRow();
        const int to = from + step;
        if (from >= 0 && to >= 0 && to < rowCount()) {
            emit rowMoved(from, to);
            setCurrentCell(to, 1);
        }
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void TSlipItemGrid::paintEvent(QPaintEvent* event)
{
    QTableWidget::paintEvent(event);
    if (dragFrom_ < 0 || dropTo_ == dragFrom_) return;
    // The dragged row lands below the target row when moving down and above it when moving up.
    const int y = dropTo_ > dragFrom_ ? rowViewportPosition(dropTo_) + rowHeight(dropTo_) - 2
                                      : rowViewportPosition(dropTo_);
    QPainter p(viewport());
    p.fillRect(QRect(0, y, viewport()->width(), 2), Qt::black);
}

// ---- delegate ----

TSlipItemDelegate::TSlipItemDelegate(TfmPrnFormBase* form) : QStyledItemDelegate(form), form_(form) {}

void TSlipItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    const auto* grid = qobject_cast<const TSlipItemGrid*>(option.widget);
    if (!grid) return;
    form_->StringGridDrawCell(painter, grid, index.column(), index.row(), option.rect,
                              option.state.testFlag(QStyle::State_HasFocus));
}

// ---- window ----

TfmPrnFormBase::TfmPrnFormBase(bool withKintai, QWidget* parent) : QDialog(parent)
{
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    QFont f(ScreenFace(QStringLiteral("ＭＳ Ｐゴシック")));
    f.setPixelSize(12);
    setFont(f);

    auto* main = new QVBoxLayout(this);
    main->setSizeConstraint(QLayout::SetFixedSize);

    PageCtrl = new QTabWidget(this);
    PageCtrl->setObjectName(QStringLiteral("PageCtrl"));
    const struct {
        QWidget** page;
        const char* name;
        const char* caption;
    } tabs[] = {
        {&tsGekkyu, "tsGekkyu", "月 給"}, {&tsNikkyu, "tsNikkyu", "日 給"}, {&tsJikan, "tsJikan", "時間給"}};
    for (const auto& t : tabs) {
        *t.page = new QWidget;
        (*t.page)->setObjectName(QLatin1String(t.name));
        auto* l = new QVBoxLayout(*t.page);
        l->setContentsMargins(8, 8, 8, 8);
        PageCtrl->addTab(*t.page, QString::fromUtf8(t.caption));
    }
    main->addWidget(PageCtrl);

    // One set of grids serves the three tabs: only the colours depend on the tab.
    gridPanel_ = new QWidget(tsGekkyu);
    auto* columns = new QHBoxLayout(gridPanel_);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(10);
    if (withKintai) sgKintai = addGrid("sgKintai", 1, 16, QStringLiteral("勤怠項目"), gridPanel_);
    sgSikyu = addGrid("sgSikyu", 2, 18, QStringLiteral("支給項目"), gridPanel_);
    sgKoujo = addGrid("sgKoujo", 3, 18, QStringLiteral("控除項目"), gridPanel_);
    sgSonota = addGrid("sgSonota", 4, 3, QStringLiteral("そ の 他"), gridPanel_);
    tsGekkyu->layout()->addWidget(gridPanel_);
    connect(PageCtrl, &QTabWidget::currentChanged, this, &TfmPrnFormBase::tabChanged);

    auto* bottom = new QHBoxLayout;
    auto* legend = new QGridLayout;
    legend->setHorizontalSpacing(6);
    pnDisable = colourPanel(disableColor(), 40, 16, this);
    pnDisable->setObjectName(QStringLiteral("pnDisable"));
    legend->addWidget(pnDisable, 0, 0, Qt::AlignCenter);
    legend->addWidget(new QLabel(QStringLiteral("未使用項目(項目名をクリックで切替)"), this), 0, 1);
    legend->addWidget(colourPanel(kHandle, 12, 16, this), 1, 0, Qt::AlignCenter);
    legend->addWidget(new QLabel(QStringLiteral("をドラッグすると項目位置の入替"), this), 1, 1);
    bottom->addLayout(legend);
    bottom->addStretch(1);

    sbDefault = new QPushButton(QStringLiteral("初期状態"), this);
    sbDefault->setObjectName(QStringLiteral("sbDefault"));
    sbDefault->setAutoDefault(false);
    bbOk = new QPushButton(QStringLiteral("Ｏ Ｋ"), this);
    bbOk->setObjectName(QStringLiteral("bbOk"));
    bbOk->setDefault(true);
    bbCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    bbCancel->setObjectName(QStringLiteral("bbCancel"));
    bbCancel->setAutoDefault(false);
    for (QPushButton* b : {sbDefault, bbOk, bbCancel}) {
        b->setMinimumSize(88, 28);
        bottom->addWidget(b, 0, Qt::AlignBottom);
    }
    bottom->insertSpacing(bottom->indexOf(bbOk), 16);
    // Enter on the focused 初期状態 or キャンセル presses that button, not OK.
    InstallEnterKeys(this);
    main->addLayout(bottom);

    connect(sbDefault, &QPushButton::clicked, this, &TfmPrnFormBase::sbDefaultClick);
    connect(bbOk, &QPushButton::clicked, this, [this] { bbOkClick(bbOk); });
    connect(bbCancel, &QPushButton::clicked, this, &TfmPrnFormBase::reject);
}

TSlipItemGrid* TfmPrnFormBase::addGrid(const char* name, int tag, int rows, const QString& header,
                                       QWidget* parent)
{
    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    auto* title = new QLabel(header, parent);
    title->setAlignment(Qt::AlignCenter);
    title->setFrameShape(QFrame::Panel);
    title->setFrameShadow(QFrame::Raised);
    title->setFixedHeight(22);
    auto* grid = new TSlipItemGrid(tag, rows, parent);
    grid->setObjectName(QLatin1String(name));
    grid->setItemDelegate(new TSlipItemDelegate(this));
    column->addWidget(title);
    column->addWidget(grid);
    column->addStretch(1);
    static_cast<QHBoxLayout*>(parent->layout())->addLayout(column);

    connect(grid, &QTableWidget::cellClicked, this,
            [this, grid](int row, int col) { StringGridSelectCell(grid, col, row); });
    connect(grid, &TSlipItemGrid::nameToggled, this,
            [this, grid](int row) { StringGridSelectCell(grid, 1, row); });
    switch (tag) {
        case 1:
            connect(grid, &TSlipItemGrid::rowMoved, this, &TfmPrnFormBase::sgKintaiRowMoved);
            break;
        case 2:
            connect(grid, &TSlipItemGrid::rowMoved, this, &TfmPrnFormBase::sgSikyuRowMoved);
            break;
        case 3:
            connect(grid, &TSlipItemGrid::rowMoved, this, &TfmPrnFormBase::sgKoujoRowMoved);
            break;
        default:
            connect(grid, &TSlipItemGrid::rowMoved, this, &TfmPrnFormBase::sgSonotaRowMoved);
            break;
    }
    return grid;
}

int TfmPrnFormBase::ActivePayType() const
{
    return PageCtrl->currentIndex() + 1;
}

TSlipItem& TfmPrnFormBase::item(int tag, int row)
{
    switch (tag) {
        case 1:
            return KintaiItem[row];
        case 2:
            return SikyuItem[row];
        case 3:
            return KoujoItem[row];
        default:
            return SonotaItem[row];
    }
}

const TSlipItem& TfmPrnFormBase::item(int tag, int row) const
{
    return const_cast<TfmPrnFormBase*>(this)->item(tag, row);
}

void TfmPrnFormBase::fillGrid(TSlipItemGrid* grid)
{
    if (!grid) return;
    for (int r = 0; r < grid->rowCount(); ++r)
        grid->item(r, 1)->setText(GetItemName(item(grid->Tag, r + 1).Name).mid(1));
}

void TfmPrnFormBase::fillGrids()
{
    for (TSlipItemGrid* g : {sgKintai, sgSikyu, sgKoujo, sgSonota}) fillGrid(g);
}

void TfmPrnFormBase::repaintGrids()
{
    for (TSlipItemGrid* g : {sgKintai, sgSikyu, sgKoujo, sgSonota})
        if (g) g->viewport()->update();
}

void TfmPrnFormBase::tabChanged(int index)
{
    QWidget* page = PageCtrl->widget(index);
    if (page && gridPanel_->parentWidget() != page) {
        // The tab widget gave the new page the focus that was in a grid: the grid keeps it.
        QWidget* grid = QApplication::focusWidget() == page ? gridPanel_->focusWidget() : nullptr;
        page->layout()->addWidget(gridPanel_);
        gridPanel_->show();
        if (grid) grid->setFocus(Qt::OtherFocusReason);
    }
    repaintGrids();
}

void TfmPrnFormBase::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TfmPrnFormBase::FormShow()
{
    // The arrays also feed the slip print, so what stood in them before must come back when the
    // window is left without OK (they may even hold the other slip kind's settings).
    shown_ = {KintaiItem, SikyuItem, KoujoItem, SonotaItem, KintaiList, SikyuList, KoujoList, SonotaList};
    haveShown_ = true;
    try {
        loadItems(false);
    } catch (const AppError& e) {
        ShowError(e.message());
        QMetaObject::invokeMethod(this, &TfmPrnFormBase::reject, Qt::QueuedConnection);
        return;
    }
    fillGrids();
    PageCtrl->setCurrentIndex(0);
    // The keyboard starts on the first item name, framed where the focus is.
    for (TSlipItemGrid* g : {sgKintai, sgSikyu, sgKoujo, sgSonota})
        if (g) g->setCurrentCell(0, 1);
    (sgKintai ? sgKintai : sgSikyu)->setFocus(Qt::OtherFocusReason);
    repaintGrids();
}

void TfmPrnFormBase::StringGridDrawCell(QPainter* painter, const TSlipItemGrid* grid, int col, int row,
                                        const QRect& rect, bool focused) const
{
    painter->save();
    QColor text;
    if (col == 0) {
        painter->fillRect(rect, kHandle);
        text = Qt::white;
    } else if (item(grid->Tag, row + 1).Use[ActivePayType()]) {
        painter->fillRect(rect, grid->palette().color(QPalette::Base));
        text = grid->palette().color(QPalette::Text);
    } else {
        painter->fillRect(rect, disableColor());
        text = kGreyText;
    }
    const QTableWidgetItem* it = grid->item(row, col);
    painter->setPen(text);
    painter->setFont(grid->font());
    painter->drawText(rect.adjusted(2, 4, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      it ? it->text() : QString());
    if (focused && col == 1) {
        QPen pen(text, 1, Qt::DotLine);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(rect.adjusted(1, 1, -2, -2));
    }
    painter->restore();
}

void TfmPrnFormBase::StringGridSelectCell(TSlipItemGrid* grid, int col, int row)
{
    if (!grid || col != 1 || row < 0 || row >= grid->rowCount()) return;
    bool& use = item(grid->Tag, row + 1).Use[ActivePayType()];
    use = !use;
    grid->viewport()->update();
}

void TfmPrnFormBase::sgKintaiRowMoved(int from, int to)
{
    // The bonus window has no attendance rows, and the arrays may hold the pay slip's.
    if (!sgKintai) return;
    MoveSlipItem(KintaiItem, from + 1, to + 1);
    fillGrid(sgKintai);
}

void TfmPrnFormBase::sgSikyuRowMoved(int from, int to)
{
    MoveSlipItem(SikyuItem, from + 1, to + 1);
    fillGrid(sgSikyu);
}

void TfmPrnFormBase::sgKoujoRowMoved(int from, int to)
{
    MoveSlipItem(KoujoItem, from + 1, to + 1);
    fillGrid(sgKoujo);
}

void TfmPrnFormBase::sgSonotaRowMoved(int from, int to)
{
    MoveSlipItem(SonotaItem, from + 1, to + 1);
    fillGrid(sgSonota);
}

void TfmPrnFormBase::sbDefaultClick()
{
    if (MessageDlg(QStringLiteral("項目使用有無と順序の変更を初期状態に戻します。"), MsgType::Confirmation,
                   MsgButtons::YesNo, MsgDefault::Safe) != MsgResult::Yes)
        return;
    setDefaultItems();
    fillGrids();
    repaintGrids();
}

void TfmPrnFormBase::bbOkClick(QObject* sender)
{
    publishItems();
    if (sender != bbOk) return;
    try {
        saveItems();
    } catch (const AppError& e) {
        // The window stays open: OK may be tried again, and Cancel still undoes everything.
        ShowError(e.message());
        return;
    }
    haveShown_ = false;
    accept();
}

void TfmPrnFormBase::reject()
{
    if (haveShown_) {
        KintaiItem = shown_.kintai;
        SikyuItem = shown_.sikyu;
        KoujoItem = shown_.koujo;
        SonotaItem = shown_.sonota;
        // A failed OK has already published the edits.
        KintaiList = shown_.kintaiList;
        SikyuList = shown_.sikyuList;
        KoujoList = shown_.koujoList;
        SonotaList = shown_.sonotaList;
        haveShown_ = false;
    }
    QDialog::reject();
}
