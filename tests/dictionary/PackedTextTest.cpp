#include "dictionary/PackedText.h"

#include "platform/ansi/AnsiCodePage.h"
#include "platform/error/Error.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <vector>

using somnex::dictionary::PackText;
using somnex::dictionary::UnpackText;

namespace {

// Packs 9-bit codes the way books store them: LSB first, the leading 0x00
// byte dropped, one character per byte. extraZeroBytes appends stored zero
// bytes after the stream (more table places than codes).
QString stream(const std::vector<unsigned> &codes, int extraZeroBytes = 0)
{
    std::vector<unsigned char> bytes;
    unsigned long long acc = 0;
    unsigned bits = 0;
    for (unsigned c : codes) {
        acc |= static_cast<unsigned long long>(c) << bits;
        bits += 9;
        while (bits >= 8) {
            bytes.push_back(static_cast<unsigned char>(acc));
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits)
        bytes.push_back(static_cast<unsigned char>(acc));
    for (int i = 0; i < extraZeroBytes; ++i)
        bytes.push_back(0);
    QString s;
    for (std::size_t i = 1; i < bytes.size(); ++i)
        s.append(QChar(somnex::ansi::toChar(bytes[i])));
    return s;
}

// The codes a decoder reads from a stored value.
std::vector<unsigned> codesOf(const QString &packed)
{
    std::vector<unsigned char> b{0};
    for (QChar ch : packed)
        b.push_back(static_cast<unsigned char>(somnex::ansi::toByte(ch.unicode())));
    b.push_back(0);
    b.push_back(0);
    std::vector<unsigned> out;
    const auto n = static_cast<unsigned long long>(packed.size());
    for (unsigned long long j = 0; j < n && 9 * j < 8 * n; ++j) {
        const auto bit = 9 * j;
        const unsigned v = b[bit / 8] | b[bit / 8 + 1] << 8 | b[bit / 8 + 2] << 16;
        out.push_back((v >> (bit % 8)) & 0x1FF);
    }
    return out;
}

QString latin(const char *s)
{
    return QString::fromLatin1(s);
}

} // namespace

TEST(PackedText, KnownVector)
{
    const QString stored = stream({256, 'a', 'b', 'c', 257});
    const char16_t expected[] = {0xC3, 0x88, 0x19, 0x13, 0x10};
    ASSERT_EQ(stored.size(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(somnex::ansi::toByte(stored[i].unicode()), expected[i]) << i;
    EXPECT_EQ(PackText(u"abc"), stored);
    EXPECT_EQ(UnpackText(stored), u"abc");
}

TEST(PackedText, DecoderQuirks)
{
    std::vector<unsigned> restart{256};
    QString restartText;
    for (int i = 0; i < 255; ++i) {
        const auto ch = static_cast<unsigned>('a' + i % 26);
        restart.push_back(ch);
        restartText.append(QChar(ch));
    }
    // codes[2..255] fill 258..511; the next add starts over at 258 with
    // D[codes[255]] + first char of the following code.
    const unsigned last = restart.back();
    restart.push_back('x');
    restart.push_back(258);
    restart.push_back(257);
    restartText.append(u'x');
    restartText.append(QChar(last));
    restartText.append(u'x');

    struct Case {
        const char *name;
        QString stored;
        QString expected;
    };
    const Case cases[] = {
        {"first code not clear", stream({'a', 'b', 257}), QString()},
        {"first code adds no entry", stream({256, 'a', 'b', 258, 257}), latin("abab")},
        {"one-character entry after a clear", stream({256, 'a', 'b', 256, 'c', 'd', 258, 257}), latin("abcdc")},
        {"undefined code repeats the previous entry", stream({256, 'a', 258, 257}), latin("aaa")},
        {"undefined code after an undefined one", stream({256, 'a', 300, 300, 257}), latin("aaa")},
        {"end code right after clear", stream({256, 257}), QString()},
        {"second code is a clear", stream({256, 256, 'a', 'b', 258, 257}), latin("aba")},
        {"table places past the stream read as 0", stream({256, 'a', 'b', 'c', 'd', 'e', 'f', 'g'}, 1),
         latin("abcdefg") + QChar(0)},
        {"restart at 512 without a clear", stream(restart), restartText},
        {"lone code", stream({'a'}).left(1), QString()},
    };
    for (const auto &c : cases)
        EXPECT_EQ(UnpackText(c.stored), c.expected) << c.name;
}

TEST(PackedText, MalformedValuesRaise)
{
    // a chain of undefined codes grows each entry by one character, and each
    // restart carries the longest one over: the output grows quadratically
    std::vector<unsigned> bomb{256, 'a'};
    while (bomb.size() < 7000)
        for (unsigned c = 258; c < 512 && bomb.size() < 7000; ++c)
            bomb.push_back(c);
    const QString cases[] = {QString(), QString(QChar(1)), stream(bomb)};
    for (const auto &stored : cases) {
        try {
            UnpackText(stored);
            ADD_FAILURE() << "no error for a value of " << stored.size() << " characters";
        } catch (const somnex::Error &e) {
            EXPECT_FALSE(e.description().isEmpty());
        }
    }
}

TEST(PackedText, RoundTripsRandomAndLongTexts)
{
    std::mt19937 rng(20240611);
    QString all;
    for (int b = 0; b < 256; ++b)
        all.append(QChar(somnex::ansi::toChar(static_cast<unsigned char>(b))));
    const QString russian = QStringLiteral("Видеть во сне чистую воду – к радости. Ёлка, ёж и щука;\r\n");

    std::vector<QString> texts = {QString(),         latin("a"),           latin("aa"), latin("aaa"),
                                  QString(QChar(0)), QString(3, QChar(0)), all};
    for (int round = 0; round < 60; ++round) {
        const int len = std::uniform_int_distribution<int>(0, round < 30 ? 300 : 30000)(rng);
        const int alphabet = std::uniform_int_distribution<int>(1, 4)(rng);
        QString t;
        t.reserve(len);
        for (int i = 0; i < len; ++i) {
            switch (alphabet) {
            case 1: // every byte of the code page
                t.append(all[std::uniform_int_distribution<int>(0, 255)(rng)]);
                break;
            case 2: // two letters: long runs and entries far past 512
                t.append(QChar(std::uniform_int_distribution<int>(0, 9)(rng) ? u'а' : u'б'));
                break;
            case 3: // natural text
                t.append(russian[(i + round) % russian.size()]);
                if (std::uniform_int_distribution<int>(0, 40)(rng) == 0)
                    t.append(russian[std::uniform_int_distribution<int>(0, int(russian.size()) - 1)(rng)]);
                break;
            default: // one letter repeated: the longest possible entries
                t.append(u'я');
            }
        }
        texts.push_back(t);
    }
    for (const auto &t : texts) {
        const QString packed = PackText(t);
        ASSERT_EQ(UnpackText(packed), t) << "length " << t.size();
        const auto codes = codesOf(packed);
        ASSERT_FALSE(codes.empty());
        EXPECT_EQ(codes.front(), 256u);
        // the stream ends with 257; after it only padding bits (zero)
        std::size_t end = 0;
        while (end < codes.size() && codes[end] != 257)
            ++end;
        ASSERT_LT(end, codes.size()) << "no end code, length " << t.size();
        for (std::size_t k = end + 1; k < codes.size(); ++k)
            EXPECT_EQ(codes[k], 0u);
        if (t.size() > 2000) {
            EXPECT_LT(packed.size(), t.size() * 2);
        }
    }
}

TEST(PackedText, PackRejectsCharactersOutsideTheCodePage)
{
    for (const QString &t : {QStringLiteral("日"), QStringLiteral("Вода \U0001F30A")}) {
        EXPECT_THROW(PackText(t), somnex::Error);
    }
}

namespace {

// The decoding steps written plainly, one string per dictionary entry: the
// oracle for the decoder, which keeps its entries as places in the output.
QString referenceUnpack(const QString &packed)
{
    const auto codes = codesOf(packed);
    std::vector<unsigned> table(static_cast<std::size_t>(packed.size()), 0);
    std::copy(codes.begin(), codes.end(), table.begin());
    if (table.empty() || table[0] != 256)
        return QString();
    if (table.size() < 2)
        throw std::runtime_error("no second code");
    std::vector<QString> d(512);
    for (int c = 0; c < 256; ++c)
        d[c] = QChar(somnex::ansi::toChar(static_cast<unsigned char>(c)));
    unsigned next = 258;
    auto reset = [&] {
        for (int c = 256; c < 512; ++c)
            d[c].clear();
        next = 258;
    };
    auto add = [&](const QString &e) {
        if (next == 512)
            reset();
        d[next++] = e;
    };
    QString out = d[table[1]];
    unsigned prev = table[1];
    for (std::size_t i = 2; i < table.size(); ++i) {
        const unsigned cur = table[i];
        if (cur == 256) {
            reset();
            prev = 256;
            continue;
        }
        if (cur == 257)
            break;
        if (!d[cur].isEmpty()) {
            out += d[cur];
            add(d[prev] + d[cur].left(1));
        } else {
            const QString e = d[prev] + d[prev].left(1);
            out += e;
            add(e);
        }
        prev = cur;
    }
    return out;
}

} // namespace

TEST(PackedText, DecoderAgreesWithThePlainStepsOnRandomStreams)
{
    std::mt19937 rng(99);
    for (int round = 0; round < 3000; ++round) {
        std::vector<unsigned> codes;
        if (round % 10)
            codes.push_back(256);
        const int n = std::uniform_int_distribution<int>(1, round < 2500 ? 400 : 3000)(rng);
        unsigned nextGuess = 258;
        for (int i = 0; i < n; ++i) {
            const int kind = std::uniform_int_distribution<int>(0, 99)(rng);
            unsigned c;
            if (kind < 40)
                c = std::uniform_int_distribution<unsigned>(0, 255)(rng);
            else if (kind < 85)
                c = std::uniform_int_distribution<unsigned>(258, std::min(511u, nextGuess + 2))(rng);
            else if (kind < 95)
                c = std::min(511u, nextGuess);
            else if (kind < 98)
                c = std::uniform_int_distribution<unsigned>(258, 511)(rng);
            else
                c = kind == 98 ? 256 : 257;
            codes.push_back(c);
            nextGuess = c == 256 ? 258 : (nextGuess >= 511 ? 258 : nextGuess + 1);
        }
        const QString stored = stream(codes, round % 7 == 0 ? 2 : 0);
        if (stored.isEmpty())
            continue;
        QString want;
        bool wantError = false;
        try {
            want = referenceUnpack(stored);
        } catch (...) {
            wantError = true;
        }
        if (wantError) {
            EXPECT_THROW(UnpackText(stored), somnex::Error);
            continue;
        }
        ASSERT_EQ(UnpackText(stored), want) << "round " << round;
    }
}
