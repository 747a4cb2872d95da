#include "core/math/Matrix.h"
#include "core/math/Quaternion.h"

#include "MathExpect.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace
{
Vector TransformedPoint(const Matrix& m, const Vector& p)
{
    Vector r = p;
    r.Transform3D(m);
    return r;
}

Matrix RandomAffine(std::mt19937& rng)
{
    std::uniform_real_distribution<float> angle(-180.0f, 180.0f);
    std::uniform_real_distribution<float> scale(0.2f, 3.0f);
    std::uniform_real_distribution<float> offset(-50.0f, 50.0f);
    Matrix m;
    m.LoadComplexTransformation(Vector(offset(rng), offset(rng), offset(rng), 1),
                                Vector(angle(rng), angle(rng), angle(rng), 0),
                                Vector(scale(rng), scale(rng), scale(rng), 1));
    return m;
}
} // namespace

TEST(MatrixTest, ProductAppliesTheSecondOperandFirst)
{
    Matrix a, b, r;
    a.LoadTranslation(1, 0, 0);
    b.LoadZRotation(90);
    EXPECT_TRUE(Near(TransformedPoint(b, Vector(1, 0, 0, 1)), Vector(0, 1, 0, 1)));
    r.Mul(a, b);
    EXPECT_TRUE(Near(TransformedPoint(r, Vector(1, 0, 0, 1)), Vector(1, 1, 0, 1)));

    Matrix inPlace = a;
    inPlace.MulInPlace(b);
    EXPECT_TRUE(Near(inPlace, r, 0.0f));

    // Aliasing either operand gives the same product.
    Matrix aliasA = a;
    aliasA.Mul(aliasA, b);
    Matrix aliasB = b;
    aliasB.Mul(a, aliasB);
    EXPECT_TRUE(Near(aliasA, r, 0.0f));
    EXPECT_TRUE(Near(aliasB, r, 0.0f));
}

TEST(MatrixTest, AxisRotationsTurnLeftHanded)
{
    Matrix m;
    m.LoadXRotation(90);
    Vector d(0, 1, 0, 0);
    d.TransformNormal3D(m);
    EXPECT_TRUE(Near(d, Vector(0, 0, 1, 0)));
    m.LoadYRotation(90);
    d.Set(0, 0, 1, 0);
    d.TransformNormal3D(m);
    EXPECT_TRUE(Near(d, Vector(1, 0, 0, 0)));
}

TEST(MatrixTest, TransposeDetAndThreeRowForm)
{
    Matrix m;
    m.Set(Vector(1, 2, 3, 4), Vector(5, 6, 7, 8), Vector(9, 10, 11, 12), Vector(13, 14, 15, 16));
    Matrix t;
    t.TransposeOf(m);
    EXPECT_EQ(t.At(0, 3), 13.0f);
    EXPECT_EQ(t.At(3, 0), 4.0f);
    Vector three[3];
    m.ToTransposed3x4(three);
    EXPECT_TRUE(Near(three[0], Vector(1, 5, 9, 13), 0.0f));
    EXPECT_TRUE(Near(three[1], Vector(2, 6, 10, 14), 0.0f));
    EXPECT_TRUE(Near(three[2], Vector(3, 7, 11, 15), 0.0f));
    EXPECT_FLOAT_EQ(m.Det(), 0.0f);

    Matrix s;
    s.LoadScale(Vector(2, 3, -4, 9));
    EXPECT_FLOAT_EQ(s.Det(), -24.0f);
}

TEST(MatrixTest, EqualsComparesAllElements)
{
    Matrix m = Matrix::ONE;
    EXPECT_TRUE(m.Equals(Matrix::ONE));
    for (int element = 0; element < 16; ++element)
    {
        Matrix changed = Matrix::ONE;
        float& value = (&changed.rows[element / 4].x)[element % 4];
        value += 0.5f;
        EXPECT_FALSE(changed.Equals(Matrix::ONE)) << element;
        EXPECT_FALSE(Matrix::ONE.Equals(changed)) << element;
        value = value == 1.5f ? 1.0f : -0.0f;
        EXPECT_TRUE(changed.Equals(Matrix::ONE)) << element;
    }
    m.rows[3].w = std::nanf("");
    EXPECT_FALSE(m.Equals(m));
}

TEST(MatrixTest, InverseOfIdentityAndRotations)
{
    Matrix i;
    i.InverseOf(Matrix::ONE);
    EXPECT_TRUE(Near(i, Matrix::ONE, 1e-6f));

    Matrix r, inverse, transposed;
    r.LoadComplexTransformation(Vector::ZERO4, Vector(30, -50, 110, 0), Vector::ONE);
    ASSERT_TRUE(inverse.InverseOf(r));
    transposed.SetTransposedRotation(r);
    EXPECT_TRUE(Near(inverse, transposed, 1e-5f));
}

TEST(MatrixTest, InverseTimesMatrixIsIdentity)
{
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> any(-5.0f, 5.0f);
    for (int n = 0; n < 500; ++n)
    {
        Matrix m = RandomAffine(rng);
        if (n % 2)
        {
            // General (projective) matrices as well.
            for (Vector& row : m.rows)
                row.w = any(rng);
            if (std::fabs(m.Det()) < 0.5f)
                continue;
        }
        Matrix inverse = m;
        ASSERT_TRUE(inverse.Inverse());
        Matrix product;
        product.Mul(m, inverse);
        // Relative to the matrix' magnitude (translations up to 50).
        EXPECT_TRUE(Near(product, Matrix::ONE, 2e-4f)) << n;
    }
}

TEST(MatrixTest, SingularInverseGivesIdentityNotNaN)
{
    Matrix flat;
    flat.LoadScale(Vector(1, 0, 1, 1));
    EXPECT_FALSE(flat.Inverse());
    EXPECT_TRUE(flat.Equals(Matrix::ONE));

    Matrix zero;
    EXPECT_FALSE(zero.InverseOf(Matrix::ZERO));
    EXPECT_TRUE(zero.Equals(Matrix::ONE));

    Matrix tiny;
    tiny.LoadUniformScale(1e-20f);
    EXPECT_FALSE(tiny.Inverse());
    EXPECT_TRUE(tiny.Equals(Matrix::ONE));

    // A determinant of 1 whose inverse still overflows: the corner of the inverse is 1e40. Then the
    // same corner from a finite cofactor over a determinant of 1e-12, in either orientation.
    Matrix shear;
    shear.Set(Vector(1, 0, 0, 0), Vector(-1e20f, 1, 0, 0), Vector(0, -1e20f, 1, 0), Vector(0, 0, 0, 1));
    Matrix scaled;
    scaled.Set(Vector(1e-4f, 1e14f, 0, 0), Vector(0, 1e-4f, 1e14f, 0), Vector(0, 0, 1e-4f, 0), Vector(0, 0, 0, 1));
    Matrix transposed;
    transposed.TransposeOf(scaled);
    for (Matrix* m : {&shear, &scaled, &transposed})
    {
        EXPECT_FALSE(m->Inverse());
        EXPECT_TRUE(m->Equals(Matrix::ONE));
    }
}

TEST(MatrixTest, DecomposeEdgeCases)
{
    Matrix m;
    m.LoadComplexTransformation(Vector(1, 2, 3, 1), Vector(10, 20, 30, 0), Vector(2, 2, 2, 1));
    Vector t, r, s;
    m.Decompose(t, r, s);
    EXPECT_TRUE(Near(t, Vector(1, 2, 3, 1)));
    EXPECT_TRUE(Near(r, Vector(10, 20, 30, 1), 1e-3f));
    EXPECT_NEAR(s.x, 2, 1e-5f);
    EXPECT_NEAR(s.y, 2, 1e-5f);
    EXPECT_NEAR(s.z, 2, 1e-5f);

    m.LoadComplexTransformation(Vector::ZERO4, Vector(-10, 0, 0, 0), Vector::ONE);
    m.Decompose(t, r, s);
    EXPECT_NEAR(r.x, 350.0f, 1e-3f);

    m.LoadComplexTransformation(Vector::ZERO4, Vector(0, 0, 0, 0), Vector(1, 2, -3, 1));
    m.Decompose(t, r, s);
    EXPECT_NEAR(s.z, -3.0f, 1e-5f);
    EXPECT_TRUE(Near(r, Vector(0, 0, 0, 1), 1e-3f));

    // Row 0 = (0, 0, 1): a turn of -90 degrees about Y takes the first special branch.
    m.LoadYRotation(-90);
    m.Decompose(t, r, s);
    EXPECT_NEAR(r.y, 270.0f, 1e-3f);
    EXPECT_EQ(r.z, 0.0f);
}

TEST(MatrixTest, TheComplexTransformationMayTakeItsOwnRows)
{
    // An entity turned in place hands its own translation row back in.
    Matrix m = Matrix::ONE;
    m.rows[3].Set(7, 8, 9, 1);
    m.LoadComplexTransformation(m.rows[3], Vector(0, 90, 0, 0), Vector(2, 2, 2, 1));
    Matrix expected;
    expected.LoadComplexTransformation(Vector(7, 8, 9, 1), Vector(0, 90, 0, 0), Vector(2, 2, 2, 1));
    EXPECT_TRUE(m.Equals(expected));
    EXPECT_EQ(m.rows[3].x, 7.0f);
}

TEST(MatrixTest, DecomposeUndoesTheComplexTransformation)
{
    for (float ax = -170.0f; ax <= 180.0f; ax += 35.0f)
        for (float ay = -80.0f; ay <= 80.0f; ay += 20.0f)
            for (float az = -175.0f; az <= 180.0f; az += 45.0f)
                for (const Vector& scale : {Vector(1, 1, 1, 1), Vector(0.5f, 2, 3, 1), Vector(4, 0.25f, 1, 1)})
                {
                    Matrix m;
                    const Vector translation(ax, ay, az, 1);
                    m.LoadComplexTransformation(translation, Vector(ax, ay, az, 0), scale);
                    Vector t, r, s;
                    m.Decompose(t, r, s);
                    Matrix rebuilt;
                    rebuilt.LoadComplexTransformation(t, r, s);
                    // Angles are ambiguous by full turns; the rebuilt transform must match.
                    ASSERT_TRUE(Near(rebuilt, m, 2e-4f)) << ax << " " << ay << " " << az;
                    EXPECT_NEAR(s.x, scale.x, 1e-4f);
                    EXPECT_NEAR(s.y, scale.y, 1e-4f);
                    EXPECT_NEAR(s.z, scale.z, 1e-4f);
                    for (float angle : {r.x, r.y, r.z})
                    {
                        EXPECT_GE(angle, 0.0f);
                        EXPECT_LT(angle, 360.0f);
                    }
                }
}

TEST(MatrixTest, QuaternionMatricesMatchAxisRotations)
{
    for (float angle = -360.0f; angle <= 360.0f; angle += 22.5f)
    {
        Quaternion q;
        Matrix fromQuaternion, direct;
        q.LoadXRotation(angle);
        fromQuaternion.LoadQuaternionAndTranslation(q, Vector::ZERO4);
        direct.LoadXRotation(angle);
        EXPECT_TRUE(Near(fromQuaternion, direct, 2e-6f)) << angle;
        q.LoadYRotation(angle);
        fromQuaternion.LoadQuaternionAndTranslation(q, Vector::ZERO4);
        direct.LoadYRotation(angle);
        EXPECT_TRUE(Near(fromQuaternion, direct, 2e-6f)) << angle;
        q.LoadZRotation(angle);
        fromQuaternion.LoadQuaternionAndTranslation(q, Vector::ZERO4);
        direct.LoadZRotation(angle);
        EXPECT_TRUE(Near(fromQuaternion, direct, 2e-6f)) << angle;
    }
}

TEST(MatrixTest, QuaternionProductsMatchMatrixProducts)
{
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> angle(-180.0f, 180.0f);
    for (int n = 0; n < 200; ++n)
    {
        Quaternion a, b, ab;
        a.SetAxisAlpha(Vector(angle(rng), angle(rng), angle(rng), 0), angle(rng));
        b.SetAxisAlpha(Vector(angle(rng), angle(rng), angle(rng), 0), angle(rng));
        ab.SetProduct(a, b);
        Matrix ma, mb, mab, product;
        ma.LoadQuaternionAndTranslation(a, Vector::ZERO4);
        mb.LoadQuaternionAndTranslation(b, Vector::ZERO4);
        mab.LoadQuaternionAndTranslation(ab, Vector::ZERO4);
        // a·b applies b first: M(b) × M(a), which Mul writes as Mul(ma, mb).
        product.Mul(ma, mb);
        EXPECT_TRUE(Near(mab, product, 1e-5f)) << n;

        Quaternion back;
        back.LoadMatrix(mab);
        if (back.x * ab.x + back.y * ab.y + back.z * ab.z + back.w * ab.w < 0)
            back = Quaternion(-back.x, -back.y, -back.z, -back.w);
        EXPECT_TRUE(Near(back, ab, 1e-4f)) << n;
    }
}

TEST(MatrixTest, EulerQuaternionMatchesTheComplexTransformation)
{
    for (float ax = -180.0f; ax <= 180.0f; ax += 40.0f)
        for (float ay = -180.0f; ay <= 180.0f; ay += 40.0f)
            for (float az = -180.0f; az <= 180.0f; az += 40.0f)
            {
                const Vector angles(ax, ay, az, 0);
                const Vector scale(1.5f, 0.5f, 2, 1);
                const Vector translation(3, -4, 5, 1);
                Quaternion q;
                q.LoadEulerDegrees(angles);
                Matrix fromQuaternion, complex;
                fromQuaternion.LoadQuaternionTranslationAndScale(q, translation, scale);
                complex.LoadComplexTransformation(translation, angles, scale);
                ASSERT_TRUE(Near(fromQuaternion, complex, 1e-5f)) << ax << " " << ay << " " << az;
            }
}

TEST(MatrixTest, ZeroOneToBoxMapsTheUnitCube)
{
    Matrix m;
    m.LoadZeroOneToBox(Vector(-1, 2, 3, 1), Vector(1, 6, 4, 1));
    EXPECT_TRUE(Near(TransformedPoint(m, Vector(0, 0, 0, 1)), Vector(-1, 2, 3, 1)));
    EXPECT_TRUE(Near(TransformedPoint(m, Vector(1, 1, 1, 1)), Vector(1, 6, 4, 1)));
}

TEST(MatrixTest, LookAtAndItsInverseAgree)
{
    const Vector eye(3, 4, -10, 1);
    const Vector at(-2, 1, 5, 1);
    const Vector up(0, 1, 0, 0);
    Matrix view, camera, product;
    ASSERT_TRUE(view.LoadLookAtLH(eye, at, up));
    camera.LoadInverseLookAtLH(eye, at, up);
    product.Mul(camera, view);
    EXPECT_TRUE(Near(product, Matrix::ONE, 1e-5f));
    // The target lies straight ahead on +z in view space.
    const Vector seen = TransformedPoint(view, at);
    EXPECT_NEAR(seen.x, 0.0f, 1e-5f);
    EXPECT_NEAR(seen.y, 0.0f, 1e-5f);
    EXPECT_NEAR(seen.z, at.Distance(eye), 1e-4f);

    EXPECT_FALSE(view.LoadLookAtLH(eye, eye, up));
    EXPECT_TRUE(view.Equals(Matrix::ONE));
    camera.LoadInverseLookAtLH(eye, eye, up);
    for (const Vector& row : camera.rows)
        EXPECT_TRUE(AllFinite(row));
}

TEST(MatrixTest, ProjectionsMapTheViewVolumeToClipSpace)
{
    Matrix p;
    ASSERT_TRUE(p.LoadPerspectiveFovLH(60.0f, 2.0f, 1.0f, 101.0f));
    EXPECT_NEAR(p.rows[1].y, std::sqrt(3.0f), 1e-5f) << "one over tan(30 degrees)";
    ASSERT_TRUE(p.LoadPerspectiveFovLH(90.0f, 2.0f, 1.0f, 101.0f));
    Vector v(0, 0, 1, 1);
    v.TransformHomogen(p);
    EXPECT_NEAR(v.z, 0.0f, 1e-6f);
    v.Set(202, 101, 101, 1);
    v.TransformHomogen(p);
    EXPECT_TRUE(Near(v, Vector(1, 1, 1, 1), 1e-5f));

    ASSERT_TRUE(p.LoadPerspectiveLH(4, 2, 1, 11));
    v.Set(-22, 11, 11, 1);
    v.TransformHomogen(p);
    EXPECT_TRUE(Near(v, Vector(-1, 1, 1, 1), 1e-6f)) << "the far corner";

    ASSERT_TRUE(p.LoadPerspectiveOffCenterLH(0, 4, -1, 1, 1, 11));
    v.Set(44, -11, 11, 1);
    v.TransformHomogen(p);
    EXPECT_TRUE(Near(v, Vector(1, -1, 1, 1), 1e-6f));

    ASSERT_TRUE(p.LoadOrthoOffCenterLH(0, 800, 600, 0, 1, 3));
    v.Set(800, 600, 3, 1);
    v.Transform3D(p);
    EXPECT_TRUE(Near(v, Vector(1, -1, 1, 1), 1e-6f));

    EXPECT_FALSE(p.LoadPerspectiveFovLH(0.0f, 1.0f, 1, 10));
    EXPECT_FALSE(p.LoadPerspectiveLH(1, 1, 5, 5));
    EXPECT_FALSE(p.LoadPerspectiveOffCenterLH(0, 4, 1, 1, 1, 11));
    EXPECT_FALSE(p.LoadOrthoOffCenterLH(1, 1, 0, 1, 0, 1));
    EXPECT_TRUE(p.Equals(Matrix::ONE));
}

TEST(MatrixTest, BillboardModesThatKeepTheObject)
{
    std::mt19937 rng(3);
    const Matrix object = RandomAffine(rng);
    const Matrix camera = RandomAffine(rng);
    Matrix r;
    for (uint32_t mode : {0u, 9u, 100u})
    {
        r.LoadBillboard(object, mode, camera, 5.0f);
        EXPECT_TRUE(r.Equals(object)) << mode;
    }
    r.LoadBillboard(object, 7, camera, 0.0f);
    EXPECT_TRUE(r.Equals(object));
}

TEST(MatrixTest, BillboardFacesTheCamera)
{
    Matrix object;
    object.LoadComplexTransformation(Vector(0, 0, 0, 1), Vector(0, 40, 0, 0), Vector(2, 3, 4, 1));
    Matrix camera;
    camera.LoadInverseLookAtLH(Vector(0, 0, -10, 1), Vector(0, 0, 0, 1), Vector::UNITY);

    Matrix r;
    r.LoadBillboard(object, 1, camera, 1.0f);
    EXPECT_TRUE(Near(r.rows[0], Vector(2, 0, 0, 0), 1e-5f));
    EXPECT_TRUE(Near(r.rows[2], Vector(0, 0, 4, 0), 1e-5f));
    EXPECT_TRUE(Near(r.rows[3], Vector(0, 0, -1, 1), 1e-5f));

    // Fix-Y keeps the up axis; the z axis then points away from the camera, keeping its length.
    r.LoadBillboard(object, 4, camera, 0.0f);
    EXPECT_TRUE(Near(r.rows[1], object.rows[1], 0.0f));
    EXPECT_NEAR(r.rows[0].Length(), 2.0f, 1e-5f);
    EXPECT_TRUE(Near(r.rows[2], Vector(0, 0, 4, 0), 1e-5f));

    // Camera at -z looking at the object: f = (0, 0, -1), the camera's forward the opposite.
    const struct
    {
        uint32_t mode;
        Matrix expected;
    } kAligned[] = {
        {2, {{Vector(-2, 0, 0, 0), Vector(0, 3, 0, 0), Vector(0, 0, -4, 0), Vector(0, 0, -2, 1)}}},
        {3, {{Vector(2, 0, 0, 0), Vector(0, -3, 0, 0), Vector(0, 0, -4, 0), Vector(0, 0, -2, 1)}}},
        {5, {{Vector(2, 0, 0, 0), Vector(0, 3, 0, 0), Vector(0, 0, 4, 0), Vector(0, 0, -2, 1)}}},
        {6, {{Vector(-2, 0, 0, 0), Vector(0, 3, 0, 0), Vector(0, 0, -4, 0), Vector(0, 0, -2, 1)}}},
    };
    Matrix upright;
    upright.LoadScale(Vector(2, 3, 4, 1));
    for (const auto& c : kAligned)
    {
        r.LoadBillboard(upright, c.mode, camera, 2.0f);
        EXPECT_TRUE(Near(r, c.expected, 1e-5f)) << c.mode;
    }

    // World-ground stands the object upright along its heading.
    Matrix tilted;
    tilted.LoadComplexTransformation(Vector(1, 2, 3, 1), Vector(0, 30, 25, 0), Vector(2, 2, 2, 1));
    r.LoadBillboard(tilted, 8, camera, 9.0f);
    EXPECT_TRUE(Near(r.rows[1], Vector(0, 2, 0, 0), 1e-5f));
    EXPECT_TRUE(Near(r.rows[3], tilted.rows[3], 0.0f));
    EXPECT_NEAR(r.rows[0].y, 0.0f, 1e-6f);
    EXPECT_NEAR(r.rows[0].Length(), 2.0f, 1e-5f);
    // A heading back along -x with some y turns round rather than folding onto +x.
    tilted.Set(Vector(-1, 1, 1, 0), Vector(0, 1, 0, 0), Vector(0, 0, 1, 0), Vector(0, 0, 0, 1));
    r.LoadBillboard(tilted, 8, camera, 0.0f);
    EXPECT_TRUE(Near(r.rows[0], Vector(-std::sqrt(2.0f), 0, 1, 0), 1e-5f));
    // A collapsed x axis has no heading: the object stands at heading 0 rather than turning NaN.
    tilted.rows[0] = Vector(0, 0, 0, 0);
    r.LoadBillboard(tilted, 8, camera, 0.0f);
    const Matrix standing{{Vector(0, 0, 0, 0), Vector(0, 1, 0, 0), Vector(0, 0, 1, 0), Vector(0, 0, 0, 1)}};
    EXPECT_TRUE(Near(r, standing, 0.0f));
}

TEST(MatrixTest, LogPrintsFourLabelledRows)
{
    ConsoleCapture capture;
    Matrix::ONE.Log(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE);
    const auto lines = capture.Messages();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].text, "r0: 1.000000, 0.000000, 0.000000, 0.000000");
    EXPECT_EQ(lines[3].text.substr(0, 3), "r3:");
}
