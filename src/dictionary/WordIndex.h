#pragma once
// The merged word list: one item per distinct headword of the enabled books,
// sorted alphabetically, searched by prefix.
//
// Order: Russian alphabetical and case-insensitive, ё sorting with е (the
// folded key lower-cases and maps ё to е, and Cyrillic letters then follow
// each other in code order); words equal under that key are ordered by their
// exact text, so the order is total and the same on every run.
// The prefix search ignores letter case and the difference of ё and е.

#include <QSet>
#include <QString>
#include <QStringView>

#include <vector>

namespace somnex {

// The key the list sorts and searches by.
QString foldWord(QStringView word);

class WordIndex {
public:
    // Rebuilding: clear, add every book's headwords in book order, finish.
    void clear();
    // Adds a headword; a word already added (exactly the same text) is
    // refused and false returned, so the first book that has it keeps it.
    bool add(const QString &word);
    // Sorts the list; searches need it.
    void finish();

    int size() const { return static_cast<int>(items_.size()); }
    bool empty() const { return items_.empty(); }
    const QString &word(int i) const { return items_[static_cast<size_t>(i)].word; }
    // Index of the exact word, or -1.
    int indexOf(const QString &word) const;
    // Index of the first word in list order that begins with prefix
    // (trimmed, case and ё/е ignored); -1 when none does or the prefix is
    // blank.
    int findPrefix(QStringView prefix) const;

private:
    struct Item {
        QString key;
        QString word;
    };
    std::vector<Item> items_;
    QSet<QString> seen_;
};

} // namespace somnex
