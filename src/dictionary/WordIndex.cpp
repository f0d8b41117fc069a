#include "dictionary/WordIndex.h"

#include <algorithm>

namespace somnex {

QString foldWord(QStringView word)
{
    QString k = word.toString().toLower();
    for (QChar &c : k)
        if (c == QChar(u'ё'))
            c = QChar(u'е');
    return k;
}

void WordIndex::clear()
{
    items_.clear();
    seen_.clear();
}

bool WordIndex::add(const QString &word)
{
    if (seen_.contains(word))
        return false;
    seen_.insert(word);
    items_.push_back({QString(), word});
    return true;
}

void WordIndex::finish()
{
    for (Item &it : items_)
        it.key = foldWord(it.word);
    std::sort(items_.begin(), items_.end(), [](const Item &a, const Item &b) {
        const int c = a.key.compare(b.key);
        return c != 0 ? c < 0 : a.word < b.word;
    });
    seen_.clear();
    seen_.squeeze();
}

int WordIndex::indexOf(const QString &word) const
{
    const QString key = foldWord(word);
    auto it = std::lower_bound(items_.begin(), items_.end(), key,
                               [](const Item &a, const QString &k) { return a.key < k; });
    for (; it != items_.end() && it->key == key; ++it)
        if (it->word == word)
            return static_cast<int>(it - items_.begin());
    return -1;
}

int WordIndex::findPrefix(QStringView prefix) const
{
    const QString p = foldWord(prefix.trimmed());
    if (p.isEmpty())
        return -1;
    auto it = std::lower_bound(items_.begin(), items_.end(), p,
                               [](const Item &a, const QString &k) { return a.key < k; });
    if (it != items_.end() && it->key.startsWith(p))
        return static_cast<int>(it - items_.begin());
    return -1;
}

} // namespace somnex
