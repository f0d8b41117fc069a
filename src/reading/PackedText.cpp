#include "reading/PackedText.h"

#include "platform/ansi/AnsiCodePage.h"
#include "platform/error/Error.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace somnex::reading {
namespace {

constexpr unsigned kClear = 256;
constexpr unsigned kEnd = 257;
constexpr unsigned kFirstEntry = 258;
constexpr unsigned kTableSize = 512;

const QString kSource = QStringLiteral("UnpackText");

// The dictionary of the decoder: entries 258..511 are runs of characters kept
// in one arena that is emptied whenever the dictionary starts over.
class Dictionary {
public:
    Dictionary()
    {
        for (unsigned c = 0; c < 256; ++c)
            single_[c] = ansi::toChar(static_cast<unsigned char>(c));
        reset();
    }

    void reset()
    {
        for (unsigned c = kClear; c < kTableSize; ++c)
            entry_[c] = {0, 0};
        arena_.clear();
        next_ = kFirstEntry;
    }

    // The text of a code: a pointer and a length (0 for an empty entry).
    const char16_t *text(unsigned code, uint32_t &len) const
    {
        if (code < 256) {
            len = 1;
            return &single_[code];
        }
        len = entry_[code].len;
        return arena_.data() + entry_[code].off;
    }

    // Adds D[prev] followed by ch (ch == 0 with hasCh false: no character).
    void add(unsigned prev, const char16_t *ch)
    {
        uint32_t len = 0;
        const char16_t *src = text(prev, len);
        if (next_ == kTableSize) {
            // The entry is made from the dictionary as it was; then the
            // dictionary starts over and the entry becomes its first one.
            std::array<char16_t, 1> none{};
            std::vector<char16_t> carried(src, src + len);
            reset();
            place(carried.data(), static_cast<uint32_t>(carried.size()), ch ? ch : none.data(), ch != nullptr);
            return;
        }
        place(src, len, ch, ch != nullptr);
    }

private:
    void place(const char16_t *src, uint32_t len, const char16_t *ch, bool hasCh)
    {
        const auto off = static_cast<uint32_t>(arena_.size());
        const bool inArena = len > 0 && src >= arena_.data() && src < arena_.data() + arena_.size();
        const std::size_t srcOff = inArena ? static_cast<std::size_t>(src - arena_.data()) : 0;
        const char16_t c = hasCh ? *ch : u'\0';
        arena_.resize(arena_.size() + len + (hasCh ? 1 : 0));
        if (len > 0)
            std::memcpy(arena_.data() + off, inArena ? arena_.data() + srcOff : src, len * sizeof(char16_t));
        if (hasCh)
            arena_[off + len] = c;
        entry_[next_] = {off, len + (hasCh ? 1u : 0u)};
        ++next_;
    }

    struct Entry {
        uint32_t off;
        uint32_t len;
    };
    std::array<char16_t, 256> single_{};
    std::array<Entry, kTableSize> entry_{};
    std::vector<char16_t> arena_;
    unsigned next_ = kFirstEntry;
};

// The code stream of a packed value: byte 0 is the implied 0x00, bytes 1..n
// the characters' bytes; two zero bytes of padding keep every read in bounds.
class CodeReader {
public:
    explicit CodeReader(QStringView packed) : n_(packed.size()), bytes_(static_cast<std::size_t>(n_) + 3, 0)
    {
        for (qsizetype i = 0; i < n_; ++i) {
            const int b = ansi::toByte(packed[i].unicode());
            bytes_[static_cast<std::size_t>(i) + 1] = static_cast<uint8_t>(b < 0 ? '?' : b);
        }
    }

    qsizetype size() const { return n_; }

    // Code j of the table of n places: read from the stream when its first bit
    // lies inside the n stored bytes, 0 otherwise.
    unsigned code(qsizetype j) const
    {
        const auto bit = static_cast<uint64_t>(j) * 9;
        if (j >= n_ || bit >= static_cast<uint64_t>(n_) * 8)
            return 0;
        const std::size_t byte = bit >> 3;
        const unsigned v = bytes_[byte] | (unsigned(bytes_[byte + 1]) << 8) | (unsigned(bytes_[byte + 2]) << 16);
        return (v >> (bit & 7)) & 0x1FF;
    }

private:
    qsizetype n_;
    std::vector<uint8_t> bytes_;
};

void appendChecked(QString &out, const char16_t *text, uint32_t len)
{
    if (out.size() + qsizetype(len) > kMaxUnpackedLength)
        throw Error(6, kSource, QStringLiteral("Упакованный текст повреждён: он разворачивается длиннее %1 символов.")
                                      .arg(kMaxUnpackedLength));
    out.append(reinterpret_cast<const QChar *>(text), len);
}

} // namespace

QString UnpackText(QStringView packed)
{
    if (packed.isEmpty())
        throw Error(9, kSource, QStringLiteral("Упакованный текст пуст."));
    const CodeReader codes(packed);
    if (codes.code(0) != kClear)
        return QString();
    if (codes.size() < 2)
        throw Error(9, kSource, QStringLiteral("Упакованный текст обрывается после первого кода."));

    Dictionary dict;
    QString out;
    out.reserve(codes.size() * 2);

    unsigned prev = codes.code(1);
    uint32_t len = 0;
    const char16_t *text = dict.text(prev, len);
    appendChecked(out, text, len);

    for (qsizetype i = 2; i < codes.size(); ++i) {
        const unsigned cur = codes.code(i);
        if (cur == kClear) {
            dict.reset();
            prev = kClear;
            continue;
        }
        if (cur == kEnd)
            break;
        text = dict.text(cur, len);
        if (len > 0) {
            const qsizetype at = out.size();
            appendChecked(out, text, len);
            const char16_t first = out.at(at).unicode();
            dict.add(prev, &first);
        } else {
            // A code not yet defined: the previous entry followed by its own
            // first character (nothing at all when that entry is empty).
            uint32_t plen = 0;
            const char16_t *ptext = dict.text(prev, plen);
            const qsizetype at = out.size();
            if (plen > 0) {
                appendChecked(out, ptext, plen);
                appendChecked(out, ptext, 1);
                const char16_t first = out.at(at).unicode();
                dict.add(prev, &first);
            } else {
                dict.add(prev, nullptr);
            }
        }
        prev = cur;
    }
    return out;
}

namespace {

// The encoder's view of the dictionary: which (prefix code, byte) pairs have a
// code. It mirrors the decoder entry for entry, including the restart at 512.
class EncoderTable {
public:
    EncoderTable() { reset(); }

    void reset()
    {
        keys_.fill(0);
        next_ = kFirstEntry;
    }

    int find(unsigned prefix, uint8_t byte) const
    {
        const uint32_t key = (prefix << 8 | byte) + 1;
        for (uint32_t h = hash(key);; h = (h + 1) & kMask) {
            if (keys_[h] == 0)
                return -1;
            if (keys_[h] == key)
                return codes_[h];
        }
    }

    // The decoder adds D[prefix] + byte here. When the table is full it starts
    // over and places that entry at 258; the entry is then made of a prefix the
    // new table no longer knows, and the decoder, one step behind, would still
    // read the old 258 if the very next code used it, so it is never used.
    void add(unsigned prefix, uint8_t byte)
    {
        if (next_ == kTableSize) {
            reset();
            ++next_;
            return;
        }
        insert(prefix, byte, next_);
        ++next_;
    }

private:
    static constexpr uint32_t kSlots = 1024;
    static constexpr uint32_t kMask = kSlots - 1;
    static uint32_t hash(uint32_t key) { return (key * 2654435761u) >> 22 & kMask; }

    void insert(unsigned prefix, uint8_t byte, unsigned code)
    {
        const uint32_t key = (prefix << 8 | byte) + 1;
        uint32_t h = hash(key);
        while (keys_[h] != 0)
            h = (h + 1) & kMask;
        keys_[h] = key;
        codes_[h] = static_cast<uint16_t>(code);
    }

    std::array<uint32_t, kSlots> keys_{};
    std::array<uint16_t, kSlots> codes_{};
    unsigned next_ = kFirstEntry;
};

class CodeWriter {
public:
    void put(unsigned code)
    {
        acc_ |= uint64_t(code) << bits_;
        bits_ += 9;
        while (bits_ >= 8) {
            bytes_.push_back(static_cast<uint8_t>(acc_));
            acc_ >>= 8;
            bits_ -= 8;
        }
    }

    // The stored characters: every byte but the implied leading 0x00.
    QString finish()
    {
        if (bits_ > 0)
            bytes_.push_back(static_cast<uint8_t>(acc_));
        QString out(static_cast<qsizetype>(bytes_.size()) - 1, Qt::Uninitialized);
        for (std::size_t i = 1; i < bytes_.size(); ++i)
            out[static_cast<qsizetype>(i) - 1] = QChar(ansi::toChar(bytes_[i]));
        return out;
    }

private:
    std::vector<uint8_t> bytes_;
    uint64_t acc_ = 0;
    unsigned bits_ = 0;
};

} // namespace

QString PackText(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int b = ansi::toByte(text[i].unicode());
        if (b < 0)
            throw Error(5, QStringLiteral("PackText"),
                        QStringLiteral("Символ U+%1 в позиции %2 не представим в кодировке Windows-1251.")
                            .arg(QString::number(text[i].unicode(), 16).toUpper().rightJustified(4, u'0'))
                            .arg(i + 1));
        bytes.append(static_cast<char>(b));
    }

    CodeWriter out;
    out.put(kClear);
    if (!bytes.isEmpty()) {
        EncoderTable table;
        unsigned w = static_cast<uint8_t>(bytes[0]);
        for (qsizetype i = 1; i < bytes.size(); ++i) {
            const auto c = static_cast<uint8_t>(bytes[i]);
            const int code = table.find(w, c);
            if (code >= 0) {
                w = static_cast<unsigned>(code);
                continue;
            }
            out.put(w);
            table.add(w, c);
            w = c;
        }
        out.put(w);
    }
    out.put(kEnd);
    return out.finish();
}

} // namespace somnex::reading
