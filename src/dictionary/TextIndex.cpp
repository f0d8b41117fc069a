#include "dictionary/TextIndex.h"

#include "dictionary/BookSchema.h"
#include "dictionary/PackedText.h"
#include "dictionary/WordFinder.h"
#include "platform/error/Error.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <map>
#include <string>
#include <string_view>

namespace somnex::dictionary {

namespace {

void putVarint(std::vector<uint8_t> &out, uint32_t v)
{
    while (v >= 0x80) {
        out.push_back(uint8_t(v | 0x80));
        v >>= 7;
    }
    out.push_back(uint8_t(v));
}

uint32_t getVarint(const std::vector<uint8_t> &in, size_t &at)
{
    uint32_t v = 0;
    for (int shift = 0; at < in.size() && shift < 35; shift += 7) {
        const uint8_t b = in[at++];
        v |= uint32_t(b & 0x7F) << shift;
        if (!(b & 0x80))
            break;
    }
    return v;
}

QChar foldChar(QChar c)
{
    c = c.toLower();
    return c == u'ё' ? QChar(u'е') : c;
}

// A word character folded for indexing (lower case, ё as е), or 0 for a
// character that ends a word. The scripts dream books are written in come
// from a table; anything beyond asks Qt.
class WordChars {
public:
    WordChars()
    {
        for (char16_t c = 0; c < kTabled; ++c) {
            const QChar q(c);
            table_[c] = q.isLetterOrNumber() ? foldChar(q).unicode() : char16_t(0);
        }
    }

    char16_t fold(char16_t c) const
    {
        if (c < kTabled)
            return table_[c];
        const QChar q(c);
        return q.isLetterOrNumber() ? foldChar(q).unicode() : char16_t(0);
    }

private:
    static constexpr char16_t kTabled = 0x530; // Latin, Greek, Cyrillic
    std::array<char16_t, kTabled> table_{};
};

const WordChars &wordChars()
{
    static const WordChars chars;
    return chars;
}

// A word's hash: 32-bit FNV-1a over its folded UTF-16 code units.
constexpr uint32_t kHashBasis = 2166136261u;
constexpr uint32_t kHashPrime = 16777619u;

uint32_t mixHash(uint32_t h, char16_t c)
{
    return (h ^ c) * kHashPrime;
}

// Calls f(start, length, foldedWord, hash) for each word of a text; the
// folded word lives until the next call.
template <class F>
void forEachWord(QStringView text, F &&f)
{
    const WordChars &chars = wordChars();
    std::u16string word;
    uint32_t hash = kHashBasis;
    qsizetype start = 0;
    const char16_t *p = text.utf16();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i <= n; ++i) {
        const char16_t c = i < n ? chars.fold(p[i]) : char16_t(0);
        if (c) {
            if (word.empty())
                start = i;
            word.push_back(c);
            hash = mixHash(hash, c);
        } else if (!word.empty()) {
            f(start, i - start, QStringView(word.data(), qsizetype(word.size())), hash);
            word.clear(); // keeps its buffer for the next word
            hash = kHashBasis;
        }
    }
}

// Folded word -> stem id, for every distinct word of the texts: an open
// hash table over one pool of characters, so a text's words are looked up
// without building a string for each.
class WordStems {
public:
    static constexpr uint32_t kAbsent = UINT32_MAX;

    WordStems() : slots_(1 << 16) {}

    uint32_t find(QStringView word, uint32_t hash) const
    {
        for (size_t at = hash & (slots_.size() - 1);; at = (at + 1) & (slots_.size() - 1)) {
            const Slot &s = slots_[at];
            if (s.stem == kAbsent)
                return kAbsent;
            if (s.hash == hash && s.length == uint32_t(word.size())
                && std::equal(word.utf16(), word.utf16() + word.size(), pool_.begin() + s.offset))
                return s.stem;
        }
    }

    // Only for a word find() does not know.
    void add(QStringView word, uint32_t hash, uint32_t stem)
    {
        if ((count_ + 1) * 4 > slots_.size() * 3)
            grow();
        place({hash, uint32_t(pool_.size()), uint32_t(word.size()), stem});
        pool_.append(word.utf16(), size_t(word.size()));
        ++count_;
    }

private:
    struct Slot {
        uint32_t hash = 0;
        uint32_t offset = 0;
        uint32_t length = 0;
        uint32_t stem = kAbsent;
    };

    void place(const Slot &slot)
    {
        size_t at = slot.hash & (slots_.size() - 1);
        while (slots_[at].stem != kAbsent)
            at = (at + 1) & (slots_.size() - 1);
        slots_[at] = slot;
    }

    void grow()
    {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        for (const Slot &s : old)
            if (s.stem != kAbsent)
                place(s);
    }

    std::vector<Slot> slots_;
    std::u16string pool_;
    size_t count_ = 0;
};

// A map's keys with their ids, in the order of their UTF-16 code units (the
// order QString's comparison gives), without copying the strings.
std::vector<std::pair<std::u16string_view, uint32_t>> sortedKeys(const std::unordered_map<QString, uint32_t> &map)
{
    std::vector<std::pair<std::u16string_view, uint32_t>> out;
    out.reserve(map.size());
    for (const auto &[key, id] : map)
        out.emplace_back(std::u16string_view(reinterpret_cast<const char16_t *>(key.utf16()), size_t(key.size())), id);
    std::sort(out.begin(), out.end());
    return out;
}

QStringList contentWords(QStringView query)
{
    if (!isSearchableText(query, 256))
        return {};
    QStringList words = foldedWords(query);
    QStringList content;
    for (const QString &w : words)
        if (!isStopWord(w))
            content.append(w);
    return content.isEmpty() ? words : content;
}

} // namespace

QStringList stemsOfWords(const QStringList &foldedWords)
{
    Stemmer stemmer;
    QStringList out;
    for (const QString &w : foldedWords)
        out.append(stemmer.stem(w));
    return out;
}

namespace {

// The unpacked text of a record; none for a Null text and for a damaged
// entry (which is not searchable; the rest are).
std::optional<QString> entryText(dictionary::Recordset &rs, qsizetype r, int textColumn, std::size_t &packedBytes)
{
    try {
        rs.setAbsolutePosition(r);
        const std::optional<QString> packed = rs.Field(textColumn);
        if (!packed)
            return std::nullopt;
        packedBytes += size_t(packed->size());
        return dictionary::UnpackText(*packed);
    } catch (...) {
        traceIgnored(std::current_exception());
        return std::nullopt;
    }
}

} // namespace

// Builds the index an entry at a time: the headword groups, the stems of the
// words and each stem's postings, then freezes them in sorted order.
class TextIndex::Builder {
public:
    Builder(TextIndex &index, std::size_t records) : index_(index)
    {
        groups_.reserve(records);
        stemIds_.reserve(records + 4096);
        index_.entries_.reserve(records);
        index_.groupOf_.reserve(records);
    }

    void addEntry(uint16_t book, qsizetype record, QStringView headword, const QString &text)
    {
        const uint32_t entry = uint32_t(index_.entries_.size());
        index_.entries_.push_back({uint32_t(record), book});
        const auto [git, newGroup] = groups_.try_emplace(foldWord(headword), uint32_t(groups_.size()));
        index_.groupOf_.push_back(git->second);
        if (newGroup)
            index_.groupFirst_.push_back(entry);
        counts_.clear();
        forEachWord(text, [&](qsizetype, qsizetype, QStringView word, uint32_t hash) {
            counts_.emplace_back(stemOf(word, hash), 1);
        });
        addPostings(entry);
    }

    // Headwords in alphabetical order (folded), for ranking ties.
    void rankHeadwords()
    {
        const std::vector<std::pair<std::u16string_view, uint32_t>> byName = sortedKeys(groups_);
        index_.groupRank_.resize(byName.size());
        for (size_t k = 0; k < byName.size(); ++k)
            index_.groupRank_[byName[k].second] = uint32_t(k);
        groups_.clear();
    }

    // Freeze: stems in sorted order, their postings one after another.
    void freeze()
    {
        const std::vector<std::pair<std::u16string_view, uint32_t>> sorted = sortedKeys(stemIds_);
        std::size_t chars = 0, bytes = 0;
        for (const auto &[stem, id] : sorted) {
            chars += stem.size();
            bytes += lists_[id].size();
        }
        index_.stemPool_.reserve(qsizetype(chars));
        index_.pool_.reserve(bytes);
        for (const auto &[stem, id] : sorted) {
            index_.stemStart_.push_back(uint32_t(index_.stemPool_.size()));
            index_.stemPool_.append(reinterpret_cast<const QChar *>(stem.data()), qsizetype(stem.size()));
            index_.postingStart_.push_back(uint32_t(index_.pool_.size()));
            index_.pool_.insert(index_.pool_.end(), lists_[id].begin(), lists_[id].end());
            std::vector<uint8_t>().swap(lists_[id]);
        }
        index_.stemStart_.push_back(uint32_t(index_.stemPool_.size()));
        index_.postingStart_.push_back(uint32_t(index_.pool_.size()));
        stemIds_.clear();
    }

private:
    // The building id of a folded word's stem.
    uint32_t stemOf(QStringView word, uint32_t hash)
    {
        uint32_t id = wordStem_.find(word, hash);
        if (id == WordStems::kAbsent) {
            const auto [sit, added] = stemIds_.try_emplace(stemmer_.stem(word), uint32_t(lists_.size()));
            if (added) {
                lists_.emplace_back();
                lastEntry_.push_back(0);
            }
            id = sit->second;
            wordStem_.add(word, hash, id);
        }
        return id;
    }

    // One posting per stem of the entry: the gap to the stem's previous
    // entry and, when more than one, the hits.
    void addPostings(uint32_t entry)
    {
        std::sort(counts_.begin(), counts_.end());
        for (size_t i = 0; i < counts_.size();) {
            size_t j = i;
            while (j < counts_.size() && counts_[j].first == counts_[i].first)
                ++j;
            const uint32_t stem = counts_[i].first;
            std::vector<uint8_t> &list = lists_[stem];
            const uint32_t gap = list.empty() ? entry : entry - lastEntry_[stem];
            const uint32_t hits = uint32_t(j - i);
            putVarint(list, gap << 1 | (hits > 1 ? 1u : 0u));
            if (hits > 1)
                putVarint(list, hits);
            lastEntry_[stem] = entry;
            i = j;
        }
    }

    TextIndex &index_;
    Stemmer stemmer_;
    WordStems wordStem_;
    std::vector<uint32_t> lastEntry_;                   // per stem: last entry given a posting
    std::vector<std::pair<uint32_t, uint32_t>> counts_; // (stem, hits) of one entry
    std::unordered_map<QString, uint32_t> groups_;      // folded headword -> id
    std::unordered_map<QString, uint32_t> stemIds_;     // stem -> id while building
    std::vector<std::vector<uint8_t>> lists_;           // per building id
};

TextIndex TextIndex::build(std::vector<TextSource> books, const std::atomic<bool> *cancel)
{
    TextIndex index;
    std::size_t records = 0;
    for (const TextSource &source : books)
        records += size_t(source.records.RecordCount());
    Builder builder(index, records);
    for (size_t b = 0; b < books.size() && b < 0xFFFF; ++b) {
        dictionary::Recordset &rs = books[b].records;
        const int textColumn = rs.fieldIndex(dictionary::kTextColumn);
        if (textColumn < 0)
            continue;
        for (qsizetype r = 0; r < rs.RecordCount(); ++r) {
            if (cancel && cancel->load(std::memory_order_relaxed))
                return {};
            if (const std::optional<QString> text = entryText(rs, r, textColumn, index.packedBytes_))
                builder.addEntry(uint16_t(b), r, rs.headword(r), *text);
        }
    }
    builder.rankHeadwords();
    builder.freeze();
    index.entries_.shrink_to_fit();
    index.groupOf_.shrink_to_fit();
    index.groupFirst_.shrink_to_fit();
    index.books_ = std::move(books);
    return index;
}

int TextIndex::findStem(QStringView stem) const
{
    const auto at = [this](size_t id) {
        return QStringView(stemPool_).mid(stemStart_[id], stemStart_[id + 1] - stemStart_[id]);
    };
    size_t lo = 0, hi = stemStart_.empty() ? 0 : stemStart_.size() - 1;
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        if (at(mid).compare(stem) >= 0)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo + 1 < stemStart_.size() && at(lo) == stem ? int(lo) : -1;
}

std::vector<TextIndex::Posting> TextIndex::postings(uint32_t stem) const
{
    std::vector<Posting> out;
    uint32_t entry = 0;
    for (size_t at = postingStart_[stem]; at < postingStart_[stem + 1];) {
        const uint32_t v = getVarint(pool_, at);
        entry += v >> 1;
        out.push_back({entry, (v & 1) ? getVarint(pool_, at) : 1u});
    }
    return out;
}

std::vector<std::vector<uint32_t>> TextIndex::queryStemIds(QStringView query) const
{
    std::vector<std::vector<uint32_t>> out;
    for (const QString &stem : stemsOfWords(contentWords(query))) {
        std::vector<uint32_t> ids;
        for (const QString &v : QStringList{stem} + fleetingVariants(stem))
            if (const int id = findStem(v); id >= 0)
                if (std::find(ids.begin(), ids.end(), uint32_t(id)) == ids.end())
                    ids.push_back(uint32_t(id));
        out.push_back(std::move(ids));
    }
    return out;
}

QStringList TextIndex::queryStems(QStringView query) const
{
    QStringList out;
    for (const QString &stem : stemsOfWords(contentWords(query)))
        for (const QString &v : QStringList{stem} + fleetingVariants(stem))
            if (findStem(v) >= 0 && !out.contains(v))
                out.append(v);
    return out;
}

QString TextIndex::textOf(const Entry &e) const
{
    dictionary::Recordset rs = books_[e.book].records;
    rs.setAbsolutePosition(qsizetype(e.record));
    const std::optional<QString> packed = rs.Field(dictionary::kTextColumn);
    return packed ? dictionary::UnpackText(*packed) : QString();
}

namespace {

// The entries in every list, their hits added up; each list is sorted by
// entry, and the shortest is walked.
template <class Posting>
std::vector<Posting> intersectPostings(std::vector<std::vector<Posting>> lists)
{
    std::sort(lists.begin(), lists.end(), [](const auto &a, const auto &b) { return a.size() < b.size(); });
    std::vector<Posting> found = std::move(lists.front());
    for (size_t k = 1; k < lists.size() && !found.empty(); ++k) {
        std::vector<Posting> both;
        const auto &other = lists[k];
        size_t j = 0;
        for (const Posting &p : found) {
            while (j < other.size() && other[j].entry < p.entry)
                ++j;
            if (j < other.size() && other[j].entry == p.entry)
                both.push_back({p.entry, p.hits + other[j].hits});
        }
        found = std::move(both);
    }
    return found;
}

// Whether a folded word's stem is one of the query's, remembered per word.
class QueryWords {
public:
    explicit QueryWords(const QStringList &stems) : stems_(stems) {}
    bool contains(QStringView word)
    {
        const QString key = word.toString();
        auto known = isHit_.find(key);
        if (known == isHit_.end())
            known = isHit_.emplace(key, stems_.contains(stemmer_.stem(word))).first;
        return known->second;
    }

private:
    const QStringList &stems_;
    Stemmer stemmer_;
    std::unordered_map<QString, bool> isHit_;
};

// The snippet: some forty characters either side of the first hit; empty
// when there is none.
QString snippetOf(QString text, QueryWords &query)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    qsizetype at = -1, length = 0;
    forEachWord(text, [&](qsizetype start, qsizetype len, QStringView word, uint32_t) {
        if (at < 0 && query.contains(word)) {
            at = start;
            length = len;
        }
    });
    if (at < 0)
        return QString();
    const qsizetype from = std::max<qsizetype>(0, at - 40);
    const qsizetype to = std::min<qsizetype>(text.size(), at + length + 40);
    return (from > 0 ? QStringLiteral("…") : QString()) + text.mid(from, to - from).trimmed()
           + (to < text.size() ? QStringLiteral("…") : QString());
}

} // namespace

std::vector<TextIndex::Posting> TextIndex::mergedPostings(const std::vector<uint32_t> &ids) const
{
    std::vector<Posting> merged;
    for (uint32_t id : ids) {
        const std::vector<Posting> more = postings(id);
        std::vector<Posting> sum;
        std::merge(merged.begin(), merged.end(), more.begin(), more.end(), std::back_inserter(sum),
                   [](const Posting &a, const Posting &b) { return a.entry < b.entry; });
        merged.clear();
        for (const Posting &p : sum) {
            if (!merged.empty() && merged.back().entry == p.entry)
                merged.back().hits += p.hits;
            else
                merged.push_back(p);
        }
    }
    return merged;
}

std::vector<TextIndex::Group> TextIndex::rankGroups(const std::vector<Posting> &found, int max) const
{
    std::vector<int32_t> slot(groupFirst_.size(), -1); // group id -> place in ranked
    std::vector<Group> ranked;
    for (const Posting &p : found) {
        const uint32_t g = groupOf_[p.entry];
        if (slot[g] < 0) {
            slot[g] = int32_t(ranked.size());
            ranked.push_back({g, 0, p.entry, {}});
        }
        Group &group = ranked[size_t(slot[g])];
        const uint16_t book = entries_[p.entry].book;
        if (std::find(group.books.begin(), group.books.end(), book) == group.books.end())
            group.books.push_back(book);
        group.hits += p.hits;
    }
    const auto better = [this](const Group &a, const Group &b) {
        if (a.books.size() != b.books.size())
            return a.books.size() > b.books.size();
        if (a.hits != b.hits)
            return a.hits > b.hits;
        return groupRank_[a.id] < groupRank_[b.id];
    };
    if (ranked.size() > size_t(max)) {
        std::partial_sort(ranked.begin(), ranked.begin() + max, ranked.end(), better);
        ranked.resize(size_t(max));
    } else {
        std::sort(ranked.begin(), ranked.end(), better);
    }
    return ranked;
}

std::vector<TextHit> TextIndex::search(QStringView query, int max) const
{
    const auto words = queryStemIds(query);
    if (words.empty() || entries_.empty() || max <= 0)
        return {};
    std::vector<std::vector<Posting>> lists;
    for (const auto &ids : words) {
        if (ids.empty())
            return {};
        lists.push_back(mergedPostings(ids));
    }
    const QStringList stems = queryStems(query);
    std::vector<Group> ranked = rankGroups(intersectPostings(std::move(lists)), max);

    QueryWords queryWords(stems);
    std::vector<TextHit> out;
    for (Group &g : ranked) {
        const Entry &first = entries_[g.firstEntry];
        TextHit hit;
        hit.headword = books_[first.book].records.headword(qsizetype(first.record)).toString();
        hit.hits = int(g.hits);
        std::sort(g.books.begin(), g.books.end());
        for (uint16_t b : g.books)
            hit.books.append(books_[b].bookName);
        QString text;
        try {
            text = textOf(first);
        } catch (...) {
            traceIgnored(std::current_exception()); // the hit is listed without a snippet
        }
        hit.snippet = snippetOf(std::move(text), queryWords);
        out.push_back(std::move(hit));
    }
    return out;
}

std::size_t TextIndex::bytesHeld() const
{
    return entries_.capacity() * sizeof(Entry)
           + (groupOf_.capacity() + groupFirst_.capacity() + groupRank_.capacity() + stemStart_.capacity()
              + postingStart_.capacity())
                 * sizeof(uint32_t)
           + size_t(stemPool_.capacity()) * 2 + pool_.capacity();
}

} // namespace somnex::dictionary
