#include "tray/TrayArea.h"

#include "support/QtPrint.h"

#include <gtest/gtest.h>

using namespace somnex::tray;

TEST(TrayArea, CallbackCodesBecomeEvents)
{
    TrayArea t;
    QStringList log;
    QObject::connect(&t, &TrayArea::MouseMove, [&] { log << "move"; });
    QObject::connect(&t, &TrayArea::MouseDown, [&](short b) { log << QString("down%1").arg(b); });
    QObject::connect(&t, &TrayArea::MouseUp, [&](short b) { log << QString("up%1").arg(b); });
    QObject::connect(&t, &TrayArea::DblClick, [&] { log << "dbl"; });
    for (int code : {512, 513, 514, 515, 516, 517, 518, 519, 520, 521, 0, 511})
        t.dispatch(code);
    EXPECT_EQ(log, QStringList({"move", "down1", "up1", "dbl", "down2", "up2", "dbl"}))
        << "the middle button and other codes raise nothing";
    log.clear();
    t.callback(513 * 15.0); // arrives as a mouse move in twips
    t.callback(517 * 15.0);
    EXPECT_EQ(log, QStringList({"down1", "up2"}));
}

TEST(TrayArea, VisibilityIconAndTip)
{
    TrayArea t;
    t.setVisible(true);
    t.setVisible(true);
    EXPECT_EQ(t.addCount(), 1) << "visible twice adds once";
    const int first = t.identifier();
    EXPECT_GE(first, 1);
    EXPECT_LE(first, 65535);
    t.setIcon(QIcon()); // an empty picture keeps the icon
    EXPECT_TRUE(t.isVisible());
    t.setIcon(std::nullopt); // no picture at all removes it
    EXPECT_FALSE(t.isVisible());
    t.setIcon(QIcon());
    t.setVisible(true);
    EXPECT_EQ(t.addCount(), 2) << "each showing adds a new icon";

    t.setToolTip("   ");
    EXPECT_EQ(t.toolTip(), "");
    t.setToolTip("  Сонник  ");
    EXPECT_EQ(t.toolTip(), "Сонник");
    const QString longTip(100, QChar(u'я'));
    t.setToolTip(longTip);
    EXPECT_EQ(t.toolTip(), longTip) << "the property keeps the whole text";
    EXPECT_EQ(t.shownToolTip().size(), 63) << "63 bytes and the terminator fill the field";
    EXPECT_EQ(TrayArea::fitTip(QString(63, 'a')), QString(63, 'a'));
    EXPECT_EQ(TrayArea::fitTip(QString(64, 'a')), QString(63, 'a'));
}
