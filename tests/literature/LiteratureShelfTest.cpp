#include "appstate/AppState.h"
#include "dictionary/BookSource.h"
#include "literature/Shelf.h"
#include "platform/core/Messages.h"
#include "platform/core/Settings.h"
#include "shell/DictionaryPanel.h"
#include "shell/Form1.h"
#include "shell/LiteraturePanel.h"
#include "shell/TraySide.h"
#include "support/FormParts.h"
#include "support/TempProfile.h"
#include "support/TestShare.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "support/QtPrint.h"

#include <gtest/gtest.h>

#include <memory>

using namespace somnex;

namespace {

const QString A = AppState::App, M = AppState::Main, B = AppState::Books;

// The main window on one small book, with the articles the test writes.
class LiteratureShelfTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        texts = share.texts();
        share.writeBook("a.book", {"Вода"});
        app() = AppState{};
        SetProcessEnd([] {});
        SetMessageHandler([this](const Message &m) {
            messages.push_back(m);
            return MsgResult::Ok;
        });
        TraySide::setAvailableOverride(1);
    }
    void TearDown() override
    {
        form.reset();
        SetProcessEnd({});
        SetMessageHandler({});
        TraySide::setAvailableOverride(-1);
    }
    void article(const QString &name, const QByteArray &rtf)
    {
        QDir().mkpath(texts);
        QFile f(texts + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(rtf);
    }
    Form1 &load()
    {
        form = std::make_unique<Form1>();
        form->Form_Load();
        return *form;
    }
    QStringList children(const QString &key)
    {
        QStringList out;
        const QTreeWidgetItem *n = part<LiteraturePanel>(*form, "Picture3")->litNode(key);
        for (int i = 0; n && i < n->childCount(); ++i)
            out << n->child(i)->text(0) + "|" + LiteraturePanel::nodeTag(n->child(i));
        return out;
    }
    void click(const QString &key)
    {
        QTreeWidgetItem *n = part<LiteraturePanel>(*form, "Picture3")->litNode(key);
        ASSERT_TRUE(n) << key.toStdString();
        part<QTreeWidget>(*form, "TreeView1")->setCurrentItem(n);
        part<LiteraturePanel>(*form, "Picture3")->TreeView1_NodeClick(n);
    }

    TempProfile profile;
    TestShare share;
    QString texts;
    std::unique_ptr<Form1> form;
    std::vector<Message> messages;
};

} // namespace

TEST_F(LiteratureShelfTest, TreeFromTheTextsFolderAndMarks)
{
    article("Сны.lit", "{\\rtf1 a}");
    article("Луна.lit", "{\\rtf1 b}");
    SaveSetting(A, B, texts + "/Сны.lit", "f");
    SaveSetting(A, M, "LitFExpanded", "False");
    Form1 &f = load();
    ASSERT_EQ(part<QTreeWidget>(f, "TreeView1")->topLevelItemCount(), 2);
    EXPECT_EQ(part<QTreeWidget>(f, "TreeView1")->topLevelItem(0)->text(0), "Вся литература");
    EXPECT_EQ(part<QTreeWidget>(f, "TreeView1")->topLevelItem(1)->text(0), "Избранная литература");
    EXPECT_EQ(LiteraturePanel::nodeKey(part<QTreeWidget>(f, "TreeView1")->topLevelItem(0)), "all");
    EXPECT_EQ(LiteraturePanel::nodeKey(part<QTreeWidget>(f, "TreeView1")->topLevelItem(1)), "fav");
    EXPECT_TRUE(part<LiteraturePanel>(f, "Picture3")->litNode("all")->isExpanded());
    EXPECT_FALSE(part<LiteraturePanel>(f, "Picture3")->litNode("fav")->isExpanded());
    EXPECT_EQ(children("all"), (QStringList{"Луна|", "Сны|f"}));
    EXPECT_EQ(children("fav"), (QStringList{"Сны|"})) << "a favourite is listed under both groups";
    EXPECT_TRUE(part<LiteraturePanel>(f, "Picture3")->litNode(texts + "/Сны.lit*"));
}

TEST_F(LiteratureShelfTest, ButtonsFollowTheNodeAndFavouritesComeAndGo)
{
    article("Сны.lit", "{\\rtf1 a}");
    SaveSetting(A, B, texts + "/Сны.lit", "f");
    Form1 &f = load();
    const QString key = texts + "/Сны.lit";
    struct Step {
        QString node;
        bool tolk, add, remove;
    };
    const Step steps[] = {
        {"all", false, false, false},
        {"fav", false, false, false},
        {key, true, false, false},
        {key + "*", true, false, true},
    };
    for (const Step &s : steps) {
        click(s.node);
        EXPECT_EQ(part<QAction>(f, "Tolk")->isEnabled(), s.tolk) << s.node.toStdString();
        EXPECT_EQ(part<QAction>(f, "addFavourite")->isEnabled(), s.add) << s.node.toStdString();
        EXPECT_EQ(part<QAction>(f, "removeFavourite")->isEnabled(), s.remove) << s.node.toStdString();
    }
    // remove the favourite copy: the mark goes, "add" returns on the next click
    part<LiteraturePanel>(f, "Picture3")->Toolbar3_ButtonClick(FavouriteButton::Remove);
    EXPECT_FALSE(part<QAction>(f, "removeFavourite")->isEnabled());
    EXPECT_FALSE(part<LiteraturePanel>(f, "Picture3")->litNode(key + "*"));
    EXPECT_EQ(children("fav"), QStringList{});
    EXPECT_EQ(LiteraturePanel::nodeTag(part<LiteraturePanel>(f, "Picture3")->litNode(key)), "");
    click(key);
    EXPECT_TRUE(part<QAction>(f, "addFavourite")->isEnabled());
    // and add it again
    part<LiteraturePanel>(f, "Picture3")->Toolbar3_ButtonClick(FavouriteButton::Add);
    EXPECT_FALSE(part<QAction>(f, "addFavourite")->isEnabled());
    EXPECT_EQ(children("fav"), (QStringList{"Сны|"}));
    EXPECT_EQ(LiteraturePanel::nodeTag(part<LiteraturePanel>(f, "Picture3")->litNode(key)), "f");
    EXPECT_TRUE(messages.empty());
    // adding once more is refused with a warning
    part<LiteraturePanel>(f, "Picture3")->Toolbar3_ButtonClick(FavouriteButton::Add);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Сны уже есть в избранном!");
    EXPECT_EQ(messages[0].title, "Литература");
    EXPECT_EQ(messages[0].icon, MsgIcon::Warning);
    EXPECT_EQ(children("fav").size(), 1);
}

TEST_F(LiteratureShelfTest, StatusTextAndWordLabel)
{
    struct Case {
        int articles;
        QString status;
    };
    const Case cases[] = {{0, "0 книжных статей"}, {3, "3 книжных статей"}};
    for (const Case &c : cases) {
        QDir(texts).removeRecursively();
        QDir().mkpath(texts);
        for (int i = 0; i < c.articles; ++i)
            article(QString("Статья номер %1 с длинным названием.lit").arg(i), "{\\rtf1 x}");
        app() = AppState{};
        Form1 &f = load();
        f.resize(600, 400);
        part<LiteraturePanel>(f, "Picture3")->TreeView1_GotFocus();
        EXPECT_TRUE(app().LiteratureActive);
        EXPECT_EQ(part<QLabel>(f, "Label7")->property("fullText").toString(), c.status);
        EXPECT_EQ(part<QLabel>(f, "Label7")->text(), c.status);
        f.StatusBar1_Resize();
        EXPECT_EQ(part<QLabel>(f, "Label7")->property("fullText").toString(), c.status) << "the word counts stay away";
        if (c.articles > 0) {
            click(texts + "/Статья номер 0 с длинным названием.lit");
            EXPECT_EQ(part<QLabel>(f, "Label6")->text(), "Статья номер 0 с дл...");
        }
    }
}

TEST_F(LiteratureShelfTest, MarksAndExpansionStoredAtTheOrderlyExit)
{
    article("Сны.lit", "{\\rtf1 a}");
    article("Луна.lit", "{\\rtf1 b}");
    SaveSetting(A, B, texts + "/Луна.lit", "f");
    Form1 &f = load();
    click(texts + "/Луна.lit*");
    part<LiteraturePanel>(f, "Picture3")->Toolbar3_ButtonClick(FavouriteButton::Remove);
    click(texts + "/Сны.lit");
    part<LiteraturePanel>(f, "Picture3")->Toolbar3_ButtonClick(FavouriteButton::Add);
    part<LiteraturePanel>(f, "Picture3")->litNode("all")->setExpanded(false);
    ExitApp(ExitMode::StoreState);
    EXPECT_EQ(GetSetting(A, B, texts + "/Сны.lit", "?"), "f");
    EXPECT_EQ(GetSetting(A, B, texts + "/Луна.lit", "?"), "");
    EXPECT_EQ(GetSetting(A, B, texts + "/Сны.lit*", "?"), "");
    EXPECT_EQ(GetSetting(A, B, "fav", "?"), "");
    EXPECT_EQ(GetSetting(A, B, "all", "?"), "?") << "the first node is not stored";
    EXPECT_EQ(GetSetting(A, M, "LitAExpanded", "?"), "False");
    EXPECT_EQ(GetSetting(A, M, "LitFExpanded", "?"), "True");

    // the next run finds the shelf as it was left
    app() = AppState{};
    Form1 &g = load();
    EXPECT_EQ(children("fav"), (QStringList{"Сны|"}));
    EXPECT_FALSE(part<LiteraturePanel>(g, "Picture3")->litNode("all")->isExpanded());
}

TEST_F(LiteratureShelfTest, ArticleShownInTheInterpretationWindow)
{
    article("Сны.lit",
            "{\\rtf1\\ansi\\ansicpg1251{\\b \\'d1\\'ed\\'fb}\\par \\'c2\\'ee\\'e4\\'e0 \\u8212? \\i x\\par}");
    article("Битая.lit", "просто текст");
    Form1 &f = load();
    // the word first, then the article over it
    part<QAction>(f, "Tolk")->setChecked(true);
    f.ShowTolk();
    ASSERT_TRUE(f.tolk());
    EXPECT_EQ(f.tolk()->windowTitle(), "Вода");
    part<LiteraturePanel>(f, "Picture3")->TreeView1_GotFocus();
    click(texts + "/Сны.lit");
    part<LiteraturePanel>(f, "Picture3")->TreeView1_DblClick();
    EXPECT_TRUE(messages.empty()) << (messages.empty() ? "" : messages[0].text.toStdString());
    TolkView *v = f.tolk()->RichTextBox1;
    EXPECT_EQ(f.tolk()->windowTitle(), "Сны");
    EXPECT_EQ(v->builtText(), "Сны\r\nВода — x\r\n");
    EXPECT_EQ(v->Tag, "Вода") << "the word shown before stays in the Tag";
    EXPECT_EQ(v->document()->toPlainText(), "Сны\nВода — x\n");
    v->setSel(5, 4);
    EXPECT_EQ(v->selText(), "Вода") << "positions count CR LF as two";
    EXPECT_TRUE(v->rtf(true).contains("\\'c2\\'ee\\'e4\\'e0")) << "copy carries the text";

    // the favourite copy opens the same article under its own caption
    click(texts + "/Сны.lit");
    part<LiteraturePanel>(f, "Picture3")->Toolbar3_ButtonClick(FavouriteButton::Add);
    click(texts + "/Сны.lit*");
    part<LiteraturePanel>(f, "Picture3")->TreeView1_DblClick();
    EXPECT_EQ(v->builtText(), "Сны\r\nВода — x\r\n");

    // a group has no file: nothing happens, no error
    click("all");
    part<LiteraturePanel>(f, "Picture3")->TreeView1_DblClick();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(v->builtText(), "Сны\r\nВода — x\r\n");

    // a file that is not RTF, and one gone missing, are reported by ShowTolk
    click(texts + "/Битая.lit");
    part<LiteraturePanel>(f, "Picture3")->TreeView1_DblClick();
    QFile::remove(texts + "/Сны.lit");
    click(texts + "/Сны.lit");
    part<LiteraturePanel>(f, "Picture3")->TreeView1_DblClick();
    ASSERT_EQ(messages.size(), 2u);
    for (const Message &m : messages) {
        EXPECT_EQ(m.title, "ShowTolk");
        EXPECT_EQ(m.icon, MsgIcon::Error);
    }
    EXPECT_TRUE(messages[0].text.contains("RTF")) << messages[0].text.toStdString();
    EXPECT_TRUE(messages[1].text.contains("Файл не найден")) << messages[1].text.toStdString();
    EXPECT_EQ(v->builtText(), "") << "the view was emptied before the load";
}
