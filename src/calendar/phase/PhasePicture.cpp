#include "calendar/phase/PhasePicture.h"

#include <QColor>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace somnex::calendar {

namespace {

constexpr double kSynodicMonth = 29.530588853;

// Darker seas on the near side, as (x, y, radius) in units of the disc's
// radius, x to the east (right) and y downwards.
struct Sea {
    double x, y, r, depth;
};
constexpr Sea kSeas[] = {
    {-0.30, -0.35, 0.22, 0.18}, {-0.05, -0.05, 0.18, 0.15}, {0.30, -0.30, 0.17, 0.16}, {0.38, 0.05, 0.14, 0.14},
    {-0.45, 0.10, 0.20, 0.12},  {0.10, 0.35, 0.15, 0.10},   {-0.15, 0.55, 0.10, 0.08}, {0.55, -0.55, 0.08, 0.10},
};

double seaShade(double x, double y)
{
    double shade = 0.0;
    for (const Sea &s : kSeas) {
        const double d = std::hypot(x - s.x, y - s.y) / s.r;
        if (d < 1.0)
            shade += s.depth * (1.0 - d * d);
    }
    return std::min(shade, 0.35);
}

} // namespace

double phaseAngle(int picture)
{
    const int n = std::clamp(picture, 1, kPhasePictureCount);
    return 2.0 * std::numbers::pi * (n - 0.5) / kSynodicMonth;
}

double litFraction(int picture)
{
    return (1.0 - std::cos(phaseAngle(picture))) / 2.0;
}

namespace {

// The disc a picture draws and the phase it shows.
struct MoonDisc {
    double cx, cy, radius;
    double c;    // cosine of the phase angle
    bool waxing; // the lit side east of the terminator
    // Lit surface, the Earth-lit dark side, and the sky.
    QColor lit{0xf4, 0xee, 0xc8}, dark{0x4a, 0x52, 0x68};
};

// The colour of pixel (px, py), from kSub x kSub samples; false for a pixel
// wholly outside the disc (the sky).
bool shadePixel(const MoonDisc &d, int px, int py, QRgb &out)
{
    constexpr int kSub = 4; // samples per pixel and axis
    double r = 0, g = 0, b = 0;
    int inside = 0;
    for (int sy = 0; sy < kSub; ++sy) {
        for (int sx = 0; sx < kSub; ++sx) {
            const double x = (px + (sx + 0.5) / kSub - d.cx) / d.radius;
            const double y = (py + (sy + 0.5) / kSub - d.cy) / d.radius;
            const double h = 1.0 - x * x - y * y;
            if (h < 0.0)
                continue;
            ++inside;
            // The terminator is the half-ellipse x = cos(theta) w,
            // w the half-width of the disc at this height; waxing,
            // the lit side is east of it, waning west of it.
            const double w = std::sqrt(1.0 - y * y);
            const bool isLit = d.waxing ? x > d.c * w : x < -d.c * w;
            const double sea = seaShade(x, y);
            const double limb = 0.82 + 0.18 * std::sqrt(h); // a little darker at the edge
            const QColor &base = isLit ? d.lit : d.dark;
            const double k = (1.0 - sea) * limb;
            r += base.red() * k;
            g += base.green() * k;
            b += base.blue() * k;
        }
    }
    if (inside == 0)
        return false;
    // Edge samples outside the disc are sky: they blend towards
    // black, never reach it, so the keyed ground stays the sky only.
    const double n = kSub * kSub;
    const int R = std::max(1, static_cast<int>(std::lround(r / n)));
    const int G = std::max(1, static_cast<int>(std::lround(g / n)));
    const int B = std::max(1, static_cast<int>(std::lround(b / n)));
    out = qRgb(R, G, B);
    return true;
}

QImage drawDisc(double theta, int size)
{
    size = std::max(size, 1);
    QImage img(size, size, QImage::Format_RGB32);
    img.fill(Qt::black);
    MoonDisc disc;
    disc.c = std::cos(theta);
    disc.waxing = theta < std::numbers::pi;
    disc.radius = size / 2.0 - 0.5;
    disc.cx = size / 2.0;
    disc.cy = size / 2.0;
    for (int py = 0; py < size; ++py) {
        QRgb *row = reinterpret_cast<QRgb *>(img.scanLine(py));
        for (int px = 0; px < size; ++px)
            shadePixel(disc, px, py, row[px]);
    }
    return img;
}

} // namespace

QImage drawMoonPhase(int picture, int size)
{
    return drawDisc(phaseAngle(picture), size);
}

QImage drawMoonAtElongation(double elongation, int size)
{
    double e = std::fmod(elongation, 360.0);
    if (!std::isfinite(e))
        e = 0.0;
    else if (e < 0.0)
        e += 360.0;
    return drawDisc(e * std::numbers::pi / 180.0, size);
}

QList<QImage> makeMoonPics(int size)
{
    QList<QImage> pics;
    pics.reserve(kPhasePictureCount);
    for (int n = 1; n <= kPhasePictureCount; ++n)
        pics.append(drawMoonPhase(n, size));
    return pics;
}

QImage keyedPhaseImage(const QImage &picture, int width)
{
    if (picture.isNull() || width <= 0)
        return {};
    QImage keyed = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < keyed.height(); ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x)
            if ((row[x] & 0xFFFFFFu) == 0)
                row[x] = 0;
    }
    const int height = std::max(1, static_cast<int>(std::lround(double(picture.height()) * width / picture.width())));
    return keyed.convertToFormat(QImage::Format_ARGB32_Premultiplied)
        .scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage seenFrom(const QImage &picture, double latitude)
{
    return latitude < 0 ? picture.mirrored(true, false) : picture;
}

} // namespace somnex::calendar
