#pragma once
// The autostart entry that starts the program in the tray with the desktop
// session: the value "ZULSomnex3" of the current user's Run key, whose data
// is this program's path followed by " /tray".

#include "platform/core/Identity.h"

#include <QString>

namespace somnex {

// The command the entry starts: the executable (quoted when needed) and /tray.
QString AutostartCommand(const QString &exePath);
// Enable writes the entry, disable removes it; registry errors are raised.
void SetAutostart(bool enable);
// The entry exists and the desktop's settings have not turned it off.
bool IsAutostart();
// False for an entry marked Hidden=true or X-GNOME-Autostart-enabled=false.
bool AutostartEntryEnabled(const QString &entryText);

} // namespace somnex
