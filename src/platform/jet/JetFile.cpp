#include "platform/jet/JetFile.h"

#include "platform/ansi/AnsiCodePage.h"
#include "platform/error/Error.h"
#include "platform/jet/JetFormat.h"

extern "C" {
#include <mdbtools.h>
}

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_set>

namespace somnex::jet {
namespace {

using namespace format;

const QString kSource = QStringLiteral("OpenDatabase");

[[noreturn]] void fail(const QString &what)
{
    throw Error(3343, kSource, what);
}

MdbHandle *asMdb(void *h)
{
    return static_cast<MdbHandle *>(h);
}

// The Windows-1251 byte of every UTF-16 code unit, -1 where there is none.
const std::array<int16_t, 65536> &byteOf()
{
    static const auto table = [] {
        auto t = std::make_unique<std::array<int16_t, 65536>>();
        for (uint32_t c = 0; c < 65536; ++c)
            (*t)[c] = static_cast<int16_t>(ansi::toByte(static_cast<char16_t>(c)));
        return t;
    }();
    return *table;
}

struct TableDefFree {
    void operator()(MdbTableDef *t) const { mdb_free_tabledef(t); }
};

} // namespace

void appendJetText(const uint8_t *p, std::size_t n, QString &out)
{
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        bool compressed = true;
        std::size_t i = 2;
        while (i < n) {
            if (p[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                out.append(QChar(char16_t(p[i])));
                ++i;
            } else if (i + 1 < n) {
                out.append(QChar(char16_t(le16(p + i))));
                i += 2;
            } else {
                break;
            }
        }
        return;
    }
    const std::size_t units = n / 2;
    const qsizetype at = out.size();
    out.resize(at + static_cast<qsizetype>(units));
    char16_t *d = reinterpret_cast<char16_t *>(out.data()) + at;
    for (std::size_t i = 0; i < units; ++i)
        d[i] = char16_t(le16(p + 2 * i));
}

std::optional<QString> TableData::value(qsizetype row, int col) const
{
    const Cell &c = cell(row, col);
    if (c.len == kNull)
        return std::nullopt;
    if (!(c.len & kNarrow))
        return QStringView(wide_).sliced(c.off, c.len).toString();
    return ansi::toUnicode(QByteArrayView(narrow_).sliced(c.off, c.len & ~kNarrow));
}

int TableData::column(QStringView name) const
{
    for (int i = 0; i < columns_.size(); ++i)
        if (QStringView(columns_[i]).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

struct JetFile::Column {
    ColumnInfo info;
    int colNum = 0;
    int varNum = 0;
    int fixedOffset = 0;
    bool fixed = false;
};

struct JetFile::Definition {
    QString name;
    long page = 0;
    uint32_t varCols = 0;
    std::vector<Column> columns;
};

JetFile::JetFile(QByteArray image) : image_(std::move(image))
{
    if (image_.size() > kMaxFileSize)
        fail(QStringLiteral("Файл базы данных больше 2 ГиБ."));
    if (image_.size() % kPageSize != 0)
        fail(QStringLiteral("Длина файла (%1 байт) не кратна размеру страницы (%2 байт): файл обрезан.")
                 .arg(image_.size())
                 .arg(kPageSize));
    if (pageCount() < kCataloguePage + 1)
        fail(QStringLiteral("Файл слишком короток для базы данных."));
    const auto *b = reinterpret_cast<const uint8_t *>(image_.constData());
    if (b[0] != kPageDatabase || !std::equal(std::begin(kJetHeader), std::end(kJetHeader), b))
        fail(QStringLiteral("Файл не является базой данных Jet."));
    if (b[kHeaderVersion] != kVersionJet4)
        fail(QStringLiteral("Неподдерживаемая версия базы данных Jet."));
    checkTableDefinition(kCataloguePage, QStringLiteral("MSysObjects"));

    MdbHandle *mdb = mdb_open_buffer(image_.data(), static_cast<size_t>(image_.size()), MDB_NOFLAGS);
    if (!mdb)
        fail(QStringLiteral("Не удаётся открыть базу данных."));
    handle_ = mdb;
    try {
        readCatalogue();
    } catch (...) {
        // the destructor does not run for an object whose constructor throws
        mdb_close(mdb);
        handle_ = nullptr;
        throw;
    }
}

void JetFile::readCatalogue()
{
    // The catalogue: every row of MSysObjects whose type is 1 is a table.
    // Their property blobs are checked here and never handed to libmdb.
    const Definition def = definition(kCataloguePage, QStringLiteral("MSysObjects"));
    auto find = [&](const char *name) {
        for (std::size_t i = 0; i < def.columns.size(); ++i)
            if (def.columns[i].info.name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return static_cast<int>(i);
        fail(QStringLiteral("Не удаётся прочитать каталог базы данных: нет поля «%1».").arg(QLatin1String(name)));
    };
    const int id = find("Id"), name = find("Name"), type = find("Type"), flags = find("Flags");
    int props = -1;
    for (std::size_t i = 0; i < def.columns.size(); ++i)
        if (def.columns[i].info.name.compare(QLatin1String("LvProp"), Qt::CaseInsensitive) == 0
            && def.columns[i].info.type == kTypeOle)
            props = static_cast<int>(i);
    QByteArray blob;
    forEachRow(def, [&](const uint8_t *page, long, int, const Field *fields) {
        auto num = [&](int c) -> int64_t {
            const Field &f = fields[c];
            if (f.null || f.size < 2)
                return 0;
            const uint8_t *v = page + f.start;
            if (f.size < 4)
                return static_cast<int16_t>(le16(v));
            return static_cast<int32_t>(le32(v));
        };
        if (num(type) != kObjectTable)
            return;
        Entry e;
        const Field &n = fields[name];
        if (!n.null && def.columns[static_cast<std::size_t>(name)].info.type == kTypeText)
            appendJetText(page + n.start, static_cast<std::size_t>(n.size), e.name);
        e.page = static_cast<long>(static_cast<uint32_t>(num(id)) & 0x00FFFFFFu);
        e.flags = static_cast<uint32_t>(num(flags));
        if (props >= 0 && !fields[props].null) {
            blob.clear();
            const QString where = QStringLiteral("свойств таблицы «%1» в каталоге").arg(e.name);
            longValue(page + fields[props].start, fields[props].size, blob, where);
            checkProperties(blob, where);
        }
        catalogue_.push_back(std::move(e));
    });
}

namespace {

[[noreturn]] void badField(const QString &where, const QString &why)
{
    fail(QStringLiteral("Поле %1 повреждено: %2.").arg(where, why));
}

// A record of property names: each a length and the name, within the record.
void checkPropertyNames(const uint8_t *b, std::size_t from, std::size_t to, const QString &where)
{
    for (std::size_t at = from; at < to;) {
        if (at + 2 > to || at + 2 + le16(b + at) > to)
            badField(where, QStringLiteral("имя свойства выходит за запись"));
        at += 2 + le16(b + at);
    }
}

// A record of a property block: its name, then properties of at least 8
// bytes each, within the record.
void checkPropertyBlock(const uint8_t *b, std::size_t from, std::size_t to, const QString &where)
{
    if (from + 6 > to || from + 6 + le16(b + from + 4) > to)
        badField(where, QStringLiteral("имя блока свойств выходит за запись"));
    for (std::size_t at = from + 6 + le16(b + from + 4); at < to;) {
        if (at + 8 > to)
            badField(where, QStringLiteral("свойство обрезано"));
        const std::size_t propLen = le16(b + at);
        if (propLen < 8 || propLen > to - at || 8 + le16(b + at + 6) > propLen)
            badField(where, QStringLiteral("длина свойства %1").arg(propLen));
        at += propLen;
    }
}

} // namespace

// The property blob of a catalogue entry ("MR2" or "KKD", then records of
// names and of property blocks), checked as a whole: libmdb's reader of these
// blobs trusts every length in them and loops on a zero one.
void JetFile::checkProperties(const QByteArray &blob, const QString &where)
{
    if (blob.isEmpty())
        return;
    const auto *b = reinterpret_cast<const uint8_t *>(blob.constData());
    const auto len = static_cast<std::size_t>(blob.size());
    if (len < 4 || (std::memcmp(b, "MR2", 4) != 0 && std::memcmp(b, "KKD", 4) != 0))
        badField(where, QStringLiteral("неизвестный формат свойств"));
    bool names = false;
    for (std::size_t pos = 4; pos < len;) {
        if (pos + 6 > len)
            badField(where, QStringLiteral("запись свойств обрезана"));
        const std::size_t recLen = le32(b + pos);
        const std::size_t recType = le16(b + pos + 4);
        if (recLen < 6 || recLen > len - pos)
            badField(where, QStringLiteral("длина записи свойств %1").arg(recLen));
        const std::size_t from = pos + 6, to = pos + recLen;
        if (recType == 0x80) {
            checkPropertyNames(b, from, to, where);
            names = true;
        } else if (recType <= 0x02) {
            if (!names)
                badField(where, QStringLiteral("свойства без списка имён"));
            checkPropertyBlock(b, from, to, where);
        }
        pos = to;
    }
}

JetFile::~JetFile()
{
    if (handle_)
        mdb_close(asMdb(handle_));
}

const uint8_t *JetFile::pageAt(long page) const
{
    return reinterpret_cast<const uint8_t *>(image_.constData()) + page * kPageSize;
}

uint32_t JetFile::u16(long page, int offset) const
{
    return le16(pageAt(page) + offset);
}

uint32_t JetFile::u32(long page, int offset) const
{
    return le32(pageAt(page) + offset);
}

// Where row r of a page with its row table begins, and where it ends (the
// row before it in the table, the end of the page for the first).
JetFile::RowBounds JetFile::rowBounds(long page, uint32_t r) const
{
    const int at = kDataRowOffsets + 2 * static_cast<int>(r);
    return {u16(page, at) & kRowOffsetMask, r == 0 ? uint32_t(kPageSize) : (u16(page, at - 2) & kRowOffsetMask)};
}

// What libmdb will take from a table definition without checking it.
void JetFile::checkTableDefinition(long page, const QString &table) const
{
    auto bad = [&](const QString &why) {
        fail(QStringLiteral("Описание таблицы «%1» повреждено: %2.").arg(table, why));
    };
    if (page < kCataloguePage || page >= pageCount())
        bad(QStringLiteral("страница %1 вне файла").arg(page));
    if (pageAt(page)[0] != kPageTableDefinition)
        bad(QStringLiteral("страница %1 не является описанием таблицы").arg(page));
    // Deleted columns keep their place in the rows: the variable-column
    // count includes them and is bounded by the maximum column count.
    const uint32_t maxCols = u16(page, kTdefMaxCols);
    const uint32_t cols = u16(page, kTdefNumCols);
    const uint32_t varCols = u16(page, kTdefNumVarCols);
    if (cols == 0 || cols > 255 || cols > maxCols)
        bad(QStringLiteral("число полей %1").arg(cols));
    if (varCols > maxCols)
        bad(QStringLiteral("число полей переменной длины %1 больше наибольшего числа полей %2")
                .arg(varCols)
                .arg(maxCols));
    if (u32(page, kTdefNumIdx) > 255 || u32(page, kTdefNumRealIdx) > 255)
        bad(QStringLiteral("число индексов"));
    dataPages(page, table); // the usage map, and every page it lists inside the file
}

namespace {

[[noreturn]] void badDefinition(const QString &table, const QString &why)
{
    fail(QStringLiteral("Описание таблицы «%1» повреждено: %2.").arg(table, why));
}

} // namespace

// A page a usage map lists, once it is found inside the file; page 0 is
// never visited (libmdb skips it).
void JetFile::addMappedPage(uint64_t listed, std::vector<long> &pages, const QString &table) const
{
    if (listed == 0)
        return; // libmdb never visits page 0
    if (listed >= static_cast<uint64_t>(pageCount()))
        badDefinition(table, QStringLiteral("страница %1 вне файла (файл обрезан?)").arg(listed));
    pages.push_back(static_cast<long>(listed));
}

// A usage map of the first kind: the first page, then a bitmap of the pages
// from it on.
void JetFile::inlineMapPages(const uint8_t *m, uint32_t size, std::vector<long> &pages, const QString &table) const
{
    const uint32_t first = le32(m + 1);
    for (uint32_t i = 0; i < (size - 5) * 8; ++i)
        if (m[5 + i / 8] & (1u << (i % 8)))
            addMappedPage(uint64_t(first) + i, pages, table);
}

// A usage map of the second kind: the numbers of bitmap pages, each one
// covering the next run of pages.
void JetFile::pageMapPages(const uint8_t *m, uint32_t size, std::vector<long> &pages, const QString &table) const
{
    const uint32_t perPage = (kPageSize - 4) * 8;
    for (uint32_t k = 0; k < (size - 1) / 4; ++k) {
        const uint32_t bitmap = le32(m + 1 + 4 * std::size_t(k));
        if (bitmap == 0)
            continue;
        if (bitmap >= static_cast<uint64_t>(pageCount()))
            badDefinition(table, QStringLiteral("страница карты %1 вне файла (файл обрезан?)").arg(bitmap));
        const uint8_t *b = pageAt(static_cast<long>(bitmap));
        if (b[0] != kPageUsageMap)
            badDefinition(table, QStringLiteral("страница %1 не является страницей карты").arg(bitmap));
        for (uint32_t i = 0; i < perPage; ++i)
            if (b[4 + i / 8] & (1u << (i % 8)))
                addMappedPage(uint64_t(k) * perPage + i, pages, table);
    }
}

// The pages a table's usage map lists, in ascending order, as libmdb would
// visit them.
std::vector<long> JetFile::dataPages(long page, const QString &table) const
{
    const uint32_t mapRow = u32(page, kTdefUsedPages);
    const long mapPage = static_cast<long>(mapRow >> 8);
    const uint32_t row = mapRow & 0xFF;
    if (mapPage >= pageCount())
        badDefinition(table, QStringLiteral("карта страниц вне файла"));
    const uint32_t rows = u16(mapPage, kDataRowCount);
    if (row >= rows || kDataRowOffsets + 2 * (row + 1) > kPageSize)
        badDefinition(table, QStringLiteral("нет строки карты страниц"));
    const auto [start, end] = rowBounds(mapPage, row);
    if (start >= kPageSize || end > kPageSize || end < start + 5)
        badDefinition(table, QStringLiteral("карта страниц короче 5 байт"));

    std::vector<long> pages;
    const uint8_t *m = pageAt(mapPage) + start;
    if (m[0] == 0)
        inlineMapPages(m, end - start, pages, table);
    else if (m[0] == 1)
        pageMapPages(m, end - start, pages, table);
    else
        badDefinition(table, QStringLiteral("неизвестный вид карты страниц %1").arg(m[0]));
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    return pages;
}

// The columns of a table definition, read by libmdb once the definition has
// been checked, and checked in turn against the row layout.
JetFile::Definition JetFile::definition(long page, const QString &name)
{
    checkTableDefinition(page, name);
    MdbCatalogEntry entry;
    std::memset(&entry, 0, sizeof entry);
    entry.mdb = asMdb(handle_);
    entry.object_type = MDB_TABLE;
    entry.table_pg = static_cast<unsigned long>(page);
    std::snprintf(entry.object_name, sizeof entry.object_name, "%s", name.toUtf8().constData());
    std::unique_ptr<MdbTableDef, TableDefFree> table(mdb_read_table(&entry));
    if (!table)
        fail(QStringLiteral("Не удаётся прочитать описание таблицы «%1».").arg(name));
    if (!mdb_read_columns(table.get()) || table->columns->len != table->num_cols)
        fail(QStringLiteral("Не удаётся прочитать поля таблицы «%1».").arg(name));
    Definition def;
    def.name = name;
    def.page = page;
    def.varCols = u16(page, kTdefNumVarCols);
    const uint32_t maxCols = u16(page, kTdefMaxCols);
    for (guint i = 0; i < table->num_cols; ++i) {
        const auto *c = static_cast<const MdbColumn *>(g_ptr_array_index(table->columns, i));
        Column col;
        col.info.name = QString::fromUtf8(c->name);
        col.info.type = static_cast<uint8_t>(c->col_type);
        col.info.size = c->col_size;
        col.info.scale = static_cast<uint8_t>(c->col_scale);
        col.info.precision = static_cast<uint8_t>(c->col_prec);
        col.colNum = c->col_num;
        col.varNum = static_cast<int>(c->var_col_num);
        col.fixedOffset = c->fixed_offset;
        col.fixed = c->is_fixed;
        auto bad = [&](const QString &why) {
            fail(QStringLiteral("Описание поля «%1» таблицы «%2» повреждено: %3.").arg(col.info.name, name, why));
        };
        if (static_cast<uint32_t>(col.colNum) >= maxCols)
            bad(QStringLiteral("номер поля %1").arg(col.colNum));
        if (col.fixed && col.fixedOffset + col.info.size > kPageSize)
            bad(QStringLiteral("место в строке"));
        if (!col.fixed && static_cast<uint32_t>(col.varNum) >= def.varCols)
            bad(QStringLiteral("номер среди полей переменной длины %1").arg(col.varNum));
        def.columns.push_back(col);
    }
    return def;
}

// Where a row lies on its page and how it is laid out: its column count,
// the count of variable-length columns it holds, the end of its data (the
// variable data ends before the offsets) and its null mask.
struct JetFile::RowLayout {
    long page = 0;
    uint32_t number = 0;
    uint32_t start = 0, len = 0;
    uint32_t cols = 0, varCols = 0;
    uint32_t dataEnd = 0;
    const uint8_t *nulls = nullptr;
};

void JetFile::forEachRow(const Definition &def,
                         const std::function<void(const uint8_t *, long, int, const Field *)> &f) const
{
    std::vector<Field> fields(def.columns.size());
    std::vector<uint32_t> offsets;
    for (const long pageNo : dataPages(def.page, def.name)) {
        const uint32_t rows = dataPageRows(def, pageNo);
        for (uint32_t r = 0; r < rows; ++r) {
            const uint32_t raw = u16(pageNo, kDataRowOffsets + 2 * static_cast<int>(r));
            if (raw & kRowForward)
                continue; // deleted (0xC000) or a pointer to the row's new place (0x4000)
            const RowLayout row = rowLayout(def, pageNo, r, rows, offsets);
            rowFields(def, row, offsets, fields);
            f(pageAt(pageNo), pageNo, static_cast<int>(r), fields.data());
        }
    }
}

// The row count of a page in the table's usage map, once the page has been
// found to be a data page of the table whose row table fits.
uint32_t JetFile::dataPageRows(const Definition &def, long pageNo) const
{
    const uint8_t *pg = pageAt(pageNo);
    if (pg[0] != kPageData || u32(pageNo, 4) != static_cast<uint32_t>(def.page))
        fail(QStringLiteral("Страница %1 из карты таблицы «%2» не является страницей данных этой таблицы.")
                 .arg(pageNo)
                 .arg(def.name));
    const uint32_t rows = u16(pageNo, kDataRowCount);
    if (kDataRowOffsets + 2 * rows > kPageSize)
        fail(QStringLiteral("Страница %1 таблицы «%2» повреждена.").arg(pageNo).arg(def.name));
    return rows;
}

void JetFile::badRow(const Definition &def, long pageNo, uint32_t r)
{
    fail(QStringLiteral("Строка %1 страницы %2 таблицы «%3» повреждена.").arg(r).arg(pageNo).arg(def.name));
}

// The layout of row r of a data page with rows rows; the offsets of its
// variable-length columns go to offsets.
JetFile::RowLayout JetFile::rowLayout(const Definition &def, long pageNo, uint32_t r, uint32_t rows,
                                      std::vector<uint32_t> &offsets) const
{
    const uint32_t table = kDataRowOffsets + 2 * rows;
    RowLayout row;
    row.page = pageNo;
    row.number = r;
    const RowBounds bounds = rowBounds(pageNo, r);
    row.start = bounds.start;
    const uint32_t end = bounds.end;
    if (row.start < table || end > kPageSize || end <= row.start)
        badRow(def, pageNo, r);
    row.len = end - row.start;
    const uint8_t *p = pageAt(pageNo) + row.start;
    row.cols = le16(p);
    const uint32_t mask = (row.cols + 7) / 8;
    uint32_t trailer = 2 + mask; // the column count at the start, the null mask at the end
    if (trailer > row.len)
        badRow(def, pageNo, r);
    if (def.varCols > 0) {
        trailer += 2;
        if (trailer > row.len)
            badRow(def, pageNo, r);
        row.varCols = le16(p + row.len - mask - 2);
        trailer += 2 * (row.varCols + 1);
        if (row.varCols > row.cols || trailer > row.len)
            badRow(def, pageNo, r);
        offsets.resize(row.varCols + 1);
        for (uint32_t i = 0; i <= row.varCols; ++i)
            offsets[i] = le16(p + (row.len - mask - 4 - 2 * i));
    }
    row.dataEnd = row.len - (trailer - 2);
    row.nulls = p + row.len - mask;
    return row;
}

// Where each column's value lies in a row, and whether it is Null.
void JetFile::rowFields(const Definition &def, const RowLayout &row, const std::vector<uint32_t> &offsets,
                        std::vector<Field> &fields) const
{
    uint32_t fixedFound = 0;
    const uint32_t rowFixed = row.cols - row.varCols;
    for (std::size_t c = 0; c < def.columns.size(); ++c) {
        const Column &col = def.columns[c];
        Field &out = fields[c];
        const auto num = static_cast<uint32_t>(col.colNum);
        out.null = num >= row.cols || !(row.nulls[num / 8] & (1u << (num % 8)));
        out.start = 0;
        out.size = 0;
        if (col.fixed && fixedFound < rowFixed) {
            ++fixedFound;
            const uint32_t s = 2 + static_cast<uint32_t>(col.fixedOffset);
            const auto size = static_cast<uint32_t>(col.info.size);
            if (s + size > row.dataEnd)
                badRow(def, row.page, row.number);
            out.start = static_cast<int>(row.start + s);
            out.size = static_cast<int>(size);
        } else if (!col.fixed && static_cast<uint32_t>(col.varNum) < row.varCols) {
            const uint32_t s = offsets[static_cast<std::size_t>(col.varNum)];
            const uint32_t e = offsets[static_cast<std::size_t>(col.varNum) + 1];
            if (s < 2 || e < s || e > row.dataEnd)
                badRow(def, row.page, row.number);
            out.start = static_cast<int>(row.start + s);
            out.size = static_cast<int>(e - s);
        } else if (col.info.type != MDB_BOOL) {
            out.null = true;
        }
    }
}

QStringList JetFile::tableNames() const
{
    QStringList names;
    for (const Entry &e : catalogue_)
        if (!(e.flags & kSystemTableFlags))
            names << e.name;
    return names;
}

const JetFile::Entry &JetFile::entry(const QString &name) const
{
    for (const Entry &e : catalogue_)
        if (e.name.compare(name, Qt::CaseInsensitive) == 0)
            return e;
    throw Error(3011, kSource, QStringLiteral("В базе данных нет таблицы «%1».").arg(name));
}

// A row of a long-value page, from its reference (page << 8 | row).
const uint8_t *JetFile::longValueRow(uint32_t ref, uint32_t &rowLen, const QString &where) const
{
    const long page = static_cast<long>(ref >> 8);
    const uint32_t row = ref & 0xFF;
    if (page <= 0 || page >= pageCount())
        badField(where, QStringLiteral("страница %1 вне файла").arg(page));
    const uint8_t *pg = pageAt(page);
    if (pg[0] != kPageData || std::memcmp(pg + 4, "LVAL", 4) != 0)
        badField(where, QStringLiteral("страница %1 не является страницей длинных значений").arg(page));
    const uint32_t rows = u16(page, kDataRowCount);
    const uint32_t table = kDataRowOffsets + 2 * rows;
    if (row >= rows || table > kPageSize)
        badField(where, QStringLiteral("нет строки %1 на странице %2").arg(row).arg(page));
    const auto [start, end] = rowBounds(page, row);
    if (start < table || end > kPageSize || end < start)
        badField(where, QStringLiteral("строка %1 страницы %2 повреждена").arg(row).arg(page));
    rowLen = end - start;
    return pg + start;
}

// A long value in a chain of pieces, each row: 4 bytes pointing to the next,
// then data; the pieces together are exactly len bytes.
void JetFile::longValueChain(uint32_t first, uint32_t len, QByteArray &out, const QString &where) const
{
    const qsizetype at = out.size();
    out.reserve(at + static_cast<qsizetype>(len));
    std::unordered_set<uint32_t> seen;
    uint32_t rowLen = 0;
    for (uint32_t next = first; next != 0;) {
        if (!seen.insert(next).second)
            badField(where, QStringLiteral("цепочка страниц замкнута"));
        const uint8_t *r = longValueRow(next, rowLen, where);
        if (rowLen < 4)
            badField(where, QStringLiteral("часть длинного значения короче 4 байт"));
        const qsizetype piece = static_cast<qsizetype>(rowLen) - 4;
        if (out.size() - at + piece > static_cast<qsizetype>(len))
            badField(where, QStringLiteral("части длиннее значения"));
        out.append(reinterpret_cast<const char *>(r + 4), piece);
        next = le32(r);
    }
    if (out.size() - at != static_cast<qsizetype>(len))
        badField(where, QStringLiteral("части короче значения"));
}

void JetFile::longValue(const uint8_t *field, int size, QByteArray &out, const QString &where) const
{
    if (size < kMemoHeader)
        badField(where, QStringLiteral("нет заголовка"));
    const uint32_t head = le32(field);
    const uint32_t len = head & kMemoLengthMask;
    const uint32_t pgRow = le32(field + 4);
    if (head & kMemoInline) {
        if (len > static_cast<uint32_t>(size - kMemoHeader))
            badField(where, QStringLiteral("длина больше поля"));
        out.append(reinterpret_cast<const char *>(field + kMemoHeader), static_cast<qsizetype>(len));
        return;
    }
    if (len > static_cast<uint64_t>(image_.size()))
        badField(where, QStringLiteral("длина больше файла"));
    if (head & kMemoSinglePage) {
        uint32_t rowLen = 0;
        const uint8_t *r = longValueRow(pgRow, rowLen, where);
        if (len > rowLen)
            badField(where, QStringLiteral("длина больше строки страницы длинных значений"));
        out.append(reinterpret_cast<const char *>(r), static_cast<qsizetype>(len));
        return;
    }
    if (head & 0xC0000000u)
        badField(where, QStringLiteral("неизвестный вид длинного значения"));
    longValueChain(pgRow, len, out, where);
}

void JetFile::readMemo(const uint8_t *field, int size, QString &out, const QString &where) const
{
    // in the row: decoded in place
    if (size >= kMemoHeader && (field[3] & 0x80)) {
        const uint32_t len = le32(field) & kMemoLengthMask;
        if (len <= static_cast<uint32_t>(size - kMemoHeader)) {
            appendJetText(field + kMemoHeader, len, out);
            return;
        }
    }
    thread_local QByteArray bytes;
    bytes.clear();
    longValue(field, size, bytes, where);
    appendJetText(reinterpret_cast<const uint8_t *>(bytes.constData()), static_cast<std::size_t>(bytes.size()), out);
}

std::vector<ColumnInfo> JetFile::columns(const QString &name)
{
    const Definition def = definition(entry(name).page, name);
    std::vector<ColumnInfo> out;
    for (const Column &c : def.columns)
        out.push_back(c.info);
    return out;
}

void JetFile::scan(const QString &name, const std::function<void(const std::vector<RawField> &)> &row)
{
    const Definition def = definition(entry(name).page, name);
    std::vector<RawField> values(def.columns.size());
    forEachRow(def, [&](const uint8_t *page, long, int, const Field *fields) {
        for (std::size_t c = 0; c < def.columns.size(); ++c) {
            const Column &col = def.columns[c];
            const Field &f = fields[c];
            RawField &v = values[c];
            v.bytes.clear();
            if (col.info.type == MDB_BOOL) {
                v.null = false;
                v.bytes.append(f.null ? '\0' : '\1');
                continue;
            }
            v.null = f.null;
            if (f.null)
                continue;
            if (col.info.type == MDB_MEMO || col.info.type == MDB_OLE)
                longValue(page + f.start, f.size, v.bytes,
                          QStringLiteral("«%1» таблицы «%2»").arg(col.info.name, name));
            else
                v.bytes.append(reinterpret_cast<const char *>(page + f.start), f.size);
        }
        row(values);
    });
}

// The value of a cell, held in the table's UTF-16 text, or, when narrow is
// allowed and every character has a Windows-1251 byte, in its bytes.
TableData::Cell TableData::hold(const QString &text, bool narrow)
{
    const auto &bytes = byteOf();
    for (qsizetype k = 0; narrow && k < text.size(); ++k)
        narrow = bytes[text[k].unicode()] >= 0;
    if (!narrow) {
        const qsizetype at = wide_.size();
        wide_ += text;
        return {static_cast<uint32_t>(at), static_cast<uint32_t>(text.size())};
    }
    const qsizetype at = narrow_.size();
    narrow_.resize(at + text.size());
    char *d = narrow_.data() + at;
    for (qsizetype k = 0; k < text.size(); ++k)
        d[k] = static_cast<char>(bytes[text[k].unicode()]);
    return {static_cast<uint32_t>(at), static_cast<uint32_t>(text.size()) | kNarrow};
}

// An empty table with the columns of a definition.
TableData JetFile::emptyTable(const Definition &def)
{
    TableData data;
    data.name_ = def.name;
    for (const Column &c : def.columns) {
        data.columns_ << c.info.name;
        data.textual_.push_back(c.info.type == MDB_TEXT || c.info.type == MDB_MEMO);
    }
    return data;
}

// The memo columns the reader lets be held as bytes where they can be.
std::vector<bool> JetFile::narrowable(const Definition &def, const NarrowColumns &narrow)
{
    std::vector<bool> out;
    for (const Column &c : def.columns)
        out.push_back(c.info.type == MDB_MEMO && narrow && narrow(c.info.name));
    return out;
}

// Reads the text of one field into the table; Null for a Null field and for
// columns that are not text.
void JetFile::readCell(const Definition &def, std::size_t c, const uint8_t *page, const Field &f, bool narrow,
                       TableData &data, QString &scratch) const
{
    TableData::Cell cell{0, TableData::kNull};
    if (!f.null && data.textual_[c]) {
        const Column &col = def.columns[c];
        scratch.clear();
        if (col.info.type == MDB_MEMO)
            readMemo(page + f.start, f.size, scratch, QStringLiteral("«%1» таблицы «%2»").arg(col.info.name, def.name));
        else
            appendJetText(page + f.start, static_cast<std::size_t>(f.size), scratch);
        cell = data.hold(scratch, narrow);
        if (data.wide_.size() > qsizetype(INT32_MAX) || data.narrow_.size() > qsizetype(INT32_MAX))
            fail(QStringLiteral("Таблица «%1» слишком велика.").arg(def.name));
    }
    data.cells_.push_back(cell);
}

TableData JetFile::readTable(const QString &name, const NarrowColumns &narrowColumns, std::vector<RowPlace> *places)
{
    const Definition def = definition(entry(name).page, name);
    TableData data = emptyTable(def);
    const std::vector<bool> narrow = narrowable(def, narrowColumns);
    QString scratch;
    forEachRow(def, [&](const uint8_t *page, long pageNo, int r, const Field *fields) {
        for (std::size_t c = 0; c < def.columns.size(); ++c)
            readCell(def, c, page, fields[c], narrow[c], data, scratch);
        ++data.rows_;
        if (places)
            places->push_back({static_cast<uint32_t>(pageNo), static_cast<uint16_t>(r)});
    });
    data.wide_.squeeze();
    data.narrow_.squeeze();
    data.cells_.shrink_to_fit();
    return data;
}

TableData JetFile::readRows(const QString &name, const std::vector<RowPlace> &places,
                            const NarrowColumns &narrowColumns)
{
    const Definition def = definition(entry(name).page, name);
    TableData data = emptyTable(def);
    const std::vector<bool> narrow = narrowable(def, narrowColumns);
    std::vector<Field> fields(def.columns.size());
    std::vector<uint32_t> offsets;
    QString scratch;
    for (const RowPlace &at : places) {
        const long pageNo = static_cast<long>(at.page);
        if (pageNo <= kCataloguePage || pageNo >= pageCount())
            badRow(def, pageNo, at.row);
        const uint32_t rows = dataPageRows(def, pageNo);
        if (at.row >= rows || (u16(pageNo, kDataRowOffsets + 2 * at.row) & kRowForward))
            badRow(def, pageNo, at.row);
        const RowLayout row = rowLayout(def, pageNo, at.row, rows, offsets);
        rowFields(def, row, offsets, fields);
        for (std::size_t c = 0; c < def.columns.size(); ++c)
            readCell(def, c, pageAt(pageNo), fields[c], narrow[c], data, scratch);
        ++data.rows_;
    }
    return data;
}

} // namespace somnex::jet
