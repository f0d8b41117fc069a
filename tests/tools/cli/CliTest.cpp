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
                         const std::vector<std::tuple<const char *, const char *, const char *>> &entries) {
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
        write("a.book", "Первый",
              {{"Вода", "Чистая вода – к радости.\r\nМутная – к хлопотам.", "Река; Море."},
               {"Река", "Плыть – к дороге.", nullptr}});
        write("b.book", "Второй", {{"Вода", "Пить воду – к здоровью.", "Река; Рыба."}, {"Рыба", "к прибыли", nullptr}});
    }
    CliRun run(const QStringList &args, const QString &tz = QString())
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!tz.isEmpty())
            env.insert("TZ", tz);
        env.insert("SOMNEX_DATA_DIR", share.path());
        env.insert("XDG_CONFIG_HOME", profile.path());
        env.insert("XDG_DATA_HOME", profile.path() + "/data");
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("SOMNEX_BUILD_DIR") + "/bin/somnex-cli", args);
        EXPECT_TRUE(p.waitForFinished(30000));
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    QTemporaryDir share, profile;
};

} // namespace

TEST_F(CliTest, LookupAsTextAndJson)
{
    const CliRun t = run({"lookup", "Вода"});
    EXPECT_EQ(t.code, 0) << t.err.toStdString();
    EXPECT_EQ(t.out,
              "Вода\n\nПервый:\nЧистая вода – к радости.\nМутная – к хлопотам.\n\nВторой:\nПить воду – к здоровью.\n"
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

TEST_F(CliTest, InterpretReadsAWholeDream)
{
    const CliRun t = run({"interpret", "Снилось, что я шла к реке и увидела мутную воду."});
    EXPECT_EQ(t.code, 0) << t.err.toStdString();
    EXPECT_TRUE(t.out.startsWith("Река\n  Первый:\n  » Плыть – к дороге.\n")) << t.out.toStdString();
    EXPECT_TRUE(t.out.contains("Вода\n  Первый:\n  » Мутная – к хлопотам. [Мутная]\n    Чистая вода – к радости.\n"))
        << t.out.toStdString();

    const CliRun j = run({"interpret", "--json", "Снилось, что я шла к реке и увидела мутную воду."});
    ASSERT_EQ(j.code, 0);
    const QJsonObject o = QJsonDocument::fromJson(j.out.toUtf8()).object();
    EXPECT_FALSE(o["cut"].toBool());
    const QJsonArray symbols = o["symbols"].toArray();
    ASSERT_EQ(symbols.size(), 2);
    const QJsonObject water = symbols[1].toObject();
    EXPECT_EQ(water["headword"].toString(), "Вода");
    EXPECT_EQ(water["at"].toArray().toVariantList(), QVariantList({43, 4}));
    const QJsonObject first = water["books"].toArray()[0].toObject();
    EXPECT_EQ(first["book"].toString(), "Первый");
    EXPECT_EQ(first["file"].toString(), "a.book");
    const QJsonObject best = first["lines"].toArray()[0].toObject();
    EXPECT_EQ(best["text"].toString(), "Мутная – к хлопотам.");
    EXPECT_GT(best["score"].toDouble(), 0.3);
    EXPECT_EQ(best["matched"].toArray().toVariantList(), QVariantList({"Мутная"}));

    // from standard input; one word is a lookup; a dream with no word of the books, or none at all
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SOMNEX_DATA_DIR", share.path());
    env.insert("XDG_CONFIG_HOME", profile.path());
    env.insert("XDG_DATA_HOME", profile.path() + "/data");
    p.setProcessEnvironment(env);
    p.start(qEnvironmentVariable("SOMNEX_BUILD_DIR") + "/bin/somnex-cli", {"interpret", "-"});
    p.write(QByteArray("Поймала большую рыбу, а потом пила воду."));
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardOutput()).contains("Рыба\n  Второй:\n  » к прибыли\n"));
    EXPECT_TRUE(run({"interpret", "Вода"}).out.startsWith("Вода\n\nПервый:"));
    const CliRun none = run({"interpret", "Сегодня ничего не снилось"});
    EXPECT_EQ(none.code, 1);
    EXPECT_TRUE(none.err.contains("В этом сне не нашлось слов из сонников")) << none.err.toStdString();
    EXPECT_EQ(run({"interpret", "  "}).code, 2);
    EXPECT_EQ(run({"interpret"}).code, 2);
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
    s.write(QJsonDocument(QJsonObject{{"ZUL_Programming", QJsonObject{{"Somnex3\\books", QJsonObject{{key, "0"}}}}}})
                .toJson());
    s.close();
    EXPECT_EQ(run({"words"}).out, "Вода\nРека\n");
    EXPECT_EQ(run({"lookup", "Рыба"}).code, 1);
    EXPECT_EQ(run({"nonsense"}).code, 2);
    const CliRun empty = run({"lookup", ""});
    EXPECT_EQ(empty.code, 2) << "no word is a usage error, not a word not found";
    EXPECT_TRUE(empty.err.startsWith("Укажите одно слово")) << empty.err.toStdString();
}

TEST_F(CliTest, ADamagedBookIsNamedAndTheOthersServe)
{
    const QString folder = share.path() + "/ZUL Programming/ZUL Somnex/3.1/Books";
    QFile b(folder + "/b.book"); // cut mid-page
    ASSERT_TRUE(b.open(QIODevice::ReadWrite));
    ASSERT_TRUE(b.resize(b.size() - 100));
    b.close();
    const CliRun r = run({"words"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "Вода\nРека\n");
    EXPECT_TRUE(r.err.startsWith("Сонник «" + QDir(folder).absolutePath()
                                 + "/b.book» не загружен: файл повреждён или обрезан."))
        << r.err.toStdString();

    QFile a(folder + "/a.book"); // and now no book at all
    ASSERT_TRUE(a.open(QIODevice::ReadWrite));
    ASSERT_TRUE(a.resize(a.size() - 100));
    a.close();
    const CliRun none = run({"words"});
    EXPECT_EQ(none.code, 3) << "as when the books cannot be loaded";
    EXPECT_TRUE(none.out.isEmpty());
    EXPECT_TRUE(none.err.contains("/a.book» не загружен")) << none.err.toStdString();
    EXPECT_TRUE(none.err.contains("Невозможно найти папку с данными")) << none.err.toStdString();
}

TEST_F(CliTest, CalendarFollowsTheSystemTimeZone)
{
    // the same instant, 12:00 UTC, seen from two zones
    struct Case {
        const char *tz;
        const char *at;
        const char *start;
        const char *end;
        const char *firstBoundary;
    };
    const Case cases[] = {
        {"UTC0", "2026-12-09 12:00", "2026-12-09 06:53:45", "2026-12-10 07:42:30", "2026-12-09 00:53:00"},
        {"MSK-3", "2026-12-09 15:00", "2026-12-09 09:53:45", "2026-12-10 10:42:30", "2026-12-09 03:53:00"},
    };
    for (const auto &c : cases) {
        const CliRun r = run({"calendar", "--at", c.at, "--lat", "55.75", "--lon", "37.5833", "--json"}, c.tz);
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
        EXPECT_EQ(o["weekday"].toString(), "Среда") << c.tz;
        EXPECT_EQ(o["day"].toInt(), 9);
        EXPECT_EQ(o["lunarDay"].toInt(), 2) << c.tz;
        EXPECT_EQ(o["lunarDayStart"].toString(), c.start) << c.tz;
        EXPECT_EQ(o["lunarDayEnd"].toString(), c.end) << c.tz;
        EXPECT_EQ(o["lunarDayText"].toString(), "Сны сбываются.");
        const QJsonArray b = o["boundaries"].toArray();
        ASSERT_FALSE(b.isEmpty());
        EXPECT_EQ(b.first().toString(), c.firstBoundary) << "the new moon opens the list";
    }
    EXPECT_EQ(run({"calendar", "--at", "2026-13-09"}).code, 2);
    EXPECT_EQ(run({"calendar", "--lat", "91", "--lon", "0"}).code, 2);
    EXPECT_EQ(run({"calendar", "--lat", "50"}).code, 2) << "latitude without longitude";
}

// A month of the Moon as JSON: every date with its lunar days (those of the
// one-moment calendar), the phases and sign entries of the month, and the
// diary's dreams on the morning their night ends.
TEST_F(CliTest, CalendarMonthAsJsonWithTheDiarysDreams)
{
    const QString zone = QStringLiteral("Europe/Moscow");
    for (const char *at : {"2026-12-10 06:30", "2026-12-10 07:10", "2026-12-21 05:00"})
        ASSERT_EQ(run({"diary", "add", "--at", at, "Снилась вода"}, zone).code, 0);
    const CliRun r = run({"calendar", "--month", "2026-12", "--lat", "55.75", "--lon", "37.5833", "--json"}, zone);
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(o["month"].toString(), "2026-12");
    EXPECT_EQ(o["zone"].toString(), zone);
    const QJsonArray days = o["days"].toArray();
    ASSERT_EQ(days.size(), 31);
    const QJsonObject first = days[0].toObject();
    EXPECT_EQ(first["date"].toString(), "2026-12-01");
    EXPECT_EQ(first["weekday"].toString(), "Вторник");
    EXPECT_TRUE(first["sunrise"].isString() && first["sunset"].isString());
    EXPECT_TRUE(first["moonrise"].isNull() || first["moonrise"].isString());
    EXPECT_GT(first["illumination"].toDouble(), 0.0);
    EXPECT_FALSE(first["sign"].toString().isEmpty());
    EXPECT_FALSE(first["fulfilment"].toObject()["weekday"].toString().isEmpty());
    // The new moon of 9 December opens lunar day 1 where the one-moment
    // calendar opens it.
    const QJsonObject ninth = days[8].toObject();
    bool opened = false;
    for (const auto &v : ninth["lunarDays"].toArray())
        opened |= v.toObject()["number"].toInt() == 1 && v.toObject()["start"].toString() == "2026-12-09 03:53:00";
    EXPECT_TRUE(opened) << QJsonDocument(ninth).toJson().toStdString();
    EXPECT_EQ(days[9].toObject()["dreams"].toInt(), 2) << "two dreams of the night on 10 December";
    EXPECT_EQ(days[20].toObject()["dreams"].toInt(), 1);
    EXPECT_EQ(days[8].toObject()["dreams"].toInt(), 0);
    QStringList kinds;
    for (const auto &p : o["phases"].toArray())
        kinds << p.toObject()["kind"].toString();
    EXPECT_EQ(kinds, QStringList({"lastQuarter", "new", "firstQuarter", "full", "lastQuarter"}));
    const QJsonArray signs = o["signs"].toArray();
    EXPECT_GE(signs.size(), 11);
    EXPECT_EQ(signs[0].toObject()["from"].toString().left(8), "2026-12-");

    for (const char *bad : {"2026-13", "1600-12", "10000-01", "2026-1", "декабрь"}) {
        const CliRun b = run({"calendar", "--month", bad}, zone);
        EXPECT_EQ(b.code, 2) << bad;
        EXPECT_TRUE(b.err.contains("Неверный месяц")) << b.err.toStdString();
    }
    EXPECT_EQ(run({"calendar", "--month"}, zone).code, 2);
    EXPECT_EQ(run({"calendar", "--month", "2026-12", "--at", "2026-12-09 12:00"}, zone).code, 2);
    const CliRun text = run({"calendar", "--month", "2026-12", "--lat", "55.75", "--lon", "37.5833"}, zone);
    EXPECT_TRUE(text.out.contains("Лунный календарь на месяц: Декабрь 2026")) << text.out.left(300).toStdString();
    EXPECT_TRUE(text.out.contains("Время: Europe/Moscow, UTC+3"));
    EXPECT_TRUE(text.out.contains("10 декабря 2026, четверг"));
    EXPECT_TRUE(text.out.contains("Снов в дневнике: 2"));
}

TEST_F(CliTest, ArticlesOnTheShelf)
{
    const QString texts = share.path() + "/ZUL Programming/ZUL Somnex/3.1/Texts";
    QDir().mkpath(texts);
    QFile f(texts + "/Луна.lit");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0 Arial Cyr;}{\\f1\\fcharset2 Symbol;}}\\pard\\qc\\b \\'cb\\'f3\\'ed\\'e0\\par"
        "\\pard\\plain \\'d2\\'e5\\'ea\\'f1\\'f2{\\super\\chftn}{\\footnote\\pard{\\super\\chftn} \\'cf\\'f0\\'e8\\'ec.}\\par"
        "{\\f1\\'b7}\\tab x\\par}");
    f.close();
    const CliRun list = run({"articles"});
    EXPECT_EQ(list.code, 0) << list.err.toStdString();
    EXPECT_EQ(list.out, "Луна\t" + QDir::cleanPath(texts + "/Луна.lit") + "\n");
    const CliRun text = run({"article", "Луна"});
    EXPECT_EQ(text.code, 0) << text.err.toStdString();
    EXPECT_EQ(text.out, "Луна\nТекст1\n•\tx\n\n1 Прим.\n") << "one paragraph a line, footnotes at the end";
    const CliRun html = run({"article", texts + "/Луна.lit", "--html"});
    EXPECT_EQ(html.code, 0) << html.err.toStdString();
    EXPECT_TRUE(html.out.contains("align=\"center\"")) << html.out.toStdString();
    EXPECT_TRUE(html.out.contains("vertical-align:super")) << html.out.toStdString();
    const CliRun missing = run({"article", "Нет такой"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(missing.err.startsWith("Файл не найден")) << missing.err.toStdString();
    EXPECT_EQ(run({"article"}).code, 2);
}
