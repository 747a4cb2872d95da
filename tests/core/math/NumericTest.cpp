#include "core/math/CatmullRom.h"
#include "core/math/RandomGenerator.h"
#include "core/math/SinCosSSE.h"

#include "MathExpect.h"
#include "platform/os/Clock.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(SinCosSSE, QuarterTurns)
{
    const float pi = 3.14159265f;
    Vector s, c;
    SinCosSSE(Vector(0, pi / 2, pi, -pi / 2), s, c);
    EXPECT_TRUE(Near(s, Vector(0, 1, 0, -1), 2e-7f));
    EXPECT_TRUE(Near(c, Vector(1, 0, -1, 0), 2e-7f));
}

TEST(SinCosSSE, MatchesTheLibraryOverMinusToPlusHundred)
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

TEST(CatmullRom, EndsAndTangent)
{
    const Vector p0(0, 0, 0, 0), p1(1, 2, 0, 1), p2(4, 2, 1, 1), p3(5, 0, 0, 0);
    Vector p, v;
    CatmullRomPoint(p, 0.0f, p0, p1, p2, p3);
    EXPECT_TRUE(Near(p, p1, 1e-6f));
    CatmullRomPoint(p, 1.0f, p0, p1, p2, p3);
    EXPECT_TRUE(Near(p, p2, 1e-6f));
    CatmullRomTangent(v, 0.0f, p0, p1, p2, p3);
    EXPECT_TRUE(Near(v, Vector(2, 1, 0.5f, 0.5f), 1e-6f));
    // The tangent is the derivative of the point.
    for (float t = 0.1f; t < 1.0f; t += 0.2f)
    {
        Vector a, b;
        CatmullRomPoint(a, t - 1e-3f, p0, p1, p2, p3);
        CatmullRomPoint(b, t + 1e-3f, p0, p1, p2, p3);
        Vector difference;
        difference.Sub(b, a);
        difference.Mul(1.0f / 2e-3f);
        CatmullRomTangent(v, t, p0, p1, p2, p3);
        EXPECT_TRUE(Near(v, difference, 5e-3f)) << t;
    }
}

TEST(CatmullRom, NearestPoint)
{
    const Vector p0(-1, 0, 0, 1), p1(0, 0, 0, 1), p2(1, 0, 0, 1), p3(2, 0, 0, 1);
    Vector point;
    float t = -1.0f, length = -1.0f;
    CatmullRomNearestPoint(point, t, length, p1, p0, p1, p2, p3);
    EXPECT_TRUE(Near(point, p1, 0.0f));
    EXPECT_EQ(t, 0.0f);
    EXPECT_EQ(length, 0.0f);

    // A straight evenly spaced segment samples x = u; the target is equally near to 0.5 and 0.5078125.
    CatmullRomNearestPoint(point, t, length, Vector(0.50390625f, 3, 0, 1), p0, p1, p2, p3);
    EXPECT_EQ(t, 0.5f);
    EXPECT_NEAR(length, 0.5f, 1e-5f);
    EXPECT_TRUE(Near(point, Vector(0.5f, 0, 0, 1), 1e-6f));

    CatmullRomNearestPoint(point, t, length, Vector(7, 0, 0, 1), p0, p1, p2, p3);
    EXPECT_EQ(t, 1.0f);
    EXPECT_NEAR(length, 1.0f, 1e-5f);
}

TEST(RandomGenerator, SeedsFromFiveCounterReadings)
{
    os::EnableManualCounter(0x123456789ALL);
    RandomGenerator generator;
    os::DisableManualCounter();
    const uint32_t* state = generator.GetState();
    EXPECT_EQ(state[0], 0x3456789Au);
    EXPECT_EQ(state[1], 0x3456789Au);
    EXPECT_EQ(state[2], uint32_t(0x123456789ALL >> 1));
    EXPECT_EQ(state[3], uint32_t(0x123456789ALL >> 2));
    EXPECT_EQ(state[4], uint32_t(0x123456789ALL >> 3));
}

TEST(RandomGenerator, LinearDrawsUseTheHighBitsOfThePreviousState)
{
    RandomGenerator generator;
    generator.Seed({1, 0, 0, 0, 0});
    EXPECT_EQ(generator.NextLinear(), 0u);
    EXPECT_EQ(generator.GetState()[0], 214013u + 2531011u);
    EXPECT_EQ(generator.NextLinear(), (214013u + 2531011u) >> 16);
    generator.Seed({0xFFFFFFFFu, 0, 0, 0, 0});
    EXPECT_EQ(generator.NextLinear(), 0xFFFFu);
    EXPECT_EQ(generator.GetState()[0], 0xFFFFFFFFu * 214013u + 2531011u);
}

TEST(RandomGenerator, MultiplyWithCarryPair)
{
    RandomGenerator generator;
    generator.Seed({0, 0x00010002u, 0x00030004u, 0, 0});
    const uint32_t z = 36969u * 2u + 1u;
    const uint32_t w = 18000u * 4u + 3u;
    EXPECT_EQ(generator.NextMultiplyWithCarry(), (z << 16) + w);
    EXPECT_EQ(generator.GetState()[1], z);
    EXPECT_EQ(generator.GetState()[2], w);
}

TEST(RandomGenerator, GlobalsAreSeeded)
{
    // Three readings of a running 10 MHz counter are not all zero.
    uint32_t any = 0;
    for (const RandomGenerator& generator : gRandomGenerators)
        any |= generator.GetState()[0] | generator.GetState()[1];
    EXPECT_NE(any, 0u);
}
