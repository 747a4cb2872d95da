#include "core/math/SinCosSSE.h"

#include "MathExpect.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(SinCosSSETest, QuarterTurns)
{
    const float pi = 3.14159265f;
    Vector s, c;
    SinCosSSE(Vector(0, pi / 2, pi, -pi / 2), s, c);
    EXPECT_TRUE(Near(s, Vector(0, 1, 0, -1), 2e-7f));
    EXPECT_TRUE(Near(c, Vector(1, 0, -1, 0), 2e-7f));
}

TEST(SinCosSSETest, MatchesTheLibraryOverMinusToPlusHundred)
{
    // Single precision: about one unit in the last place of the result plus the float rounding of
    // the reduced argument, which grows with the angle.
    float worst = 0.0f;
    for (double a = -100.0; a <= 100.0; a += 0.0007)
    {
        const float angles[4] = {float(a), float(a + 0.00017), float(a + 0.00031), float(a + 0.00053)};
        Vector s, c;
        SinCosSSE(Vector(angles[0], angles[1], angles[2], angles[3]), s, c);
        const float sines[4] = {s.x, s.y, s.z, s.w};
        const float cosines[4] = {c.x, c.y, c.z, c.w};
        for (int i = 0; i < 4; ++i)
        {
            const double x = angles[i];
            worst = std::max(worst, float(std::fabs(sines[i] - std::sin(x))));
            worst = std::max(worst, float(std::fabs(cosines[i] - std::cos(x))));
        }
    }
    EXPECT_LT(worst, 3e-7f);
}
