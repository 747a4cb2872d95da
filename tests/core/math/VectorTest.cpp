#include "core/math/Matrix.h"
#include "core/math/Vector.h"
#include "core/math/Vector3.h"

#include "MathExpect.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

TEST(VectorTest, CrossProductHasZeroW)
{
    Vector r;
    r.Cross(Vector::UNITX, Vector::UNITY);
    EXPECT_TRUE(Near(r, Vector(0, 0, 1, 0), 0.0f));
    r.Cross(Vector(1, 2, 3, 7), Vector(4, 5, 6, 9));
    EXPECT_TRUE(Near(r, Vector(-3, 6, -3, 0), 0.0f));
}

TEST(VectorTest, XyzOperationsIgnoreW)
{
    const Vector a(1, 2, 3, 100);
    const Vector b(4, 5, 6, -100);
    EXPECT_FLOAT_EQ(a.Dot3(b), 32.0f);
    EXPECT_FLOAT_EQ(a.Dot4(b), 32.0f - 10000.0f);
    EXPECT_FLOAT_EQ(Vector(3, 4, 0, 9).Length(), 5.0f);
    EXPECT_FLOAT_EQ(Vector(3, 4, 0, 9).Length2(), 25.0f);
    EXPECT_FLOAT_EQ(a.Distance(Vector(1, 2, 7, 0)), 4.0f);
    EXPECT_FLOAT_EQ(Vector(3, 7, 4, 0).Length2XZ(), 25.0f);
}

TEST(VectorTest, NormalizeDividesWToo)
{
    Vector v(3, 0, 4, 10);
    v.Normalize();
    EXPECT_TRUE(Near(v, Vector(0.6f, 0, 0.8f, 2)));
    Vector e(3, 0, 4, 10);
    e.NormalizeEst();
    EXPECT_TRUE(Near(e, Vector(0.6f, 0, 0.8f, 2), 2e-3f));
}

TEST(VectorTest, NormalizingAZeroDirectionGivesZeroNotNaN)
{
    for (const Vector& input : {Vector(0, 0, 0, 1), Vector(1e-30f, 0, 0, 5), Vector(0, 0, 0, 0)})
    {
        Vector v = input;
        v.Normalize();
        EXPECT_TRUE(Near(v, Vector::ZERO4, 0.0f)) << input.ToString();
        Vector e = input;
        e.NormalizeEst();
        EXPECT_TRUE(Near(e, Vector::ZERO4, 0.0f)) << input.ToString();
    }
}

TEST(VectorTest, NegateAbsLerpClamp)
{
    Vector v;
    v.NegateXYZ(Vector(1, -2, 3, 4));
    EXPECT_TRUE(Near(v, Vector(-1, 2, -3, 4), 0.0f));
    v.Negate();
    EXPECT_TRUE(Near(v, Vector(1, -2, 3, -4), 0.0f));
    v.Abs(v);
    EXPECT_TRUE(Near(v, Vector(1, 2, 3, 4), 0.0f));
    v.Lerp(Vector(0, 0, 0, 0), Vector(10, 10, 10, 10), Vector(0, 0.5f, 1, 0.25f));
    EXPECT_TRUE(Near(v, Vector(0, 5, 10, 2.5f)));
    v.Clamp(Vector(1, 1, 1, 1), Vector(6, 6, 6, 6));
    EXPECT_TRUE(Near(v, Vector(1, 5, 6, 2.5f), 0.0f));
    v.Div(Vector(2, 4, 6, 8), 2.0f);
    EXPECT_TRUE(Near(v, Vector(1, 2, 3, 4), 0.0f));
    v.Set3(7, 8, 9);
    EXPECT_TRUE(Near(v, Vector(7, 8, 9, 4), 0.0f)) << "w is kept";
}

TEST(VectorTest, GetRGBAClampsAndTruncates)
{
    EXPECT_EQ(Vector(2, -1, 0.5f, 1).GetRGBA(), 0xFFFF007Fu);
    EXPECT_EQ(Vector(0.999f, 1.0f, 0, 0).GetRGBA(), 0x00FEFF00u);
}

TEST(VectorTest, TransformForms)
{
    Matrix m;
    m.LoadTranslation(10, 20, 30);
    Vector p(1, 2, 3, 0);
    p.Transform3D(m);
    EXPECT_TRUE(Near(p, Vector(11, 22, 33, 1), 0.0f));
    Vector d(1, 2, 3, 1);
    d.TransformNormal3D(m);
    EXPECT_TRUE(Near(d, Vector(1, 2, 3, 0), 0.0f));
    Vector full(1, 2, 3, 2);
    full.Transform(m);
    EXPECT_TRUE(Near(full, Vector(21, 42, 63, 2), 0.0f));
    Matrix copy;
    copy.Set(m);
    Vector plane;
    plane.TransformPlane(copy, Vector(1, 2, 3, 2));
    EXPECT_TRUE(Near(plane, full, 0.0f)) << "a plane goes through all four rows, as the matrix was copied";
    Vector h;
    h.TransformHomogen(m, Vector(1, 2, 3, 2));
    EXPECT_TRUE(Near(h, Vector(10.5f, 21, 31.5f, 1)));
}

TEST(VectorTest, TransformHomogenWithZeroWStaysFinite)
{
    Vector v(1, 2, 3, 0);
    v.TransformHomogen(Matrix::ONE);
    EXPECT_TRUE(Near(v, Vector(1, 2, 3, 0), 0.0f));
}

TEST(VectorTest, PlaneFromPoints)
{
    Vector plane;
    const Vector same(1, 1, 1, 1);
    EXPECT_FALSE(plane.BuildPlaneFromPoints(same, same, same));
    EXPECT_TRUE(Near(plane, Vector::ZERO4, 0.0f));

    // Ground plane y = 2; the points are given so that the normal points up.
    ASSERT_TRUE(plane.BuildPlaneFromPoints(Vector(0, 2, 0, 1), Vector(0, 2, 1, 1), Vector(1, 2, 0, 1)));
    EXPECT_TRUE(Near(plane, Vector(0, 1, 0, -2)));
    EXPECT_FLOAT_EQ(plane.Dot4(Vector(5, 7, -3, 1)), 5.0f);
}

TEST(VectorTest, ProjectionsOntoAPlane)
{
    const Vector ground(0, 1, 0, -2);
    Vector v;
    v.ProjectOntoPlane(ground, Vector(3, 7, 4, 1));
    EXPECT_TRUE(Near(v, Vector(3, 2, 4, 1)));
    v.ProjectOntoPlane(ground, Vector(3, 7, 4, 0));
    EXPECT_TRUE(Near(v, Vector(3, 0, 4, 0)));

    Vector moved(9, 9, 9, 9);
    EXPECT_FALSE(moved.ProjectOntoPlane(ground, Vector(0, 5, 0, 1), Vector(1, 0.0005f, 0, 0)));
    EXPECT_TRUE(Near(moved, Vector(9, 9, 9, 9), 0.0f));
    EXPECT_TRUE(moved.ProjectOntoPlane(ground, Vector(0, 5, 0, 1), Vector(1, 1, 0, 0)));
    EXPECT_TRUE(Near(moved, Vector(-3, 2, 0, 1)));
}

TEST(VectorTest, ProjectForwardOntoPlane)
{
    const Vector ground(0, 1, 0, -2);
    Vector hit(9, 9, 9, 9);
    float t = 123.0f;
    EXPECT_TRUE(hit.ProjectForwardOntoPlane(ground, Vector(1, 2, 3, 1), Vector(0, -1, 0, 0), t));
    EXPECT_EQ(t, 0.0f);
    EXPECT_TRUE(Near(hit, Vector(1, 2, 3, 1)));

    hit.Set(9, 9, 9, 9);
    EXPECT_FALSE(hit.ProjectForwardOntoPlane(ground, Vector(0, 5, 0, 1), Vector(0, 1, 0, 0), t));
    EXPECT_FLOAT_EQ(t, -3.0f);
    EXPECT_TRUE(Near(hit, Vector(9, 9, 9, 9), 0.0f));

    t = 123.0f;
    EXPECT_FALSE(hit.ProjectForwardOntoPlane(ground, Vector(0, 5, 0, 1), Vector(1, 0, 0, 0), t));
    EXPECT_EQ(t, 123.0f);

    EXPECT_TRUE(hit.ProjectForwardOntoPlane(ground, Vector(0, 5, 0, 1), Vector(1, -2, 0, 0), t));
    EXPECT_FLOAT_EQ(t, 1.5f);
    EXPECT_TRUE(Near(hit, Vector(1.5f, 2, 0, 1)));
}

TEST(VectorTest, ReflectScalesThePlaneOnAllLanes)
{
    Vector v(1, -1, 0, 1);
    v.Reflect(Vector(0, 1, 0, -2));
    EXPECT_TRUE(Near(v, Vector(1, 1, 0, -3)));
}

TEST(VectorTest, LogAndToString)
{
    ConsoleCapture capture;
    Vector(1, 2, 3, 4).Log(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "pos:");
    Vector(1, 2, 3, 4).Log(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE);
    const std::vector<CapturedMessage> lines = capture.Messages();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "pos: 1.000000, 2.000000, 3.000000, 4.000000");
    EXPECT_EQ(lines[1].text, "1.000000, 2.000000, 3.000000, 4.000000");
    EXPECT_EQ(lines[0].channel, CONSOLE_CHANNEL_ENGINE);
    EXPECT_STREQ(Vector(0.5f, 0, 0, -1).ToString(), "[0.500000, 0.000000, 0.000000, -1.000000]");
}

TEST(VectorTest, HeapArraysAreAligned)
{
    for (int count = 1; count < 9; ++count)
    {
        std::unique_ptr<Vector[]> vectors(new Vector[count]);
        std::unique_ptr<Matrix[]> matrices(new Matrix[count]);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(vectors.get()) % 16, 0u);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(matrices.get()) % 16, 0u);
        std::vector<Matrix> list(count);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(list.data()) % 16, 0u);
        auto single = std::make_unique<Vector>();
        EXPECT_EQ(reinterpret_cast<uintptr_t>(single.get()) % 16, 0u);
    }
    EXPECT_EQ(sizeof(Vector3), 12u);
    EXPECT_TRUE(Vector3().x == 0 && Vector3().y == 0 && Vector3().z == 0) << "a stored vector starts at the origin";
}
