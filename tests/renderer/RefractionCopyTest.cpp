// The refraction copy's region: the screen rectangle an object's box covers, widened, clamped, and
// the whole screen when a corner lies behind the camera (the copy itself: MeshDrawTest).
#include "core/math/BoundingBox4.h"
#include "platform/gpu/GpuTypes.h"
#include "renderer/NorvexRenderer.h"

#include <gtest/gtest.h>

namespace
{
BoundingBox4 Box(float x0, float y0, float z0, float x1, float y1, float z1)
{
    BoundingBox4 box;
    box.min = Vector(x0, y0, z0, 1.0f);
    box.max = Vector(x1, y1, z1, 1.0f);
    return box;
}
} // namespace

// Clip space equals world space under the identity matrices; the screen is 200 x 100 pixels.
TEST(RefractionRectTest, TheBoxCoversItsWidenedClampedScreenRectangle)
{
    Matrix moved = Matrix::ONE;
    moved.rows[3] = Vector(0.25f, 0.0f, 0.0f, 1.0f);
    // w = z: a box reaching behind z = 0 has a corner behind the camera.
    Matrix perspective = Matrix::ONE;
    perspective.rows[2].w = 1.0f;
    perspective.rows[3].w = 0.0f;
    struct Case
    {
        const char* name;
        BoundingBox4 box;
        const Matrix* world;
        const Matrix* viewProjection;
        uint32_t width;
        bool drawn;
        gpu::Rect rect;
    };
    const Case cases[] = {
        {"inside", Box(-0.505f, -0.3f, 0.2f, 0.495f, 0.2f, 0.8f), &Matrix::ONE, &Matrix::ONE, 200, true, {48, 39, 151, 66}},
        {"moved", Box(-0.505f, -0.3f, 0.2f, 0.495f, 0.2f, 0.8f), &moved, &Matrix::ONE, 200, true, {73, 39, 176, 66}},
        {"clamped", Box(-3.0f, -0.3f, 0.2f, 0.495f, 3.0f, 0.8f), &Matrix::ONE, &Matrix::ONE, 200, true, {0, 0, 151, 66}},
        {"behind", Box(-0.1f, -0.1f, -0.5f, 0.1f, 0.1f, 0.5f), &Matrix::ONE, &perspective, 200, true, {0, 0, 200, 100}},
        {"offscreen", Box(2.0f, -0.3f, 0.2f, 3.0f, 0.2f, 0.8f), &Matrix::ONE, &Matrix::ONE, 200, false, {}},
        {"no screen", Box(-0.5f, -0.3f, 0.2f, 0.5f, 0.2f, 0.8f), &Matrix::ONE, &Matrix::ONE, 0, false, {}},
    };
    for (const Case& c : cases)
    {
        gpu::Rect rect{};
        EXPECT_EQ(NorvexRenderer::ComputeRefractionRect(c.box, *c.world, *c.viewProjection, c.width, 100, rect), c.drawn)
            << c.name;
        if (!c.drawn)
            continue;
        EXPECT_EQ(rect.left, c.rect.left) << c.name;
        EXPECT_EQ(rect.top, c.rect.top) << c.name;
        EXPECT_EQ(rect.right, c.rect.right) << c.name;
        EXPECT_EQ(rect.bottom, c.rect.bottom) << c.name;
    }
}
