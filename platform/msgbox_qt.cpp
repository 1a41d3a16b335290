// Message boxes on screen: QMessageBox with the Japanese captions of the button sets.
#include "platform/msgbox_qt.h"

#include <QApplication>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>

#include "platform/msgbox.h"

namespace {

struct BoxButton {
    QMessageBox::StandardButton sb;
    const char* caption;
    MsgResult r;
};

std::vector<BoxButton> buttonSet(MsgButtons buttons)
{
    switch (buttons) {
        case MsgButtons::YesNoDetails:  // the last one answers Escape; OK's caption is the caller's
            return {{QMessageBox::Yes, "はい(&Y)", MsgResult::Yes},
                    {QMessageBox::Ok, "OK", MsgResult::Ok},
                    {QMessageBox::No, "いいえ(&N)", MsgResult::No}};
        case MsgButtons::Ok:
            return {{QMessageBox::Ok, "OK", MsgResult::Ok}};
        case MsgButtons::YesNo:
            return {{QMessageBox::Yes, "はい(&Y)", MsgResult::Yes},
                    {QMessageBox::No, "いいえ(&N)", MsgResult::No}};
        case MsgButtons::YesNoCancel:
            return {{QMessageBox::Yes, "はい(&Y)", MsgResult::Yes},
                    {QMessageBox::No, "いいえ(&N)", MsgResult::No},
                    {QMessageBox::Cancel, "キャンセル", MsgResult::Cancel}};
        case MsgButtons::OkCancel:
            return {{QMessageBox::Ok, "OK", MsgResult::Ok},
                    {QMessageBox::Cancel, "キャンセル", MsgResult::Cancel}};
    }
    return {{QMessageBox::Ok, "OK", MsgResult::Ok}};
}

// A text too tall for the screen (a notice line of many kilobytes from the network) wraps and
// scrolls inside the box, so that the box and its buttons stay on the screen.
void fitOnScreen(QMessageBox& box)
{
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    const QScreen* screen = box.screen() ? box.screen() : QGuiApplication::primaryScreen();
    if (!label || !grid || !screen) return;
    const QRect area = screen->availableGeometry();
    const int width = qMin(600, area.width() * 2 / 3);
    const int room = area.height() / 2;
    label->setWordWrap(true);
    if (label->heightForWidth(width) <= room) return;
    const int at = grid->indexOf(label);
    if (at < 0) return;
    int row = 0, column = 0, rows = 1, columns = 1;
    grid->getItemPosition(at, &row, &column, &rows, &columns);
    grid->removeWidget(label);
    auto* scroll = new QScrollArea(&box);
    scroll->setObjectName(QStringLiteral("saMessage"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    scroll->setWidget(label);
    scroll->setFixedSize(width + scroll->verticalScrollBar()->sizeHint().width(), room);
    grid->addWidget(scroll, row, column, rows, columns);
}

// The lines as the program wrote them stay whole where the screen has room for them: QMessageBox
// would wrap every line longer than half the screen (at most 500 pixels) at that width, wherever
// it falls, even inside a word ("メールソフ" and "ト" on two lines).
void keepWrittenLines(QMessageBox& box, const QString& text)
{
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    const QScreen* screen = box.screen() ? box.screen() : QGuiApplication::primaryScreen();
    if (!label || !screen) return;
    // The widest box QMessageBox allows, less the icon and the margins beside the text.
    const int screenWidth = screen->availableGeometry().width();
    const int widestBox = screenWidth <= 1024 ? screenWidth : qMin(screenWidth - 480, 1000);
    const int room = widestBox - 2 * box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize) - 60;
    // Measured as the label draws: every line laid out, fallback fonts and all.
    const int widest = label->fontMetrics().boundingRect(QRect(0, 0, 1 << 20, 1 << 20), 0, text).width() + 2;
    if (widest <= room) label->setMinimumWidth(widest);
}

// The window a box is shown over, which has the focus back when the box closes: the active one,
// or, just after a dialog closed and before the window system moved the focus on, the modal window
// in front. A box over a window already hidden would leave no window of the program active.
QWidget* boxOwner()
{
    if (QWidget* w = QApplication::activeWindow(); w && w->isVisible()) return w;
    if (QWidget* w = QApplication::activeModalWidget(); w && w->isVisible()) return w;
    return nullptr;
}

MsgResult showBox(const MsgShown& m)
{
    const QPointer<QWidget> owner = boxOwner();
    QMessageBox box(owner);
    box.setWindowTitle(QApplication::applicationDisplayName());
    QString text = m.text;
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setText(text);
    switch (m.type) {
        case MsgType::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MsgType::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case MsgType::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MsgType::Confirmation:
            box.setIcon(QMessageBox::Question);
            break;
    }
    const std::vector<BoxButton> set = buttonSet(m.buttons);
    QMessageBox::StandardButtons all;
    for (const BoxButton& b : set) all |= b.sb;
    box.setStandardButtons(all);
    for (const BoxButton& b : set)
        box.button(b.sb)->setText(
            b.r == MsgResult::Ok && !m.okCaption.isEmpty() ? m.okCaption : QString::fromUtf8(b.caption));
    // The first button (Yes, OK), or for a question that may lose data the one Escape answers.
    box.setDefaultButton(m.def == MsgDefault::Safe ? set.back().sb : set.front().sb);
    keepWrittenLines(box, text);
    fitOnScreen(box);  // last: the icon and the buttons lay the box out afresh
    const int answer = box.exec();
    if (owner && owner->isVisible()) owner->activateWindow();
    for (const BoxButton& b : set)
        if (answer == b.sb) return b.r;
    // Closed by Escape or the title bar: the last button of the set (No, Cancel or OK).
    return set.back().r;
}

// Automation hook: with PELMORAS_MSGLOG=<file> no box is shown; each message's text is appended
// to the file as one line (its own line breaks stay "\r") and answered as Escape would be.
// Tests of the whole program use it.
MsgResult logBox(const QString& logFile, const MsgShown& m)
{
    QFile f(logFile);
    if (f.open(QIODevice::WriteOnly | QIODevice::Append)) f.write(m.text.toUtf8() + '\n');
    return buttonSet(m.buttons).back().r;
}

}  // namespace

void InstallQtMessageBoxes()
{
    const QString logFile = qEnvironmentVariable("PELMORAS_MSGLOG");
    if (!logFile.isEmpty())
        SetMsgHandler([logFile](const MsgShown& m) { return logBox(logFile, m); });
    else
        SetMsgHandler(showBox);
    SetBeepHandler([] { QApplication::beep(); });
}
