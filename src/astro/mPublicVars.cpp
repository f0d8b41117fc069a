#include "astro/mPublicVars.h"

namespace astro {

ObserverPosition Observer;

std::array<PlanetSeries, 10> PlanetSeriesRecords;

MessageHook ShowMessage = [](std::string_view, std::string_view, MessageIcon) {};

} // namespace astro
