#include "astro/mPlanet.h"

#include "astro/mMath.h"

#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <string>

namespace astro {

namespace {

// One variable's value: the sum over the powers k of tau^k times its terms
// of that power, taken from the term array in order.
double EvaluateVariable(const PlanetSeries &series, const std::vector<PlanetTerm> &terms, int variable, double tau,
                        int index)
{
    double value = 0.0;
    double tauK = 1.0;
    std::size_t next = 0;
    for (const auto &counts : series.Counts) {
        const std::int32_t n = counts[variable];
        if (n < 0 || static_cast<std::size_t>(n) > terms.size() - next)
            throw std::out_of_range("Planet series record " + std::to_string(index) + ": the term counts of "
                                    + "LBR"[variable] + " exceed its terms");
        double sum = 0.0;
        for (std::int32_t j = 0; j < n; ++j, ++next) {
            const PlanetTerm &term = terms[next];
            sum += term.A * std::cos(term.B + term.C * tau);
        }
        value += Checked(sum) * tauK;
        tauK *= tau;
    }
    return Checked(value);
}

} // namespace

Triple PlanetPosition(int index, double jde)
{
    if (index < 0 || index > 9) {
        if (ShowMessage)
            ShowMessage("Invalid planet index!", "Error", MessageIcon::Error);
        return Triple{};
    }
    const int record = index == Sun ? Earth : index;
    const PlanetSeries &series = PlanetSeriesRecords[static_cast<std::size_t>(record)];
    const double tau = (Checked(jde) - 2451545.0) / 365250.0;
    double l = EvaluateVariable(series, series.L, 0, tau, record);
    double b = EvaluateVariable(series, series.B, 1, tau, record);
    const double r = EvaluateVariable(series, series.R, 2, tau, record);
    if (index == Sun) {
        l += 4.0 * std::atan(1.0);
        b = -b;
    }
    return Triple{Norm360(RadToDeg(l)), RadToDeg(b), r};
}

} // namespace astro
