// Whether the desktop draws translucent windows. Kept apart from the rest of
// the desktop layer: the X11 headers define macros (None, Bool, Status) that
// collide with ordinary names.
#include "platform/ui/Desktop.h"
#include "platform/ui/Session.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#if __has_include(<X11/Xlib.h>) && defined(SOMNEX_HAVE_X11)
#include <X11/Xlib.h>
#define SOMNEX_XLIB 1
#endif

namespace somnex {

namespace {
int g_compositingOverride = -1;
} // namespace

void setCompositingOverride(int available)
{
    g_compositingOverride = available;
}

bool CompositingAvailable()
{
    if (g_compositingOverride >= 0)
        return g_compositingOverride != 0;
    const QString platform = QGuiApplication::platformName();
    // A Wayland compositor is the display server itself.
    if (platform.startsWith(QLatin1String("wayland")))
        return true;
#ifdef SOMNEX_XLIB
    if (platform == QLatin1String("xcb")) {
        auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        Display *dpy = x11 ? x11->display() : nullptr;
        if (!dpy)
            return false;
        // A compositing manager owns the selection _NET_WM_CM_S<screen>.
        const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(dpy));
        const Atom atom = XInternAtom(dpy, name.constData(), False);
        return XGetSelectionOwner(dpy, atom) != 0;
    }
#endif
    return false;
}

bool X11NotificationAreaPresent()
{
#ifdef SOMNEX_XLIB
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        Display *dpy = x11 ? x11->display() : nullptr;
        if (!dpy)
            return false;
        const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(DefaultScreen(dpy));
        return XGetSelectionOwner(dpy, XInternAtom(dpy, name.constData(), False)) != 0;
    }
#endif
    return false;
}

} // namespace somnex
