#include "location/spravcity/SpravCity.h"

#include "platform/ansi/AnsiCodePage.h"
#include "support/QtPrint.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

using namespace somnex;
using namespace somnex::location;

namespace {

const QString kHeader = u"Город,ДолготаГ,ДолготаМ,ШиротаГ,ШиротаМ,Юг,Запад\r\n"_qs;

// The options window's location controls, filled as it fills them.
struct Controls {
    QWidget host;
    QLineEdit name{&host};
    QComboBox c7{&host}, c8{&host}, c9{&host}, c10{&host}, c11{&host}, c12{&host};
    Controls()
    {
        auto fill = [](QComboBox &b, int last, const QString &mark) {
            for (int i = 0; i <= last; ++i)
                b.addItem(QString::number(i) + mark);
        };
        fill(c7, 90, u"°"_qs);
        fill(c8, 59, u"'"_qs);
        fill(c11, 59, u"'"_qs);
        fill(c12, 180, u"°"_qs);
        c9.addItems({u"С.ш."_qs, u"Ю.ш."_qs});
        c10.addItems({u"В.д."_qs, u"З.д."_qs});
    }
    LocationControls target() { return {&name, &c7, &c8, &c9, &c10, &c11, &c12}; }
    QList<int> indices() const
    {
        return {c7.currentIndex(),  c8.currentIndex(),  c9.currentIndex(),
                c12.currentIndex(), c11.currentIndex(), c10.currentIndex()};
    }
};

class Directory : public ::testing::Test {
protected:
    QString write(const QString &text)
    {
        QString path = dir.filePath(u"City.csv"_qs);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(ansi::fromUnicode(text));
        return path;
    }
    QString cities()
    {
        return write(kHeader
                     + u"Москва,37,35,55,45,0,0\r\n"
                       u"\"Петропавловск-Камчатский, Камчатка\",158,39,53,1,0,0\r\n"
                       u"Мурманск,33,5,68,58,0,0\r\n"
                       u"Буэнос-Айрес,58,22,34,36,1,1\r\n"
                       u"Лима,77,2,12,3,1,1\r\n"
                       u"Полюс,200,75,95,61,0,1\r\n"_qs);
    }

    QTemporaryDir dir;
};

QString selectedName(const SpravCity &d)
{
    const QList<QTreeWidgetItem *> s = d.ListView1->selectedItems();
    return s.isEmpty() ? QString() : s.first()->text(0);
}

} // namespace

TEST_F(Directory, ListsThePlacesWithTheirCells)
{
    Controls ui;
    SpravCity d(ui.target(), nullptr, cities());
    EXPECT_EQ(d.windowTitle(), u"Справочник городов"_qs);
    EXPECT_EQ(d.Heading->text(), u"Малый справочник городов"_qs);
    EXPECT_EQ(d.Command1->text(), u"Выбрать"_qs);
    EXPECT_EQ(d.Command2->text(), u"Закрыть"_qs);
    const QTreeWidgetItem *h = d.ListView1->headerItem();
    EXPECT_EQ(h->text(0), u"Город"_qs);
    EXPECT_EQ(h->text(1), u"Широта"_qs);
    EXPECT_EQ(h->text(2), u"Долгота"_qs);
    ASSERT_EQ(d.ListView1->topLevelItemCount(), 6);
    struct Row {
        int index;
        QString name, lat, lon;
    } rows[] = {
        {0, u"Москва"_qs, u"55° 45' с.ш."_qs, u"37° 35' в.д."_qs},
        {1, u"Петропавловск-Камчатский, Камчатка"_qs, u"53° 1' с.ш."_qs, u"158° 39' в.д."_qs},
        {3, u"Буэнос-Айрес"_qs, u"34° 36' ю.ш."_qs, u"58° 22' з.д."_qs},
    };
    for (const Row &r : rows) {
        const QTreeWidgetItem *it = d.ListView1->topLevelItem(r.index);
        EXPECT_EQ(it->text(0), r.name);
        EXPECT_EQ(it->text(1), r.lat);
        EXPECT_EQ(it->text(2), r.lon);
    }
    EXPECT_TRUE(d.loadError().isEmpty());
}

TEST_F(Directory, AnEmptyOrMissingFileOpensAnEmptyList)
{
    struct Case {
        const char *what;
        QString path;
        bool error;
    } cases[] = {
        {"only the header", write(kHeader), false},
        {"missing", dir.filePath(u"nothing/City.csv"_qs), true},
    };
    for (const Case &c : cases) {
        Controls ui;
        ui.name.setText(u"Москва"_qs);
        SpravCity d(ui.target(), nullptr, c.path);
        EXPECT_EQ(d.ListView1->topLevelItemCount(), 0) << c.what;
        EXPECT_EQ(!d.loadError().isEmpty(), c.error) << c.what;
        EXPECT_EQ(d.Status->isVisibleTo(&d), c.error) << c.what;
        const QList<int> before = ui.indices();
        d.Command1_Click(); // nothing to choose: nothing happens
        EXPECT_EQ(ui.indices(), before) << c.what;
        EXPECT_EQ(ui.name.text(), u"Москва"_qs) << c.what;
        EXPECT_EQ(d.result(), 0) << c.what;
    }
}

TEST_F(Directory, QuickSearchSelectsTheFirstPlaceByItsBeginning)
{
    Controls ui;
    ui.name.setText(u"Мурманск"_qs);
    SpravCity d(ui.target(), nullptr, cities());
    EXPECT_EQ(selectedName(d), u"Мурманск"_qs) << "the place typed in the options window";
    struct Step {
        QString typed;
        QString selected;
    } steps[] = {
        {u"мос"_qs, u"Москва"_qs},
        {u"   "_qs, u"Москва"_qs},
        {u"петро"_qs, u"Петропавловск-Камчатский, Камчатка"_qs},
        {u"нет такого"_qs, u"Петропавловск-Камчатский, Камчатка"_qs},
        {u"  БУЭ "_qs, u"Буэнос-Айрес"_qs},
        {u"М"_qs, u"Москва"_qs},
    };
    for (const Step &s : steps) {
        d.Text1->setText(s.typed);
        EXPECT_EQ(selectedName(d), s.selected) << s.typed.toStdString();
    }
}

TEST_F(Directory, ChoosingFillsTheLocationControls)
{
    struct Case {
        const char *what;
        QString search;
        bool doubleClick;
        QString name;
        QList<int> indices; // Combo7, 8, 9, 12, 11, 10
    } cases[] = {
        {"north and east", u"Москва"_qs, false, u"Москва"_qs, {55, 45, 0, 37, 35, 0}},
        {"south and west", u"Буэнос"_qs, true, u"Буэнос-Айрес"_qs, {34, 36, 1, 58, 22, 1}},
        {"values beyond the lists are held to them, no minutes at the limits",
         u"Полюс"_qs,
         false,
         u"Полюс"_qs,
         {90, 0, 0, 180, 0, 1}}, // no minutes at 90° and 180°
    };
    for (const Case &c : cases) {
        Controls ui;
        SpravCity d(ui.target(), nullptr, cities());
        d.Text1->setText(c.search);
        if (c.doubleClick)
            d.ListView1_DblClick();
        else
            d.Command1_Click();
        EXPECT_EQ(ui.name.text(), c.name) << c.what;
        EXPECT_EQ(ui.indices(), c.indices) << c.what;
        EXPECT_EQ(d.result(), QDialog::Accepted) << c.what;
    }
    EXPECT_EQ(Controls().c9.itemText(1), u"Ю.ш."_qs);
    EXPECT_EQ(Controls().c10.itemText(1), u"З.д."_qs);
}

TEST_F(Directory, CloseChangesNothing)
{
    Controls ui;
    ui.name.setText(u"Лима"_qs);
    SpravCity d(ui.target(), nullptr, cities());
    const QList<int> before = ui.indices();
    d.Command2_Click();
    EXPECT_EQ(ui.indices(), before);
    EXPECT_EQ(ui.name.text(), u"Лима"_qs);
    EXPECT_EQ(d.result(), QDialog::Rejected);
}
