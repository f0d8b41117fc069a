#pragma once
// The errors the diary's store throws, worded once (DiaryStore.h numbers them).

#include "platform/error/Error.h"

#include <QString>

namespace somnex::diary::store {

// The file's trouble: what it is (the number) and why, with the file named.
Error fileError(long number, const QString &path, const QString &why);
// Any other error of the store, its text as given.
Error storeError(long number, const QString &text);
// An entry's value the file cannot take.
Error badValue(const QString &why);
// No entry with this id.
Error notFound(const QString &id);
// A failed SQLite call while opening or reading: damaged, foreign or unreadable.
Error readError(const QString &path, int rc, const char *message, int systemErrno = 0);

} // namespace somnex::diary::store
