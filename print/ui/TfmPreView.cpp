// The preview window: the sheet laid out for the screen and the zoom, each paint drawing the page
// again through the page dispatcher, paging, zoom, keys, the context menu and printing.
#include "print/ui/TfmPreView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "payroll/option.h"
#include "platform/errors.h"
#include "platform/msgbox.h"
#include "print/dispatch.h"
#include "print/engine.h"
#include "print/pages.h"
#include "print/printer.h"
#include "print/slip.h"
#include "print/ui/TfmInji.h"

TFormRef<TfmPreView> fmPreView;
bool PreViewButtons = true;

namespace {

// The paint box: holds no picture of its own, the preview draws the page on every paint.
class PaintBox : public QWidget {
  public:
    PaintBox(TfmPreView* owner, QWidget* parent) : QWidget(parent), owner_(owner) {}

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        owner_->pbImagePaint(painter);
    }

  private:
    TfmPreView* owner_;
};

int roundEven(double v)
{
    return int(std::nearbyint(v));
}

QToolButton* makeButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(caption);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoRaise(true);
    b->setMinimumWidth(80);
    return b;
}

QAction* makeItem(QMenu* menu, const char* name, const QString& caption)
{
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

}  // namespace

TfmPreView::TfmPreView(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmPreView"));
    setWindowTitle(QStringLiteral("印刷プレビュー (右クリックでメニュー表示)"));

    pnToolBar = new QFrame(this);
    pnToolBar->setObjectName(QStringLiteral("pnToolBar"));
    pnToolBar->setFrameStyle(QFrame::Panel | QFrame::Raised);
    // The buttons take no focus (the keys page and scroll); 印刷実行 has Alt+P, the rest their keys.
    sbPrint = makeButton(pnToolBar, "sbPrint", QStringLiteral("印刷実行(&P)"));
    sbWDisp = makeButton(pnToolBar, "sbWDisp", QStringLiteral("拡大表示"));
    sbBackPage = makeButton(pnToolBar, "sbBackPage", QStringLiteral("前ページ"));
    sbNextPage = makeButton(pnToolBar, "sbNextPage", QStringLiteral("次ページ"));
    sbClose = makeButton(pnToolBar, "sbClose", QStringLiteral("閉じる"));
    auto* tools = new QHBoxLayout(pnToolBar);
    tools->setContentsMargins(4, 2, 4, 2);
    for (QToolButton* b : {sbPrint, sbWDisp, sbBackPage, sbNextPage, sbClose}) tools->addWidget(b);
    tools->addStretch();

    ScrollBox = new QScrollArea(this);
    ScrollBox->setObjectName(QStringLiteral("ScrollBox"));
    ScrollBox->setFocusPolicy(Qt::NoFocus);
    ScrollBox->setFrameShape(QFrame::NoFrame);
    ScrollBox->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    ScrollBox->setWidgetResizable(false);
    QPalette desktop = ScrollBox->palette();
    desktop.setColor(QPalette::Window, QColor(58, 110, 165));
    ScrollBox->setPalette(desktop);
    ScrollBox->setBackgroundRole(QPalette::Window);
    ScrollBox->viewport()->setAutoFillBackground(true);
    pnPaper = new QFrame;
    pnPaper->setObjectName(QStringLiteral("pnPaper"));
    pnPaper->setAutoFillBackground(true);
    QPalette grey = pnPaper->palette();
    grey.setColor(QPalette::Window, QColor(244, 244, 244));
    pnPaper->setPalette(grey);
    pbImage = new PaintBox(this, pnPaper);
    pbImage->setObjectName(QStringLiteral("pbImage"));
    ScrollBox->setWidget(pnPaper);

    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    mnPrint = makeItem(PopupMenu, "mnPrint", QStringLiteral("印刷実行(&P)"));
    mnWDisp = makeItem(PopupMenu, "mnWDisp", QStringLiteral("拡大して表示する(&W)      Enter"));
    mnWDisp->setCheckable(true);
    mnBackPage = makeItem(PopupMenu, "mnBackPage", QStringLiteral("前ページを表示(&B)         PageDown"));
    mnNextPage = makeItem(PopupMenu, "mnNextPage", QStringLiteral("次ページを表示(&N)         PageUp"));
    mnDispButton = makeItem(PopupMenu, "mnDispButton", QStringLiteral("ボタンを表示する(&D)"));
    mnDispButton->setCheckable(true);
    mnDispButton->setChecked(true);
    PopupMenu->addSeparator();
    mnClose = makeItem(PopupMenu, "mnClose", QStringLiteral("閉じる(&C)                    Esc"));
    pnPaper->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(pnPaper, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu->popup(pnPaper->mapToGlobal(at)); });

    auto* main = new QVBoxLayout(this);
    main->setContentsMargins(0, 0, 0, 0);
    main->setSpacing(0);
    main->addWidget(pnToolBar);
    main->addWidget(ScrollBox, 1);

    ScrollBox->viewport()->installEventFilter(this);
    connect(sbPrint, &QToolButton::clicked, this, &TfmPreView::mnPrintClick);
    connect(mnPrint, &QAction::triggered, this, &TfmPreView::mnPrintClick);
    connect(sbWDisp, &QToolButton::clicked, this, &TfmPreView::mnWDispClick);
    connect(mnWDisp, &QAction::toggled, this, [this] {
        sbWDisp->setText(mnWDisp->isChecked() ? QStringLiteral("全体表示") : QStringLiteral("拡大表示"));
        FormResize();
    });
    connect(sbBackPage, &QToolButton::clicked, this, [this] { mnPageUpDownClick(sbBackPage); });
    connect(sbNextPage, &QToolButton::clicked, this, [this] { mnPageUpDownClick(sbNextPage); });
    connect(mnBackPage, &QAction::triggered, this, [this] { mnPageUpDownClick(mnBackPage); });
    connect(mnNextPage, &QAction::triggered, this, [this] { mnPageUpDownClick(mnNextPage); });
    // The menu has already turned the check when this arrives.
    connect(mnDispButton, &QAction::triggered, this, [this] { mnDispButtonClick(nullptr); });
    connect(sbClose, &QToolButton::clicked, this, &TfmPreView::mnCloseClick);
    connect(mnClose, &QAction::triggered, this, &TfmPreView::mnCloseClick);
}

void TfmPreView::setPrintEnabled(bool enabled)
{
    mnPrint->setEnabled(enabled);
    sbPrint->setEnabled(enabled);
}

void TfmPreView::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (e->spontaneous()) return;
    FormShow();
    // The window takes the keys: paging and scrolling are its own.
    activateWindow();
}

void TfmPreView::FormShow()
{
    // The window manager offers no menu to take the move command from; a maximised window that
    // stays maximised (changeEvent) cannot be moved either.
    CurPage = 1;
    paintErrors_.clear();
    ScrollBox->horizontalScrollBar()->setValue(0);
    ScrollBox->verticalScrollBar()->setValue(0);
    mnDispButton->setChecked(PreViewButtons);
    mnPageUpDownClick(nullptr);
    mnDispButtonClick(nullptr);
    // Without a window manager nobody answers the request to maximise: the window first takes the
    // screen's free area itself, or it would stay at the size of its tool bar.
    if (const QScreen* scr = screen()) setGeometry(scr->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);
    FormResize();
}

void TfmPreView::changeEvent(QEvent* e)
{
    QDialog::changeEvent(e);
    // Restoring the window is refused: it stays maximised while it is shown.
    if (e->type() == QEvent::WindowStateChange && isVisible() &&
        !(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)))
        QTimer::singleShot(0, this, [this] {
            if (isVisible()) setWindowState(windowState() | Qt::WindowMaximized);
        });
}

void TfmPreView::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    FormResize();
}

void TfmPreView::FormResize()
{
    const int f = mnWDisp->isChecked() ? 2 : 1;
    const TPrinterCaps caps = PrinterCaps();
    const int pw = std::max(1, caps.PhysicalWidth), ph = std::max(1, caps.PhysicalHeight);
    const QSize box = ScrollBox->maximumViewportSize();
    const QScreen* scr = screen();
    const QSize screenSize = scr ? scr->geometry().size() : QSize(1280, 1024);
    const QString aspect =
        QString::asprintf("%4.2f", double(screenSize.width()) / std::max(1, screenSize.height()));
    static const QStringList wideScreens = {QStringLiteral("1.33"), QStringLiteral("1.60"),
                                            QStringLiteral("1.71"), QStringLiteral("1.78")};
    int w, h;
    // Portrait pages, and every page on the usual screens, fit the height; a landscape page on
    // another screen fits the width.
    if (wideScreens.contains(aspect) || ph > pw) {
        h = box.height() * f;
        w = roundEven(double(pw) * h / ph);
    } else {
        w = box.width() * f;
        h = roundEven(double(ph) * w / pw);
    }
    w = std::max(w, 1);
    h = std::max(h, 1);
    pnPaper->setFixedSize(w, h);
    const int ppi = std::max(1, logicalDpiY());
    const int printerPpi = std::max(1, caps.LogPixelsY);
    PreviewZoom = roundEven(100.0 * w * printerPpi / (double(pw) * ppi));
    const double s = double(ppi) / printerPpi * PreviewZoom / 100.0;
    PaperOffset = QPoint(roundEven(caps.PhysicalOffsetX * s), roundEven(caps.PhysicalOffsetY * s));
    PrintableSize = QSize(roundEven(caps.PageWidth * s), roundEven(caps.PageHeight * s));
    // The paint box is the whole sheet: the page is drawn from the margin's whole millimetres, so
    // a line near the top may fall into the margin, where the printed PDF keeps it too.
    pbImage->setGeometry(0, 0, w, h);
    pbImage->update();
}

void TfmPreView::pbImagePaint(QPainter& painter)
{
    // The printer's margin shifts the page as it will on paper; the scale is the screen's.
    const TPrinterCaps caps = PrinterCaps();
    PrnOffsetX = OffsetMm(caps.PhysicalOffsetX, float(caps.LogPixelsX / 25.4));
    PrnOffsetY = OffsetMm(caps.PhysicalOffsetY, float(caps.LogPixelsY / 25.4));
    // The margin keeps the sheet's grey, the printable area is white; the page's origin is the
    // printable area's corner, and nothing is clipped to it.
    painter.fillRect(pbImage->rect(), QColor(244, 244, 244));
    painter.fillRect(QRect(PaperOffset, PrintableSize), Qt::white);
    painter.translate(PaperOffset);
    SetScreenCanvas(&painter, logicalDpiY(), PreviewZoom, 1, 1);
    const int kind = PaperKind;
    const int n = fmInji ? fmInji->tag() % 100 : 0;
    try {
        if ((kind == 2 || kind == 3) && OptionRec.FormType == 2) DrawPreprintedFormSheet();
        if (kind >= 1 && kind <= 8)
            PrintPage(PageArgument(kind, CurPage), PageMembers(kind, n, CurPage, TfmInji::TickedSlots()));
    } catch (const AppError& e) {
        reportPaintError(e.message());
    } catch (const std::exception& e) {
        reportPaintError(QString::fromLocal8Bit(e.what()));
    }
    PrnCanvas = nullptr;
}

void TfmPreView::reportPaintError(const QString& message)
{
    if (paintErrors_.contains(message)) return;
    paintErrors_.insert(message);
    // Told after the paint: a message box inside a paint event would paint again beneath it.
    QTimer::singleShot(0, this, [message] { ShowError(message); });
}

void TfmPreView::mnPageUpDownClick(QObject* sender)
{
    if (sender == mnBackPage || sender == sbBackPage) --CurPage;
    if (sender == mnNextPage || sender == sbNextPage) ++CurPage;
    mnBackPage->setEnabled(CurPage >= 2);
    mnNextPage->setEnabled(PageCount > CurPage);
    sbBackPage->setEnabled(mnBackPage->isEnabled());
    sbNextPage->setEnabled(mnNextPage->isEnabled());
    if (pbImage->isVisible())
        pbImage->repaint();
    else
        pbImage->update();
}

void TfmPreView::mnWDispClick()
{
    mnWDisp->toggle();
}

void TfmPreView::mnDispButtonClick(QObject* sender)
{
    if (sender) mnDispButton->toggle();
    PreViewButtons = mnDispButton->isChecked();
    pnToolBar->setVisible(PreViewButtons);
    FormResize();
}

void TfmPreView::mnPrintClick()
{
    hide();
    QApplication::processEvents();
    if (fmInji) fmInji->btOkClick();
    done(QDialog::Accepted);
}

void TfmPreView::mnCloseClick()
{
    done(QDialog::Rejected);
}

void TfmPreView::keyPressEvent(QKeyEvent* e)
{
    QScrollBar* hs = ScrollBox->horizontalScrollBar();
    QScrollBar* vs = ScrollBox->verticalScrollBar();
    switch (e->key()) {
        case Qt::Key_Left:
            hs->setValue(hs->value() - 20);
            break;
        case Qt::Key_Right:
            hs->setValue(hs->value() + 20);
            break;
        case Qt::Key_Up:
            vs->setValue(vs->value() - 20);
            break;
        case Qt::Key_Down:
            vs->setValue(vs->value() + 20);
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            mnWDispClick();
            break;
        case Qt::Key_PageDown:
        case Qt::Key_F11:
            if (mnBackPage->isEnabled()) mnPageUpDownClick(mnBackPage);
            break;
        case Qt::Key_PageUp:
        case Qt::Key_F12:
            if (mnNextPage->isEnabled()) mnPageUpDownClick(mnNextPage);
            break;
        case Qt::Key_Escape:
            mnCloseClick();
            break;
        default:
            QDialog::keyPressEvent(e);
            return;
    }
    e->accept();
}

void TfmPreView::contextMenuEvent(QContextMenuEvent* e)
{
    // The menu key opens the menu the right button opens on the paper, over the page shown.
    if (e->reason() != QContextMenuEvent::Keyboard) {
        QDialog::contextMenuEvent(e);
        return;
    }
    PopupMenu->popup(ScrollBox->viewport()->mapToGlobal(ScrollBox->viewport()->rect().center()));
    e->accept();
}

bool TfmPreView::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == ScrollBox->viewport() && e->type() == QEvent::Wheel) {
        QScrollBar* vs = ScrollBox->verticalScrollBar();
        // Towards the user scrolls down.
        vs->setValue(vs->value() + (static_cast<QWheelEvent*>(e)->angleDelta().y() < 1 ? 10 : -10));
        return true;
    }
    return QDialog::eventFilter(watched, e);
}
