#pragma once
// Synthetic dreams for benchmarks: plausible Russian texts, moments, tags,
// kinds and marks drawn from a seeded generator, so that every run of a
// benchmark measures the same diary.

#include "diary/Entry.h"

#include <QList>

namespace somnex::diary {

// count entries drawn from seed: moments from 2000 to 2026 in offsets of
// the Russian zones, texts of 20 to 200 words from a fixed vocabulary (with
// word forms, so that search by form has something to find), titles on about
// half of them, a few tags, kinds and marks, and the place of Moscow.
QList<Entry> syntheticEntries(int count, quint32 seed);

} // namespace somnex::diary
