// The lunar days of recorded moments at six places over fifty years, compared
// with a table the calendar computed once (LunarDayTable.txt): the same
// boundary lists to the second and the same lunar days. The table guards
// every change to how the engine finds new moons and moonrises.
//
// With SOMNEX_LUNAR_TABLE_OUT set to a file name the test writes the table
// from the code as it stands instead of comparing.

#include "calendar/lunarday/LunarDay.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTextStream>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

using namespace somnex::calendar;

namespace {

struct Place {
    const char *name;
    astro::ObserverPosition at;
    int offsetSeconds; // the zone's offset east of Greenwich
};

// Murmansk lies north of the polar circle, where the Moon stays below or
// above the horizon for days; Buenos Aires is south and west.
const Place kPlaces[] = {
    {"Moscow", {55.7558, 37.6173}, 3 * 3600},     {"Murmansk", {68.9667, 33.0833}, 3 * 3600},
    {"Sochi", {43.5853, 39.7231}, 3 * 3600},      {"Novosibirsk", {55.0084, 82.9357}, 7 * 3600},
    {"Vladivostok", {43.1167, 131.9}, 10 * 3600}, {"BuenosAires", {-34.6037, -58.3816}, -3 * 3600},
};

// Moments from 1990-01-01 to 2040-01-01 (local), a pseudo-random one in each
// step so that they meet every phase of the lunation.
constexpr int kMomentsPerPlace = 150;
constexpr qint64 kFirstMoment = 2840313600LL; // 1990-01-01 00:00 in seconds from the date epoch
constexpr qint64 kSpan = 18262LL * 86400;     // fifty years

struct Row {
    int place = 0;
    qint64 local = 0; // the moment, local seconds
    std::vector<qint64> boundaries;
    bool found = false;
    int lunarDay = 0;
    qint64 start = 0, end = 0;
};

Row compute(int place, qint64 local)
{
    const Place &p = kPlaces[place];
    const CalendarAnswer a = computeCalendarAtOffset(fromSeconds(local), p.offsetSeconds, p.at);
    Row r;
    r.place = place;
    r.local = local;
    for (double b : a.moon.boundaries)
        r.boundaries.push_back(toSeconds(b));
    r.found = a.moon.found;
    r.lunarDay = a.moon.lunarDay;
    r.start = r.found ? toSeconds(a.moon.start) : 0;
    r.end = r.found ? toSeconds(a.moon.end) : 0;
    return r;
}

// The pseudo-random moment of step i at a place: somewhere in the step.
qint64 momentOf(int place, int i)
{
    std::uint64_t state = 0x2545F4914F6CDD1DULL ^ (std::uint64_t(place) << 32 | std::uint64_t(i));
    for (int k = 0; k < 3; ++k)
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    const qint64 step = kSpan / kMomentsPerPlace;
    return kFirstMoment + i * step + static_cast<qint64>((state >> 33) % static_cast<std::uint64_t>(step));
}

// Table lines: "L place local found lunarDay start end count b0 d1 d2 ...",
// boundaries after the first as differences from the one before.
std::string format(const Row &r)
{
    std::ostringstream s;
    s << "L " << r.place << ' ' << r.local << ' ' << (r.found ? 1 : 0) << ' ' << r.lunarDay << ' ' << r.start << ' '
      << r.end << ' ' << r.boundaries.size();
    for (std::size_t i = 0; i < r.boundaries.size(); ++i)
        s << ' ' << (i == 0 ? r.boundaries[0] : r.boundaries[i] - r.boundaries[i - 1]);
    return s.str();
}

bool parse(const std::string &line, Row &r)
{
    std::istringstream s(line);
    std::string tag;
    int found = 0;
    std::size_t count = 0;
    if (!(s >> tag >> r.place >> r.local >> found >> r.lunarDay >> r.start >> r.end >> count) || tag != "L")
        return false;
    r.found = found != 0;
    r.boundaries.clear();
    qint64 v = 0;
    for (std::size_t i = 0; i < count; ++i) {
        qint64 d = 0;
        if (!(s >> d))
            return false;
        v = i == 0 ? d : v + d;
        r.boundaries.push_back(v);
    }
    return r.place >= 0 && r.place < int(std::size(kPlaces));
}

// The recorded moments: one in each step, and for every fifth also the end
// of its lunar day and the second after it (a moment at a boundary belongs
// to the day that ends there).
std::vector<Row> computeTable()
{
    std::vector<Row> rows;
    for (int p = 0; p < int(std::size(kPlaces)); ++p) {
        for (int i = 0; i < kMomentsPerPlace; ++i) {
            rows.push_back(compute(p, momentOf(p, i)));
            if (i % 5 == 0 && rows.back().found) {
                const qint64 end = rows.back().end;
                rows.push_back(compute(p, end));
                rows.push_back(compute(p, end + 1));
            }
        }
    }
    return rows;
}

} // namespace

TEST(LunarDayTable, RecordedLunarDaysAtSixPlacesOverFiftyYears)
{
    if (const char *out = std::getenv("SOMNEX_LUNAR_TABLE_OUT"); out != nullptr && *out != '\0') {
        QFile f(QString::fromLocal8Bit(out));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text));
        QTextStream ts(&f);
        ts << "# Lunar days at six places, 1990-2039, written by LunarDayTableTest.cpp.\n"
              "# L place local found lunarDay start end count boundary0 differences...\n"
              "# (seconds from 1899-12-30 00:00, local time of the place)\n";
        for (const Row &r : computeTable())
            ts << QString::fromStdString(format(r)) << '\n';
        return;
    }

    QFile f(QStringLiteral("LunarDayTable.txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly | QIODevice::Text)) << "LunarDayTable.txt is missing";
    std::vector<Row> expected;
    while (!f.atEnd()) {
        const std::string line = f.readLine().trimmed().toStdString();
        if (line.empty() || line[0] == '#')
            continue;
        Row r;
        ASSERT_TRUE(parse(line, r)) << line;
        expected.push_back(r);
    }
    ASSERT_GT(expected.size(), 900u);

    for (const Row &e : expected) {
        const Row got = compute(e.place, e.local);
        const std::string what =
            std::string(kPlaces[e.place].name) + " at " + isoMoment(fromSeconds(e.local)).toStdString();
        ASSERT_EQ(got.boundaries.size(), e.boundaries.size()) << what;
        for (std::size_t i = 0; i < e.boundaries.size(); ++i)
            EXPECT_LE(std::llabs(got.boundaries[i] - e.boundaries[i]), 1) << what << " boundary " << i;
        EXPECT_EQ(got.found, e.found) << what;
        EXPECT_EQ(got.lunarDay, e.lunarDay) << what;
        EXPECT_LE(std::llabs(got.start - e.start), 1) << what;
        EXPECT_LE(std::llabs(got.end - e.end), 1) << what;
    }
}
