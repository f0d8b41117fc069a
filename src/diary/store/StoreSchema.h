#pragma once
// The diary file itself: its schema and the steps from older ones, the
// checks that keep a foreign, cut or newer file untouched, and making a new
// file so that no process ever sees one half-made.

#include <QString>

namespace somnex::diary::store {

class StoreConnection;

// Opens the existing file at c.path for reading and writing after checking
// it, bringing an older schema up to date (a copy taken first). Throws
// somnex::Error (kErrorUnreadable, kErrorDamaged, kErrorForeign, kErrorNewer,
// kErrorWrite); the connection is closed then.
void openFile(StoreConnection &c);

// Makes a new, empty diary at path (its folder too) and links it into place;
// when another process linked its own first, that one stays. Throws
// somnex::Error (kErrorWrite).
void createFile(const QString &path);

} // namespace somnex::diary::store
