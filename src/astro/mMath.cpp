#include "astro/mMath.h"

#include <cmath>

namespace astro {

double Checked(double x)
{
    if (std::isnan(x))
        throw InvalidArgumentError();
    if (std::isinf(x))
        throw OverflowError();
    return x;
}

double Div(double a, double b)
{
    Checked(a);
    if (Checked(b) == 0.0)
        throw DivisionByZeroError();
    return Checked(a / b);
}

double Sqrt(double x)
{
    if (Checked(x) < 0.0)
        throw InvalidArgumentError();
    return std::sqrt(x);
}

double DegToRad(double angle)
{
    return Checked(angle * std::atan(1.0) / 45.0);
}

double RadToDeg(double angle)
{
    return Checked(angle * 45.0 / std::atan(1.0));
}

double SinD(double angle)
{
    return Checked(std::sin(DegToRad(angle)));
}

double CosD(double angle)
{
    return Checked(std::cos(DegToRad(angle)));
}

double TanD(double angle)
{
    return Checked(std::tan(DegToRad(angle)));
}

double ArcSin(double x)
{
    Checked(x);
    if (x == 1.0)
        return 2.0 * std::atan(1.0);
    if (x == -1.0)
        return 6.0 * std::atan(1.0);
    if (std::fabs(x) > 1.0)
        throw InvalidArgumentError();
    return std::atan(x / std::sqrt(1.0 - x * x));
}

double ArcTan2(double y, double x)
{
    Checked(y);
    Checked(x);
    if (x == 0.0) {
        if (y == 0.0)
            return 0.0;
        return y > 0.0 ? 2.0 * std::atan(1.0) : -2.0 * std::atan(1.0);
    }
    // For a tiny x the quotient may be infinite; its arc tangent is still
    // the right limit, so that is not treated as an overflow.
    double r = std::atan(y / x);
    if (x < 0.0)
        r += 4.0 * std::atan(1.0);
    return Checked(r);
}

double Norm360(double angle)
{
    Checked(angle);
    double r = Checked(angle - 360.0 * std::floor(angle / 360.0));
    // A tiny negative angle rounds up to 360 itself; that is 0.
    return r >= 360.0 ? 0.0 : r;
}

double RealMod(double a, double m)
{
    double q = std::trunc(Div(a, m));
    return Checked(a - m * q);
}

double ReduceToRadians(double angle)
{
    return RealMod(angle, 360.0) * 0.0174532925199433;
}

} // namespace astro
