// Dream-book reading speed over ten synthetic books of 20 000 headwords.
// The books are written once per run into $SOMNEX_BENCH_DIR (default: a
// temporary folder), each also as a plain database (*.mdb, Jet header in
// place) so that mdbtools can be timed on the same data.
#include "dictionary/BookDatabase.h"
#include "dictionary/BookSchema.h"
#include "dictionary/BookSource.h"
#include "dictionary/PackedText.h"
#include "dictionary/SyntheticBook.h"
#include "platform/jet/BookSignature.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unistd.h>

using namespace somnex;
using namespace somnex::dictionary;

namespace {

constexpr int kBooks = 10;
constexpr int kWords = 20000;

struct Fixture {
    std::unique_ptr<QTemporaryDir> temp;
    QString dir;
    QStringList books;
    QStringList someWords;
    std::vector<QString> packedTexts;
    qint64 packedChars = 0;   // Text and Links, all ten books
    qint64 headwordChars = 0; // all ten books

    Fixture()
    {
        dir = QString::fromLocal8Bit(qgetenv("SOMNEX_BENCH_DIR"));
        if (dir.isEmpty()) {
            temp = std::make_unique<QTemporaryDir>();
            dir = temp->path();
        }
        QDir().mkpath(dir);
        for (int b = 0; b < kBooks; ++b) {
            const BookContent book = syntheticBook(kWords, 100 + b, QStringLiteral("Сонник %1").arg(b));
            QByteArray image = buildBookImage(book);
            const QString path = QStringLiteral("%1/book%2.book").arg(dir).arg(b);
            write(path, image);
            jet::restoreJetHeader(image);
            write(QStringLiteral("%1/book%2.mdb").arg(dir).arg(b), image);
            books << path;
            for (const auto &e : book.entries) {
                headwordChars += e.headword.size();
                const QString packed = dictionary::PackText(e.text);
                packedChars += packed.size() + (e.links ? dictionary::PackText(*e.links).size() : 0);
                if (b == 0)
                    packedTexts.push_back(packed);
                if (b == 0 && someWords.size() < 1000)
                    someWords << e.headword;
            }
        }
        std::fprintf(stderr, "books in %s: %lld packed characters, %lld headword characters\n", qPrintable(dir),
                     static_cast<long long>(packedChars), static_cast<long long>(headwordChars));
    }

    static void write(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            std::abort();
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

long rssBytes()
{
    long pages = 0, resident = 0;
    FILE *f = std::fopen("/proc/self/statm", "r");
    if (f) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

void BM_OpenAllBooksAndWalkHeadwords(benchmark::State &state)
{
    const Fixture &f = fixture();
    for (auto _ : state) {
        qsizetype chars = 0;
        for (const QString &path : f.books) {
            const Database db = DBEngine::instance().OpenDatabase(path);
            Recordset rs = db.OpenRecordset(dictionary::kBookTable);
            db.OpenRecordset(dictionary::kConfigTable).Field(dictionary::kToolNameColumn);
            rs.setIndex(dictionary::kListIndex);
            const int list = rs.fieldIndex(dictionary::kListColumn);
            for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
                chars += rs.fieldView(list).size();
        }
        benchmark::DoNotOptimize(chars);
    }
    state.counters["headwords"] = kBooks * kWords;
}
BENCHMARK(BM_OpenAllBooksAndWalkHeadwords)->Unit(benchmark::kMillisecond)->MinTime(3);

void BM_SeekOneWord(benchmark::State &state)
{
    const Fixture &f = fixture();
    const Database db = DBEngine::instance().OpenDatabase(f.books[0]);
    Recordset rs = db.OpenRecordset(dictionary::kBookTable);
    rs.setIndex(dictionary::kListIndex);
    qsizetype i = 0;
    for (auto _ : state) {
        rs.Seek(QStringLiteral("="), f.someWords[i++ % f.someWords.size()]);
        benchmark::DoNotOptimize(rs.NoMatch());
    }
}
BENCHMARK(BM_SeekOneWord)->Unit(benchmark::kMicrosecond);

void BM_SeekAndFetchTextAndLinks(benchmark::State &state)
{
    const Fixture &f = fixture();
    const Database db = DBEngine::instance().OpenDatabase(f.books[0]);
    Recordset rs = db.OpenRecordset(dictionary::kBookTable);
    rs.setIndex(dictionary::kListIndex);
    qsizetype i = 0;
    for (auto _ : state) {
        rs.Seek(QStringLiteral("="), f.someWords[i++ % f.someWords.size()]);
        const auto text = rs.Field(dictionary::kTextColumn);
        const auto links = rs.Field(dictionary::kLinksColumn);
        benchmark::DoNotOptimize(dictionary::UnpackText(*text).size()
                                 + (links ? dictionary::UnpackText(*links).size() : 0));
    }
}
BENCHMARK(BM_SeekAndFetchTextAndLinks)->Unit(benchmark::kMicrosecond);

void BM_UnpackText(benchmark::State &state)
{
    const Fixture &f = fixture();
    qint64 chars = 0;
    for (auto _ : state) {
        for (const QString &p : f.packedTexts)
            chars += dictionary::UnpackText(p).size();
    }
    // output measured as one byte per character, the size of the text in the
    // code page (the QString holds twice as many bytes)
    state.SetBytesProcessed(chars);
    state.counters["chars"] = benchmark::Counter(static_cast<double>(chars), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_UnpackText)->Unit(benchmark::kMillisecond);

void BM_MemoryAfterOpeningAllBooks(benchmark::State &state)
{
    const Fixture &f = fixture();
    for (auto _ : state) {
        const long before = rssBytes();
        std::vector<Database> open;
        std::size_t held = 0;
        for (const QString &path : f.books) {
            open.push_back(DBEngine::instance().OpenDatabase(path));
            Recordset rs = open.back().OpenRecordset(dictionary::kBookTable);
            rs.setIndex(dictionary::kListIndex);
            held += open.back().bytesHeld();
        }
        state.counters["rss_delta_MB"] = static_cast<double>(rssBytes() - before) / 1e6;
        state.counters["held_MB"] = static_cast<double>(held) / 1e6;
        state.counters["packed_chars_MB"] = static_cast<double>(f.packedChars) / 1e6;
        state.counters["headword_chars_MB"] = static_cast<double>(f.headwordChars) / 1e6;
    }
}
BENCHMARK(BM_MemoryAfterOpeningAllBooks)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
