#pragma once
// Small pictures as bytes, for tests that must not make them with Qt's image
// writer: writing loads every image format plugin, and those tests check
// that reading loads none.

#include <QByteArray>

// 4 x 3, dark cyan with a yellow pixel at (1, 1)
inline QByteArray tinyPng()
{
    return QByteArray::fromHex(
        "89504e470d0a1a0a0000000d49484452000000040000000308020000003b963991000000097048597300000e"
        "c400000ec401952b0e1b0000001a4944415408996364e8ee66800126060686ff25a5100e23b20c005c2b04"
        "19d98fca310000000049454e44ae426082");
}

inline QByteArray tinyBmp()
{
    return QByteArray::fromHex(
        "424d5a0000000000000036000000280000000400000003000000010018000000000024000000c40e0000c40e"
        "000000000000000000008b8b008b8b008b8b008b8b008b8b0000ffff8b8b008b8b008b8b008b8b008b8b00"
        "8b8b00");
}

// 1 x 1, transparent (Qt writes no GIF)
inline QByteArray tinyGif()
{
    return QByteArray::fromHex(
        "47494638396101000100800000000000ffffff21f90401000000002c00000000010001000002024401003b");
}
