#pragma once
// The main window's top row: the main toolbar (the interpretation, the
// calendar, the diary, the options) and the "О программе" link beside it.

#include "appstate/AppState.h"

#include <QObject>
#include <QString>

class QAction;
class QToolBar;
class QWidget;

namespace somnex {

class ClickLabel;

// The main toolbar's buttons by their keys.
namespace toolbarKey {
inline const QString Tolk = QStringLiteral("Tolk");
inline const QString Calen = QStringLiteral("Calen");
inline const QString Diary = QStringLiteral("Diary");
inline const QString Options = QStringLiteral("HLP");
} // namespace toolbarKey

class HeaderBar : public QObject {
    Q_OBJECT
public:
    // The controls are the window's own children: the window paints the
    // row's picture behind them.
    explicit HeaderBar(QWidget *window);

    // The link's own size, which the window's layout makes room for.
    QSize aboutLinkSize() const;
    void place(const MainLayout &m);
    // Whether a mouse move over this object is one over the toolbar row.
    bool holds(const QObject *o) const;

    // The interpretation button: enabled when there is something to
    // interpret, pressed while the interpretation window is open.
    bool tolkEnabled() const;
    void setTolkEnabled(bool enabled);
    bool tolkChecked() const;
    void setTolkChecked(bool checked);
    // The calendar button stays pressed while the calendar is open.
    void setCalendarPressed(bool pressed);

    // The link lights up under the mouse and dims when it leaves.
    void Label3_Click();
    void Label3_MouseMove();
    void dimAboutLink();

signals:
    void buttonClicked(const QString &key);

private:
    QWidget *window_;
    QToolBar *Toolbar1 = nullptr;
    QAction *btnTolk = nullptr, *btnCalen = nullptr, *btnDiary = nullptr, *btnHLP = nullptr;
    ClickLabel *Label3 = nullptr, *Label2 = nullptr, *Image8 = nullptr;
    void buildToolbar();
    void buildAboutLink();
};

} // namespace somnex
