// Message box dispatch; the handler is installed by the window layer or by a test.
#include "platform/msgbox.h"

namespace {
MsgHandler& handler()
{
    static MsgHandler h;
    return h;
}
BeepHandler& beepHandler()
{
    static BeepHandler h;
    return h;
}
}  // namespace

MsgResult SafeAnswer(MsgButtons b)
{
    switch (b) {
        case MsgButtons::Ok:
            return MsgResult::Ok;
        case MsgButtons::YesNo:
        case MsgButtons::YesNoDetails:
            return MsgResult::No;
        case MsgButtons::YesNoCancel:
        case MsgButtons::OkCancel:
            return MsgResult::Cancel;
    }
    return MsgResult::Ok;
}

MsgResult MessageDlg(const QString& text, MsgType type, MsgButtons buttons, MsgDefault def)
{
    if (!handler()) return SafeAnswer(buttons);
    return handler()(MsgShown{text, type, buttons, {}, def});
}

MsgResult MessageDlgDetails(const QString& text, MsgType type, const QString& okCaption)
{
    if (!handler()) return SafeAnswer(MsgButtons::YesNoDetails);
    return handler()(MsgShown{text, type, MsgButtons::YesNoDetails, okCaption});
}

void MessageBeep()
{
    if (beepHandler()) beepHandler()();
}

MsgHandler SetMsgHandler(MsgHandler h)
{
    MsgHandler old = std::move(handler());
    handler() = std::move(h);
    return old;
}

BeepHandler SetBeepHandler(BeepHandler h)
{
    BeepHandler old = std::move(beepHandler());
    beepHandler() = std::move(h);
    return old;
}

ScriptedMsgBox::ScriptedMsgBox()
{
    previous_ = SetMsgHandler([this](const MsgShown& m) {
        shown_.push_back(m);
        if (answers_.empty()) return SafeAnswer(m.buttons);
        const MsgResult r = answers_.front();
        answers_.erase(answers_.begin());
        return r;
    });
    previousBeep_ = SetBeepHandler([this] { ++beeps_; });
}

ScriptedMsgBox::~ScriptedMsgBox()
{
    SetMsgHandler(std::move(previous_));
    SetBeepHandler(std::move(previousBeep_));
}
