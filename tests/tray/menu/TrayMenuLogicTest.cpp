// The menu's window-free rules: unwanted words, item order and keyboard
// positions, completion, the idle counter.
#include "tray/menu/TrayMenuLogic.h"

#include "support/QtPrint.h"

#include <gtest/gtest.h>

using namespace somnex::tray;

TEST(TrayMenuLogic, IsMatMatchesFragmentsAnywhereAfterTrimmingAndLowering)
{
    struct Case {
        const char *word;
        bool mat;
        const char *normalised;
    };
    const Case cases[] = {
        {"ёбарь", true, "ёбарь"},
        {"  ЁБ  ", true, "ёб"},
        {"Заебали", true, "заебали"},
        {"ебу", true, "ебу"},
        {"НЕБЛАГО", true, "неблаго"}, // "ебл" inside an ordinary word counts
        {"Бляха", true, "бляха"},
        {"сукА", true, "сука"},
        {"Педираст", true, "педираст"},
        {"педарас", true, "педарас"},
        {"ПИДАР", true, "пидар"},
        {"хуево", true, "хуево"},
        {"пизда", true, "пизда"},
        {"ХУЙ", true, "хуй"},
        {"Собака", false, "собака"},
        {"  Вода ", false, "вода"},
        {"еб", false, "еб"},       // a fragment shorter than any pattern
        {"сук а", false, "сук а"}, // blanks inside the word are kept
        {"хyй", false, "хyй"},     // a Latin y is not the Cyrillic letter
        {"", false, ""},
    };
    for (const Case &c : cases) {
        QString w = QString::fromUtf8(c.word);
        EXPECT_EQ(IsMat(w), c.mat) << c.word;
        EXPECT_EQ(w, QString::fromUtf8(c.normalised)) << c.word;
    }
}

TEST(TrayMenuLogic, KeyboardPositionCyclesThroughFiveItems)
{
    struct Case {
        std::int16_t from;
        int delta;
        std::int16_t to;
        const char *shown;
    };
    const Case cases[] = {
        {0, -1, 1, "Развернуть"}, // Up as the first key: the first item
        {0, +1, 1, "Развернуть"},  {-1, -1, 1, "Развернуть"}, {1, -1, 5, "Выход"},
        {5, +1, 1, "Развернуть"},  {2, +1, 3, "Настройки"}, // third on screen, Label18(3)
        {3, +1, 4, "О программе"}, {4, -1, 3, "Настройки"},
    };
    for (const Case &c : cases) {
        const std::int16_t p = StepPosition(c.from, c.delta);
        EXPECT_EQ(p, c.to) << c.from << " " << c.delta;
        EXPECT_STREQ(ItemAtPosition(p).caption, c.shown) << c.from << " " << c.delta;
    }
    for (std::int16_t outside : {std::int16_t(0), std::int16_t(6), std::int16_t(-3), std::int16_t(32767)})
        EXPECT_STREQ(ItemAtPosition(outside).caption, "Развернуть") << outside;
}

TEST(TrayMenuLogic, CompletionFromTheSelectedWord)
{
    struct Case {
        const char *typed;
        int caret;
        bool selection;
        const char *word;
        bool completes;
        const char *text;
        int start;
        int length;
    };
    const Case table[] = {
        {"вор", 3, false, "Ворона", true,
         "вор"
         "она",
         3, 3}, // the typed case stays
        {"В", 1, false, "Вода", true, "Вода", 1, 3},
        {"ВОДА", 4, false, "Вода", false, "", 0, 0}, // already whole
        {"вол", 3, false, "Вода", false, "", 0, 0},  // list kept an older match
        {"", 0, false, "Вода", false, "", 0, 0},
        {"вод", 3, false, "", false, "", 0, 0},          // empty list
        {"вд", 1, false, "Вода", false, "", 0, 0},       // caret inside the word
        {"Вода", 1, true, "Водоросли", false, "", 0, 0}, // typing over a selection
        {"водаа", 5, false, "Вода", false, "", 0, 0},    // longer than the word
    };
    for (const Case &c : table) {
        const auto r = Complete(QString::fromUtf8(c.typed), c.caret, c.selection, QString::fromUtf8(c.word));
        ASSERT_EQ(r.has_value(), c.completes) << c.typed << " / " << c.word;
        if (!r)
            continue;
        EXPECT_EQ(r->text, QString::fromUtf8(c.text)) << c.typed;
        EXPECT_EQ(r->selectionStart, c.start) << c.typed;
        EXPECT_EQ(r->selectionLength, c.length) << c.typed;
    }
}

TEST(TrayMenuLogic, IdleCounterClosesAfterTheHundredthTickUnlessHeld)
{
    IdleCounter idle;
    for (int i = 1; i <= 99; ++i)
        ASSERT_FALSE(idle.tick(false, false)) << i;
    EXPECT_TRUE(idle.tick(false, false)) << "tick 100";
    EXPECT_TRUE(idle.tick(false, false)) << "stays due, no overflow";

    struct Case {
        bool word;
        bool inside;
    };
    for (const Case c : {Case{true, false}, Case{false, true}, Case{true, true}}) {
        IdleCounter held;
        for (int i = 0; i < 1000; ++i)
            ASSERT_FALSE(held.tick(c.word, c.inside)) << c.word << c.inside << i;
        EXPECT_EQ(held.count(), 1);
    }

    IdleCounter reset;
    for (int i = 0; i < 99; ++i)
        reset.tick(false, false);
    reset.reset();
    for (int i = 0; i < 99; ++i)
        ASSERT_FALSE(reset.tick(false, false)) << i;
}

TEST(TrayMenuLogic, KnowingTheIconTheMenuNeverCoversItsPanel)
{
    const QSize menu(151, 150);
    const QRect screen(0, 0, 1280, 900);
    struct Case {
        const char *what;
        QRect area, icon;
        QPoint pointer, topLeft;
    } cases[] = {
        {"top panel reserving no space: below the icon", screen, {1180, 2, 24, 24}, {1190, 12}, {1039, 28}},
        {"top panel reserving its space", {0, 30, 1280, 870}, {1180, 2, 24, 24}, {1190, 12}, {1039, 30}},
        {"bottom panel reserving no space: above the icon", screen, {1180, 874, 24, 24}, {1190, 880}, {1039, 722}},
        {"left panel: to its right", screen, {2, 500, 24, 24}, {12, 510}, {28, 360}},
        {"right panel near the top: to its left, on the screen", screen, {1254, 10, 24, 24}, {1264, 20}, {1101, 0}},
        {"unknown icon: as without", {0, 0, 1280, 870}, {}, {1200, 880}, {1049, 720}},
    };
    for (const Case &c : cases) {
        const QPoint p = MenuPosition(c.pointer, menu, c.area, screen, c.icon);
        EXPECT_EQ(p, c.topLeft) << c.what;
        EXPECT_TRUE(c.area.contains(QRect(p, menu))) << c.what;
        if (c.icon.isValid()) {
            EXPECT_FALSE(QRect(p, menu).intersects(c.icon)) << c.what;
        }
    }
    EXPECT_EQ(IconArea({}, {100, 100}), QRect(84, 84, 32, 32));
    EXPECT_EQ(IconArea({5, 6, 7, 8}, {100, 100}), QRect(5, 6, 7, 8));
}

TEST(TrayMenuLogic, TheMenuStaysOnTheScreenUnderThePointer)
{
    const QSize menu(151, 150);
    struct Case {
        const char *what;
        QRect area;
        QPoint pointer, topLeft;
    } cases[] = {
        {"panel at the bottom: above and to the left", {0, 0, 1280, 870}, {1200, 880}, {1049, 720}},
        {"panel at the top: below the pointer", {0, 30, 1280, 870}, {1200, 12}, {1049, 30}},
        {"top panel, pointer below its edge", {0, 30, 1280, 870}, {1200, 40}, {1049, 40}},
        {"right edge: to the left", {0, 30, 1280, 870}, {1279, 12}, {1128, 30}},
        {"left edge: to the right", {0, 30, 1280, 870}, {5, 12}, {5, 30}},
        {"panel at the left", {48, 0, 1232, 900}, {20, 500}, {48, 350}},
        {"second screen to the right", {1280, 0, 1024, 768}, {2300, 760}, {2149, 610}},
        {"second screen, its top panel", {1280, 25, 1024, 743}, {2290, 10}, {2139, 25}},
    };
    for (const Case &c : cases) {
        const QPoint p = MenuPosition(c.pointer, menu, c.area);
        EXPECT_EQ(p, c.topLeft) << c.what;
        EXPECT_TRUE(c.area.contains(QRect(p, menu))) << c.what;
    }
}
