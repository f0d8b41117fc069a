#include "dictionary/BookDatabase.h"

#include "dictionary/BookSchema.h"
#include "platform/error/Error.h"
#include "platform/jet/BookSignature.h"
#include "platform/jet/JetFile.h"

#include <QFile>

#include <algorithm>
#include <map>
#include <mutex>
#include <numeric>

namespace somnex::dictionary {
namespace {

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

struct TableState {
    jet::TableData data;
    int listColumn = -1;
    mutable std::once_flag sorted;
    mutable std::vector<uint32_t> listOrder;

    const std::vector<uint32_t> &order() const
    {
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
};

// ---- Recordset ----

void Recordset::setIndex(const QString &name)
{
    if (name.compare(kListIndex, Qt::CaseInsensitive) != 0 || table_->listColumn < 0)
        throw Error(3800, QStringLiteral("Index"),
                    QStringLiteral("«%1» не является индексом таблицы «%2».").arg(name, table_->data.name()));
    index_ = kListIndex;
    order_ = &table_->order();
    MoveFirst();
}

qsizetype Recordset::RecordCount() const
{
    return table_->data.rowCount();
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
    return table_->data.column(name);
}

int Recordset::FieldCount() const
{
    return static_cast<int>(table_->data.columns().size());
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
    requireColumn(*table_, column);
    requireCurrent();
    const qsizetype r = recordAt(order_, pos_);
    if (!table_->data.isWide(r, column))
        throw Error(
            3265, QStringLiteral("Fields"),
            QStringLiteral("Поле «%1» хранится байтами; его значение даёт Field.").arg(table_->data.columns()[column]));
    return table_->data.view(r, column);
}

std::optional<QString> Recordset::Field(int column) const
{
    requireColumn(*table_, column);
    requireCurrent();
    return table_->data.value(recordAt(order_, pos_), column);
}

bool Recordset::fieldIsNull(int column) const
{
    requireColumn(*table_, column);
    requireCurrent();
    return table_->data.isNull(recordAt(order_, pos_), column);
}

std::optional<QString> Recordset::Field(const QString &name) const
{
    const int col = fieldIndex(name);
    if (col < 0)
        throw Error(3265, QStringLiteral("Fields"),
                    QStringLiteral("В таблице «%1» нет поля «%2».").arg(table_->data.name(), name));
    requireCurrent();
    return table_->data.value(recordAt(order_, pos_), col);
}

void Recordset::Seek(const QString &comparison, const QString &word)
{
    if (!order_)
        throw Error(3251, QStringLiteral("Seek"), QStringLiteral("Для поиска не задан индекс."));
    if (comparison != QLatin1String("="))
        throw Error(3251, QStringLiteral("Seek"),
                    QStringLiteral("Сравнение «%1» в поиске не поддерживается.").arg(comparison));
    const auto &order = *order_;
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
    if (table_->listColumn < 0 || i < 0 || i >= RecordCount())
        return {};
    return table_->data.view(recordAt(order_, i), table_->listColumn);
}

// ---- Database ----

Recordset Database::OpenRecordset(const QString &table) const
{
    const auto it = d_->tables.find(table.toLower());
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
    QStringList names;
    for (const auto &t : d_->tables)
        names << t.first;
    return names;
}

std::size_t Database::bytesHeld() const
{
    std::size_t n = 0;
    for (const auto &t : d_->tables)
        n += t.second->data.bytesHeld() + t.second->listOrder.capacity() * sizeof(uint32_t);
    return n;
}

// ---- DBEngine ----

DBEngine &DBEngine::instance()
{
    static DBEngine engine;
    return engine;
}

Database DBEngine::OpenDatabase(const QString &path) const
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
    return OpenDatabaseImage(std::move(image), path);
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
            // the headword column is held as UTF-16, other memo columns as
            // bytes where they can be
            state->data = db.readTable(t, [](const QString &column) {
                return column.compare(kListColumn, Qt::CaseInsensitive) != 0;
            });
            state->listColumn = state->data.column(kListColumn);
            if (state->listColumn >= 0 && !state->data.isText(state->listColumn))
                state->listColumn = -1;
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

} // namespace somnex::dictionary
