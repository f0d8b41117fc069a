#include "reading/TolkDocument.h"
#include "support/QtPrint.h"

#include <gtest/gtest.h>

#include <map>

using namespace somnex;

namespace {

using Entry = std::pair<QString, std::optional<QString>>;

TolkBook book(const QString &tag, const QString &colour, const std::map<QString, Entry> &entries)
{
    return {tag, colour, [entries](const QString &w) -> std::optional<Entry> {
                auto it = entries.find(w);
                if (it == entries.end())
                    return std::nullopt;
                return it->second;
            }};
}

const QString CRLF = "\r\n";

} // namespace

TEST(BuildTolk, DocumentLayout)
{
    const std::vector<TolkBook> books = {
        book("Народный", "139", {{"Вода", {"Чистая вода – к радости.", QString("Река; Море.")}}}),
        book("Лишний", "0", {{"Огонь", {"x", std::nullopt}}}),
        book("Семейный", "255", {{"Вода", {"Пить воду – к здоровью.", std::nullopt}}}),
    };
    QStringList see;
    const QString doc = BuildTolkText("Вода", books, &see);
    EXPECT_EQ(doc, " Вода" + CRLF + CRLF + "& Народный:§" + CRLF + "Чистая вода – к радости." + CRLF + CRLF
                       + "& Семейный:§" + CRLF + "Пить воду – к здоровью." + CRLF + CRLF + "F^<Река>, <Море>");
    EXPECT_EQ(see, QStringList({"Река", "Море"}));
    EXPECT_EQ(BuildTolkText("Земля", books), "") << "no book has the word";

    // No links in any book: no see-also line.
    const std::vector<TolkBook> plain = {book("A", "0", {{"w", {"t", std::nullopt}}})};
    EXPECT_EQ(BuildTolkText("w", plain), " w" + CRLF + CRLF + "& A:§" + CRLF + "t");
}

TEST(BuildTolk, GatheringSeeAlsoWords)
{
    struct Case {
        const char *what;
        std::vector<const char *> links;
        QStringList want;
    };
    const Case cases[] = {
        {"a twice in one book stays twice", {"a;b;a."}, {"a", "b", "a"}},
        {"a second book adds nothing already seen", {"a;b;a.", "a;b;a."}, {"a", "b", "a"}},
        {"text after the last separator is dropped", {"a;b"}, {"a"}},
        {"a final full stop before blanks separates", {"a; b.  "}, {"a", "b"}},
        {"an inner full stop is part of a word", {"St. Petersburg;x."}, {"St. Petersburg", "x"}},
        {"blanks trimmed, empty items skipped", {" a ; ; b ;"}, {"a", "b"}},
        {"later books add only new words", {"a;b.", "b;c;d."}, {"a", "b", "c", "d"}},
        {"nothing", {""}, {}},
    };
    for (const auto &c : cases) {
        QString seen = "<";
        for (const char *l : c.links)
            GatherLinks(QString::fromUtf8(l), seen);
        QStringList got;
        if (seen.size() > 3)
            got = seen.mid(1, seen.size() - 5).split(">, <");
        EXPECT_EQ(got, c.want) << c.what;
    }
}

TEST(MarkupTolk, MarkersHeadingsAndColours)
{
    const QString word = "Вода";
    const QString text = " Вода" + CRLF + CRLF + "& X:§" + CRLF + "Пить – к добру" + CRLF + CRLF + "& X 2:§" + CRLF
                         + "тест" + CRLF + CRLF + "F^<Река>, <Море>";
    const std::vector<TolkButton> buttons = {{"X", "255"}, {"X 2", "&H8000"}};
    const auto f = MarkupTolk(text, word, buttons);
    ASSERT_EQ(f.size(), size_t(text.size()));
    auto at = [&](const QString &needle, int from = 0) { return text.indexOf(needle, from); };

    // heading
    EXPECT_TRUE(f[1].bold && f[1].underline);
    EXPECT_EQ(f[1].colour, kNavy);
    EXPECT_EQ(f[4].size, 12);
    EXPECT_FALSE(f[0].bold) << "the leading blank is not the heading";

    // first header: X matches only the first button
    const int h1 = static_cast<int>(at("& X:"));
    EXPECT_EQ(f[h1].font, TolkFormat::Symbol);
    EXPECT_EQ(f[h1].size, 14);
    EXPECT_EQ(f[h1].colour, 255u);
    EXPECT_FALSE(f[h1].bold);
    EXPECT_TRUE(f[h1 + 2].bold && f[h1 + 2].italic);
    EXPECT_EQ(f[h1 + 2].colour, 255u);
    EXPECT_TRUE(f[at("§")].hidden);
    EXPECT_EQ(f[at("§")].size, 1);

    // "X 2" contains both tags: the later button wins
    const int h2 = static_cast<int>(at("& X 2:"));
    EXPECT_EQ(f[h2 + 2].colour, 0x8000u);

    // the dash line: blue up to the dash, not the dash or after
    const int dash = static_cast<int>(at("–"));
    EXPECT_EQ(f[at("Пить")].colour, kBlue);
    EXPECT_EQ(f[dash - 1].colour, kBlue);
    EXPECT_NE(f[dash].colour, kBlue);
    EXPECT_NE(f[dash + 2].colour, kBlue);

    // see-also line
    const int hand = static_cast<int>(at("F^"));
    EXPECT_EQ(f[hand].font, TolkFormat::Symbol);
    EXPECT_EQ(f[hand].size, 22);
    EXPECT_EQ(f[hand].colour, kTeal);
    EXPECT_TRUE(f[hand + 1].hidden);
    const int lt = static_cast<int>(at("<Река>"));
    EXPECT_TRUE(f[lt].hidden);
    EXPECT_TRUE(f[lt + 5].hidden);
    EXPECT_EQ(f[lt + 1].colour, kGreen);
    EXPECT_TRUE(f[lt + 1].underline);
    EXPECT_FALSE(f[lt + 6].underline) << "the separator is no link";
}

TEST(MarkupTolk, TwoDashesColourUpToTheSecond)
{
    const QString text = " w" + CRLF + "раз – два – три";
    const auto f = MarkupTolk(text, "w", {});
    const auto first = static_cast<int>(text.indexOf("–")), second = static_cast<int>(text.lastIndexOf("–"));
    EXPECT_EQ(f[first].colour, kBlue) << "the first dash is inside the blue part";
    EXPECT_EQ(f[second - 1].colour, kBlue);
    EXPECT_NE(f[second].colour, kBlue);
    EXPECT_NE(f[text.indexOf("w")].colour, kBlue) << "an earlier line keeps its colour";
}

TEST(MarkupTolk, ColourCarriesOverWhenNoTagMatches)
{
    const QString text = " w" + CRLF + "& A:§" + CRLF + "t" + CRLF + "& Unknown:§";
    const auto f = MarkupTolk(text, "w", {{"A", "1234"}});
    EXPECT_EQ(f[text.indexOf("Unknown")].colour, 1234u);
}

TEST(LinkWords, GetWordHotZone)
{
    const QString t = " w" + CRLF + "F^<Река>, <Синее море>";
    const int lt = static_cast<int>(t.indexOf("<Река>"));
    const int gt = static_cast<int>(t.indexOf(">", lt));
    EXPECT_EQ(GetWord(t, lt), "") << "over the hidden <";
    EXPECT_EQ(GetWord(t, lt + 1), "Река") << "first letter";
    EXPECT_EQ(GetWord(t, gt - 1), "Река");
    EXPECT_EQ(GetWord(t, gt), "Река") << "over the hidden >";
    EXPECT_EQ(GetWord(t, gt + 1), "") << "after the link";
    EXPECT_EQ(GetWord(t, t.indexOf("море")), "Синее море");
    EXPECT_EQ(GetWord(t, 2), "");
    EXPECT_EQ(GetWord(" no links", 3), "");
    EXPECT_EQ(GetWord("<open", 3), "") << "no closing >";
    EXPECT_EQ(GetWord(t, 100000), "") << "past the end";
    EXPECT_EQ(GetWord(t, -5), "");
}

TEST(LeadingNumberTest, LikeTheClassicValFunction)
{
    struct Case {
        const char *in;
        double out;
    };
    const Case cases[] = {
        {"139", 139},  {" 1 2 3", 123}, {"12abc", 12}, {"abc", 0},      {"", 0},   {"&H8000", 32768},
        {"&hFF", 255}, {"&O17", 15},    {"-5", -5},    {"3.5e2x", 350}, {"1e", 1}, {"+7", 7},
    };
    for (const auto &c : cases)
        EXPECT_DOUBLE_EQ(LeadingNumber(QString::fromUtf8(c.in)), c.out) << c.in;
}
