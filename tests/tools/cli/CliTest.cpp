// somnex-cli as a user runs it, on a data folder and a profile of the test's own.
#include "dictionary/BookSource.h"
#include "support/QtPrint.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace somnex::dictionary;

namespace {

struct CliRun {
    int code = -1;
    QString out, err;
};

class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString folder = share.path() + "/ZUL Programming/ZUL Somnex/3.1/Books";
        QDir().mkpath(folder);
        auto write = [&](const QString &file, const QString &name,
                         std::vector<std::tuple<const char *, const char *, const char *>> entries) {
            BookContent b;
            b.name = b.heading = name;
            b.color = QStringLiteral("139");
            for (const auto &[w, t, l] : entries)
                b.entries.push_back({QString::fromUtf8(w), QString::fromUtf8(t),
                                     l ? std::optional<QString>(QString::fromUtf8(l)) : std::nullopt, 0});
            QFile f(folder + "/" + file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(buildBookImage(b));
        };
        write("a.book", "Первый", {{"Вода", "Чистая вода – к радости.\r\nМутная – к хлопотам.", "Река; Море."},
                                   {"Река", "Плыть – к дороге.", nullptr}});
        write("b.book", "Второй", {{"Вода", "Пить воду – к здоровью.", "Река; Рыба."}, {"Рыба", "к прибыли", nullptr}});
    }
    CliRun run(const QStringList &args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("SOMNEX_DATA_DIR", share.path());
        env.insert("XDG_CONFIG_HOME", profile.path());
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("SOMNEX_BUILD_DIR") + "/bin/somnex-cli", args);
        EXPECT_TRUE(p.waitForFinished(30000));
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }
    QTemporaryDir share, profile;
};

} // namespace

TEST_F(CliTest, LookupAsTextAndJson)
{
    const CliRun t = run({"lookup", "Вода"});
    EXPECT_EQ(t.code, 0) << t.err.toStdString();
    EXPECT_EQ(t.out, "Вода\n\nПервый:\nЧистая вода – к радости.\nМутная – к хлопотам.\n\nВторой:\nПить воду – к здоровью.\n"
                     "\nСм. также: Река, Море, Рыба\n");
    EXPECT_FALSE(t.out.contains("§") || t.out.contains("<") || t.out.contains("F^"));

    const CliRun j = run({"lookup", "Вода", "--json"});
    ASSERT_EQ(j.code, 0);
    const QJsonObject o = QJsonDocument::fromJson(j.out.toUtf8()).object();
    EXPECT_EQ(o["word"].toString(), "Вода");
    const QJsonArray books = o["books"].toArray();
    ASSERT_EQ(books.size(), 2);
    EXPECT_EQ(books[0].toObject()["heading"].toString(), "Первый");
    EXPECT_EQ(books[0].toObject()["color"].toString(), "#8b0000");
    EXPECT_EQ(books[1].toObject()["text"].toString(), "Пить воду – к здоровью.");
    EXPECT_EQ(o["seeAlso"].toArray().toVariantList(), QVariantList({"Река", "Море", "Рыба"}));
}

TEST_F(CliTest, MissingWordsAndDisabledBooks)
{
    const CliRun m = run({"lookup", "Огонь"});
    EXPECT_EQ(m.code, 1);
    EXPECT_TRUE(m.out.isEmpty());
    EXPECT_TRUE(m.err.contains("не найдено")) << m.err.toStdString();

    EXPECT_EQ(run({"words"}).out, "Вода\nРека\nРыба\n");
    EXPECT_EQ(run({"words", "р"}).out, "Река\nРыба\n");
    EXPECT_EQ(run({"words", "ы"}).out, "");

    // the second book switched off in the settings, as the program stores it
    QDir().mkpath(profile.path() + "/zul-somnex");
    QFile s(profile.path() + "/zul-somnex/settings.json");
    ASSERT_TRUE(s.open(QIODevice::WriteOnly));
    const QString key = share.path() + "/ZUL Programming/ZUL Somnex/3.1/Books/b.book";
    s.write(QJsonDocument(QJsonObject{{"ZUL_Programming", QJsonObject{{"Somnex3\\books", QJsonObject{{key, "0"}}}}}}).toJson());
    s.close();
    EXPECT_EQ(run({"words"}).out, "Вода\nРека\n");
    EXPECT_EQ(run({"lookup", "Рыба"}).code, 1);
    EXPECT_EQ(run({"nonsense"}).code, 2);
}
