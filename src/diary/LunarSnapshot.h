#pragma once
// The lunar snapshot of a dream: the lunar day of its moment at its place and
// the three fulfilment texts, computed by the calendar's engine as the
// calendar window computes them, but with the moment turned into universal
// time by the dream's own offset, not by the machine's zone.

#include "diary/Entry.h"

namespace somnex::diary {

// The years a dream's moment may lie in (the calendar's range).
inline constexpr int kFirstYear = 1601;
inline constexpr int kLastYear = 9999;

// The snapshot of a local moment (Qt::OffsetFromUTC, or any QDateTime: its
// offset from UTC at that moment is used) at a place. Without a place only
// the weekday and month-day texts are filled. When the astronomy engine fails
// (at the ends of its range) the lunar day is left not found; nothing is
// thrown. An invalid moment gives an empty snapshot.
LunarSnapshot computeSnapshot(const QDateTime &at, const std::optional<Place> &place);

// The snapshots of many moments at once (an import, a benchmark's diary):
// each the same as computeSnapshot gives, but the lunar days of one place
// are found lunation by lunation, each lunation once.
struct DatedPlace {
    QDateTime at;
    std::optional<Place> place;
};
QList<LunarSnapshot> computeSnapshots(const QList<DatedPlace> &moments);

} // namespace somnex::diary
