// The diary's editing below the window: when a dream goes to disk, what a
// failed write keeps, the list as it follows the diary, the trash's undo.
#include "diary/EntryEditor.h"

#include "platform/error/Error.h"
#include "support/QtPrint.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace somnex::diary;

namespace {

class EntryEditorTest : public ::testing::Test {
protected:
    // The editor's timers need an event loop, nothing more.
    static void SetUpTestSuite()
    {
        if (!QCoreApplication::instance())
            app = new QCoreApplication(argc, argv);
    }
    static void TearDownTestSuite()
    {
        delete app;
        app = nullptr;
    }
    void SetUp() override
    {
        editor.setShown([this] {
            Entry e = editor.entry();
            e.text = typed;
            return e;
        });
    }
    Entry fresh() const
    {
        Entry e;
        e.at = QDateTime(QDate(2026, 12, 9), QTime(6, 30), Qt::OffsetFromUTC, 3 * 3600);
        return e;
    }
    QString path() const { return dir.path() + "/diary.sqlite"; }
    QTemporaryDir dir;
    EntryEditor editor;
    QString typed; // what the window's text box holds

private:
    static inline int argc = 1;
    static inline char name[] = "test_diary";
    static inline char *argv[] = {name, nullptr};
    static inline QCoreApplication *app = nullptr;
};

} // namespace

TEST_F(EntryEditorTest, AChangeGoesToDiskWithinASecondAndAnEmptyDreamNever)
{
    DiaryStore store(path());
    editor.setStore(&store);
    QSignalSpy saved(&editor, &EntryEditor::saved);
    editor.load(fresh());
    editor.changed(); // a box touched, no word yet
    EXPECT_TRUE(editor.save());
    EXPECT_FALSE(store.exists()) << "nothing written before the first word";

    typed = "Кошка";
    editor.changed();
    ASSERT_TRUE(saved.wait(3000)) << "the pause saves by itself";
    EXPECT_EQ(saved.takeFirst().at(0).toBool(), true);
    ASSERT_FALSE(editor.entry().id.isEmpty());
    EXPECT_FALSE(editor.dirty());
    EXPECT_EQ(store.entry(editor.entry().id)->text, "Кошка");

    typed = "Кошка и собака";
    editor.changed();
    EXPECT_TRUE(editor.save());
    EXPECT_EQ(saved.takeFirst().at(0).toBool(), false) << "the second save updates";
    EXPECT_EQ(store.list().size(), 1);
    EXPECT_TRUE(editor.save()) << "nothing changed: nothing to do";
    EXPECT_EQ(saved.count(), 0);
}

TEST_F(EntryEditorTest, AFailedWriteKeepsTheDreamSaysSoOnceAndTheNextWrites)
{
    // the diary's folder is a file: every write fails until it goes
    const QString blocked = dir.path() + "/Diary";
    QFile block(blocked);
    ASSERT_TRUE(block.open(QIODevice::WriteOnly));
    block.close();
    DiaryStore store(blocked + "/diary.sqlite");
    editor.setStore(&store);
    QSignalSpy failed(&editor, &EntryEditor::saveFailed);
    editor.load(fresh());
    typed = "Сон, который нельзя потерять";
    editor.changed();
    EXPECT_FALSE(editor.save());
    EXPECT_FALSE(editor.save());
    ASSERT_EQ(failed.count(), 2);
    EXPECT_TRUE(failed.at(0).at(1).toBool()) << "the first failure is to be asked about";
    EXPECT_FALSE(failed.at(1).at(1).toBool()) << "the next are not";
    EXPECT_TRUE(failed.at(0).at(0).toString().contains("diary.sqlite"));
    EXPECT_TRUE(editor.dirty()) << "the dream still waits to be written";

    ASSERT_TRUE(QFile::remove(blocked));
    EXPECT_TRUE(editor.save());
    EXPECT_EQ(store.entry(editor.entry().id)->text, "Сон, который нельзя потерять");
    EXPECT_FALSE(editor.save() && failed.count() > 2);
}

TEST_F(EntryEditorTest, TheListFollowsTheDiaryAndTheTrashGivesBack)
{
    DiaryStore store(path());
    editor.setStore(&store);
    QSignalSpy stale(&editor, &EntryEditor::listStale);
    const QString other = store.add([&] {
        Entry e = fresh();
        e.text = "Лес";
        return e;
    }());
    EXPECT_EQ(stale.count(), 1);
    EXPECT_EQ(editor.listed({}).size(), 1);

    editor.load(fresh());
    typed = "Вода";
    editor.changed();
    ASSERT_TRUE(editor.save());
    EXPECT_EQ(editor.listed({}).size(), 2) << "a new dream is listed";
    stale.clear();
    typed = "Вода в реке";
    editor.changed();
    ASSERT_TRUE(editor.save());
    EXPECT_EQ(stale.count(), 0) << "the shown dream's own save does not read the list again";
    QStringList titles;
    for (const EntrySummary &s : editor.listed({}))
        titles << s.displayTitle;
    EXPECT_TRUE(titles.contains("Вода в реке")) << titles.join(", ").toStdString();

    ListQuery found;
    found.filter.text = "рекой";
    EXPECT_EQ(editor.listed(found).size(), 1);

    const QString id = editor.entry().id;
    EXPECT_EQ(editor.moveToTrash(), "Вода в реке");
    EXPECT_GE(stale.count(), 1);
    EXPECT_EQ(editor.listed({}).size(), 1);
    ListQuery trash;
    trash.trash = true;
    trash.filter.text = "вода";
    EXPECT_EQ(editor.listed(trash).size(), 1) << "the trash looks in the titles";
    EXPECT_EQ(editor.undoTrash(), id);
    EXPECT_TRUE(editor.undoTrash().isEmpty()) << "given back once";
    EXPECT_EQ(editor.listed({}).size(), 2);

    store.purge(other); // another part of the program writes
    EXPECT_EQ(editor.listed({}).size(), 1);
}
