// The shadow map's light view and box: the axis its up vector comes from, far corners cut at the
// ground, and the box snapped to whole texels.
#include "renderer/ShadowMapProjection.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(ShadowMapProjectionTest, TheUpAxisIsTheOneTheDirectionLeastFollows)
{
    struct Case
    {
        Vector direction, axis;
    };
    const Case cases[] = {
        {Vector(0.6f, -0.3f, 0.7f, 0.0f), Vector(0.0f, 1.0f, 0.0f, 0.0f)}, // |y| smallest
        {Vector(0.5f, 0.5f, 0.7f, 0.0f), Vector(0.0f, 1.0f, 0.0f, 0.0f)},  // |y| ties |x|: still Y
        {Vector(0.8f, -0.6f, 0.1f, 0.0f), Vector(0.0f, 0.0f, 1.0f, 0.0f)}, // |z| below |x|
        {Vector(0.1f, -0.9f, 0.4f, 0.0f), Vector(1.0f, 0.0f, 0.0f, 0.0f)}, // |x| smallest
        {Vector(0.3f, -0.9f, 0.3f, 0.0f), Vector(1.0f, 0.0f, 0.0f, 0.0f)}, // |z| ties |x|: X
    };
    for (const Case& c : cases)
    {
        const Vector axis = ShadowMapProjection::ChooseUpAxis(c.direction);
        EXPECT_EQ(axis.x, c.axis.x);
        EXPECT_EQ(axis.y, c.axis.y);
        EXPECT_EQ(axis.z, c.axis.z);
    }
    // The view looks along the direction: a point ahead of the origin lies on the view's +z.
    const Vector direction(0.0f, -0.6f, 0.8f, 0.0f);
    const Matrix view = ShadowMapProjection::LightView(direction);
    Vector ahead(0.0f, -6.0f, 8.0f, 1.0f);
    ahead.Transform(view);
    EXPECT_NEAR(ahead.x, 0.0f, 1e-4f);
    EXPECT_NEAR(ahead.y, 0.0f, 1e-4f);
    EXPECT_NEAR(ahead.z, 10.0f, 1e-4f);
}

TEST(ShadowMapProjectionTest, FarCornersBelowTheGroundAreCutWhereTheirEdgeMeetsIt)
{
    Vector corners[8];
    for (int i = 0; i < 4; ++i)
        corners[i] = Vector(float(i), 10.0f, 0.0f, 1.0f);
    corners[4] = Vector(0.0f, -10.0f, 20.0f, 1.0f); // below: cut at y = 2, 40% along
    corners[5] = Vector(1.0f, 5.0f, 20.0f, 1.0f);   // above: kept
    corners[6] = Vector(2.0f, 2.0f, 20.0f, 1.0f);   // at the height: kept
    corners[7] = Vector(3.0f, 1.0f, 20.0f, 1.0f);   // below
    ShadowMapProjection::ClampFarCorners(corners, 2.0f);
    EXPECT_NEAR(corners[4].y, 2.0f, 1e-4f);
    EXPECT_NEAR(corners[4].z, 8.0f, 1e-4f);
    EXPECT_EQ(corners[5].y, 5.0f);
    EXPECT_EQ(corners[6].z, 20.0f);
    EXPECT_NEAR(corners[7].y, 2.0f, 1e-4f);
    EXPECT_NEAR(corners[7].z, 20.0f * 8.0f / 9.0f, 1e-3f);
    // A level edge below the ground: its far corner is 1000 units along it.
    Vector level[8] = {Vector(0, -5, 0, 1), Vector(0, 10, 0, 1), Vector(0, 10, 0, 1), Vector(0, 10, 0, 1),
                       Vector(0, -5, 3, 1), Vector(0, 10, 3, 1), Vector(0, 10, 3, 1), Vector(0, 10, 3, 1)};
    ShadowMapProjection::ClampFarCorners(level, 0.0f);
    EXPECT_NEAR(level[4].z, 1000.0f, 1e-3f);
}

TEST(ShadowMapProjectionTest, TheSnappedBoxHasWholeUnitsAndACentreOnATexel)
{
    const BoundingBox4 box(Vector(-3.3f, 1.25f, -7.0f, 1.0f), Vector(5.1f, 9.0f, 40.0f, 1.0f));
    const uint32_t size = 512;
    const BoundingBox4 snapped = ShadowMapProjection::SnapBox(box, size);
    EXPECT_FLOAT_EQ(snapped.max.x - snapped.min.x, 9.0f) << "8.4 rounded up";
    EXPECT_FLOAT_EQ(snapped.max.y - snapped.min.y, 8.0f) << "7.75 rounded up";
    EXPECT_EQ(snapped.min.z, -7.0f);
    EXPECT_EQ(snapped.max.z, 40.0f);
    const float texelX = 9.0f / float(size), texelY = 8.0f / float(size);
    const float cx = (snapped.min.x + snapped.max.x) * 0.5f, cy = (snapped.min.y + snapped.max.y) * 0.5f;
    EXPECT_NEAR(std::remainder(cx, texelX), 0.0f, 1e-5f);
    EXPECT_NEAR(std::remainder(cy, texelY), 0.0f, 1e-5f);
    EXPECT_NEAR(cx, 0.9f, texelX) << "the centre moves by less than a texel";
    EXPECT_NEAR(cy, 5.125f, texelY);

    // The texture matrix maps the box's corners to the map's corners; the inverse's w of 2 halves
    // the view to [-0.5, 0.5] x [-0.5, 0.5] x [0, 0.5], seen by a light from above its +x +y corners.
    Matrix inverse = Matrix::ONE;
    inverse.rows[3].w = 2.0f;
    const ShadowMapProjection::Result r =
        ShadowMapProjection::Compute(inverse, Vector(-0.6f, -0.6f, 0.52915f, 0.0f), -100.0f, size);
    Vector nearest(0.5f, 0.5f, 0.0f, 1.0f);
    nearest.Transform(r.textureMatrix);
    EXPECT_NEAR(nearest.z / nearest.w, 0.0f, 1e-4f) << "the view's corner nearest the light has depth 0";
    Vector corner = r.box.min;
    Matrix lightToWorld;
    lightToWorld.InverseOf(r.view);
    corner.Transform(lightToWorld);
    corner.Transform(r.textureMatrix);
    EXPECT_NEAR(corner.x / corner.w, 0.0f, 1e-4f);
    EXPECT_NEAR(corner.y / corner.w, 1.0f, 1e-4f) << "the bottom row of the map";
    EXPECT_NEAR(corner.z / corner.w, 0.0f, 1e-4f) << "the near side of the box has depth 0";
    Vector far = r.box.max;
    far.Transform(lightToWorld);
    far.Transform(r.textureMatrix);
    EXPECT_NEAR(far.x / far.w, 1.0f, 1e-4f);
    EXPECT_NEAR(far.y / far.w, 0.0f, 1e-4f);
    EXPECT_NEAR(far.z / far.w, 1.0f, 1e-4f);
}
