#include "dictionary/BookSchema.h"
#include "dictionary/BookSource.h"
#include "dictionary/MergedWords.h"
#include "support/QtPrint.h"

#include <gtest/gtest.h>

using namespace somnex;
using namespace somnex::dictionary;

namespace {

CatalogueBook book(const QString &name, const QStringList &words)
{
    BookContent content;
    content.name = name;
    content.heading = name;
    for (const QString &w : words)
        content.entries.push_back({w, QStringLiteral("Толкование: ") + w, std::nullopt});
    CatalogueBook b;
    b.Key = name + QStringLiteral(".book");
    b.database = DBEngine::instance().OpenDatabaseImage(buildBookImage(content), b.Key);
    b.recordset = b.database.OpenRecordset(dictionary::kBookTable);
    b.recordset.setIndex(dictionary::kListIndex);
    return b;
}

QStringList all(const dictionary::WordIndex &w)
{
    QStringList l;
    for (int i = 0; i < w.size(); ++i)
        l << w.word(i);
    return l;
}

} // namespace

TEST(MergedWords, EnabledBooksMergeInListOrderWithExactDuplicatesOnce)
{
    std::vector<CatalogueBook> books;
    books.push_back(book(QStringLiteral("Первый"), {"Ёлка", "дом", "Дом", "арбуз"}));
    books.push_back(book(QStringLiteral("Пустой"), {}));
    books.push_back(book(QStringLiteral("Второй"), {"дом", "Елка", "ель", "вода"}));
    books.push_back(book(QStringLiteral("Третий"), {"яблоко", "ёж"}));

    struct Case {
        const char *what;
        std::vector<bool> enabled;
        QStringList words;
        long entries;
    };
    const Case cases[] = {
        {"all", {true, true, true, true}, {"арбуз", "вода", "дом", "Дом", "ёж", "Елка", "Ёлка", "ель", "яблоко"}, 10},
        {"second off", {true, true, false, true}, {"арбуз", "дом", "Дом", "ёж", "Ёлка", "яблоко"}, 6},
        {"only the empty one", {false, true, false, false}, {}, 0},
        {"none", {false, false, false, false}, {}, 0},
    };
    for (const auto &c : cases) {
        const auto merged = mergeWords(books, [&](size_t k) { return c.enabled[k]; });
        ASSERT_TRUE(merged.has_value()) << c.what;
        EXPECT_EQ(all(merged->words), c.words) << c.what;
        EXPECT_EQ(merged->entries, c.entries) << c.what;
        EXPECT_FALSE(merged->failure) << c.what;
        for (const QString &w : c.words)
            EXPECT_GE(merged->words.indexOf(w), 0) << c.what << ": the list is finished and searchable";
    }
}

TEST(MergedWords, ProceedIsAskedBeforeEveryBookAndCanAbandon)
{
    std::vector<CatalogueBook> books;
    books.push_back(book(QStringLiteral("А"), {"один"}));
    books.push_back(book(QStringLiteral("Б"), {"два"}));
    books.push_back(book(QStringLiteral("В"), {"три"}));

    struct Case {
        int stopAt; // the call that answers false; 0: never
        bool merged;
        int calls;
    };
    const Case cases[] = {{0, true, 3}, {1, false, 1}, {3, false, 3}};
    for (const auto &c : cases) {
        int calls = 0;
        const auto merged = mergeWords(
            books, [](size_t k) { return k != 1; }, // a disabled book is asked about too
            [&] { return ++calls != c.stopAt; });
        EXPECT_EQ(merged.has_value(), c.merged) << c.stopAt;
        EXPECT_EQ(calls, c.calls) << c.stopAt;
        if (merged) {
            EXPECT_EQ(all(merged->words), (QStringList{"один", "три"}));
        }
    }
}
