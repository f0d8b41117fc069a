#pragma once
// What the diary refuses of an entry and how it keeps the rest.

#include "diary/Entry.h"

namespace somnex::diary::store {

// The entry as it is stored: moment to whole seconds in its own offset, kinds
// and tags each once, tags trimmed, the night and the mark's date set.
// Throws somnex::Error (kErrorBadValue) for a bad moment (invalid, outside
// the years kFirstYear to kLastYear, an offset beyond ±18 h), a text or title
// too long or with broken characters, a scale or a place out of range.
Entry normalised(Entry e);

} // namespace somnex::diary::store
