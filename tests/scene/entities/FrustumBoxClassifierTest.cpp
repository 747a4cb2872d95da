#include "scene/entities/FrustumBoxClassifier.h"

#include "core/math/Matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace
{
// The cube 0..10 on every axis as six inward planes.
const Vector kCube[6] = {Vector(1, 0, 0, 0), Vector(-1, 0, 0, 10), Vector(0, 1, 0, 0),
                         Vector(0, -1, 0, 10), Vector(0, 0, 1, 0), Vector(0, 0, -1, 10)};

BoundingBox4 Box(float x0, float y0, float z0, float x1, float y1, float z1)
{
    return BoundingBox4(Vector(x0, y0, z0, 1), Vector(x1, y1, z1, 1));
}

TEST(FrustumBoxClassifierTest, SortsBoxesIntoOutsideInsideAndAcross)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case
    {
        const char* what;
        BoundingBox4 box;
        int expected;
    };
    const Case cases[] = {
        {"well inside", Box(2, 2, 2, 8, 8, 8), FrustumBoxClassifier::kInside},
        {"beyond the first plane", Box(-5, 2, 2, -1, 8, 8), FrustumBoxClassifier::kOutside},
        {"beyond the last plane only", Box(2, 2, 11, 8, 8, 12), FrustumBoxClassifier::kOutside},
        {"beyond a middle plane only", Box(2, 10.5f, 2, 8, 12, 8), FrustumBoxClassifier::kOutside},
        {"across one plane", Box(-1, 2, 2, 1, 8, 8), FrustumBoxClassifier::kAcross},
        {"around the whole region", Box(-100, -100, -100, 100, 100, 100), FrustumBoxClassifier::kAcross},
        {"a hair outside counts as across", Box(-2, 2, 2, -1e-6f, 8, 8), FrustumBoxClassifier::kAcross},
        {"a hair inside counts as across", Box(1e-6f, 2, 2, 8, 8, 8), FrustumBoxClassifier::kAcross},
        {"clearly outside by a little", Box(-2, 2, 2, -0.01f, 8, 8), FrustumBoxClassifier::kOutside},
        {"clearly inside by a little", Box(0.01f, 0.01f, 0.01f, 9.99f, 9.99f, 9.99f), FrustumBoxClassifier::kInside},
        {"a point inside", Box(5, 5, 5, 5, 5, 5), FrustumBoxClassifier::kInside},
        {"not a number", Box(nan, 2, 2, 8, 8, 8), FrustumBoxClassifier::kAcross},
    };
    const FrustumBoxClassifier classifier(kCube);
    for (const Case& c : cases)
        EXPECT_EQ(classifier.Classify(c.box), c.expected) << c.what;
}

// Against a perspective view: outside means every corner fails one plane, inside means every corner
// passes every plane.
TEST(FrustumBoxClassifierTest, AgreesWithTheCornersOfEveryBox)
{
    Matrix view, projection, viewProjection;
    view.LoadLookAtLH(Vector(0, 30, -50, 1), Vector(10, 0, 40, 1), Vector(0, 1, 0, 0));
    projection.LoadPerspectiveFovLH(60.0f, 1.5f, 1.0f, 200.0f);
    viewProjection.Mul(projection, view);
    auto column = [&](int c) {
        return Vector(viewProjection.At(0, c), viewProjection.At(1, c), viewProjection.At(2, c), viewProjection.At(3, c));
    };
    Vector planes[6];
    planes[0].Add(column(3), column(0));
    planes[1].Sub(column(3), column(0));
    planes[2].Add(column(3), column(1));
    planes[3].Sub(column(3), column(1));
    planes[4] = column(2);
    planes[5].Sub(column(3), column(2));
    const FrustumBoxClassifier classifier(planes);
    std::mt19937 random(5);
    std::uniform_real_distribution<float> place(-150.0f, 250.0f);
    std::uniform_real_distribution<float> size(0.0f, 40.0f);
    int seen[3] = {};
    for (int i = 0; i < 20000; ++i)
    {
        const Vector min(place(random), place(random) * 0.3f, place(random), 1);
        const BoundingBox4 box(min, Vector(min.x + size(random), min.y + size(random), min.z + size(random), 1));
        const int side = classifier.Classify(box);
        ++seen[side + 1];
        bool allInside = true;
        bool outsideOne = false;
        for (const Vector& p : planes)
        {
            int in = 0;
            for (int corner = 0; corner < 8; ++corner)
            {
                const float x = (corner & 1) ? box.max.x : box.min.x;
                const float y = (corner & 2) ? box.max.y : box.min.y;
                const float z = (corner & 4) ? box.max.z : box.min.z;
                in += p.x * x + p.y * y + p.z * z + p.w >= 0.0f ? 1 : 0;
            }
            allInside = allInside && in == 8;
            outsideOne = outsideOne || in == 0;
        }
        if (side == FrustumBoxClassifier::kOutside)
        {
            ASSERT_TRUE(outsideOne) << i;
        }
        if (side == FrustumBoxClassifier::kInside)
        {
            ASSERT_TRUE(allInside) << i;
        }
    }
    EXPECT_GT(seen[0], 1000);
    EXPECT_GT(seen[1], 100);
    EXPECT_GT(seen[2], 100);
}
} // namespace
