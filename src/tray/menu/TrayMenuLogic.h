#pragma once
// The parts of the tray quick-lookup menu that need no window: the unwanted-
// word filter, the items and their keyboard positions, the word completion
// and the idle counter that closes an unattended menu.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace somnex::tray {

// True when the word contains one of the unwanted fragments. The word is
// replaced by its trimmed, lower-case form, the form the fragments are
// matched against.
bool IsMat(QString &word);

// What an item of the menu does.
enum class MenuCommand { Restore, Calendar, Options, About, Quit };

struct MenuItem {
    int label; // index of its click area in Label18
    const char *caption;
    const char *icon; // artwork name
    double top;       // twips, of its click area
    MenuCommand command;
};

// The items in screen order; keyboard position p is kMenuItems[p - 1].
extern const std::array<MenuItem, 5> kMenuItems;

// The keyboard position after Up (-1) or Down (+1): cycles through 1..5;
// from no position (0) either key gives the first item.
std::int16_t StepPosition(std::int16_t position, int delta);
// The item the highlight shows for a keyboard position (outside 1..5: the
// first item).
const MenuItem &ItemAtPosition(std::int16_t position);

// The word box after a key: the typed text completed with the rest of the
// main list's selected word, the completion selected so that typing goes on
// over it. Nothing when there is nothing to complete: an empty box, a word
// that does not begin with the typed text (ignoring case), a word no longer
// than the text, or a caret that is not at the end of the text (typing in
// the middle of the word, or over a selection, is left alone).
struct Completion {
    QString text;
    int selectionStart = 0;
    int selectionLength = 0;
};
std::optional<Completion> Complete(const QString &typed, int caret, bool hasSelection, const QString &listWord);

// The idle counter, ticked every 10 ms: held at 0 while the word box holds a
// word or the pointer is over the menu; the menu closes when it exceeds 99.
class IdleCounter {
public:
    static constexpr std::int32_t kLimit = 99;
    void reset() { count_ = 0; }
    // True when the menu is to close.
    bool tick(bool wordTyped, bool pointerInside);
    std::int32_t count() const { return count_; }

private:
    std::int32_t count_ = 0;
};

// Where the menu's top-left corner goes: its bottom-right corner at the
// pointer, as a panel at the bottom of the screen wants it; where that leaves
// the screen's available area (a panel at the top, the pointer near the left
// edge) it opens below or to the right of the pointer instead, and it is kept
// entirely within the area.
QPoint MenuPosition(const QPoint &pointer, const QSize &size, const QRect &area);

// The same, knowing where the icon is on its screen: the menu opens beside
// the icon on the side away from the screen edge the icon's panel stands at,
// so it never covers the panel, whether or not the panel reserves its space
// (then area is the whole screen). An invalid icon rectangle gives the
// position above.
QPoint MenuPosition(const QPoint &pointer, const QSize &size, const QRect &area, const QRect &screen,
                    const QRect &icon);

// Where the pointer counts as still with the menu: the icon it was opened
// from, or where the icon is unknown, a small square around the pointer.
QRect IconArea(const QRect &icon, const QPoint &pointer);

} // namespace somnex::tray
