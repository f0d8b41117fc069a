#pragma once
// The time of day as the program reads it: the system's clock, or, in
// tests, a clock of their own that they set and move (a reminder through a
// day, a night that began yesterday, a clock set back).

#include <QDate>
#include <QDateTime>

namespace somnex {

class Clock {
public:
    virtual ~Clock() = default;
    // The current moment, local time with the system's zone.
    virtual QDateTime now() const = 0;

    QDate today() const { return now().date(); }
    QDateTime nowUtc() const { return now().toUTC(); }
    qint64 msecsSinceEpoch() const { return now().toMSecsSinceEpoch(); }

    // The clock the program reads: the system's unless one was put in place.
    static const Clock &current();
    // Puts a clock in place (not owned; it must outlive its use), or, with
    // nullptr, the system's back. Any thread may read the clock meanwhile.
    static void use(const Clock *clock);
};

// A clock that stands still until it is set or moved.
class SettableClock : public Clock {
public:
    explicit SettableClock(const QDateTime &at) : at_(at) {}
    QDateTime now() const override { return at_; }
    void set(const QDateTime &at) { at_ = at; }
    void advance(qint64 seconds) { at_ = at_.addSecs(seconds); }

private:
    QDateTime at_;
};

// A settable clock in place for the life of a scope (tests).
class ClockScope {
public:
    explicit ClockScope(const Clock &clock) { Clock::use(&clock); }
    ~ClockScope() { Clock::use(nullptr); }
    ClockScope(const ClockScope &) = delete;
    ClockScope &operator=(const ClockScope &) = delete;
};

} // namespace somnex
