// Arbitrary packed values (one character per input byte, as a book stores
// them) are unpacked; whatever comes out must pack and unpack back to itself.
#include "dictionary/PackedText.h"
#include "platform/ansi/AnsiCodePage.h"
#include "platform/error/Error.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace somnex;
    const QString packed = ansi::toUnicode(QByteArrayView(data, static_cast<qsizetype>(size)));
    QString text;
    try {
        text = dictionary::UnpackText(packed);
    } catch (const Error &) {
        return 0;
    }
    if (text.size() <= 200000 && dictionary::UnpackText(dictionary::PackText(text)) != text) {
        std::fprintf(stderr, "PackText does not invert UnpackText\n");
        std::abort();
    }
    return 0;
}
