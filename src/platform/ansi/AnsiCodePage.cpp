#include "platform/ansi/AnsiCodePage.h"

#include <array>

namespace somnex::ansi {
namespace {

// Upper half of Windows-1251, bytes 0x80..0xFF.
constexpr std::array<char16_t, 128> kUpper = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410,
    0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D,
    0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A,
    0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444,
    0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

struct Reverse {
    // Characters below U+0100 map straight through an array; the others are
    // found by a small sorted search over the upper half.
    std::array<short, 256> low{};
    std::array<std::pair<char16_t, unsigned char>, 128> high{};
    int highCount = 0;

    constexpr Reverse()
    {
        for (auto &v : low)
            v = -1;
        for (int b = 0; b < 0x80; ++b)
            low[b] = static_cast<short>(b);
        for (int i = 0; i < 128; ++i) {
            const char16_t ch = kUpper[i];
            const auto byte = static_cast<unsigned char>(0x80 + i);
            if (ch < 0x100) {
                low[ch] = byte;
            } else {
                high[highCount++] = {ch, byte};
            }
        }
        // insertion sort (constexpr-friendly)
        for (int i = 1; i < highCount; ++i) {
            auto v = high[i];
            int j = i - 1;
            while (j >= 0 && high[j].first > v.first) {
                high[j + 1] = high[j];
                --j;
            }
            high[j + 1] = v;
        }
    }
};

constexpr Reverse kReverse{};

} // namespace

char16_t toChar(unsigned char byte) noexcept
{
    return byte < 0x80 ? char16_t(byte) : kUpper[byte - 0x80];
}

int toByte(char16_t ch) noexcept
{
    if (ch < 0x100)
        return kReverse.low[ch];
    int lo = 0, hi = kReverse.highCount - 1;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        const char16_t m = kReverse.high[mid].first;
        if (m == ch)
            return kReverse.high[mid].second;
        if (m < ch)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return -1;
}

QString toUnicode(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    char16_t *dst = reinterpret_cast<char16_t *>(out.data());
    const auto *src = reinterpret_cast<const unsigned char *>(bytes.data());
    for (qsizetype i = 0; i < bytes.size(); ++i)
        dst[i] = src[i] < 0x80 ? char16_t(src[i]) : kUpper[src[i] - 0x80];
    return out;
}

QByteArray fromUnicode(QStringView text, bool *exact)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    bool all = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int b = toByte(text[i].unicode());
        if (b < 0) {
            all = false;
            out[i] = '?';
        } else {
            out[i] = static_cast<char>(b);
        }
    }
    if (exact)
        *exact = all;
    return out;
}

bool representable(QStringView text) noexcept
{
    for (QChar c : text)
        if (toByte(c.unicode()) < 0)
            return false;
    return true;
}

} // namespace somnex::ansi
