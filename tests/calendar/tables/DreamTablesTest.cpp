#include "calendar/tables/DreamTables.h"

#include <gtest/gtest.h>

#include <QMap>

#include <algorithm>

using namespace somnex::calendar;

namespace {

using Lookup = QString (*)(const qint16 &);

struct Table {
    const char *name;
    Lookup lookup;
    qint16 last;
};

const Table kTables[] = {
    {"WeekDayStr", WeekDayStr, 7},
    {"DreamByWeekDay", DreamByWeekDay, 7},
    {"DreamByDay", DreamByDay, 31},
    {"DreamByMoon", DreamByMoon, 31},
};

} // namespace

TEST(DreamTables, KeysOutsideEveryTableAnswerEmpty)
{
    for (const Table &t : kTables) {
        SCOPED_TRACE(t.name);
        for (qint16 key : {qint16(-32768), qint16(-1), qint16(0), qint16(t.last + 1), qint16(32767)})
            EXPECT_TRUE(t.lookup(key).isEmpty()) << key;
        for (qint16 key = 1; key <= t.last; ++key)
            EXPECT_FALSE(t.lookup(key).isEmpty()) << key;
    }
}

TEST(DreamTables, ChosenRowsReadExactly)
{
    struct Case {
        Lookup lookup;
        qint16 key;
        const char16_t *text;
    };
    const Case cases[] = {
        // The week starts on Monday.
        {WeekDayStr, 1, u"Понедельник"},
        {WeekDayStr, 7, u"Воскресенье"},
        {DreamByWeekDay, 7, u"Сны сбываются до обеда. Или сбываются, если не рассказывать."},
        {DreamByWeekDay, 1, u"Сон, который приснился в понедельник, исполнится лишь для тех, кто родился в этот день."},
        {DreamByDay, 1, u"Сны ведут к семейным неприятностям."},
        {DreamByWeekDay, 2,
         u"Сон, приснившийся вам в этот день, может исполниться очень нескоро, несмотря на предсказание лунного календаря."},
        {DreamByMoon, 10, u"Сны сбываются. Будьте осторожны, если приснилось к плохому. Хорошее тоже исполнится."},
        {DreamByDay, 24, u"Сны сбываются в течение 11 дней, предвосхищают радостные события."},
        {DreamByDay, 31, u"Сны рассказывают о прибылях и приобретениях."},
        {DreamByMoon, 1, u"Сон в этот день исполняется в точности и предзнаменует доброе."},
        {DreamByMoon, 6, u"Сны сбываются. Держите в тайне увиденное для своего блага."},
        {DreamByMoon, 11, u"Сны сбываются. Возможно прямое трактование."},
        {DreamByMoon, 20,
         u"Значимы сны, связанные с битвами, оружием, металлом, острыми предметами. Кошмары - к прояснению запутанных ситуаций."},
        {DreamByMoon, 30, u"Сбываются только хорошо запомнившиеся сны."},
        {DreamByMoon, 31, u"Сны о любовных победах и наслаждениях."},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.lookup(c.key), QString::fromUtf16(c.text)) << c.key;
}

// Only the listed rows share a text; any other repetition means a row slipped.
TEST(DreamTables, OnlyTheKnownRowsShareATextWithinATable)
{
    const QMap<QString, QList<int>> expectedShared = {
        {QStringLiteral("DreamByWeekDay"), {3, 5}},
        {QStringLiteral("DreamByDay"), {17, 19}},
        {QStringLiteral("DreamByMoon"), {2, 9, 26}},
    };
    for (const Table &t : kTables) {
        SCOPED_TRACE(t.name);
        QMap<QString, QList<int>> byText;
        for (qint16 key = 1; key <= t.last; ++key)
            byText[t.lookup(key)].append(key);
        QList<int> shared;
        for (const auto &keys : byText)
            if (keys.size() > 1)
                shared += keys;
        std::sort(shared.begin(), shared.end());
        EXPECT_EQ(shared, expectedShared.value(QString::fromLatin1(t.name)));
    }
    EXPECT_EQ(DreamByDay(11), DreamByMoon(21));
    EXPECT_EQ(DreamByDay(13), DreamByMoon(31));
}
