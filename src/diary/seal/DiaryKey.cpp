#include "diary/seal/DiaryKey.h"

#include "diary/DiaryStore.h"
#include "diary/TextCodec.h"
#include "platform/error/Error.h"

#include <QElapsedTimer>

#include <sodium.h>

#include <cstring>
#include <stdexcept>
#include <utility>

namespace somnex::diary {

namespace {

void needSodium()
{
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        throw std::runtime_error("libsodium does not start");
}

// What every sealed value of this diary's schema is bound to.
constexpr const char *kAssociated = "somnex-diary/3";
// The wrap of the data key.
constexpr const char *kWrapAssociated = "somnex-diary-key/1";
// "s1:" then the nonce and the sealed text in URL-safe Base64.
constexpr const char *kSealedPrefix = "s1:";
constexpr size_t kNonce = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr size_t kTag = crypto_aead_xchacha20poly1305_ietf_ABYTES;
constexpr const char *kBase32 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";

QByteArray randomBytes(size_t n)
{
    needSodium();
    QByteArray b(qsizetype(n), '\0');
    randombytes_buf(b.data(), n);
    return b;
}

const unsigned char *u(const QByteArray &b)
{
    return reinterpret_cast<const unsigned char *>(b.constData());
}

// A key of 32 bytes in locked memory for the length of a derivation.
class SecretBytes {
public:
    SecretBytes() : p_((needSodium(), static_cast<unsigned char *>(sodium_malloc(DataKey::kBytes))))
    {
        if (!p_)
            throw std::bad_alloc();
    }
    ~SecretBytes() { sodium_free(p_); }
    SecretBytes(const SecretBytes &) = delete;
    SecretBytes &operator=(const SecretBytes &) = delete;
    unsigned char *get() const { return p_; }

private:
    unsigned char *p_;
};

KeyWrap wrapUnder(const DataKey &key, const unsigned char *wrapping)
{
    KeyWrap w;
    w.nonce = randomBytes(kNonce);
    w.wrapped.resize(qsizetype(DataKey::kBytes) + qsizetype(kTag));
    unsigned long long length = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(reinterpret_cast<unsigned char *>(w.wrapped.data()), &length,
                                               key.bytes(), DataKey::kBytes,
                                               reinterpret_cast<const unsigned char *>(kWrapAssociated),
                                               strlen(kWrapAssociated), nullptr, u(w.nonce), wrapping);
    return w;
}

std::optional<DataKey> unwrapUnder(const KeyWrap &w, const unsigned char *wrapping)
{
    if (w.nonce.size() != qsizetype(kNonce) || w.wrapped.size() != qsizetype(DataKey::kBytes) + qsizetype(kTag))
        return std::nullopt;
    SecretBytes plain;
    unsigned long long length = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(plain.get(), &length, nullptr, u(w.wrapped),
                                                   size_t(w.wrapped.size()),
                                                   reinterpret_cast<const unsigned char *>(kWrapAssociated),
                                                   strlen(kWrapAssociated), u(w.nonce), wrapping)
            != 0
        || length != DataKey::kBytes)
        return std::nullopt;
    return DataKey::fromBytes(plain.get());
}

// The password's key; false when the cost is out of what the library takes
// (a damaged wrap).
bool derive(const QString &password, const QByteArray &salt, const KeyCost &cost, unsigned char *out)
{
    needSodium();
    const QByteArray p = password.toUtf8();
    if (salt.size() != crypto_pwhash_SALTBYTES || cost.passes < crypto_pwhash_OPSLIMIT_MIN || cost.passes > 64
        || cost.memory < crypto_pwhash_MEMLIMIT_MIN || cost.memory > (size_t(4) << 30))
        return false;
    return crypto_pwhash(out, DataKey::kBytes, p.constData(), size_t(p.size()), u(salt), cost.passes, cost.memory,
                         crypto_pwhash_ALG_ARGON2ID13)
           == 0;
}

std::optional<QByteArray> recoveryBytes(const QString &text)
{
    QByteArray out;
    quint32 buffer = 0;
    int bits = 0;
    for (const QChar c : text.toUpper()) {
        if (c == u'-' || c.isSpace())
            continue;
        const char *at = c.unicode() < 128 ? strchr(kBase32, char(c.unicode())) : nullptr;
        if (!at || c.unicode() == 0)
            return std::nullopt;
        buffer = (buffer << 5) | quint32(at - kBase32);
        bits += 5;
        if (bits >= 8) {
            out += char((buffer >> (bits - 8)) & 0xff);
            bits -= 8;
        }
    }
    if (out.size() != qsizetype(DataKey::kBytes))
        return std::nullopt;
    return out;
}

void recoveryWrapping(const QByteArray &bytes, unsigned char *out)
{
    static const char context[] = "somnex-diary-recovery/1";
    crypto_generichash(out, DataKey::kBytes, u(bytes), size_t(bytes.size()),
                       reinterpret_cast<const unsigned char *>(context), sizeof context - 1);
}

// Seals under subkeys of the data key: one for the fields, one for tokens.
class SealingCodec final : public TextCodec {
public:
    explicit SealingCodec(const DataKey &key) : fields_(key.derived(1, "SnxField")), tokens_(key.derived(2, "SnxToken"))
    {
    }

    QString seal(const QString &plain, const FieldOf &where) const override
    {
        const QByteArray nonce = randomBytes(kNonce);
        const QByteArray out = nonce + aeadSeal(fields_.bytes(), nonce, plain.toUtf8(), associated(where));
        return QLatin1String(kSealedPrefix)
               + QString::fromLatin1(out.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
    }

    QString open(const QString &sealed, const FieldOf &where) const override
    {
        if (!sealed.startsWith(QLatin1String(kSealedPrefix)))
            throw damaged(where);
        const QByteArray raw = QByteArray::fromBase64(QStringView(sealed).mid(3).toLatin1(),
                                                      QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
        if (raw.size() < qsizetype(kNonce) + qsizetype(kTag))
            throw damaged(where);
        const std::optional<QByteArray> text =
            aeadOpen(fields_.bytes(), raw.left(qsizetype(kNonce)), raw.mid(qsizetype(kNonce)), associated(where));
        if (!text)
            throw damaged(where);
        return QString::fromUtf8(*text);
    }

    QString token(const QString &word) const override
    {
        const QByteArray w = word.toUtf8();
        unsigned char hash[16];
        crypto_generichash(hash, sizeof hash, u(w), size_t(w.size()), tokens_.bytes(), DataKey::kBytes);
        return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(hash), sizeof hash)
                                       .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
    }

private:
    static QByteArray associated(const FieldOf &where)
    {
        return QByteArray(kAssociated) + '\x1f' + where.entry.toUtf8() + '\x1f' + where.column.toString().toLatin1();
    }
    static Error damaged(const FieldOf &where)
    {
        return Error(kErrorDamaged, QStringLiteral("Diary"),
                     QStringLiteral("Запись повреждена: поле «%1» записи «%2» не открывается.")
                         .arg(where.column.toString(), where.entry.toString()));
    }

    DataKey fields_;
    DataKey tokens_;
};

} // namespace

DataKey::DataKey() : bytes_((needSodium(), static_cast<unsigned char *>(sodium_malloc(kBytes))))
{
    if (!bytes_)
        throw std::bad_alloc();
}

DataKey DataKey::random()
{
    needSodium();
    DataKey k;
    randombytes_buf(k.bytes_, kBytes);
    return k;
}

DataKey DataKey::fromBytes(const unsigned char *bytes)
{
    needSodium();
    DataKey k;
    memcpy(k.bytes_, bytes, kBytes);
    return k;
}

DataKey DataKey::derived(unsigned long long id, const char *context) const
{
    DataKey k;
    crypto_kdf_derive_from_key(k.bytes_, kBytes, id, context, bytes_);
    return k;
}

DataKey::DataKey(DataKey &&other) noexcept : bytes_(std::exchange(other.bytes_, nullptr)) {}

DataKey &DataKey::operator=(DataKey &&other) noexcept
{
    if (this != &other) {
        sodium_free(bytes_);
        bytes_ = std::exchange(other.bytes_, nullptr);
    }
    return *this;
}

DataKey::~DataKey()
{
    sodium_free(bytes_); // wipes before it frees
}

KeyCost calibratedCost()
{
    KeyCost cost;
    const QByteArray salt = randomBytes(crypto_pwhash_SALTBYTES);
    SecretBytes out;
    for (;;) {
        QElapsedTimer t;
        t.start();
        derive(QStringLiteral("calibration"), salt, cost, out.get());
        const qint64 ms = t.elapsed();
        if (ms >= 500 || cost.passes >= 16)
            return cost;
        // the passes grow in proportion, never past a second
        cost.passes =
            std::min<unsigned long long>(16, std::max<unsigned long long>(cost.passes + 1,
                                                                          cost.passes * 700 / std::max<qint64>(1, ms)));
    }
}

QByteArray newSalt()
{
    return randomBytes(crypto_pwhash_SALTBYTES);
}

std::optional<DataKey> keyFromPassword(const QString &password, const QByteArray &salt, const KeyCost &cost)
{
    SecretBytes out;
    if (!derive(password, salt, cost, out.get()))
        return std::nullopt;
    return DataKey::fromBytes(out.get());
}

KeyWrap wrapWithPassword(const DataKey &key, const QString &password, const KeyCost &cost)
{
    const QByteArray salt = randomBytes(crypto_pwhash_SALTBYTES);
    SecretBytes wrapping;
    if (!derive(password, salt, cost, wrapping.get()))
        throw std::runtime_error("the key derivation failed");
    KeyWrap w = wrapUnder(key, wrapping.get());
    w.salt = salt;
    w.cost = cost;
    return w;
}

std::optional<DataKey> unwrapWithPassword(const KeyWrap &wrap, const QString &password)
{
    SecretBytes wrapping;
    if (!derive(password, wrap.salt, wrap.cost, wrapping.get()))
        return std::nullopt;
    return unwrapUnder(wrap, wrapping.get());
}

QString newRecoveryKey()
{
    const QByteArray bytes = randomBytes(DataKey::kBytes);
    QString out;
    quint32 buffer = 0;
    int bits = 0;
    int letters = 0;
    const auto letter = [&](quint32 v) {
        if (letters > 0 && letters % 4 == 0)
            out += QLatin1Char('-');
        out += QLatin1Char(kBase32[v & 31]);
        ++letters;
    };
    for (const char b : bytes) {
        buffer = (buffer << 8) | quint8(b);
        bits += 8;
        while (bits >= 5) {
            letter(buffer >> (bits - 5));
            bits -= 5;
        }
    }
    if (bits > 0)
        letter(buffer << (5 - bits));
    return out;
}

KeyWrap wrapWithRecoveryKey(const DataKey &key, const QString &recoveryKey)
{
    const std::optional<QByteArray> bytes = recoveryBytes(recoveryKey);
    if (!bytes)
        throw std::invalid_argument("not a recovery key");
    SecretBytes wrapping;
    recoveryWrapping(*bytes, wrapping.get());
    return wrapUnder(key, wrapping.get());
}

std::optional<DataKey> unwrapWithRecoveryKey(const KeyWrap &wrap, const QString &recoveryKey)
{
    const std::optional<QByteArray> bytes = recoveryBytes(recoveryKey);
    if (!bytes)
        return std::nullopt;
    SecretBytes wrapping;
    recoveryWrapping(*bytes, wrapping.get());
    return unwrapUnder(wrap, wrapping.get());
}

QByteArray aeadSeal(const unsigned char *key, const QByteArray &nonce, const QByteArray &plain,
                    const QByteArray &associated)
{
    needSodium();
    if (nonce.size() != qsizetype(kNonce))
        throw std::invalid_argument("a nonce of 24 bytes");
    QByteArray out(plain.size() + qsizetype(kTag), '\0');
    unsigned long long length = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(reinterpret_cast<unsigned char *>(out.data()), &length, u(plain),
                                               size_t(plain.size()), u(associated), size_t(associated.size()), nullptr,
                                               u(nonce), key);
    return out;
}

std::optional<QByteArray> aeadOpen(const unsigned char *key, const QByteArray &nonce, const QByteArray &sealed,
                                   const QByteArray &associated)
{
    needSodium();
    if (nonce.size() != qsizetype(kNonce) || sealed.size() < qsizetype(kTag))
        return std::nullopt;
    QByteArray text(sealed.size() - qsizetype(kTag), '\0');
    unsigned long long length = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(reinterpret_cast<unsigned char *>(text.data()), &length, nullptr,
                                                   u(sealed), size_t(sealed.size()), u(associated),
                                                   size_t(associated.size()), u(nonce), key)
        != 0)
        return std::nullopt;
    text.truncate(qsizetype(length));
    return text;
}

std::shared_ptr<const TextCodec> sealingCodec(DataKey key)
{
    return std::make_shared<SealingCodec>(key);
}

} // namespace somnex::diary
