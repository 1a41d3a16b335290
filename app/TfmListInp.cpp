// The list-entry window: two grids over app/core/listinp, their keyboard and the recalculation
// whenever a page is left, the slip entry is opened or the window closes.
#include "app/TfmListInp.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputMethod>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "app/TfmDataEdit.h"
#include "app/core/recalc.h"
#include "payroll/option.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/slipitems.h"
#include "payroll/ui/edithelpers.h"
#include "platform/errors.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"
#include "print/ui/TfmPrnFormK.h"
#include "print/ui/TfmPrnFormS.h"

TFormRef<TfmListInp> fmListInp;

namespace {

const QColor FixedColor(0x00, 0x88, 0xEE);

bool isKanjiKey(int key)
{
    return key == Qt::Key_Kanji || key == Qt::Key_Zenkaku_Hankaku || key == Qt::Key_Zenkaku ||
           key == Qt::Key_Hankaku;
}

bool isTyped(const QKeyEvent* e, QChar& c)
{
    const QString t = e->text();
    if (t.size() != 1 || !t[0].isPrint() || (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return false;
    c = t[0];
    return true;
}

bool isEnter(const QKeyEvent* e)
{
    return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
}

// The page keys of a tab widget: Ctrl+Tab and Ctrl+PageDown go to the next page, Ctrl+Shift+Tab
// and Ctrl+PageUp to the previous one; 0 for any other key.
int pageStep(const QKeyEvent* e)
{
    if (!(e->modifiers() & Qt::ControlModifier) || (e->modifiers() & Qt::AltModifier)) return 0;
    switch (e->key()) {
        case Qt::Key_Tab:
            return e->modifiers() & Qt::ShiftModifier ? -1 : 1;
        case Qt::Key_Backtab:
        case Qt::Key_PageUp:
            return -1;
        case Qt::Key_PageDown:
            return 1;
        default:
            return 0;
    }
}

bool isCtrlDelete(const QKeyEvent* e)
{
    return e->key() == Qt::Key_Delete && (e->modifiers() & Qt::ControlModifier);
}

bool bonusPeriod()
{
    return IsBonusPeriod(CurPeriod.Period);
}

// Errors meant for the user end the handler with their message, as everywhere in the program.
template <typename F>
void guarded(F&& f)
{
    try {
        f();
    } catch (const AppError& e) {
        ShowError(e.message());
    }
}

}  // namespace

// ---- model ----

TListGridModel::TListGridModel(TListGrid& g, QObject* parent) : QAbstractTableModel(parent), grid(g) {}

int TListGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : grid.rowCount() - 1;
}

int TListGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : grid.colCount() - 1;
}

QVariant TListGridModel::data(const QModelIndex& index, int role) const
{
    const int c = index.column() + 1;
    const int r = index.row() + 1;
    // A cell of an item that is not on the employee's slip is shaded and shows nothing.
    const bool on = IsCellEditable(grid, c, r);
    switch (role) {
        case Qt::DisplayRole:
            return on ? QVariant(grid.cell(c, r)) : QVariant();
        case Qt::EditRole:
            return grid.cell(c, r).trimmed();
        case Qt::TextAlignmentRole:
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        case Qt::BackgroundRole:
            return on ? QVariant() : QVariant(QColor::fromRgb(DisableColorRgb));
        case Qt::ForegroundRole:
            if (!on) return QColor(Qt::gray);
            return IsCellManual(grid, c, r) ? QVariant(QColor(Qt::red)) : QVariant();
        default:
            return {};
    }
}

QVariant TListGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    const bool names = orientation == Qt::Horizontal;
    switch (role) {
        case Qt::DisplayRole:
            return names ? grid.cell(section + 1, 0) : grid.cell(0, section + 1);
        case KeyRole:
            return names ? QVariant(grid.key(section + 1)) : QVariant();
        case Qt::ToolTipRole:
            return names ? QVariant(QStringLiteral("明細入力画面を表示")) : QVariant();
        case Qt::BackgroundRole:
            return FixedColor;
        case Qt::ForegroundRole:
            return QColor(Qt::white);
        case Qt::TextAlignmentRole:
            return QVariant(Qt::AlignLeft | Qt::AlignTop);
        default:
            return {};
    }
}

Qt::ItemFlags TListGridModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (IsCellEditable(grid, index.column() + 1, index.row() + 1)) f |= Qt::ItemIsEditable;
    return f;
}

void TListGridModel::reload()
{
    beginResetModel();
    endResetModel();
}

void TListGridModel::cellChanged(int col, int row)
{
    const QModelIndex i = index(row - 1, col - 1);
    emit dataChanged(i, i);
}

// ---- editor ----

TListGridDelegate::TListGridDelegate(TfmListInp* form, QObject* parent)
    : QStyledItemDelegate(parent), form_(form)
{
}

QWidget* TListGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                         const QModelIndex& index) const
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QStringLiteral("InplaceEdit"));
    e->setFrame(false);
    e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    e->setMaxLength(12);
    // Numbers only: the input method stays closed in the grids.
    e->setAttribute(Qt::WA_InputMethodEnabled, false);
    auto* view = qobject_cast<TListGridView*>(this->parent());
    if (!view) return e;
    auto* keys = new TNumKeys(e, AllowedChars(view->grid, index.row() + 1));
    // The view opens the editor with its text selected, and that text is replaced as a whole.
    keys->autoSelect = false;
    keys->replaceSelection = true;
    // Enter takes the entry and goes down the column; a refused entry keeps the cursor where it
    // was typed.
    keys->onEnter = [form = form_, view] {
        form->EntryRefused = false;
        view->commitEditing();
        if (form->EntryRefused)
            form->ReopenRefusedCell(view);
        else
            form->EnterMove(view);
    };
    return e;
}

void TListGridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (auto* e = qobject_cast<QLineEdit*>(editor)) e->setText(index.data(Qt::EditRole).toString());
}

void TListGridDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const
{
    auto* e = qobject_cast<QLineEdit*>(editor);
    auto* view = qobject_cast<TListGridView*>(parent());
    // Only what the user typed is taken: an editor opened and left unchanged leaves the cell (and
    // its manual mark) alone.
    if (e && view && e->isModified())
        form_->StrGridExit(view, index.column() + 1, index.row() + 1, e->text());
}

bool TListGridDelegate::eventFilter(QObject* watched, QEvent* event)
{
    // Before the base class, which takes Ctrl+Tab for a move to the next cell.
    if (event->type() == QEvent::KeyPress && form_->PageKey(static_cast<QKeyEvent*>(event))) return true;
    if (event->type() == QEvent::KeyPress && isEnter(static_cast<QKeyEvent*>(event)))
        return false;  // the editor's keys take it; the base class would commit a second time
    if (event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        auto* editor = qobject_cast<QLineEdit*>(watched);
        auto* view = qobject_cast<TListGridView*>(parent());
        // An editor opened with its text selected is not typed in yet: the arrows move to the
        // neighbouring cell, as they do while no editor is open.
        if (editor && view && ArrowLeavesCell(editor, k)) {
            view->leaveCell(k->key());
            return true;
        }
    }
    if (event->type() == QEvent::KeyRelease && isKanjiKey(static_cast<QKeyEvent*>(event)->key()))
        form_->Timer2->start(100);
    return QStyledItemDelegate::eventFilter(watched, event);
}

// ---- grid ----

TListGridView::TListGridView(TListGrid& g, TfmListInp* form, QWidget* parent)
    : QTableView(parent), grid(g), gridModel(new TListGridModel(g, this)), form_(form)
{
    setModel(gridModel);
    setItemDelegate(new TListGridDelegate(form, this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                    QAbstractItemView::EditKeyPressed);
    setWordWrap(false);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    QHeaderView* names = horizontalHeader();
    QHeaderView* items = verticalHeader();
    for (QHeaderView* h : {names, items}) {
        h->setDefaultAlignment(Qt::AlignLeft | Qt::AlignTop);
        h->setHighlightSections(false);
        h->setSectionResizeMode(QHeaderView::Fixed);
    }
    names->setFixedHeight(24);
    items->setDefaultSectionSize(24);
    // The names are links to the slip entry, not column selectors.
    for (QHeaderView* h : {names, items}) {
        disconnect(h, SIGNAL(sectionPressed(int)), this, nullptr);
        disconnect(h, SIGNAL(sectionEntered(int)), this, nullptr);
    }
    names->setSectionsClickable(true);
    names->viewport()->setCursor(Qt::PointingHandCursor);
    connect(names, &QHeaderView::sectionClicked, this, [this](int section) {
        setCell(section + 1, row() > 0 ? row() : 1);
        form_->DataEditProc();
    });
    setStyleSheet(QStringLiteral(
        "QHeaderView::section { background-color: #0088EE; color: white; padding-left: 2px; padding-top: 4px;"
        " border: none; border-right: 1px solid #8fc4f0; border-bottom: 1px solid #8fc4f0; }"
        "QTableCornerButton::section { background-color: #0088EE; border: none; }"));
}

int TListGridView::col() const
{
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.column() + 1 : 0;
}

int TListGridView::row() const
{
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() + 1 : 0;
}

void TListGridView::setCell(int c, int r)
{
    const QModelIndex i = gridModel->index(r - 1, c - 1);
    if (i.isValid()) setCurrentIndex(i);
}

void TListGridView::commitEditing()
{
    if (state() != QAbstractItemView::EditingState) return;
    if (QWidget* editor = indexWidget(currentIndex())) {
        QPointer<QWidget> alive(editor);
        commitData(editor);
        if (alive) closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void TListGridView::leaveCell(int key)
{
    // What was typed is taken first; a refused entry keeps the cursor where it was typed.
    form_->EntryRefused = false;
    commitEditing();
    if (form_->EntryRefused) {
        form_->ReopenRefusedCell(this);
        return;
    }
    const QModelIndex from = currentIndex();
    QKeyEvent move(QEvent::KeyPress, key, Qt::NoModifier);
    QTableView::keyPressEvent(&move);
    // At the grid's edge the cell stays, and opens again as on entering it.
    if (currentIndex() == from) form_->StrGridSelectCell(this, col(), row(), 0, 0, true);
}

void TListGridView::keyPressEvent(QKeyEvent* e)
{
    QChar c;
    if (form_->PageKey(e)) return;
    if (isEnter(e)) {
        form_->EnterMove(this);
        return;
    }
    if (isCtrlDelete(e)) {
        if (IsCellEditable(grid, col(), row())) form_->StrGridExit(this, col(), row(), QString());
        return;
    }
    if (isTyped(e, c)) {
        if (!form_->AcceptKey(this, c)) {
            MessageBeep();
            return;
        }
        if (!IsCellEditable(grid, col(), row())) return;
    }
    QTableView::keyPressEvent(e);
}

void TListGridView::keyReleaseEvent(QKeyEvent* e)
{
    if (isKanjiKey(e->key())) form_->Timer2->start(100);
    QTableView::keyReleaseEvent(e);
}

void TListGridView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    const bool known = previous.isValid() && previous.model() == model();
    form_->StrGridSelectCell(this, current.column() + 1, current.row() + 1, known ? previous.column() + 1 : 0,
                             known ? previous.row() + 1 : 0, current.isValid());
}

// ---- window ----

TfmListInp::TfmListInp(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmListInp"));
    setWindowTitle(QStringLiteral("一覧入力画面"));
    resize(800, 480);
    // First: the grids report their current cell as soon as they have a model.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &TfmListInp::Timer1Timer);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setSingleShot(true);
    connect(Timer2, &QTimer::timeout, this, &TfmListInp::Timer2Timer);
    PageCtrl = new QTabWidget(this);
    PageCtrl->setObjectName(QStringLiteral("PageCtrl"));
    const auto page = [this](const char* name, const QString& caption, TListGrid& g, TListGridView*& view,
                             const char* gridName) {
        auto* p = new QWidget;
        p->setObjectName(QString::fromLatin1(name));
        view = new TListGridView(g, this, p);
        view->setObjectName(QString::fromLatin1(gridName));
        auto* l = new QVBoxLayout(p);
        l->setContentsMargins(0, 0, 0, 0);
        l->addWidget(view);
        PageCtrl->addTab(p, caption);
        return p;
    };
    tsHendou = page("tsHendou", QStringLiteral("変動項目"), GridH, StrGridH, "StrGridH");
    tsKotei = page("tsKotei", QStringLiteral("固定項目"), GridK, StrGridK, "StrGridK");
    lbKihonH = new QLabel(this);
    lbKihonH->setObjectName(QStringLiteral("lbKihonH"));
    Label1 = new QLabel(QStringLiteral("氏名をクリックすると明細入力画面が表示されます"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lbKihonH);
    bottom->addSpacing(40);
    bottom->addWidget(Label1);
    bottom->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageCtrl, 1);
    layout->addLayout(bottom);

    connect(PageCtrl, &QTabWidget::currentChanged, this, [this](int p) {
        if (!switching_) PageCtrlChanging(p);
    });
    setColumnWidths();
}

TfmListInp::~TfmListInp()
{
    if (readerInstalled_) SetGridReader({});
    // The views read the grids, which go before the base class takes the children down.
    delete PageCtrl;
}

TListGridView* TfmListInp::ActiveGrid() const
{
    return activePage_ == 0 ? StrGridH : StrGridK;
}

void TfmListInp::installReader()
{
    if (readerInstalled_) return;
    // The grids now hold the open period: a recalculation may take them back into the records.
    SetGridReader([this](int e, bool bonus) { ReadGridColumn(ActiveGrid()->grid, e, bonus); });
    readerInstalled_ = true;
}

void TfmListInp::setColumnWidths()
{
    const int w = OptionRec.NameWide ? qRound(100 * 1.4) : 100;
    for (TListGridView* g : {StrGridH, StrGridK}) {
        g->horizontalHeader()->setMinimumSectionSize(20);
        g->horizontalHeader()->setDefaultSectionSize(w);
        g->verticalHeader()->setFixedWidth(w);
    }
}

void TfmListInp::setBasicHoursLabel()
{
    const int e = GridH.colCount() > 1 ? GridH.FindGridMemb(1) : -1;
    const double hours = e > 0 ? KintaiRec[e].Kintai[kiSyoteiJikan] : CorpRec.Jikan;
    lbKihonH->setText(QString::asprintf("所定労働時間： %6.2f時間", hours));
}

void TfmListInp::FormActivate(QObject* sender)
{
    switching_ = true;
    PageCtrl->setCurrentIndex(0);
    switching_ = false;
    activePage_ = 0;
    setColumnWidths();
    if (sender && !placed_) {
        placed_ = true;
        guarded([this] {
            if (IniFileName.isEmpty()) return;
            const IniFile ini(IniFileName);
            const QString w = QStringLiteral("Window");
            const QString sts = ini.readString(w, QStringLiteral("ListInpSts"));
            if (sts == QStringLiteral("wsMaximized")) {
                setWindowState(windowState() | Qt::WindowMaximized);
            } else if (!sts.isEmpty()) {
                setGeometry(ini.readInteger(w, QStringLiteral("ListInpPX"), 0),
                            ini.readInteger(w, QStringLiteral("ListInpPY"), 0),
                            ini.readInteger(w, QStringLiteral("ListInpSX"), 800),
                            ini.readInteger(w, QStringLiteral("ListInpSY"), 480));
            } else if (QWidget* owner = parentWidget()) {
                move(owner->geometry().center() - QPoint(width() / 2, height() / 2));
            }
        });
    }
    const QList<int> order = ListColumnSlots();
    GridH.setColumns(order);
    GridK.setColumns(order);
    if (bonusPeriod()) {
        mnPrnFormSClick(nullptr);
        SetGridSyoyo();
    } else {
        mnPrnFormKClick(nullptr);
        SetGridKyuyo();
    }
    for (TListGridView* g : {StrGridH, StrGridK})
        g->setCell(1, NextEditRow(g->grid, 1, g->grid.rowCount() - 1));
    setBasicHoursLabel();
    installReader();
}

void TfmListInp::refreshPage(TListGridView* grid)
{
    if (grid == StrGridH)
        bonusPeriod() ? mnPrnFormSClick(nullptr) : mnPrnFormKClick(nullptr);
    else
        bonusPeriod() ? SetGridSyoyo() : SetGridKyuyo();
}

namespace {
// Reloads a view after its grid was rebuilt, on the cell it was on as far as it still exists.
void reloadView(TListGridView* view)
{
    const int c = view->col();
    const int r = view->row();
    view->gridModel->reload();
    const int cols = view->grid.colCount() - 1;
    const int rows = view->grid.rowCount() - 1;
    if (cols > 0 && rows > 0) view->setCell(std::clamp(c, 1, cols), std::clamp(r, 1, rows));
}
}  // namespace

void TfmListInp::mnPrnFormKClick(QObject* sender)
{
    if (sender && fmPrnFormK && fmPrnFormK->exec() != QDialog::Accepted) return;
    GridH.setRows(HendouRows(false));
    reloadView(StrGridH);
}

void TfmListInp::mnPrnFormSClick(QObject* sender)
{
    if (sender && fmPrnFormS && fmPrnFormS->exec() != QDialog::Accepted) return;
    GridH.setRows(HendouRows(true));
    reloadView(StrGridH);
}

void TfmListInp::SetGridKyuyo()
{
    GridK.setRows(KoteiRows());
    reloadView(StrGridK);
}

void TfmListInp::SetGridSyoyo()
{
    // The published item lists are those of the open kind: the construction is the same.
    SetGridKyuyo();
}

void TfmListInp::PageCtrlChanging(int page)
{
    if (page == activePage_) return;
    TListGridView* leaving = ActiveGrid();
    leaving->commitEditing();
    const int col = leaving->col();
    guarded([] { CalcAllMember(true); });
    activePage_ = page;
    TListGridView* entering = ActiveGrid();
    refreshPage(entering);
    if (col > 0) entering->setCell(col, entering->row() > 0 ? entering->row() : 1);
    entering->setFocus();
}

bool TfmListInp::PageKey(const QKeyEvent* e)
{
    const int step = pageStep(e);
    if (step == 0) return false;
    const int n = PageCtrl->count();
    PageCtrl->setCurrentIndex((PageCtrl->currentIndex() + step + n) % n);
    return true;
}

void TfmListInp::DataEditProc()
{
    TListGridView* grid = ActiveGrid();
    grid->commitEditing();
    const int slot = grid->grid.FindGridMemb(grid->col());
    if (slot < 1) return;
    guarded([] { CalcAllMember(true); });
    if (fmDataEdit) {
        fmDataEdit->MembSlot = slot;
        fmDataEdit->exec();
    }
    // The slip entry changed the records: the page shows them again.
    refreshPage(grid);
    grid->viewport()->update();
}

void TfmListInp::FormClose()
{
    ActiveGrid()->commitEditing();
    guarded([] { CalcAllMember(true); });
    switching_ = true;
    PageCtrl->setCurrentIndex(0);
    switching_ = false;
    activePage_ = 0;
    guarded([this] {
        if (IniFileName.isEmpty()) return;
        IniFile ini(IniFileName);
        const QString w = QStringLiteral("Window");
        const bool max = windowState() & Qt::WindowMaximized;
        ini.writeString(w, QStringLiteral("ListInpSts"),
                        max ? QStringLiteral("wsMaximized") : QStringLiteral("wsNormal"));
        const QRect g = geometry();
        ini.writeInteger(w, QStringLiteral("ListInpPX"), g.left());
        ini.writeInteger(w, QStringLiteral("ListInpPY"), g.top());
        ini.writeInteger(w, QStringLiteral("ListInpSX"), g.width());
        ini.writeInteger(w, QStringLiteral("ListInpSY"), g.height());
        ini.save();
    });
}

void TfmListInp::done(int r)
{
    if (isVisible()) FormClose();
    QDialog::done(r);
}

void TfmListInp::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormActivate(this);
        ActiveGrid()->setFocus();
    }
}

void TfmListInp::StrGridSelectCell(TListGridView* grid, int col, int row, int prevCol, int prevRow,
                                   bool fromGrid)
{
    TListGrid& g = grid->grid;
    if (grid == StrGridH && prevCol >= 1 && prevRow >= 1 && prevRow < g.rowCount() &&
        g.row(prevRow).name == QStringLiteral("有休日数")) {
        guarded([&] {
            if (UpdateYukyuZan(g, prevCol))
                grid->gridModel->cellChanged(prevCol, FindGridRow(g, QStringLiteral("有休残日数")));
        });
    }
    if (QInputMethod* im = QGuiApplication::inputMethod()) im->reset();
    Timer1->stop();
    if (fromGrid && IsCellEditable(g, col, row)) Timer1->start(10);
}

bool TfmListInp::StrGridExit(TListGridView* grid, int col, int row, const QString& typed)
{
    // The message box of a refused entry takes the focus from the editor, which commits again.
    if (inExit_ || !IsCellEditable(grid->grid, col, row)) return false;
    inExit_ = true;
    TListGrid& g = grid->grid;
    const TCellEntry r = CheckCellEntry(g, row, typed);
    if (r.accepted) {
        g.enterCell(col, row, r.text, r.value);
        if (grid == StrGridK) MarkCellManual(g, col, row);
        grid->gridModel->cellChanged(col, row);
    }
    EntryRefused = !r.error.isEmpty();
    if (EntryRefused) ShowError(r.error);
    inExit_ = false;
    return r.accepted;
}

void TfmListInp::ReopenRefusedCell(TListGridView* grid)
{
    // The message box took the focus from the editor, which is gone: the window's focus would
    // fall on the page tabs, where the next digit is lost.
    grid->setFocus(Qt::OtherFocusReason);
    if (!grid->editing()) grid->edit(grid->currentIndex());
    if (auto* e = qobject_cast<QLineEdit*>(grid->indexWidget(grid->currentIndex()))) {
        e->clear();
        e->setModified(false);  // left untyped, the cell keeps what it holds
        e->setFocus(Qt::OtherFocusReason);
    }
}

void TfmListInp::EnterMove(TListGridView* grid)
{
    const int c = grid->col();
    if (c < 1) return;
    grid->setCell(c, NextEditRow(grid->grid, c, grid->row()));
}

bool TfmListInp::AcceptKey(TListGridView* grid, QChar c) const
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           AllowedChars(grid->grid, grid->row()).contains(c);
}

void TfmListInp::Timer1Timer()
{
    TListGridView* g = ActiveGrid();
    if (OptionRec.AutoSelect && isVisible() && !g->editing() && IsCellEditable(g->grid, g->col(), g->row()))
        g->edit(g->currentIndex());
}

void TfmListInp::Timer2Timer()
{
    if (QInputMethod* im = QGuiApplication::inputMethod()) {
        im->reset();
        im->hide();
    }
}
