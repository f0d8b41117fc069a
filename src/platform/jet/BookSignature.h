#pragma once
// The 22 bytes at the start of a dream-book file. At rest a book carries the
// book signature there, in place of the Jet header of the database behind it;
// to be read as a database the image gets the Jet header back.

#include <QByteArray>
#include <QString>

#include <array>

namespace somnex::jet {

inline constexpr int kSignatureLength = 22;

// "DB1 ZUL Somnex book v3", one byte per character, no terminator.
extern const std::array<char, kSignatureLength> BookSignature;

// 00 01 00 00 "Standard Jet DB" 00 01 00: the Jet 4 header (version byte 01
// at offset 20).
extern const std::array<char, kSignatureLength> JetHeaderBytes;

// True exactly when the file's first 22 bytes equal BookSignature; a file
// that cannot be read or is shorter than 22 bytes is not a book.
bool IsValidVersion(const QString &fileName);

// Write BookSignature (LockBase) or JetHeaderBytes (UnlockBase) over bytes
// 0..21 of an existing file; nothing else in the file changes. They raise
// somnex::Error when the file cannot be opened for writing or is shorter than
// 22 bytes.
void LockBase(const QString &fileName);
void UnlockBase(const QString &fileName);

// The same two operations on an image in memory.
void stampSignature(QByteArray &image);
void restoreJetHeader(QByteArray &image);

} // namespace somnex::jet
