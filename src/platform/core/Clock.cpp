#include "platform/core/Clock.h"

#include <atomic>

namespace somnex {

namespace {

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

const SystemClock kSystem;
std::atomic<const Clock *> placed{nullptr};

} // namespace

const Clock &Clock::current()
{
    const Clock *c = placed.load(std::memory_order_acquire);
    return c ? *c : kSystem;
}

void Clock::use(const Clock *clock)
{
    placed.store(clock, std::memory_order_release);
}

} // namespace somnex
