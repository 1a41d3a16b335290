// Message boxes on screen: QMessageBox with the Japanese captions of the button sets.
#include "platform/msgbox_qt.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "platform/msgbox.h"

namespace {

MsgResult showBox(const MsgShown& m)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QApplication::applicationDisplayName());
    QString text = m.text;
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setText(text);
    switch (m.type) {
        case MsgType::Warning: box.setIcon(QMessageBox::Warning); break;
        case MsgType::Error: box.setIcon(QMessageBox::Critical); break;
        case MsgType::Information: box.setIcon(QMessageBox::Information); break;
        case MsgType::Confirmation: box.setIcon(QMessageBox::Question); break;
    }
    struct B {
        QMessageBox::StandardButton sb;
        const char* caption;
        MsgResult r;
    };
    std::vector<B> set;
    switch (m.buttons) {
        case MsgButtons::Ok: set = {{QMessageBox::Ok, "OK", MsgResult::Ok}}; break;
        case MsgButtons::YesNo:
            set = {{QMessageBox::Yes, "はい(&Y)", MsgResult::Yes}, {QMessageBox::No, "いいえ(&N)", MsgResult::No}};
            break;
        case MsgButtons::YesNoCancel:
            set = {{QMessageBox::Yes, "はい(&Y)", MsgResult::Yes},
                   {QMessageBox::No, "いいえ(&N)", MsgResult::No},
                   {QMessageBox::Cancel, "キャンセル", MsgResult::Cancel}};
            break;
        case MsgButtons::OkCancel:
            set = {{QMessageBox::Ok, "OK", MsgResult::Ok}, {QMessageBox::Cancel, "キャンセル", MsgResult::Cancel}};
            break;
    }
    QMessageBox::StandardButtons all;
    for (const B& b : set) all |= b.sb;
    box.setStandardButtons(all);
    for (const B& b : set) box.button(b.sb)->setText(QString::fromUtf8(b.caption));
    box.setDefaultButton(set.front().sb);
    const int answer = box.exec();
    for (const B& b : set)
        if (answer == b.sb) return b.r;
    // Closed by Escape or the title bar: the last button of the set (No, Cancel or OK).
    return set.back().r;
}

}  // namespace

void InstallQtMessageBoxes()
{
    SetMsgHandler(showBox);
    SetBeepHandler([] { QApplication::beep(); });
}
