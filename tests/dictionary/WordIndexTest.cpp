#include "dictionary/WordIndex.h"
#include "support/QtPrint.h"

#include <gtest/gtest.h>

using namespace somnex;

namespace {
WordIndex make(std::initializer_list<const char *> words)
{
    WordIndex w;
    for (const char *s : words)
        w.add(QString::fromUtf8(s));
    w.finish();
    return w;
}
QStringList all(const WordIndex &w)
{
    QStringList l;
    for (int i = 0; i < w.size(); ++i)
        l << w.word(i);
    return l;
}
} // namespace

TEST(WordIndex, DuplicatesKeptOnceInRussianOrder)
{
    WordIndex w;
    EXPECT_TRUE(w.add("Вода"));
    EXPECT_TRUE(w.add("Яблоко"));
    EXPECT_FALSE(w.add("Вода")) << "the first book's word stays";
    EXPECT_TRUE(w.add("ёж"));
    EXPECT_TRUE(w.add("Ель"));
    EXPECT_TRUE(w.add("Жук"));
    EXPECT_TRUE(w.add("абрикос"));
    EXPECT_TRUE(w.add("Zebra"));
    EXPECT_TRUE(w.add("вода")) << "another spelling is another word";
    w.finish();
    EXPECT_EQ(all(w), QStringList({"Zebra", "абрикос", "Вода", "вода", "ёж", "Ель", "Жук", "Яблоко"}));
    EXPECT_EQ(w.indexOf("вода"), 3);
    EXPECT_EQ(w.indexOf("Нет"), -1);
}

TEST(WordIndex, PrefixSearch)
{
    const WordIndex w = make({"Вор", "Ворона", "Вода", "Водопад", "Вишня", "Ёлка", "Егерь", "Ель", "Яма"});
    struct Case { const char *prefix; const char *want; };
    const Case cases[] = {
        {"во", "Вода"}, {"ВОР", "Вор"}, {"ворон", "Ворона"}, {"  вод  ", "Вода"}, {"е", "Егерь"},
        {"ел", "Ёлка"}, {"ёл", "Ёлка"}, {"Ель", "Ель"}, {"я", "Яма"}, {"ямы", nullptr}, {"ж", nullptr},
        {"   ", nullptr}, {"", nullptr}, {"Водопады", nullptr},
    };
    for (const auto &c : cases) {
        const int i = w.findPrefix(QString::fromUtf8(c.prefix));
        if (c.want)
            EXPECT_EQ(i >= 0 ? w.word(i) : QString("<none>"), QString::fromUtf8(c.want)) << c.prefix;
        else
            EXPECT_EQ(i, -1) << c.prefix;
    }
    EXPECT_EQ(make({}).findPrefix(u"а"), -1);
}

TEST(WordIndex, PrefixSearchAgreesWithAScan)
{
    WordIndex w;
    QStringList words;
    const QString letters = "абвгдеёжзийклмнопрстуфхцчшщъыьэюяАБВЕЁЯ";
    quint32 seed = 12345;
    auto next = [&] { seed = seed * 1103515245 + 12345; return (seed >> 16) & 0x7fff; };
    for (int i = 0; i < 3000; ++i) {
        QString s;
        const int len = 1 + next() % 6;
        for (int j = 0; j < len; ++j)
            s += letters[next() % letters.size()];
        w.add(s);
    }
    w.finish();
    for (int i = 0; i < 500; ++i) {
        QString p;
        const int len = 1 + next() % 3;
        for (int j = 0; j < len; ++j)
            p += letters[next() % letters.size()];
        int scan = -1;
        for (int k = 0; k < w.size(); ++k)
            if (foldWord(w.word(k)).startsWith(foldWord(p))) {
                scan = k;
                break;
            }
        ASSERT_EQ(w.findPrefix(p), scan) << p.toStdString();
    }
}
