// The swept sphere against collision triangles: face, corner and edge contacts at hand-computed
// distances, the cases that give no contact, and the nearest-contact choice with its skipped plane.
#include "gameplay/navigation/CollisionTriangle.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
// The floor square's first half at height 0 facing up: corners (0,0,0), (0,0,4), (4,0,0).
CollisionTriangle Floor()
{
    return CollisionTriangle::FromCorners(Vector(0, 0, 0, 1), Vector(0, 0, 4, 1), Vector(4, 0, 0, 1));
}

struct SweepCase
{
    const char* name;
    Vector centre;
    Vector direction;
    float distance;
    bool facesOnly;
    bool hit;
    float expectedDistance;
    Vector expectedNormal;
};
} // namespace

TEST(CollisionTriangleTest, ThePlaneIsTheUnitNormalOfTheWindingAndItsDistance)
{
    const CollisionTriangle floor = Floor();
    EXPECT_FLOAT_EQ(floor.plane.y, 1.0f);
    EXPECT_FLOAT_EQ(floor.plane.x, 0.0f);
    EXPECT_FLOAT_EQ(floor.plane.w, 0.0f);
    const CollisionTriangle raised =
        CollisionTriangle::FromCorners(Vector(0, 2, 0, 1), Vector(0, 2, 4, 1), Vector(4, 2, 0, 1));
    EXPECT_FLOAT_EQ(raised.plane.w, -2.0f);
    EXPECT_FLOAT_EQ(raised.SignedDistance(Vector(1, 5, 1, 1)), 3.0f);
    EXPECT_FLOAT_EQ(raised.HighestY(), 2.0f);
    CollisionTriangle turned = raised;
    turned.NegatePlane();
    EXPECT_FLOAT_EQ(turned.SignedDistance(Vector(1, 5, 1, 1)), -3.0f);
}

TEST(CollisionTriangleTest, SweepsMeetFacesCornersAndEdgesWhereHandComputationPutsThem)
{
    const float r = 0.5f;
    const Vector down(0, -1, 0, 0);
    const float s = std::sqrt(0.5f);
    const SweepCase cases[] = {
        {"face from above", Vector(1, 2, 1, 1), down, 3, false, true, 1.5f, Vector(0, 1, 0, 0)},
        {"face already touched", Vector(1, 0.3f, 1, 1), down, 1, false, true, 0.0f, Vector(0, 1, 0, 0)},
        {"moving away", Vector(1, 2, 1, 1), Vector(0, 1, 0, 0), 3, false, false, 0, Vector()},
        {"moving along", Vector(1, 0.2f, 1, 1), Vector(1, 0, 0, 0), 3, false, false, 0, Vector()},
        {"behind the plane", Vector(1, -0.6f, 1, 1), down, 3, false, false, 0, Vector()},
        {"no motion", Vector(1, 2, 1, 1), down, 1e-4f, false, false, 0, Vector()},
        // Off the corner (0,0,0) by 0.3 on x/z: the face misses, the corner is met 0.4 above it.
        {"corner", Vector(-0.18f, 2, -0.24f, 1), down, 3, false, true, 1.6f, Vector(-0.36f, 0.8f, -0.48f, 0)},
        {"corner, faces only", Vector(-0.18f, 2, -0.24f, 1), down, 3, true, false, 0, Vector()},
        // Over the edge x = 0 at z = 2, 0.3 outside it: the edge's cylinder at height 0.4.
        {"edge", Vector(-0.3f, 2, 2, 1), down, 3, false, true, 1.6f, Vector(-0.6f, 0.8f, 0, 0)},
        // Over the hypotenuse x + z = 4 at its middle, outside by 0.3.
        {"hypotenuse", Vector(2 + 0.3f * s, 2, 2 + 0.3f * s, 1), down, 3, false, true, 1.6f,
         Vector(0.6f * s, 0.8f, 0.6f * s, 0)},
        // Down and along the edge x = 0: its cylinder is met before the sphere of the corner (0,0,4) beyond.
        {"edge before a corner", Vector(-0.3f, 2, 2, 1), Vector(0, -s, s, 0), 5, false, true, 1.6f / s, Vector(-0.6f, 0.8f, 0, 0)},
    };
    const CollisionTriangle floor = Floor();
    for (const SweepCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        const SweepContact contact = SphereSweep::AgainstTriangle(floor, c.centre, r, c.direction, c.distance, c.facesOnly);
        ASSERT_EQ(contact.hit, c.hit);
        if (!c.hit)
            continue;
        EXPECT_NEAR(contact.distance, c.expectedDistance, 1e-4f);
        EXPECT_NEAR(contact.normal.x, c.expectedNormal.x, 1e-4f);
        EXPECT_NEAR(contact.normal.y, c.expectedNormal.y, 1e-4f);
        EXPECT_NEAR(contact.normal.z, c.expectedNormal.z, 1e-4f);
    }
}

TEST(CollisionTriangleTest, TheNearestContactWinsAndTheSkippedPlaneIsPassedOver)
{
    std::vector<CollisionTriangle> triangles = {
        CollisionTriangle::FromCorners(Vector(0, -1, 0, 1), Vector(0, -1, 4, 1), Vector(4, -1, 0, 1)),
        Floor(),
        // A wall at x = 3 facing -x, out of the way of a downward sweep.
        CollisionTriangle::FromCorners(Vector(3, 0, 0, 1), Vector(3, 0, 4, 1), Vector(3, 4, 0, 1)),
    };
    const Vector centre(1, 2, 1, 1), down(0, -1, 0, 0);
    SweepContact nearest = SphereSweep::AgainstAll(triangles, centre, 0.5f, down, 5, false, Vector());
    ASSERT_TRUE(nearest.hit);
    EXPECT_EQ(nearest.triangle, 1u);
    EXPECT_NEAR(nearest.distance, 1.5f, 1e-5f);
    // The floor's plane skipped: the lower floor of the same normal goes too, so nothing is met.
    EXPECT_FALSE(SphereSweep::AgainstAll(triangles, centre, 0.5f, down, 5, false, Vector(0, 1, 0, 0)).hit);
    nearest = SphereSweep::AgainstAll(triangles, centre, 0.5f, Vector(1, 0, 0, 0), 5, false, Vector());
    ASSERT_TRUE(nearest.hit);
    EXPECT_EQ(nearest.triangle, 2u);
    EXPECT_NEAR(nearest.distance, 1.5f, 1e-5f);
}
