#include "diary/store/EntryColumns.h"

#include "diary/Sqlite.h"
#include "diary/TextCodec.h"

#include <QList>
#include <QStringList>

#include <span>

namespace somnex::diary::store {

// ---- values ----------------------------------------------------------------

namespace {

constexpr const char *kLocalFormat = "yyyy-MM-ddTHH:mm:ss";

int digits(QStringView s, qsizetype from, qsizetype count, bool &ok)
{
    int v = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = s[i].unicode();
        if (c < u'0' || c > u'9') {
            ok = false;
            return 0;
        }
        v = v * 10 + (c - u'0');
    }
    return v;
}

// "yyyy-MM-dd" at the start of s; quicker than QDateTime's parser, which
// matters for the list.
QDate parseDate(QStringView s, bool &ok)
{
    ok = s.size() >= 10;
    if (!ok)
        return {};
    const QDate d(digits(s, 0, 4, ok), digits(s, 5, 2, ok), digits(s, 8, 2, ok));
    ok = ok && d.isValid();
    return d;
}

} // namespace

QString localText(const QDateTime &at)
{
    return at.toString(QLatin1String(kLocalFormat));
}

QDateTime parseLocal(QStringView s, int offset)
{
    bool ok = s.size() == 19;
    if (!ok)
        return {};
    const QDate d = parseDate(s, ok);
    const QTime t(digits(s, 11, 2, ok), digits(s, 14, 2, ok), digits(s, 17, 2, ok));
    if (!ok || !t.isValid())
        return {};
    return QDateTime(d, t, Qt::OffsetFromUTC, offset);
}

QDate dateOfText(QStringView s)
{
    bool ok = false;
    const QDate d = parseDate(s, ok);
    return ok ? d : QDate();
}

QDateTime fromMs(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

QString kindsText(const QList<DreamKind> &kinds)
{
    QStringList codes;
    for (DreamKind k : kAllKinds)
        if (kinds.contains(k))
            codes << kindCode(k);
    return codes.join(QLatin1Char(' '));
}

QList<DreamKind> kindsOf(QStringView text)
{
    QList<DreamKind> kinds;
    for (QStringView code : text.split(u' ', Qt::SkipEmptyParts))
        if (const auto k = kindFromCode(code))
            kinds << *k;
    return kinds;
}

QString originCode(Symbol::Origin o)
{
    switch (o) {
    case Symbol::Origin::AddedByHand: return QStringLiteral("added");
    case Symbol::Origin::RemovedByHand: return QStringLiteral("removed");
    case Symbol::Origin::Found: break;
    }
    return QStringLiteral("found");
}

Symbol::Origin originOf(QStringView code)
{
    if (code == u"added")
        return Symbol::Origin::AddedByHand;
    if (code == u"removed")
        return Symbol::Origin::RemovedByHand;
    return Symbol::Origin::Found;
}

// ---- the table ---------------------------------------------------------------

namespace {

// The parameters of one field: its columns are first, first + 1, ...
struct Binder {
    sql::Statement &s;
    int first;
    const TextCodec &codec;
    const QString &entry;
    std::span<const char *const> columns;

    void text(int i, const QString &v) const { s.bind(first + i, v); }
    void sealed(int i, const QString &v) const
    {
        s.bind(first + i, codec.seal(v, {entry, QLatin1StringView(columns[size_t(i)])}));
    }
    void integer(int i, qint64 v) const { s.bind(first + i, v); }
    void real(int i, double v) const { s.bind(first + i, v); }
    void null(int i) const { s.bindNull(first + i); }
    void optional(int i, const std::optional<int> &v) const { s.bindOptional(first + i, v); }
};

// The columns of one field in a row of selectColumns().
struct Reader {
    const sql::Statement &s;
    int first;
    const TextCodec &codec;
    const QString &entry; // read before any sealed field: the id comes first
    std::span<const char *const> columns;

    QString text(int i) const { return s.text(first + i); }
    QString opened(int i) const
    {
        return codec.open(s.text(first + i), {entry, QLatin1StringView(columns[size_t(i)])});
    }
    qint64 integer(int i) const { return s.integer(first + i); }
    double real(int i) const { return s.real(first + i); }
    bool isNull(int i) const { return s.isNull(first + i); }
    std::optional<int> optional(int i) const
    {
        return isNull(i) ? std::nullopt : std::optional<int>(static_cast<int>(integer(i)));
    }
};

struct Field {
    Table table;
    std::span<const char *const> columns;
    void (*bind)(const Binder &b, const StoredEntry &r);
    void (*read)(const Reader &r, StoredEntry &row);
};

template <size_t N>
using Names = const char *const[N];

constexpr Names<1> kId{"id"}, kCreated{"created"}, kUpdated{"updated"}, kZone{"zone"}, kNight{"night"}, kTitle{"title"},
    kDisplayTitle{"display_title"}, kLucid{"lucid"}, kClarity{"clarity"}, kMood{"mood"}, kKinds{"kinds"},
    kMarkNote{"mark_note"}, kDeleted{"deleted_at"}, kText{"text"};
constexpr Names<3> kAt{"at_local", "at_offset", "at_utc"};
constexpr Names<3> kPlace{"place_name", "place_lat", "place_lon"};
constexpr Names<2> kMark{"mark", "marked_on"};
constexpr Names<5> kLunar{"lunar_found", "lunar_day", "lunar_start", "lunar_end", "phase_picture"};
constexpr Names<3> kLunarTexts{"lunar_text", "weekday_text", "month_day_text"};

void bindPlace(const Binder &b, const StoredEntry &r)
{
    const std::optional<Place> &p = r.entry.place;
    if (!p) {
        b.null(0);
        b.null(1);
        b.null(2);
        return;
    }
    b.sealed(0, p->name);
    b.real(1, p->latitude);
    b.real(2, p->longitude);
}

void bindLunar(const Binder &b, const StoredEntry &r)
{
    const LunarSnapshot &l = r.entry.lunar;
    b.integer(0, qint64(l.found));
    b.integer(1, qint64(l.lunarDay));
    if (l.found) {
        b.text(2, localText(l.start));
        b.text(3, localText(l.end));
    } else {
        b.null(2);
        b.null(3);
    }
    b.integer(4, qint64(l.phasePicture));
}

void readLunar(const Reader &r, StoredEntry &row)
{
    LunarSnapshot &l = row.entry.lunar;
    l.found = r.integer(0) != 0;
    l.lunarDay = static_cast<int>(r.integer(1));
    const int offset = row.entry.at.isValid() ? row.entry.at.offsetFromUtc() : 0;
    l.start = parseLocal(r.text(2), offset);
    l.end = parseLocal(r.text(3), offset);
    l.phasePicture = static_cast<int>(r.integer(4));
}

// Every field, entry's table first; the order of the SELECT list.
const std::span<const Field> fields()
{
    static const Field all[] = {
        {Table::Entry, kId, [](const Binder &b, const StoredEntry &r) { b.text(0, r.entry.id); },
         [](const Reader &r, StoredEntry &row) { row.entry.id = r.text(0); }},
        {Table::Entry, kCreated, [](const Binder &b, const StoredEntry &r) { b.integer(0, r.created); },
         [](const Reader &r, StoredEntry &row) {
             row.created = r.integer(0);
             row.entry.created = fromMs(row.created);
         }},
        {Table::Entry, kUpdated, [](const Binder &b, const StoredEntry &r) { b.integer(0, r.updated); },
         [](const Reader &r, StoredEntry &row) {
             row.updated = r.integer(0);
             row.entry.updated = fromMs(row.updated);
         }},
        {Table::Entry, kAt,
         [](const Binder &b, const StoredEntry &r) {
             b.text(0, localText(r.entry.at));
             b.integer(1, r.entry.at.offsetFromUtc());
             b.integer(2, r.entry.at.toSecsSinceEpoch());
         },
         [](const Reader &r, StoredEntry &row) {
             row.entry.at = parseLocal(r.text(0), static_cast<int>(r.integer(1)));
         }},
        {Table::Entry, kZone, [](const Binder &b, const StoredEntry &r) { b.text(0, r.entry.zone); },
         [](const Reader &r, StoredEntry &row) { row.entry.zone = r.text(0); }},
        {Table::Entry, kNight,
         [](const Binder &b, const StoredEntry &r) { b.text(0, r.entry.night.toString(Qt::ISODate)); },
         [](const Reader &r, StoredEntry &row) { row.entry.night = dateOfText(r.text(0)); }},
        {Table::Entry, kTitle, [](const Binder &b, const StoredEntry &r) { b.sealed(0, r.entry.title); },
         [](const Reader &r, StoredEntry &row) { row.entry.title = r.opened(0); }},
        // What the list shows; read by the list alone.
        {Table::Entry, kDisplayTitle,
         [](const Binder &b, const StoredEntry &r) { b.sealed(0, r.entry.displayTitle()); },
         [](const Reader &, StoredEntry &) {}},
        {Table::Entry, kLucid, [](const Binder &b, const StoredEntry &r) { b.integer(0, qint64(r.entry.lucid)); },
         [](const Reader &r, StoredEntry &row) { row.entry.lucid = r.integer(0) != 0; }},
        {Table::Entry, kClarity, [](const Binder &b, const StoredEntry &r) { b.optional(0, r.entry.clarity); },
         [](const Reader &r, StoredEntry &row) { row.entry.clarity = r.optional(0); }},
        {Table::Entry, kMood, [](const Binder &b, const StoredEntry &r) { b.optional(0, r.entry.mood); },
         [](const Reader &r, StoredEntry &row) { row.entry.mood = r.optional(0); }},
        {Table::Entry, kKinds, [](const Binder &b, const StoredEntry &r) { b.text(0, kindsText(r.entry.kinds)); },
         [](const Reader &r, StoredEntry &row) { row.entry.kinds = kindsOf(r.text(0)); }},
        {Table::Entry, kPlace, bindPlace,
         [](const Reader &r, StoredEntry &row) {
             if (!r.isNull(1))
                 row.entry.place = Place{r.opened(0), r.real(1), r.real(2)};
         }},
        {Table::Entry, kMark,
         [](const Binder &b, const StoredEntry &r) {
             b.text(0, markCode(r.entry.fulfilment.mark));
             if (r.entry.fulfilment.markedOn.isValid())
                 b.text(1, r.entry.fulfilment.markedOn.toString(Qt::ISODate));
             else
                 b.null(1);
         },
         [](const Reader &r, StoredEntry &row) {
             row.entry.fulfilment.mark = markFromCode(r.text(0)).value_or(Mark::None);
             row.entry.fulfilment.markedOn = dateOfText(r.text(1));
         }},
        {Table::Entry, kMarkNote, [](const Binder &b, const StoredEntry &r) { b.sealed(0, r.entry.fulfilment.note); },
         [](const Reader &r, StoredEntry &row) { row.entry.fulfilment.note = r.opened(0); }},
        {Table::Entry, kLunar, bindLunar, readLunar},
        {Table::Entry, kDeleted,
         [](const Binder &b, const StoredEntry &r) {
             if (r.deleted)
                 b.integer(0, *r.deleted);
             else
                 b.null(0);
         },
         [](const Reader &r, StoredEntry &row) {
             if (!r.isNull(0)) {
                 row.deleted = r.integer(0);
                 row.entry.deletedAt = fromMs(*row.deleted);
             }
         }},
        {Table::Body, kText, [](const Binder &b, const StoredEntry &r) { b.sealed(0, r.entry.text); },
         [](const Reader &r, StoredEntry &row) { row.entry.text = r.opened(0); }},
        {Table::Body, kLunarTexts,
         [](const Binder &b, const StoredEntry &r) {
             const LunarSnapshot &l = r.entry.lunar;
             b.text(0, l.lunarDayText);
             b.text(1, l.weekdayText);
             b.text(2, l.monthDayText);
         },
         [](const Reader &r, StoredEntry &row) {
             LunarSnapshot &l = row.entry.lunar;
             l.lunarDayText = r.text(0);
             l.weekdayText = r.text(1);
             l.monthDayText = r.text(2);
         }},
    };
    return all;
}

const char *tableName(Table t)
{
    return t == Table::Entry ? "entry" : "body";
}

// The first parameter of a table's columns: the body's row number comes first.
int firstParameter(Table t)
{
    return t == Table::Entry ? 1 : 2;
}

struct Statements {
    QByteArray select;
    int rowColumn = 0;
    QByteArray insert[2];
    QByteArray update[2];
};

// The INSERT and the UPDATE of one table, numbered as bindColumns binds.
void buildWrites(Table t, Statements &out)
{
    QList<QByteArray> names, values, sets;
    int p = firstParameter(t);
    if (t == Table::Body) {
        names << "n";
        values << "?1";
    }
    for (const Field &f : fields()) {
        if (f.table != t)
            continue;
        for (const char *c : f.columns) {
            const QByteArray param = "?" + QByteArray::number(p++);
            names << c;
            values << param;
            if (QByteArrayView(c) != "id")
                sets << QByteArray(c) + " = " + param;
        }
    }
    const auto i = static_cast<size_t>(t);
    out.insert[i] =
        "INSERT INTO " + QByteArray(tableName(t)) + " (" + names.join(", ") + ") VALUES (" + values.join(", ") + ")";
    out.update[i] = "UPDATE " + QByteArray(tableName(t)) + " SET " + sets.join(", ")
                    + (t == Table::Entry ? " WHERE id = ?1" : " WHERE n = ?1");
}

const Statements &statements()
{
    static const Statements s = [] {
        Statements out;
        QList<QByteArray> selected;
        for (const Field &f : fields())
            for (const char *c : f.columns)
                selected << (f.table == Table::Entry ? "e." : "b.") + QByteArray(c);
        out.rowColumn = static_cast<int>(selected.size());
        selected << "e.n";
        out.select = selected.join(", ");
        buildWrites(Table::Entry, out);
        buildWrites(Table::Body, out);
        return out;
    }();
    return s;
}

} // namespace

const char *selectColumns()
{
    return statements().select.constData();
}

const char *joinedTables()
{
    return " FROM entry e JOIN body b ON b.n = e.n";
}

int columnOfRow()
{
    return statements().rowColumn;
}

const char *insertStatement(Table table)
{
    return statements().insert[static_cast<size_t>(table)].constData();
}

const char *updateStatement(Table table)
{
    return statements().update[static_cast<size_t>(table)].constData();
}

void bindColumns(sql::Statement &s, Table table, const StoredEntry &row, const TextCodec &codec)
{
    int p = firstParameter(table);
    for (const Field &f : fields()) {
        if (f.table != table)
            continue;
        f.bind(Binder{s, p, codec, row.entry.id, f.columns}, row);
        p += static_cast<int>(f.columns.size());
    }
}

StoredEntry readColumns(const sql::Statement &s, const TextCodec &codec)
{
    StoredEntry row;
    int column = 0;
    for (const Field &f : fields()) {
        f.read(Reader{s, column, codec, row.entry.id, f.columns}, row);
        column += static_cast<int>(f.columns.size());
    }
    return row;
}

} // namespace somnex::diary::store
