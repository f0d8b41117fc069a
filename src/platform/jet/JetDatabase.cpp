#include "platform/jet/JetDatabase.h"

#include "platform/ansi/AnsiCodePage.h"
#include "platform/error/Error.h"
#include "platform/jet/JetFormat.h"

extern "C" {
#include <mdbtools.h>
}

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace somnex::jet {
namespace {

using namespace format;

const QString kSource = QStringLiteral("OpenDatabase");

[[noreturn]] void fail(const QString &what) { throw Error(3343, kSource, what); }

MdbHandle *asMdb(void *h) { return static_cast<MdbHandle *>(h); }

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
                out.append(QChar(char16_t(p[i] | p[i + 1] << 8)));
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
        d[i] = char16_t(p[2 * i] | p[2 * i + 1] << 8);
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

Database::Database(QByteArray image) : image_(std::move(image))
{
    if (image_.size() > kMaxFileSize)
        fail(QStringLiteral("Файл базы данных больше 2 ГиБ."));
    // Whole pages only: a truncated last page reads as zeros.
    const qsizetype whole = (image_.size() + kPageSize - 1) / kPageSize * kPageSize;
    image_.append(QByteArray(whole - image_.size(), '\0'));
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
    if (!mdb_read_catalog(mdb, MDB_TABLE) || !mdb->catalog) {
        mdb_close(mdb);
        handle_ = nullptr;
        fail(QStringLiteral("Не удаётся прочитать каталог базы данных."));
    }
}

Database::~Database()
{
    if (handle_)
        mdb_close(asMdb(handle_));
}

uint32_t Database::u16(long page, int offset) const
{
    const auto *b = reinterpret_cast<const uint8_t *>(image_.constData()) + page * kPageSize + offset;
    return b[0] | uint32_t(b[1]) << 8;
}

uint32_t Database::u32(long page, int offset) const
{
    return u16(page, offset) | u16(page, offset + 2) << 16;
}

// What libmdb will take from a table definition without checking it.
void Database::checkTableDefinition(long page, const QString &table) const
{
    auto bad = [&](const QString &why) {
        fail(QStringLiteral("Описание таблицы «%1» повреждено: %2.").arg(table, why));
    };
    if (page < kCataloguePage || page >= pageCount())
        bad(QStringLiteral("страница %1 вне файла").arg(page));
    if (reinterpret_cast<const uint8_t *>(image_.constData())[page * kPageSize] != kPageTableDefinition)
        bad(QStringLiteral("страница %1 не является описанием таблицы").arg(page));
    const uint32_t cols = u16(page, kTdefNumCols);
    const uint32_t varCols = u16(page, kTdefNumCols - 2);
    if (cols == 0 || cols > 255 || varCols > cols)
        bad(QStringLiteral("число полей %1").arg(cols));
    if (u32(page, kTdefNumIdx) > 255 || u32(page, kTdefNumRealIdx) > 255)
        bad(QStringLiteral("число индексов"));
    // The usage map: libmdb reads its first byte without looking at its size.
    const uint32_t mapRow = u32(page, kTdefUsedPages);
    const long mapPage = static_cast<long>(mapRow >> 8);
    const uint32_t row = mapRow & 0xFF;
    if (mapPage >= pageCount())
        bad(QStringLiteral("карта страниц вне файла"));
    const uint32_t rows = u16(mapPage, kDataRowCount);
    if (row >= rows || kDataRowOffsets + 2 * (row + 1) > kPageSize)
        bad(QStringLiteral("нет строки карты страниц"));
    const uint32_t start = u16(mapPage, kDataRowOffsets + 2 * static_cast<int>(row)) & kRowOffsetMask;
    const uint32_t end =
        row == 0 ? kPageSize : (u16(mapPage, kDataRowOffsets + 2 * static_cast<int>(row) - 2) & kRowOffsetMask);
    if (start >= kPageSize || end > kPageSize || end < start + 5)
        bad(QStringLiteral("карта страниц короче 5 байт"));

    // Every page the map lists must lie inside the file: libmdb stops at the
    // first one it cannot read and would report a truncated table as whole.
    const auto *m = reinterpret_cast<const uint8_t *>(image_.constData()) + mapPage * kPageSize + start;
    const uint32_t size = end - start;
    auto mapped = [&](uint64_t listed) {
        if (listed >= static_cast<uint64_t>(pageCount()))
            bad(QStringLiteral("страница %1 вне файла (файл обрезан?)").arg(listed));
    };
    if (m[0] == 0) {
        const uint32_t first = m[1] | uint32_t(m[2]) << 8 | uint32_t(m[3]) << 16 | uint32_t(m[4]) << 24;
        for (uint32_t i = 0; i < (size - 5) * 8; ++i)
            if (m[5 + i / 8] & (1u << (i % 8)))
                mapped(uint64_t(first) + i);
    } else if (m[0] == 1) {
        const uint32_t perPage = (kPageSize - 4) * 8;
        for (uint32_t k = 0; k < (size - 1) / 4; ++k) {
            const uint32_t bitmap = m[1 + 4 * k] | uint32_t(m[2 + 4 * k]) << 8 | uint32_t(m[3 + 4 * k]) << 16 |
                                    uint32_t(m[4 + 4 * k]) << 24;
            if (bitmap == 0)
                continue;
            mapped(bitmap);
            const auto *b = reinterpret_cast<const uint8_t *>(image_.constData()) + long(bitmap) * kPageSize + 4;
            for (uint32_t i = 0; i < perPage; ++i)
                if (b[i / 8] & (1u << (i % 8)))
                    mapped(uint64_t(k) * perPage + i);
        }
    }
}

QStringList Database::tableNames() const
{
    MdbHandle *mdb_ = asMdb(handle_);
    QStringList names;
    for (guint i = 0; i < mdb_->catalog->len; ++i) {
        const auto *e = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb_->catalog, i));
        if (e && mdb_is_user_table(const_cast<MdbCatalogEntry *>(e)))
            names << QString::fromUtf8(e->object_name);
    }
    return names;
}

void Database::readMemo(const uint8_t *field, int size, QString &out, const QString &where)
{
    MdbHandle *mdb_ = asMdb(handle_);
    auto bad = [&](const QString &why) { fail(QStringLiteral("Поле %1 повреждено: %2.").arg(where, why)); };
    if (size < kMemoHeader)
        bad(QStringLiteral("нет заголовка"));
    const uint32_t head = field[0] | uint32_t(field[1]) << 8 | uint32_t(field[2]) << 16 | uint32_t(field[3]) << 24;
    const uint32_t len = head & kMemoLengthMask;
    const auto pgRow = static_cast<int>(field[4] | uint32_t(field[5]) << 8 | uint32_t(field[6]) << 16 |
                                        uint32_t(field[7]) << 24);
    if (head & kMemoInline) {
        if (len > static_cast<uint32_t>(size - kMemoHeader))
            bad(QStringLiteral("длина больше поля"));
        appendJetText(field + kMemoHeader, len, out);
        return;
    }
    if (len > static_cast<uint64_t>(image_.size()))
        bad(QStringLiteral("длина больше файла"));
    void *buf = nullptr;
    int off = 0;
    size_t rowLen = 0;
    if (head & kMemoSinglePage) {
        if (mdb_find_pg_row(mdb_, pgRow, &buf, &off, &rowLen) != 0 || len > rowLen)
            bad(QStringLiteral("нет страницы длинного значения"));
        appendJetText(static_cast<const uint8_t *>(buf) + off, len, out);
        return;
    }
    if (head & 0xC0000000u)
        bad(QStringLiteral("неизвестный вид длинного значения"));
    // A chain of pieces, each row: 4 bytes pointing to the next, then data.
    QByteArray data;
    data.reserve(static_cast<qsizetype>(len));
    int next = pgRow;
    for (long hops = 0; next != 0; ++hops) {
        if (hops > pageCount())
            bad(QStringLiteral("цепочка страниц замкнута"));
        if (mdb_find_pg_row(mdb_, next, &buf, &off, &rowLen) != 0 || rowLen < 4)
            bad(QStringLiteral("нет страницы длинного значения"));
        const auto *r = static_cast<const uint8_t *>(buf) + off;
        const qsizetype piece = static_cast<qsizetype>(rowLen) - 4;
        if (data.size() + piece > static_cast<qsizetype>(len))
            bad(QStringLiteral("части длиннее значения"));
        data.append(reinterpret_cast<const char *>(r + 4), piece);
        next = static_cast<int>(r[0] | uint32_t(r[1]) << 8 | uint32_t(r[2]) << 16 | uint32_t(r[3]) << 24);
    }
    if (data.size() != static_cast<qsizetype>(len))
        bad(QStringLiteral("части короче значения"));
    appendJetText(reinterpret_cast<const uint8_t *>(data.constData()), static_cast<std::size_t>(data.size()), out);
}

TableData Database::readTable(const QString &name)
{
    MdbHandle *mdb_ = asMdb(handle_);
    MdbCatalogEntry *entry = nullptr;
    for (guint i = 0; i < mdb_->catalog->len && !entry; ++i) {
        auto *e = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb_->catalog, i));
        if (e && e->object_type == MDB_TABLE &&
            QString::fromUtf8(e->object_name).compare(name, Qt::CaseInsensitive) == 0)
            entry = e;
    }
    if (!entry)
        throw Error(3011, kSource, QStringLiteral("В базе данных нет таблицы «%1».").arg(name));
    checkTableDefinition(static_cast<long>(entry->table_pg), name);

    std::unique_ptr<MdbTableDef, TableDefFree> table(mdb_read_table(entry));
    if (!table)
        fail(QStringLiteral("Не удаётся прочитать описание таблицы «%1».").arg(name));
    if (!mdb_read_columns(table.get()) || table->columns->len != table->num_cols)
        fail(QStringLiteral("Не удаётся прочитать поля таблицы «%1».").arg(name));

    TableData data;
    data.name_ = name;
    const int ncols = static_cast<int>(table->num_cols);
    std::vector<MdbColumn *> cols;
    for (int i = 0; i < ncols; ++i) {
        auto *c = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, static_cast<guint>(i)));
        cols.push_back(c);
        data.columns_ << QString::fromUtf8(c->name);
        data.textual_.push_back(c->col_type == MDB_TEXT || c->col_type == MDB_MEMO);
    }

    // Memo columns other than the headword are held as bytes where they can be.
    std::vector<bool> narrowable;
    for (int i = 0; i < ncols; ++i)
        narrowable.push_back(data.columns_[i].compare(QLatin1String("List"), Qt::CaseInsensitive) != 0);
    const auto &bytes = byteOf();
    QString scratch;

    std::vector<MdbField> fields(static_cast<std::size_t>(ncols));
    const unsigned char *pg = mdb_->pg_buf;
    mdb_rewind_table(table.get());
    while (mdb_read_next_dpg(table.get())) {
        const uint32_t rows = pg[kDataRowCount] | uint32_t(pg[kDataRowCount + 1]) << 8;
        if (kDataRowOffsets + 2 * rows > kPageSize)
            fail(QStringLiteral("Страница %1 таблицы «%2» повреждена.").arg(table->cur_phys_pg).arg(name));
        for (uint32_t r = 0; r < rows; ++r) {
            const unsigned raw = pg[kDataRowOffsets + 2 * r] | unsigned(pg[kDataRowOffsets + 2 * r + 1]) << 8;
            if (raw & (kRowDeleted | kRowOverflow))
                continue;
            int start = 0;
            size_t len = 0;
            if (mdb_find_row(mdb_, static_cast<int>(r), &start, &len) != 0 || len == 0)
                fail(QStringLiteral("Строка %1 страницы %2 таблицы «%3» повреждена.")
                         .arg(r)
                         .arg(table->cur_phys_pg)
                         .arg(name));
            start &= static_cast<int>(kRowOffsetMask);
            if (mdb_crack_row(table.get(), start, len, fields.data()) < 0)
                fail(QStringLiteral("Строка %1 страницы %2 таблицы «%3» повреждена.")
                         .arg(r)
                         .arg(table->cur_phys_pg)
                         .arg(name));
            for (int c = 0; c < ncols; ++c) {
                const MdbField &f = fields[static_cast<std::size_t>(c)];
                TableData::Cell cell{0, TableData::kNull};
                if (!f.is_null && data.textual_[static_cast<std::size_t>(c)]) {
                    if (f.siz < 0 || f.start < start || static_cast<size_t>(f.start - start) + size_t(f.siz) > len)
                        fail(QStringLiteral("Поле «%1» таблицы «%2» выходит за пределы строки.")
                                 .arg(data.columns_[c], name));
                    const bool memo = cols[static_cast<std::size_t>(c)]->col_type == MDB_MEMO;
                    scratch.clear();
                    if (memo)
                        readMemo(pg + f.start, f.siz, scratch,
                                 QStringLiteral("«%1» таблицы «%2»").arg(data.columns_[c], name));
                    else
                        appendJetText(pg + f.start, static_cast<std::size_t>(f.siz), scratch);
                    bool narrow = memo && narrowable[static_cast<std::size_t>(c)];
                    for (qsizetype k = 0; narrow && k < scratch.size(); ++k)
                        narrow = bytes[scratch[k].unicode()] >= 0;
                    if (narrow) {
                        const qsizetype at = data.narrow_.size();
                        data.narrow_.resize(at + scratch.size());
                        char *d = data.narrow_.data() + at;
                        for (qsizetype k = 0; k < scratch.size(); ++k)
                            d[k] = static_cast<char>(bytes[scratch[k].unicode()]);
                        cell = {static_cast<uint32_t>(at), static_cast<uint32_t>(scratch.size()) | TableData::kNarrow};
                    } else {
                        const qsizetype at = data.wide_.size();
                        data.wide_ += scratch;
                        cell = {static_cast<uint32_t>(at), static_cast<uint32_t>(scratch.size())};
                    }
                    if (data.wide_.size() > qsizetype(INT32_MAX) || data.narrow_.size() > qsizetype(INT32_MAX))
                        fail(QStringLiteral("Таблица «%1» слишком велика.").arg(name));
                }
                data.cells_.push_back(cell);
            }
            ++data.rows_;
        }
    }
    data.wide_.squeeze();
    data.narrow_.squeeze();
    data.cells_.shrink_to_fit();
    return data;
}

} // namespace somnex::jet
