#include "platform/core/Twips.h"

#include <gtest/gtest.h>

#include <cmath>

namespace somnex {
namespace {

TEST(Twips, PixelConversionStaysInRange)
{
    struct Case {
        double twips;
        int px;
    };
    const Case cases[] = {{0, 0},           {15, 1},     {22, 1},           {23, 2},
                          {-23, -2},        {6100, 407}, {1e12, 536870911}, {-1e300, -536870911},
                          {std::nan(""), 0}};
    for (const auto &c : cases)
        EXPECT_EQ(TwipsToPixels(c.twips), c.px) << c.twips;
}

} // namespace
} // namespace somnex
