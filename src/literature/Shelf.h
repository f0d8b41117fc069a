#pragma once
// The literature shelf: the articles about dreams, one "*.lit" file each in
// the texts folder, shown in two groups, all articles and the favourites.
// An article's key is its full path; the favourite copy of an article has
// the article's key followed by "*". Favourite marks are kept in the
// settings, one value per key ("f" for a favourite).

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace somnex::literature {

inline const QString kAllKey = QStringLiteral("all");
inline const QString kFavKey = QStringLiteral("fav");
inline const QString kAllText = QStringLiteral("Вся литература");
inline const QString kFavText = QStringLiteral("Избранная литература");
inline const QString kFavouriteTag = QStringLiteral("f");

// The part of a file name before its last "."; an extension of more than
// ten characters counts as part of the name.
QString NameWithoutExtension(const QString &fileName);

// The article files of a folder ("*.lit" in any letter case), by name; empty
// when the folder is missing or unreadable.
QStringList ArticleFiles(const QString &folder);

QString ArticleKey(const QString &folder, const QString &fileName);
QString FavouriteKey(const QString &articleKey);
bool IsFavouriteKey(const QString &key);
// The article a favourite copy stands for (the key itself for an article).
QString ArticleKeyOf(const QString &key);
// The file of a node key: a trailing "*" dropped, surrounding blanks trimmed.
QString ArticlePath(const QString &key);

// The status line of the shelf: the number of articles and " книжных статей".
QString CountText(int articles);

struct Node {
    QString key, text, tag;
};

struct Shelf {
    std::vector<Node> articles;   // under "all", in file order
    std::vector<Node> favourites; // under "fav"
};

// The shelf of a folder; mark(key) reads the stored mark of an article.
Shelf BuildShelf(const QString &folder, const std::function<QString(const QString &)> &mark);

// Which buttons a click on a node enables: the main toolbar's "Tolk" button
// and the shelf's "add" and "remove".
enum class NodeKind { Group, Article, Favourite };
struct NodeButtons {
    bool tolk = false, add = false, remove = false;
    bool operator==(const NodeButtons &) const = default;
};
NodeButtons ButtonsFor(NodeKind kind, const QString &tag);

} // namespace somnex::literature
