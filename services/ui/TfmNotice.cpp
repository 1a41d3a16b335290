// The notice panel's modes, its self-closing timer and its download progress.
#include "services/ui/TfmNotice.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <limits>

#include "platform/fonts.h"

TFormRef<TfmNotice> fmNotice;

namespace {
const QColor kBlue(0, 0, 255);
const QColor kYellow(255, 255, 0);
constexpr int kMessageHeight = 28;
}  // namespace

TfmNotice::TfmNotice(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("fmNotice"));
    // A notice must not take the keyboard from the window the user works in, and its closing
    // must never count as the last window of the program closing.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_QuitOnClose, false);
    setAutoFillBackground(true);
    QFont f(ScreenFace(QStringLiteral("ＭＳ Ｐゴシック")));
    f.setPixelSize(15);
    setFont(f);

    pnMessage = new QLabel(QStringLiteral("更新ファイルをダウンロード中です。"), this);
    pnMessage->setObjectName(QStringLiteral("pnMessage"));
    pnMessage->setAlignment(Qt::AlignCenter);
    pnMessage->setFrameShape(QFrame::NoFrame);
    pnMessage->setGeometry(0, 0, 270, kMessageHeight);

    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setGeometry(24, 33, 225, 17);
    ProgressBar->setTextVisible(false);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);

    btCancel = new QPushButton(QStringLiteral("中止"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    btCancel->setGeometry(100, 56, 80, 26);
    btCancel->setFocusPolicy(Qt::NoFocus);
    btCancel->hide();
    connect(btCancel, &QPushButton::clicked, this, [this] {
        cancelled_ = true;
        btCancel->setEnabled(false);
    });

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the notice is promised its full 1.5 s.
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &TfmNotice::Timer1Timer);

    setColours(kBlue, kYellow);
    resize(270, 60);
}

void TfmNotice::setColours(const QColor& background, const QColor& text)
{
    QPalette p = palette();
    p.setColor(QPalette::Window, background);
    setPalette(p);
    QPalette t = pnMessage->palette();
    t.setColor(QPalette::WindowText, text);
    pnMessage->setPalette(t);
}

void TfmNotice::FormShow()
{
    // Every mode sets its colours: the download panel's would otherwise stay on the next notice.
    switch (Tag) {
        case kNoticeSelfClosing:
            btCancel->hide();
            resize(250, kMessageHeight);
            setColours(kBlue, kYellow);
            Timer1->start(1500);
            break;
        case kNoticeDownload:
            resize(280, 88);
            btCancel->setEnabled(true);
            btCancel->show();
            setColours(QApplication::palette().color(QPalette::Button), kBlue);
            pnMessage->setText(QStringLiteral("更新ファイルをダウンロード中です。"));
            break;
        case kNoticeUntilClosed:
            btCancel->hide();
            resize(250, kMessageHeight);
            setColours(kBlue, kYellow);
            Timer1->stop();
            break;
        default:
            break;
    }
    centreOnOwner();
}

void TfmNotice::Timer1Timer()
{
    Timer1->stop();
    close();
}

void TfmNotice::Notify(const QString& text, int mode)
{
    // Re-showing a visible window sends no show event, so the new mode would never take effect.
    if (isVisible()) hide();
    pnMessage->setText(text);
    Tag = mode;
    cancelled_ = false;
    // The download panel takes the clicks on its 中止 while every other window is closed to input.
    setWindowModality(mode == kNoticeSelfClosing || mode == kNoticeDownload ? Qt::ApplicationModal
                                                                            : Qt::NonModal);
    show();
    if (mode != kNoticeSelfClosing) {
        letPaint();
        return;
    }
    QEventLoop loop;
    connect(this, &TfmNotice::hidden, &loop, &QEventLoop::quit);
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::DialogExec);
}

void TfmNotice::SetProgressMaximum(qint64 maximum)
{
    // The bar counts in int; larger transfers are counted in larger steps. An unknown size
    // (negative) gives the range 0..0, which the bar shows as busy.
    progressScale_ = maximum / std::numeric_limits<int>::max() + 1;
    ProgressBar->setRange(0, static_cast<int>(qMax<qint64>(maximum, 0) / progressScale_));
    ProgressBar->setValue(0);
}

void TfmNotice::SetProgressPosition(qint64 position)
{
    ProgressBar->setValue(
        static_cast<int>(std::clamp<qint64>(position / progressScale_, 0, ProgressBar->maximum())));
}

void TfmNotice::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TfmNotice::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous()) return;
    // A timer left from an earlier showing must not close a later one.
    Timer1->stop();
    emit hidden();
}

void TfmNotice::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The message line spans the top in every mode, so its text is centred on the panel.
    pnMessage->setGeometry(0, 0, width(), kMessageHeight);
}

void TfmNotice::centreOnOwner()
{
    QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (!owner) {
        QWidget* active = QApplication::activeWindow();
        if (active && active != this) owner = active;
    }
    QRect area;
    if (owner && owner->isVisible()) {
        area = owner->frameGeometry();
    } else {
        QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
        if (!s) return;
        area = s->availableGeometry();
    }
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

void TfmNotice::letPaint()
{
    // Callers start blocking work right after this, so the panel has to be on screen first. The
    // window system maps it asynchronously: wait briefly for that. User input stays queued so
    // that no command starts in the middle of the caller's work.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QElapsedTimer waited;
    waited.start();
    while (windowHandle() && !windowHandle()->isExposed() && waited.elapsed() < 200) {
        QThread::msleep(5);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    if (windowHandle() && windowHandle()->isExposed()) repaint();
}

namespace {
// The handler that sends the calls to the panel panel(create) returns: a close asks for it without
// creating it; nothing happens while there is none.
NoticeHandler installFor(std::function<TfmNotice*(bool create)> panel)
{
    NoticeHandler h;
    h.show = [panel](const QString& text, int mode) {
        if (TfmNotice* n = panel(true)) n->Notify(text, mode);
    };
    h.close = [panel] {
        if (TfmNotice* n = panel(false)) n->close();
    };
    h.setProgressMaximum = [panel](qint64 v) {
        if (TfmNotice* n = panel(true)) n->SetProgressMaximum(v);
    };
    h.setProgressPosition = [panel](qint64 v) {
        if (TfmNotice* n = panel(true)) n->SetProgressPosition(v);
    };
    h.cancelled = [panel] {
        TfmNotice* n = panel(false);
        return n && n->isVisible() && n->Cancelled();
    };
    return SetNoticeHandler(std::move(h));
}
}  // namespace

NoticeHandler InstallNoticePanel(TfmNotice* panel)
{
    QPointer<TfmNotice> p(panel);
    return installFor([p](bool) -> TfmNotice* { return p.data(); });
}

NoticeHandler InstallNoticePanel(TFormRef<TfmNotice>& panel)
{
    TFormRef<TfmNotice>* p = &panel;
    return installFor([p](bool create) { return create ? p->get() : p->existing(); });
}
