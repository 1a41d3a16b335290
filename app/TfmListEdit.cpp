// The employee list edit grid.
#include "app/TfmListEdit.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/core/listedit.h"
#include "payroll/common.h"
#include "payroll/option.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/slipitems.h"
#include "payroll/ui/edithelpers.h"
#include "platform/errors.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"

TFormRef<TfmListEdit> fmListEdit;
bool TfmListEdit::FirstShow = true;

namespace {
constexpr int EditableRole = Qt::UserRole;
}

// Cells take digits and "-" (typed over the text with InputOverN); a cell left with a text that is
// no number, or one out of range, is refused with a message and keeps what it held, so the
// write-back on close cannot fail.
class TListEditDelegate : public QStyledItemDelegate {
  public:
    explicit TListEditDelegate(TfmListEdit* form) : QStyledItemDelegate(form), form_(form) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        auto* e = new QLineEdit(parent);
        e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[-0-9,]*")), e));
        e->setAttribute(Qt::WA_InputMethodEnabled, false);
        QObject::connect(e, &QLineEdit::inputRejected, e, [] { MessageBeep(); });
        // The view opens the editor with its text selected, and that text is replaced as a whole.
        auto* keys = new TNumKeys(e, QStringLiteral("-"));
        keys->autoSelect = false;
        keys->replaceSelection = true;
        return e;
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        const QString text = static_cast<QLineEdit*>(editor)->text();
        // An editor opened on entering the cell and left as it was is no entry: the cell keeps
        // what it holds, even a value with more digits than a cell takes. Refusing it depended on
        // whether the editor had opened before the next key.
        if (text == index.data(Qt::EditRole).toString()) return;
        if (index.row() + 1 == PayRow) {
            model->setData(index, text.trimmed());
            return;
        }
        // The message box of a refused entry takes the focus from the editor, which commits again.
        if (form_->refusing_) return;
        const TCellCheck k = CheckListEditCell(index.row() + 1, text);
        if (!k.error.isEmpty()) {
            if (form_->leaving_)
                form_->refusal_ = k.error;  // told by the key that leaves, which keeps the cell
            else
                QTimer::singleShot(0, form_, [e = k.error] { ShowError(e); });
            return;
        }
        model->setData(index, k.text);
    }
    bool eventFilter(QObject* editor, QEvent* e) override
    {
        if (e->type() == QEvent::KeyPress) {
            auto* k = static_cast<QKeyEvent*>(e);
            auto* w = static_cast<QWidget*>(editor);
            const int key = k->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                if (form_->leaveEditor(this, w)) form_->enterKey();
                return true;
            }
            // Out of the cell at the edges of its text, as while no editor is open.
            auto* line = qobject_cast<QLineEdit*>(w);
            if (line && ArrowLeavesCell(line, k)) {
                if (form_->leaveEditor(this, w)) form_->arrowKey(key);
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(editor, e);
    }

  private:
    TfmListEdit* form_;
};

TfmListEdit::TfmListEdit(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmListEdit"));
    setWindowTitle(QStringLiteral("一覧形式で社員情報修正"));
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint);
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    StrGrid = new QTableWidget(ListEditRows, 0, this);
    StrGrid->setObjectName(QStringLiteral("StrGrid"));
    StrGrid->setItemDelegate(new TListEditDelegate(this));
    StrGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    StrGrid->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                             QAbstractItemView::EditKeyPressed);
    StrGrid->verticalHeader()->setDefaultSectionSize(24);
    StrGrid->verticalHeader()->setFixedWidth(130);
    StrGrid->installEventFilter(this);
    // Opens the editor of a cell just entered, with its text selected (AutoSelect).
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(10);
    connect(Timer1, &QTimer::timeout, this, [this] {
        QTableWidgetItem* item = StrGrid->currentItem();
        if (OptionRec.AutoSelect && isVisible() && item && (item->flags() & Qt::ItemIsEditable) &&
            !StrGrid->indexWidget(StrGrid->currentIndex()))
            StrGrid->editItem(item);
    });
    connect(StrGrid, &QTableWidget::currentCellChanged, this,
            [this](int row, int col, int prevRow, int prevCol) {
                StrGridSelectCell(row, col, prevRow, prevCol);
            });
    // Headings in white on blue, as the rows' and columns' captions.
    StrGrid->setStyleSheet(
        QStringLiteral("QHeaderView::section { background: #0088EE; color: white; padding-left: 2px; }"));
    box->addWidget(StrGrid);
    resize(800, 480);
}

void TfmListEdit::showEvent(QShowEvent* e)
{
    FormActivate();
    if (FirstShow) {
        FirstShow = false;
        readPlacement();
    }
    QDialog::showEvent(e);
    StrGrid->setCurrentCell(0, 0);
    StrGrid->setFocus();
}

void TfmListEdit::FormActivate()
{
    slots_ = ListEditSlots();
    StrGrid->clear();
    StrGrid->setColumnCount(slots_.size());
    QStringList captions;
    for (int row = 1; row <= ListEditRows; ++row) captions << ListEditCaption(row);
    StrGrid->setVerticalHeaderLabels(captions);
    const int width = OptionRec.NameWide ? 140 : 100;
    const QColor off = QColor::fromRgb(DisableColorRgb);
    for (int c = 0; c < slots_.size(); ++c) {
        const int e = slots_[c];
        StrGrid->setHorizontalHeaderItem(c, new QTableWidgetItem(SyainRec[e].Simei.shownText()));
        StrGrid->setColumnWidth(c, width);
        for (int row = 1; row <= ListEditRows; ++row) {
            auto* item = new QTableWidgetItem(ListEditText(e, row));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            const bool on = ListEditEditable(e, row);
            item->setData(EditableRole, on);
            if (!on) {
                item->setFlags(item->flags() & ~Qt::ItemIsEditable);
                item->setBackground(off);
                item->setForeground(QColor(0x80, 0x80, 0x80));
                item->setData(Qt::DisplayRole, QVariant());  // shows nothing; the value is kept
                item->setData(Qt::UserRole + 1, ListEditText(e, row));
            }
            StrGrid->setItem(row - 1, c, item);
        }
    }
}

// The text of a cell, shown or not.
static QString cellText(const QTableWidgetItem* item)
{
    if (!item) return {};
    return item->data(EditableRole).toBool() ? item->text() : item->data(Qt::UserRole + 1).toString();
}

static void setCellText(QTableWidgetItem* item, const QString& text)
{
    if (item->data(EditableRole).toBool())
        item->setText(text);
    else
        item->setData(Qt::UserRole + 1, text);
}

void TfmListEdit::StrGridSelectCell(int row, int col, int prevRow, int prevCol)
{
    // A monthly pay left without Enter picks no grade: the row is emptied as it is left.
    if (prevRow == PayRow - 1 && prevCol >= 0 && (row != prevRow || col != prevCol))
        if (QTableWidgetItem* pay = StrGrid->item(prevRow, prevCol)) pay->setText(QString());
    Timer1->stop();
    if (OptionRec.AutoSelect && row >= 0 && col >= 0) Timer1->start();
}

void TfmListEdit::enterKey()
{
    const int c = StrGrid->currentColumn();
    int row = StrGrid->currentRow() + 1;
    if (c < 0 || row < 1) return;
    if (row == PayRow) {
        // Only a number typed here picks a grade; the empty row is no change.
        QTableWidgetItem* pay = StrGrid->item(PayRow - 1, c);
        const QString typed = pay->text().trimmed();
        if (!typed.isEmpty()) {
            const TCellCheck k = CheckListEditCell(PayRow, typed);
            if (!k.error.isEmpty()) {
                ShowError(k.error);  // the entry stays for correcting
                return;
            }
            pay->setText(QString());
            premiumsOf(NumStrToInt(typed), c);
        }
    }
    // Down to the next editable row of the column, from the last back to the first.
    for (int i = 0; i < ListEditRows; ++i) {
        row = row % ListEditRows + 1;
        if (StrGrid->item(row - 1, c)->data(EditableRole).toBool()) break;
    }
    StrGrid->setCurrentCell(row - 1, c);
}

bool TfmListEdit::leaveEditor(QAbstractItemDelegate* delegate, QWidget* editor)
{
    refusal_.clear();
    leaving_ = true;
    emit delegate->commitData(editor);
    leaving_ = false;
    if (refusal_.isEmpty()) {
        emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
        return true;
    }
    refusing_ = true;
    ShowError(refusal_);
    refusing_ = false;
    // The cell stays, its editor open again on what it holds: the message box took the focus
    // from the editor, which may be gone.
    StrGrid->setFocus(Qt::OtherFocusReason);
    if (auto* open = qobject_cast<QLineEdit*>(StrGrid->indexWidget(StrGrid->currentIndex()))) {
        open->setText(StrGrid->currentItem()->text());
        open->selectAll();
        open->setFocus(Qt::OtherFocusReason);
    } else {
        StrGrid->editItem(StrGrid->currentItem());
    }
    return false;
}

void TfmListEdit::arrowKey(int key)
{
    int row = StrGrid->currentRow();
    int col = StrGrid->currentColumn();
    if (row < 0 || col < 0) return;
    const int toRow = row + (key == Qt::Key_Down) - (key == Qt::Key_Up);
    const int toCol = col + (key == Qt::Key_Right) - (key == Qt::Key_Left);
    if (toRow >= 0 && toRow < StrGrid->rowCount() && toCol >= 0 && toCol < StrGrid->columnCount()) {
        row = toRow;
        col = toCol;
    }
    if (row == StrGrid->currentRow() && col == StrGrid->currentColumn())
        StrGridSelectCell(row, col, row, col);  // at the grid's edge the cell opens again
    else
        StrGrid->setCurrentCell(row, col);
}

void TfmListEdit::premiumsOf(int32_t pay, int c)
{
    // Written whether or not the premium rows take entries, as the employee window's grade button
    // does; a pay outside every grade changes nothing.
    const TGradePremiums p = ListEditPremiums(pay);
    if (p.KenhoRyo < 0) return;
    const int32_t v[] = {p.KenhoRyo, p.KaigoRyo, p.KoseiRyo, p.Kakekin};
    for (int i = 0; i < 4; ++i) setCellText(StrGrid->item(PayRow + i, c), FmtAmount(9, v[i]).trimmed());
}

bool TfmListEdit::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == StrGrid && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            enterKey();
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}

void TfmListEdit::done(int r)
{
    // Leaving the current cell commits (and checks) the one being edited first.
    StrGrid->setCurrentCell(-1, -1);
    QList<QStringList> cells;
    for (int c = 0; c < slots_.size(); ++c) {
        QStringList column;
        for (int row = 1; row <= ListEditRows; ++row) column << cellText(StrGrid->item(row - 1, c));
        cells << column;
    }
    try {
        StoreListEdit(slots_, cells);
    } catch (const AppError& err) {
        ShowError(err.message());  // the grid stays open with the user's entries
        return;
    }
    try {
        writePlacement();
    } catch (const AppError& err) {
        ShowError(err.message());
    }
    QDialog::done(r);
}

void TfmListEdit::readPlacement()
{
    const IniFile ini(IniFileName);
    const QString w = QStringLiteral("Window");
    const QString state = ini.readString(w, QStringLiteral("ListMemSts"));
    if (state == QLatin1String("wsMaximized")) {
        setWindowState(windowState() | Qt::WindowMaximized);
    } else if (!state.isEmpty()) {
        setGeometry(ini.readInteger(w, QStringLiteral("ListMemPX"), 0),
                    ini.readInteger(w, QStringLiteral("ListMemPY"), 0),
                    ini.readInteger(w, QStringLiteral("ListMemSX"), 800),
                    ini.readInteger(w, QStringLiteral("ListMemSY"), 480));
    } else if (QWidget* owner = parentWidget()) {
        move(owner->geometry().center() - QPoint(width() / 2, height() / 2));
    }
}

void TfmListEdit::writePlacement()
{
    IniFile ini(IniFileName);
    const QString w = QStringLiteral("Window");
    ini.writeString(w, QStringLiteral("ListMemSts"),
                    isMaximized() ? QStringLiteral("wsMaximized") : QStringLiteral("wsNormal"));
    ini.writeInteger(w, QStringLiteral("ListMemPX"), x());
    ini.writeInteger(w, QStringLiteral("ListMemPY"), y());
    ini.writeInteger(w, QStringLiteral("ListMemSX"), width());
    ini.writeInteger(w, QStringLiteral("ListMemSY"), height());
    ini.save();
}
