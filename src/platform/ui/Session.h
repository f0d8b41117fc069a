#pragma once
// What the desktop session lets the program do with its own windows. On
// Wayland the compositor places every top-level window (a move is ignored and
// the position read back means nothing), the pointer's position is known only
// over our own windows, and a whole window cannot be made translucent. On
// X11 the program may do all three (translucency wants a compositing
// manager).

#include <QByteArray>
#include <QString>

namespace somnex {

struct SessionTraits {
    bool placesWindows = true;      // move() puts a top-level window where asked
    bool knowsPointer = true;       // QCursor::pos() is the pointer anywhere on the screen
    bool translucentWindows = true; // setWindowOpacity() is carried out
    // Why the menu's translucency cannot be had, in Russian; empty when it can.
    QString translucencyNote;
};

// The traits of a session on the given Qt platform ("xcb", "wayland",
// "wayland-egl", "offscreen"…) with or without a compositing manager.
SessionTraits SessionTraitsFor(const QString &platformName, bool compositing);
// The running session's: the application's platform and CompositingAvailable().
SessionTraits CurrentSessionTraits();
// Tests may pretend another platform; an empty name asks the application.
void setSessionPlatformOverride(const QString &platformName);

// Whether a panel shows notification-area icons: a StatusNotifierWatcher
// with a host on the session bus (asked anew each time), or on X11 an owner
// of the notification-area selection _NET_SYSTEM_TRAY_S<screen>.
bool StatusNotifierHostPresent();
bool X11NotificationAreaPresent();

// A launcher's activation token as a later start passes it on: printable
// ASCII without blanks, at most 4096 characters. Anything else is refused.
bool IsActivationToken(const QByteArray &token);
// Hands a valid token to the windowing system for the next window
// activation (the XDG_ACTIVATION_TOKEN variable the Wayland platform reads
// when it activates a window); an invalid or empty one changes nothing.
// True when the token was taken.
bool UseActivationToken(const QByteArray &token);

} // namespace somnex
