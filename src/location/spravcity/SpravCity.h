#pragma once
// The city directory: the places of City.csv in a list with their latitude
// and longitude, a quick search by the beginning of the name, and the choice
// of a place, which fills the location controls of the options window (not
// the settings: nothing is stored until the options window is confirmed).

#include <QDialog>
#include <QPointer>
#include <QString>

#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace somnex::location {

// The options window's location controls that a choice fills.
struct LocationControls {
    QLineEdit *name = nullptr;          // Text1, "Название:"
    QComboBox *latDegrees = nullptr;    // Combo7
    QComboBox *latMinutes = nullptr;    // Combo8
    QComboBox *latHemisphere = nullptr; // Combo9
    QComboBox *lonHemisphere = nullptr; // Combo10
    QComboBox *lonMinutes = nullptr;    // Combo11
    QComboBox *lonDegrees = nullptr;    // Combo12
};

// A place chosen in the directory, in degrees (north and east positive).
struct ChosenCity {
    QString name;
    double latitude = 0;
    double longitude = 0;
};

class SpravCity : public QDialog {
    Q_OBJECT

public:
    // Loads the directory from the city file (CityFilePath() when empty) and
    // selects the place the name box holds.
    SpravCity(const LocationControls &target, QWidget *parent = nullptr, const QString &cityFile = QString());

    void LoadList();
    void Text1_Change();
    void Command1_Click();
    void ListView1_DblClick();
    void Command2_Click();

    // Why the list is empty when the file could not be read; empty otherwise.
    QString loadError() const { return loadError_; }
    // The place chosen, once the dialog has been accepted (also when there
    // are no controls to fill, as for a dream's place).
    std::optional<ChosenCity> chosen() const { return chosen_; }

    QLabel *Heading = nullptr;
    QLineEdit *Text1 = nullptr;
    QTreeWidget *ListView1 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QLabel *Status = nullptr;

private:
    void choose();

    LocationControls target_;
    QString cityFile_;
    QString loadError_;
    std::optional<ChosenCity> chosen_;
};

} // namespace somnex::location
