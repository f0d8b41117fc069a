#include "platform/ansi/AnsiCodePage.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace somnex;

TEST(AnsiCodePage, EveryByteRoundTrips)
{
    QByteArray all(256, Qt::Uninitialized);
    for (int b = 0; b < 256; ++b)
        all[b] = static_cast<char>(b);
    const QString text = ansi::toUnicode(all);
    ASSERT_EQ(text.size(), 256);
    bool exact = false;
    EXPECT_EQ(ansi::fromUnicode(text, &exact), all);
    EXPECT_TRUE(exact);
    // distinct bytes give distinct characters
    QSet<QChar> seen(text.begin(), text.end());
    EXPECT_EQ(seen.size(), 256);
}

TEST(AnsiCodePage, KnownCharacters)
{
    struct Case {
        unsigned char byte;
        char16_t ch;
    };
    const Case cases[] = {
        {0x41, u'A'},      {0xC0, u'А'}, {0xFF, u'я'}, {0xA8, u'Ё'},      {0xB8, u'ё'},      {0x96, u'\u2013'},
        {0x97, u'\u2014'}, {0xB9, u'№'}, {0x88, u'€'}, {0x98, u'\u0098'}, {0xA0, u'\u00A0'}, {0x00, u'\0'},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ansi::toChar(c.byte), c.ch) << int(c.byte);
        EXPECT_EQ(ansi::toByte(c.ch), c.byte) << int(c.byte);
    }
}

TEST(AnsiCodePage, UnrepresentableCharacters)
{
    EXPECT_EQ(ansi::toByte(u'\u00E9'), -1); // é is not in Windows-1251
    EXPECT_EQ(ansi::toByte(u'\u4E2D'), -1);
    bool exact = true;
    EXPECT_EQ(ansi::fromUnicode(u"aé", &exact), QByteArray("a?"));
    EXPECT_FALSE(exact);
    EXPECT_TRUE(ansi::representable(u"Сон – к радости"));
    EXPECT_FALSE(ansi::representable(u"€é"));
}
