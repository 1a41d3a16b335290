// The replaceable clock.
#include "platform/clock.h"

namespace {
std::function<QDateTime()>& theClock()
{
    static std::function<QDateTime()> c;
    return c;
}
}  // namespace

QDateTime Now()
{
    return theClock() ? theClock()() : QDateTime::currentDateTime();
}

std::function<QDateTime()> SetClock(std::function<QDateTime()> c)
{
    auto old = std::move(theClock());
    theClock() = std::move(c);
    return old;
}
