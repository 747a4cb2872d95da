#include "core/math/Matrix.h"
#include "core/math/Quaternion.h"

#include "MathExpect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace
{
Quaternion Negated(const Quaternion& q)
{
    return Quaternion(-q.x, -q.y, -q.z, -q.w);
}

Vector Rotated(const Quaternion& q, const Vector& v)
{
    Matrix m;
    m.LoadQuaternionAndTranslation(q, Vector::ZERO4);
    Vector r = v;
    r.TransformNormal3D(m);
    return r;
}
} // namespace

TEST(QuaternionTest, ConjugateUndoesTheRotation)
{
    Quaternion q, inverse, product;
    q.SetAxisAlpha(Vector(1, 2, 3, 0), 70);
    inverse = q;
    inverse.Conjugate();
    EXPECT_TRUE(Near(inverse, Quaternion(-q.x, -q.y, -q.z, q.w), 0.0f));
    product.SetProduct(q, inverse);
    EXPECT_TRUE(Near(product, Quaternion::ZERO, 1e-6f));
    q.Mul(inverse);
    EXPECT_TRUE(Near(q, Quaternion::ZERO, 1e-6f));
}

TEST(QuaternionTest, ZeroAxisGivesTheIdentity)
{
    Quaternion q(1, 2, 3, 4);
    q.SetAxisAlpha(Vector::ZERO4, 45);
    EXPECT_TRUE(Near(q, Quaternion::ZERO, 0.0f));
}

TEST(QuaternionTest, SlerpEnds)
{
    Quaternion a, b, r;
    a.SetAxisAlpha(Vector(0, 1, 0, 0), 20);
    b.SetAxisAlpha(Vector(1, 0, 1, 0), 100);
    r.Slerp(a, b, 0.0f);
    EXPECT_TRUE(Near(r, a, 1e-6f));
    r.Slerp(a, b, 1.0f);
    EXPECT_TRUE(Near(r, b, 1e-6f));
    // A negative dot product takes the shorter arc towards -b.
    r.Slerp(a, Negated(b), 1.0f);
    EXPECT_TRUE(Near(r, b, 1e-6f));
    for (float t : {0.0f, 0.3f, 1.0f})
    {
        r.Slerp(a, Negated(a), t);
        EXPECT_TRUE(Near(r, a, 1e-6f)) << t;
    }
}

TEST(QuaternionTest, SlerpFollowsTheArcAtConstantSpeed)
{
    // Half a turn apart, the two ends are perpendicular as quaternions.
    for (const float from : {10.0f, -90.0f})
    {
        const float turn = from < 0.0f ? 180.0f : 120.0f;
        Quaternion a, b, r, expected;
        a.LoadYRotation(from);
        b.LoadYRotation(from + turn);
        for (float t = 0.0f; t <= 1.0f; t += 0.125f)
        {
            r.Slerp(a, b, t);
            expected.LoadYRotation(from + turn * t);
            EXPECT_TRUE(Near(r, expected, 1e-5f)) << from << " " << t;
        }
    }
}

TEST(QuaternionTest, RotationArcTurnsFromOntoTo)
{
    Quaternion q;
    q.LoadRotationArc(Vector::UNITX, Vector(-1, 0, 0, 0));
    EXPECT_TRUE(Near(q, Quaternion(0, 1, 0, 0), 1e-6f));
    q.LoadRotationArc(Vector::UNITZ, Vector(0, 0, -1, 0));
    EXPECT_TRUE(Near(q, Quaternion(0, -1, 0, 0), 1e-6f));

    std::mt19937 rng(11);
    std::uniform_real_distribution<float> any(-1.0f, 1.0f);
    for (int n = 0; n < 200; ++n)
    {
        Vector from(any(rng), any(rng), any(rng), 0), to(any(rng), any(rng), any(rng), 0);
        from.Normalize();
        to.Normalize();
        q.LoadRotationArc(from, to);
        EXPECT_TRUE(Near(Rotated(q, from), to, 2e-3f)) << n;
    }
}

TEST(QuaternionTest, LoadMatrixBranches)
{
    Quaternion q;
    q.LoadMatrix(Matrix::ONE);
    EXPECT_TRUE(Near(q, Quaternion(0, 0, 0, 1), 0.0f));
    Matrix m;
    m.LoadYRotation(180);
    q.LoadMatrix(m);
    EXPECT_TRUE(Near(q, Quaternion(0, 1, 0, 0), 1e-6f));
    for (float angle : {180.0f, 179.0f, 200.0f})
    {
        Quaternion expected;
        m.LoadXRotation(angle);
        q.LoadMatrix(m);
        expected.LoadXRotation(angle);
        if (q.x * expected.x + q.w * expected.w < 0)
            q = Negated(q);
        EXPECT_TRUE(Near(q, expected, 1e-5f)) << angle;
        m.LoadZRotation(angle);
        q.LoadMatrix(m);
        expected.LoadZRotation(angle);
        if (q.z * expected.z + q.w * expected.w < 0)
            q = Negated(q);
        EXPECT_TRUE(Near(q, expected, 1e-5f)) << angle;
    }
}

TEST(QuaternionTest, EulerDegreesOfOneAxisEqualTheAxisRotation)
{
    Quaternion euler, axis;
    euler.LoadEulerDegrees(Vector(0, 90, 0, 0));
    axis.LoadYRotation(90);
    EXPECT_TRUE(Near(euler, axis, 1e-6f));
    euler.LoadEulerDegrees(Vector(33, 0, 0, 0));
    axis.LoadXRotation(33);
    EXPECT_TRUE(Near(euler, axis, 1e-6f));
    // The three axes compose as qz·qy·qx.
    Quaternion qx, qy, qz, composed;
    qx.LoadXRotation(10);
    qy.LoadYRotation(-40);
    qz.LoadZRotation(75);
    composed.SetProduct(qz, qy);
    composed.Mul(qx);
    euler.LoadEulerDegrees(Vector(10, -40, 75, 0));
    EXPECT_TRUE(Near(euler, composed, 1e-6f));
}
