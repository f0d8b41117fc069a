// A private diary's export sealed under its password: read back whole with
// the password, nothing of it readable without, and every way it can go
// wrong told apart (no password, a wrong one, a damaged, cut or reordered
// file, a newer one, one asking for a ruinous key derivation).
#include "DiaryTestFiles.h"
#include "diary/DiaryStore.h"
#include "diary/Exchange.h"
#include "diary/exchange/SealedJournal.h"
#include "platform/error/Error.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace somnex;
using namespace somnex::diary;
using diary_test::thrown;

namespace {

// Cheap enough for tests; the program's own cost is calibrated.
const KeyCost kCheap{1, 8192};

QByteArray randomText(qsizetype n, quint32 seed)
{
    QRandomGenerator r(seed);
    QByteArray b(n, '\0');
    for (char &c : b)
        c = char('a' + r.bounded(26));
    return b;
}

} // namespace

TEST(SealedJournal, ReadsBackExactlyAcrossChunkBoundaries)
{
    for (const qsizetype n : {0, 1, 65535, 65536, 65537, 3 * 65536, 200000}) {
        SCOPED_TRACE(n);
        const QByteArray plain = randomText(n, quint32(n));
        const QByteArray sealed = sealJournal(plain, QStringLiteral("ёлка 1901"), kCheap);
        EXPECT_TRUE(isSealedJournal(sealed));
        EXPECT_EQ(openSealedJournal(sealed, QStringLiteral("ёлка 1901"), QStringLiteral("f.sealed")), plain);
        if (n >= 16) {
            EXPECT_FALSE(sealed.contains(plain.left(16)));
        }
    }
    // the same bytes sealed twice share nothing past the header's format
    const QByteArray a = sealJournal("сон", QStringLiteral("p"), kCheap);
    const QByteArray b = sealJournal("сон", QStringLiteral("p"), kCheap);
    EXPECT_NE(a.mid(a.indexOf("salt:")), b.mid(b.indexOf("salt:")));
}

TEST(SealedJournal, WrongPasswordDamageCutsAndNewerFilesAreToldApart)
{
    const QByteArray plain = randomText(200000, 7); // three whole chunks and a short last one
    const QByteArray sealed = sealJournal(plain, QStringLiteral("пароль"), kCheap);
    const qsizetype streamAt = sealed.indexOf("\n\n") + 2;
    const qsizetype chunk = 65536 + 17;
    const auto refusal = [](const QByteArray &bytes, const QString &password = QStringLiteral("пароль")) {
        const Error e = thrown([&] { openSealedJournal(bytes, password, QStringLiteral("f.sealed")); });
        return std::make_pair(e.number(), e.description());
    };
    const auto changed = [&](qsizetype at, char to) {
        QByteArray b = sealed;
        b[at] = to;
        return b;
    };

    EXPECT_EQ(refusal(sealed, QStringLiteral("Пароль")).first, kErrorWrongPassword);
    EXPECT_EQ(refusal(sealed, QStringLiteral("Пароль")).second, "Неверный пароль");

    struct Case {
        const char *name;
        QByteArray bytes;
        const char *why;
    };
    QByteArray withoutLast = sealed.left(streamAt + 24 + 3 * chunk);
    QByteArray reordered = sealed;
    reordered.replace(streamAt + 24, chunk, sealed.mid(streamAt + 24 + chunk, chunk));
    reordered.replace(streamAt + 24 + chunk, chunk, sealed.mid(streamAt + 24, chunk));
    QByteArray newer = sealed;
    newer.replace("version: 1", "version: 2");
    QByteArray ruinous = sealed;
    ruinous.replace("memory: 8192", "memory: 4294967296");
    const Case cases[] = {
        {"a byte of the stream", changed(streamAt + 24 + chunk + 100, char(sealed[streamAt + 24 + chunk + 100] ^ 1)),
         "повреждён"},
        {"the stream's own header", changed(streamAt + 3, char(sealed[streamAt + 3] ^ 0x40)), "повреждён"},
        {"the last chunk gone", withoutLast, "обрезан"},
        {"cut inside a chunk", sealed.left(sealed.size() - 5), "повреждён"},
        {"only the header", sealed.left(streamAt), "обрезан"},
        {"chunks swapped", reordered, "повреждён"},
        {"bytes after the end", sealed + "x", "повреждён"},
        {"a newer version", newer, "более новой версией"},
        {"a derivation beyond any written", ruinous, "слишком дорогого"},
        {"a header cut short", sealed.left(40), "заголовок"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto [number, why] = refusal(c.bytes);
        EXPECT_EQ(number, kErrorJournalBad) << why.toStdString();
        EXPECT_TRUE(why.contains("f.sealed")) << why.toStdString();
        EXPECT_TRUE(why.contains(QString::fromUtf8(c.why))) << why.toStdString();
    }
}

TEST(SealedJournal, APrivateDiaryExportsSealedAndImportsWithItsPasswordOnly)
{
    QTemporaryDir dir;
    DiaryStore store(dir.filePath("diary.sqlite"));
    Entry e;
    e.title = QStringLiteral("Аргунь river");
    e.text = QStringLiteral("Плыли по реке Аргунь на лодке");
    e.tags = {{QStringLiteral("Маша"), TagKind::Person}};
    store.add(e);
    const QString password = QStringLiteral("сорок два");
    store.protect(password, &kCheap);
    EXPECT_EQ(store.passwordCost().passes, kCheap.passes);

    const QString file = dir.filePath("out.sealed");
    const ExportSeal seal{password, store.passwordCost()};
    ASSERT_EQ(exportDiary(ExportFormat::Sealed, file, store.allEntries(), {}, {}, false, &seal), 1);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    for (const char *canary : {"Аргунь", "аргун", "river", "лодк", "Маша"})
        EXPECT_FALSE(bytes.contains(canary)) << canary;
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    EXPECT_EQ(thrown([&] { readAnyJournal(file, {}); }).number(), kErrorJournalSealed);
    EXPECT_EQ(thrown([&] { readAnyJournal(file, {}, [](const QString &) { return std::nullopt; }); }).number(),
              kErrorJournalSealed);
    EXPECT_EQ(thrown([&] { readAnyJournal(file, {}, [](const QString &) { return QStringLiteral("нет"); }); }).number(),
              kErrorWrongPassword);
    const ImportedJournal journal = readAnyJournal(file, {}, [&](const QString &asked) -> std::optional<QString> {
        EXPECT_EQ(asked, file);
        return password;
    });
    ASSERT_EQ(journal.entries.size(), 1);
    EXPECT_EQ(journal.entries[0].text, e.text);
    EXPECT_EQ(journal.entries[0].tags, e.tags);

    // into another diary, plain: the dream reads as it was written
    DiaryStore other(dir.filePath("other.sqlite"));
    applyMerge(other, planMerge(other, journal));
    ASSERT_EQ(other.list().size(), 1);
    EXPECT_EQ(other.allEntries()[0].title, e.title);
    // a sealed export needs its password
    EXPECT_THROW(exportDiary(ExportFormat::Sealed, dir.filePath("x.sealed"), {}, {}, {}, false), std::invalid_argument);
}
