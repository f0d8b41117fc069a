#include "dictionary/TextIndex.h"

#include "dictionary/WordFinder.h"
#include "reading/PackedText.h"

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
            word.clear();
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
    std::unordered_map<QString, uint32_t> wordStem; // folded word -> stem id
    std::vector<uint32_t> lastEntry;                // per stem: last entry given a posting
    std::vector<std::pair<uint32_t, uint32_t>> counts; // (stem, hits) of one entry
    const auto cancelled = [&] { return cancel && cancel->load(std::memory_order_relaxed); };

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
                text = reading::UnpackText(*packed);
            } catch (...) {
                continue; // a damaged entry is not searchable; the rest are
            }
            const uint32_t entry = uint32_t(index.entries_.size());
            index.entries_.push_back({uint16_t(b), uint32_t(r)});
            counts.clear();
            forEachWord(text, [&](qsizetype, qsizetype, const QString &word) {
                auto it = wordStem.find(word);
                if (it == wordStem.end()) {
                    const QString stem = stemmer.stem(word);
                    auto [sit, added] = index.stemIds_.try_emplace(stem, uint32_t(index.postings_.size()));
                    if (added) {
                        index.postings_.emplace_back();
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
                std::vector<uint8_t> &list = index.postings_[stem];
                putVarint(list, list.empty() ? entry : entry - lastEntry[stem]);
                putVarint(list, uint32_t(j - i));
                lastEntry[stem] = entry;
                i = j;
            }
        }
    }
    for (auto &p : index.postings_)
        p.shrink_to_fit();
    index.entries_.shrink_to_fit();
    index.books_ = std::move(books);
    return index;
}

std::vector<TextIndex::Posting> TextIndex::postings(uint32_t stem) const
{
    std::vector<Posting> out;
    const std::vector<uint8_t> &list = postings_[stem];
    uint32_t entry = 0;
    for (size_t at = 0; at < list.size();) {
        entry += getVarint(list, at);
        out.push_back({entry, getVarint(list, at)});
    }
    return out;
}

std::vector<std::vector<uint32_t>> TextIndex::queryStemIds(QStringView query) const
{
    std::vector<std::vector<uint32_t>> out;
    for (const QString &stem : stemsOfWords(contentWords(query))) {
        std::vector<uint32_t> ids;
        for (const QString &v : QStringList{stem} + fleetingVariants(stem))
            if (auto it = stemIds_.find(v); it != stemIds_.end())
                if (std::find(ids.begin(), ids.end(), it->second) == ids.end())
                    ids.push_back(it->second);
        out.push_back(std::move(ids));
    }
    return out;
}

QStringList TextIndex::queryStems(QStringView query) const
{
    QStringList out;
    for (const QString &stem : stemsOfWords(contentWords(query)))
        for (const QString &v : QStringList{stem} + fleetingVariants(stem))
            if (stemIds_.count(v) && !out.contains(v))
                out.append(v);
    return out;
}

QString TextIndex::textOf(const Entry &e) const
{
    dictionary::Recordset rs = books_[e.book].records;
    rs.setAbsolutePosition(qsizetype(e.record));
    const std::optional<QString> packed = rs.Field(QStringLiteral("Text"));
    return packed ? reading::UnpackText(*packed) : QString();
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
        TextHit hit;
        std::vector<uint16_t> books;
        uint32_t firstEntry;
    };
    std::map<QString, Group> groups; // folded headword
    for (const Posting &p : found) {
        const Entry &e = entries_[p.entry];
        const QString headword = books_[e.book].records.headword(qsizetype(e.record)).toString();
        Group &g = groups[foldWord(headword)];
        if (g.hit.headword.isEmpty()) {
            g.hit.headword = headword;
            g.firstEntry = p.entry;
        }
        if (std::find(g.books.begin(), g.books.end(), e.book) == g.books.end())
            g.books.push_back(e.book);
        g.hit.hits += int(p.hits);
    }
    std::vector<Group> ranked;
    ranked.reserve(groups.size());
    for (auto &[key, g] : groups)
        ranked.push_back(std::move(g));
    std::sort(ranked.begin(), ranked.end(), [](const Group &a, const Group &b) {
        if (a.books.size() != b.books.size())
            return a.books.size() > b.books.size();
        if (a.hit.hits != b.hit.hits)
            return a.hit.hits > b.hit.hits;
        return dictionary::compareHeadwords(a.hit.headword, b.hit.headword) < 0;
    });
    if (ranked.size() > size_t(max))
        ranked.resize(size_t(max));

    Stemmer stemmer;
    std::vector<TextHit> out;
    for (Group &g : ranked) {
        std::sort(g.books.begin(), g.books.end());
        for (uint16_t b : g.books)
            g.hit.books.append(books_[b].bookName);
        // The snippet: some forty characters either side of the first hit.
        QString text;
        try {
            text = textOf(entries_[g.firstEntry]);
        } catch (...) {
        }
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        qsizetype at = -1, length = 0;
        forEachWord(text, [&](qsizetype start, qsizetype len, const QString &word) {
            if (at < 0 && stems.contains(stemmer.stem(word))) {
                at = start;
                length = len;
            }
        });
        if (at >= 0) {
            const qsizetype from = std::max<qsizetype>(0, at - 40);
            const qsizetype to = std::min<qsizetype>(text.size(), at + length + 40);
            g.hit.snippet = (from > 0 ? QStringLiteral("…") : QString()) + text.mid(from, to - from).trimmed()
                            + (to < text.size() ? QStringLiteral("…") : QString());
        }
        out.push_back(std::move(g.hit));
    }
    return out;
}

std::size_t TextIndex::bytesHeld() const
{
    std::size_t bytes = entries_.capacity() * sizeof(Entry) + postings_.capacity() * sizeof(postings_[0]);
    for (const auto &p : postings_)
        bytes += p.capacity();
    for (const auto &[stem, id] : stemIds_)
        bytes += sizeof(QString) + size_t(stem.capacity()) * 2 + sizeof(id) + 32;
    return bytes;
}

} // namespace somnex
