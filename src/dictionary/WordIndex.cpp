#include "dictionary/WordIndex.h"

#include "dictionary/BookDatabase.h"
#include "dictionary/BookSchema.h"

#include <QDir>

#include <algorithm>
#include <queue>

namespace somnex::dictionary {

namespace {

// The primary weight of a character in the books' collation.
inline char16_t primary(char16_t c)
{
    if (c >= 0x0430 && c <= 0x044F)
        return c;
    if (c >= 0x0410 && c <= 0x042F)
        return char16_t(c + 0x20);
    if (c == 0x0451 || c == 0x0401)
        return 0x0435;
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? char16_t(c + 0x20) : c;
    return QChar::toCaseFolded(c);
}

// <0, 0, >0 comparing the primary weights of a word with a folded key; with
// prefixOnly, a word that begins with the key compares equal.
int comparePrimary(QStringView word, QStringView key, bool prefixOnly)
{
    const qsizetype n = std::min(word.size(), key.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t a = primary(word[i].unicode()), b = key[i].unicode();
        if (a != b)
            return a < b ? -1 : 1;
    }
    if (word.size() < key.size())
        return -1;
    if (prefixOnly || word.size() == key.size())
        return 0;
    return 1;
}

bool before(const QString &a, const QString &b)
{
    return dictionary::compareHeadwords(a, b) < 0;
}

} // namespace

QString foldWord(QStringView word)
{
    QString k(word.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < word.size(); ++i)
        k[i] = QChar(primary(word[i].unicode()));
    return k;
}

void WordIndex::clear()
{
    items_.clear();
    runs_.clear();
}

void WordIndex::addRun(std::vector<QString> words)
{
    if (!std::is_sorted(words.begin(), words.end(), before))
        std::stable_sort(words.begin(), words.end(), before);
    runs_.push_back(std::move(words));
}

void WordIndex::finish()
{
    size_t total = items_.size();
    for (const auto &r : runs_)
        total += r.size();
    if (!items_.empty()) {
        runs_.push_back(std::move(items_));
        items_ = {};
    }
    items_.reserve(total);
    // k-way merge of the sorted runs; equal texts come together and are kept once
    using Head = std::pair<size_t, size_t>; // run, position
    auto later = [this](const Head &x, const Head &y) {
        const int c = dictionary::compareHeadwords(runs_[x.first][x.second], runs_[y.first][y.second]);
        return c != 0 ? c > 0 : x.first > y.first;
    };
    std::priority_queue<Head, std::vector<Head>, decltype(later)> heap(later);
    for (size_t r = 0; r < runs_.size(); ++r)
        if (!runs_[r].empty())
            heap.push({r, 0});
    while (!heap.empty()) {
        const Head h = heap.top();
        heap.pop();
        QString &w = runs_[h.first][h.second];
        if (items_.empty() || items_.back() != w)
            items_.push_back(std::move(w));
        if (h.second + 1 < runs_[h.first].size())
            heap.push({h.first, h.second + 1});
    }
    runs_.clear();
    items_.shrink_to_fit();
}

int WordIndex::indexOf(const QString &word) const
{
    const QString key = foldWord(word);
    auto it = std::lower_bound(items_.begin(), items_.end(), key,
                               [](const QString &a, const QString &k) { return comparePrimary(a, k, false) < 0; });
    for (; it != items_.end() && comparePrimary(*it, key, false) == 0; ++it)
        if (*it == word)
            return static_cast<int>(it - items_.begin());
    return -1;
}

int WordIndex::findPrefix(QStringView prefix) const
{
    const QString key = foldWord(prefix.trimmed());
    if (key.isEmpty())
        return -1;
    auto it = std::lower_bound(items_.begin(), items_.end(), key,
                               [](const QString &a, const QString &k) { return comparePrimary(a, k, true) < 0; });
    if (it != items_.end() && comparePrimary(*it, key, true) == 0)
        return static_cast<int>(it - items_.begin());
    return -1;
}

WordIndex WordIndex::ofBooksIn(const QString &folder)
{
    WordIndex words;
    const QDir dir(folder);
    for (const QString &name : dir.entryList({QStringLiteral("*.book")}, QDir::Files, QDir::Name)) {
        const dictionary::Database db = dictionary::DBEngine::instance().OpenDatabase(dir.filePath(name));
        dictionary::Recordset rs = db.OpenRecordset(dictionary::kBookTable);
        rs.setIndex(dictionary::kListIndex);
        std::vector<QString> run;
        run.reserve(size_t(rs.RecordCount()));
        for (qsizetype i = 0; i < rs.RecordCount(); ++i)
            run.push_back(rs.headword(i).toString());
        words.addRun(std::move(run));
    }
    words.finish();
    return words;
}

} // namespace somnex::dictionary
