#include "literature/Shelf.h"
#include "platform/rtf/RtfReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "support/QtPrint.h"

#include <gtest/gtest.h>

using namespace somnex;
using namespace somnex::literature;

namespace {

void touch(const QString &path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write("{\\rtf1 x}");
}

} // namespace

TEST(Shelf, NamesWithoutExtension)
{
    struct Case {
        const char *file, *name;
    };
    const Case cases[] = {
        {"Сны.lit", "Сны"},
        {"a.b.lit", "a.b"},
        {".lit", ""},
        {"no dot", "no dot"},
        {"name.", "name"},
        {"x.0123456789", "x"},              // ten characters: still an extension
        {"x.01234567890", "x.01234567890"}, // eleven: part of the name
        {"Сон. Часть 2", "Сон"},            // a short tail after a dot counts as an extension
        {"Сон. Часть вторая", "Сон. Часть вторая"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(NameWithoutExtension(QString::fromUtf8(c.file)), QString::fromUtf8(c.name)) << c.file;
}

TEST(Shelf, BuildsFromAFolderWithMarks)
{
    QTemporaryDir dir;
    for (const char *f : {"Б.lit", "а.LIT", "в.txt", ".lit", "г.lit"})
        touch(dir.filePath(QString::fromUtf8(f)));
    QDir().mkpath(dir.filePath("папка.lit")); // a folder is no article
    const QString folder = dir.path();
    QStringList asked;
    const Shelf s = BuildShelf(folder, [&](const QString &key) {
        asked << key;
        if (key == folder + "/Б.lit")
            return QStringLiteral("f");
        if (key == folder + "/г.lit")
            return QStringLiteral("F"); // only "f" marks a favourite
        return QString();
    });
    QStringList texts, tags;
    for (const Node &a : s.articles) {
        texts << a.text;
        tags << a.tag;
    }
    EXPECT_EQ(texts, (QStringList{"", "а", "Б", "г"})) << "by name, letter case ignored";
    EXPECT_EQ(tags, (QStringList{"", "", "f", ""}));
    EXPECT_EQ(asked.size(), 4);
    ASSERT_EQ(s.favourites.size(), 1u);
    EXPECT_EQ(s.favourites[0].key, folder + "/Б.lit*");
    EXPECT_EQ(s.favourites[0].text, "Б");
    EXPECT_EQ(s.favourites[0].tag, "");

    for (const QString &missing : {QString(), dir.filePath("нет такой")}) {
        const Shelf empty = BuildShelf(missing, [](const QString &) { return QStringLiteral("f"); });
        EXPECT_TRUE(empty.articles.empty());
        EXPECT_TRUE(empty.favourites.empty());
    }
}

TEST(Shelf, BundledArticlesRead)
{
    const QDir texts(QStringLiteral(SOMNEX_TEXTS_DIR));
    const QStringList files = ArticleFiles(texts.path());
    ASSERT_GE(files.size(), 4);
    for (const QString &name : files) {
        QFile f(texts.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray data = f.readAll();
        EXPECT_TRUE(data.contains("\\ansicpg1251")) << name.toStdString();
        const RtfReadResult r = ReadRtf(data);
        ASSERT_TRUE(r.ok()) << name.toStdString() << ": " << r.error.toStdString();
        ASSERT_FALSE(r.runs.empty());
        EXPECT_TRUE(r.runs[0].bold) << "a bold heading";
        EXPECT_EQ(r.runs[0].text, NameWithoutExtension(name)) << "the heading is the title";
        const QString text = RtfPlainText(r.runs);
        EXPECT_GT(text.count(QLatin1Char('\n')), 6) << "a few paragraphs";
        EXPECT_FALSE(text.contains(QChar(0xFFFD)));
        EXPECT_FALSE(text.contains(QLatin1Char('?'))) << "every character came through the code page";
    }
}
