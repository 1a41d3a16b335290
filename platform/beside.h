// Work run beside the event loop: a transfer that waits in place runs on a thread of its own while
// the window thread goes on painting and taking input.
#pragma once
#include <functional>

// Runs work on a thread of its own and returns when it has ended. Meanwhile this thread turns its
// event loop and calls tick every everyMs milliseconds (not before the first interval, nor after
// the end): the place to show progress and pass a cancel on to the work.
void RunBesideEventLoop(const std::function<void()>& work, const std::function<void()>& tick,
                        int everyMs = 50);
