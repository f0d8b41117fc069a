#pragma once
// What a screen reader says about the program's controls, kept in one place:
// a table of accessible names and descriptions keyed by the window's and the
// control's object names, and the rules for controls the table cannot know
// in advance (the book buttons, icon-only tool buttons, clickable labels).
// InstallAccessibility() applies them to every window as its widgets are
// polished, and makes the tool buttons and clickable labels Tab stops so
// that every action can be reached with the keyboard alone.

#include <QList>
#include <QString>

#include <span>

class QWidget;

namespace somnex {

struct AccessibleText {
    const char *window; // the top-level window's object name
    const char *object; // the control's object name
    const char *name;
    const char *description; // empty when the name says what the control does
};

// The table (Russian texts, UTF-8).
std::span<const AccessibleText> accessibleTexts();

// The name and description the table gives a control of a window; null when none.
const AccessibleText *findAccessibleText(const QString &window, const QString &object);

// The state a book button announces: "Сонник включён" or "Сонник выключен".
QString bookStateText(bool enabled);

// Applies the table and the rules to one widget (not its children).
void applyAccessibility(QWidget *w);
// Applies them to a window and everything in it.
void applyAccessibilityTree(QWidget *window);

// The controls of a window that Tab stops at, by their place: rows from the
// top, each from the left. orderTabsByPosition makes that the Tab order.
QList<QWidget *> tabStopsByPosition(QWidget *window);
void orderTabsByPosition(QWidget *window);

// Installs the application-wide filter that applies them to each widget when
// it is polished, and the accessible interfaces of the clickable labels.
void InstallAccessibility();

} // namespace somnex
