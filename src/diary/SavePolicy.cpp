#include "diary/SavePolicy.h"

#include <algorithm>

namespace somnex::diary {

qint64 SavePolicy::changed(qint64 now)
{
    if (!firstUnsaved_)
        firstUnsaved_ = now;
    const qint64 due = std::min(now + kPauseMs, *firstUnsaved_ + kMaxWaitMs);
    return retryAt_ ? std::max(due, *retryAt_) : std::max(due, now);
}

void SavePolicy::saved()
{
    firstUnsaved_.reset();
    retryAt_.reset();
}

qint64 SavePolicy::failed(qint64 now)
{
    if (!firstUnsaved_)
        firstUnsaved_ = now;
    retryAt_ = now + kRetryMs;
    return *retryAt_;
}

} // namespace somnex::diary
