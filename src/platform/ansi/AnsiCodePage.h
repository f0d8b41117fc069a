#pragma once
// The ANSI code page of the Russian-language systems the dream books come from
// (Windows-1251). Every one of the 256 bytes maps to one UTF-16 code unit and
// back; 0x98, which the code page leaves undefined, maps to U+0098 so that
// binary data carried one byte per character (book icons, packed text)
// survives the round trip.

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace somnex::ansi {

// The character for one byte.
char16_t toChar(unsigned char byte) noexcept;

// The byte for one character, or -1 when the code page has no such character.
int toByte(char16_t ch) noexcept;

// Whole strings. fromUnicode replaces unrepresentable characters with '?'
// and reports whether every character was representable through *exact.
QString toUnicode(QByteArrayView bytes);
QByteArray fromUnicode(QStringView text, bool *exact = nullptr);

// True when every character of text has a byte in the code page.
bool representable(QStringView text) noexcept;

} // namespace somnex::ansi
