#pragma once
// What the program asks of the operating system: its version, the data
// folders, the program's own folder and name, twips.

#include "platform/core/Identity.h"

#include <QString>

namespace somnex {

// The shared data folder that holds "ZUL Programming/ZUL Somnex/3.1/...":
// $SOMNEX_DATA_DIR when set (the folder above "ZUL Programming", or the
// ".../ZUL Programming/ZUL Somnex/3.1" folder itself), otherwise <prefix>/share for the program in
// <prefix>/bin; empty when it cannot be resolved.
QString SharedDataFolder();
// Path with a "/" appended when its last character is not "/".
QString AddSlash(const QString &path);

// The folder and base name of the running executable.
QString ProgramFolder();
QString ExeBaseName();
QString ExePath();

QString BooksFolderFor(const QString &sharedDataFolder);
QString TextsFolderFor(const QString &sharedDataFolder);

// City.csv: beside the program when there, otherwise in the product's data folder.
QString CityFilePath();

// Twips (1/1440 inch) and pixels at 15 twips per pixel.
inline constexpr int kTwipsPerPixel = 15;
// Pixels of a twip value, rounded; values beyond what a screen can hold (a
// hand-edited setting of 1e12) are held to a quarter of the int range.
inline int TwipsToPixels(double twips)
{
    if (!(twips == twips))
        return 0;
    const double px = twips / kTwipsPerPixel + (twips >= 0 ? 0.5 : -0.5);
    constexpr double limit = 536870911.0;
    return static_cast<int>(px > limit ? limit : px < -limit ? -limit : px);
}
inline double PixelsToTwips(int px)
{
    return double(px) * kTwipsPerPixel;
}

} // namespace somnex
