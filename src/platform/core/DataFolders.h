#pragma once
// The per-user data folder the program keeps its own files in (the user's
// books, the dream diary).

#include <QString>

namespace somnex {

// $XDG_DATA_HOME/ZUL Programming/ZUL Somnex/3.1, or ~/.local/share/... when
// the variable is unset or not an absolute path. Not created here.
QString userDataFolder();

} // namespace somnex
