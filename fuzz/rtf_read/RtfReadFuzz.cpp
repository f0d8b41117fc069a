// Arbitrary bytes are read as RTF. Reading must end without fault, never
// yield more characters than the input had bytes, and what it read, written
// out again, must read back to the same text. Characters are counted as code
// points: a Wingdings byte is one character outside the BMP, two UTF-16 units.
#include "platform/rtf/RtfReader.h"
#include "platform/rtf/RtfWriter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace somnex;
    const QByteArrayView in(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const RtfReadResult r = ReadRtf(in);
    if (!r.ok()) {
        if (!r.runs.empty()) {
            std::fprintf(stderr, "a refused document has runs\n");
            std::abort();
        }
        return 0;
    }
    const QString text = RtfPlainText(r.runs);
    if (text.toUcs4().size() > in.size()) {
        std::fprintf(stderr, "more text than input\n");
        std::abort();
    }
    const RtfReadResult again = ReadRtf(WriteRtf(r.runs));
    if (!again.ok() || RtfPlainText(again.runs) != text + QLatin1Char('\n')) {
        std::fprintf(stderr, "the written document does not read back\n");
        std::abort();
    }
    return 0;
}
