// The program's clock: log stamps, creation stamps and "today" come from here so that tests can
// set the time.
#pragma once
#include <QDate>
#include <QDateTime>
#include <functional>

QDateTime Now();
inline QDate Today()
{
    return Now().date();
}
// Replaces the clock; an empty function restores the system clock. Returns the previous one.
std::function<QDateTime()> SetClock(std::function<QDateTime()> clock);

// Sets a fixed time while it lives (tests).
class FixedClock {
  public:
    explicit FixedClock(const QDateTime& t) : previous_(SetClock([t] { return t; })) {}
    ~FixedClock() { SetClock(previous_); }
    FixedClock(const FixedClock&) = delete;
    FixedClock& operator=(const FixedClock&) = delete;

  private:
    std::function<QDateTime()> previous_;
};
