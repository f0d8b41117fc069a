// Feeds arbitrary bytes to the City.csv reader: it must neither crash nor
// produce a record it could not have read.
#include "location/core/CityFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using somnex::location::CityFile;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const auto records = CityFile::parse(bytes);
    // Every record takes at least seven separators or line ends but the last.
    if (records.size() > static_cast<qsizetype>(size / CityFile::FieldsPerRecord) + 1)
        std::abort();
    for (const auto &r : records) {
        if (r.name.size() > static_cast<qsizetype>(size))
            std::abort();
        (void)r.latitudeCell();
        (void)r.longitudeCell();
    }
    if (CityFile::parse(bytes) != records) // the reader keeps no state
        std::abort();
    return 0;
}
