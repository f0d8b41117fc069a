#include "platform/core/Registry.h"
#include "platform/error/Error.h"
#include "support/TempProfile.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include "support/QtPrint.h"

#include <gtest/gtest.h>

using namespace somnex;

namespace {
const QString kPath = QStringLiteral("SOFTWARE\\ZUL Programming\\Test");
}

TEST(Registry, DwordRangeIsTheWhole32BitRange)
{
    TempProfile p;
    Registry r;
    struct Case {
        double v;
        bool ok;
        const char *stored;
    };
    const Case cases[] = {
        {0, true, "0"},
        {2147483647.0, true, "2147483647"},
        {2147483648.0, true, "-2147483648"},
        {4294967295.0, true, "-1"},
        {4294967296.0, false, ""},
        {-1, false, ""},
        {1.5, false, ""},
    };
    for (const auto &c : cases) {
        if (c.ok) {
            r.Value(Registry::HKEY_CURRENT_USER, kPath, "N", Registry::REG_DWORD, c.v);
            EXPECT_EQ(r.ReadString(Registry::HKEY_CURRENT_USER, kPath, "N"), c.stored) << c.v;
        } else {
            try {
                r.Value(Registry::HKEY_CURRENT_USER, kPath, "N", Registry::REG_DWORD, c.v);
                ADD_FAILURE() << "accepted " << c.v;
            } catch (const Error &e) {
                EXPECT_EQ(e.number(), 2);
                EXPECT_EQ(e.source(), "RegistryClass");
                EXPECT_EQ(e.description(), "The value must be from 0 to 4294967295");
            }
        }
    }
}

TEST(Registry, IsThereAndDeleteValueRules)
{
    TempProfile p;
    Registry r;
    const auto HKCU = Registry::HKEY_CURRENT_USER;
    EXPECT_FALSE(r.IsThere(HKCU, kPath));
    EXPECT_FALSE(r.IsThere(HKCU, kPath, "S"));
    EXPECT_TRUE(r.DeleteValue(HKCU, kPath, "S")) << "a missing key is no error";
    EXPECT_FALSE(r.DeleteValue(HKCU, kPath, "")) << "an empty name does nothing";

    r.Value(HKCU, kPath, "S", Registry::kString, "Сонник");
    EXPECT_TRUE(r.IsThere(HKCU, kPath));
    EXPECT_TRUE(r.IsThere(HKCU, kPath.toLower(), "S")) << "keys ignore letter case";
    EXPECT_FALSE(r.IsThere(HKCU, kPath, "T"));
    EXPECT_EQ(r.ReadString(HKCU, kPath, "S"), "Сонник");
    EXPECT_TRUE(r.DeleteValue(HKCU, kPath, "T")) << "a missing value is no error";
    EXPECT_TRUE(r.DeleteValue(HKCU, kPath, "S"));
    EXPECT_FALSE(r.IsThere(HKCU, kPath, "S"));
    EXPECT_TRUE(r.IsThere(HKCU, kPath)) << "the key stays";
}

TEST(Registry, RunKeyIsAnAutostartEntry)
{
    TempProfile p;
    Registry r;
    const auto HKCU = Registry::HKEY_CURRENT_USER;
    const QString run = QString::fromLatin1(Registry::kRunPath);
    const QString cmd = quoteForExec("/opt/ZUL Somnex/bin/somnex") + " /tray";
    EXPECT_FALSE(r.IsThere(HKCU, run, "ZULSomnex3"));
    r.Value(HKCU, run, "ZULSomnex3", Registry::kString, cmd);
    const QString file = autostartFilePath("ZULSomnex3");
    EXPECT_EQ(file, p.path() + "/autostart/ZULSomnex3.desktop");
    ASSERT_TRUE(QFile::exists(file));
    EXPECT_TRUE(r.IsThere(HKCU, run, "ZULSomnex3"));
    EXPECT_EQ(r.ReadString(HKCU, run, "ZULSomnex3"), cmd);
    EXPECT_EQ(cmd, "\"/opt/ZUL Somnex/bin/somnex\" /tray");

    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (!validator.isEmpty()) {
        QProcess v;
        v.start(validator, {file});
        ASSERT_TRUE(v.waitForFinished(10000));
        EXPECT_EQ(v.exitCode(), 0) << v.readAllStandardOutput().toStdString() << v.readAllStandardError().toStdString();
    }
    EXPECT_TRUE(r.DeleteValue(HKCU, run, "ZULSomnex3"));
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_TRUE(r.DeleteValue(HKCU, run, "ZULSomnex3")) << "deleting an absent entry is silent";
}

TEST(Registry, ExecQuoting)
{
    struct Case {
        const char *in;
        const char *out;
    };
    const Case cases[] = {
        {"/usr/bin/somnex", "/usr/bin/somnex"},
        {"/home/u/my apps/somnex", "\"/home/u/my apps/somnex\""},
        {"/x/a$b", "\"/x/a\\$b\""},
        {"/x/q\"uote", "\"/x/q\\\"uote\""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(quoteForExec(QString::fromUtf8(c.in)), QString::fromUtf8(c.out));
    // the desktop entry escapes backslashes once more and reading undoes it
    const QString cmd = "\"/x/back\\\\slash\" /tray";
    EXPECT_EQ(commandFromDesktopEntry(autostartDesktopEntry("N", cmd)), cmd);
}
