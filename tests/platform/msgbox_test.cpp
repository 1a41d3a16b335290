// Message box layer: the safe answer when no box can be shown, and the button Enter presses on a
// box shown on screen.
#include "platform/msgbox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

#include "tests/testutil.h"

namespace {

TEST(MsgBox, WithoutAHandlerTheSafeButtonIsTaken)
{
    auto old = SetMsgHandler(nullptr);
    EXPECT_EQ(MessageDlg(QStringLiteral("q"), MsgType::Confirmation, MsgButtons::YesNo), MsgResult::No);
    EXPECT_EQ(MessageDlg(QStringLiteral("q"), MsgType::Warning, MsgButtons::YesNoCancel), MsgResult::Cancel);
    EXPECT_EQ(MessageDlg(QStringLiteral("q"), MsgType::Warning, MsgButtons::OkCancel), MsgResult::Cancel);
    SetMsgHandler(old);
}

// A question whose Yes loses data answers a habitual Enter with No (or Cancel where offered); the
// others keep Yes (or OK) as their default.
TEST(MsgBox, EnterTakesTheSafeAnswerOfAQuestionThatMayLoseData)
{
    const RealMessageBoxes real;
    const struct {
        MsgButtons buttons;
        MsgDefault def;
        MsgResult enter;
    } cases[] = {
        {MsgButtons::YesNo, MsgDefault::First, MsgResult::Yes},
        {MsgButtons::YesNo, MsgDefault::Safe, MsgResult::No},
        {MsgButtons::YesNoCancel, MsgDefault::First, MsgResult::Yes},
        {MsgButtons::YesNoCancel, MsgDefault::Safe, MsgResult::Cancel},
        {MsgButtons::OkCancel, MsgDefault::First, MsgResult::Ok},
        {MsgButtons::OkCancel, MsgDefault::Safe, MsgResult::Cancel},
        {MsgButtons::Ok, MsgDefault::Safe, MsgResult::Ok},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.buttons) * 10 + static_cast<int>(c.def));
        QString shown;
        KeyOnNextMessageBox(Qt::Key_Return, &shown);
        EXPECT_EQ(MessageDlg(QStringLiteral("削除しますか？"), MsgType::Confirmation, c.buttons, c.def),
                  c.enter);
        EXPECT_EQ(shown, QStringLiteral("削除しますか？"));
        if (c.def == MsgDefault::Safe) {
            EXPECT_EQ(c.enter, SafeAnswer(c.buttons)) << "what Escape answers";
        }
    }
}

// A notice line of 12 KB wraps and scrolls inside a box that fits the screen, its buttons on it; a
// short text stays as it was, without a scroll area.
TEST(MsgBox, ALongLineScrollsInsideABoxThatFitsTheScreen)
{
    const RealMessageBoxes real;
    QString line;
    while (line.toUtf8().size() < 12 * 1024)
        line += QStringLiteral("料率改定のお知らせ、詳細はホームページをご覧下さい。");
    const struct {
        QString text;
        bool scrolls;
    } cases[] = {{line + QStringLiteral("\r\rこのお知らせを次回以降も表示しますか？"), true},
                 {QStringLiteral("最新バージョンを使用中です。"), false}};
    for (const auto& c : cases) {
        bool seen = false;
        WhenShown([] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); },
                  [&] {
                      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                      ASSERT_NE(box, nullptr);
                      seen = true;
                      const QRect screen = box->screen()->availableGeometry();
                      EXPECT_LE(box->frameGeometry().height(), screen.height());
                      for (QAbstractButton* b : box->buttons()) {
                          const QRect at(b->mapToGlobal(QPoint(0, 0)), b->size());
                          EXPECT_TRUE(screen.contains(at)) << at.y() << " " << screen.height();
                      }
                      auto* scroll = box->findChild<QScrollArea*>(QStringLiteral("saMessage"));
                      EXPECT_EQ(scroll != nullptr, c.scrolls);
                      if (scroll) {
                          EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
                          EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), 0);
                          auto* label = qobject_cast<QLabel*>(scroll->widget());
                          ASSERT_NE(label, nullptr);
                          EXPECT_TRUE(label->wordWrap());
                          EXPECT_TRUE(label->text().startsWith(line));
                      }
                      box->button(QMessageBox::Ok)->click();
                  });
        EXPECT_EQ(MessageDlg(c.text, MsgType::Information, MsgButtons::Ok), MsgResult::Ok);
        EXPECT_TRUE(seen);
    }
}

}  // namespace
