#include "platform/jet/JetWriter.h"

#include "platform/error/Error.h"
#include "platform/jet/JetFormat.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <numeric>

namespace somnex::jet {
namespace {

using namespace format;

const QString kSource = QStringLiteral("JetWriter");

[[noreturn]] void fail(const QString &what)
{
    throw Error(3000, kSource, what);
}

// A value of a cell as the row builder sees it.
struct Cell {
    enum class Kind { Null, Number, Text } kind = Kind::Null;
    int64_t number = 0;
    QString text;
};

struct Column {
    QString name;
    uint8_t type = kTypeText;
    int colNum = 0;
    int varNum = -1;      // index among variable-length columns
    int fixedOffset = -1; // offset among fixed-length columns
    int fixedSize = 0;
};

struct Table {
    QString name;
    bool system = false;
    std::vector<Column> columns;
    int varCount = 0;
    int fixedSize = 0;
    std::vector<std::vector<Cell>> rows;
    int tdefPage = 0;
    std::vector<int> dataPages;
};

void putU16(uint8_t *p, unsigned v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void putU32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

QByteArray ucs2(const QString &s)
{
    QByteArray out(s.size() * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        out[2 * i] = static_cast<char>(c & 0xFF);
        out[2 * i + 1] = static_cast<char>(c >> 8);
    }
    return out;
}

void rc4(const uint8_t *key, int keyLen, uint8_t *data, int len)
{
    uint8_t s[256];
    std::iota(s, s + 256, 0);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % keyLen]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (int n = 0, i = 0, j = 0; n < len; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        data[n] ^= s[(s[i] + s[j]) & 0xFF];
    }
}

class Writer {
public:
    QByteArray run(std::vector<Table> &tables)
    {
        newPage(); // 0: database page
        newPage(); // 1: usage maps
        for (auto &t : tables)
            t.tdefPage = newPage();
        for (auto &t : tables)
            writeRows(t);
        writeUsageMaps(tables);
        for (auto &t : tables)
            writeTableDefinition(t);
        writeDatabasePage();
        return image_;
    }

private:
    struct PageState {
        int rows = 0;
        int top = kPageSize; // lowest byte used by a row
    };

    int newPage()
    {
        if (image_.size() >= kMaxFileSize - kPageSize)
            fail(QStringLiteral("База данных получается больше 2 ГиБ."));
        const int page = static_cast<int>(image_.size() / kPageSize);
        image_.append(QByteArray(kPageSize, '\0'));
        return page;
    }

    uint8_t *page(int p) { return reinterpret_cast<uint8_t *>(image_.data()) + qsizetype(p) * kPageSize; }

    // Starts a data page (owner = the table definition page) or a long-value
    // page (owner 0: the page carries the word "LVAL" instead).
    int newDataPage(int owner)
    {
        const int p = newPage();
        uint8_t *b = page(p);
        b[0] = kPageData;
        b[1] = 0x01;
        if (owner)
            putU32(b + 4, static_cast<uint32_t>(owner));
        else
            std::copy_n("LVAL", 4, b + 4);
        states_[p] = PageState{};
        putU16(b + 2, kPageSize - kDataRowOffsets);
        return p;
    }

    bool fits(int p, qsizetype len) const
    {
        const PageState &s = states_.at(p);
        return s.top - (kDataRowOffsets + 2 * (s.rows + 1)) >= len;
    }

    // Puts a row on a page that has room for it; returns its row number.
    int putRow(int p, const QByteArray &row)
    {
        PageState &s = states_[p];
        uint8_t *b = page(p);
        s.top -= static_cast<int>(row.size());
        std::memcpy(b + s.top, row.constData(), static_cast<std::size_t>(row.size()));
        putU16(b + kDataRowOffsets + 2 * static_cast<std::ptrdiff_t>(s.rows), static_cast<unsigned>(s.top));
        ++s.rows;
        putU16(b + kDataRowCount, static_cast<unsigned>(s.rows));
        putU16(b + 2, static_cast<unsigned>(s.top - (kDataRowOffsets + 2 * s.rows)));
        return s.rows - 1;
    }

    // A long value on long-value pages; returns the 12-byte memo header.
    QByteArray storeLong(const QByteArray &data)
    {
        QByteArray head(kMemoHeader, '\0');
        auto *h = reinterpret_cast<uint8_t *>(head.data());
        const auto len = static_cast<uint32_t>(data.size());
        if (data.size() <= kMaxRowOnPage) {
            if (lval_ < 0 || !fits(lval_, data.size()))
                lval_ = newDataPage(0);
            const int row = putRow(lval_, data);
            putU32(h, len | kMemoSinglePage);
            putU32(h + 4, static_cast<uint32_t>(lval_) << 8 | static_cast<uint32_t>(row));
            return head;
        }
        // A chain of pages, each row: pointer to the next row, then a piece.
        const qsizetype pieces = (data.size() + kLvalChunk - 1) / kLvalChunk;
        std::vector<int> pages;
        for (qsizetype i = 0; i < pieces; ++i)
            pages.push_back(newDataPage(0));
        for (qsizetype i = 0; i < pieces; ++i) {
            const QByteArray piece = data.mid(i * kLvalChunk, kLvalChunk);
            QByteArray row(4, '\0');
            if (i + 1 < pieces)
                putU32(reinterpret_cast<uint8_t *>(row.data()), static_cast<uint32_t>(pages[i + 1]) << 8);
            row += piece;
            putRow(pages[static_cast<std::size_t>(i)], row);
        }
        putU32(h, len);
        putU32(h + 4, static_cast<uint32_t>(pages[0]) << 8);
        return head;
    }

    // The values of one row before they are laid out: the fixed part, the
    // null mask, the bytes of each variable-length column and which memo
    // values move out to long-value pages.
    struct RowValues {
        QByteArray fixed, mask;
        std::vector<QByteArray> var;
        std::vector<bool> longOut;
    };

    // The column that is variable-length column k, and whether its cell is Null.
    static const Column &varColumn(const Table &t, int k)
    {
        return *std::find_if(t.columns.begin(), t.columns.end(), [k](const Column &col) { return col.varNum == k; });
    }
    static bool isNull(const Table &t, const std::vector<Cell> &cells, const Column &c)
    {
        return cells[static_cast<std::size_t>(&c - t.columns.data())].kind == Cell::Kind::Null;
    }

    static RowValues rowValues(const Table &t, const std::vector<Cell> &cells)
    {
        const int n = static_cast<int>(t.columns.size());
        RowValues v;
        v.var.resize(static_cast<std::size_t>(t.varCount));
        v.longOut.assign(static_cast<std::size_t>(t.varCount), false);
        v.fixed = QByteArray(t.fixedSize, '\0');
        v.mask = QByteArray((n + 7) / 8, '\0');
        for (int i = 0; i < n; ++i) {
            const Column &c = t.columns[static_cast<std::size_t>(i)];
            const Cell &cell = cells[static_cast<std::size_t>(i)];
            if (cell.kind == Cell::Kind::Null)
                continue;
            v.mask[c.colNum / 8] = static_cast<char>(v.mask[c.colNum / 8] | (1 << (c.colNum % 8)));
            if (c.varNum < 0)
                putFixed(c, cell, v.fixed);
            else
                v.var[static_cast<std::size_t>(c.varNum)] = variableBytes(t, c, cell);
        }
        return v;
    }

    static void putFixed(const Column &c, const Cell &cell, QByteArray &fixed)
    {
        auto *f = reinterpret_cast<uint8_t *>(fixed.data()) + c.fixedOffset;
        if (c.fixedSize == 2)
            putU16(f, static_cast<unsigned>(cell.number));
        else
            putU32(f, static_cast<uint32_t>(cell.number));
    }

    static QByteArray variableBytes(const Table &t, const Column &c, const Cell &cell)
    {
        if (cell.text.startsWith(QChar(0xFEFF)))
            fail(QStringLiteral("Значение поля «%1» таблицы «%2» начинается с символа U+FEFF.").arg(c.name, t.name));
        QByteArray bytes = ucs2(cell.text);
        if (c.type == kTypeText && bytes.size() > kTextColumnBytes)
            fail(QStringLiteral("Значение поля «%1» таблицы «%2» длиннее 255 символов: %3")
                     .arg(c.name, t.name, cell.text.left(40)));
        return bytes;
    }

    // The bytes the row would take with the memo values laid out as they are now.
    static qsizetype rowSize(const Table &t, const std::vector<Cell> &cells, const RowValues &v)
    {
        qsizetype s = 2 + t.fixedSize + 2 + 2 * t.varCount + 2 + v.mask.size();
        for (int k = 0; k < t.varCount; ++k) {
            const Column &c = varColumn(t, k);
            const auto kk = static_cast<std::size_t>(k);
            if (c.type != kTypeMemo)
                s += v.var[kk].size();
            else if (!isNull(t, cells, c))
                s += kMemoHeader + (v.longOut[kk] ? 0 : v.var[kk].size());
        }
        return s;
    }

    // Memo values stay in the row while it is small; the largest move out
    // to long-value pages first.
    static void moveOutLongValues(const Table &t, const std::vector<Cell> &cells, RowValues &v)
    {
        while (rowSize(t, cells, v) > kInlineRowLimit) {
            int best = -1;
            for (int k = 0; k < t.varCount; ++k) {
                const Column &c = varColumn(t, k);
                if (c.type != kTypeMemo || v.longOut[static_cast<std::size_t>(k)] || isNull(t, cells, c))
                    continue;
                if (best < 0
                    || v.var[static_cast<std::size_t>(k)].size() > v.var[static_cast<std::size_t>(best)].size())
                    best = k;
            }
            if (best < 0)
                break;
            v.longOut[static_cast<std::size_t>(best)] = true;
        }
    }

    // A memo value in the row: inline with its header, or the header of its
    // long value.
    QByteArray memoBytes(const QByteArray &bytes, bool longOut)
    {
        if (longOut)
            return storeLong(bytes);
        QByteArray head(kMemoHeader, '\0');
        putU32(reinterpret_cast<uint8_t *>(head.data()), static_cast<uint32_t>(bytes.size()) | kMemoInline);
        return head + bytes;
    }

    QByteArray buildRow(const Table &t, const std::vector<Cell> &cells)
    {
        const int n = static_cast<int>(t.columns.size());
        RowValues v = rowValues(t, cells);
        moveOutLongValues(t, cells, v);
        if (rowSize(t, cells, v) > kMaxRowOnPage)
            fail(QStringLiteral("Строка таблицы «%1» не помещается на страницу.").arg(t.name));

        QByteArray row(2, '\0');
        putU16(reinterpret_cast<uint8_t *>(row.data()), static_cast<unsigned>(n));
        row += v.fixed;
        std::vector<unsigned> offsets;
        for (int k = 0; k < t.varCount; ++k) {
            offsets.push_back(static_cast<unsigned>(row.size()));
            const Column &c = varColumn(t, k);
            if (isNull(t, cells, c))
                continue;
            const QByteArray &bytes = v.var[static_cast<std::size_t>(k)];
            row += c.type == kTypeMemo ? memoBytes(bytes, v.longOut[static_cast<std::size_t>(k)]) : bytes;
        }
        offsets.push_back(static_cast<unsigned>(row.size())); // end of the variable data
        QByteArray tail(2 * (t.varCount + 1) + 2, '\0');
        auto *p = reinterpret_cast<uint8_t *>(tail.data());
        // Stored in reverse: the end offset first, the first column's last.
        for (int k = t.varCount; k >= 0; --k, p += 2)
            putU16(p, offsets[static_cast<std::size_t>(k)]);
        putU16(p, static_cast<unsigned>(t.varCount));
        row += tail;
        row += v.mask;
        return row;
    }

    void writeRows(Table &t)
    {
        int current = -1;
        for (const auto &cells : t.rows) {
            const QByteArray row = buildRow(t, cells);
            if (current < 0 || !fits(current, row.size())) {
                current = newDataPage(t.tdefPage);
                t.dataPages.push_back(current);
            }
            putRow(current, row);
        }
    }

    // A type 0 map (start page and bitmap) when the pages lie close together,
    // otherwise a type 1 map pointing to bitmap pages.
    QByteArray usageMap(const std::vector<int> &pages)
    {
        QByteArray map(kUsageMapSize, '\0');
        auto *m = reinterpret_cast<uint8_t *>(map.data());
        if (pages.empty())
            return map;
        const int first = *std::min_element(pages.begin(), pages.end());
        const int last = *std::max_element(pages.begin(), pages.end());
        if (last - first < (kUsageMapSize - 5) * 8) {
            putU32(m + 1, static_cast<uint32_t>(first));
            for (int p : pages)
                m[5 + (p - first) / 8] = static_cast<uint8_t>(m[5 + (p - first) / 8] | 1 << ((p - first) % 8));
            return map;
        }
        m[0] = 1;
        const int perPage = (kPageSize - 4) * 8;
        const int mapPages = last / perPage + 1;
        if (1 + 4 * mapPages > kUsageMapSize)
            fail(QStringLiteral("Таблица занимает слишком много страниц."));
        std::vector<int> bitmapPage(static_cast<std::size_t>(mapPages), 0);
        for (int p : pages) {
            const auto k = static_cast<std::size_t>(p / perPage);
            if (!bitmapPage[k]) {
                bitmapPage[k] = newPage();
                page(bitmapPage[k])[0] = kPageUsageMap;
                page(bitmapPage[k])[1] = 0x01;
                m = reinterpret_cast<uint8_t *>(map.data());
                putU32(m + 1 + 4 * k, static_cast<uint32_t>(bitmapPage[k]));
            }
            const int bit = p % perPage;
            uint8_t *b = page(bitmapPage[k]) + 4;
            b[bit / 8] = static_cast<uint8_t>(b[bit / 8] | 1 << (bit % 8));
        }
        return map;
    }

    void writeUsageMaps(const std::vector<Table> &tables)
    {
        std::vector<QByteArray> maps;
        for (const auto &t : tables) {
            maps.push_back(usageMap(t.dataPages));
            maps.push_back(QByteArray(kUsageMapSize, '\0')); // no page has free space to offer
        }
        states_[1] = PageState{};
        uint8_t *b = page(1);
        b[0] = kPageData;
        b[1] = 0x01;
        for (const auto &m : maps) {
            if (!fits(1, m.size()))
                fail(QStringLiteral("Слишком много таблиц."));
            putRow(1, m);
        }
    }

    void writeTableDefinition(const Table &t)
    {
        QByteArray d(kTdefColumnsStart, '\0');
        auto *h = reinterpret_cast<uint8_t *>(d.data());
        h[0] = kPageTableDefinition;
        h[1] = 0x01;
        putU32(h + 16, static_cast<uint32_t>(t.rows.size()));
        h[40] = t.system ? 0x53 : 0x4E;
        putU16(h + 41, static_cast<unsigned>(t.columns.size()));
        putU16(h + 43, static_cast<unsigned>(t.varCount));
        putU16(h + 45, static_cast<unsigned>(t.columns.size()));
        const auto index = static_cast<uint32_t>(&t - tables_);
        putU32(h + kTdefUsedPages, 1u << 8 | (2 * index));
        putU32(h + kTdefFreePages, 1u << 8 | (2 * index + 1));

        for (const auto &c : t.columns) {
            QByteArray e(kTdefColumnSize, '\0');
            auto *p = reinterpret_cast<uint8_t *>(e.data());
            p[0] = c.type;
            putU16(p + 5, static_cast<unsigned>(c.colNum));
            putU16(p + 7, static_cast<unsigned>(std::max(c.varNum, 0)));
            putU16(p + 9, static_cast<unsigned>(c.colNum));
            if (c.type == kTypeText || c.type == kTypeMemo)
                putU16(p + 11, kGeneralSortOrder);
            p[15] = c.varNum < 0 ? 0x03 : 0x02;
            putU16(p + 21, static_cast<unsigned>(std::max(c.fixedOffset, 0)));
            putU16(p + 23, c.varNum < 0 ? static_cast<unsigned>(c.fixedSize)
                                        : (c.type == kTypeText ? static_cast<unsigned>(kTextColumnBytes) : 0u));
            d += e;
        }
        for (const auto &c : t.columns) {
            const QByteArray name = ucs2(c.name);
            QByteArray len(2, '\0');
            putU16(reinterpret_cast<uint8_t *>(len.data()), static_cast<unsigned>(name.size()));
            d += len;
            d += name;
        }
        d += QByteArray(2, '\xFF'); // end of the long-value column list
        if (d.size() > kPageSize)
            fail(QStringLiteral("Описание таблицы «%1» не помещается на страницу.").arg(t.name));
        h = reinterpret_cast<uint8_t *>(d.data());
        putU16(h + 2, static_cast<unsigned>(kPageSize - d.size()));
        putU32(h + 8, static_cast<uint32_t>(d.size()));
        std::memcpy(page(t.tdefPage), d.constData(), static_cast<std::size_t>(d.size()));
    }

    void writeDatabasePage()
    {
        uint8_t *b = page(0);
        std::memcpy(b, kJetHeader, sizeof kJetHeader);
        uint8_t area[kHeaderAreaSize] = {};
        putU16(area + (kHeaderCodePage - kHeaderArea), 1251);
        putU32(area + (kHeaderDbKey - kHeaderArea), 0);
        putU16(area + (kHeaderSortOrder - kHeaderArea), kGeneralSortOrder);
        rc4(kHeaderKey, sizeof kHeaderKey, area, kHeaderAreaSize);
        std::memcpy(b + kHeaderArea, area, kHeaderAreaSize);
    }

public:
    const Table *tables_ = nullptr;

private:
    QByteArray image_;
    std::map<int, PageState> states_;
    int lval_ = -1;
};

void layOut(Table &t)
{
    int fixed = 0, var = 0, num = 0;
    for (auto &c : t.columns) {
        c.colNum = num++;
        if (c.type == kTypeLong || c.type == kTypeInt) {
            c.fixedSize = c.type == kTypeLong ? 4 : 2;
            c.fixedOffset = fixed;
            fixed += c.fixedSize;
        } else {
            c.varNum = var++;
        }
    }
    t.fixedSize = fixed;
    t.varCount = var;
}

Table catalogue(const std::vector<Table> &user)
{
    Table t;
    t.name = QStringLiteral("MSysObjects");
    t.system = true;
    t.columns = {{QStringLiteral("Id"), kTypeLong},    {QStringLiteral("ParentId"), kTypeLong},
                 {QStringLiteral("Name"), kTypeText},  {QStringLiteral("Type"), kTypeInt},
                 {QStringLiteral("Flags"), kTypeLong}, {QStringLiteral("LvProp"), kTypeOle}};
    layOut(t);
    auto row = [](int id, const QString &name, uint32_t flags) {
        std::vector<Cell> r(6);
        r[0] = {Cell::Kind::Number, id, {}};
        r[1] = {Cell::Kind::Number, 0, {}};
        r[2] = {Cell::Kind::Text, 0, name};
        r[3] = {Cell::Kind::Number, kObjectTable, {}};
        r[4] = {Cell::Kind::Number, static_cast<int64_t>(flags), {}};
        return r;
    };
    t.rows.push_back(row(kCataloguePage, t.name, kSystemTableFlags));
    for (const auto &u : user)
        t.rows.push_back(row(u.tdefPage, u.name, 0));
    return t;
}

} // namespace

QByteArray writeDatabase(const std::vector<TableDefinition> &definitions)
{
    std::vector<Table> tables(1);
    for (std::size_t i = 0; i < definitions.size(); ++i) {
        const TableDefinition &s = definitions[i];
        if (s.columns.empty() || s.columns.size() > 255)
            fail(QStringLiteral("Таблица «%1» должна иметь от 1 до 255 полей.").arg(s.name));
        if (s.name.isEmpty() || s.name.size() > 64)
            fail(QStringLiteral("Недопустимое имя таблицы «%1».").arg(s.name));
        Table t;
        t.name = s.name;
        t.tdefPage = kCataloguePage + 1 + static_cast<int>(i);
        for (const auto &c : s.columns)
            t.columns.push_back({c.name, c.kind == ColumnKind::Memo ? kTypeMemo : kTypeText});
        layOut(t);
        for (const auto &r : s.rows) {
            if (r.size() != s.columns.size())
                fail(QStringLiteral("Строка таблицы «%1» содержит %2 значений вместо %3.")
                         .arg(s.name)
                         .arg(r.size())
                         .arg(s.columns.size()));
            std::vector<Cell> cells;
            cells.reserve(r.size());
            for (const auto &v : r)
                cells.push_back(v ? Cell{Cell::Kind::Text, 0, *v} : Cell{});
            t.rows.push_back(std::move(cells));
        }
        tables.push_back(std::move(t));
    }
    tables[0] = catalogue({tables.begin() + 1, tables.end()});

    Writer w;
    w.tables_ = tables.data();
    return w.run(tables);
}

} // namespace somnex::jet
