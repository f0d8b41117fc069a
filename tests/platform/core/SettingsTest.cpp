#include "platform/core/Messages.h"
#include "platform/core/Settings.h"
#include "support/TempProfile.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include "support/QtPrint.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace somnex;

namespace {
const QString kApp = QStringLiteral("ZUL_Programming");
const QString kMain = QStringLiteral("Somnex3");
const QString kBooks = QStringLiteral("Somnex3\\books");
} // namespace

TEST(Settings, MissingKeysGiveTheDefaultAsText)
{
    TempProfile p;
    EXPECT_EQ(GetSetting(kApp, kMain, "Height", 6100), "6100");
    EXPECT_EQ(GetSetting(kApp, kMain, "ToTray", false), "False");
    EXPECT_EQ(GetSetting(kApp, kMain, "LastWord"), "");
    EXPECT_EQ(GetSettingInt(kApp, kMain, "MenuTransp", 205), 205);
    EXPECT_FALSE(QFile::exists(settingsFilePath())) << "reading must not create the store";
}

TEST(Settings, AnyTextRoundTripsExactly)
{
    TempProfile p;
    const QString keys[] = {
        "/usr/share/ZUL Programming/ZUL Somnex/3.1/Books/narodny.book",
        "C:\\Books\\a.book",
        "a=b",
        "[section]",
        "  padded  ",
        "Сонник*",
        "ключ;с;точками",
        "",
        "\t\n",
    };
    const QString values[] = {"1", "0", " spaced ", "=[]\\/", "Ёлка и ёж", "line\r\nbreak", ""};
    int i = 0;
    for (const QString &k : keys)
        SaveSetting(kApp, kBooks, k, values[i++ % std::size(values)]);
    SaveSetting(kApp, "Sec=tion[x]\\y", "k", "v");
    i = 0;
    for (const QString &k : keys)
        EXPECT_EQ(GetSetting(kApp, kBooks, k, "missing"), values[i++ % std::size(values)]) << k.toStdString();
    EXPECT_EQ(GetSetting(kApp, "Sec=tion[x]\\y", "k"), "v");
    // sections and applications are separate
    EXPECT_EQ(GetSetting(kApp, kMain, keys[0], "missing"), "missing");
    EXPECT_EQ(GetSetting("Other", kBooks, keys[0], "missing"), "missing");
}

TEST(Settings, TypedReadsFallBackOnUnconvertibleText)
{
    TempProfile p;
    struct Case {
        const char *stored;
        int asInt;
        double asReal;
        bool asBool;
    };
    const Case cases[] = {
        {"False", 7, 7.5, false},
        {"True", 7, 7.5, true},
        {"true", 7, 7.5, true},
        {"0", 0, 0.0, false},
        {"1", 1, 1.0, true},
        {"6100", 6100, 6100.0, true},
        {"6100.4", 6100, 6100.4, true},
        {"abc", 7, 7.5, true},
        {"", 7, 7.5, true},
        {" 42 ", 42, 42.0, true},
        {"1e400", 7, 7.5, true},
        {"nan", 7, 7.5, true},
        {"99999999999", 7, 99999999999.0, true},
    };
    for (const auto &c : cases) {
        SaveSetting(kApp, kMain, "V", QString::fromUtf8(c.stored));
        EXPECT_EQ(GetSettingInt(kApp, kMain, "V", 7), c.asInt) << c.stored;
        EXPECT_DOUBLE_EQ(GetSettingReal(kApp, kMain, "V", 7.5), c.asReal) << c.stored;
        EXPECT_EQ(GetSettingBool(kApp, kMain, "V", true), c.asBool) << c.stored;
    }
    SaveSetting(kApp, kMain, "B", false);
    EXPECT_EQ(GetSetting(kApp, kMain, "B"), "False");
    SaveSetting(kApp, kMain, "R", 6100.0);
    EXPECT_EQ(GetSetting(kApp, kMain, "R"), "6100");
}

TEST(Settings, ABrokenStoreReadsAsEmptyAndIsKeptAsideOnSave)
{
    TempProfile p;
    SaveSetting(kApp, kMain, "Height", "5000");
    const QByteArray broken = "{ \"ZUL_Programming\": { \"Somnex3\": { \"Height\": \"5000\", } } }";
    {
        QFile f(settingsFilePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(broken); // a hand edit with one comma too many
    }
    EXPECT_EQ(GetSetting(kApp, kMain, "Height", 6100), "6100");
    SaveSetting(kApp, kMain, "Width", "4100");
    EXPECT_EQ(GetSetting(kApp, kMain, "Width"), "4100");
    QFile aside(settingsFilePath() + ".bad");
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly)) << "the user's file is kept";
    EXPECT_EQ(aside.readAll(), broken);
    aside.close();
    SaveSetting(kApp, kMain, "Top", "15");
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), broken) << "a later save of the new store leaves it alone";
}

TEST(Settings, ABatchWritesOnceAndNestedBatchesJoin)
{
    TempProfile p;
    {
        SettingsBatch outer;
        SaveSetting(kApp, kMain, "A", "1");
        {
            SettingsBatch inner;
            SaveSetting(kApp, kMain, "B", "2");
        }
        EXPECT_FALSE(QFile::exists(settingsFilePath())) << "nothing written before the outer batch ends";
        EXPECT_EQ(GetSetting(kApp, kMain, "B"), "2") << "reads inside a batch see its saves";
    }
    EXPECT_EQ(GetSetting(kApp, kMain, "A"), "1");
    EXPECT_EQ(GetSetting(kApp, kMain, "B"), "2");
}

TEST(Settings, AKillDuringSavesLeavesAWholeStore)
{
    TempProfile p;
    SaveSetting(kApp, kMain, "Counter", "0");
    const QString big(20000, QChar(u'Ж'));
    for (int round = 0; round < 5; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 1;; ++i) {
                SaveSetting(kApp, kMain, "Counter", QString::number(i));
                SaveSetting(kApp, kBooks, QString::number(i % 50), big);
            }
        }
        usleep(30000 + round * 7000);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        QFile f(settingsFilePath());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        QJsonParseError err{};
        QJsonDocument::fromJson(f.readAll(), &err);
        EXPECT_EQ(err.error, QJsonParseError::NoError) << "round " << round;
        bool ok = false;
        GetSetting(kApp, kMain, "Counter").toInt(&ok);
        EXPECT_TRUE(ok);
    }
}

TEST(Settings, AStoreThatCannotBeWrittenGivesOneMessage)
{
    TempProfile p;
    QStringList messages;
    SetMessageHandler([&](const Message &m) {
        messages << m.text;
        return MsgResult::Ok;
    });
    // The store's folder cannot be made: a file has its name (the same for
    // root, whom permissions would not stop).
    {
        QFile blocker(p.path() + "/zul-somnex");
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    SaveSetting(kApp, kMain, "ListMode", "0");
    SaveSetting(kApp, kMain, "LastWord", "Вода");
    {
        SettingsBatch batch;
        SaveSetting(kApp, kMain, "Top", "100");
    }
    ASSERT_EQ(messages.size(), 1) << "one message, not one per value";
    EXPECT_TRUE(messages[0].startsWith("Не удалось сохранить настройки программы в файл\n" + settingsFilePath() + "\n"))
        << messages[0].toStdString();
    EXPECT_EQ(GetSetting(kApp, kMain, "ListMode"), "0") << "the run keeps what it could not store";

    // Writable again: saves succeed quietly, and a later failure is told again.
    QFile::remove(p.path() + "/zul-somnex");
    SaveSetting(kApp, kMain, "ListMode", "1");
    EXPECT_EQ(messages.size(), 1);
    EXPECT_TRUE(QFile::exists(settingsFilePath()));
    QFile::remove(settingsFilePath());
    QDir(p.path()).rmdir("zul-somnex");
    {
        QFile blocker(p.path() + "/zul-somnex");
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    SaveSetting(kApp, kMain, "ListMode", "0");
    EXPECT_EQ(messages.size(), 2);
    SetMessageHandler({});
}
