// The registered resets of process-wide state.
#include "platform/resets.h"

#include <algorithm>
#include <vector>

namespace {
std::vector<GlobalReset>& resets()
{
    static std::vector<GlobalReset> list;
    return list;
}
}  // namespace

void RegisterGlobalReset(GlobalReset reset)
{
    if (reset && std::find(resets().begin(), resets().end(), reset) == resets().end())
        resets().push_back(reset);
}

void RunGlobalResets()
{
    for (GlobalReset reset : resets()) reset();
}
