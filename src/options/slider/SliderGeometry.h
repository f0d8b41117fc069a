#pragma once
// Placing and dragging arithmetic of the slider control, in twips of the
// control's own coordinates (15 twips per pixel). The track leaves a margin
// of 30 at each end and allows 270 for the thumb; the usable travel is the
// inner width minus 330.

namespace somnex::options {

inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kSliderMargin = 30;
inline constexpr int kThumbAllowance = 270;
inline constexpr int kHalfThumb = 135;
inline constexpr int kThumbWidthPx = 19;
inline constexpr int kThumbHeightPx = 13;

inline constexpr int twipsToPixels(double twips)
{
    return static_cast<int>(twips / kTwipsPerPixel + (twips < 0 ? -0.5 : 0.5));
}
inline constexpr double pixelsToTwips(double px)
{
    return px * kTwipsPerPixel;
}

// Holds a thumb position between the left margin and the right end less the
// margin and the thumb's actual width.
double clampThumb(double pos, double innerWidth, double thumbWidth);

// The thumb's left edge for a value: (W - 330) x (value - min) / divisor,
// clamped; the divisor is (max - min + 1) for a value set from outside or by
// the arrow keys, and (max - min) after a drag.
double thumbForValue(double value, int min, int max, double innerWidth, double thumbWidth, bool afterDrag);

struct DragResult {
    int value;    // held to min..max
    double thumb; // left edge of the thumb, twips
};

// The value and thumb position for the pointer at x (twips): the thumb is
// centred under the pointer. At the left stop the value is min, as at the
// right stop it reaches max.
DragResult dragTo(double x, int min, int max, double innerWidth, double thumbWidth);

// Keys: Left lowers by one, Right raises by one; either way the value ends
// within min..max.
int stepLeft(int value, int min, int max);
int stepRight(int value, int min, int max);

// The options window's transparency: the slider shows 255 - MenuAlpha (an
// alpha of 0 counts as 255), and its label the whole percent of v / 255.
int sliderValueForMenuAlpha(int menuAlpha);
int menuAlphaForSliderValue(int value);
int transparencyPercent(int value);

} // namespace somnex::options
