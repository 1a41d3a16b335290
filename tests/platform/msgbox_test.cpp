// Message box layer: the safe answer when no box can be shown, and the button Enter presses on a
// box shown on screen.
#include "platform/msgbox.h"

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

}  // namespace
