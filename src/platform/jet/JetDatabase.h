#pragma once
// Reading Jet 4 databases from an image in memory, over libmdb: libmdb finds
// the catalogue, the table definitions, the data pages and the rows; the text
// and memo values are decoded here from their raw bytes (UCS-2 LE, or Jet 4's
// compressed form), so that every U+0000 is kept and values have no length
// limit. Null stays distinct from empty text.
//
// libmdb trusts much of what it reads. Before it reads a table definition the
// page, its column and index counts and its usage-map row are checked here;
// row and field positions that it reports are checked against the row before
// a byte is read; memo lengths are held to the image's size and memo page
// chains to its page count. Any violation raises somnex::Error.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
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
    // Memo values whose every character has a byte in Windows-1251 (packed
    // text, pictures) are held as those bytes, everything else as UTF-16.
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
        return static_cast<std::size_t>(wide_.capacity()) * 2 + static_cast<std::size_t>(narrow_.capacity()) +
               cells_.capacity() * sizeof(Cell);
    }

private:
    friend class Database;
    struct Cell {
        uint32_t off;
        uint32_t len;
    };
    static constexpr uint32_t kNull = UINT32_MAX;
    static constexpr uint32_t kNarrow = 0x80000000u;
    const Cell &cell(qsizetype row, int col) const
    {
        return cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_.size()) +
                      static_cast<std::size_t>(col)];
    }

    QString name_;
    QStringList columns_;
    std::vector<bool> textual_;
    qsizetype rows_ = 0;
    std::vector<Cell> cells_;
    QString wide_;
    QByteArray narrow_;
};

class Database {
public:
    // Opens an image whose first 22 bytes are the Jet header. Raises
    // somnex::Error when it is not a Jet 4 database libmdb can read.
    explicit Database(QByteArray image);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // User tables (not the system tables), in catalogue order.
    QStringList tableNames() const;
    // Every row of a table; raises somnex::Error when the table is absent or
    // damaged.
    TableData readTable(const QString &name);

private:
    void checkTableDefinition(long page, const QString &table) const;
    uint32_t u16(long page, int offset) const;
    uint32_t u32(long page, int offset) const;
    long pageCount() const { return static_cast<long>(image_.size() / 4096); }
    void readMemo(const uint8_t *field, int size, QString &out, const QString &where);

    QByteArray image_;
    void *handle_ = nullptr; // the libmdb handle
};

// Decodes a Jet 4 text value from its bytes and appends it: UCS-2 LE, or,
// after the marker FF FE, single bytes (U+0000..U+00FF) with 00 switching
// between single bytes and UCS-2 pairs. A dangling odd byte is dropped.
void appendJetText(const uint8_t *bytes, std::size_t size, QString &out);

} // namespace somnex::jet
