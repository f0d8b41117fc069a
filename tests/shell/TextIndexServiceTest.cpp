#include "dictionary/BookSource.h"
#include "shell/TextIndexService.h"
#include "support/QtPrint.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace somnex;

namespace {

dictionary::TextSource bookOf(const QString &name, const QString &entries)
{
    const QString source = QStringLiteral("name: %1\nheading: %1\n\n").arg(name) + entries;
    const auto parsed = dictionary::parseBookSource(source.toUtf8(), name);
    return {name, dictionary::DBEngine::instance()
                      .OpenDatabaseImage(dictionary::buildBookImage(parsed.content), name)
                      .OpenRecordset(QStringLiteral("Book"))};
}

std::vector<dictionary::TextSource> one(dictionary::TextSource s)
{
    std::vector<dictionary::TextSource> v;
    v.push_back(std::move(s));
    return v;
}

// Runs the event loop until the service has no build running (at most 10 s),
// then once more for notices still queued.
void settle(const TextIndexService &s)
{
    QElapsedTimer t;
    t.start();
    while (s.building() && t.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QCoreApplication::processEvents();
}

struct Reports {
    std::vector<std::shared_ptr<const dictionary::TextIndex>> indexes;
    std::vector<int> finders; // the generations the finders came for
    void watch(TextIndexService &s)
    {
        s.onIndex = [this](std::shared_ptr<const dictionary::TextIndex> i) { indexes.push_back(std::move(i)); };
        s.onFinder = [this](dictionary::WordFinder &&, int generation) { finders.push_back(generation); };
    }
};

} // namespace

TEST(TextIndexService, ANewerBuildCancelsTheOneRunningAndAloneReports)
{
    TextIndexService service;
    Reports r;
    r.watch(service);
    dictionary::WordIndex words;
    words.addRun({QStringLiteral("Море")});
    words.finish();
    service.start(one(bookOf(QStringLiteral("Старая"), QStringLiteral("== Лес\nГулять по лесу – к покою.\n"))),
                  std::nullopt, 1);
    service.start(one(bookOf(QStringLiteral("Новая"), QStringLiteral("== Море\nПлыть по морю – к переменам.\n"))),
                  words, 2);
    settle(service);

    ASSERT_FALSE(service.building());
    ASSERT_EQ(r.indexes.size(), 3u) << "each start clears the index; one build reports";
    EXPECT_EQ(r.indexes[0], nullptr);
    EXPECT_EQ(r.indexes[1], nullptr);
    ASSERT_NE(r.indexes[2], nullptr);
    EXPECT_EQ(r.indexes[2], service.index());
    EXPECT_EQ(r.indexes[2]->search(u"морю").size(), 1u);
    EXPECT_TRUE(r.indexes[2]->search(u"лесу").empty()) << "the cancelled build's book is not in it";
    EXPECT_EQ(r.finders, std::vector<int>{2}) << "the finder comes with the build that asked for it";
}

TEST(TextIndexService, AStoppedBuildReportsNothing)
{
    Reports r;
    {
        TextIndexService service;
        r.watch(service);
        service.start(one(bookOf(QStringLiteral("Книга"), QStringLiteral("== Дом\nСтроить дом – к достатку.\n"))),
                      std::nullopt, 7);
        service.stop();
        EXPECT_FALSE(service.building());
        settle(service);
        EXPECT_EQ(service.index(), nullptr);
    }
    QCoreApplication::processEvents();
    ASSERT_EQ(r.indexes.size(), 1u);
    EXPECT_EQ(r.indexes[0], nullptr) << "only the clearing at the start";
    EXPECT_TRUE(r.finders.empty());
}
