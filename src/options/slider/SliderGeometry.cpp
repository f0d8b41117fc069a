#include "options/slider/SliderGeometry.h"

#include <cmath>

namespace somnex::options {

double clampThumb(double pos, double innerWidth, double thumbWidth)
{
    if (pos < kSliderMargin)
        pos = kSliderMargin;
    const double limit = innerWidth - kSliderMargin - thumbWidth;
    if (pos > limit)
        pos = limit;
    return pos;
}

double thumbForValue(double value, int min, int max, double innerWidth, double thumbWidth, bool afterDrag)
{
    const double divisor = static_cast<double>(max) - min + (afterDrag ? 0 : 1);
    const double travel = innerWidth - kSliderMargin * 2 - kThumbAllowance;
    // An empty or inverted range leaves the thumb at the left stop.
    const double pos = divisor > 0 ? travel * (value - min) / divisor : kSliderMargin;
    return clampThumb(pos, innerWidth, thumbWidth);
}

DragResult dragTo(double x, int min, int max, double innerWidth, double thumbWidth)
{
    const double p = clampThumb(x - kHalfThumb, innerWidth, thumbWidth);
    const double travel = innerWidth - kSliderMargin * 2 - kThumbAllowance;
    double value = min;
    if (p > kSliderMargin && travel > 0)
        value = std::floor((static_cast<double>(max) - min) / travel * p) + min;
    const double thumb = thumbForValue(value, min, max, innerWidth, thumbWidth, true);
    if (value > max)
        value = max;
    if (value < min)
        value = min;
    return {static_cast<int>(value), thumb};
}

namespace {
// Max first, then Min, as after a drag (an inverted range ends at Min).
int holdInRange(long long v, int min, int max)
{
    if (v > max)
        v = max;
    if (v < min)
        v = min;
    return static_cast<int>(v);
}
} // namespace

int stepLeft(int value, int min, int max)
{
    return holdInRange(static_cast<long long>(value) - 1, min, max);
}
int stepRight(int value, int min, int max)
{
    return holdInRange(static_cast<long long>(value) + 1, min, max);
}

int sliderValueForMenuAlpha(int menuAlpha)
{
    return 255 - (menuAlpha == 0 ? 255 : menuAlpha);
}
int menuAlphaForSliderValue(int value)
{
    return 255 - value;
}

int transparencyPercent(int value)
{
    const long long scaled = static_cast<long long>(value) * 100;
    // Whole part towards minus infinity, as for a negative value too.
    return static_cast<int>(scaled >= 0 ? scaled / 255 : -((-scaled + 254) / 255));
}

} // namespace somnex::options
