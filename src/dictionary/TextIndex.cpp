#include "dictionary/TextIndex.h"

#include "dictionary/PackedText.h"
#include "dictionary/WordFinder.h"

#include <algorithm>
#include <iterator>
#include <map>

namespace somnex {

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

// Calls f(start, length, foldedWord) for each word of a text.
template <class F>
void forEachWord(QStringView text, F &&f)
{
    QString word;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const QChar c = i < text.size() ? text[i] : QChar(u' ');
        if (c.isLetterOrNumber()) {
            if (word.isEmpty())
                start = i;
            word += foldChar(c);
        } else if (!word.isEmpty()) {
            f(start, i - start, word);
            word.resize(0); // keeps its buffer for the next word
        }
    }
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

TextIndex TextIndex::build(std::vector<TextSource> books, const std::atomic<bool> *cancel)
{
    TextIndex index;
    Stemmer stemmer;
    std::unordered_map<QString, uint32_t> wordStem;    // folded word -> stem id
    std::vector<uint32_t> lastEntry;                   // per stem: last entry given a posting
    std::vector<std::pair<uint32_t, uint32_t>> counts; // (stem, hits) of one entry
    const auto cancelled = [&] { return cancel && cancel->load(std::memory_order_relaxed); };
    std::unordered_map<QString, uint32_t> groups;  // folded headword -> id
    std::unordered_map<QString, uint32_t> stemIds; // stem -> id while building
    std::vector<std::vector<uint8_t>> lists;       // per building id
    std::size_t records = 0;
    for (const TextSource &source : books)
        records += size_t(source.records.RecordCount());
    groups.reserve(records);
    wordStem.reserve(records + 4096);
    stemIds.reserve(records + 4096);
    index.entries_.reserve(records);
    index.groupOf_.reserve(records);

    for (size_t b = 0; b < books.size() && b < 0xFFFF; ++b) {
        dictionary::Recordset &rs = books[b].records;
        const int textColumn = rs.fieldIndex(QStringLiteral("Text"));
        if (textColumn < 0)
            continue;
        for (qsizetype r = 0; r < rs.RecordCount(); ++r) {
            if (cancelled())
                return {};
            QString text;
            try {
                rs.setAbsolutePosition(r);
                const std::optional<QString> packed = rs.Field(textColumn);
                if (!packed)
                    continue;
                index.packedBytes_ += size_t(packed->size());
                text = dictionary::UnpackText(*packed);
            } catch (...) {
                continue; // a damaged entry is not searchable; the rest are
            }
            const uint32_t entry = uint32_t(index.entries_.size());
            index.entries_.push_back({uint32_t(r), uint16_t(b)});
            const auto [git, newGroup] = groups.try_emplace(foldWord(rs.headword(r)), uint32_t(groups.size()));
            index.groupOf_.push_back(git->second);
            if (newGroup)
                index.groupFirst_.push_back(entry);
            counts.clear();
            forEachWord(text, [&](qsizetype, qsizetype, const QString &word) {
                auto it = wordStem.find(word);
                if (it == wordStem.end()) {
                    const QString stem = stemmer.stem(word);
                    auto [sit, added] = stemIds.try_emplace(stem, uint32_t(lists.size()));
                    if (added) {
                        lists.emplace_back();
                        lastEntry.push_back(0);
                    }
                    it = wordStem.emplace(word, sit->second).first;
                }
                counts.emplace_back(it->second, 1);
            });
            std::sort(counts.begin(), counts.end());
            for (size_t i = 0; i < counts.size();) {
                size_t j = i;
                while (j < counts.size() && counts[j].first == counts[i].first)
                    ++j;
                const uint32_t stem = counts[i].first;
                std::vector<uint8_t> &list = lists[stem];
                const uint32_t gap = list.empty() ? entry : entry - lastEntry[stem];
                const uint32_t hits = uint32_t(j - i);
                putVarint(list, gap << 1 | (hits > 1 ? 1u : 0u));
                if (hits > 1)
                    putVarint(list, hits);
                lastEntry[stem] = entry;
                i = j;
            }
        }
    }
    // Headwords in alphabetical order (folded), for ranking ties.
    {
        std::vector<std::pair<QString, uint32_t>> byName(groups.begin(), groups.end());
        groups.clear();
        std::sort(byName.begin(), byName.end());
        index.groupRank_.resize(byName.size());
        for (size_t k = 0; k < byName.size(); ++k)
            index.groupRank_[byName[k].second] = uint32_t(k);
    }
    // Freeze: stems in sorted order, their postings one after another.
    std::vector<std::pair<QString, uint32_t>> sorted(stemIds.begin(), stemIds.end());
    stemIds.clear();
    std::sort(sorted.begin(), sorted.end());
    std::size_t chars = 0, bytes = 0;
    for (const auto &[stem, id] : sorted) {
        chars += size_t(stem.size());
        bytes += lists[id].size();
    }
    index.stemPool_.reserve(qsizetype(chars));
    index.pool_.reserve(bytes);
    for (const auto &[stem, id] : sorted) {
        index.stemStart_.push_back(uint32_t(index.stemPool_.size()));
        index.stemPool_ += stem;
        index.postingStart_.push_back(uint32_t(index.pool_.size()));
        index.pool_.insert(index.pool_.end(), lists[id].begin(), lists[id].end());
        std::vector<uint8_t>().swap(lists[id]);
    }
    index.stemStart_.push_back(uint32_t(index.stemPool_.size()));
    index.postingStart_.push_back(uint32_t(index.pool_.size()));
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
    const std::optional<QString> packed = rs.Field(QStringLiteral("Text"));
    return packed ? dictionary::UnpackText(*packed) : QString();
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
        // One query word: the postings of all its stems together.
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
        lists.push_back(std::move(merged));
    }
    const QStringList stems = queryStems(query);
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

    struct Group {
        uint32_t id = 0;
        uint32_t hits = 0;
        uint32_t firstEntry = 0;
        std::vector<uint16_t> books;
    };
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
    const auto headwordOf = [this](uint32_t entry) {
        const Entry &e = entries_[entry];
        return books_[e.book].records.headword(qsizetype(e.record));
    };
    const auto better = [&](const Group &a, const Group &b) {
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

    Stemmer stemmer;
    std::unordered_map<QString, bool> isHit; // folded word -> its stem is one of the query's
    std::vector<TextHit> out;
    for (Group &g : ranked) {
        TextHit hit;
        hit.headword = headwordOf(g.firstEntry).toString();
        hit.hits = int(g.hits);
        std::sort(g.books.begin(), g.books.end());
        for (uint16_t b : g.books)
            hit.books.append(books_[b].bookName);
        // The snippet: some forty characters either side of the first hit.
        QString text;
        try {
            text = textOf(entries_[g.firstEntry]);
        } catch (...) {
        }
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        qsizetype at = -1, length = 0;
        forEachWord(text, [&](qsizetype start, qsizetype len, const QString &word) {
            if (at >= 0)
                return;
            auto known = isHit.find(word);
            if (known == isHit.end())
                known = isHit.emplace(word, stems.contains(stemmer.stem(word))).first;
            if (known->second) {
                at = start;
                length = len;
            }
        });
        if (at >= 0) {
            const qsizetype from = std::max<qsizetype>(0, at - 40);
            const qsizetype to = std::min<qsizetype>(text.size(), at + length + 40);
            hit.snippet = (from > 0 ? QStringLiteral("…") : QString()) + text.mid(from, to - from).trimmed()
                          + (to < text.size() ? QStringLiteral("…") : QString());
        }
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

} // namespace somnex
