#include "dictionary/WordFinder.h"

#include <libstemmer.h>

#include <algorithm>
#include <array>
#include <new>
#include <unordered_set>

namespace somnex::dictionary {

Stemmer::Stemmer() : stemmer_(sb_stemmer_new("russian", "UTF_8"))
{
    if (!stemmer_)
        throw std::bad_alloc();
}

Stemmer::~Stemmer()
{
    sb_stemmer_delete(stemmer_);
}

QString Stemmer::stem(QStringView foldedWord)
{
    buffer_ = foldedWord.toUtf8();
    const sb_symbol *s = sb_stemmer_stem(stemmer_, reinterpret_cast<const sb_symbol *>(buffer_.constData()),
                                         static_cast<int>(buffer_.size()));
    if (!s)
        return foldedWord.toString();
    return QString::fromUtf8(reinterpret_cast<const char *>(s), sb_stemmer_length(stemmer_));
}

QStringList foldedWords(QStringView text)
{
    QStringList words;
    const QString folded = foldWord(text);
    QString current;
    const auto isWordChar = [](QChar c) { return c.isLetterOrNumber(); };
    for (qsizetype i = 0; i < folded.size(); ++i) {
        const QChar c = folded[i];
        const bool joiner =
            (c == u'-' || c == u'\'') && !current.isEmpty() && i + 1 < folded.size() && isWordChar(folded[i + 1]);
        if (isWordChar(c) || joiner) {
            current += c;
        } else if (!current.isEmpty()) {
            words.append(current);
            current.clear();
        }
    }
    if (!current.isEmpty())
        words.append(current);
    return words;
}

bool isStopWord(QStringView w)
{
    static const std::array<QStringView, 28> stop = {u"в",   u"во", u"на",  u"с",   u"со",  u"к",   u"ко",
                                                     u"по",  u"о",  u"об",  u"обо", u"у",   u"за",  u"из",
                                                     u"от",  u"до", u"под", u"над", u"при", u"про", u"без",
                                                     u"для", u"и",  u"а",   u"не",  u"или", u"мой", u"мне"};
    return std::find(stop.begin(), stop.end(), w) != stop.end();
}

int editDistance(QStringView a, QStringView b, int limit)
{
    const qsizetype n = a.size(), m = b.size();
    if (std::abs(n - m) > limit)
        return limit + 1;
    // Three rows: the one before last (for transpositions), last, current.
    std::vector<int> prev2(size_t(m + 1)), prev(size_t(m + 1)), cur(size_t(m + 1));
    for (qsizetype j = 0; j <= m; ++j)
        prev[size_t(j)] = int(j);
    for (qsizetype i = 1; i <= n; ++i) {
        cur[0] = int(i);
        int rowMin = cur[0];
        for (qsizetype j = 1; j <= m; ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            int v = std::min({prev[size_t(j)] + 1, cur[size_t(j - 1)] + 1, prev[size_t(j - 1)] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                v = std::min(v, prev2[size_t(j - 2)] + 1);
            cur[size_t(j)] = v;
            rowMin = std::min(rowMin, v);
        }
        if (rowMin > limit)
            return limit + 1;
        std::swap(prev2, prev);
        std::swap(prev, cur);
    }
    return std::min(prev[size_t(m)], limit + 1);
}

int spellingTolerance(qsizetype shorterLength)
{
    return shorterLength <= 5 ? 1 : 2;
}

namespace {

// Longest text taken as a word or phrase to look for.
constexpr qsizetype kLongestQuery = 64;
// Letters that come and go inside Russian stems ("палец" – "пальца",
// "церковь" – "церкви", "яйцо" – "яиц", "деньги" – "денег").
constexpr QStringView kFleeting = u"еоьйиы";

uint32_t hashOf(QStringView s)
{
    uint32_t h = 2166136261u; // FNV-1a over the UTF-16 code units
    for (QChar c : s) {
        h ^= c.unicode();
        h *= 16777619u;
    }
    return h;
}

// Every text made from s by deleting up to depth characters (s itself too).
void deletionVariants(const QString &s, int depth, std::unordered_set<QString> &out)
{
    out.insert(s);
    if (depth == 0 || s.size() <= 1)
        return;
    for (qsizetype i = 0; i < s.size(); ++i) {
        QString shorter = s;
        shorter.remove(i, 1);
        deletionVariants(shorter, depth - 1, out);
    }
}

// Items whose deletion variants (in a sorted index) meet those of text.
template <class F>
void forEachCandidate(const std::vector<std::pair<uint32_t, uint32_t>> &index, const QString &text, int depth, F &&f)
{
    std::unordered_set<QString> variants;
    deletionVariants(text, depth, variants);
    for (const QString &v : variants) {
        const std::pair<uint32_t, uint32_t> key{hashOf(v), 0u};
        auto range = std::equal_range(index.begin(), index.end(), key,
                                      [](const auto &a, const auto &b) { return a.first < b.first; });
        for (auto it = range.first; it != range.second; ++it)
            f(int(it->second));
    }
}

bool contains(const std::vector<Suggestion> &v, int item)
{
    return std::any_of(v.begin(), v.end(), [&](const Suggestion &s) { return s.item == item; });
}

// The words that are not little words (prepositions, conjunctions…).
QStringList withoutStopWords(const QStringList &words)
{
    QStringList content;
    for (const QString &w : words)
        if (!isStopWord(w))
            content.append(w);
    return content;
}

// The items of the one-word headwords whose stems are one fleeting vowel
// away from a word's stem, word by word.
std::vector<const std::vector<int> *> fleetingMatches(const QStringList &words, Stemmer &stemmer,
                                                      const std::unordered_map<QString, std::vector<int>> &byWordStem)
{
    std::vector<const std::vector<int> *> out;
    for (const QString &w : words)
        for (const QString &v : fleetingVariants(stemmer.stem(w)))
            if (auto it = byWordStem.find(v); it != byWordStem.end())
                out.push_back(&it->second);
    return out;
}

} // namespace

QStringList fleetingVariants(const QString &stem)
{
    QStringList out;
    if (stem.size() < 3)
        return out;
    for (qsizetype i = 0; i <= stem.size(); ++i) {
        for (QChar c : kFleeting) {
            out.append(QString(stem).insert(i, c));
            if (i < stem.size() && kFleeting.contains(stem[i]) && stem[i] != c)
                out.append(QString(stem).replace(i, 1, c));
        }
        if (i < stem.size() && kFleeting.contains(stem[i]))
            out.append(QString(stem).remove(i, 1));
    }
    return out;
}

bool isSearchableText(QStringView text, qsizetype longest)
{
    if (text.size() > longest)
        return false;
    bool letters = false, cyrillic = false, latin = false;
    for (QChar c : text) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format || c.isSurrogate())
            return false;
        if (!c.isLetter())
            continue;
        letters = true;
        if (c.script() == QChar::Script_Cyrillic)
            cyrillic = true;
        else if (c.script() == QChar::Script_Latin)
            latin = true;
    }
    return letters && !(cyrillic && latin);
}

WordFinder::WordFinder() = default;
WordFinder::~WordFinder() = default;
WordFinder::WordFinder(WordFinder &&) noexcept = default;
WordFinder &WordFinder::operator=(WordFinder &&) noexcept = default;

void WordFinder::clear()
{
    folded_.clear();
    exact_.clear();
    byStems_.clear();
    byWordStem_.clear();
    deletions_.clear();
}

QString WordFinder::stemKey(const QStringList &words) const
{
    QString key;
    for (const QString &w : words) {
        if (!key.isEmpty())
            key += u' ';
        key += stemmer_->stem(w);
    }
    return key;
}

void WordFinder::build(const WordIndex &words)
{
    clear();
    if (!stemmer_)
        stemmer_ = std::make_unique<Stemmer>();
    folded_.reserve(size_t(words.size()));
    std::unordered_set<QString> variants;
    for (int i = 0; i < words.size(); ++i) {
        const QStringList parts = foldedWords(words.word(i));
        QString folded = parts.join(u' ');
        folded_.push_back(folded);
        if (parts.isEmpty())
            continue;
        exact_[folded].push_back(i);
        const QString key = stemKey(parts);
        byStems_[key].push_back(i);
        if (parts.size() == 1)
            byWordStem_[key].push_back(i);
        if (folded.size() > kLongestQuery)
            continue;
        variants.clear();
        deletionVariants(folded, spellingTolerance(folded.size()), variants);
        for (const QString &v : variants)
            deletions_.emplace_back(hashOf(v), uint32_t(i));
    }
    std::sort(deletions_.begin(), deletions_.end());
    deletions_.erase(std::unique(deletions_.begin(), deletions_.end()), deletions_.end());
    deletions_.shrink_to_fit();
}

void WordFinder::addForms(const QString &folded, std::vector<Suggestion> &out) const
{
    const QStringList words = foldedWords(folded);
    if (words.isEmpty())
        return;
    std::vector<Suggestion> found;
    const auto take = [&](const std::vector<int> &items) {
        for (int item : items)
            if (!contains(out, item) && !contains(found, item))
                found.push_back({item, Suggestion::Form, editDistance(folded, folded_[size_t(item)], 1000)});
    };
    // The whole text in other forms, then without its little words, then
    // each of its remaining words on its own.
    if (auto it = byStems_.find(stemKey(words)); it != byStems_.end())
        take(it->second);
    const QStringList content = withoutStopWords(words);
    if (!content.isEmpty() && content.size() < words.size())
        if (auto it = byStems_.find(stemKey(content)); it != byStems_.end())
            take(it->second);
    if (content.size() > 1)
        for (const QString &w : content)
            if (auto it = byWordStem_.find(stemmer_->stem(w)); it != byWordStem_.end())
                take(it->second);
    const auto byDistance = [](const Suggestion &a, const Suggestion &b) {
        return a.distance < b.distance || (a.distance == b.distance && a.item < b.item);
    };
    std::stable_sort(found.begin(), found.end(), byDistance);
    out.insert(out.end(), found.begin(), found.end());
    if (!found.empty())
        return;
    // No word of the same stem: stems one fleeting vowel apart.
    for (const std::vector<int> *items : fleetingMatches(content.isEmpty() ? words : content, *stemmer_, byWordStem_))
        take(*items);
    std::stable_sort(found.begin(), found.end(), byDistance);
    out.insert(out.end(), found.begin(), found.end());
}

void WordFinder::addSpellings(const QString &folded, std::vector<Suggestion> &out) const
{
    if (folded.size() > kLongestQuery || deletions_.empty())
        return;
    std::vector<Suggestion> found;
    forEachCandidate(deletions_, folded, spellingTolerance(folded.size()), [&](int item) {
        if (contains(out, item) || contains(found, item))
            return;
        const QString &candidate = folded_[size_t(item)];
        const int tolerance = spellingTolerance(std::min(folded.size(), candidate.size()));
        const int d = editDistance(folded, candidate, tolerance);
        if (d <= tolerance)
            found.push_back({item, Suggestion::Spelling, d});
    });
    std::sort(found.begin(), found.end(), [](const Suggestion &a, const Suggestion &b) {
        return a.distance < b.distance || (a.distance == b.distance && a.item < b.item);
    });
    out.insert(out.end(), found.begin(), found.end());
}

std::vector<Suggestion> WordFinder::suggest(QStringView text, int max) const
{
    std::vector<Suggestion> out;
    if (folded_.empty() || max <= 0 || !isSearchableText(text, kLongestQuery))
        return out;
    const QString folded = foldedWords(text).join(u' ');
    if (folded.isEmpty())
        return out;
    if (auto it = exact_.find(folded); it != exact_.end())
        for (int item : it->second)
            out.push_back({item, Suggestion::Exact, 0});
    addForms(folded, out);
    if (out.size() < size_t(max))
        addSpellings(folded, out);
    // A phrase may hold the misspelt word among little ones ("в зеркле").
    QStringList content;
    const QStringList words = foldedWords(folded);
    for (const QString &w : words)
        if (!isStopWord(w))
            content.append(w);
    if (out.size() < size_t(max) && !content.isEmpty() && content.size() < words.size())
        addSpellings(content.join(u' '), out);
    if (out.size() > size_t(max))
        out.resize(size_t(max));
    return out;
}

int WordFinder::bestMatch(QStringView text) const
{
    for (const Suggestion &s : suggest(text, 5))
        if (s.kind != Suggestion::Exact)
            return s.item;
    return -1;
}

std::size_t WordFinder::bytesHeld() const
{
    std::size_t bytes = deletions_.capacity() * sizeof(deletions_[0]);
    for (const QString &s : folded_)
        bytes += sizeof(QString) + size_t(s.capacity()) * 2;
    const auto mapBytes = [](const auto &m) {
        std::size_t b = 0;
        for (const auto &[k, v] : m)
            b += sizeof(QString) + size_t(k.capacity()) * 2 + v.capacity() * sizeof(int) + 32;
        return b;
    };
    return bytes + mapBytes(exact_) + mapBytes(byStems_) + mapBytes(byWordStem_);
}

} // namespace somnex::dictionary
