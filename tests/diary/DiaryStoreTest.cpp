// The diary's file: what is written reads back exactly, search and filters,
// the trash, files that must not be written, and writers at once.
#include "diary/DiaryStore.h"
#include "diary/DiaryTestFiles.h"
#include "diary/LunarSnapshot.h"
#include "platform/core/Clock.h"
#include "platform/error/Error.h"
#include "support/QtPrint.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

using namespace somnex::diary;
using namespace diary_test;

namespace {

QDateTime at(int y, int mo, int d, int h, int mi, int offsetHours = 3)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::OffsetFromUTC, offsetHours * 3600);
}

Entry dream(const QString &text, const QDateTime &moment = at(2026, 12, 9, 3, 15))
{
    Entry e;
    e.text = text;
    e.at = moment;
    e.zone = "Europe/Moscow";
    e.place = Place{"Москва", 55.75, 37.5833};
    return e;
}

class DiaryStoreTest : public ::testing::Test {
protected:
    QString path() const { return dir.path() + "/Diary/diary.sqlite"; }
    QTemporaryDir dir;
};

} // namespace

TEST_F(DiaryStoreTest, AnAbsentDiaryListsNothingAndCreatesNothing)
{
    DiaryStore store(path());
    EXPECT_TRUE(store.list().isEmpty());
    EXPECT_TRUE(store.trash().isEmpty());
    EXPECT_TRUE(store.search(Filter{}).isEmpty());
    EXPECT_FALSE(store.entry("0000").has_value());
    EXPECT_EQ(thrown([&] { store.moveToTrash("abcd-1"); }).number(), kErrorNotFound);
    EXPECT_FALSE(store.exists());
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/Diary"));

    const QString id = store.add(dream("Первый сон"));
    EXPECT_TRUE(QFileInfo::exists(path()));
    EXPECT_EQ(DiaryStore(path()).list().size(), 1);
    EXPECT_EQ(DiaryStore(path()).list().first().id, id);
    EXPECT_EQ(integrity(path()), "ok");
}

TEST_F(DiaryStoreTest, DefaultPathIsInTheUsersDataFolder)
{
    const QByteArray old = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dir.path().toUtf8());
    EXPECT_EQ(DiaryStore::defaultPath(), dir.path() + "/ZUL Programming/ZUL Somnex/3.1/Diary/diary.sqlite");
    qputenv("XDG_DATA_HOME", "relative/path");
    EXPECT_EQ(DiaryStore::defaultPath(),
              QDir::homePath() + "/.local/share/ZUL Programming/ZUL Somnex/3.1/Diary/diary.sqlite");
    qputenv("XDG_DATA_HOME", old);
}

TEST_F(DiaryStoreTest, EveryFieldReadsBackExactly)
{
    struct Case {
        const char *name;
        QString title, text;
        QDateTime moment;
    };
    QString big(qsizetype(5) * 1024 * 1024, QChar(u'ж')); // 10 MiB of UTF-8
    big[12345] = QChar(0);
    const Case cases[] = {
        {"plain", "Полёт", "Я летал над городом.", at(2026, 12, 9, 3, 15)},
        {"emoji and RTL", "🌙 сон", "Сон 😴👨‍👩‍👧 и שלום עולם مرحبا 🐕",
         at(2026, 6, 1, 23, 59, -7)},
        {"NUL inside", "", QString("до") + QChar(0) + "после" + QChar(0), at(2000, 2, 29, 12, 0, 0)},
        {"ten megabytes", "", big, at(2010, 1, 1, 7, 30, 12)},
        {"first year", "", "Давний сон", at(kFirstYear, 1, 1, 0, 0, 2)},
        {"last year", "", "Далёкий сон", at(kLastYear, 12, 31, 23, 59, -11)},
        {"half-hour offset", "", "Сон в Индии",
         QDateTime(QDate(2026, 3, 1), QTime(4, 0, 59), Qt::OffsetFromUTC, 19800)},
    };
    DiaryStore store(path());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Entry e = dream(c.text, c.moment);
        e.title = c.title;
        e.lucid = true;
        e.clarity = 4;
        e.mood = -2;
        e.kinds = {DreamKind::SleepParalysis, DreamKind::Nightmare};
        e.tags = {{"Маша", TagKind::Person}, {"дача", TagKind::Place}, {"работа", TagKind::Plain}};
        e.fulfilment = {Mark::Partly, QDate(2026, 12, 20), "отчасти"};
        e.symbols = {{"Собака", Symbol::Origin::Found},
                     {"Луна", Symbol::Origin::AddedByHand},
                     {"Река", Symbol::Origin::RemovedByHand}};
        const QString id = store.add(e);
        const std::optional<Entry> back = DiaryStore(path()).entry(id);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->id, id);
        EXPECT_EQ(back->text, c.text);
        EXPECT_EQ(back->text.size(), c.text.size());
        EXPECT_EQ(back->title, c.title);
        EXPECT_EQ(back->at, c.moment);
        EXPECT_EQ(back->at.offsetFromUtc(), c.moment.offsetFromUtc());
        EXPECT_EQ(back->zone, "Europe/Moscow");
        EXPECT_EQ(back->night, nightOf(c.moment));
        EXPECT_TRUE(back->lucid);
        EXPECT_EQ(back->clarity, 4);
        EXPECT_EQ(back->mood, -2);
        EXPECT_EQ(back->kinds, (QList<DreamKind>{DreamKind::Nightmare, DreamKind::SleepParalysis}));
        EXPECT_EQ(back->tags, e.tags);
        EXPECT_EQ(back->fulfilment, e.fulfilment);
        EXPECT_EQ(back->symbols, e.symbols);
        EXPECT_EQ(back->symbolHeadwords(), (QStringList{"Собака", "Луна"}));
        EXPECT_EQ(back->place, e.place);
        EXPECT_EQ(back->lunar, computeSnapshot(c.moment, e.place));
        EXPECT_FALSE(back->lunar.weekdayText.isEmpty());
        EXPECT_EQ(back->created.timeSpec(), Qt::UTC);
        EXPECT_FALSE(back->deletedAt.isValid());
    }
    EXPECT_EQ(store.list().size(), static_cast<qsizetype>(std::size(cases)));
}

TEST_F(DiaryStoreTest, BadValuesAreRefusedWithAReasonAndNothingIsWritten)
{
    struct Case {
        const char *name;
        std::function<void(Entry &)> spoil;
        const char *message;
    };
    const Case cases[] = {
        {"text over 16 MiB", [](Entry &e) { e.text = QString(kMaxTextBytes / 2 + 1, QChar(u'ы')); },
         "Текст сна слишком длинный: 16.0 МБ, допускается не больше 16.0 МБ."},
        {"year before the range", [](Entry &e) { e.at = at(1600, 12, 31, 23, 0); },
         "Дата сна 31.12.1600 вне допустимых пределов (годы 1601–9999)."},
        {"clarity", [](Entry &e) { e.clarity = 5; }, "Ясность сна задаётся от 1 до 4, а не 5."},
        {"mood", [](Entry &e) { e.mood = -3; }, "Настроение сна задаётся от -2 до +2, а не -3."},
        {"latitude", [](Entry &e) { e.place->latitude = 91; }, "Неверная широта: 91 (допускается от -90 до 90)."},
        {"lone surrogate", [](Entry &e) { e.text = QString(QChar(0xD800)) + "x"; },
         "Текст сна содержит испорченные символы (половину суррогатной пары)."},
    };
    DiaryStore store(path());
    for (const Case &c : cases) {
        Entry e = dream("Сон");
        c.spoil(e);
        const somnex::Error err = thrown([&] { store.add(e); });
        EXPECT_EQ(err.number(), kErrorBadValue) << c.name;
        EXPECT_EQ(err.description(), QString::fromUtf8(c.message)) << c.name;
    }
    EXPECT_FALSE(QFileInfo::exists(path())) << "no diary for entries refused";

    const QString id = store.add(dream("Сон"));
    const somnex::Error twice = thrown([&] {
        Entry again = dream("Другой");
        again.id = id;
        store.add(again);
    });
    EXPECT_EQ(twice.number(), kErrorBadValue);
    EXPECT_EQ(store.list().size(), 1);
}

TEST_F(DiaryStoreTest, UpdateKeepsWhatDidNotChangeAndRedoesWhatDid)
{
    DiaryStore store(path());
    store.setSymbolSource([](QStringView text) {
        QStringList found;
        for (const char *w : {"собак", "рек", "лун"})
            if (text.contains(QString::fromUtf8(w), Qt::CaseInsensitive))
                found << QString::fromUtf8(w).toUpper();
        return found;
    });
    const QString id = store.add(dream("Собака у реки"));
    Entry e = *store.entry(id);
    EXPECT_EQ(e.symbolHeadwords(), (QStringList{"СОБАК", "РЕК"}));
    const LunarSnapshot before = e.lunar;
    const QDateTime created = e.created;

    // The user removes one symbol and adds one; a new text keeps both edits.
    e.symbols = addSymbolByHand(removeSymbolByHand(e.symbols, "РЕК"), "Ключ");
    e.text = "Собака у реки под луной";
    store.update(e);
    Entry u = *store.entry(id);
    EXPECT_EQ(u.symbolHeadwords(), (QStringList{"СОБАК", "ЛУН", "Ключ"}));
    EXPECT_EQ(u.lunar, before) << "same moment and place: the stored snapshot is kept";
    EXPECT_EQ(u.created, created);
    EXPECT_GE(u.updated, created);
    EXPECT_TRUE(store.search(Filter{.text = "луна"}).contains(id));

    // A new moment: a new night and a new snapshot; the old words go.
    u.at = at(2026, 12, 20, 18, 0);
    u.text = "Кошка";
    store.update(u);
    const Entry v = *store.entry(id);
    EXPECT_EQ(v.night, QDate(2026, 12, 20));
    EXPECT_EQ(v.lunar, computeSnapshot(u.at, u.place));
    EXPECT_NE(v.lunar.lunarDay, before.lunarDay);
    EXPECT_TRUE(store.search(Filter{.text = "собака"}).isEmpty());
    EXPECT_EQ(store.search(Filter{.text = "кошки"}), QStringList{id});

    Entry ghost = dream("нет");
    ghost.id = "no-such-id";
    EXPECT_EQ(thrown([&] { store.update(ghost); }).number(), kErrorNotFound);
}

TEST_F(DiaryStoreTest, SearchFindsEveryWordInAnyFormAndFilters)
{
    DiaryStore store(path());
    auto add = [&](const QString &title, const QString &text, const QDateTime &m,
                   const std::function<void(Entry &)> &more) {
        Entry e = dream(text, m);
        e.title = title;
        if (more)
            more(e);
        return store.add(e);
    };
    const QString a = add("", "Большая собака лаяла у реки", at(2026, 1, 10, 3, 0), [](Entry &e) {
        e.tags = {{"Дача", TagKind::Place}};
        e.lucid = true;
    });
    const QString b = add("Собаки", "Я плыл по реке", at(2026, 1, 12, 13, 0), [](Entry &e) {
        e.kinds = {DreamKind::Nightmare};
        e.fulfilment.mark = Mark::Yes;
        e.symbols = {{"Река", Symbol::Origin::Found}};
    });
    const QString c = add("", "Кошка на крыше", at(2026, 1, 11, 2, 0), [](Entry &e) {
        e.symbols = {{"Собака", Symbol::Origin::RemovedByHand}};
    });
    const QString gone = add("", "Собака в корзине", at(2026, 1, 13, 3, 0), nullptr);
    store.moveToTrash(gone);

    struct Case {
        const char *name;
        Filter filter;
        QStringList ids;
    };
    const Case cases[] = {
        {"all, newest night first", {}, {b, c, a}},
        {"a form of the word", {.text = "собаку"}, {b, a}},
        {"title counts", {.text = "СОБАКИ"}, {b, a}},
        {"every word", {.text = "собака река"}, {b, a}},
        {"every word, one missing", {.text = "собака крыша"}, {}},
        {"tag, case ignored", {.tags = {"дача"}}, {a}},
        {"kind", {.kinds = {DreamKind::Nightmare}}, {b}},
        {"lucid", {.lucid = true}, {a}},
        {"not lucid", {.lucid = false}, {b, c}},
        {"marked yes", {.mark = Mark::Yes}, {b}},
        {"unmarked", {.mark = Mark::None}, {c, a}},
        {"symbol shown", {.symbol = "река"}, {b}},
        {"symbol removed by hand", {.symbol = "Собака"}, {}},
        {"nights from", {.nightFrom = QDate(2026, 1, 10)}, {b, c}},
        {"nights up to", {.nightTo = QDate(2026, 1, 9)}, {a}},
        {"text and filter", {.text = "река", .lucid = false}, {b}},
        {"punctuation only", {.text = "?!"}, {}},
    };
    for (const Case &cs : cases)
        EXPECT_EQ(store.search(cs.filter), cs.ids) << cs.name;
}

TEST_F(DiaryStoreTest, TrashRestoreAndPurge)
{
    DiaryStore store(path());
    const QString a = store.add(dream("Первый"));
    const QString b = store.add(dream("Второй"));
    store.moveToTrash(a);
    EXPECT_EQ(store.list().size(), 1);
    ASSERT_EQ(store.trash().size(), 1);
    EXPECT_EQ(store.trash().first().id, a);
    EXPECT_TRUE(store.entry(a)->deletedAt.isValid());
    store.restore(a);
    EXPECT_EQ(store.list().size(), 2);
    EXPECT_TRUE(store.trash().isEmpty());

    store.moveToTrash(a);
    store.moveToTrash(b);
    EXPECT_EQ(store.purgeTrash(QDateTime::currentDateTimeUtc().addDays(-1)), 0);
    // Deleted 31 days ago: purged when the diary is opened.
    ASSERT_EQ(execOn(path(), QString("UPDATE entry SET deleted_at = %1 WHERE id = '%2'")
                                 .arg(QDateTime::currentMSecsSinceEpoch() - 31LL * 86400 * 1000)
                                 .arg(a)
                                 .toUtf8()
                                 .constData()),
              SQLITE_OK);
    DiaryStore reopened(path());
    EXPECT_FALSE(reopened.entry(a).has_value());
    EXPECT_TRUE(reopened.entry(b).has_value());
    EXPECT_EQ(integrity(path()), "ok");
    reopened.purge(b);
    EXPECT_FALSE(reopened.entry(b).has_value());
    EXPECT_EQ(execOn(path(), "SELECT 1 FROM tag"), SQLITE_OK);
}

// The store reads the program's clock: a dream marked on a set day is
// marked on that day, and the trash is old by that clock, not the wall's.
TEST_F(DiaryStoreTest, MarksAndTheTrashFollowTheProgramsClock)
{
    somnex::SettableClock clock(QDateTime(QDate(2027, 3, 1), QTime(9, 0)));
    const somnex::ClockScope scope(clock);
    DiaryStore store(path());
    const QString id = store.add(dream("Снилась вода"));
    Fulfilment f;
    f.mark = Mark::Yes;
    store.setFulfilment(id, f);
    EXPECT_EQ(store.entry(id)->fulfilment.markedOn, QDate(2027, 3, 1));
    store.moveToTrash(id);
    EXPECT_EQ(store.entry(id)->deletedAt.toLocalTime().date(), QDate(2027, 3, 1));
    clock.advance(31LL * 86400);
    DiaryStore reopened(path());
    EXPECT_FALSE(reopened.entry(id).has_value()) << "31 days in the trash by the program's clock";
}

TEST_F(DiaryStoreTest, ResolveIdTakesAnUnambiguousBeginning)
{
    DiaryStore store(path());
    Entry e1 = dream("Один");
    e1.id = "abcd1111-0000-4000-8000-000000000000";
    Entry e2 = dream("Два");
    e2.id = "abcd2222-0000-4000-8000-000000000000";
    store.add(e1);
    store.add(e2);
    EXPECT_EQ(store.resolveId("abcd1"), e1.id);
    EXPECT_EQ(store.resolveId(e2.id), e2.id);
    EXPECT_EQ(store.resolveId("ABCD2"), e2.id);
    const somnex::Error several = thrown([&] { store.resolveId("abcd"); });
    EXPECT_EQ(several.number(), kErrorNotFound);
    EXPECT_EQ(several.description(), "Начало «abcd» подходит к нескольким записям дневника; укажите больше знаков.");
    EXPECT_EQ(thrown([&] { store.resolveId("abc"); }).number(), kErrorNotFound);
    EXPECT_EQ(thrown([&] { store.resolveId("ffff"); }).description(), "В дневнике снов нет записи «ffff».");
}

// Files the store must never write: each is refused with its reason, the
// bytes stay as they were, and moveAside lets a new diary start.
TEST_F(DiaryStoreTest, DamagedForeignAndNewerFilesAreNeverWritten)
{
    struct Case {
        const char *name;
        std::function<void(const QString &)> make;
        long number;
        const char *why;
    };
    const auto good = [](const QString &p) {
        DiaryStore s(p);
        for (int i = 0; i < 30; ++i)
            s.add(dream(QString("Сон номер %1 ").arg(i).repeated(50)));
    };
    const auto resize = [](const QString &p, qint64 size) {
        QFile f(p);
        ASSERT_TRUE(f.resize(size));
    };
    const Case cases[] = {
        {"truncated to half",
         [&](const QString &p) {
             good(p);
             resize(p, QFileInfo(p).size() / 2);
         },
         kErrorDamaged, "файл обрезан"},
        {"truncated inside a page",
         [&](const QString &p) {
             good(p);
             resize(p, QFileInfo(p).size() - 100);
         },
         kErrorDamaged, "файл обрезан"},
        {"header only",
         [&](const QString &p) {
             good(p);
             resize(p, 60);
         },
         kErrorDamaged, "файл обрезан"},
        {"empty",
         [&](const QString &p) {
             QFile f(p);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
         },
         kErrorDamaged, "файл пуст"},
        {"damaged pages",
         [&](const QString &p) {
             good(p);
             QFile f(p);
             ASSERT_TRUE(f.open(QIODevice::ReadWrite));
             f.seek(4096 * 2 + 10);
             f.write(QByteArray(3000, '\x5a'));
         },
         kErrorDamaged, "проверка нашла ошибку"},
        {"text file",
         [](const QString &p) {
             QFile f(p);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write("Это просто текст, а не дневник.\n");
         },
         kErrorForeign, "это не база данных SQLite"},
        {"another program's database",
         [](const QString &p) {
             ASSERT_EQ(execOn(p, "CREATE TABLE entry (x); INSERT INTO entry VALUES (1);"), SQLITE_OK);
         },
         kErrorForeign, "это база данных другой программы"},
        {"newer schema",
         [&](const QString &p) {
             good(p);
             ASSERT_EQ(execOn(p, "PRAGMA user_version = 7"), SQLITE_OK);
         },
         kErrorNewer, "версия схемы 7, эта программа знает версии до 3"},
        {"our id, tables missing",
         [&](const QString &p) {
             good(p);
             ASSERT_EQ(execOn(p, "DROP TABLE word"), SQLITE_OK);
         },
         kErrorDamaged, "нет таблицы «word»"},
        {"a table another program rebuilt without a column",
         [&](const QString &p) {
             good(p);
             ASSERT_EQ(execOn(p, "PRAGMA foreign_keys = OFF; DROP TABLE tag; "
                                 "CREATE TABLE tag (n INTEGER, position INTEGER, text TEXT)"),
                       SQLITE_OK);
         },
         kErrorDamaged, "в таблице «tag» нет столбца «folded»"},
        {"an older diary lacking a table its version has",
         [&](const QString &p) {
             good(p);
             ASSERT_EQ(execOn(p, "DROP TABLE keyring; DROP TABLE body; PRAGMA user_version = 2"), SQLITE_OK);
         },
         kErrorDamaged, "нет таблицы «body»"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir d;
        const QString p = d.path() + "/diary.sqlite";
        c.make(p);
        // Another program's leftovers are gone before the check starts.
        QFile::remove(p + "-wal");
        QFile::remove(p + "-shm");
        const QByteArray hash = fileHash(p);
        const somnex::Error opened = thrown([&] {
            DiaryStore s(p);
            s.add(dream("Новый сон"));
        });
        EXPECT_EQ(opened.number(), c.number);
        EXPECT_TRUE(opened.description().contains(p)) << opened.description().toStdString();
        EXPECT_TRUE(opened.description().contains(QString::fromUtf8(c.why))) << opened.description().toStdString();
        EXPECT_EQ(fileHash(p), hash);
        EXPECT_EQ(QDir(d.path()).entryList({"diary.sqlite.v*"}, QDir::Files), QStringList());

        const QString aside = DiaryStore::moveAside(p);
        EXPECT_TRUE(aside.startsWith(p + ".damaged-")) << aside.toStdString();
        EXPECT_EQ(fileHash(aside), hash);
        EXPECT_FALSE(QFileInfo::exists(p));
        DiaryStore fresh(p);
        fresh.add(dream("Новый сон"));
        EXPECT_EQ(fresh.list().size(), 1);
    }
}

TEST_F(DiaryStoreTest, TwoWritersAtOnceLoseNothing)
{
    constexpr int kEach = 60;
    QStringList ids[2];
    std::string failures[2];
    auto writer = [&](int w) {
        try {
            DiaryStore s(path());
            for (int i = 0; i < kEach; ++i) {
                ids[w] << s.add(dream(QString("Писатель %1, сон %2").arg(w).arg(i)));
                s.list();
            }
        } catch (const std::exception &e) {
            failures[w] = e.what();
        }
    };
    std::thread t0(writer, 0), t1(writer, 1);
    t0.join();
    t1.join();
    EXPECT_EQ(failures[0], "");
    EXPECT_EQ(failures[1], "");
    EXPECT_EQ(ids[0].size() + ids[1].size(), 2 * kEach);
    DiaryStore s(path());
    for (const QStringList &list : ids)
        for (const QString &id : list)
            EXPECT_TRUE(s.entry(id).has_value()) << id.toStdString();
    EXPECT_EQ(s.list().size(), 2 * kEach);
    EXPECT_EQ(integrity(path()), "ok");
}

TEST_F(DiaryStoreTest, BackupCopiesTheDiaryWhole)
{
    DiaryStore store(path());
    const QString id = store.add(dream("Сон для копии"));
    const QString copy = dir.path() + "/copy.sqlite";
    store.backupTo(copy);
    EXPECT_EQ(integrity(copy), "ok");
    EXPECT_EQ(DiaryStore(copy).entry(id)->text, "Сон для копии");
}

TEST_F(DiaryStoreTest, ANewDiaryClearsWhatAKilledCreatorLeft)
{
    QDir().mkpath(dir.path() + "/Diary");
    const QString stale = dir.path() + "/Diary/.diary.sqlite.new-dead";
    const QString fresh = dir.path() + "/Diary/.diary.sqlite.new-busy";
    for (const QString &p : {stale, fresh}) {
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("half");
        f.flush();
        if (p == stale) {
            ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-600), QFileDevice::FileModificationTime));
        }
    }
    DiaryStore(path()).add(dream("Сон"));
    EXPECT_FALSE(QFileInfo::exists(stale));
    EXPECT_TRUE(QFileInfo::exists(fresh)) << "another process may be making it now";
}

// A diary of the first schema (the texts inside entry) is copied aside and
// then upgraded in one transaction; nothing of it is lost.
TEST_F(DiaryStoreTest, AnOlderDiaryIsCopiedThenUpgraded)
{
    QString id;
    Entry before;
    {
        DiaryStore store(path());
        Entry e = dream(QString("Сон первой версии про собаку ") + QChar(0) + "🐕");
        e.tags = {{"дача", TagKind::Place}};
        id = store.add(e);
        before = *store.entry(id);
    }
    ASSERT_EQ(execOn(path(), "BEGIN;"
                             "ALTER TABLE entry ADD COLUMN text TEXT NOT NULL DEFAULT '';"
                             "ALTER TABLE entry ADD COLUMN lunar_text TEXT NOT NULL DEFAULT '';"
                             "ALTER TABLE entry ADD COLUMN weekday_text TEXT NOT NULL DEFAULT '';"
                             "ALTER TABLE entry ADD COLUMN month_day_text TEXT NOT NULL DEFAULT '';"
                             "UPDATE entry SET text = (SELECT text FROM body b WHERE b.n = entry.n),"
                             " lunar_text = (SELECT lunar_text FROM body b WHERE b.n = entry.n),"
                             " weekday_text = (SELECT weekday_text FROM body b WHERE b.n = entry.n),"
                             " month_day_text = (SELECT month_day_text FROM body b WHERE b.n = entry.n);"
                             "DROP TABLE body; PRAGMA user_version = 1; COMMIT;"),
              SQLITE_OK);

    DiaryStore store(path());
    const std::optional<Entry> after = store.entry(id);
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->text, before.text);
    EXPECT_EQ(after->lunar, before.lunar);
    EXPECT_EQ(after->tags, before.tags);
    EXPECT_EQ(store.search(Filter{.text = "собаки"}), QStringList{id});
    EXPECT_EQ(integrity(path()), "ok");

    const QStringList copies = QDir(dir.path() + "/Diary").entryList({"diary.sqlite.v1-*"}, QDir::Files);
    ASSERT_EQ(copies.size(), 1) << copies.join(", ").toStdString();
    const QString copy = dir.path() + "/Diary/" + copies.first();
    EXPECT_EQ(fileHash(copy).isEmpty(), false);
    EXPECT_FALSE(QFileInfo::exists(copy + "-wal")) << "the copy is one file";
    EXPECT_EQ(integrity(copy), "ok");
    EXPECT_EQ(entryCount(copy), 1);
    EXPECT_EQ(execOn(copy, "SELECT text FROM entry", SQLITE_OPEN_READONLY), SQLITE_OK)
        << "the copy keeps the old layout";

    // Upgraded once: opening again takes no second copy.
    DiaryStore(path()).list();
    EXPECT_EQ(QDir(dir.path() + "/Diary").entryList({"diary.sqlite.v1-*[0-9]"}, QDir::Files).size(), 1);
}
