// A dream typed without a pause survives the program being killed: the
// window writes at least every second while the typing goes on. The test
// runs this same program again as a child that types into the diary window
// and reports each keystroke; the child is killed (SIGKILL) at a random
// moment, and the diary it leaves must hold a prefix of what was typed,
// short of at most the last second.

#include "diary/DiaryStore.h"
#include "diary/SavePolicy.h"
#include "diary/ui/DiaryWindow.h"

#include "support/TempProfile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

#include <sys/types.h>

using namespace somnex;
using namespace somnex::diary;

namespace {

constexpr const char *kChildVariable = "SOMNEX_TYPING_CHILD";

// What the child types: a long dream, letters, spaces, punctuation and
// line breaks, repeated as needed.
QString typedText(int length)
{
    const QString phrase = QStringLiteral("Снилось, что я иду по лесу, а за мной бежит чёрная собака. Потом вышел "
                                          "к реке, вода была тёплая, и я поплыл.\n");
    QString out;
    while (out.size() < length)
        out += phrase;
    out.truncate(length);
    return out;
}

class QuietHost : public DiaryHost {
public:
    QuietHost() { words.finish(); }
    const dictionary::WordIndex &diaryWords() override { return words; }
    int diaryWordsGeneration() override { return 1; }
    std::vector<TolkBook> diaryBooks() override { return {}; }
    void openInterpretation(const QString &) override {}
    void interpretDream(const QString &) override {}
    Place diaryPlace() override { return {QStringLiteral("Москва"), 55.75, 37.5833}; }
    dictionary::WordIndex words;
};

struct Keystroke {
    int count = 0; // characters typed so far
    qint64 ms = 0; // on the child's clock, from its first keystroke
};

// One child: started, killed after killAfterMs of typing, its keystrokes read.
struct Child {
    QString path;
    qint64 killAfterMs = 0;
    std::unique_ptr<QProcess> process;
    std::vector<Keystroke> keys;
    QByteArray pending;
    bool killed = false;

    void read()
    {
        pending += process->readAllStandardOutput();
        qsizetype nl = 0;
        while ((nl = pending.indexOf('\n')) >= 0) {
            const QList<QByteArray> parts = pending.left(nl).split(' ');
            pending.remove(0, nl + 1);
            if (parts.size() == 3 && parts[0] == "key")
                keys.push_back({parts[1].toInt(), parts[2].toLongLong()});
        }
    }
};

} // namespace

// The child: types into a new dream until it is killed (or 12 s have gone).
TEST(TypingChild, TypesIntoTheDiaryUntilKilled)
{
    const QString path = qEnvironmentVariable(kChildVariable);
    if (path.isEmpty())
        GTEST_SKIP() << "run by DiaryKill as its child";
    QuietHost host;
    DiaryWindow *w = DiaryWindow::open(&host, nullptr, path);
    ASSERT_NE(w, nullptr);
    auto *box = w->findChild<QPlainTextEdit *>("textBox");
    ASSERT_NE(box, nullptr);
    const QString text = typedText(4000);
    int typed = 0;
    QElapsedTimer clock;
    QTimer keys;
    keys.setInterval(8);
    QObject::connect(&keys, &QTimer::timeout, [&] {
        if (typed == 0)
            clock.start();
        if (typed >= text.size() || clock.elapsed() > 12000) {
            QCoreApplication::exit(0);
            return;
        }
        const QChar c = text[typed];
        const int key = c == QLatin1Char('\n') ? Qt::Key_Return : 0;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, c == QLatin1Char('\n') ? QString() : QString(c));
        QCoreApplication::sendEvent(box, &press);
        ++typed;
        std::printf("key %d %lld\n", typed, static_cast<long long>(clock.elapsed()));
        std::fflush(stdout);
    });
    keys.start();
    QCoreApplication::exec();
}

TEST(DiaryKill, ADreamTypedWithoutAPauseLosesAtMostTheLastSecond)
{
    TempProfile profile;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString self = QCoreApplication::applicationFilePath();
    const QString typed = typedText(4000);
    QRandomGenerator random(20261209);
    // Fifty kills at moments spread over ten seconds of typing, five
    // children at a time.
    constexpr int kRuns = 50, kAtOnce = 5;
    // The write itself takes a moment (a sanitised build, two cores shared
    // with four other children): what the window began to write before the
    // second was up counts.
    constexpr qint64 kWriteSlackMs = 400;
    // What may be lost: the last second typed.
    constexpr qint64 kMayLoseMs = 1000;
    int checked = 0;
    for (int batch = 0; batch < kRuns / kAtOnce; ++batch) {
        std::vector<Child> children(kAtOnce);
        for (int i = 0; i < kAtOnce; ++i) {
            Child &c = children[size_t(i)];
            c.path = dir.filePath(QStringLiteral("run%1/Diary/diary.sqlite").arg(batch * kAtOnce + i));
            c.killAfterMs = 300 + qint64(random.bounded(9700));
            c.process = std::make_unique<QProcess>();
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(kChildVariable, c.path);
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            c.process->setProcessEnvironment(env);
            c.process->setProcessChannelMode(QProcess::SeparateChannels);
            c.process->setStandardErrorFile(QProcess::nullDevice());
            c.process->start(self, {QStringLiteral("--gtest_filter=TypingChild.*")});
            ASSERT_TRUE(c.process->waitForStarted(10000));
        }
        QElapsedTimer batchClock;
        batchClock.start();
        bool running = true;
        while (running && batchClock.elapsed() < 60000) {
            running = false;
            for (Child &c : children) {
                if (c.killed)
                    continue;
                c.process->waitForReadyRead(2);
                c.read();
                if (!c.keys.empty() && c.keys.back().ms >= c.killAfterMs) {
                    ::kill(pid_t(c.process->processId()), SIGKILL);
                    c.process->waitForFinished(10000);
                    c.read();
                    c.killed = true;
                } else {
                    running = true;
                }
            }
        }
        for (Child &c : children) {
            ASSERT_TRUE(c.killed) << "a child stopped typing before its kill";
            ASSERT_FALSE(c.keys.empty());
            const Keystroke last = c.keys.back();
            // Characters typed a second (and the write's slack) before the kill.
            int due = 0;
            for (const Keystroke &k : c.keys)
                if (k.ms <= last.ms - kMayLoseMs - kWriteSlackMs)
                    due = k.count;
            QString stored;
            if (QFile::exists(c.path)) {
                DiaryStore store(c.path);
                const QList<EntrySummary> all = store.list();
                ASSERT_LE(all.size(), 1);
                if (!all.isEmpty())
                    stored = store.entry(all.first().id)->text;
            }
            EXPECT_TRUE(typed.startsWith(stored)) << "what the diary holds was typed, in order";
            EXPECT_GE(stored.size(), due)
                << "killed after " << last.ms << " ms with " << last.count << " characters typed";
            ++checked;
        }
    }
    EXPECT_EQ(checked, kRuns);
}

// The schedule itself, on a clock of the test's own.
TEST(SavePolicy, SavesAfterAPauseAndAtLeastEverySecondWhileTyping)
{
    SavePolicy p;
    EXPECT_FALSE(p.pending());
    // a keystroke, then a pause: saved after the pause
    EXPECT_EQ(p.changed(0), SavePolicy::kPauseMs);
    p.saved();
    // typing every 100 ms without a pause: due a second after the first
    // unsaved change, however long it goes on
    qint64 due = 0;
    for (qint64 t = 5000; t < 5000 + 3000; t += 100) {
        due = p.changed(t);
        EXPECT_LE(due, 5000 + SavePolicy::kMaxWaitMs) << t;
        if (t >= 5000 + SavePolicy::kMaxWaitMs)
            break;
    }
    EXPECT_EQ(due, 5000 + SavePolicy::kMaxWaitMs);
    p.saved();
    EXPECT_EQ(p.changed(6100), 6100 + SavePolicy::kPauseMs) << "a new second begins with the next change";
    // a failed write waits before it tries again, keystrokes or not
    EXPECT_EQ(p.failed(6500), 6500 + SavePolicy::kRetryMs);
    EXPECT_EQ(p.changed(6600), 6500 + SavePolicy::kRetryMs);
    EXPECT_TRUE(p.pending());
    p.saved();
    EXPECT_EQ(p.changed(20000), 20000 + SavePolicy::kPauseMs) << "after a success the usual schedule";
}
