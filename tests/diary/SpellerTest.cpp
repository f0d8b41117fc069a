// Russian spelling with the real Russian dictionary (hunspell-ru): a
// misspelling found and its correction offered, ё and е alike, the books'
// headwords and the user's tags known, the personal list kept across a
// restart, and a damaged or unwritable list.

#include "diary/Speller.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace somnex::diary;

namespace {

class SpellerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        speller = Speller::load(list());
        ASSERT_TRUE(speller) << Speller::missingNote().toStdString() << " in "
                             << Speller::dictionaryFolder().toStdString();
    }
    QString list() const { return dir.path() + "/words.txt"; }
    QTemporaryDir dir;
    std::unique_ptr<Speller> speller;
};

} // namespace

TEST_F(SpellerTest, AMisspellingIsFoundAndItsCorrectionOffered)
{
    EXPECT_TRUE(speller->correct(QStringLiteral("Снилась")));
    EXPECT_FALSE(speller->correct(QStringLiteral("сабака")));
    EXPECT_TRUE(speller->suggestions(QStringLiteral("сабака")).contains(QStringLiteral("собака")));
    EXPECT_LE(speller->suggestions(QStringLiteral("сабака")).size(), 5);
    for (const char *w : {"ёлка", "елка", "Ёлка", "ещё", "еще", "собака"})
        EXPECT_TRUE(speller->correct(QString::fromUtf8(w))) << w;
    // Latin words, numbers and single letters are left alone.
    for (const char *w : {"Google", "2026", "я", "в"})
        EXPECT_TRUE(speller->correct(QString::fromUtf8(w))) << w;
}

TEST_F(SpellerTest, HeadwordsTagsAndThePersonalListAreKnown)
{
    EXPECT_FALSE(speller->correct(QStringLiteral("Дзюбенко")));
    speller->addKnown({QStringLiteral("Дзюбенко"), QStringLiteral("Обручальное кольцо")});
    EXPECT_TRUE(speller->correct(QStringLiteral("дзюбенко")));
    EXPECT_FALSE(speller->correct(QStringLiteral("Шмыгалово")));
    speller->ignore(QStringLiteral("Шмыгалово"));
    EXPECT_TRUE(speller->correct(QStringLiteral("Шмыгалово")));
    QString why;
    ASSERT_TRUE(speller->addToPersonal(QStringLiteral("Квазиморда"), &why)) << why.toStdString();
    EXPECT_EQ(QFileInfo(list()).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions())
        << "the list is the user's alone";
    // A restart reads the list; what was skipped is not kept.
    const std::unique_ptr<Speller> again = Speller::load(list());
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->correct(QStringLiteral("квазиморда")));
    EXPECT_FALSE(again->correct(QStringLiteral("Шмыгалово")));
    EXPECT_TRUE(again->personalProblem().isEmpty());
}

TEST_F(SpellerTest, ADamagedOrUnwritableListIsSaidAndIgnored)
{
    {
        QFile f(list());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\xff\xfe\x00 bad");
    }
    const std::unique_ptr<Speller> damaged = Speller::load(list());
    ASSERT_TRUE(damaged);
    EXPECT_TRUE(damaged->personalProblem().contains(QStringLiteral("повреждён")));
    EXPECT_FALSE(damaged->correct(QStringLiteral("сабака")));
    const std::unique_ptr<Speller> nowhere = Speller::load(dir.path() + "/нет/такой/папки/words.txt");
    ASSERT_TRUE(nowhere);
    QString why;
    EXPECT_FALSE(nowhere->addToPersonal(QStringLiteral("Квазиморда"), &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_TRUE(nowhere->correct(QStringLiteral("Квазиморда"))) << "taken for the session all the same";
    // Without the dictionary: no speller at all.
    qputenv("SOMNEX_HUNSPELL_DIR", dir.path().toLocal8Bit());
    EXPECT_EQ(Speller::load(list()), nullptr);
    qunsetenv("SOMNEX_HUNSPELL_DIR");
}
