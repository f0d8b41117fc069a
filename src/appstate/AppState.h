#pragma once
// Process-wide values fixed when the main window loads, and the small rules
// of start-up that need no window.

#include "platform/core/Identity.h"

#include <QString>
#include <QStringView>

#include <functional>
#include <vector>

namespace somnex {

struct AppState {
    // Settings application and sections (named in platform/core/Identity.h).
    static inline const QString &App = settings::kApp;
    static inline const QString &Main = settings::kMain;
    static inline const QString &Books = settings::kBooks;
    static inline const QString &Location = settings::kLocation;

    QString BooksFolder;
    QString TextsFolder;
    bool CloseToTray = false;
    bool FirstActivation = false;
    QString AdminCommands;
    int MenuAlpha = 205;
    double ObserverLatitude = 55.75;
    double ObserverLongitude = 37.5833;
    bool LiteratureActive = false;
    long WordEntryTotal = 0;

    // Set once ExitApp has begun: closing the main window then only closes it.
    bool Exiting = false;
    // Set once the user's state was stored (or a fast exit gave it up): the
    // storing steps run once however the run ends.
    bool StateStored = false;
    // Set when ExitApp asked the process to end.
    bool QuitRequested = false;
};

AppState &app();

// "3.2.144": major.minor.build followed by the version comments (none).
QString VersionText();

// The command line, upper-cased, contains "/TRAY" anywhere.
bool CommandLineWantsTray(const QString &commandLine);

// Main window geometry in twips as loaded: stored values (NaN when missing)
// with the defaults and corrections applied, in this order: Top < 1 centres
// vertically, Left < 1 centres horizontally, a size above the screen becomes
// the screen size minus 90, then the minimums 3500 wide and 4000 high.
struct TwipRect {
    double left = 0, top = 0, width = 0, height = 0;
};
TwipRect LoadMainGeometry(double storedTop, double storedLeft, double storedHeight, double storedWidth,
                          double screenWidth, double screenHeight);

// The same within a screen's available area (its origin is not 0 when a
// panel sits at the top or the left): the centre is the area's centre.
TwipRect LoadMainGeometry(double storedTop, double storedLeft, double storedHeight, double storedWidth,
                          const TwipRect &availableArea, double fontScale = 1.0);

// How much larger the running font is than the one the window's twips were
// laid out for (8-point system font: 6 pixels an average letter, 13 a line
// at 96 dpi), given the running font's average letter width and line height
// in pixels; never below 1. A window of default size grows by it, so that
// its captions fit.
double FontScale(double averageLetterWidth, double lineHeight);
// The letters whose average width FontScale takes: the Russian alphabet, in
// which the window's texts are written.
inline constexpr QStringView kFontScaleLetters = u"абвгдежзийклмнопрстуфхцчшщъыьэюяАБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ";
// A window that cannot be reached on any of the screens' available areas
// (a monitor was unplugged: its title strip shows on none of them, by at
// least 600 twips) moves to the centre of the primary screen's area.
TwipRect KeepOnScreens(const TwipRect &g, const std::vector<TwipRect> &areas, const TwipRect &primary);

// The first L-1 characters followed by "..." when L is less than the length.
QString IfLong(const QString &txt, int L);
// How many characters fit in the counts label: (inner width - the status
// picture's width - the label's left) / 85, rounded down, as a 16-bit integer.
short WhatLong(double innerWidth, double pictureWidth, double labelLeft);

// The main window's layout arithmetic, in twips.
struct MainLayout {
    TwipRect toolbar, aboutLink, aboutShadow, aboutPicture, literature, dictionary, status;
};
MainLayout LayoutMain(double innerWidth, double innerHeight, double toolbarTop, double toolbarHeight,
                      double statusHeight, bool literatureOpen, double aboutLinkWidth, double aboutLinkHeight);
// Height of a closed panel: its header strip.
inline constexpr double kClosedPanelHeight = 330;

// The process-wide hook that ends the run; the program's main loop installs
// one that leaves the event loop, tests install a recorder.
void SetProcessEnd(std::function<void()> end);
void EndProcess();

} // namespace somnex
