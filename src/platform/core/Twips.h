#pragma once
// Window geometry in twips, as the program stores it in its settings, and
// its conversion to and from pixels.

namespace somnex {

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
