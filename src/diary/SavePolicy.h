#pragma once
// When a dream being written goes to disk. Soon after the writer pauses, and
// never later than a second after the first change not yet stored, however
// long the typing goes on without a pause: a process killed at any moment
// loses at most the last second typed. A failed write is tried again after
// a while, not at every keystroke (a full disk would be asked hundreds of
// times a minute).
//
// Times are milliseconds of a monotonic clock, given by the caller.

#include <QtGlobal>

#include <optional>

namespace somnex::diary {

class SavePolicy {
public:
    static constexpr qint64 kPauseMs = 400;    // a pause in typing that saves
    static constexpr qint64 kMaxWaitMs = 1000; // the longest a change stays unsaved
    static constexpr qint64 kRetryMs = 5000;   // after a failed write

    // A change at now; the moment the save is due.
    qint64 changed(qint64 now);
    // The write succeeded: nothing is waiting.
    void saved();
    // The write failed at now; the moment it is tried again.
    qint64 failed(qint64 now);
    // Whether a change waits to be written, and since when.
    bool pending() const { return firstUnsaved_.has_value(); }
    std::optional<qint64> firstUnsaved() const { return firstUnsaved_; }

private:
    std::optional<qint64> firstUnsaved_;
    std::optional<qint64> retryAt_;
};

} // namespace somnex::diary
