#include "astro/mMoon.h"

#include "astro/mMath.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdlib>

namespace astro {

MoonTermColumn MoonLrD, MoonLrM, MoonLrMp, MoonLrF, MoonLCoef, MoonRCoef;
MoonTermColumn MoonBD, MoonBM, MoonBMp, MoonBF, MoonBCoef;
bool MoonTermsReady = false;

namespace {

struct LrRow {
    std::int32_t d, m, mp, f, l, r;
};
struct BRow {
    std::int32_t d, m, mp, f, b;
};

// Periodic terms for the longitude and the distance, in the published order.
// clang-format off
constexpr LrRow kLr[60] = {
    {0, 0, 1, 0, 6288774, -20905355}, {2, 0, -1, 0, 1274027, -3699111}, {2, 0, 0, 0, 658314, -2955968},
    {0, 0, 2, 0, 213618, -569925},    {0, 1, 0, 0, -185116, 48888},     {0, 0, 0, 2, -114332, -3149},
    {2, 0, -2, 0, 58793, 246158},     {2, -1, -1, 0, 57066, -152138},   {2, 0, 1, 0, 53322, -170733},
    {2, -1, 0, 0, 45758, -204586},    {0, 1, -1, 0, -40923, -129620},   {1, 0, 0, 0, -34720, 108743},
    {0, 1, 1, 0, -30383, 104755},     {2, 0, 0, -2, 15327, 10321},      {0, 0, 1, 2, -12528, 0},
    {0, 0, 1, -2, 10980, 79661},      {4, 0, -1, 0, 10675, -34782},     {0, 0, 3, 0, 10034, -23210},
    {4, 0, -2, 0, 8548, -21636},      {2, 1, -1, 0, -7888, 24208},      {2, 1, 0, 0, -6766, 30824},
    {1, 0, -1, 0, -5163, -8379},      {1, 1, 0, 0, 4987, -16675},       {2, -1, 1, 0, 4036, -12831},
    {2, 0, 2, 0, 3994, -10445},       {4, 0, 0, 0, 3861, -11650},       {2, 0, -3, 0, 3665, 14403},
    {0, 1, -2, 0, -2689, -7003},      {2, 0, -1, 2, -2602, 0},          {2, -1, -2, 0, 2390, 10056},
    {1, 0, 1, 0, -2348, 6322},        {2, -2, 0, 0, 2236, -9884},       {0, 1, 2, 0, -2120, 5751},
    {0, 2, 0, 0, -2069, 0},           {2, -2, -1, 0, 2048, -4950},      {2, 0, 1, -2, -1773, 4130},
    {2, 0, 0, 2, -1595, 0},           {4, -1, -1, 0, 1215, -3958},      {0, 0, 2, 2, -1110, 0},
    {3, 0, -1, 0, -892, 3258},        {2, 1, 1, 0, -810, 2616},         {4, -1, -2, 0, 759, -1897},
    {0, 2, -1, 0, -713, -2117},       {2, 2, -1, 0, -700, 2354},        {2, 1, -2, 0, 691, 0},
    {2, -1, 0, -2, 596, 0},           {4, 0, 1, 0, 549, -1423},         {0, 0, 4, 0, 537, -1117},
    {4, -1, 0, 0, 520, -1571},        {1, 0, -2, 0, -487, -1739},       {2, 1, 0, -2, -399, 0},
    {0, 0, 2, -2, -381, -4421},       {1, 1, 1, 0, 351, 0},             {3, 0, -2, 0, -340, 0},
    {4, 0, -3, 0, 330, 0},            {2, -1, 2, 0, 327, 0},            {0, 2, 1, 0, -323, 1165},
    {1, 1, -1, 0, 299, 0},            {2, 0, 3, 0, 294, 0},             {2, 0, -1, -2, 0, 8752},
};
// clang-format on

// Periodic terms for the latitude, in the published order.
// clang-format off
constexpr BRow kB[60] = {
    {0, 0, 0, 1, 5128122}, {0, 0, 1, 1, 280602}, {0, 0, 1, -1, 277693}, {2, 0, 0, -1, 173237},
    {2, 0, -1, 1, 55413},  {2, 0, -1, -1, 46271}, {2, 0, 0, 1, 32573},  {0, 0, 2, 1, 17198},
    {2, 0, 1, -1, 9266},   {0, 0, 2, -1, 8822},   {2, -1, 0, -1, 8216}, {2, 0, -2, -1, 4324},
    {2, 0, 1, 1, 4200},    {2, 1, 0, -1, -3359},  {2, -1, -1, 1, 2463}, {2, -1, 0, 1, 2211},
    {2, -1, -1, -1, 2065}, {0, 1, -1, -1, -1870}, {4, 0, -1, -1, 1828}, {0, 1, 0, 1, -1794},
    {0, 0, 0, 3, -1749},   {0, 1, -1, 1, -1565},  {1, 0, 0, 1, -1491},  {0, 1, 1, 1, -1475},
    {0, 1, 1, -1, -1410},  {0, 1, 0, -1, -1344},  {1, 0, 0, -1, -1335}, {0, 0, 3, 1, 1107},
    {4, 0, 0, -1, 1021},   {4, 0, -1, 1, 833},    {0, 0, 1, -3, 777},   {4, 0, -2, 1, 671},
    {2, 0, 0, -3, 607},    {2, 0, 2, -1, 596},    {2, -1, 1, -1, 491},  {2, 0, -2, 1, -451},
    {0, 0, 3, -1, 439},    {2, 0, 2, 1, 422},     {2, 0, -3, -1, 421},  {2, 1, -1, 1, -366},
    {2, 1, 0, 1, -351},    {4, 0, 0, 1, 331},     {2, -1, 1, 1, 315},   {2, -2, 0, -1, 302},
    {0, 0, 1, 3, -283},    {2, 1, 1, -1, -229},   {1, 1, 0, -1, 223},   {1, 1, 0, 1, 223},
    {0, 1, -2, -1, -220},  {2, 1, -1, -1, -220},  {1, 0, 1, 1, -185},   {2, -1, -2, -1, 181},
    {0, 1, 2, 1, -177},    {4, 0, -2, -1, 176},   {4, -1, -1, -1, 166}, {1, 0, 1, -1, -164},
    {4, 0, 1, -1, 132},    {1, 0, -1, -1, -119},  {4, -1, 0, -1, 115},  {2, -2, 0, 1, 107},
};
// clang-format on

// The eccentricity factor for a term with the given multiplier of M.
double EFactor(std::int32_t mMultiplier, double e)
{
    switch (std::abs(mMultiplier)) {
    case 1: return e;
    case 2: return e * e;
    default: return 1.0;
    }
}

double ReducedRadians(double degrees)
{
    return DegToRad(Norm360(degrees));
}

// cos and sin of k x for k from -4 to 4 (index k + 4), built from those of
// x by the addition theorem: the 120 terms need four sines and cosines
// instead of 180.
struct Rotation {
    double c = 1.0, s = 0.0;
};

Rotation Times(const Rotation &a, const Rotation &b)
{
    return Rotation{a.c * b.c - a.s * b.s, a.s * b.c + a.c * b.s};
}

constexpr int kMaxMultiple = 4;
using Multiples = std::array<Rotation, 2 * kMaxMultiple + 1>;

// The place of the multiple n (-kMaxMultiple..kMaxMultiple) in Multiples.
std::size_t slot(int n)
{
    const int at = n + kMaxMultiple;
    return static_cast<std::size_t>(at);
}

Multiples MultiplesOf(double x)
{
    Multiples r{};
    r[kMaxMultiple] = Rotation{};
    r[kMaxMultiple + 1] = Rotation{std::cos(x), std::sin(x)};
    for (int k = 2; k <= kMaxMultiple; ++k)
        r[kMaxMultiple + k] = Times(r[kMaxMultiple + k - 1], r[kMaxMultiple + 1]);
    for (int k = 1; k <= kMaxMultiple; ++k)
        r[kMaxMultiple - k] = Rotation{r[kMaxMultiple + k].c, -r[kMaxMultiple + k].s};
    return r;
}

// The four fundamental arguments of the series with their multiples.
struct Arguments {
    double d, m, mp, f;
    Multiples md, mm, mmp, mf;

    // cos and sin of D d + M m + M' mp + F f; multipliers beyond the
    // table's take the sine and cosine of the sum itself.
    Rotation of(std::int32_t nd, std::int32_t nm, std::int32_t nmp, std::int32_t nf) const
    {
        const auto in = [](std::int32_t n) { return n >= -kMaxMultiple && n <= kMaxMultiple; };
        if (!(in(nd) && in(nm) && in(nmp) && in(nf))) {
            const double arg = nd * d + nm * m + nmp * mp + nf * f;
            return Rotation{std::cos(arg), std::sin(arg)};
        }
        return Times(Times(md[slot(nd)], mm[slot(nm)]), Times(mmp[slot(nmp)], mf[slot(nf)]));
    }
};

} // namespace

void InitMoonTerms()
{
    for (int i = 0; i < 60; ++i) {
        MoonLrD[i] = kLr[i].d;
        MoonLrM[i] = kLr[i].m;
        MoonLrMp[i] = kLr[i].mp;
        MoonLrF[i] = kLr[i].f;
        MoonLCoef[i] = kLr[i].l;
        MoonRCoef[i] = kLr[i].r;
        MoonBD[i] = kB[i].d;
        MoonBM[i] = kB[i].m;
        MoonBMp[i] = kB[i].mp;
        MoonBF[i] = kB[i].f;
        MoonBCoef[i] = kB[i].b;
    }
    MoonTermsReady = true;
}

Triple MoonPosition(double jde)
{
    if (!MoonTermsReady)
        InitMoonTerms();
    const double t = (Checked(jde) - 2451545.0) / 36525.0;
    const double t2 = t * t, t3 = t2 * t, t4 = t3 * t;

    const double lpDeg = 218.3164591 + 481267.88134236 * t - 0.0013268 * t2 + t3 / 538841.0 - t4 / 65194000.0;
    const double lp = ReducedRadians(lpDeg);
    const double d = ReducedRadians(297.8502042 + 445267.1115168 * t - 0.00163 * t2 + t3 / 545868.0 - t4 / 113065000.0);
    const double m = ReducedRadians(357.5291092 + 35999.0502909 * t - 0.0001536 * t2 + t3 / 24490000.0);
    const double mp = ReducedRadians(134.9634114 + 477198.8676313 * t + 0.008997 * t2 + t3 / 69699.0 - t4 / 14712000.0);
    const double f =
        ReducedRadians(93.2720993 + 483202.0175273 * t - 0.0034029 * t2 - t3 / 3526000.0 + t4 / 863310000.0);
    const double a1 = ReducedRadians(119.75 + 131.849 * t);
    const double a2 = ReducedRadians(53.09 + 479264.29 * t);
    const double a3 = ReducedRadians(313.45 + 481266.484 * t);
    const double e = 1.0 - 0.002516 * t - 0.0000074 * t2;

    const Arguments args{d, m, mp, f, MultiplesOf(d), MultiplesOf(m), MultiplesOf(mp), MultiplesOf(f)};
    double sumL = 0.0, sumR = 0.0, sumB = 0.0;
    for (int i = 0; i < 60; ++i) {
        const Rotation r = args.of(MoonLrD[i], MoonLrM[i], MoonLrMp[i], MoonLrF[i]);
        const double ef = EFactor(MoonLrM[i], e);
        sumL += MoonLCoef[i] * ef * r.s;
        sumR += MoonRCoef[i] * ef * r.c;
    }
    for (int i = 0; i < 60; ++i)
        sumB += MoonBCoef[i] * EFactor(MoonBM[i], e) * args.of(MoonBD[i], MoonBM[i], MoonBMp[i], MoonBF[i]).s;
    sumL += 3958.0 * std::sin(a1) + 1962.0 * std::sin(lp - f) + 318.0 * std::sin(a2);
    sumB += -2235.0 * std::sin(lp) + 382.0 * std::sin(a3) + 175.0 * std::sin(a1 - f) + 175.0 * std::sin(a1 + f)
            + 127.0 * std::sin(lp - mp) - 115.0 * std::sin(lp + mp);

    Triple r;
    // The mean longitude enters in degrees as it stands, before reduction.
    r.First = Norm360(lpDeg + Checked(sumL) / 1000000.0);
    r.Second = Norm360(Checked(sumB) / 1000000.0);
    r.Third = Checked(385000.56 + Checked(sumR) / 1000.0) / AstronomicalUnitKm;
    return r;
}

} // namespace astro
