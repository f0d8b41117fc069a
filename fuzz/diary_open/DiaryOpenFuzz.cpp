// Arbitrary bytes opened as the dream diary: the file is checked, listed,
// searched, every entry read, and one written when the store accepts the
// file. Refusals (somnex::Error) are expected; crashes, hangs and other
// exceptions are not, and a refused file must keep its bytes.
#include "diary/DiaryStore.h"
#include "platform/error/Error.h"

#include <QByteArray>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace {

using namespace somnex;
using namespace somnex::diary;

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Reads everything the window would and writes one entry.
void useDiary(DiaryStore &store, std::size_t &sum)
{
    for (const EntrySummary &s : store.list()) {
        sum += static_cast<std::size_t>(s.displayTitle.size());
        if (const std::optional<Entry> e = store.entry(s.id))
            sum += static_cast<std::size_t>(e->text.size() + e->tags.size() + e->symbols.size());
    }
    sum += static_cast<std::size_t>(store.trash().size() + store.allTags().size());
    sum += static_cast<std::size_t>(store.search(Filter{.text = QStringLiteral("собака")}).size());
    Entry e;
    e.text = QStringLiteral("Сон");
    e.at = QDateTime(QDate(2026, 12, 9), QTime(3, 0), Qt::OffsetFromUTC, 3 * 3600);
    sum += static_cast<std::size_t>(store.add(e).size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const bool quiet = [] {
        QLoggingCategory::setFilterRules(QStringLiteral("somnex.ignored=false"));
        return true;
    }();
    (void)quiet;
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/diary.sqlite");
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return 0;
    }
    std::size_t sum = 0;
    std::optional<DiaryStore> store;
    try {
        store.emplace(path);
    } catch (const Error &e) {
        // Refused: the file is as it was.
        if (e.number() != kErrorWrite && contents(path) != bytes)
            std::abort();
        return 0;
    }
    tryStep([&] { useDiary(*store, sum); });
    return sum == 42424242 ? 1 : 0;
}
