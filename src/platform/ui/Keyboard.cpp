// Keyboard layout switching over XKB. Kept apart: the X11 headers define
// macros (None, Bool, Status) that collide with ordinary names.
#include "platform/ui/Desktop.h"

#include <QGuiApplication>
#include <QStringList>
#include <QtGui/qguiapplication_platform.h>

#if __has_include(<X11/XKBlib.h>) && defined(SOMNEX_HAVE_X11)
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#define SOMNEX_XKB 1
#endif

namespace somnex {

namespace {

#ifdef SOMNEX_XKB
Display *x11Display()
{
    if (auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr)
        return x11->display();
    return nullptr;
}

// The layout names (symbols group names such as "Russian", "English (US)")
// of the user's configured XKB groups.
QStringList groupNames(Display *dpy)
{
    QStringList names;
    XkbDescPtr desc = XkbAllocKeyboard();
    if (!desc)
        return names;
    if (XkbGetNames(dpy, XkbGroupNamesMask, desc) == Success && desc->names) {
        for (int g = 0; g < XkbNumKbdGroups; ++g) {
            const Atom a = desc->names->groups[g];
            if (a == None)
                break;
            char *n = XGetAtomName(dpy, a);
            names << QString::fromUtf8(n ? n : "");
            if (n)
                XFree(n);
        }
    }
    XkbFreeKeyboard(desc, 0, True);
    return names;
}

int currentGroup(Display *dpy)
{
    XkbStateRec st{};
    if (XkbGetState(dpy, XkbUseCoreKbd, &st) != Success)
        return -1;
    return st.group;
}
#endif

// Maps a layout's XKB group name to the Windows layout name.
QString windowsNameFor(const QString &groupName)
{
    const QString n = groupName.toLower();
    if (n.startsWith(QLatin1String("russian")) || n == QLatin1String("ru"))
        return QStringLiteral("00000419");
    if (n.startsWith(QLatin1String("english")) || n == QLatin1String("us"))
        return QStringLiteral("00000409");
    if (n.startsWith(QLatin1String("ukrainian")))
        return QStringLiteral("00000422");
    if (n.startsWith(QLatin1String("belarusian")))
        return QStringLiteral("00000423");
    return QString();
}

} // namespace

QString ActiveKeyboardLayoutName()
{
#ifdef SOMNEX_XKB
    if (Display *dpy = x11Display()) {
        const QStringList names = groupNames(dpy);
        const int g = currentGroup(dpy);
        if (g >= 0 && g < names.size())
            return windowsNameFor(names[g]);
    }
#endif
    return QString();
}

bool SwitchKeyboardLayout(const QString &name)
{
#ifdef SOMNEX_XKB
    Display *dpy = x11Display();
    if (!dpy)
        return true;
    const QStringList names = groupNames(dpy);
    const int cur = currentGroup(dpy);
    if (cur >= 0 && cur < names.size() && windowsNameFor(names[cur]) == name)
        return true;
    for (int g = 0; g < names.size(); ++g) {
        if (windowsNameFor(names[g]) == name) {
            XkbLockGroup(dpy, XkbUseCoreKbd, static_cast<unsigned>(g));
            XSync(dpy, False);
            return currentGroup(dpy) == g;
        }
    }
    return true; // the user has no such layout configured: nothing to switch
#else
    Q_UNUSED(name);
    return true;
#endif
}

void SetRus()
{
    SwitchKeyboardLayout(QStringLiteral("00000419"));
}

} // namespace somnex
