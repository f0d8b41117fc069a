// Arbitrary bytes read as a word cache file, as they come and sealed with the
// checksum a whole file ends with (so that the fields behind it are reached):
// a file decoded is walked word by word and written again. Refusals are
// expected; crashes, hangs and unbounded allocations are not.
#include "dictionary/BookCache.h"

#include <cstddef>
#include <cstdint>

namespace {

void decodeAndWalk(QByteArrayView bytes)
{
    using namespace somnex::dictionary;
    std::optional<CachedBook> b = decodeCache(bytes);
    if (!b)
        return;
    std::size_t sum = 0;
    if (const std::vector<QString> *words = b->cached->words()) {
        for (std::size_t i = 0; i < words->size(); ++i)
            sum += static_cast<std::size_t>((*words)[i].size()) + b->cached->places()[i].first;
        b->words = *words;
        b->places = b->cached->places();
        // what decodes is written back the same
        if (encodeCache(*b) != bytes.toByteArray())
            __builtin_trap();
    }
    (void)sum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    decodeAndWalk(bytes);
    decodeAndWalk(somnex::dictionary::sealCache(bytes.toByteArray()));
    return 0;
}
