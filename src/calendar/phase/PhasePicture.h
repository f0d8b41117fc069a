#pragma once
// The Moon's phase pictures of the calendar: picture n (1 to 29) shows the
// Moon on lunar day n, drawn from the phase angle on a black ground; black is
// the colour the calendar keys transparent when it shows a picture.

#include <QImage>
#include <QList>

namespace somnex::calendar {

inline constexpr int kPhasePictureCount = 29;

// The phase angle of picture n in radians: 0 new moon, pi full moon, the
// middle of lunar day n of a mean lunation of 29.53 days.
double phaseAngle(int picture);
// The lit fraction of the disc for picture n.
double litFraction(int picture);

// Picture n (held to 1..29), size by size pixels, opaque, the sky black.
QImage drawMoonPhase(int picture, int size);
// The Moon at an elongation (its ecliptic longitude minus the Sun's, in
// degrees: 0 new, 90 first quarter, 180 full), drawn the same way.
QImage drawMoonAtElongation(double elongation, int size);

// The picture list: pictures 1 to 29 at index 0 to 28.
QList<QImage> makeMoonPics(int size);

// A picture as the calendar paints it: every pixel of colour 0 (black) made
// transparent, then resampled to the given width with the height in
// proportion.
QImage keyedPhaseImage(const QImage &picture, int width);

// A picture as the Moon is seen from a latitude: the pictures show it as the
// northern hemisphere sees it (waxing lit on the right); south of the
// equator it is mirrored (waxing lit on the left).
QImage seenFrom(const QImage &picture, double latitude);

} // namespace somnex::calendar
