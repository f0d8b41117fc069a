// The readers of other programs' dream journals: the sample journals under
// import/ (written from each format's description) read into entries with
// their tags, lucid flags, moments and everything else in the text; broken
// files refused whole with a Russian message naming the file and the entry
// or line; the format told apart or refused as unknown.
#include "diary/Importers.h"
#include "diary/exchange/ForeignFormats.h"
#include "platform/error/Error.h"
#include "support/QtPrint.h"
#include "support/TzScope.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace somnex::diary;

namespace {

QString tagList(const Entry &e)
{
    QStringList list;
    for (const Tag &t : e.tags)
        list << (t.kind == TagKind::Person  ? QStringLiteral("person:")
                 : t.kind == TagKind::Place ? QStringLiteral("place:")
                                            : QString())
                    + t.text;
    return list.join(QLatin1Char('|'));
}

// What one entry read from a sample journal must be.
struct Expected {
    QString title;
    QString text;
    QString at; // isoWithOffset
    QString zone;
    bool lucid = false;
    QString tags; // tagList
    bool hasId = false;
};

// One assertion per field, and each gtest assertion counts as several
// statements: a table of fields, longer than a function.
// NOLINTNEXTLINE(readability-function-size)
void expectEntries(const ImportedJournal &j, const QList<Expected> &expected)
{
    ASSERT_EQ(j.entries.size(), expected.size()) << j.source.toStdString();
    for (qsizetype i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(QStringLiteral("%1, entry %2").arg(j.source).arg(i + 1).toStdString());
        const Entry &e = j.entries[i];
        const Expected &x = expected[i];
        EXPECT_EQ(e.title, x.title);
        EXPECT_EQ(e.text, x.text);
        EXPECT_EQ(isoWithOffset(e.at), x.at);
        EXPECT_EQ(e.at.timeSpec(), Qt::OffsetFromUTC);
        EXPECT_EQ(e.zone, x.zone);
        EXPECT_EQ(e.lucid, x.lucid);
        EXPECT_EQ(tagList(e), x.tags);
        EXPECT_EQ(!e.id.isEmpty(), x.hasId);
        EXPECT_FALSE(e.night.isValid()) << "the night is the store's to set";
    }
}

long errorNumber(const std::function<void()> &f, QString *description = nullptr)
{
    try {
        f();
    } catch (const somnex::Error &e) {
        if (description)
            *description = e.description();
        return e.number();
    }
    return 0;
}

} // namespace

TEST(DiaryImport, SampleJournalsMapToEntries)
{
    TzScope tz("Europe/Moscow");
    const QString signsWake = QStringLiteral("Время отхода ко сну: 23:30\nЗаметки перед сном: Повторял: я вижу "
                                             "сон\nЗаметки после пробуждения: Проснулся в 5 утра");
    struct Case {
        QString path;
        QString format;
        QList<Expected> entries;
    };
    const Case cases[] = {
        {"import/dreamdir",
         "dreamdir",
         {
             {"Полёт над рекой", "Я летел над Волгой и понял, что сплю.\nВторой абзац.", "2023-05-01T00:00:00+03:00",
              "", true, "person:Мама|person:Сергей|place:Казань|полёт|вода", true},
             {"", "Лестница без конца.\n\nMood: тревога", "2023-05-03T06:05:00+03:00", "", false, "", true},
             {"", "Время: рано утром", "2023-05-20T00:00:00+03:00", "", false, "", true},
         }},
        {"import/webdreamjournal.json",
         "webdreamjournal",
         {
             {"Кот на крыше",
              "Рыжий кот звал меня на крышу.\n\nЗнаки сна: говорящее животное\nЭмоции: радость, удивление",
              "2024-03-10T06:30:00+03:00", "", true, "кот|крыша", true},
             {"", "Экзамен, к которому я не готов.\n\nЭмоции: страх", "2024-03-11T07:15:00+05:00", "", false, "", true},
         }},
        {"import/jrnl.json",
         "jrnl",
         {
             {"Шторм на @море.", "Мы с @брат плыли на лодке.\nПочта: me@example.org\n\nОтмечено звёздочкой.",
              "2022-08-14T07:40:00+03:00", "", false, "море|брат", false},
             {"Короткий сон без меток.", "", "2022-08-15T23:10:00+03:00", "", false, "", false},
         }},
        {"import/dayone.json",
         "dayone",
         {
             {"", "Снился зимний лес и волк.\n\nОтмечено звёздочкой.", "2021-01-15T07:00:00+05:00",
              "Asia/Yekaterinburg", false, "лес|волк", true},
             {"", "Пустой вокзал.\n\nЧасовой пояс: Mars/Olympus", "2021-01-17T00:30:00+03:00", "", false, "", true},
         }},
        {"import/dream-journal-app.json",
         "dream-journal-app",
         {
             {"Библиотека", "Книги без букв.\n\nЗнаки сна: текст, книги\nСпособ осознания: MILD\n" + signsWake,
              "2020-06-20T00:00:00+03:00", "", true, "", false},
             {"Поезд", "Ехал домой.\n\n" + signsWake, "2020-06-20T00:00:00+03:00", "", false, "", false},
             {"", "Заметки после пробуждения: Снов не помню, спал плохо", "2020-06-21T00:00:00+03:00", "", false, "",
              false},
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const ImportedJournal j = readForeignJournal(c.path);
        EXPECT_EQ(j.format, c.format);
        EXPECT_EQ(j.source, c.path);
        expectEntries(j, c.entries);
        // Read again, the same ids: the merge recognises what it has seen.
        const ImportedJournal again = readForeignJournal(c.path);
        QStringList ids;
        for (qsizetype i = 0; i < j.entries.size() && i < again.entries.size(); ++i) {
            EXPECT_EQ(j.entries[i].id, again.entries[i].id);
            if (!j.entries[i].id.isEmpty()) {
                EXPECT_EQ(j.entries[i].id.size(), 36) << j.entries[i].id.toStdString();
                EXPECT_FALSE(ids.contains(j.entries[i].id));
                ids << j.entries[i].id;
            }
        }
    }
}

TEST(DiaryImport, SameOwnIdInTwoFormatsGivesTwoIds)
{
    const QByteArray web = R"({"data":{"dreams":[{"id":"7","content":"a","timestamp":"2020-01-01T00:00:00Z"}]}})";
    const QByteArray day = R"({"entries":[{"uuid":"7","text":"a","creationDate":"2020-01-01T00:00:00Z"}]})";
    const QByteArray dre = "Id:\t7\nDate:\t2020-01-01\n\na";
    const QString a = parseWebDreamJournal(web, "a.json").entries.value(0).id;
    const QString b = parseDayOne(day, "b.json").entries.value(0).id;
    const QString c = parseDreFile(dre, "00007.dre").id;
    EXPECT_FALSE(a.isEmpty());
    EXPECT_NE(a, b);
    EXPECT_NE(a, c);
    EXPECT_NE(b, c);
}

TEST(DiaryImport, BrokenFilesAreRefusedWholeNamingFileAndEntry)
{
    TzScope tz("Europe/Moscow");
    using Parser = std::function<void(const QByteArray &, const QString &)>;
    const Parser web = [](const QByteArray &b, const QString &f) { parseWebDreamJournal(b, f); };
    const Parser jrnl = [](const QByteArray &b, const QString &f) { parseJrnl(b, f); };
    const Parser day = [](const QByteArray &b, const QString &f) { parseDayOne(b, f); };
    const Parser dja = [](const QByteArray &b, const QString &f) { parseDreamJournalApp(b, f); };
    const Parser dre = [](const QByteArray &b, const QString &f) { parseDreFile(b, f); };
    const QByteArray okDream = R"({"id":"a","content":"x","timestamp":"2020-01-01T00:00:00Z"})";
    auto dreams = [](const QByteArray &list) { return R"({"data":{"dreams":[)" + list + "]}}"; };
    struct Case {
        const char *name;
        Parser parse;
        QByteArray bytes;
        long number;
        QString says;
    };
    const Case cases[] = {
        {"truncated JSON", web, R"({"data":{"dreams":[{"id":"a","content":"x")", kErrorImportDamaged,
         "файл JSON обрезан"},
        {"malformed JSON", web, "{\"data\":\n{\"dreams\": [1, ]}}", kErrorImportDamaged,
         "ошибка в записи JSON в строке 2"},
        {"empty file", web, " \n", kErrorImportDamaged, "файл пуст"},
        {"array at the top", jrnl, "[1, 2]", kErrorImportDamaged, "в файле ожидался объект JSON"},
        {"no data", web, R"({"dreams":[]})", kErrorImportDamaged, "нет поля «data»"},
        {"dreams not a list", web, R"({"data":{"dreams":{}}})", kErrorImportDamaged,
         "поле «dreams» должно быть списком"},
        {"dream not an object", web, dreams(okDream + ",\"x\""), kErrorImportDamaged, "запись 2: ожидался объект"},
        {"no content", web, dreams(okDream + R"(,{"id":"b","timestamp":"2020-01-01T00:00:00Z"})"), kErrorImportDamaged,
         "запись 2: нет поля «content»"},
        {"lucid not a bool", web, dreams(R"({"content":"x","timestamp":"2020-01-01","isLucid":"yes"})"),
         kErrorImportDamaged, "запись 1: поле «isLucid» должно быть true или false"},
        {"tags not strings", web, dreams(R"({"content":"x","timestamp":"2020-01-01","tags":[1]})"), kErrorImportDamaged,
         "запись 1: поле «tags» должно быть списком строк"},
        {"content a number", web, dreams(R"({"content":5,"timestamp":"2020-01-01"})"), kErrorImportDamaged,
         "запись 1: поле «content» должно быть строкой"},
        {"timestamp an object", web, dreams(R"({"content":"x","timestamp":{}})"), kErrorImportDamaged,
         "запись 1: поле «timestamp» должно быть строкой или числом"},
        {"no timestamp", web, dreams(R"({"content":"x"})"), kErrorImportDamaged, "запись 1: нет поля «timestamp»"},
        {"timestamp not a date", web, dreams(R"({"content":"x","timestamp":"вчера"})"), kErrorImportDamaged,
         "запись 1: неверная дата «вчера»"},
        {"timestamp too early", web, dreams(R"({"content":"x","timestamp":"1200-01-01T00:00:00Z"})"),
         kErrorImportDamaged, "запись 1: дата «1200-01-01T00:00:00Z» вне допустимых пределов (годы 1601–9999)"},
        {"timestamp number too far", web, dreams(R"({"content":"x","timestamp":1e20})"), kErrorImportDamaged,
         "вне допустимых пределов"},
        {"lone surrogate", web, dreams(R"({"content":"a\ud800b","timestamp":"2020-01-01"})"), kErrorImportDamaged,
         "запись 1: текст содержит испорченные символы"},
        {"the same id twice", web, dreams(okDream + "," + okDream), kErrorImportDamaged,
         "записи 1 и 2 имеют один идентификатор «a»"},
        {"invalid UTF-8", web, "{\n\"data\": \"\xff\"}", kErrorImportDamaged, "неверная кодировка UTF-8 в строке 2"},
        {"overlong UTF-8", jrnl, "{\"entries\": \"\xc0\xaf\"}", kErrorImportDamaged, "неверная кодировка UTF-8"},
        {"encoded surrogate", day, "{\"entries\": \"\xed\xa0\x80\"}", kErrorImportDamaged, "неверная кодировка UTF-8"},
        {"cut multibyte", day, "{\"entries\": \"\xd0", kErrorImportDamaged, "неверная кодировка UTF-8"},
        {"jrnl without date", jrnl, R"({"entries":[{"body":"x"}]})", kErrorImportDamaged, "запись 1: нет поля «date»"},
        {"jrnl bad time", jrnl, R"({"entries":[{"date":"2022-01-01","time":"25:99"}]})", kErrorImportDamaged,
         "запись 1: неверное время «25:99»"},
        {"jrnl month 13", jrnl, R"({"entries":[{"date":"2022-13-01"}]})", kErrorImportDamaged,
         "запись 1: неверная дата «2022-13-01»"},
        {"jrnl long date cut short", jrnl, R"({"entries":[{"date":")" + QByteArray(100, '9') + R"("}]})",
         kErrorImportDamaged, "запись 1: неверная дата «" + QString(60, QLatin1Char('9')) + "…»"},
        {"jrnl year 999", jrnl, R"({"entries":[{"date":"0999-01-01"}]})", kErrorImportDamaged,
         "вне допустимых пределов"},
        {"Day One without date", day, R"({"entries":[{"uuid":"u","text":"x"}]})", kErrorImportDamaged,
         "запись 1: нет поля «creationDate»"},
        {"Day One year 10000", day, R"({"entries":[{"creationDate":"9999-12-31T23:00:00Z","timeZone":"Asia/Tokyo"}]})",
         kErrorImportDamaged, "вне допустимых пределов"},
        {"Day One zone a number", day, R"({"entries":[{"creationDate":"2020-01-01T00:00:00Z","timeZone":3}]})",
         kErrorImportDamaged, "запись 1: поле «timeZone» должно быть строкой"},
        {"entries missing", dja, R"({"dreams":[]})", kErrorImportDamaged, "нет поля «entries»"},
        {"app without entry date", dja, R"({"entries":[{"dreams":[]}]})", kErrorImportDamaged,
         "запись 1: нет поля «entryDate»"},
        {"app lucid not a bool", dja,
         R"({"entries":[{"entryDate":"2020-01-01","dreams":[{"title":"a"},{"isLucidDream":1}]}]})", kErrorImportDamaged,
         "запись 1, сон 2: поле «isLucidDream» должно быть true или false"},
        {"dre without header", dre, "Я шёл по лесу.\nИ вдруг.\n", kErrorImportDamaged,
         "нет заголовка: строка 1 не вида «Имя:<TAB>значение»"},
        {"dre empty", dre, "", kErrorImportDamaged, "файл пуст, нет заголовка"},
        {"dre blank first line", dre, "\nId:\t1\n", kErrorImportDamaged, "нет заголовка: строка 1 пуста"},
        {"dre colon without tab", dre, "Id:\t1\nDate:\t2020-01-01\nTags: a\n\nx", kErrorImportDamaged,
         "строка 3 заголовка не вида «Имя:<TAB>значение»"},
        {"dre without Id", dre, "Date:\t2020-01-01\n\nx", kErrorImportDamaged, "нет заголовка Id"},
        {"dre without Date", dre, "Id:\t1\n\nx", kErrorImportDamaged, "нет заголовка Date"},
        {"dre date too early", dre, "Id:\t1\nDate:\t1500-01-01\n\nx", kErrorImportDamaged,
         "строка 2: дата «1500-01-01» вне допустимых пределов"},
        {"dre bad date", dre, "Id:\t1\nDate:\t01.05.2020\n\nx", kErrorImportDamaged,
         "строка 2: неверная дата «01.05.2020»"},
        {"dre bad lucid", dre, "Id:\t1\nDate:\t2020-01-01\nLucid:\tmaybe\n\nx", kErrorImportDamaged,
         "строка 3: неверное значение «maybe» заголовка Lucid"},
        {"dre header twice", dre, "Id:\t1\nDate:\t2020-01-01\nDate:\t2020-01-02\n\nx", kErrorImportDamaged,
         "строка 3: заголовок «Date» повторяется"},
        {"dre invalid UTF-8", dre, "Id:\t1\nTitle:\t\xc3\x28\n\nx", kErrorImportDamaged,
         "неверная кодировка UTF-8 в строке 2"},
    };
    for (const Case &c : cases) {
        QString said;
        EXPECT_EQ(errorNumber([&] { c.parse(c.bytes, QStringLiteral("bad.file")); }, &said), c.number) << c.name;
        EXPECT_TRUE(said.startsWith(QStringLiteral("Не удаётся прочитать дневник «bad.file»: ")))
            << c.name << said.toStdString();
        EXPECT_TRUE(said.contains(c.says))
            << c.name << "\n  said: " << said.toStdString() << "\n  want: " << c.says.toStdString();
    }
}

TEST(DiaryImport, FormatIsToldApartOrRefused)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    auto write = [&](const QString &name, const QByteArray &bytes) {
        QFile f(tmp.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    };
    QDir(tmp.path()).mkdir("plain");
    QDir(tmp.path()).mkdir("ddir");
    write("ddir/.dreamdir", "");
    write("ddir/00001.dre", "Id:\t00001\nDate:\t2020-01-01\n\nСон.");
    ASSERT_EQ(mkfifo(tmp.filePath("pipe.json").toLocal8Bit().constData(), 0600), 0);
    struct Case {
        QString path;
        QString format; // "" when refused
        long number;
    };
    const Case cases[] = {
        {"import/webdreamjournal.json", "webdreamjournal", 0},
        {"import/jrnl.json", "jrnl", 0},
        {"import/dayone.json", "dayone", 0},
        {"import/dream-journal-app.json", "dream-journal-app", 0},
        {tmp.filePath("ddir"), "dreamdir", 0},
        {tmp.filePath("ddir/.dreamdir"), "dreamdir", 0},
        {write("bom.json", "\xEF\xBB\xBF  {\"metadata\":{},\"entries\":[]}"), "dayone", 0},
        {write("jrnl-empty.json", R"({"tags":{},"entries":[]})"), "jrnl", 0},
        {tmp.filePath("plain"), "", kErrorImportUnknown},
        {write("notes.txt", "Просто текст."), "", kErrorImportUnknown},
        {write("other.json", R"({"items":[1]})"), "", kErrorImportUnknown},
        {write("bare.json", R"({"entries":[]})"), "", kErrorImportUnknown},
        {write("list.json", "[]"), "", kErrorImportUnknown},
        {write("empty.json", ""), "", kErrorImportUnknown},
        {write("cut.json", R"({"entries": [{"date": "2020-)"), "", kErrorImportDamaged},
        {tmp.filePath("missing.json"), "", kErrorImportUnreadable},
        {tmp.filePath("pipe.json"), "", kErrorImportUnreadable}, // never waits for a writer
    };
    for (const Case &c : cases) {
        QString said;
        QString format;
        const long number = errorNumber([&] { format = readForeignJournal(c.path).format; }, &said);
        EXPECT_EQ(number, c.number) << c.path.toStdString() << " " << said.toStdString();
        EXPECT_EQ(format, c.format) << c.path.toStdString();
        if (number == kErrorImportUnknown) {
            EXPECT_EQ(said, QStringLiteral("Не удаётся прочитать дневник «%1»: формат не распознан.").arg(c.path));
        }
    }
}

TEST(DiaryImport, EachFormatOfTheTableKnowsItsOwnSamplesOnly)
{
    TzScope tz("Europe/Moscow");
    struct Sample {
        QString path;
        QString format; // "" for a file no format takes
    };
    const Sample samples[] = {
        {"import/dreamdir", "dreamdir"},
        {"import/dreamdir/.dreamdir", "dreamdir"},
        {"import/webdreamjournal.json", "webdreamjournal"},
        {"import/jrnl.json", "jrnl"},
        {"import/dayone.json", "dayone"},
        {"import/dream-journal-app.json", "dream-journal-app"},
        {"import/dreamdir/00001.dre", ""}, // one dream of a dreamdir is no journal
        {"import", ""},                    // a folder without the marker
    };
    for (const ForeignFormat &format : foreignFormats()) {
        SCOPED_TRACE(format.name);
        int own = 0;
        for (const Sample &s : samples) {
            SCOPED_TRACE(s.path.toStdString());
            const JournalProbe probe(s.path);
            const bool mine = s.format == QLatin1String(format.name);
            EXPECT_EQ(format.sniff(probe) != FormatMatch::No, mine);
            if (!mine)
                continue;
            ++own;
            const ImportedJournal j = format.read(probe);
            EXPECT_EQ(j.format, s.format);
            EXPECT_FALSE(j.entries.isEmpty());
        }
        EXPECT_GT(own, 0) << "every format of the table has a sample journal";
    }
}

TEST(DiaryImport, OversizedFileAndCrowdedFolderAreRefusedUnread)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    // A sparse 100 MB file: refused by its size, not after reading it.
    QFile big(tmp.filePath("big.json"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.write("{\"entries\": [");
    ASSERT_TRUE(big.resize(100LL * 1024 * 1024));
    big.close();
    QString said;
    EXPECT_EQ(errorNumber([&] { readForeignJournal(big.fileName()); }, &said), kErrorImportTooLarge);
    EXPECT_TRUE(said.contains(QStringLiteral("файл слишком велик: 100.0 МБ, читается не больше 64.0 МБ")))
        << said.toStdString();

    // A dreamdir of 50 000 empty files: refused by their number. Made in
    // memory when the system has a tmpfs: on a disk it takes many seconds.
    QTemporaryDir inMemory(QStringLiteral("/dev/shm/somnex-import-XXXXXX"));
    const QString crowd = (inMemory.isValid() ? inMemory.path() : tmp.path()) + QStringLiteral("/crowd");
    ASSERT_TRUE(QDir().mkpath(crowd));
    for (int i = 0; i <= 50000; ++i) {
        const QByteArray name = QFile::encodeName(
            crowd + (i ? QStringLiteral("/%1.dre").arg(i, 5, 10, QLatin1Char('0')) : QStringLiteral("/.dreamdir")));
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    EXPECT_EQ(errorNumber([&] { readForeignJournal(crowd); }, &said), kErrorImportTooLarge);
    EXPECT_TRUE(said.contains(QStringLiteral("в папке больше 20000 файлов .dre"))) << said.toStdString();
}

TEST(DiaryImport, DreamdirWithOneBadFileGivesNothing)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    auto write = [&](const QString &name, const QByteArray &bytes) {
        QFile f(tmp.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write(".dreamdir", "");
    write("00001.dre", "Id:\t00001\nDate:\t2020-01-01\n\nПервый.");
    write("00002.dre", "Второй сон без заголовка.\n");
    write("00003.dre", "Id:\t00003\nDate:\t2020-01-03\n\nТретий.");
    QString said;
    EXPECT_EQ(errorNumber([&] { readForeignJournal(tmp.path()); }, &said), kErrorImportDamaged);
    EXPECT_EQ(said, QStringLiteral("Не удаётся прочитать дневник «%1»: нет заголовка: строка 1 не вида "
                                   "«Имя:<TAB>значение».")
                        .arg(tmp.filePath("00002.dre")));

    write("00002.dre", "Id:\t00001\nDate:\t2020-01-02\n\nВторой с чужим номером.");
    EXPECT_EQ(errorNumber([&] { readForeignJournal(tmp.path()); }, &said), kErrorImportDamaged);
    EXPECT_TRUE(said.contains(QStringLiteral("тот же Id, что в файле «00001.dre»"))) << said.toStdString();
}

TEST(DiaryImport, TitleTooLongForOursOpensTheText)
{
    TzScope tz("Europe/Moscow");
    const QString longTitle(kMaxTitleLength + 1, QLatin1Char('a'));
    const QByteArray bytes =
        R"({"entries":[{"date":"2020-01-01","title":")" + longTitle.toUtf8() + R"(","body":"Текст"}]})";
    const QList<Entry> entries = parseJrnl(bytes, "j.json").entries;
    ASSERT_EQ(entries.size(), 1);
    EXPECT_TRUE(entries[0].title.isEmpty());
    EXPECT_EQ(entries[0].text, longTitle + "\n\nТекст");
}
