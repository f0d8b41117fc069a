#pragma once
// Packed text: the compressed form of a dream book's "Text" and "Links"
// fields.
//
// A packed value is a string whose characters each stand for one byte, the
// byte's character in the ANSI code page (Windows-1251). Prefixed with one
// 0x00 byte, those bytes form a stream of 9-bit LZW codes packed least
// significant bit first. Codes 0..255 are single characters, 256 clears the
// dictionary, 257 ends the stream, 258..511 are dictionary entries. The code
// width never changes; the dictionary starts over by itself when it is full.

#include <QString>
#include <QStringView>

namespace somnex::dictionary {

// Characters of unpacked text never exceed this many; a value that would
// expand further is malformed (honest texts are a few kilobytes).
inline constexpr qsizetype kMaxUnpackedLength = qsizetype(1) << 24;

// Decodes one packed field value. A stream whose first code is not the clear
// code gives the empty string. Raises somnex::Error for a value too short to
// hold a stream (zero length, or a lone clear code) and for one that would
// expand beyond kMaxUnpackedLength. Characters outside the code page count as
// '?', the way a byte conversion of such text would.
QString UnpackText(QStringView packed);

// The inverse, for writing books: UnpackText(PackText(t)) == t for every t
// representable in Windows-1251. Raises somnex::Error naming the first
// character that the code page cannot represent.
QString PackText(QStringView text);

} // namespace somnex::dictionary
