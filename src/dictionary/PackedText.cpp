#include "dictionary/PackedText.h"

#include "platform/ansi/AnsiCodePage.h"
#include "platform/error/Error.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace somnex::dictionary {
namespace {

constexpr unsigned kClear = 256;
constexpr unsigned kEnd = 257;
constexpr unsigned kFirstEntry = 258;
constexpr unsigned kTableSize = 512;

const QString kSource = QStringLiteral("UnpackText");

// The byte of each UTF-16 code unit in the code page ('?' when it has none).
const std::array<uint8_t, 65536> &byteTable()
{
    static const auto table = [] {
        auto t = std::make_unique<std::array<uint8_t, 65536>>();
        for (uint32_t c = 0; c < 65536; ++c) {
            const int b = ansi::toByte(static_cast<char16_t>(c));
            (*t)[c] = static_cast<uint8_t>(b < 0 ? '?' : b);
        }
        return t;
    }();
    return *table;
}

const std::array<char16_t, 256> &charTable()
{
    static const auto table = [] {
        std::array<char16_t, 256> t{};
        for (unsigned c = 0; c < 256; ++c)
            t[c] = ansi::toChar(static_cast<unsigned char>(c));
        return t;
    }();
    return table;
}

// The code stream of a packed value: byte 0 is the implied 0x00, bytes 1..n
// the characters' bytes; padding keeps every read in bounds.
class CodeReader {
public:
    explicit CodeReader(QStringView packed) : n_(packed.size()), bytes_(static_cast<std::size_t>(n_) + 4, 0)
    {
        const auto &table = byteTable();
        for (qsizetype i = 0; i < n_; ++i)
            bytes_[static_cast<std::size_t>(i) + 1] = table[packed[i].unicode()];
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
        const unsigned v = bytes_[byte] | (unsigned(bytes_[byte + 1]) << 8);
        return (v >> (bit & 7)) & 0x1FF;
    }

private:
    qsizetype n_;
    std::vector<uint8_t> bytes_;
};

[[noreturn]] void tooLong()
{
    throw Error(
        6, kSource,
        QStringLiteral("Упакованный текст повреждён: он разворачивается длиннее %1 символов.").arg(kMaxUnpackedLength));
}

// The decoder. Dictionary entries are runs of characters; almost every new
// entry (the previous code's text followed by one more character) already
// stands in the output right where the previous code was written out, so an
// entry is usually just a place in the output. Only when that is not so (the
// previous entry was replaced by a restart) is the entry copied to a side
// arena, which empties whenever the dictionary starts over.
class Decoder {
public:
    explicit Decoder(qsizetype sizeHint) { grow(std::max<qsizetype>(64, sizeHint)); }

    QString run(const CodeReader &codes)
    {
        unsigned prev = codes.code(1);
        qsizetype prevAt = 0;
        uint32_t prevLen = put(prev);
        bool prevIntact = true; // the text written for prev is D[prev] as it is now

        for (qsizetype i = 2; i < codes.size(); ++i) {
            const unsigned cur = codes.code(i);
            if (cur == kClear) {
                reset();
                prev = kClear;
                prevLen = 0;
                continue;
            }
            if (cur == kEnd)
                break;
            const qsizetype at = size_;
            bool intact;
            if (cur < 256 || entry_[cur].len > 0) {
                const uint32_t len = put(cur);
                const bool restarted = add(prev, prevAt, prevLen, prevIntact, at);
                intact = cur < 256 || !restarted;
                prevLen = len;
            } else {
                // A code not yet defined: the previous entry followed by its
                // own first character (nothing when that entry is empty).
                uint32_t plen = 0;
                const char16_t *p = text(prev, plen);
                if (plen > 0) {
                    reserve(plen + 1);
                    p = text(prev, plen); // the output may have moved
                    std::memcpy(buf_ + size_, p, plen * sizeof(char16_t));
                    buf_[size_ + plen] = buf_[size_];
                    size_ += plen + 1;
                }
                const unsigned placed = addAt(prev, prevAt, prevLen, prevIntact, at);
                intact = placed == cur;
                prevLen = plen > 0 ? plen + 1 : 0;
            }
            prev = cur;
            prevAt = at;
            prevIntact = intact;
        }
        out_.resize(size_);
        return std::move(out_);
    }

private:
    struct Entry {
        uint32_t off;
        uint32_t len;
        bool side; // in the side arena, not in the output
    };

    void reset()
    {
        for (unsigned c = kClear; c < kTableSize; ++c)
            entry_[c] = {0, 0, false};
        next_ = kFirstEntry;
    }

    void grow(qsizetype need)
    {
        qsizetype cap = std::max<qsizetype>(cap_ * 2, need);
        cap = std::min<qsizetype>(cap, kMaxUnpackedLength);
        out_.resize(cap);
        buf_ = reinterpret_cast<char16_t *>(out_.data());
        cap_ = cap;
    }

    void reserve(qsizetype extra)
    {
        if (size_ + extra > kMaxUnpackedLength)
            tooLong();
        if (size_ + extra > cap_)
            grow(size_ + extra);
    }

    const char16_t *text(unsigned code, uint32_t &len) const
    {
        if (code < 256) {
            len = 1;
            return &charTable()[code];
        }
        const Entry &e = entry_[code];
        len = e.len;
        return (e.side ? side_.data() : buf_) + e.off;
    }

    uint32_t put(unsigned code)
    {
        if (code < 256) {
            reserve(1);
            buf_[size_++] = charTable()[code];
            return 1;
        }
        const Entry e = entry_[code];
        if (e.len == 0)
            return 0;
        reserve(e.len);
        const char16_t *src = (e.side ? side_.data() : buf_) + e.off;
        std::memcpy(buf_ + size_, src, e.len * sizeof(char16_t));
        size_ += e.len;
        return e.len;
    }

    // Adds D[prev] followed by the character at output position `at`;
    // returns whether the dictionary started over.
    bool add(unsigned prev, qsizetype prevAt, uint32_t prevLen, bool prevIntact, qsizetype at)
    {
        const unsigned before = next_;
        addAt(prev, prevAt, prevLen, prevIntact, at);
        return before == kTableSize;
    }

    // The same; returns the code the entry received.
    unsigned addAt(unsigned prev, qsizetype prevAt, uint32_t prevLen, bool prevIntact, qsizetype at)
    {
        uint32_t plen = 0;
        const char16_t *ptext = text(prev, plen);
        Entry e{};
        if (plen == 0) {
            e = {static_cast<uint32_t>(at), at < size_ ? 1u : 0u, false};
        } else if (prevIntact && prevLen == plen && prevAt + plen == at && at < size_) {
            e = {static_cast<uint32_t>(prevAt), plen + 1, false};
        } else {
            // copied: D[prev] and the character, kept beside the output
            const char16_t c = buf_[at];
            std::vector<char16_t> fresh(ptext, ptext + plen);
            fresh.push_back(c);
            if (next_ == kTableSize)
                side_.clear();
            e = {static_cast<uint32_t>(side_.size()), plen + 1, true};
            side_.insert(side_.end(), fresh.begin(), fresh.end());
        }
        if (next_ == kTableSize) {
            // the entry was made from the dictionary as it was; now it starts over
            reset();
            if (!e.side)
                side_.clear();
        }
        entry_[next_] = e;
        return next_++;
    }

    QString out_;
    char16_t *buf_ = nullptr;
    qsizetype size_ = 0;
    qsizetype cap_ = 0;
    std::array<Entry, kTableSize> entry_{};
    std::vector<char16_t> side_;
    unsigned next_ = kFirstEntry;
};

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
    return Decoder(codes.size() * 3).run(codes);
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

} // namespace somnex::dictionary
