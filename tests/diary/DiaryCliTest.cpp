// somnex-cli diary as a user runs it: a book of the test's own for the
// symbols, a profile and a data folder of its own, Moscow time.
#include "DiaryTestFiles.h"
#include "dictionary/BookSource.h"
#include "support/QtPrint.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace somnex::dictionary;

namespace {

struct CliRun {
    int code = -1;
    QString out, err;
    QJsonValue json() const
    {
        const QJsonDocument d = QJsonDocument::fromJson(out.toUtf8());
        return d.isArray() ? QJsonValue(d.array()) : QJsonValue(d.object());
    }
};

class DiaryCliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString folder = share.path() + "/ZUL Programming/ZUL Somnex/3.1/Books";
        QDir().mkpath(folder);
        BookContent b;
        b.name = b.heading = "Тестовый";
        b.color = "139";
        for (const char *w : {"Собака", "Река", "Луна"})
            b.entries.push_back({QString::fromUtf8(w), "к добру", std::nullopt, 0});
        QFile f(folder + "/a.book");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(buildBookImage(b));
    }
    CliRun run(const QStringList &args, const QByteArray &input = {})
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TZ", "Europe/Moscow");
        env.insert("SOMNEX_DATA_DIR", share.path());
        env.insert("XDG_CONFIG_HOME", profile.path() + "/config");
        env.insert("XDG_DATA_HOME", profile.path() + "/data");
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("SOMNEX_BUILD_DIR") + "/bin/somnex-cli", args);
        if (!input.isNull())
            p.write(input);
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(30000));
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    QString diary() const { return profile.path() + "/data/ZUL Programming/ZUL Somnex/3.1/Diary/diary.sqlite"; }
    // A file of the test's own holding a secret (a password, a recovery key).
    QString secretFile(const char *name, const QByteArray &text)
    {
        QFile f(secrets.filePath(QString::fromUtf8(name)));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return f.fileName();
    }
    QTemporaryDir share, profile, secrets;
};

} // namespace

TEST_F(DiaryCliTest, AddShowSearchMarkDelete)
{
    const CliRun empty = run({"diary", "list", "--json"});
    EXPECT_EQ(empty.code, 0) << empty.err.toStdString();
    EXPECT_EQ(empty.json().toArray().size(), 0);
    EXPECT_FALSE(QFileInfo::exists(diary())) << "listing creates no diary";

    const CliRun added = run({"diary", "add", "--at", "2026-12-09 03:00", "--tag", "Работа", "--lucid", "--lat",
                              "55.75", "--lon", "37.5833", "Большая собака бежала к реке"});
    ASSERT_EQ(added.code, 0) << added.err.toStdString();
    const QString id = added.out.trimmed();
    EXPECT_EQ(id.size(), 36) << added.out.toStdString();

    const CliRun shown = run({"diary", "show", id, "--json"});
    ASSERT_EQ(shown.code, 0) << shown.err.toStdString();
    const QJsonObject o = shown.json().toObject();
    EXPECT_EQ(o["id"].toString(), id);
    EXPECT_EQ(o["at"].toString(), "2026-12-09T03:00:00+03:00");
    EXPECT_EQ(o["zone"].toString(), "Europe/Moscow");
    EXPECT_EQ(o["night"].toString(), "2026-12-08");
    EXPECT_EQ(o["title"].toString(), "");
    EXPECT_EQ(o["text"].toString(), "Большая собака бежала к реке");
    EXPECT_TRUE(o["lucid"].toBool());
    EXPECT_EQ(o["tags"].toArray().at(0).toObject()["text"].toString(), "Работа");
    EXPECT_EQ(o["symbols"].toArray(), (QJsonArray{"Собака", "Река"}));
    EXPECT_EQ(o["mark"].toString(), "none");

    // The lunar day and the three texts are the calendar's for that moment.
    const CliRun cal = run({"calendar", "--at", "2026-12-09 03:00", "--lat", "55.75", "--lon", "37.5833", "--json"});
    ASSERT_EQ(cal.code, 0);
    const QJsonObject c = cal.json().toObject();
    const QJsonObject lunar = o["lunarDay"].toObject();
    EXPECT_EQ(lunar["number"].toInt(), c["lunarDay"].toInt());
    EXPECT_EQ(lunar["start"].toString(), c["lunarDayStart"].toString().replace(' ', 'T') + "+03:00");
    EXPECT_EQ(lunar["end"].toString(), c["lunarDayEnd"].toString().replace(' ', 'T') + "+03:00");
    const QJsonObject f = o["fulfilment"].toObject();
    EXPECT_EQ(f["lunarDay"].toString(), c["lunarDayText"].toString());
    EXPECT_EQ(f["weekday"].toString(), c["weekdayText"].toString());
    EXPECT_EQ(f["monthDay"].toString(), c["dayText"].toString());
    EXPECT_FALSE(f["monthDay"].toString().isEmpty());

    const CliRun found = run({"diary", "search", "собаку", "--json"});
    ASSERT_EQ(found.code, 0);
    ASSERT_EQ(found.json().toArray().size(), 1);
    EXPECT_EQ(found.json().toArray().at(0).toObject()["id"].toString(), id);
    EXPECT_EQ(run({"diary", "search", "кошка", "--json"}).json().toArray().size(), 0);

    EXPECT_EQ(run({"diary", "mark", id.left(8), "yes"}).code, 0);
    const QJsonObject marked = run({"diary", "show", id, "--json"}).json().toObject();
    EXPECT_EQ(marked["mark"].toString(), "yes");
    EXPECT_FALSE(marked["markedOn"].isNull());

    const CliRun listed = run({"diary", "list", "--json"});
    ASSERT_EQ(listed.json().toArray().size(), 1);
    const QJsonObject item = listed.json().toArray().at(0).toObject();
    EXPECT_EQ(item["id"].toString(), id);
    EXPECT_EQ(item["at"].toString(), "2026-12-09T03:00:00+03:00");
    EXPECT_EQ(item["night"].toString(), "2026-12-08");
    EXPECT_EQ(item["title"].toString(), "Большая собака бежала к реке");

    const CliRun deleted = run({"diary", "delete", id});
    EXPECT_EQ(deleted.code, 0);
    EXPECT_EQ(deleted.out, "Сон «Большая собака бежала к реке» перенесён в корзину (вернуть: somnex-cli diary restore "
                               + id + ").\n");
    EXPECT_EQ(run({"diary", "list", "--json"}).json().toArray().size(), 0);
    EXPECT_FALSE(run({"diary", "show", id, "--json"}).json().toObject()["deletedAt"].isNull());
    const CliRun inTrash = run({"diary", "list", "--trash", "--json"});
    ASSERT_EQ(inTrash.json().toArray().size(), 1);
    EXPECT_EQ(inTrash.json().toArray().at(0).toObject()["id"].toString(), id);
    EXPECT_TRUE(run({"diary", "list", "--trash"}).out.contains("Большая собака"));
    const CliRun again = run({"diary", "delete", id});
    EXPECT_EQ(again.code, 1) << "already in the trash";
    EXPECT_EQ(again.err, "Сон «Большая собака бежала к реке» уже в корзине.\n");
    const CliRun restored = run({"diary", "restore", id});
    EXPECT_EQ(restored.code, 0);
    EXPECT_EQ(restored.out, "Сон «Большая собака бежала к реке» возвращён из корзины.\n");
    EXPECT_EQ(run({"diary", "restore", id}).code, 1) << "not in the trash";
    EXPECT_EQ(run({"diary", "list", "--json"}).json().toArray().size(), 1);
    // the marks in Russian too
    EXPECT_EQ(run({"diary", "mark", id, "частично"}).code, 0);
    EXPECT_EQ(run({"diary", "show", id, "--json"}).json().toObject()["mark"].toString(), "partly");
    EXPECT_EQ(run({"diary", "mark", id, "снять"}).code, 0);
}

TEST_F(DiaryCliTest, TextFromStandardInputIsKeptExactly)
{
    const QString text = QString("Сон 😴 и שלום") + QChar(0) + "после нуля\nвторая строка\n";
    const CliRun added = run({"diary", "add", "--title", "Из потока", "-"}, text.toUtf8());
    ASSERT_EQ(added.code, 0) << added.err.toStdString();
    const QJsonObject o = run({"diary", "show", added.out.trimmed(), "--json"}).json().toObject();
    EXPECT_EQ(o["text"].toString(), text);
    EXPECT_EQ(o["title"].toString(), "Из потока");
}

TEST_F(DiaryCliTest, ExitStatusesAndMessages)
{
    struct Case {
        QStringList args;
        int code;
        const char *message; // the start of standard error
    };
    const Case cases[] = {
        {{"diary"}, 2, "Укажите действие с дневником."},
        {{"diary", "frob"}, 2, "Неизвестное действие с дневником: frob"},
        {{"diary", "add"}, 2, "Укажите один текст сна (или - для стандартного ввода)."},
        {{"diary", "add", "  "}, 2, "Текст сна пуст."},
        {{"diary", "add", "--at", "1500-01-01 00:00", "сон"}, 2, "Неверное время: 1500-01-01 00:00"},
        {{"diary", "add", "--lat", "55", "сон"}, 2, "Широта и долгота задаются вместе"},
        {{"diary", "add", "--lat", "95", "--lon", "10", "сон"}, 2, "Неверная широта: 95"},
        {{"diary", "add", "--color", "red", "сон"}, 2, "Неизвестный параметр: --color"},
        {{"diary", "show"}, 2, "Укажите номер записи."},
        {{"diary", "show", "0123456789"}, 3, "В дневнике снов нет записи «0123456789»."},
        {{"diary", "mark", "0123456789", "maybe"}, 2, "Неверная отметка: maybe"},
        {{"diary", "mark", "0123456789", "yes"}, 3, "В дневнике снов нет записи «0123456789»."},
        {{"diary", "delete", "0123456789"}, 3, "В дневнике снов нет записи «0123456789»."},
        {{"diary", "synth", "0"}, 2, "Укажите число снов от 1 до 1000000."},
        {{"diary", "--help"}, 0, ""},
    };
    for (const Case &c : cases) {
        const CliRun r = run(c.args);
        EXPECT_EQ(r.code, c.code) << c.args.join(' ').toStdString() << "\n" << r.err.toStdString();
        EXPECT_TRUE(*c.message ? r.err.startsWith(QString::fromUtf8(c.message)) : r.err.isEmpty())
            << c.args.join(" ").toStdString() << ": " << r.err.toStdString();
    }
    EXPECT_TRUE(run({"diary", "synth", "--help"}).out.contains("для замеров скорости"));

    // A diary that is not one: status 1, the reason, the file untouched.
    QDir().mkpath(QFileInfo(diary()).path());
    QFile f(diary());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("не база данных");
    f.close();
    for (const QStringList &args : {QStringList{"diary", "list"}, QStringList{"diary", "add", "сон"}}) {
        const CliRun r = run(args);
        EXPECT_EQ(r.code, 1);
        EXPECT_TRUE(r.err.contains("не является дневником снов")) << r.err.toStdString();
    }
    QFile back(diary());
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    EXPECT_EQ(back.readAll(), QByteArray("не база данных"));
}

TEST_F(DiaryCliTest, SynthWritesEntriesForBenchmarks)
{
    const CliRun r = run({"diary", "synth", "25", "--seed", "7"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "Записано снов: 25\n");
    const QJsonArray all = run({"diary", "list", "--json"}).json().toArray();
    EXPECT_EQ(all.size(), 25);
    for (qsizetype i = 1; i < all.size(); ++i)
        EXPECT_GE(all.at(i - 1).toObject()["night"].toString(), all.at(i).toObject()["night"].toString());
}

TEST_F(DiaryCliTest, ShowNamesTheNightInRussian)
{
    struct Case {
        const char *at, *night;
    };
    const Case cases[] = {
        {"2026-12-09 03:00", "Ночь: с 8 на 9 декабря 2026 г.\n"},
        {"2026-12-09 12:00", "Ночь: с 9 на 10 декабря 2026 г.\n"},
        {"2026-12-01 11:59", "Ночь: с 30 ноября на 1 декабря 2026 г.\n"},
        {"2026-01-01 05:00", "Ночь: с 31 декабря 2025 г. на 1 января 2026 г.\n"},
    };
    for (const Case &c : cases) {
        const CliRun added = run({"diary", "add", "--at", c.at, "--lat", "55.75", "--lon", "37.58", "сон"});
        ASSERT_EQ(added.code, 0) << added.err.toStdString();
        const CliRun shown = run({"diary", "show", added.out.trimmed()});
        EXPECT_TRUE(shown.out.contains(QString::fromUtf8(c.night))) << c.at << "\n" << shown.out.toStdString();
    }
}

// A private diary from the command line: the recovery key printed once,
// every command opening it with the password's file, none without it, a
// wrong password answered with status 4 and nothing written.
TEST_F(DiaryCliTest, APrivateDiaryOpensWithItsPasswordFileOnly)
{
    ASSERT_EQ(run({"diary", "add", "Плыли по реке Аргунь"}).code, 0);
    const auto file = [&](const char *name, const QByteArray &text) { return secretFile(name, text); };
    const QString password = file("password", "сорок два\n");
    const CliRun protect = run({"diary", "protect", "--password-file", password});
    ASSERT_EQ(protect.code, 0) << protect.err.toStdString();
    const QString recovery = protect.out.trimmed();
    EXPECT_EQ(recovery.count('-'), 12) << "the recovery key alone on standard output";
    EXPECT_TRUE(protect.err.contains("Сохраните его")) << protect.err.toStdString();

    const CliRun locked = run({"diary", "list"});
    EXPECT_EQ(locked.code, 1);
    EXPECT_TRUE(locked.err.contains("--password-file")) << locked.err.toStdString();

    const auto hash = [&] {
        QFile f(diary());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray before = hash();
    const CliRun wrong = run({"diary", "list", "--password-file", file("wrong", "сорок три\n")});
    EXPECT_EQ(wrong.code, 4);
    EXPECT_EQ(wrong.err.trimmed(), "Неверный пароль");
    EXPECT_EQ(hash(), before) << "a wrong password writes nothing";

    ASSERT_EQ(run({"diary", "add", "--password-file", password, "Ещё сон про Аргунь"}).code, 0);
    const CliRun found = run({"diary", "search", "аргуни", "--password-file", "-"}, "сорок два\n");
    EXPECT_EQ(found.code, 0) << found.err.toStdString();
    EXPECT_EQ(found.out.trimmed().split('\n').size(), 2) << found.out.toStdString();

    // a new password by the recovery key, then back to plain text
    EXPECT_EQ(run({"diary", "password", "--recovery-key-file", file("recovery", recovery.toUtf8()),
                   "--new-password-file", file("new", "новый\n")})
                  .code,
              0);
    EXPECT_EQ(run({"diary", "list", "--password-file", password}).code, 4);
    const CliRun plain = run({"diary", "unprotect", "--password-file", file("new2", "новый")});
    EXPECT_EQ(plain.code, 0) << plain.err.toStdString();
    EXPECT_EQ(run({"diary", "list"}).code, 0);
}

// A diary another account cannot write (its file and folder readable, not
// writable, to the user running the command): it is read, searched and
// exported as it stands; a write is refused with status 1 and the file is
// left as it was.
TEST_F(DiaryCliTest, AReadOnlyDiaryIsReadSearchedAndExportedButNotWritten)
{
    ASSERT_EQ(run({"diary", "add", "Плыли по реке Аргунь"}).code, 0);
    if (::geteuid() != 0)
        GTEST_SKIP() << "running the command as another user needs root";
    // everything on the way readable to that user, nothing writable
    for (QString p = QFileInfo(diary()).absolutePath(); p.startsWith(profile.path()); p = QFileInfo(p).absolutePath())
        QFile::setPermissions(p, QFileDevice::Permissions(0x7755));
    QFile::setPermissions(profile.path(), QFileDevice::Permissions(0x7755));
    QFile::setPermissions(share.path(), QFileDevice::Permissions(0x7755));
    for (QDirIterator it(share.path(), QDirIterator::Subdirectories); it.hasNext();) {
        const QString p = it.next();
        QFile::setPermissions(p, QFileDevice::Permissions(QFileInfo(p).isDir() ? 0x7755 : 0x6644));
    }
    QFile::setPermissions(diary(), QFileDevice::Permissions(0x6644));
    const QByteArray before = diary_test::fileHash(diary());
    QTemporaryDir out;
    QFile::setPermissions(out.path(), QFileDevice::Permissions(0x7777));
    const auto asOther = [&](const QStringList &args) {
        QStringList all = {"--reuid=65534", "--regid=65534", "--clear-groups", "--",
                           qEnvironmentVariable("SOMNEX_BUILD_DIR") + "/bin/somnex-cli"};
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TZ", "Europe/Moscow");
        env.insert("SOMNEX_DATA_DIR", share.path());
        env.insert("XDG_CONFIG_HOME", out.path() + "/config");
        env.insert("XDG_DATA_HOME", profile.path() + "/data");
        env.insert("ASAN_OPTIONS", "detect_leaks=0");
        p.setProcessEnvironment(env);
        p.start("setpriv", all + args);
        EXPECT_TRUE(p.waitForFinished(30000));
        return CliRun{p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                      QString::fromUtf8(p.readAllStandardError())};
    };
    const CliRun list = asOther({"diary", "list"});
    ASSERT_EQ(list.code, 0) << list.err.toStdString();
    EXPECT_EQ(list.out.count('\n'), 1) << list.out.toStdString();
    EXPECT_EQ(asOther({"diary", "search", "аргуни"}).out.count('\n'), 1);
    const CliRun exported = asOther({"diary", "export", "--format", "json", "--out", out.path() + "/d.json"});
    EXPECT_EQ(exported.code, 0) << exported.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(out.path() + "/d.json"));
    const CliRun add = asOther({"diary", "add", "Ещё сон"});
    EXPECT_EQ(add.code, 1);
    EXPECT_TRUE(add.err.contains("» открыт только для чтения (нет прав на запись в файл): изменение не сохранено."))
        << add.err.toStdString();
    EXPECT_TRUE(add.err.contains("изменение не сохранено")) << add.err.toStdString();
    EXPECT_EQ(diary_test::fileHash(diary()), before);
    EXPECT_FALSE(QFileInfo::exists(diary() + "-wal")) << "no log made beside it";
}

TEST_F(DiaryCliTest, APrivateDiaryLeavesSealedAndPlainTextOnlyWhenAsked)
{
    ASSERT_EQ(run({"diary", "add", "--title", "Argun", "Плыли по реке Аргунь"}).code, 0);
    const auto file = [&](const char *name, const QByteArray &text) { return secretFile(name, text); };
    const QString password = file("password", "сорок два\n");
    ASSERT_EQ(run({"diary", "protect", "--password-file", password}).code, 0);

    const QString sealed = secrets.filePath("out.json");
    const CliRun out = run({"diary", "export", "--format", "json", "--out", sealed, "--password-file", password});
    ASSERT_EQ(out.code, 0) << out.err.toStdString();
    QFile f(sealed);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith("somnex-diary-sealed\nversion: 1\n")) << bytes.left(40).toStdString();
    for (const char *canary : {"Аргунь", "аргун", "Argun", "argun"})
        EXPECT_FALSE(bytes.contains(canary)) << canary;

    const QString folder = secrets.filePath("notes");
    const CliRun refused = run({"diary", "export", "--format", "md", "--out", folder, "--password-file", password});
    EXPECT_EQ(refused.code, 2);
    EXPECT_TRUE(refused.err.contains("--plain")) << refused.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(folder));
    const QString csv = secrets.filePath("table.csv");
    const CliRun plain =
        run({"diary", "export", "--format", "csv", "--plain", "--out", csv, "--password-file", password});
    EXPECT_EQ(plain.code, 0) << plain.err.toStdString();
    EXPECT_TRUE(plain.err.contains("открытым текстом")) << plain.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(csv));

    // into a new diary, which is not private: the file's own password opens it
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(diary() + suffix);
    const CliRun unasked = run({"diary", "import", sealed});
    EXPECT_EQ(unasked.code, 1);
    EXPECT_TRUE(unasked.err.contains("--password-file")) << unasked.err.toStdString();
    const CliRun wrong = run({"diary", "import", sealed, "--password-file", file("wrong", "сорок три")});
    EXPECT_EQ(wrong.code, 4);
    EXPECT_EQ(wrong.err.trimmed(), "Неверный пароль");
    const CliRun in = run({"diary", "import", sealed, "--password-file", "-"}, "сорок два\n");
    ASSERT_EQ(in.code, 0) << in.err.toStdString();
    const CliRun list = run({"diary", "list"});
    EXPECT_TRUE(list.out.contains("Argun")) << list.out.toStdString();
}

// Making a diary private, plain again, or changing its password, killed at
// any moment (the key's derivation, the rewrite, the overwriting after it):
// the file opens whole, either as it was or as it was to become, never half,
// and exactly one of the two secrets opens it.
TEST_F(DiaryCliTest, AProtectUnprotectOrPasswordKilledAnywhereLeavesOneWholeDiary)
{
    ASSERT_EQ(run({"diary", "synth", "1000", "--seed", "3"}).code, 0);
    const QString password = secretFile("password", "ключ\n");
    const QString next = secretFile("next", "другой ключ\n");
    const QString plainCopy = profile.path() + "/plain.sqlite";
    const QString privateCopy = profile.path() + "/private.sqlite";
    ASSERT_TRUE(QFile::copy(diary(), plainCopy));
    ASSERT_EQ(run({"diary", "protect", "--password-file", password}).code, 0);
    ASSERT_EQ(run({"diary", "backup", "--password-file", password}).code, 0); // one file, no log beside it
    const QDir backups(QFileInfo(diary()).absolutePath() + "/backups");
    const QStringList copies = backups.entryList({"diary-*.sqlite"}, QDir::Files);
    ASSERT_EQ(copies.size(), 1);
    ASSERT_TRUE(QFile::copy(backups.filePath(copies.first()), privateCopy));

    struct Action {
        const char *command;
        QString from;
        int rounds, stepMs;
    };
    for (const Action &a : {Action{"protect", plainCopy, 12, 300}, Action{"unprotect", privateCopy, 8, 250},
                            Action{"password", privateCopy, 8, 300}}) {
        SCOPED_TRACE(a.command);
        const bool change = a.command == QLatin1String("password");
        int plain = 0, sealed = 0;
        // SOMNEX_KILL_RUNS=N runs each N times over the same span (the
        // issue's 200 by hand; the suite's own few by default)
        const int wanted = qEnvironmentVariableIntValue("SOMNEX_KILL_RUNS");
        const int rounds = wanted > 1 ? wanted : a.rounds;
        const double step = double(a.stepMs) * a.rounds / rounds;
        for (int round = 0; round < rounds; ++round) {
            for (const char *suffix : {"", "-wal", "-shm"})
                QFile::remove(diary() + suffix);
            ASSERT_TRUE(QFile::copy(a.from, diary()));
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("XDG_CONFIG_HOME", profile.path() + "/config");
            env.insert("XDG_DATA_HOME", profile.path() + "/data");
            env.insert("ASAN_OPTIONS", "detect_leaks=0");
            p.setProcessEnvironment(env);
            QStringList args = {"diary", a.command, "--password-file", password};
            if (change)
                args << "--new-password-file" << next;
            p.start(qEnvironmentVariable("SOMNEX_BUILD_DIR") + "/bin/somnex-cli", args);
            ASSERT_TRUE(p.waitForStarted());
            // killed at once, then later and later; the last run ends by itself,
            // so that both sides of the commit are seen however fast the machine
            if (round + 1 < rounds) {
                p.waitForFinished(int(round * step + QRandomGenerator::global()->bounded(step)));
                p.kill();
            }
            p.waitForFinished(60000);

            EXPECT_EQ(diary_test::integrity(diary()), "ok") << "round " << round;
            // for a password change "plain" counts the old password, "sealed" the new one
            const QStringList before = change ? QStringList{"--password-file", password} : QStringList();
            const QStringList after = {"--password-file", change ? next : password};
            const CliRun open = run(QStringList{"diary", "list", "--json"} + before);
            const CliRun other = run(QStringList{"diary", "list", "--json"} + after);
            if (open.code == 0) {
                ++plain;
                EXPECT_EQ(open.json().toArray().size(), 1000) << "round " << round;
                if (change) {
                    EXPECT_EQ(other.code, 4) << "round " << round << ": both passwords open";
                }
            } else {
                ++sealed;
                EXPECT_EQ(open.code, change ? 4 : 1) << open.err.toStdString();
                ASSERT_EQ(other.code, 0) << "round " << round << ": " << other.err.toStdString();
                EXPECT_EQ(other.json().toArray().size(), 1000) << "round " << round;
            }
        }
        EXPECT_GT(plain, 0);
        EXPECT_GT(sealed, 0);
    }
}
