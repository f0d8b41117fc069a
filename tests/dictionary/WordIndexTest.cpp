#include "dictionary/BookDatabase.h"
#include "dictionary/WordIndex.h"
#include "support/QtPrint.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace somnex;

namespace {
dictionary::WordIndex make(const std::vector<std::vector<const char *>> &runs)
{
    dictionary::WordIndex w;
    for (const auto &r : runs) {
        std::vector<QString> words;
        words.reserve(r.size());
        for (const char *s : r)
            words.push_back(QString::fromUtf8(s));
        w.addRun(std::move(words));
    }
    w.finish();
    return w;
}
QStringList all(const dictionary::WordIndex &w)
{
    QStringList l;
    for (int i = 0; i < w.size(); ++i)
        l << w.word(i);
    return l;
}
quint32 g_seed = 12345;
int next()
{
    g_seed = g_seed * 1103515245 + 12345;
    return int((g_seed >> 16) & 0x7fff);
}
QString randomWord(int maxLen)
{
    static const QString letters = "абвгдеёжзийклмнопрстуфхцчшщъыьэюяАБВЕЁЯab-";
    QString s;
    const int len = 1 + next() % maxLen;
    for (int j = 0; j < len; ++j)
        s += letters[next() % letters.size()];
    return s;
}
} // namespace

TEST(WordIndex, MergedOnceInRussianOrder)
{
    // two books in their own index order; the second repeats "Вода"
    const dictionary::WordIndex w =
        make({{"абрикос", "Вода", "Ель", "Яблоко"}, {"Zebra", "вода", "Вода", "ёж", "Жук"}, {}});
    EXPECT_EQ(all(w), QStringList({"Zebra", "абрикос", "вода", "Вода", "ёж", "Ель", "Жук", "Яблоко"}));
    EXPECT_EQ(w.indexOf("Вода"), 3);
    EXPECT_EQ(w.indexOf("Нет"), -1);
    // a run handed over out of order is put in order
    EXPECT_EQ(all(make({{"Яма", "Аист", "Дом"}})), QStringList({"Аист", "Дом", "Яма"}));
    EXPECT_TRUE(make({}).empty());
}

TEST(WordIndex, OrderIsTheBooksOwnOrder)
{
    // whatever the runs, the merged list is sorted by the books' collation and
    // holds each distinct text once
    for (int round = 0; round < 20; ++round) {
        dictionary::WordIndex w;
        QSet<QString> distinct;
        for (int r = 0; r < 1 + round % 5; ++r) {
            std::vector<QString> run;
            run.reserve(200);
            for (int i = 0; i < 200; ++i)
                run.push_back(randomWord(4));
            for (const QString &s : run)
                distinct.insert(s);
            std::stable_sort(run.begin(), run.end(),
                             [](const QString &a, const QString &b) { return dictionary::compareHeadwords(a, b) < 0; });
            w.addRun(std::move(run));
        }
        w.finish();
        ASSERT_EQ(w.size(), distinct.size());
        for (int i = 1; i < w.size(); ++i)
            ASSERT_LT(dictionary::compareHeadwords(w.word(i - 1), w.word(i)), 0) << w.word(i).toStdString();
    }
}

TEST(WordIndex, PrefixSearch)
{
    const dictionary::WordIndex w =
        make({{"Вишня", "Вода", "Водопад", "Вор", "Ворона", "Егерь", "Ёлка", "Ель", "Яма"}});
    struct Case {
        const char *prefix;
        const char *want;
    };
    const Case cases[] = {
        {"во", "Вода"}, {"ВОР", "Вор"},   {"ворон", "Ворона"}, {"  вод  ", "Вода"},   {"е", "Егерь"},
        {"ел", "Ёлка"}, {"ёл", "Ёлка"},   {"Ель", "Ель"},      {"я", "Яма"},          {"ямы", nullptr},
        {"ж", nullptr}, {"   ", nullptr}, {"", nullptr},       {"Водопады", nullptr},
    };
    for (const auto &c : cases) {
        const int i = w.findPrefix(QString::fromUtf8(c.prefix));
        if (c.want)
            EXPECT_EQ(i >= 0 ? w.word(i) : QString("<none>"), QString::fromUtf8(c.want)) << c.prefix;
        else
            EXPECT_EQ(i, -1) << c.prefix;
    }
}

TEST(WordIndex, PrefixSearchAgreesWithAScan)
{
    dictionary::WordIndex w;
    std::vector<QString> run;
    run.reserve(3000);
    for (int i = 0; i < 3000; ++i)
        run.push_back(randomWord(6));
    w.addRun(std::move(run));
    w.finish();
    for (int i = 0; i < 500; ++i) {
        const QString p = randomWord(3);
        int scan = -1;
        for (int k = 0; k < w.size(); ++k)
            if (dictionary::foldWord(w.word(k)).startsWith(dictionary::foldWord(p))) {
                scan = k;
                break;
            }
        ASSERT_EQ(w.findPrefix(p), scan) << p.toStdString();
        if (scan >= 0) {
            ASSERT_EQ(w.indexOf(w.word(scan)), scan);
        }
    }
}
