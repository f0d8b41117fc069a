#pragma once
// Layout constants of Jet 4 database files shared by the reader's checks and
// the writer.

#include <cstdint>

namespace somnex::jet::format {

// The little-endian integers at p.
inline constexpr uint32_t le16(const uint8_t *p)
{
    return p[0] | uint32_t(p[1]) << 8;
}
inline constexpr uint32_t le32(const uint8_t *p)
{
    return le16(p) | le16(p + 2) << 16;
}

inline constexpr int kPageSize = 4096;
inline constexpr int64_t kMaxFileSize = int64_t(1) << 31;

// page types (first byte of a page)
inline constexpr uint8_t kPageDatabase = 0x00;
inline constexpr uint8_t kPageData = 0x01;
inline constexpr uint8_t kPageTableDefinition = 0x02;
inline constexpr uint8_t kPageUsageMap = 0x05;

// database page
inline constexpr uint8_t kJetHeader[] = {0x00, 0x01, 0x00, 0x00, 'S', 't', 'a', 'n', 'd',  'a',  'r',
                                         'd',  ' ',  'J',  'e',  't', ' ', 'D', 'B', 0x00, 0x01, 0x00};
inline constexpr int kHeaderVersion = 0x14;
inline constexpr uint8_t kVersionJet4 = 0x01;
inline constexpr int kHeaderArea = 0x18; // RC4-encrypted from here
inline constexpr int kHeaderAreaSize = 128;
inline constexpr int kHeaderCodePage = 0x3C;
inline constexpr int kHeaderDbKey = 0x3E;
inline constexpr int kHeaderSortOrder = 0x6E;
inline constexpr uint8_t kHeaderKey[] = {0xC7, 0xDA, 0x39, 0x6B};
inline constexpr unsigned kGeneralSortOrder = 0x409;

// data and long-value pages
inline constexpr int kDataRowCount = 12;
inline constexpr int kDataRowOffsets = 14;
inline constexpr unsigned kRowOffsetMask = 0x1FFF;
// An offset flagged 0x4000 is skipped by readers: alone it points to the
// row's new place on another page, with 0x8000 the row is deleted. 0x8000
// alone marks the row that was moved there.
inline constexpr unsigned kRowForward = 0x4000;
inline constexpr unsigned kRowMoved = 0x8000;
inline constexpr int kMaxRowOnPage = kPageSize - kDataRowOffsets - 2;
inline constexpr int kInlineRowLimit = 2000;
inline constexpr int kLvalChunk = kMaxRowOnPage - 4;

// memo header at the start of a memo value in a row
inline constexpr int kMemoHeader = 12;
inline constexpr uint32_t kMemoInline = 0x80000000u;
inline constexpr uint32_t kMemoSinglePage = 0x40000000u;
inline constexpr uint32_t kMemoLengthMask = 0x3FFFFFFFu;

// table definition
inline constexpr int kTdefNumRows = 16;
inline constexpr int kTdefMaxCols = 41;
inline constexpr int kTdefNumVarCols = 43;
inline constexpr int kTdefNumCols = 45;
inline constexpr int kTdefNumIdx = 47;
inline constexpr int kTdefNumRealIdx = 51;
inline constexpr int kTdefUsedPages = 55;
inline constexpr int kTdefFreePages = 59;
inline constexpr int kTdefColumnsStart = 63;
inline constexpr int kTdefColumnSize = 25;
inline constexpr int kUsageMapSize = 64;
inline constexpr int kTextColumnBytes = 510;

// column types
inline constexpr uint8_t kTypeInt = 0x03;
inline constexpr uint8_t kTypeLong = 0x04;
inline constexpr uint8_t kTypeText = 0x0A;
inline constexpr uint8_t kTypeOle = 0x0B;
inline constexpr uint8_t kTypeMemo = 0x0C;

// catalogue
inline constexpr int kCataloguePage = 2;
inline constexpr int kObjectTable = 1;
inline constexpr uint32_t kSystemTableFlags = 0x80000002u;

} // namespace somnex::jet::format
