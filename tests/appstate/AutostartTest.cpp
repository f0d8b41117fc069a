#include "appstate/Autostart.h"
#include "support/TempProfile.h"

#include <QFile>

#include "support/QtPrint.h"

#include <gtest/gtest.h>

using namespace somnex;

TEST(Autostart, EntryStartsThisProgramInTheTray)
{
    TempProfile p;
    EXPECT_FALSE(IsAutostart());
    SetAutostart(false); // removing an absent entry is silent
    SetAutostart(true);
    EXPECT_TRUE(IsAutostart());
    QFile f(p.path() + "/autostart/ZULSomnex3.desktop");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.contains("\nExec=")) << text.toStdString();
    EXPECT_TRUE(text.contains(" /tray\n"));
    EXPECT_EQ(AutostartCommand("/usr/bin/somnex"), "/usr/bin/somnex /tray");
    EXPECT_EQ(AutostartCommand("/opt/my apps/somnex"), "\"/opt/my apps/somnex\" /tray");
    SetAutostart(false);
    EXPECT_FALSE(IsAutostart());
}
