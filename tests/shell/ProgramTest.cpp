// The program itself, started as the desktop starts it: one instance however
// many starts come at once, and its state stored when it is ended by a signal.
#include "appstate/AppState.h"
#include "platform/core/SingleInstance.h"
#include "platform/core/Twips.h"
#include "support/TestShare.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFontMetricsF>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

using namespace somnex;

namespace {

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        share.writeBook("a.book", {"Вода", "Дом", "Огонь"});
        env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", config.path());
        env.insert("XDG_RUNTIME_DIR", runtime.path()); // made 0700
        env.insert("SOMNEX_DATA_DIR", share.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
    }
    static QString program() { return QString::fromLocal8Bit(qgetenv("SOMNEX_BUILD_DIR")) + "/bin/somnex"; }
    std::unique_ptr<QProcess> start(const QStringList &args)
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(program(), args);
        return p;
    }
    // True once the running instance answers on its socket (its event loop runs).
    bool answers(int timeoutMs)
    {
        const QString socket = SingleInstance(runtime.path()).socketPath();
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            QLocalSocket s;
            s.connectToServer(socket);
            if (s.waitForConnected(500)) {
                s.write("ping\n");
                s.waitForBytesWritten(500);
                if (s.waitForReadyRead(2000) && s.readAll().contains("pong"))
                    return true;
            }
            QThread::msleep(100);
        }
        return false;
    }
    QJsonObject mainSection()
    {
        QFile f(config.path() + "/zul-somnex/settings.json");
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(f.readAll())
            .object()
            .value("ZUL_Programming")
            .toObject()
            .value("Somnex3")
            .toObject();
    }

    TestShare share;
    QTemporaryDir config, runtime;
    QProcessEnvironment env;
};

} // namespace

TEST_F(ProgramTest, SigtermInTheTrayStoresTheState)
{
    for (int sig : {SIGTERM, SIGHUP}) {
        QFile::remove(config.path() + "/zul-somnex/settings.json");
        auto p = start({"/tray"});
        ASSERT_TRUE(p->waitForStarted(10000));
        ASSERT_TRUE(answers(60000)) << "the program did not come up";
        ::kill(pid_t(p->processId()), sig);
        ASSERT_TRUE(p->waitForFinished(30000));
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit) << sig;
        EXPECT_EQ(p->exitCode(), 0) << sig;
        const QJsonObject main = mainSection();
        EXPECT_EQ(main.value("ListMode").toString(), "1") << sig;
        // the geometry it had: 4100 x 6100 twips grown with the font, in whole pixels
        const QFontMetricsF fm(QApplication::font());
        const double scale =
            FontScale(fm.horizontalAdvance(kFontScaleLetters.toString()) / double(kFontScaleLetters.size()),
                      fm.height());
        EXPECT_EQ(main.value("Width").toString(), QString::number(PixelsToTwips(TwipsToPixels(4100 * scale)))) << sig;
        EXPECT_EQ(main.value("Height").toString(), QString::number(PixelsToTwips(TwipsToPixels(6100 * scale)))) << sig;
        EXPECT_TRUE(main.contains("LastWord")) << sig;
    }
}

TEST_F(ProgramTest, TenStartsAtOnceLeaveOneRunning)
{
    std::vector<std::unique_ptr<QProcess>> starts;
    starts.reserve(10);
    for (int i = 0; i < 10; ++i)
        starts.push_back(start({"/tray"}));
    QElapsedTimer t;
    t.start();
    int running = 10;
    while (running > 1 && t.elapsed() < 90000) {
        running = 0;
        for (auto &p : starts) {
            p->waitForFinished(50);
            running += p->state() != QProcess::NotRunning;
        }
    }
    ASSERT_EQ(running, 1);
    QProcess *first = nullptr;
    for (auto &p : starts)
        if (p->state() != QProcess::NotRunning)
            first = p.get();
        else
            EXPECT_EQ(p->exitCode(), 0) << "a later start ends quietly";
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(answers(60000));
    ::kill(pid_t(first->processId()), SIGTERM);
    EXPECT_TRUE(first->waitForFinished(30000));
}

TEST(ProgramWording, NoTextSpeaksOfWindows)
{
    QFile exe(QString::fromLocal8Bit(qgetenv("SOMNEX_BUILD_DIR")) + "/bin/somnex");
    ASSERT_TRUE(exe.open(QIODevice::ReadOnly));
    const QByteArray bytes = exe.readAll();
    const QString phrases[] = {
        "вместе с Windows",
        "старте Windows",
        "Windows 2000/XP/Vista",
    };
    for (const QString &p : phrases) {
        const QByteArray utf16(reinterpret_cast<const char *>(p.utf16()), p.size() * 2);
        EXPECT_FALSE(bytes.contains(p.toUtf8())) << p.toStdString();
        EXPECT_FALSE(bytes.contains(utf16)) << p.toStdString();
    }
    // the new texts are there (the check above looks in the right place)
    const QString now = "при следующем входе в систему";
    EXPECT_TRUE(bytes.contains(QByteArray(reinterpret_cast<const char *>(now.utf16()), now.size() * 2)));
}
