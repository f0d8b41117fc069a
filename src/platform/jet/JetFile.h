#pragma once
// Reading Jet 4 databases from an image in memory, over libmdb: libmdb finds
// the catalogue, the table definitions, the data pages and the rows; the text
// and memo values are decoded here from their raw bytes (UCS-2 LE, or Jet 4's
// compressed form), so that every U+0000 is kept and values have no length
// limit. Null stays distinct from empty text.
//
// libmdb reads the table definitions (columns, their types and places in a
// row), after the definition page, its column and index counts and its
// usage-map row have been checked here. Everything libmdb would take on
// trust or loop on is read here instead, with every position checked before
// a byte is read: the catalogue (MSysObjects, without its property blobs),
// the usage maps, the data pages and their rows, the fields of a row and the
// long-value chains of memo and OLE values.
//
// Rows as Access leaves them: an offset flagged 0x4000 (alone, or with
// 0x8000: a deleted row) is skipped; one flagged 0x8000 alone is a row moved
// there from another page after an edit and is read where it lies, as
// mdbtools does. A table's deleted columns stay in its rows and in its
// variable-column count (bounded by the maximum column count at offset 41).
//
// What would otherwise be lost without a word is an error: a file whose
// length is not a whole number of pages, a page in a table's usage map that
// is not a data page of that table, a long value on a page that is not a
// long-value page. Any violation raises somnex::Error with a Russian
// description.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace somnex::jet {

// The rows of one table, read in one pass, in storage order.
class TableData {
public:
    const QString &name() const { return name_; }
    const QStringList &columns() const { return columns_; }
    // Column by name, ignoring letter case; -1 when absent.
    int column(QStringView name) const;
    // False for columns of types other than text and memo (their values read
    // as Null).
    bool isText(int col) const { return textual_[static_cast<std::size_t>(col)]; }

    qsizetype rowCount() const { return rows_; }
    bool isNull(qsizetype row, int col) const { return cell(row, col).len == kNull; }
    // Values of the memo columns the reader chose (NarrowColumns) whose every
    // character has a byte in Windows-1251 (packed text, pictures) are held
    // as those bytes, everything else as UTF-16.
    bool isWide(qsizetype row, int col) const
    {
        const Cell &c = cell(row, col);
        return c.len == kNull || !(c.len & kNarrow);
    }
    // The text of a cell held as UTF-16 (always so for text columns); empty
    // for Null and for cells held as bytes. Valid while the table lives.
    QStringView view(qsizetype row, int col) const
    {
        const Cell &c = cell(row, col);
        return c.len == kNull || (c.len & kNarrow) ? QStringView() : QStringView(wide_).sliced(c.off, c.len);
    }
    std::optional<QString> value(qsizetype row, int col) const;
    // Bytes held for the values and their cells.
    std::size_t bytesHeld() const
    {
        return static_cast<std::size_t>(wide_.capacity()) * 2 + static_cast<std::size_t>(narrow_.capacity())
               + cells_.capacity() * sizeof(Cell);
    }

private:
    friend class JetFile;
    struct Cell {
        uint32_t off;
        uint32_t len;
    };
    static constexpr uint32_t kNull = UINT32_MAX;
    static constexpr uint32_t kNarrow = 0x80000000u;
    // Keeps the text of a cell: as bytes when narrow is allowed and every
    // character has a Windows-1251 byte, otherwise as UTF-16.
    Cell hold(const QString &text, bool narrow);
    const Cell &cell(qsizetype row, int col) const
    {
        return cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_.size())
                      + static_cast<std::size_t>(col)];
    }

    QString name_;
    QStringList columns_;
    std::vector<bool> textual_;
    qsizetype rows_ = 0;
    std::vector<Cell> cells_;
    QString wide_;
    QByteArray narrow_;
};

// Where a row lies: its data page and its number in the page's row table.
struct RowPlace {
    uint32_t page = 0;
    uint16_t row = 0;
    friend bool operator==(const RowPlace &, const RowPlace &) = default;
};

// A column as the table definition describes it, in table order.
struct ColumnInfo {
    QString name;
    uint8_t type = 0; // Jet column type (0x0A text, 0x0C memo, ...)
    int size = 0;     // bytes of a fixed-size column
    uint8_t scale = 0, precision = 0;
};

// One field of a row as stored: the bytes of a fixed column, the raw bytes of
// a text column, the whole long value of a memo or OLE column. A Yes/No
// column is never Null; its value is bytes[0] (0 or 1).
struct RawField {
    bool null = true;
    QByteArray bytes;
};

// Which memo columns of a table may be held as Windows-1251 bytes, by
// column name (see TableData::isWide); none when empty.
using NarrowColumns = std::function<bool(const QString &column)>;

class JetFile {
public:
    // Opens an image whose first 22 bytes are the Jet header. Raises
    // somnex::Error when it is not a Jet 4 database libmdb can read.
    explicit JetFile(QByteArray image);
    ~JetFile();
    JetFile(const JetFile &) = delete;
    JetFile &operator=(const JetFile &) = delete;

    // User tables (not the system tables), in catalogue order.
    QStringList tableNames() const;
    // Every row of a table, the memo columns narrow chooses held as bytes
    // where they can be; raises somnex::Error when the table is absent or
    // damaged. places, when given, receives where each row lies.
    TableData readTable(const QString &name, const NarrowColumns &narrow = {}, std::vector<RowPlace> *places = nullptr);
    // Only the rows at the given places, in the order given, held as
    // readTable holds them; raises somnex::Error when a place is not a live
    // row of a data page of the table.
    TableData readRows(const QString &name, const std::vector<RowPlace> &places, const NarrowColumns &narrow = {});
    // The columns of a table and each of its rows, in storage order, as
    // stored; raises somnex::Error like readTable.
    std::vector<ColumnInfo> columns(const QString &name);
    void scan(const QString &name, const std::function<void(const std::vector<RawField> &)> &row);

    struct Column;
    struct Definition;

private:
    struct Entry {
        QString name;
        long page = 0;
        uint32_t flags = 0;
    };
    struct Field {
        bool null = true;
        int start = 0; // offset in the page
        int size = 0;
    };
    void readCatalogue();
    const Entry &entry(const QString &name) const;
    Definition definition(long page, const QString &name);
    void checkTableDefinition(long page, const QString &table) const;
    std::vector<long> dataPages(long page, const QString &table) const;
    void addMappedPage(uint64_t listed, std::vector<long> &pages, const QString &table) const;
    void inlineMapPages(const uint8_t *m, uint32_t size, std::vector<long> &pages, const QString &table) const;
    void pageMapPages(const uint8_t *m, uint32_t size, std::vector<long> &pages, const QString &table) const;
    void forEachRow(const Definition &def,
                    const std::function<void(const uint8_t *page, long pageNo, int row, const Field *fields)> &f) const;
    struct RowLayout;
    uint32_t dataPageRows(const Definition &def, long pageNo) const;
    RowLayout rowLayout(const Definition &def, long pageNo, uint32_t r, uint32_t rows,
                        std::vector<uint32_t> &offsets) const;
    void rowFields(const Definition &def, const RowLayout &row, const std::vector<uint32_t> &offsets,
                   std::vector<Field> &fields) const;
    [[noreturn]] static void badRow(const Definition &def, long pageNo, uint32_t r);
    const uint8_t *pageAt(long page) const;
    uint32_t u16(long page, int offset) const;
    uint32_t u32(long page, int offset) const;
    struct RowBounds {
        uint32_t start, end;
    };
    RowBounds rowBounds(long page, uint32_t r) const;
    long pageCount() const { return static_cast<long>(image_.size() / 4096); }
    // Appends the bytes of a long value (memo, OLE) from its 12-byte header.
    void longValue(const uint8_t *field, int size, QByteArray &out, const QString &where) const;
    const uint8_t *longValueRow(uint32_t ref, uint32_t &rowLen, const QString &where) const;
    void longValueChain(uint32_t first, uint32_t len, QByteArray &out, const QString &where) const;
    void readMemo(const uint8_t *field, int size, QString &out, const QString &where) const;
    static TableData emptyTable(const Definition &def);
    static std::vector<bool> narrowable(const Definition &def, const NarrowColumns &narrow);
    void readCell(const Definition &def, std::size_t c, const uint8_t *page, const Field &f, bool narrow,
                  TableData &data, QString &scratch) const;
    static void checkProperties(const QByteArray &blob, const QString &where);

    QByteArray image_;
    void *handle_ = nullptr; // the libmdb handle
    std::vector<Entry> catalogue_;
};

// Decodes a Jet 4 text value from its bytes and appends it: UCS-2 LE, or,
// after the marker FF FE, single bytes (U+0000..U+00FF) with 00 switching
// between single bytes and UCS-2 pairs. A dangling odd byte is dropped.
void appendJetText(const uint8_t *bytes, std::size_t size, QString &out);

} // namespace somnex::jet
