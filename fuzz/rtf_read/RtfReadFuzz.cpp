// Arbitrary bytes are read as RTF. Reading must end without fault, never
// yield more characters than the input had bytes (list labels aside: one of
// bounded length a paragraph, and a paragraph's end takes two bytes at
// least), and what it read, written out again, must read back to the same
// text. Characters are counted as code points: a Wingdings byte is one
// character outside the BMP, two UTF-16 units.
#include "platform/rtf/RtfReader.h"
#include "platform/rtf/RtfWriter.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr qsizetype kLongestLabel = 4 * 9 + 64 + 1; // the indent, the label, a space

struct Count {
    qsizetype text = 0, labels = 0, paragraphs = 0;
    bool labelTooLong = false;
};

void count(const std::vector<somnex::RtfBlock> &blocks, Count &c)
{
    for (const somnex::RtfBlock &b : blocks) {
        if (b.table) {
            for (const auto &row : b.table->rows)
                for (const auto &cell : row)
                    count(cell, c);
            continue;
        }
        ++c.paragraphs;
        for (const somnex::RtfRun &r : b.runs) {
            if (r.picture >= 0)
                continue;
            const qsizetype n = r.text.toUcs4().size();
            if (!r.listLabel) {
                c.text += n;
                continue;
            }
            ++c.labels;
            c.labelTooLong = c.labelTooLong || n > kLongestLabel;
        }
    }
}

} // namespace

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
    Count c;
    count(r.document.blocks, c);
    for (const auto &note : r.document.footnotes)
        count(note, c);
    if (c.text + std::max<qsizetype>(0, c.paragraphs - 1) > in.size()) {
        std::fprintf(stderr, "more text than input\n");
        std::abort();
    }
    if (c.labelTooLong || c.labels > c.paragraphs || c.labels > in.size() / 2) {
        std::fprintf(stderr, "list labels beyond their bounds\n");
        std::abort();
    }
    const RtfReadResult again = ReadRtf(WriteRtf(r.runs));
    if (!again.ok() || RtfPlainText(again.runs) != text + QLatin1Char('\n')) {
        std::fprintf(stderr, "the written document does not read back\n");
        std::abort();
    }
    return 0;
}
