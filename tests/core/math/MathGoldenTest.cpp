// Every math type's results on a fixed table of inputs, against the copy stored in golden/. Values are
// printed in steps of 1/1024; box hit points in steps of 1/64.
#include "core/math/BoundingBox4.h"
#include "core/math/Matrix.h"
#include "core/math/OBBox4.h"
#include "core/math/Quaternion.h"

#include "support/GoldenText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <vector>

namespace
{
float gSteps = 1024.0f;

std::string S(float v)
{
    char text[64];
    const float q = std::nearbyint(v * gSteps) / gSteps;
    std::snprintf(text, sizeof(text), "%.4f", q == 0.0f ? 0.0f : q);
    return text;
}
std::string S(bool b) { return b ? "yes" : "no"; }
std::string S(const Vector& v) { return S(v.x) + " " + S(v.y) + " " + S(v.z) + " " + S(v.w); }
std::string S(const Quaternion& q) { return S(Vector(q.x, q.y, q.z, q.w)); }
std::string S(const BoundingBox4& b) { return S(b.min) + " .. " + S(b.max); }
template <typename T, size_t N>
std::string S(const T (&values)[N])
{
    std::string text = S(values[0]);
    for (size_t i = 1; i < N; ++i)
        text += " | " + S(values[i]);
    return text;
}
std::string S(const Matrix& m) { return S(m.rows); }

// One indented line: the label, then each value, " | " between them.
template <typename... T>
std::string L(const char* label, const T&... values)
{
    std::string line = std::string("  ") + label;
    const char* separator = " ";
    ((line += separator + S(values), separator = " | "), ...);
    return line + "\n";
}

const Vector kPoints[] = {{0.5f, -1, 2, 1}, {3, 0.25f, -0.75f, 0}, {-2, 4, 1, 2}, {0, 0, 0, 0}, {1.2f, 0.4f, 0.3f, 1}};
const BoundingBox4 kBoxes[] = {{{-1, -0.5f, 0, 1}, {2, 1, 3, 1}}, {{0.25f, 0.25f, 0.25f, 1}, {0.5f, 3, 0.5f, 1}},
                               BoundingBox4::UNITCUBE3D, {{4, 4, 4, 1}, {5, 6, 7, 1}}};
// Inward planes of the box [-2, 2] x [-1, 3] x [0.5, 6].
const Vector kFrustum[6] = {{1, 0, 0, 2}, {-1, 0, 0, 2}, {0, 1, 0, 1}, {0, -1, 0, 3}, {0, 0, 1, -0.5f}, {0, 0, -1, 6}};
} // namespace

TEST(MathGoldenTest, EveryOperationOnAFixedTable)
{
    std::ostringstream out;
    Matrix camera, complex, m, b;
    camera.LoadInverseLookAtLH(Vector(3, 2, -6, 1), Vector(0, 0.5f, 0, 1), Vector::UNITY);
    complex.LoadComplexTransformation(Vector(1, -2, 3, 1), Vector(30, -45, 60, 0), Vector(2, 0.5f, 1.5f, 1));
    Quaternion q;
    q.SetAxisAlpha(Vector(1, 2, 3, 0), 70);
    std::vector<std::pair<std::string, Matrix>> table;
    auto Add = [&](const std::string& name, bool built = true)
    { table.emplace_back(name + (built ? "" : " (refused)"), m); };
    m = complex, Add("complex");
    m.LoadComplexTransformation(Vector(0, 1, 0, 1), Vector(350, 190, -20, 0), Vector(-1, 2, 3, 1)), Add("mirrored");
    m.LoadQuaternionTranslationAndScale(q, Vector(4, 5, 6, 1), Vector(1, 2, 3, 1)), Add("quaternion, move, scale");
    m.LoadQuaternionAndTranslation(q, Vector(-1, 0, 2, 1)), Add("quaternion and move");
    Add("look at", m.LoadLookAtLH(Vector(1, 2, -5, 1), Vector(0, 0, 0, 1), Vector::UNITY));
    Add("look at along up", m.LoadLookAtLH(Vector(1, 2, 3, 1), Vector(1, 5, 3, 1), Vector::UNITY));
    m = camera, Add("inverse look at");
    Add("perspective", m.LoadPerspectiveLH(2, 1.5f, 0.5f, 100));
    Add("perspective fov", m.LoadPerspectiveFovLH(60, 1.5f, 0.1f, 1000));
    Add("perspective off centre", m.LoadPerspectiveOffCenterLH(-1, 2, -0.5f, 1, 1, 50));
    Add("perspective near equals far", m.LoadPerspectiveFovLH(60, 1, 5, 5));
    Add("ortho off centre", m.LoadOrthoOffCenterLH(-4, 2, -1, 3, 0.5f, 20));
    m.LoadZeroOneToBox(Vector(-1, -2, -3, 1), Vector(4, 5, 6, 1)), Add("zero one to box");
    m.LoadXRotation(30), b.LoadYRotation(120), m.MulInPlace(b), b.LoadZRotation(-75), m.Mul(m, b), Add("rotations");
    m.LoadScale(Vector(2, 3, 4, 1)), b.LoadTranslation(1, 2, 3), m.Mul(b, m), b.LoadUniformScale(0.5f), m.Mul(m, b);
    Add("scale and move");
    m.Set(Vector(1, 2, 3, 0), Vector(2, 4, 6, 0), Vector(0, 0, 1, 0), Vector(0, 0, 0, 1)), Add("singular");
    for (uint32_t mode = 0; mode <= 9; ++mode)
        for (const auto& [name, object] : {std::pair("complex", complex), std::pair("upright", Matrix::ONE)})
        {
            m.LoadBillboard(object, mode, camera, mode % 2 ? 1.5f : 0.0f);
            Add("billboard " + std::to_string(mode) + " " + name);
        }
    for (const auto& [name, a] : table)
    {
        Vector decomposed[3], rows3[3], turned[4];
        a.Decompose(decomposed[0], decomposed[1], decomposed[2]);
        a.ToTransposed3x4(rows3);
        b.SetTransposedRotation(a);
        out << "matrix " << name << "\n" << L("rows", a, a.Det()) << L("rotation inverse", b) << L("three rows", rows3);
        b = a;
        out << L("inverse", b.Inverse(), b) << L("decomposed", decomposed);
        for (const Vector& p : kPoints)
        {
            int i = 0;
            for (auto how :
                 {&Vector::Transform, &Vector::TransformHomogen, &Vector::Transform3D, &Vector::TransformNormal3D})
                ((turned[i++] = p).*how)(a);
            out << L("point", p, turned);
        }
        for (const BoundingBox4& box : kBoxes)
        {
            BoundingBox4 placed, grown = kBoxes[1];
            OBBox4 oriented;
            Vector nearest[std::size(kPoints)], closest[std::size(kPoints)];
            bool inside[std::size(kPoints)], collides[std::size(kPoints) * 3] = {};
            placed.Transform3D(box, a);
            grown.Expand3D(box, a);
            oriented.Transform3D(box, a);
            for (size_t i = 0; i < std::size(kPoints); ++i)
            {
                box.GetNearestPoint(kPoints[i], a, nearest[i]);
                oriented.GetClosestPoint(kPoints[i], closest[i]);
                inside[i] = oriented.Inside3D(kPoints[i]);
                collides[i] = box.CollidesWithSegment3DSlowSlowSlow(a, kPoints[i], kPoints[(i + 1) % 5]);
            }
            for (size_t i = 0; i < std::size(kBoxes); ++i)
            {
                collides[5 + i] = box.CollidesWithOtherBox3D(a, kBoxes[i], complex);
                collides[10 + i] = box.CollidesWithTransformedBox3D(a, kBoxes[i]);
            }
            out << L("box", box, placed, grown, box.IntersectsFrustumTransformed(kFrustum, a))
                << L("  oriented", oriented.center, oriented.extents, inside) << L("  nearest", nearest)
                << L("  closest", closest) << L("  collides", collides);
        }
    }

    const Vector vectors[] = {{1, 2, 3, 4}, {-0.5f, 0.25f, 2, 0}, {0, 0, 0, 1}, {3, -4, 0.5f, 1},
                              {0.2f, 1.4f, -0.3f, 0.7f}};
    const Vector plane(0.6f, 0, 0.8f, -1);
    for (size_t i = 0; i < std::size(vectors); ++i)
    {
        const Vector& a = vectors[i];
        const Vector& v = vectors[(i + 1) % std::size(vectors)];
        Vector made[8] = {a};
        float t = -7;
        made[0].Normalize();
        made[1].Cross(a, v);
        made[2].Lerp(a, v, Vector(0, 0.25f, 0.5f, 1));
        made[3].Reflect(a, plane);
        made[4].ProjectOntoPlane(plane, a);
        const bool flags[] = {made[5].ProjectOntoPlane(plane, a, v), made[6].ProjectForwardOntoPlane(plane, a, v, t),
                              made[7].BuildPlaneFromPoints(a, v, vectors[(i + 2) % std::size(vectors)])};
        const float lengths[] = {a.Length(), a.Length2(), a.Length2XZ(), a.Dot3(v), a.Dot4(v), a.Distance(v),
                                 a.Distance2(v), a.Distance2XZ(v), t};
        out << "vector " << a.ToString() << " rgba " << std::hex << a.GetRGBA() << std::dec << "\n"
            << L("lengths", lengths, flags) << L("made", made);
    }

    const Vector axes[] = {{1, 0, 0, 0}, {0, 0, 1, 0}, {-1, 0, 0, 0}, {0, 0, -1, 0}, {0.6f, 0.8f, 0, 0}, {0, 0, 0, 0}};
    for (size_t i = 0; i < std::size(axes); ++i)
    {
        Quaternion made[9];
        made[0].LoadEulerDegrees(Vector(70.0f * i, -35.0f * i, 50.0f + 40.0f * i, 0));
        made[1].SetAxisAlpha(axes[i], 40.0f * i - 106);
        made[2].SetProduct(made[0], made[1]);
        made[3] = made[2];
        made[3].Conjugate();
        made[4].LoadRotationArc(axes[i], axes[(i + 2) % std::size(axes)]);
        m.LoadQuaternionAndTranslation(made[0], Vector::ZERO4);
        made[5].LoadMatrix(m);
        for (int s = 0; s < 3; ++s)
            made[6 + s].Slerp(made[0], made[2 + i % 2], 0.5f * s);
        out << "quaternion " << i << "\n" << L("made", made);
    }

    gSteps = 64;
    for (const BoundingBox4& box : {kBoxes[0], kBoxes[1], BoundingBox4::INVALID, BoundingBox4::ZERO4})
    {
        BoundingBox4 grown = box;
        grown.Expand(kPoints[0]);
        grown.Expand(kBoxes[3]);
        Vector centre, corners[8];
        box.GetCenter(centre);
        for (uint32_t i = 0; i < 8; ++i)
            box.GetVertex(corners[i], i);
        out << "box " << S(box) << "\n"
            << L("made", box.IsValid3(), grown, centre, box.IntersectsFrustum(kFrustum), corners);
        for (int i = 0; i < 4; ++i)
        {
            const bool found[] = {box.Inside3D(kPoints[i]), box.Inside4D(kPoints[i]), box.Inside3D(kBoxes[i]),
                                  box.Inside4D(kBoxes[i]), box.Overlaps3D(kBoxes[i])};
            out << L("with", kPoints[i], kBoxes[i], found);
            for (const Vector& p : kPoints)
            {
                Vector hit;
                const bool hits[] = {box.CollidesWithSegment3D(kPoints[i], p),
                                     box.CollidesWithSegment3D(kPoints[i], p, hit)};
                out << L("  segment to", p, hits, hit);
            }
        }
    }
    ExpectTextMatchesStoredCopy(out.str(), "tests/core/math/golden/MathGolden.txt");
}
