#pragma once
// The key of a private diary and how it is kept. Every word the user wrote
// is sealed under one random 256-bit data key; the file keeps that key only
// wrapped: once under a key derived from the password (Argon2id, its cost
// stored beside the wrap) and once under the recovery key shown when the
// diary was made private. The data key lives in locked memory and is wiped
// when the last holder lets it go.

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace somnex::diary {

class TextCodec;

// The data key in memory of its own: locked out of swap, guarded, wiped.
class DataKey {
public:
    static constexpr size_t kBytes = 32;
    // A fresh random key.
    static DataKey random();
    // A key from its bytes (kBytes of them).
    static DataKey fromBytes(const unsigned char *bytes);
    // A subkey of this key for one purpose (context: eight characters).
    DataKey derived(unsigned long long id, const char *context) const;
    DataKey(DataKey &&) noexcept;
    DataKey &operator=(DataKey &&) noexcept;
    DataKey(const DataKey &) = delete;
    DataKey &operator=(const DataKey &) = delete;
    ~DataKey();
    const unsigned char *bytes() const { return bytes_; }

private:
    DataKey();
    unsigned char *bytes_ = nullptr;
};

// What a key derivation costs: passes and memory (bytes).
struct KeyCost {
    unsigned long long passes = 3;
    size_t memory = 64u << 20;
};
// The cost that takes from half a second to a second on this computer, and
// never less than 3 passes over 64 MiB.
KeyCost calibratedCost();

// The data key wrapped under another key, as the file keeps it.
struct KeyWrap {
    QByteArray salt; // of the password's derivation; empty for the recovery key
    KeyCost cost;
    QByteArray nonce;
    QByteArray wrapped;
};

// Fresh random bytes for a password's salt.
QByteArray newSalt();
// The key a password gives with this salt at this cost (Argon2id); none when
// the salt or the cost is outside what the derivation takes.
std::optional<DataKey> keyFromPassword(const QString &password, const QByteArray &salt, const KeyCost &cost);

KeyWrap wrapWithPassword(const DataKey &key, const QString &password, const KeyCost &cost);
// The data key, none when the password is not the one wrapped with.
std::optional<DataKey> unwrapWithPassword(const KeyWrap &wrap, const QString &password);

// A recovery key: 32 random bytes, written in groups of Base32 letters.
QString newRecoveryKey();
KeyWrap wrapWithRecoveryKey(const DataKey &key, const QString &recoveryKey);
// The data key, none when the text is not that recovery key (spaces, dashes
// and letter case do not matter).
std::optional<DataKey> unwrapWithRecoveryKey(const KeyWrap &wrap, const QString &recoveryKey);

// XChaCha20-Poly1305 (IETF) under a 32-byte key with the 24-byte nonce given:
// the sealed text with its tag appended, as every field is sealed.
QByteArray aeadSeal(const unsigned char *key, const QByteArray &nonce, const QByteArray &plain,
                    const QByteArray &associated);
// The text, none when the seal, the nonce or the associated data differ.
std::optional<QByteArray> aeadOpen(const unsigned char *key, const QByteArray &nonce, const QByteArray &sealed,
                                   const QByteArray &associated);

// The codec that seals a private diary's fields under its data key:
// XChaCha20-Poly1305 with the entry, the column and the schema as
// associated data; its tokens are keyed BLAKE2b hashes.
std::shared_ptr<const TextCodec> sealingCodec(DataKey key);

} // namespace somnex::diary
