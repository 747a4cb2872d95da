#include "core/math/CatmullRom.h"

#include "MathExpect.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(CatmullRomTest, EndsAndTangent)
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

TEST(CatmullRomTest, NearestPoint)
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

    // No sample of a target too far for a finite squared distance is nearer: the start is answered.
    CatmullRomNearestPoint(point, t, length, Vector(1e30f, 0, 0, 1), p0, p1, p2, p3);
    EXPECT_TRUE(Near(point, p1, 0.0f) && t == 0.0f && length == 0.0f);
}
