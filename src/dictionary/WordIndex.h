#pragma once
// The merged word list: one item per distinct headword of the enabled books,
// in the books' own alphabetical order, searched by prefix.
//
// Order: that of the books' "List" index (compareHeadwords): Russian
// alphabetical and case-insensitive with ё sorting as е, then е before ё,
// lower case before upper case, then by code units. Every book hands its
// headwords over already in that order, so the list is a merge of sorted
// runs rather than a sort.
// The prefix search ignores letter case and the difference of ё and е.

#include <QString>
#include <QStringView>

#include <vector>

namespace somnex::dictionary {

// The key the list is searched by: case folded, ё as е.
QString foldWord(QStringView word);

class WordIndex {
public:
    // Rebuilding: clear, add every book's headwords, finish.
    void clear();
    // Adds one book's headwords in its index order (a run out of order is
    // sorted). A word added again (exactly the same text) stands in the
    // list once.
    void addRun(std::vector<QString> words);
    // Merges the runs; searches need it.
    void finish();

    int size() const { return static_cast<int>(items_.size()); }
    bool empty() const { return items_.empty(); }
    const QString &word(int i) const { return items_[static_cast<size_t>(i)]; }
    // Index of the exact word, or -1.
    int indexOf(const QString &word) const;
    // Index of the first word in list order that begins with prefix
    // (trimmed, case and ё/е ignored); -1 when none does or the prefix is
    // blank.
    int findPrefix(QStringView prefix) const;

    // Every headword of the books (*.book) in a folder, merged as the
    // program merges its books' lists, all books taken (for the tests and
    // benchmarks that need the bundled books' words). Raises when a book
    // cannot be read.
    static WordIndex ofBooksIn(const QString &folder);

private:
    std::vector<QString> items_;
    std::vector<std::vector<QString>> runs_;
};

} // namespace somnex::dictionary
