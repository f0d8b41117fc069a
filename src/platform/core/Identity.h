#pragma once
// Who the program is to the desktop, its data folders and its settings store,
// and the names under which it stores its settings. Every part of the
// program names them through here.

#include <QString>

namespace somnex {

// ---- the program on the desktop -----------------------------------------

// The product's folder below the shared and the per-user data folders.
inline constexpr const char *kDataSubfolder = "ZUL Programming/ZUL Somnex/3.1";
// The program's folder below the per-user configuration folder.
inline constexpr const char *kConfigSubfolder = "zul-somnex";
// The desktop entry, icon and window class name.
inline constexpr const char *kDesktopName = "zul-somnex";
// The autostart entry: the value of the current user's Run key.
inline constexpr const char *kAutostartName = "ZULSomnex3";

// ---- the settings store --------------------------------------------------

namespace settings {

// The application all settings are stored under, and its sections.
inline const QString kApp = QStringLiteral("ZUL_Programming");
inline const QString kMain = QStringLiteral("Somnex3");
// Book keys (a book file's full path) with 1 enabled, 0 disabled; also the
// article shelf's favourites.
inline const QString kBooks = QStringLiteral("Somnex3\\books");
inline const QString kLocation = QStringLiteral("UserLocation");

// Keys of the main section.
namespace key {
// The main window's place and size, in twips.
inline constexpr const char *Top = "Top";
inline constexpr const char *Left = "Left";
inline constexpr const char *Height = "Height";
inline constexpr const char *Width = "Width";
// The interpretation window's place and size, in twips.
inline constexpr const char *TTop = "TTop";
inline constexpr const char *TLeft = "TLeft";
inline constexpr const char *THeight = "THeight";
inline constexpr const char *TWidth = "TWidth";
inline constexpr const char *ToTray = "ToTray";         // closing the window keeps the program in the tray
inline constexpr const char *MenuTransp = "MenuTransp"; // the tray menu's opacity, 0 to 255
inline constexpr const char *AdminCommands = "AdminCommands";
inline constexpr const char *ListMode = "ListMode"; // 1 the report view, 0 the list
inline constexpr const char *LitAExpanded = "LitAExpanded";
inline constexpr const char *LitFExpanded = "LitFExpanded";
inline constexpr const char *UnloadQ = "UnloadQ"; // 1: do not ask before exiting
inline constexpr const char *LastWord = "LastWord";
// The dream diary's window: place and size in twips, and where its list ends
// (the splitter, in twips from the window's left).
inline constexpr const char *DTop = "DTop";
inline constexpr const char *DLeft = "DLeft";
inline constexpr const char *DHeight = "DHeight";
inline constexpr const char *DWidth = "DWidth";
inline constexpr const char *DSplit = "DSplit";
// The morning reminder: "1" on, "0" off; its time "ЧЧ:ММ"; the ISO weekday
// digits it comes on ("12345", "1234567").
inline constexpr const char *Remind = "Remind";
inline constexpr const char *RemindTime = "RemindTime";
inline constexpr const char *RemindDays = "RemindDays";
// Spelling in the diary's editor: "1" on (the default), "0" off.
inline constexpr const char *Spell = "Spell";
// A private diary closes after this many minutes without a key or a click
// in its windows (1-1440; "0": only when the screen locks). Default 10.
inline constexpr const char *DiaryLock = "DiaryLockMinutes";
} // namespace key

// Keys of the location section.
namespace locationKey {
inline constexpr char16_t CityName[] = u"CityName";
inline constexpr char16_t SGraduses[] = u"SGraduses";
inline constexpr char16_t SMinutes[] = u"SMinutes";
inline constexpr char16_t SM[] = u"SM";
inline constexpr char16_t DGraduses[] = u"DGraduses";
inline constexpr char16_t DMinutes[] = u"DMinutes";
inline constexpr char16_t DM[] = u"DM";
} // namespace locationKey

} // namespace settings

} // namespace somnex
