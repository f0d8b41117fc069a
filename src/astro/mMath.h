#pragma once
// Angle functions of the astronomy engine, and the floating-point fault
// checks every engine routine goes through.
//
// A fault (an overflow, a zero divisor, an invalid operation such as the
// square root of a negative number) is raised to the caller as a FloatError
// of its kind; no engine routine catches it.

#include <stdexcept>
#include <string>

namespace astro {

class FloatError : public std::runtime_error {
public:
    // The run-time error number of the fault: 5 invalid argument,
    // 6 overflow, 11 division by zero.
    int number() const noexcept { return number_; }

protected:
    FloatError(int number, const std::string &description) : std::runtime_error(description), number_(number) {}

private:
    int number_;
};

class OverflowError : public FloatError {
public:
    OverflowError() : FloatError(6, "Overflow") {}
};

class DivisionByZeroError : public FloatError {
public:
    DivisionByZeroError() : FloatError(11, "Division by zero") {}
};

class InvalidArgumentError : public FloatError {
public:
    InvalidArgumentError() : FloatError(5, "Invalid procedure call or argument") {}
};

// Passes x through; an infinite value raises OverflowError, a NaN
// InvalidArgumentError.
double Checked(double x);
// a / b with the checks of a division: a zero divisor raises
// DivisionByZeroError, an infinite quotient OverflowError.
double Div(double a, double b);
// Square root; a negative argument raises InvalidArgumentError.
double Sqrt(double x);

double DegToRad(double angle);
double RadToDeg(double angle);
double SinD(double angle);
double CosD(double angle);
double TanD(double angle);

// Arc sine in radians. ArcSin(1) = pi/2 and ArcSin(-1) = 3pi/2; |x| > 1
// raises InvalidArgumentError.
double ArcSin(double x);
// Angle of (x, y) in radians, in (-pi/2, 3pi/2): arctan(y / x), plus pi when
// x < 0; 0 for (0, 0). On the y axis (x = 0, y != 0) the result is the limit
// from the right half-plane, pi/2 above and -pi/2 below, instead of a
// division fault.
double ArcTan2(double y, double x);
// angle reduced to [0, 360).
double Norm360(double angle);
// a - m * trunc(a / m): the remainder with the sign of a.
double RealMod(double a, double m);
// RealMod(angle, 360) in radians: within (-2pi, 2pi).
double ReduceToRadians(double angle);

} // namespace astro
