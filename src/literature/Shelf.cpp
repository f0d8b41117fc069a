#include "literature/Shelf.h"

#include <QDir>

namespace somnex::literature {

QString NameWithoutExtension(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || fileName.size() - dot - 1 > 10)
        return fileName;
    return fileName.left(dot);
}

QStringList ArticleFiles(const QString &folder)
{
    if (folder.isEmpty())
        return {};
    QDir dir(folder);
    if (!dir.exists())
        return {};
    return dir.entryList({QStringLiteral("*.lit")}, QDir::Files | QDir::Hidden | QDir::Readable,
                         QDir::Name | QDir::IgnoreCase);
}

QString ArticleKey(const QString &folder, const QString &fileName)
{
    QString f = folder;
    if (!f.endsWith(QLatin1Char('/')))
        f += QLatin1Char('/');
    return f + fileName;
}

QString FavouriteKey(const QString &articleKey)
{
    return articleKey + QLatin1Char('*');
}

bool IsFavouriteKey(const QString &key)
{
    return key.endsWith(QLatin1Char('*'));
}

QString ArticleKeyOf(const QString &key)
{
    return IsFavouriteKey(key) ? key.chopped(1) : key;
}

QString ArticlePath(const QString &key)
{
    QString k = key;
    if (IsFavouriteKey(k))
        k[k.size() - 1] = QLatin1Char(' ');
    return k.trimmed();
}

QString CountText(int articles)
{
    return QString::number(articles) + QStringLiteral(" книжных статей");
}

Shelf BuildShelf(const QString &folder, const std::function<QString(const QString &)> &mark)
{
    Shelf s;
    for (const QString &file : ArticleFiles(folder)) {
        Node a{ArticleKey(folder, file), NameWithoutExtension(file), {}};
        if (mark && mark(a.key) == kFavouriteTag) {
            a.tag = kFavouriteTag;
            s.favourites.push_back({FavouriteKey(a.key), a.text, {}});
        }
        s.articles.push_back(std::move(a));
    }
    return s;
}

NodeButtons ButtonsFor(NodeKind kind, const QString &tag)
{
    switch (kind) {
    case NodeKind::Group: return {false, false, false};
    case NodeKind::Article: return {true, tag != kFavouriteTag, false};
    case NodeKind::Favourite: return {true, false, true};
    }
    return {};
}

} // namespace somnex::literature
