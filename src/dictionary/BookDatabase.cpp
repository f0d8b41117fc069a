#include "dictionary/BookDatabase.h"

#include "dictionary/BookSchema.h"
#include "platform/error/Error.h"
#include "platform/jet/BookSignature.h"
#include "platform/jet/JetFile.h"

#include <QFile>

#include <atomic>
#include <functional>

#include <algorithm>
#include <map>
#include <mutex>
#include <numeric>

namespace somnex::dictionary {
namespace {

// The headword column is held as UTF-16, other memo columns as bytes where
// they can be.
bool headwordsWide(const QString &column)
{
    return column.compare(kListColumn, Qt::CaseInsensitive) != 0;
}

struct Folded {
    char16_t primary;
    uint8_t secondary; // 1 for ё
    uint8_t tertiary;  // 1 for upper case
};

inline Folded fold(char16_t c)
{
    if (c >= 0x0430 && c <= 0x044F)
        return {c, 0, 0};
    if (c >= 0x0410 && c <= 0x042F)
        return {char16_t(c + 0x20), 0, 1};
    if (c == 0x0451)
        return {0x0435, 1, 0};
    if (c == 0x0401)
        return {0x0435, 1, 1};
    if (c < 0x80) {
        if (c >= 'A' && c <= 'Z')
            return {char16_t(c + 0x20), 0, 1};
        return {c, 0, 0};
    }
    const char16_t lower = QChar::toCaseFolded(c);
    return {lower, 0, uint8_t(lower != c)};
}

// Levels 1 and 2 only.
int compareFolded(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t pa = fold(a[i].unicode()).primary, pb = fold(b[i].unicode()).primary;
        if (pa != pb)
            return pa < pb ? -1 : 1;
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    for (qsizetype i = 0; i < n; ++i) {
        const uint8_t sa = fold(a[i].unicode()).secondary, sb = fold(b[i].unicode()).secondary;
        if (sa != sb)
            return sa < sb ? -1 : 1;
    }
    return 0;
}

QByteArray readBookFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Error(3044, QStringLiteral("OpenDatabase"),
                    QStringLiteral("Не удаётся открыть файл «%1»: %2").arg(path, f.errorString()));
    if (f.size() > (qint64(1) << 31))
        throw Error(3044, QStringLiteral("OpenDatabase"), QStringLiteral("Файл «%1» больше 2 ГиБ.").arg(path));
    QByteArray image = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw Error(3044, QStringLiteral("OpenDatabase"),
                    QStringLiteral("Не удаётся прочитать файл «%1»: %2").arg(path, f.errorString()));
    return image;
}

} // namespace

int compareHeadwords(QStringView a, QStringView b)
{
    if (const int c = compareFolded(a, b))
        return c;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const uint8_t ta = fold(a[i].unicode()).tertiary, tb = fold(b[i].unicode()).tertiary;
        if (ta != tb)
            return ta < tb ? -1 : 1;
    }
    const int raw = a.compare(b);
    return raw < 0 ? -1 : raw > 0 ? 1 : 0;
}

bool sameHeadword(QStringView a, QStringView b)
{
    return compareFolded(a, b) == 0;
}

// A book opened without reading it: the file is read, all tables at once,
// when a table of it is first used (on whichever thread that is).
struct LazyBook {
    QString path;
    std::function<bool(const QByteArray &)> unchanged;
    std::once_flag once;
    std::mutex taking;
    std::map<QString, std::pair<jet::TableData, std::vector<jet::RowPlace>>> read; // key: lower-case name
    std::atomic<bool> done{false};
    std::atomic<bool> stale{false};

    void load()
    {
        std::call_once(once, [this] {
            try {
                QByteArray image = readBookFile(path);
                if (unchanged && !unchanged(image))
                    stale = true; // the file is no longer what its word list was made from
                jet::restoreJetHeader(image);
                jet::JetFile db(std::move(image));
                // where the rows lie is known from the cache already
                for (const QString &t : db.tableNames())
                    read.emplace(t.toLower(),
                                 std::make_pair(db.readTable(t, headwordsWide), std::vector<jet::RowPlace>()));
            } catch (...) {
                // the book reads as empty; its words leave the list when it is rebuilt
                stale = true;
                read.clear();
                traceIgnored(std::current_exception());
            }
            done = true;
        });
    }
};

struct TableState {
    mutable jet::TableData data;
    mutable int listColumn = -1;
    mutable std::vector<jet::RowPlace> places; // where each row lies, in storage order
    // Set for a table of a book not read yet: filled from it on first use.
    std::shared_ptr<LazyBook> lazy;
    QString key;
    mutable std::once_flag filled;
    mutable std::once_flag sorted;
    mutable std::vector<uint32_t> listOrder;

    void setListColumn() const
    {
        listColumn = data.column(kListColumn);
        // the headword column is held as UTF-16 (memo columns other than
        // "List" may be held as bytes)
        if (listColumn >= 0 && !data.isText(listColumn))
            listColumn = -1;
    }
    const TableState &ready() const
    {
        if (lazy)
            std::call_once(filled, [this] {
                lazy->load();
                const std::lock_guard<std::mutex> lock(lazy->taking);
                const auto it = lazy->read.find(key);
                if (it != lazy->read.end()) {
                    data = std::move(it->second.first);
                    places = std::move(it->second.second);
                    lazy->read.erase(it);
                }
                setListColumn();
                if (listColumn < 0) { // opened for its index: without one it has no records
                    data = jet::TableData();
                    places.clear();
                    lazy->stale = true;
                }
            });
        return *this;
    }
    bool isRead() const { return !lazy || lazy->done; }
    const std::vector<uint32_t> &order() const
    {
        ready();
        std::call_once(sorted, [this] {
            listOrder.resize(static_cast<std::size_t>(data.rowCount()));
            std::iota(listOrder.begin(), listOrder.end(), 0u);
            std::stable_sort(listOrder.begin(), listOrder.end(), [this](uint32_t x, uint32_t y) {
                return compareHeadwords(data.view(x, listColumn), data.view(y, listColumn)) < 0;
            });
        });
        return listOrder;
    }
};

struct DatabaseData {
    QString name;
    std::map<QString, std::shared_ptr<const TableState>> tables; // key: lower-case name
    std::shared_ptr<LazyBook> lazy;                              // set while the book is read on use
};

// ---- Recordset ----

const std::vector<uint32_t> *Recordset::order() const
{
    return indexed_ ? &table_->order() : nullptr;
}

void Recordset::setIndex(const QString &name)
{
    // a table not read yet is checked for its index when it is read
    if (name.compare(kListIndex, Qt::CaseInsensitive) != 0 || (table_->isRead() && table_->ready().listColumn < 0))
        throw Error(3800, QStringLiteral("Index"),
                    QStringLiteral("«%1» не является индексом таблицы «%2».").arg(name, table_->ready().data.name()));
    index_ = kListIndex;
    indexed_ = true;
    MoveFirst();
}

qsizetype Recordset::RecordCount() const
{
    return table_->ready().data.rowCount();
}

void Recordset::MoveFirst()
{
    pos_ = 0;
}

void Recordset::setAbsolutePosition(qsizetype i)
{
    pos_ = std::clamp<qsizetype>(i, 0, RecordCount());
}

void Recordset::MoveNext()
{
    if (Eof())
        throw Error(3021, QStringLiteral("MoveNext"), QStringLiteral("Нет текущей записи."));
    ++pos_;
}

bool Recordset::Eof() const
{
    return pos_ >= RecordCount();
}

void Recordset::requireCurrent() const
{
    if (Eof())
        throw Error(3021, QStringLiteral("Fields"), QStringLiteral("Нет текущей записи."));
}

int Recordset::fieldIndex(const QString &name) const
{
    return table_->ready().data.column(name);
}

int Recordset::FieldCount() const
{
    return static_cast<int>(table_->ready().data.columns().size());
}

static void requireColumn(const TableState &t, int column)
{
    if (column < 0 || column >= t.data.columns().size())
        throw Error(3265, QStringLiteral("Fields"),
                    QStringLiteral("В таблице «%1» нет поля номер %2.").arg(t.data.name()).arg(column));
}

static qsizetype recordAt(const std::vector<uint32_t> *order, qsizetype i)
{
    return order ? qsizetype((*order)[static_cast<std::size_t>(i)]) : i;
}

QStringView Recordset::fieldView(int column) const
{
    const TableState &t = table_->ready();
    requireColumn(t, column);
    requireCurrent();
    const qsizetype r = recordAt(order(), pos_);
    if (!t.data.isWide(r, column))
        throw Error(
            3265, QStringLiteral("Fields"),
            QStringLiteral("Поле «%1» хранится байтами; его значение даёт Field.").arg(t.data.columns()[column]));
    return t.data.view(r, column);
}

std::optional<QString> Recordset::Field(int column) const
{
    const TableState &t = table_->ready();
    requireColumn(t, column);
    requireCurrent();
    return t.data.value(recordAt(order(), pos_), column);
}

bool Recordset::fieldIsNull(int column) const
{
    const TableState &t = table_->ready();
    requireColumn(t, column);
    requireCurrent();
    return t.data.isNull(recordAt(order(), pos_), column);
}

std::optional<QString> Recordset::Field(const QString &name) const
{
    const TableState &t = table_->ready();
    const int col = fieldIndex(name);
    if (col < 0)
        throw Error(3265, QStringLiteral("Fields"),
                    QStringLiteral("В таблице «%1» нет поля «%2».").arg(t.data.name(), name));
    requireCurrent();
    return t.data.value(recordAt(order(), pos_), col);
}

void Recordset::Seek(const QString &comparison, const QString &word)
{
    if (!indexed_)
        throw Error(3251, QStringLiteral("Seek"), QStringLiteral("Для поиска не задан индекс."));
    if (comparison != QLatin1String("="))
        throw Error(3251, QStringLiteral("Seek"),
                    QStringLiteral("Сравнение «%1» в поиске не поддерживается.").arg(comparison));
    const auto &order = table_->order();
    const int col = table_->listColumn;
    const auto &data = table_->data;
    auto first = std::lower_bound(order.begin(), order.end(), word, [&](uint32_t r, const QString &w) {
        return compareFolded(data.view(r, col), w) < 0;
    });
    auto hit = order.end();
    for (auto it = first; it != order.end() && compareFolded(data.view(*it, col), word) == 0; ++it) {
        if (hit == order.end())
            hit = it;
        if (data.view(*it, col) == word) {
            hit = it;
            break;
        }
    }
    noMatch_ = hit == order.end();
    pos_ = noMatch_ ? RecordCount() : (hit - order.begin());
}

QStringView Recordset::headword(qsizetype i) const
{
    const TableState &t = table_->ready();
    if (t.listColumn < 0 || i < 0 || i >= RecordCount())
        return {};
    return t.data.view(recordAt(order(), i), t.listColumn);
}

std::optional<std::pair<uint32_t, uint16_t>> Recordset::place(qsizetype i) const
{
    const TableState &t = table_->ready();
    if (i < 0 || i >= RecordCount())
        return std::nullopt;
    const auto r = static_cast<std::size_t>(recordAt(order(), i));
    if (r >= t.places.size())
        return std::nullopt;
    return std::make_pair(t.places[r].page, t.places[r].row);
}

// ---- Database ----

Recordset Database::OpenRecordset(const QString &table) const
{
    auto it = d_->tables.find(table.toLower());
    if (it == d_->tables.end() && d_->lazy) {
        // a table the book was not opened for: read the book now
        d_->lazy->load();
        const std::lock_guard<std::mutex> lock(d_->lazy->taking);
        const auto read = d_->lazy->read.find(table.toLower());
        if (read != d_->lazy->read.end()) {
            auto state = std::make_shared<TableState>();
            state->data = std::move(read->second.first);
            state->places = std::move(read->second.second);
            state->setListColumn();
            d_->lazy->read.erase(read);
            it = d_->tables.emplace(table.toLower(), std::move(state)).first;
        }
    }
    if (it == d_->tables.end())
        throw Error(3078, QStringLiteral("OpenRecordset"),
                    QStringLiteral("В базе данных «%1» нет таблицы «%2».").arg(d_->name, table));
    Recordset rs;
    rs.table_ = it->second;
    return rs;
}

const QString &Database::Name() const
{
    return d_->name;
}

QStringList Database::TableNames() const
{
    if (d_->lazy) {
        d_->lazy->load();
        const std::lock_guard<std::mutex> lock(d_->lazy->taking);
        for (auto &t : d_->lazy->read)
            if (!d_->tables.count(t.first)) {
                auto state = std::make_shared<TableState>();
                state->data = std::move(t.second.first);
                state->places = std::move(t.second.second);
                state->setListColumn();
                d_->tables.emplace(t.first, std::move(state));
            }
        d_->lazy->read.clear();
    }
    QStringList names;
    for (const auto &t : d_->tables)
        names << t.first;
    return names;
}

std::size_t Database::bytesHeld() const
{
    std::size_t n = 0;
    for (const auto &t : d_->tables)
        if (t.second->isRead())
            n += t.second->ready().data.bytesHeld() + t.second->listOrder.capacity() * sizeof(uint32_t);
    return n;
}

bool Database::isRead() const
{
    return !d_->lazy || d_->lazy->done;
}

bool Database::stale() const
{
    return d_->lazy && d_->lazy->done && d_->lazy->stale;
}

void Database::releasePlaces()
{
    for (const auto &t : d_->tables)
        if (t.second->isRead()) {
            t.second->places.clear();
            t.second->places.shrink_to_fit();
        }
}

// ---- DBEngine ----

DBEngine &DBEngine::instance()
{
    static DBEngine engine;
    return engine;
}

Database DBEngine::OpenDatabase(const QString &path) const
{
    return OpenDatabaseImage(readBookFile(path), path);
}

Database DBEngine::OpenDatabaseImage(QByteArray image, const QString &name) const
{
    try {
        if (image.size() < jet::kSignatureLength)
            throw Error(3343, QStringLiteral("OpenDatabase"), QStringLiteral("Файл короче 22 байт."));
        jet::restoreJetHeader(image);
        auto data = std::make_shared<DatabaseData>();
        data->name = name;
        jet::JetFile db(std::move(image));
        for (const QString &t : db.tableNames()) {
            auto state = std::make_shared<TableState>();
            state->data = db.readTable(t, headwordsWide, &state->places);
            state->setListColumn();
            data->tables.emplace(t.toLower(), std::move(state));
        }
        Database result;
        result.d_ = std::move(data);
        return result;
    } catch (const Error &e) {
        throw Error(e.number(), QStringLiteral("OpenDatabase"),
                    QStringLiteral("Не удаётся открыть базу данных «%1»: %2").arg(name, e.description()));
    }
}

Database DBEngine::OpenDatabaseOnUse(const QString &path, const QString &table,
                                     std::function<bool(const QByteArray &)> unchanged) const
{
    auto lazy = std::make_shared<LazyBook>();
    lazy->path = path;
    lazy->unchanged = std::move(unchanged);
    auto state = std::make_shared<TableState>();
    state->lazy = lazy;
    state->key = table.toLower();
    auto data = std::make_shared<DatabaseData>();
    data->name = path;
    data->lazy = lazy;
    data->tables.emplace(state->key, std::move(state));
    Database result;
    result.d_ = std::move(data);
    return result;
}

std::optional<Database> DBEngine::OpenDatabaseRows(const QString &path, const QString &table,
                                                   const std::vector<std::pair<uint32_t, uint16_t>> &rows,
                                                   const std::function<bool(const QByteArray &)> &unchanged) const
{
    if (rows.empty()) { // no record: nothing to read
        auto data = std::make_shared<DatabaseData>();
        data->name = path;
        data->tables.emplace(table.toLower(), std::make_shared<TableState>());
        Database result;
        result.d_ = std::move(data);
        return result;
    }
    try {
        QByteArray image = readBookFile(path);
        if (unchanged && !unchanged(image))
            return std::nullopt;
        if (image.size() < jet::kSignatureLength)
            throw Error(3343, QStringLiteral("OpenDatabase"), QStringLiteral("Файл короче 22 байт."));
        jet::restoreJetHeader(image);
        jet::JetFile db(std::move(image));
        std::vector<jet::RowPlace> places;
        places.reserve(rows.size());
        for (const auto &r : rows)
            places.push_back({r.first, r.second});
        auto state = std::make_shared<TableState>();
        state->data = db.readRows(table, places, headwordsWide);
        state->places = std::move(places);
        state->setListColumn();
        auto data = std::make_shared<DatabaseData>();
        data->name = path;
        data->tables.emplace(table.toLower(), std::move(state));
        Database result;
        result.d_ = std::move(data);
        return result;
    } catch (const Error &e) {
        throw Error(e.number(), QStringLiteral("OpenDatabase"),
                    QStringLiteral("Не удаётся открыть базу данных «%1»: %2").arg(path, e.description()));
    }
}

} // namespace somnex::dictionary
