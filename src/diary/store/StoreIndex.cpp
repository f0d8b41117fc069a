#include "diary/store/StoreIndex.h"

#include "diary/TextCodec.h"
#include "diary/TextWords.h"
#include "diary/store/EntryColumns.h"
#include "diary/store/StoreConnection.h"
#include "dictionary/WordFinder.h"

#include <QSet>

namespace somnex::diary::store {

void writeTagsAndSymbols(StoreConnection &c, const TextCodec &codec, qint64 n, const Entry &e)
{
    sql::Statement &clearTags = c.cached("DELETE FROM tag WHERE n = ?1");
    c.must(clearTags.bind(1, n).step());
    sql::Statement &tag = c.cached("INSERT INTO tag (n, position, text, folded, kind) VALUES (?1, ?2, ?3, ?4, ?5)");
    for (qsizetype i = 0; i < e.tags.size(); ++i) {
        const Tag &t = e.tags[i];
        tag.bind(1, n)
            .bind(2, qint64(i))
            .bind(3, codec.seal(t.text, {e.id, QLatin1StringView("tag")}))
            .bind(4, codec.token(dictionary::foldWord(t.text)))
            .bind(5, tagKindCode(t.kind));
        c.must(tag.step());
        tag.reset();
    }
    sql::Statement &clearSymbols = c.cached("DELETE FROM symbol WHERE n = ?1");
    c.must(clearSymbols.bind(1, n).step());
    sql::Statement &sym = c.cached("INSERT OR IGNORE INTO symbol (n, position, headword, folded, origin) "
                                   "VALUES (?1, ?2, ?3, ?4, ?5)");
    for (qsizetype i = 0; i < e.symbols.size(); ++i) {
        const Symbol &s = e.symbols[i];
        const QString headword = s.headword.trimmed();
        if (headword.isEmpty())
            continue;
        sym.bind(1, n)
            .bind(2, qint64(i))
            .bind(3, codec.seal(headword, {e.id, QLatin1StringView("symbol")}))
            .bind(4, codec.token(dictionary::foldWord(headword)))
            .bind(5, originCode(s.origin));
        c.must(sym.step());
        sym.reset();
    }
}

void writeWords(StoreConnection &c, const TextCodec &codec, dictionary::Stemmer &stemmer, qint64 n, const Entry &e)
{
    sql::Statement &clear = c.cached("DELETE FROM word WHERE n = ?1");
    c.must(clear.bind(1, n).step());
    QSet<QString> stems = stemsOf(e.title, stemmer);
    stems.unite(stemsOf(e.text, stemmer));
    sql::Statement &find = c.cached("SELECT s FROM stem WHERE text = ?1");
    sql::Statement &addStem = c.cached("INSERT INTO stem (text) VALUES (?1)");
    sql::Statement &add = c.cached("INSERT INTO word (s, n) VALUES (?1, ?2)");
    for (const QString &stem : stems) {
        qint64 s = c.stemRows.value(stem);
        if (s == 0) {
            const QString token = codec.token(stem);
            find.bind(1, token);
            const int rc = find.step();
            if (rc == SQLITE_ROW) {
                s = find.integer(0);
            } else {
                c.must(rc);
                c.must(addStem.bind(1, token).step());
                addStem.reset();
                s = sqlite3_last_insert_rowid(c.db.handle());
            }
            find.reset();
            c.stemRows.insert(stem, s);
        }
        c.must(add.bind(1, s).bind(2, n).step());
        add.reset();
    }
}

std::optional<SearchQuery> searchQuery(const Filter &filter, const TextCodec &codec, dictionary::Stemmer &stemmer)
{
    SearchQuery out;
    QByteArray &q = out.text;
    q = "SELECT e.id FROM entry e WHERE e.deleted_at IS NULL";
    auto param = [&](std::variant<QString, qint64> v) {
        out.values.push_back(std::move(v));
        return "?" + QByteArray::number(qsizetype(out.values.size()));
    };
    if (!filter.text.trimmed().isEmpty()) {
        const QStringList stems = queryStems(filter.text, stemmer);
        if (stems.isEmpty())
            return std::nullopt;
        for (const QString &stem : stems)
            q += " AND e.n IN (SELECT w.n FROM word w JOIN stem s ON s.s = w.s WHERE s.text = "
                 + param(codec.token(stem)) + ")";
    }
    for (const QString &tag : filter.tags)
        q += " AND e.n IN (SELECT n FROM tag WHERE folded = "
             + param(codec.token(dictionary::foldWord(tag.simplified()))) + ")";
    for (DreamKind k : filter.kinds)
        q += " AND instr(' ' || e.kinds || ' ', ' ' || " + param(kindCode(k)) + " || ' ') > 0";
    if (filter.lucid)
        q += " AND e.lucid = " + param(qint64(*filter.lucid));
    if (filter.mark)
        q += " AND e.mark = " + param(markCode(*filter.mark));
    if (!filter.symbol.trimmed().isEmpty())
        q += " AND e.n IN (SELECT n FROM symbol WHERE origin <> 'removed' AND folded = "
             + param(codec.token(dictionary::foldWord(filter.symbol.trimmed()))) + ")";
    if (filter.nightFrom.isValid())
        q += " AND e.night >= " + param(filter.nightFrom.toString(Qt::ISODate));
    if (filter.nightTo.isValid())
        q += " AND e.night <= " + param(filter.nightTo.toString(Qt::ISODate));
    q += " ORDER BY e.night DESC, e.at_utc DESC, e.id";
    return out;
}

void bindValues(sql::Statement &s, const SearchQuery &q)
{
    for (size_t i = 0; i < q.values.size(); ++i) {
        const int index = static_cast<int>(i + 1);
        if (const auto *text = std::get_if<QString>(&q.values[i]))
            s.bind(index, *text);
        else
            s.bind(index, std::get<qint64>(q.values[i]));
    }
}

} // namespace somnex::diary::store
