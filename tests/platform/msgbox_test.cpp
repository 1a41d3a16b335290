// Message box layer: a scripted answer queue for tests, and the safe answer when nothing is shown.
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

TEST(MsgBox, ScriptAnswersInOrderAndRestoresThePreviousHandler)
{
    int outer = 0;
    auto old = SetMsgHandler([&](const MsgShown&) {
        ++outer;
        return MsgResult::Ok;
    });
    {
        ScriptedMsgBox box;
        box.answer(MsgResult::Yes);
        box.answer(MsgResult::Cancel);
        EXPECT_EQ(MessageDlg(QStringLiteral("一"), MsgType::Confirmation, MsgButtons::YesNo), MsgResult::Yes);
        EXPECT_EQ(MessageDlg(QStringLiteral("二"), MsgType::Warning, MsgButtons::YesNoCancel), MsgResult::Cancel);
        EXPECT_EQ(MessageDlg(QStringLiteral("三"), MsgType::Confirmation, MsgButtons::YesNo), MsgResult::No);
        MessageBeep();
        ASSERT_EQ(box.shown().size(), 3u);
        EXPECT_EQ(box.shown()[1].text, QStringLiteral("二"));
        EXPECT_EQ(box.shown()[1].type, MsgType::Warning);
        EXPECT_EQ(box.beeps(), 1);
    }
    ShowError(QStringLiteral("外"));
    EXPECT_EQ(outer, 1);
    SetMsgHandler(old);
}

}  // namespace
