#include "diary/exchange/SealedJournal.h"

#include "diary/DiaryStore.h"
#include "diary/exchange/ExchangeSupport.h"
#include "platform/error/Error.h"

#include <QList>

#include <sodium.h>

#include <stdexcept>

namespace somnex::diary {

namespace {

using exchange::journalFail;

constexpr qsizetype kChunk = qsizetype(64) * 1024;
constexpr qsizetype kStreamHeader = crypto_secretstream_xchacha20poly1305_HEADERBYTES;
constexpr qsizetype kChunkOverhead = crypto_secretstream_xchacha20poly1305_ABYTES;
constexpr qsizetype kMaxHeader = 1024;
constexpr qsizetype kCheckBytes = 16;
// What a file may ask of the key derivation: more than is ever written
// (passes are calibrated up to 16 over 64 MiB), less than would stall.
constexpr unsigned long long kMaxPasses = 16;
constexpr size_t kMaxMemory = size_t(256) << 20;

const unsigned char *u(const QByteArray &b)
{
    return reinterpret_cast<const unsigned char *>(b.constData());
}

QByteArray checkOf(const DataKey &key)
{
    static const char what[] = "somnex-diary-sealed/check";
    QByteArray check(kCheckBytes, '\0');
    crypto_generichash(reinterpret_cast<unsigned char *>(check.data()), size_t(kCheckBytes),
                       reinterpret_cast<const unsigned char *>(what), sizeof what - 1, key.bytes(), DataKey::kBytes);
    return check;
}

QByteArray headerText(const QByteArray &salt, const KeyCost &cost, const QByteArray &check)
{
    return QByteArray(kSealedFormatName) + "\nversion: " + QByteArray::number(kSealedFormatVersion)
           + "\nkdf: argon2id\npasses: " + QByteArray::number(cost.passes)
           + "\nmemory: " + QByteArray::number(qulonglong(cost.memory)) + "\nsalt: " + salt.toBase64()
           + "\ncheck: " + check.toBase64() + "\n\n";
}

// The header's fields, strictly in the order they are written.
struct Header {
    QByteArray text; // up to and with the blank line
    KeyCost cost;
    QByteArray salt;
    QByteArray check;
};

Header readHeader(const QByteArray &sealed, const QString &fileName)
{
    const qsizetype end = sealed.indexOf("\n\n");
    if (!isSealedJournal(sealed) || end < 0 || end > kMaxHeader)
        journalFail(fileName, QStringLiteral("заголовок запечатанного дневника повреждён"));
    Header h;
    h.text = sealed.left(end + 2);
    const QList<QByteArray> lines = sealed.left(end).split('\n');
    const char *const keys[] = {"version", "kdf", "passes", "memory", "salt", "check"};
    if (lines.size() != qsizetype(std::size(keys)) + 1)
        journalFail(fileName, QStringLiteral("заголовок запечатанного дневника повреждён"));
    QByteArray values[std::size(keys)];
    for (size_t i = 0; i < std::size(keys); ++i) {
        const QByteArray prefix = QByteArray(keys[i]) + ": ";
        if (!lines[qsizetype(i) + 1].startsWith(prefix))
            journalFail(fileName, QStringLiteral("заголовок запечатанного дневника повреждён"));
        values[i] = lines[qsizetype(i) + 1].mid(prefix.size());
    }
    bool okVersion = false, okPasses = false, okMemory = false;
    const int version = values[0].toInt(&okVersion);
    if (okVersion && version > kSealedFormatVersion)
        journalFail(fileName, QStringLiteral("файл записан более новой версией программы (версия %1)").arg(version));
    h.cost.passes = values[2].toULongLong(&okPasses);
    h.cost.memory = size_t(values[3].toULongLong(&okMemory));
    const auto salt = QByteArray::fromBase64Encoding(values[4], QByteArray::AbortOnBase64DecodingErrors);
    const auto check = QByteArray::fromBase64Encoding(values[5], QByteArray::AbortOnBase64DecodingErrors);
    if (!okVersion || version < 1 || values[1] != "argon2id" || !okPasses || !okMemory || !salt
        || salt.decoded.size() != crypto_pwhash_SALTBYTES || !check || check.decoded.size() != kCheckBytes)
        journalFail(fileName, QStringLiteral("заголовок запечатанного дневника повреждён"));
    if (h.cost.passes > kMaxPasses || h.cost.memory > kMaxMemory)
        journalFail(fileName, QStringLiteral("файл просит слишком дорогого вывода ключа; такой файл не читается"));
    h.salt = salt.decoded;
    h.check = check.decoded;
    return h;
}

} // namespace

bool isSealedJournal(const QByteArray &bytes)
{
    return bytes.startsWith(QByteArray(kSealedFormatName) + '\n');
}

QByteArray sealJournal(const QByteArray &plain, const QString &password, const KeyCost &cost)
{
    const QByteArray salt = newSalt();
    const std::optional<DataKey> key = keyFromPassword(password, salt, cost);
    if (!key)
        throw std::invalid_argument("the key derivation's cost is out of range");
    QByteArray out = headerText(salt, cost, checkOf(*key));
    const QByteArray ad = out;
    crypto_secretstream_xchacha20poly1305_state state;
    const qsizetype start = out.size();
    const qsizetype chunks = plain.size() / kChunk + 1; // the last one, maybe empty, is final
    out.resize(start + kStreamHeader + plain.size() + chunks * kChunkOverhead);
    auto *at = reinterpret_cast<unsigned char *>(out.data()) + start;
    crypto_secretstream_xchacha20poly1305_init_push(&state, at, key->bytes());
    at += kStreamHeader;
    for (qsizetype i = 0; i < chunks; ++i) {
        const qsizetype from = i * kChunk;
        const qsizetype length = std::min(kChunk, plain.size() - from);
        const bool last = i + 1 == chunks;
        crypto_secretstream_xchacha20poly1305_push(&state, at, nullptr, u(plain) + from, size_t(length), u(ad),
                                                   size_t(ad.size()),
                                                   last ? crypto_secretstream_xchacha20poly1305_TAG_FINAL
                                                        : crypto_secretstream_xchacha20poly1305_TAG_MESSAGE);
        at += length + kChunkOverhead;
    }
    sodium_memzero(&state, sizeof state);
    return out;
}

QByteArray openSealedJournal(const QByteArray &sealed, const QString &password, const QString &fileName)
{
    const Header h = readHeader(sealed, fileName);
    const std::optional<DataKey> key = keyFromPassword(password, h.salt, h.cost);
    if (!key)
        journalFail(fileName, QStringLiteral("заголовок запечатанного дневника повреждён"));
    if (sodium_memcmp(checkOf(*key).constData(), h.check.constData(), size_t(kCheckBytes)) != 0)
        throw Error(kErrorWrongPassword, QStringLiteral("openSealedJournal"), QStringLiteral("Неверный пароль"));
    const qsizetype start = h.text.size();
    if (sealed.size() < start + kStreamHeader + kChunkOverhead)
        journalFail(fileName, QStringLiteral("файл обрезан"));
    crypto_secretstream_xchacha20poly1305_state state;
    if (crypto_secretstream_xchacha20poly1305_init_pull(&state, u(sealed) + start, key->bytes()) != 0)
        journalFail(fileName, QStringLiteral("файл повреждён"));
    QByteArray plain;
    qsizetype at = start + kStreamHeader;
    bool final = false;
    while (!final) {
        const qsizetype length = std::min(kChunk + kChunkOverhead, sealed.size() - at);
        if (length < kChunkOverhead)
            journalFail(fileName, QStringLiteral("файл обрезан"));
        const qsizetype was = plain.size();
        plain.resize(was + length - kChunkOverhead);
        unsigned char tag = 0;
        unsigned long long written = 0;
        if (crypto_secretstream_xchacha20poly1305_pull(&state, reinterpret_cast<unsigned char *>(plain.data()) + was,
                                                       &written, &tag, u(sealed) + at, size_t(length), u(h.text),
                                                       size_t(h.text.size()))
            != 0)
            journalFail(fileName, QStringLiteral("файл повреждён"));
        at += length;
        final = tag == crypto_secretstream_xchacha20poly1305_TAG_FINAL;
        // every chunk but the last is whole
        if (!final && length != kChunk + kChunkOverhead)
            journalFail(fileName, QStringLiteral("файл обрезан"));
    }
    sodium_memzero(&state, sizeof state);
    if (at != sealed.size())
        journalFail(fileName, QStringLiteral("после конца запечатанных данных есть лишние байты"));
    return plain;
}

} // namespace somnex::diary
