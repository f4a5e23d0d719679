#include "common/core/dpi_scale.h"

#include <gtest/gtest.h>

namespace qlx {
namespace {

TEST(DpiScale, ScalesPixelsToTheNearest) {
    struct Case {
        int pixels, dpi, expected;
    };
    constexpr Case kCases[] = {
        {88, 96, 88},  {88, 144, 132}, {88, 192, 176},       {15, 144, 23}, // 22.5 rounds up
        {15, 120, 19}, {1, 144, 2},    {0, 192, 0},          {-15, 144, -23},
        {300, 0, 300}, {300, -1, 300}, {30000, 480, 150000},
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(ScaleForDpi(c.pixels, c.dpi), c.expected) << c.pixels << " at " << c.dpi;
    }
}

TEST(DpiScale, PicksTheSmallestRenderingNotBelowTheDpi) {
    struct Case {
        int dpi, percent, resource;
    };
    constexpr Case kCases[] = {
        {72, 100, 130},   {96, 100, 130},   {97, 150, 1130},  {120, 150, 1130},
        {144, 150, 1130}, {168, 200, 2130}, {192, 200, 2130}, {288, 200, 2130},
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(ArtScaleForDpi(c.dpi), c.percent) << c.dpi;
        EXPECT_EQ(ArtResourceId(130, ArtScaleForDpi(c.dpi)), c.resource) << c.dpi;
    }
}

} // namespace
} // namespace qlx
