#include "appstate/AppState.h"

#include "support/QtPrint.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace somnex;

TEST(Startup, TrayOptionAnywhereInAnyCase)
{
    struct Case {
        const char *cmd;
        bool tray;
    };
    const Case cases[] = {
        {"/tray", true}, {"/TRAY", true}, {"-x /Tray", true}, {"--foo/tRaYbar", true},
        {"/tra", false}, {"", false},     {"tray", false},    {"/ tray", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CommandLineWantsTray(QString::fromUtf8(c.cmd)), c.tray) << c.cmd;
}

TEST(Startup, MainGeometryDefaultsAndCorrections)
{
    const double nan = std::nan("");
    const double sw = 19200, sh = 14400; // 1280 x 960 pixels
    struct Case {
        const char *what;
        double top, left, height, width;
        TwipRect want;
    };
    const Case cases[] = {
        {"fresh profile: 4100 x 6100 centred", nan, nan, nan, nan, {9600 - 2050, 7200 - 3050, 4100, 6100}},
        {"stored values kept", 300, 450, 7000, 5000, {450, 300, 5000, 7000}},
        {"top 0 centres vertically", 0, 450, 7000, 5000, {450, 7200 - 3500, 5000, 7000}},
        {"negative left centres horizontally", 300, -20, 7000, 5000, {9600 - 2500, 300, 5000, 7000}},
        {"narrow width becomes 3500", 300, 450, 7000, 2000, {450, 300, 3500, 7000}},
        {"low height becomes 4000", 300, 450, 100, 5000, {450, 300, 5000, 4000}},
        {"wider than the screen", 300, 450, 7000, 30000, {450, 300, sw - 90, 7000}},
        {"taller than the screen", 300, 450, 20000, 5000, {450, 300, 5000, sh - 90}},
        // centring uses the stored size, before the size corrections
        {"centred before the minimum applies", 0, 0, 100, 100, {9600 - 50, 7200 - 50, 3500, 4000}},
    };
    for (const auto &c : cases) {
        const TwipRect g = LoadMainGeometry(c.top, c.left, c.height, c.width, sw, sh);
        EXPECT_DOUBLE_EQ(g.left, c.want.left) << c.what;
        EXPECT_DOUBLE_EQ(g.top, c.want.top) << c.what;
        EXPECT_DOUBLE_EQ(g.width, c.want.width) << c.what;
        EXPECT_DOUBLE_EQ(g.height, c.want.height) << c.what;
    }
}

TEST(TextFitting, IfLongAndWhatLong)
{
    const QString word30 = QString(30, QChar(u'ж'));
    EXPECT_EQ(IfLong(word30, 22), QString(21, QChar(u'ж')) + "...");
    const QString word22 = QString(22, QChar(u'ж'));
    EXPECT_EQ(IfLong(word22, 22), word22);
    EXPECT_EQ(IfLong("Вода", 20), "Вода");
    EXPECT_EQ(IfLong("abc", 0), "...");
    EXPECT_EQ(WhatLong(1700 + 255 + 90, 255, 90), 20);
    EXPECT_EQ(WhatLong(1784, 0, 0), 20) << "rounded down";
    EXPECT_EQ(WhatLong(100, 255, 90), -3) << "a window narrower than the label";
    EXPECT_EQ(WhatLong(1e9, 0, 0), 32767) << "kept in 16 bits";
}

TEST(Layout, ClosedPanelKeepsItsHeaderHeightAndOpenPanelTakesTheRest)
{
    for (bool literature : {false, true}) {
        for (double H : {4000.0, 6100.0, 9000.0, 15000.0}) {
            const double W = 4100;
            const MainLayout m = LayoutMain(W, H, 0, 660, 345, literature, 1000, 200);
            const TwipRect &closed = literature ? m.dictionary : m.literature;
            const TwipRect &open = literature ? m.literature : m.dictionary;
            EXPECT_DOUBLE_EQ(closed.height, kClosedPanelHeight);
            EXPECT_DOUBLE_EQ(m.literature.top, 660 + 15);
            EXPECT_DOUBLE_EQ(m.dictionary.top, m.literature.top + m.literature.height - 15) << "15-twip overlap";
            EXPECT_DOUBLE_EQ(open.height, H - (660 + 15) - 345 - 315);
            EXPECT_DOUBLE_EQ(m.dictionary.top + m.dictionary.height, H - 345) << "panels end at the status strip";
            EXPECT_DOUBLE_EQ(m.status.top, H - 345);
            EXPECT_DOUBLE_EQ(m.literature.width, W + 15);
            EXPECT_DOUBLE_EQ(m.dictionary.width, W);
            EXPECT_DOUBLE_EQ(m.aboutLink.left, W - 1300);
            EXPECT_DOUBLE_EQ(m.aboutShadow.left, W - 1300 + 15);
            EXPECT_DOUBLE_EQ(m.aboutPicture.left, W - 1300 - 250);
        }
    }
}

TEST(Startup, TheDefaultSizeGrowsWithTheRunningFont)
{
    struct Case {
        double letter, line, scale;
        const char *what;
    };
    const Case cases[] = {
        {6, 13, 1.0, "the design font"},
        {5, 11, 1.0, "a smaller font never shrinks the window"},
        {7, 16, 16.0 / 13, "DejaVu Sans 10 pt: its line height rules"},
        {9, 14, 1.5, "wide letters rule"},
        {std::nan(""), 13, 1.0, "no metrics"},
        {1e9, 1e9, 4.0, "absurd metrics are capped"},
    };
    for (const Case &c : cases)
        EXPECT_DOUBLE_EQ(FontScale(c.letter, c.line), c.scale) << c.what;

    const double nan = std::nan("");
    const TwipRect area{0, 0, 19200, 13500};
    const TwipRect grown = LoadMainGeometry(nan, nan, nan, nan, area, 1.25);
    EXPECT_DOUBLE_EQ(grown.width, 4100 * 1.25);
    EXPECT_DOUBLE_EQ(grown.height, 6100 * 1.25);
    EXPECT_DOUBLE_EQ(grown.left, 9600 - 4100 * 1.25 / 2) << "still centred";
    const TwipRect stored = LoadMainGeometry(100, 100, 5000, 3600, area, 1.25);
    EXPECT_DOUBLE_EQ(stored.width, 3600) << "the user's own size is kept";
    EXPECT_DOUBLE_EQ(stored.height, 5000);
}

TEST(Startup, TheWindowIsPlacedOnTheScreensAsTheyAreNow)
{
    const double nan = std::nan("");
    // 1280 x 870 available below a 30-pixel top panel
    const TwipRect area{0, 450, 19200, 13050};
    const TwipRect fresh = LoadMainGeometry(nan, nan, nan, nan, area);
    EXPECT_DOUBLE_EQ(fresh.top, 450 + 13050 / 2.0 - 6100 / 2.0) << "centred in the available area, below the panel";
    EXPECT_DOUBLE_EQ(fresh.left, 9600 - 2050);
    const TwipRect leftPanel = LoadMainGeometry(0, 0, 6100, 4100, TwipRect{720, 0, 18480, 13500});
    EXPECT_DOUBLE_EQ(leftPanel.left, 720 + 9240 - 2050);

    const TwipRect primary{0, 450, 19200, 13050};
    const std::vector<TwipRect> screens{primary, {19200, 0, 15360, 11520}};
    struct Case {
        const char *what;
        TwipRect stored;
        bool moved;
    } cases[] = {
        {"on the primary screen", {3000, 3000, 4100, 6100}, false},
        {"on the second screen", {25000, 2000, 4100, 6100}, false},
        {"on a monitor that was unplugged", {40000, 2000, 4100, 6100}, true},
        {"far below every screen", {3000, 30000, 4100, 6100}, true},
        {"title bar under the top panel only", {3000, -6000, 4100, 6100}, true},
        {"only a sliver at the left edge", {-4000, 3000, 4100, 6100}, true},
        {"half off the right edge", {17000, 3000, 4100, 6100}, false},
    };
    for (const Case &c : cases) {
        const TwipRect g = KeepOnScreens(c.stored, {primary}, primary);
        const TwipRect g2 = KeepOnScreens(c.stored, screens, primary);
        if (std::string(c.what) == "on the second screen") {
            EXPECT_DOUBLE_EQ(g2.left, c.stored.left) << c.what;
            EXPECT_NE(g.left, c.stored.left) << c.what << ": with one screen it moves";
            continue;
        }
        EXPECT_EQ(g2.left != c.stored.left || g2.top != c.stored.top, c.moved) << c.what;
        if (c.moved) {
            EXPECT_DOUBLE_EQ(g2.left, (19200 - 4100) / 2.0) << c.what;
            EXPECT_DOUBLE_EQ(g2.top, 450 + (13050 - 6100) / 2.0) << c.what;
            EXPECT_DOUBLE_EQ(g2.width, 4100) << c.what;
        }
    }
}
