#pragma once
// A journal sealed under a password, so that an export of a private diary is
// as private as the diary: a readable header naming the format, its version
// and the key derivation's salt and cost, then the journal's bytes in
// libsodium's secret stream (XChaCha20-Poly1305 in chunks, the last one
// marked final, the header bound to every chunk).
//
//   somnex-diary-sealed
//   version: 1
//   kdf: argon2id
//   passes: 3
//   memory: 67108864
//   salt: <Base64>
//   check: <Base64>
//   <blank line>
//   <the stream>
//
// "check" tells a wrong password from a damaged file: a keyed hash of a
// constant under the password's key, which says nothing of the key itself.

#include "diary/seal/DiaryKey.h"

#include <QByteArray>
#include <QString>

namespace somnex::diary {

inline constexpr const char *kSealedFormatName = "somnex-diary-sealed";
inline constexpr int kSealedFormatVersion = 1;

// Whether the bytes begin as a sealed journal does (the rest unchecked).
bool isSealedJournal(const QByteArray &bytes);

// The bytes sealed under the password, its key derived at that cost.
QByteArray sealJournal(const QByteArray &plain, const QString &password, const KeyCost &cost);

// The bytes sealed in the file. Throws somnex::Error: kErrorWrongPassword
// ("Неверный пароль") when the password is not the one sealed with;
// kErrorJournalBad, naming the file, when the file is cut, damaged, of a
// newer version or asks for a key derivation beyond what is ever written.
QByteArray openSealedJournal(const QByteArray &sealed, const QString &password, const QString &fileName);

} // namespace somnex::diary
