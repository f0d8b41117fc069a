#include "location/spravcity/SpravCity.h"

#include "location/core/CityFile.h"
#include "location/core/Location.h"
#include "platform/core/ProgramFolders.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace somnex::location {

namespace {

void selectIndex(QComboBox *box, int value)
{
    if (!box || box->count() == 0)
        return;
    box->setCurrentIndex(clampIndex(value, box->count() - 1));
}

} // namespace

SpravCity::SpravCity(const LocationControls &target, QWidget *parent, const QString &cityFile)
    : QDialog(parent), target_(target), cityFile_(cityFile.isEmpty() ? CityFilePath() : cityFile)
{
    setWindowTitle(QStringLiteral("Справочник городов"));
    setObjectName(QStringLiteral("SpravCity"));

    Heading = new QLabel(QStringLiteral("Малый справочник городов"), this);
    Heading->setStyleSheet(QStringLiteral(
        "QLabel { color: white; font-weight: bold; padding: 4px 8px;"
        " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #4a67c2, stop:0.5 #2c438f, stop:1 #1d2d68); }"));
    auto *searchLabel = new QLabel(QStringLiteral("&Быстрый поиск:"), this);
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    searchLabel->setBuddy(Text1);
    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setColumnCount(3);
    ListView1->setHeaderLabels({QStringLiteral("Город"), QStringLiteral("Широта"), QStringLiteral("Долгота")});
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Flat column headers: they are labels, not buttons.
    ListView1->header()->setSectionsClickable(false);
    ListView1->header()->setHighlightSections(false);
    ListView1->setColumnWidth(0, 170);
    ListView1->setColumnWidth(1, 95);
    Status = new QLabel(this);
    Status->setTextFormat(Qt::PlainText); // holds a file path
    Status->setWordWrap(true);
    Status->setStyleSheet(QStringLiteral("QLabel { color: #a01010; }"));
    Status->hide();
    Command1 = new QPushButton(QStringLiteral("Выбрать"), this);
    Command2 = new QPushButton(QStringLiteral("Закрыть"), this);
    Command1->setDefault(true);

    auto *search = new QHBoxLayout;
    search->addWidget(searchLabel);
    search->addWidget(Text1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    auto *body = new QVBoxLayout;
    body->setContentsMargins(9, 6, 9, 9);
    body->addLayout(search);
    body->addWidget(ListView1, 1);
    body->addWidget(Status);
    body->addLayout(buttons);
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    v->addWidget(Heading);
    v->addLayout(body, 1);
    resize(400, 420);

    connect(Text1, &QLineEdit::textChanged, this, &SpravCity::Text1_Change);
    connect(Command1, &QPushButton::clicked, this, &SpravCity::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &SpravCity::Command2_Click);
    connect(ListView1, &QTreeWidget::itemDoubleClicked, this, [this] { ListView1_DblClick(); });

    // Form_Load
    LoadList();
    if (target_.name)
        Text1->setText(target_.name->text()); // runs the quick search
    Text1_Change();
}

void SpravCity::LoadList()
{
    ListView1->clear();
    loadError_.clear();
    const QList<CityRecord> records = CityFile::read(cityFile_, &loadError_);
    QList<QTreeWidgetItem *> items;
    items.reserve(records.size());
    for (const CityRecord &r : records)
        items.append(new QTreeWidgetItem(QStringList{r.name, r.latitudeCell(), r.longitudeCell()}));
    ListView1->addTopLevelItems(items);
    Status->setText(loadError_);
    Status->setVisible(!loadError_.isEmpty());
}

void SpravCity::Text1_Change()
{
    const QString text = Text1->text().trimmed();
    if (text.isEmpty())
        return;
    for (int i = 0; i < ListView1->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = ListView1->topLevelItem(i);
        if (item->text(0).startsWith(text, Qt::CaseInsensitive)) {
            ListView1->setCurrentItem(item);
            ListView1->scrollToItem(item);
            return;
        }
    }
}

void SpravCity::Command1_Click()
{
    choose();
}

void SpravCity::ListView1_DblClick()
{
    choose();
}

void SpravCity::Command2_Click()
{
    reject();
}

void SpravCity::choose()
{
    const QList<QTreeWidgetItem *> selected = ListView1->selectedItems();
    if (selected.isEmpty())
        return; // nothing chosen: the directory stays open
    const QTreeWidgetItem *row = selected.first();
    if (target_.name)
        target_.name->setText(row->text(0));
    const QString lat = row->text(1);
    selectIndex(target_.latDegrees, GeoH(lat));
    selectIndex(target_.latMinutes, GeoM(lat));
    selectIndex(target_.latHemisphere, GeoP(lat));
    const QString lon = row->text(2);
    selectIndex(target_.lonDegrees, GeoH(lon));
    selectIndex(target_.lonMinutes, GeoM(lon));
    selectIndex(target_.lonHemisphere, GeoP(lon));
    const auto degrees = [](const QString &cell) {
        const double value = GeoH(cell) + GeoM(cell) / 60.0;
        return GeoP(cell) == 0 ? value : -value;
    };
    chosen_ = ChosenCity{row->text(0), degrees(lat), degrees(lon)};
    accept();
}

} // namespace somnex::location
