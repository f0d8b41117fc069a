// The store's two promises to the windows and to a private diary: every word
// the user wrote passes the diary's codec (the file holds none of them, yet
// everything reads back and is found), and every committed write is said.
#include "diary/DiaryStore.h"
#include "diary/TextCodec.h"
#include "platform/error/Error.h"
#include "support/QtPrint.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace somnex::diary;

namespace {

// Seals by turning every character and tagging the result; a token is a
// hash. Nothing of a word the user wrote can be read in the file.
class TurningCodec final : public TextCodec {
public:
    QString seal(const QString &plain, const FieldOf &where) const override
    {
        QString out = QStringLiteral("~") + where.column + QLatin1Char('/') + where.entry.toString() + QLatin1Char('~');
        for (const QChar c : plain)
            out += QChar(char16_t(c.unicode() ^ 0x5A5A));
        return out;
    }
    QString open(const QString &sealed, const FieldOf &where) const override
    {
        const QString place =
            QStringLiteral("~") + where.column + QLatin1Char('/') + where.entry.toString() + QLatin1Char('~');
        if (!sealed.startsWith(place))
            throw somnex::Error(kErrorDamaged, QStringLiteral("Diary"), QStringLiteral("не отсюда: ") + sealed);
        QString out;
        for (const QChar c : QStringView(sealed).mid(place.size()))
            out += QChar(char16_t(c.unicode() ^ 0x5A5A));
        return out;
    }
    QString token(const QString &word) const override
    {
        return QString::fromLatin1(QCryptographicHash::hash(word.toUtf8(), QCryptographicHash::Sha256).toHex());
    }
};

Entry privateDream()
{
    Entry e;
    e.at = QDateTime(QDate(2026, 12, 9), QTime(4, 20), Qt::OffsetFromUTC, 3 * 3600);
    e.zone = QStringLiteral("Europe/Moscow");
    e.title = QStringLiteral("Лодка тётушки");
    e.text = QStringLiteral("Плыла на лодке по озеру, рядом собака Жучка.");
    e.place = Place{QStringLiteral("Вологда"), 59.22, 39.88};
    e.tags = {{QStringLiteral("отпуск"), TagKind::Plain},
              {QStringLiteral("Тётя Маша"), TagKind::Person},
              {QStringLiteral("Онего"), TagKind::Place}};
    e.symbols = {{QStringLiteral("Лодка"), Symbol::Origin::AddedByHand}};
    e.fulfilment = {Mark::Partly, QDate(2026, 12, 12), QStringLiteral("звонила сестра")};
    return e;
}

// Every byte of the diary's files (the log too), as UTF-8 text.
QByteArray fileBytes(const QString &path)
{
    QByteArray all;
    for (const char *suffix : {"", "-wal"}) {
        QFile f(path + QLatin1String(suffix));
        if (f.open(QIODevice::ReadOnly))
            all += f.readAll();
    }
    return all;
}

class StoreSealTest : public ::testing::Test {
protected:
    QString path() const { return dir.path() + "/diary.sqlite"; }
    QTemporaryDir dir;
};

} // namespace

TEST_F(StoreSealTest, EveryWordTheUserWroteIsSealedYetReadsBackAndIsFound)
{
    const auto codec = std::make_shared<TurningCodec>();
    QString id;
    {
        DiaryStore store(path());
        store.setCodec(codec);
        id = store.add(privateDream());
        Entry changed = *store.entry(id);
        changed.text += QStringLiteral(" Потом пошёл снег.");
        store.update(changed);
        store.setFulfilment(id, {Mark::Yes, QDate(2026, 12, 14), QStringLiteral("приехала тётя")});
    }
    const QByteArray bytes = fileBytes(path());
    for (const char *word : {"Лодка", "лодке", "тётушки", "Жучка", "Вологда", "отпуск", "Маша", "Онего", "сестра",
                             "приехала", "снег", "лодк", "жучк"})
        EXPECT_FALSE(bytes.contains(QByteArray(word))) << word << " is in the file as it was written";

    DiaryStore store(path());
    store.setCodec(codec);
    const Entry back = *store.entry(id);
    EXPECT_EQ(back.title, "Лодка тётушки");
    EXPECT_EQ(back.text, "Плыла на лодке по озеру, рядом собака Жучка. Потом пошёл снег.");
    ASSERT_TRUE(back.place);
    EXPECT_EQ(back.place->name, "Вологда");
    EXPECT_EQ(back.tags, privateDream().tags);
    EXPECT_EQ(back.symbols.first().headword, "Лодка");
    EXPECT_EQ(back.fulfilment.note, "приехала тётя");
    EXPECT_EQ(store.list().first().displayTitle, "Лодка тётушки");
    EXPECT_EQ(store.allEntries().first().text, back.text);
    EXPECT_EQ(store.allTags().size(), 3);

    // found by a word in any form, by a tag, a person, a symbol
    EXPECT_EQ(store.search({.text = QStringLiteral("лодка снегом")}), QStringList{id});
    EXPECT_EQ(store.search({.tags = {QStringLiteral("ТЁТЯ МАША")}}), QStringList{id});
    EXPECT_EQ(store.search({.symbol = QStringLiteral("лодка")}), QStringList{id});
    EXPECT_TRUE(store.search({.text = QStringLiteral("самолёт")}).isEmpty());

    // an unchanged text keeps its stems: the update found nothing to reindex wrongly
    Entry same = back;
    same.lucid = true;
    store.update(same);
    EXPECT_EQ(store.search({.text = QStringLiteral("жучку")}), QStringList{id});

    // opened without its codec, the diary's words do not pass for text
    DiaryStore plain(path());
    EXPECT_NE(plain.entry(id)->title, "Лодка тётушки");
}

TEST_F(StoreSealTest, EachCommittedWriteIsSaidOnceAndAFailedOneNot)
{
    DiaryStore store(path());
    QSignalSpy said(&store, &DiaryStore::changed);
    const auto last = [&] {
        const QList<QVariant> args = said.takeLast();
        return std::pair{args.at(0).value<DiaryStore::Change>(), args.at(1).toStringList()};
    };
    const QString id = store.add(privateDream());
    EXPECT_EQ(last(), std::pair(DiaryStore::Change::Added, QStringList{id}));
    const QStringList two = store.addAll({privateDream(), privateDream()});
    EXPECT_EQ(last(), std::pair(DiaryStore::Change::Added, two));
    Entry e = *store.entry(id);
    e.title = QStringLiteral("Другое");
    store.update(e);
    EXPECT_EQ(last(), std::pair(DiaryStore::Change::Updated, QStringList{id}));
    store.setFulfilment(id, {Mark::No, {}, {}});
    EXPECT_EQ(last(), std::pair(DiaryStore::Change::Updated, QStringList{id}));
    store.moveToTrash(id);
    EXPECT_EQ(last(), std::pair(DiaryStore::Change::Trashed, QStringList{id}));
    store.restore(id);
    EXPECT_EQ(last(), std::pair(DiaryStore::Change::Restored, QStringList{id}));
    store.purge(two.first());
    EXPECT_EQ(last(), std::pair(DiaryStore::Change::Purged, QStringList{two.first()}));
    EXPECT_EQ(said.count(), 0);

    // an import says only what it wrote: the older copy of a stored entry is not
    Entry older = *store.entry(id);
    older.updated = older.updated.addDays(-1);
    Entry fresh = privateDream();
    fresh.id = QStringLiteral("0badc0de-0000-4000-8000-000000000001");
    EXPECT_EQ(store.putAll({older, fresh}), 1);
    EXPECT_EQ(last(), std::pair(DiaryStore::Change::Imported, QStringList{fresh.id}));
    EXPECT_EQ(store.putAll({older}), 0);
    EXPECT_EQ(said.count(), 0) << "nothing written, nothing said";

    // refused writes say nothing
    Entry unclear = privateDream();
    unclear.clarity = 9;
    EXPECT_THROW(store.add(unclear), somnex::Error);
    EXPECT_THROW(store.restore(QStringLiteral("нет-такой")), somnex::Error);
    EXPECT_EQ(said.count(), 0);
}
