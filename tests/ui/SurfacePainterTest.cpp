// The surface scale a window paints at, for the pixel ratios screens report.
#include "ui/SurfacePainter.h"

#include <gtest/gtest.h>

TEST(SurfaceScale, WholeRatiosPaintAtThemselvesAndTheRestAtTheNextEvenScale) {
    const struct {
        double ratio;
        int scale;
    } cases[] = {
        {0.5, 1}, {1.0, 1},       {1.0000001, 1}, {1.25, 2}, {1.5, 2}, {1.75, 2},
        {2.0, 2}, {2.0000001, 2}, {2.5, 4},       {3.0, 4},  {4.0, 4},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(surfaceScaleFor(c.ratio), c.scale) << c.ratio;
    }
}
