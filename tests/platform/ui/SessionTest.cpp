// What each kind of desktop session lets the program do, and which launcher
// tokens a later start may hand on.
#include "platform/ui/Session.h"

#include "support/QtPrint.h"

#include <gtest/gtest.h>

using namespace somnex;

TEST(Session, TraitsFollowThePlatformAndTheCompositor)
{
    const QString noCompositor = QStringLiteral(" (требуется композитный менеджер окон)");
    const QString wayland = QStringLiteral(" (в сеансе Wayland прозрачность окон недоступна)");
    struct Case {
        const char *platform;
        bool compositing;
        bool places, pointer, translucent;
        QString note;
    };
    const Case cases[] = {
        {"xcb", true, true, true, true, {}},
        {"xcb", false, true, true, true, noCompositor},
        {"wayland", true, false, false, false, wayland},
        {"wayland-egl", true, false, false, false, wayland},
        {"wayland", false, false, false, false, wayland},
        {"offscreen", false, true, true, true, noCompositor},
    };
    for (const Case &c : cases) {
        const SessionTraits t = SessionTraitsFor(QString::fromLatin1(c.platform), c.compositing);
        SCOPED_TRACE(std::string(c.platform) + (c.compositing ? " with" : " without") + " compositing");
        EXPECT_EQ(t.placesWindows, c.places);
        EXPECT_EQ(t.knowsPointer, c.pointer);
        EXPECT_EQ(t.translucentWindows, c.translucent);
        EXPECT_EQ(t.translucencyNote, c.note);
    }
}

TEST(Session, OnlyPlainTokensAreHandedOn)
{
    struct Case {
        QByteArray token;
        bool taken;
    };
    const Case cases[] = {
        {"kwin-4711_abc:def", true},
        {"c5e6a3d2-9f0e-4b1a-8d7c-0123456789ab", true},
        {QByteArray(4096, 'a'), true},
        {QByteArray(4097, 'a'), false},
        {"", false},
        {"two words", false},
        {"line\nbreak", false},
        {QByteArray("nul\0x", 5), false},
        {"\xd1\x82\xd0\xbe\xd0\xba\xd0\xb5\xd0\xbd", false}, // not ASCII
    };
    for (const Case &c : cases) {
        qputenv("XDG_ACTIVATION_TOKEN", "before");
        EXPECT_EQ(UseActivationToken(c.token), c.taken) << c.token.left(40).toStdString();
        EXPECT_EQ(qgetenv("XDG_ACTIVATION_TOKEN"), c.taken ? c.token : QByteArray("before"));
    }
    qunsetenv("XDG_ACTIVATION_TOKEN");
}
