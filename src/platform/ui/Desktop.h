#pragma once
// Desktop services that need the GUI: the message box handler, the keyboard
// layout switch, opening web pages and the system's date and time settings.

#include <QString>

class QWidget;

namespace somnex {

// Installs the handler that shows every message as a real QMessageBox.
void InstallMessageBoxes();

// Name of the active keyboard layout in the Windows form the program uses
// ("00000419" for Russian, "00000409" for US English), empty when unknown.
QString ActiveKeyboardLayoutName();
// Makes the named layout active when the user has it configured (X11 with
// XKB); true when it is active afterwards. Where no switch is possible the
// request counts as done.
bool SwitchKeyboardLayout(const QString &name);
// Switches the program's keyboard to Russian.
void SetRus();

// Whether the desktop draws translucent windows: on X11 when a compositing
// manager runs (it owns the selection _NET_WM_CM_S<screen>), always on
// Wayland (where whole windows still cannot be made translucent: see
// Session.h). Tests may pretend either way (1 or 0; -1 asks the desktop).
bool CompositingAvailable();
void setCompositingOverride(int available);

// Opens a web page in the user's browser; false when nothing could open it.
bool OpenUrl(const QString &url);

// Starts the desktop's date, time and time-zone settings; false when no
// settings program was found.
bool OpenDateTimeSettings();

} // namespace somnex
