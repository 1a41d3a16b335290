// The process-wide state above the core and how each piece goes back to its state at start. The
// main window keeps its flags as members (a new main window starts afresh); the bonus results of
// a recalculation belong to that recalculation.
#include "app/resets.h"

#include "app/TfmDataEdit.h"
#include "app/TfmListEdit.h"
#include "app/TfmSeqNo.h"
#include "platform/resets.h"
#include "print/dispatch.h"
#include "print/ui/TfmPreView.h"

namespace {
void resetWindowFlags()
{
    TfmDataEdit::AskMembView = true;
    PreViewButtons = true;
    TfmSeqNo::ShowDragHint = true;
    TfmListEdit::FirstShow = true;
}
}  // namespace

void RegisterGlobalResets()
{
    RegisterGlobalReset(&ResetPrintState);
    RegisterGlobalReset(&resetWindowFlags);
}
