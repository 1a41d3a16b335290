// Message box layer: the safe answer when no box can be shown.
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

}  // namespace
