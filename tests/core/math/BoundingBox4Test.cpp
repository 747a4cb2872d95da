#include "core/math/BoundingBox4.h"
#include "core/math/Matrix.h"
#include "core/math/OBBox4.h"

#include "MathExpect.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace
{
Matrix Placement(std::mt19937& rng, float spread)
{
    std::uniform_real_distribution<float> angle(-180.0f, 180.0f);
    std::uniform_real_distribution<float> scale(0.3f, 2.0f);
    std::uniform_real_distribution<float> offset(-spread, spread);
    Matrix m;
    m.LoadComplexTransformation(Vector(offset(rng), offset(rng), offset(rng), 1),
                                Vector(angle(rng), angle(rng), angle(rng), 0),
                                Vector(scale(rng), scale(rng), scale(rng), 1));
    return m;
}

BoundingBox4 RandomBox(std::mt19937& rng)
{
    std::uniform_real_distribution<float> corner(-2.0f, 2.0f);
    std::uniform_real_distribution<float> size(0.1f, 2.0f);
    const Vector min(corner(rng), corner(rng), corner(rng), 1);
    return BoundingBox4(min, Vector(min.x + size(rng), min.y + size(rng), min.z + size(rng), 1));
}

// Distance from a point to the box along each axis beyond its faces (0 inside).
float Outside(const BoundingBox4& box, const Vector& p)
{
    const float dx = std::max({box.min.x - p.x, 0.0f, p.x - box.max.x});
    const float dy = std::max({box.min.y - p.y, 0.0f, p.y - box.max.y});
    const float dz = std::max({box.min.z - p.z, 0.0f, p.z - box.max.z});
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// How far a point lies inside the box (negative outside).
float Depth(const BoundingBox4& box, const Vector& p)
{
    return std::min({p.x - box.min.x, box.max.x - p.x, p.y - box.min.y, box.max.y - p.y, p.z - box.min.z,
                     box.max.z - p.z});
}

// Smallest distance from sampled segment points to the box; the first sample inside and the
// deepest penetration are reported too.
float SampledSegmentDistance(const BoundingBox4& box, const Vector& p0, const Vector& p1, float* firstInside,
                             float* deepest = nullptr)
{
    float best = 1e30f;
    float depth = -1e30f;
    *firstInside = -1.0f;
    constexpr int kSamples = 4000;
    for (int i = 0; i <= kSamples; ++i)
    {
        const float t = float(i) / kSamples;
        Vector p;
        p.Lerp(p0, p1, Vector(t, t, t, t));
        const float d = Outside(box, p);
        if (d == 0.0f && *firstInside < 0.0f)
            *firstInside = t;
        best = std::min(best, d);
        depth = std::max(depth, Depth(box, p));
    }
    if (deepest)
        *deepest = depth;
    return best;
}

Vector Corner(const BoundingBox4& box, uint32_t i)
{
    Vector v;
    box.GetVertex(v, i);
    v.w = 1.0f;
    return v;
}
} // namespace

TEST(BoundingBox4Test, ConstantsAndValidity)
{
    EXPECT_FALSE(BoundingBox4::INVALID.IsValid3());
    EXPECT_TRUE(BoundingBox4::ZERO4.IsValid3());
    BoundingBox4 box = BoundingBox4::INVALID;
    box.Expand(Vector(1, 2, 3, 1));
    EXPECT_TRUE(box == BoundingBox4(Vector(1, 2, 3, 1), Vector(1, 2, 3, 1)));
    box.Expand(BoundingBox4::UNITCUBE3D);
    EXPECT_TRUE(box == BoundingBox4(Vector(-1, -1, -1, 1), Vector(1, 2, 3, 1)));
    BoundingBox4 nan(Vector(0, std::nanf(""), 0, 0), Vector(1, 1, 1, 1));
    EXPECT_FALSE(nan.IsValid3());
    EXPECT_FALSE(nan == nan);
}

TEST(BoundingBox4Test, VerticesAndCentre)
{
    const BoundingBox4 box(Vector(1, 2, 3, 4), Vector(5, 6, 7, 8));
    Vector v;
    box.GetVertex(v, 0);
    EXPECT_TRUE(Near(v, Vector(1, 2, 3, 4), 0.0f));
    box.GetVertex(v, 7);
    EXPECT_TRUE(Near(v, Vector(5, 6, 7, 4), 0.0f));
    box.GetVertex(v, 5);
    EXPECT_TRUE(Near(v, Vector(5, 2, 7, 4), 0.0f));
    box.GetCenter(v);
    EXPECT_TRUE(Near(v, Vector(3, 4, 5, 6), 0.0f));
}

TEST(BoundingBox4Test, InsideIsInclusiveAndOnlyFourDLooksAtW)
{
    const BoundingBox4 box(Vector(0, 0, 0, 0), Vector(1, 1, 1, 1));
    EXPECT_TRUE(box.Inside3D(Vector(1, 1, 1, 5)));
    EXPECT_FALSE(box.Inside4D(Vector(1, 1, 1, 5)));
    EXPECT_TRUE(box.Inside4D(Vector(1, 1, 1, 1)));
    EXPECT_FALSE(box.Inside3D(Vector(1.0001f, 0.5f, 0.5f, 0)));
    EXPECT_FALSE(box.Inside3D(Vector(0.5f, 0.5f, -0.0001f, 0)));
    EXPECT_TRUE(box.Inside3D(BoundingBox4(Vector(0, 0, 0, 9), Vector(1, 1, 1, 9))));
    EXPECT_FALSE(box.Inside4D(BoundingBox4(Vector(0, 0, 0, 9), Vector(1, 1, 1, 9))));
}

TEST(BoundingBox4Test, TouchingBoxesOverlapAndCollide)
{
    const BoundingBox4 a(Vector(0, 0, 0, 1), Vector(1, 1, 1, 1));
    const BoundingBox4 b(Vector(1, 0, 0, 1), Vector(2, 1, 1, 1));
    EXPECT_TRUE(a.Overlaps3D(b));
    EXPECT_TRUE(a.CollidesWithOtherBox3D(Matrix::ONE, b, Matrix::ONE));
    EXPECT_TRUE(a.CollidesWithTransformedBox3D(Matrix::ONE, b));
    const BoundingBox4 c(Vector(1.01f, 0, 0, 1), Vector(2, 1, 1, 1));
    EXPECT_FALSE(a.Overlaps3D(c));
    EXPECT_FALSE(a.Overlaps3D(BoundingBox4(Vector(0, 0, 1.01f, 1), Vector(1, 1, 2, 1))));
    EXPECT_FALSE(a.CollidesWithOtherBox3D(Matrix::ONE, c, Matrix::ONE));
}

TEST(BoundingBox4Test, QuarterTurnSkipsTheEdgeAxes)
{
    // A quarter turn about Y makes every axis pair parallel or perpendicular; the face axes decide.
    const BoundingBox4 box(Vector(-1, -1, -1, 1), Vector(1, 1, 1, 1));
    Matrix turned;
    turned.LoadYRotation(90);
    turned.rows[3].Set(1.9f, 0, 0, 1);
    EXPECT_TRUE(box.CollidesWithOtherBox3D(Matrix::ONE, box, turned));
    turned.rows[3].Set(2.1f, 0, 0, 1);
    EXPECT_FALSE(box.CollidesWithOtherBox3D(Matrix::ONE, box, turned));
}

TEST(BoundingBox4Test, TransformsEncloseThePlacedBox)
{
    std::mt19937 rng(21);
    for (int n = 0; n < 200; ++n)
    {
        const BoundingBox4 box = RandomBox(rng);
        const Matrix m = Placement(rng, 10);
        BoundingBox4 enclosing, expanded = BoundingBox4::INVALID, viaOriented;
        enclosing.Transform3D(box, m);
        expanded.Expand3D(box, m);
        OBBox4 oriented;
        oriented.Transform3D(box, m);
        viaOriented.Transform3D(oriented);
        for (uint32_t i = 0; i < 8; ++i)
        {
            Vector corner = Corner(box, i);
            corner.Transform3D(m);
            // The enclosing box of the eight corners is exact: every bound is met by a corner.
            EXPECT_TRUE(enclosing.Inside3D(corner) || Outside(enclosing, corner) < 1e-4f);
            EXPECT_TRUE(expanded.Inside3D(corner));
            EXPECT_TRUE(oriented.Inside3D(corner) || Outside(enclosing, corner) < 1e-4f);
        }
        EXPECT_TRUE(Near(enclosing.min, expanded.min, 1e-4f));
        EXPECT_TRUE(Near(Vector(enclosing.max.x, enclosing.max.y, enclosing.max.z, 0),
                         Vector(expanded.max.x, expanded.max.y, expanded.max.z, 0), 1e-4f));
        EXPECT_TRUE(Near(Vector(viaOriented.min.x, viaOriented.min.y, viaOriented.min.z, 0),
                         Vector(enclosing.min.x, enclosing.min.y, enclosing.min.z, 0), 1e-4f));
    }
}

TEST(BoundingBox4Test, NearestPointsAgreeWithSampling)
{
    std::mt19937 rng(8);
    std::uniform_real_distribution<float> any(-8.0f, 8.0f);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int n = 0; n < 100; ++n)
    {
        const BoundingBox4 box = RandomBox(rng);
        const Matrix m = Placement(rng, 3);
        OBBox4 oriented;
        oriented.Transform3D(box, m);
        const Vector p(any(rng), any(rng), any(rng), 1);
        Vector q, closest;
        box.GetNearestPoint(p, m, q);
        oriented.GetClosestPoint(p, closest);
        EXPECT_TRUE(Near(q, closest, 1e-3f));
        // No sampled point of the placed box is nearer than q.
        const float best = q.Distance(p);
        for (int s = 0; s < 300; ++s)
        {
            Vector local(box.min.x + unit(rng) * (box.max.x - box.min.x), box.min.y + unit(rng) * (box.max.y - box.min.y),
                         box.min.z + unit(rng) * (box.max.z - box.min.z), 1);
            local.Transform3D(m);
            ASSERT_GE(local.Distance(p), best - 1e-3f) << n;
        }
    }
}

TEST(BoundingBox4Test, ZeroAxisRowsAndExtentsStayFinite)
{
    Matrix flat = Matrix::ONE;
    flat.rows[1] = Vector::ZERO4;
    const BoundingBox4 box(Vector(-1, -1, -1, 1), Vector(1, 1, 1, 1));
    Vector q;
    box.GetNearestPoint(Vector(5, 5, 5, 1), flat, q);
    EXPECT_TRUE(Near(q, Vector(1, 0, 1, 1), 0.0f));
    OBBox4 oriented;
    oriented.Transform3D(box, flat);
    oriented.GetClosestPoint(Vector(5, 5, 5, 1), q);
    EXPECT_TRUE(Near(q, Vector(1, 0, 1, 1), 0.0f));
    EXPECT_TRUE(box.CollidesWithOtherBox3D(flat, box, Matrix::ONE));
    EXPECT_TRUE(box.CollidesWithSegment3DSlowSlowSlow(Matrix::ONE, Vector(0.5f, 0, 0, 1), Vector(0.5f, 0, 0, 1)));
    EXPECT_FALSE(box.CollidesWithSegment3DSlowSlowSlow(Matrix::ONE, Vector(3, 0, 0, 1), Vector(3, 0, 0, 1)));
}

TEST(BoundingBox4Test, OrientedInsideCountsTheBoundary)
{
    OBBox4 box = OBBox4::ONE;
    EXPECT_TRUE(box.Inside3D(Vector(2, 2, 2, 0)));
    EXPECT_TRUE(box.Inside3D(Vector(0, 0, 0, 0)));
    EXPECT_FALSE(box.Inside3D(Vector(2.01f, 1, 1, 0)));
    box.SetExtent(0, Vector(1, 1, 0, 0));
    box.SetExtent(1, Vector(-1, 1, 0, 0));
    EXPECT_TRUE(box.Inside3D(Vector(1, 3, 1, 0)));
    EXPECT_FALSE(box.Inside3D(Vector(2, 2.5f, 1, 0)));
}

TEST(BoundingBox4Test, FrustumAgreesWithCornersAndSampling)
{
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> any(-1.0f, 1.0f);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    int rejected = 0;
    for (int n = 0; n < 2000; ++n)
    {
        Vector planes[6];
        for (Vector& plane : planes)
        {
            plane.Set(any(rng), any(rng), any(rng), 0);
            plane.Normalize();
            plane.w = any(rng) * 3.0f;
        }
        const BoundingBox4 box = RandomBox(rng);
        const Matrix m = Placement(rng, 2);
        // Reference: outside when all eight corners are on the negative side of one plane.
        bool outsideLocal = false, outsidePlaced = false;
        for (const Vector& plane : planes)
        {
            bool allOutLocal = true, allOutPlaced = true;
            for (uint32_t i = 0; i < 8; ++i)
            {
                Vector corner = Corner(box, i);
                allOutLocal = allOutLocal && plane.Dot4(corner) < 0.0f;
                corner.Transform3D(m);
                allOutPlaced = allOutPlaced && plane.Dot4(corner) < -1e-4f;
            }
            outsideLocal = outsideLocal || allOutLocal;
            outsidePlaced = outsidePlaced || allOutPlaced;
        }
        EXPECT_EQ(box.IntersectsFrustum(planes), !outsideLocal) << n;
        if (outsidePlaced)
        {
            EXPECT_FALSE(box.IntersectsFrustumTransformed(planes, m)) << n;
        }
        rejected += outsideLocal;

        // Any sampled point of the box inside every plane means the box is not rejected.
        for (int s = 0; s < 50; ++s)
        {
            const Vector p(box.min.x + unit(rng) * (box.max.x - box.min.x),
                           box.min.y + unit(rng) * (box.max.y - box.min.y),
                           box.min.z + unit(rng) * (box.max.z - box.min.z), 1);
            bool inside = true;
            for (const Vector& plane : planes)
                inside = inside && plane.Dot4(p) >= 0.0f;
            if (inside)
            {
                EXPECT_TRUE(box.IntersectsFrustum(planes)) << n;
                break;
            }
        }
    }
    EXPECT_GT(rejected, 100);
    EXPECT_LT(rejected, 1900);
}

TEST(BoundingBox4Test, PositiveVertexOnAPlaneIntersects)
{
    const BoundingBox4 box(Vector(0, 0, 0, 1), Vector(1, 1, 1, 1));
    Vector planes[6];
    for (Vector& plane : planes)
        plane.Set(0, 1, 0, 5);
    planes[3].Set(0, -1, 0, 0); // inside where y <= 0: only the face y = 0 touches
    EXPECT_TRUE(box.IntersectsFrustum(planes));
    planes[3].Set(0, -1, 0, -0.001f);
    EXPECT_FALSE(box.IntersectsFrustum(planes));
}

TEST(BoundingBox4Test, OrientedBoxesAgreeWithProjections)
{
    std::mt19937 rng(4);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    int colliding = 0, separated = 0;
    for (int n = 0; n < 1500; ++n)
    {
        const BoundingBox4 a = RandomBox(rng), b = RandomBox(rng);
        const Matrix ma = Placement(rng, 1.2f), mb = Placement(rng, 1.2f);
        const bool collides = a.CollidesWithOtherBox3D(ma, b, mb);

        Vector cornersA[8], cornersB[8];
        for (uint32_t i = 0; i < 8; ++i)
        {
            cornersA[i] = Corner(a, i);
            cornersA[i].Transform3D(ma);
            cornersB[i] = Corner(b, i);
            cornersB[i].Transform3D(mb);
        }
        // Candidate axes: the face normals and their cross products; a gap in the projections of
        // the corner sets proves separation.
        Vector axes[15];
        for (int i = 0; i < 3; ++i)
        {
            axes[i] = ma.rows[i];
            axes[3 + i] = mb.rows[i];
            for (int j = 0; j < 3; ++j)
                axes[6 + i * 3 + j].Cross(ma.rows[i], mb.rows[j]);
        }
        bool gap = false;
        for (Vector axis : axes)
        {
            axis.Normalize();
            if (axis.Length2() == 0.0f)
                continue;
            float minA = 1e30f, maxA = -1e30f, minB = 1e30f, maxB = -1e30f;
            for (int i = 0; i < 8; ++i)
            {
                minA = std::min(minA, cornersA[i].Dot3(axis));
                maxA = std::max(maxA, cornersA[i].Dot3(axis));
                minB = std::min(minB, cornersB[i].Dot3(axis));
                maxB = std::max(maxB, cornersB[i].Dot3(axis));
            }
            if (maxA < minB - 1e-3f || maxB < minA - 1e-3f)
                gap = true;
        }
        if (gap)
        {
            EXPECT_FALSE(collides) << n;
        }

        // A sampled point of A inside B proves a collision.
        Matrix toB;
        ASSERT_TRUE(toB.InverseOf(mb));
        const BoundingBox4 shrunk(Vector(b.min.x + 1e-3f, b.min.y + 1e-3f, b.min.z + 1e-3f, 1),
                                  Vector(b.max.x - 1e-3f, b.max.y - 1e-3f, b.max.z - 1e-3f, 1));
        for (int s = 0; s < 200 && !gap; ++s)
        {
            Vector p(a.min.x + unit(rng) * (a.max.x - a.min.x), a.min.y + unit(rng) * (a.max.y - a.min.y),
                     a.min.z + unit(rng) * (a.max.z - a.min.z), 1);
            p.Transform3D(ma);
            p.Transform3D(toB);
            if (shrunk.Inside3D(p))
            {
                EXPECT_TRUE(collides) << n;
                break;
            }
        }
        colliding += collides;
        separated += gap;
    }
    EXPECT_GT(colliding, 50);
    EXPECT_GT(separated, 150);
}

TEST(BoundingBox4Test, SegmentsAgreeWithSampling)
{
    std::mt19937 rng(12);
    std::uniform_real_distribution<float> any(-4.0f, 4.0f);
    int hits = 0, misses = 0;
    for (int n = 0; n < 3000; ++n)
    {
        const BoundingBox4 box = RandomBox(rng);
        Vector p0(any(rng), any(rng), any(rng), 1), p1(any(rng), any(rng), any(rng), 1);
        if (n % 4 == 0)
            p1.y = p0.y; // parallel to a face
        float firstInside, deepest;
        const float distance = SampledSegmentDistance(box, p0, p1, &firstInside, &deepest);
        Vector hit;
        const bool quick = box.CollidesWithSegment3D(p0, p1);
        const bool contact = box.CollidesWithSegment3D(p0, p1, hit);
        const bool slow = box.CollidesWithSegment3DSlowSlowSlow(Matrix::ONE, p0, p1);
        if (firstInside >= 0.0f)
        {
            // Only segments that really enter the box, so that no rounding can excuse a miss.
            if (deepest < 1e-3f)
                continue;
            EXPECT_TRUE(quick) << n;
            EXPECT_TRUE(contact) << n;
            EXPECT_TRUE(slow) << n;
            if (contact)
            {
                // The contact is the first point inside, as near as the sampling finds it.
                Vector expected;
                expected.Lerp(p0, p1, Vector(firstInside, firstInside, firstInside, firstInside));
                EXPECT_LT(hit.Distance(expected), 0.02f) << n;
                EXPECT_LT(Outside(box, hit), 0.02f) << n;
            }
            ++hits;
        }
        else if (distance > 0.01f)
        {
            EXPECT_FALSE(quick) << n;
            EXPECT_FALSE(contact) << n;
            EXPECT_FALSE(slow) << n;
            ++misses;
        }
    }
    EXPECT_GT(hits, 80);
    EXPECT_GT(misses, 300);
}

TEST(BoundingBox4Test, PlacedSegmentTestAgreesWithTheLocalOne)
{
    std::mt19937 rng(31);
    std::uniform_real_distribution<float> any(-6.0f, 6.0f);
    for (int n = 0; n < 1000; ++n)
    {
        const BoundingBox4 box = RandomBox(rng);
        const Matrix m = Placement(rng, 2);
        Matrix inverse;
        ASSERT_TRUE(inverse.InverseOf(m));
        const Vector p0(any(rng), any(rng), any(rng), 1), p1(any(rng), any(rng), any(rng), 1);
        Vector l0 = p0, l1 = p1;
        l0.Transform3D(inverse);
        l1.Transform3D(inverse);
        float firstInside;
        const float distance = SampledSegmentDistance(box, l0, l1, &firstInside);
        if (firstInside >= 0.0f)
        {
            EXPECT_TRUE(box.CollidesWithSegment3DSlowSlowSlow(m, p0, p1)) << n;
        }
        else if (distance > 0.01f)
        {
            EXPECT_FALSE(box.CollidesWithSegment3DSlowSlowSlow(m, p0, p1)) << n;
        }
    }
}

TEST(BoundingBox4Test, SegmentEdgeCases)
{
    const BoundingBox4 box(Vector(0, 0, 0, 1), Vector(1, 1, 1, 1));
    Vector hit;
    // Starting inside hits at the start.
    ASSERT_TRUE(box.CollidesWithSegment3D(Vector(0.5f, 0.5f, 0.5f, 1), Vector(3, 2, 1, 1), hit));
    EXPECT_TRUE(Near(hit, Vector(0.5f, 0.5f, 0.5f, 1), 0.0f));
    // Parallel to a face but outside its slab.
    EXPECT_FALSE(box.CollidesWithSegment3D(Vector(-1, 2, 0.5f, 1), Vector(3, 2, 0.5f, 1), hit));
    // Through a corner or along a face only.
    EXPECT_TRUE(box.CollidesWithSegment3D(Vector(2, 0, 0.5f, 1), Vector(0, 2, 0.5f, 1)));
    EXPECT_TRUE(box.CollidesWithSegment3D(Vector(1, 1, 1, 1), Vector(2, 2, 2, 1)));
    EXPECT_TRUE(box.CollidesWithSegment3D(Vector(-1, 1, 0.5f, 1), Vector(3, 1, 0.5f, 1), hit));

    // Segments shorter than the parallel threshold lying inside report a hit at p0.
    const Vector inside(0.25f, 0.5f, 0.75f, 1);
    for (const Vector& step : {Vector(0, 0, 0, 0), Vector(3e-6f, -2e-6f, 1e-6f, 0), Vector(9e-6f, 9e-6f, 9e-6f, 0)})
    {
        Vector end;
        end.Add(inside, step);
        ASSERT_TRUE(box.CollidesWithSegment3D(inside, end, hit)) << step.ToString();
        EXPECT_TRUE(Near(hit, inside, 0.0f));
        EXPECT_TRUE(box.CollidesWithSegment3D(inside, end));
        Vector outsideStart(2, 0.5f, 0.5f, 1), outsideEnd;
        outsideEnd.Add(outsideStart, step);
        EXPECT_FALSE(box.CollidesWithSegment3D(outsideStart, outsideEnd, hit));
    }
    // A short segment inside the slabs of a long one's parallel axes.
    EXPECT_TRUE(box.CollidesWithSegment3D(Vector(0.5f, 0.5f, 0.5f, 1), Vector(0.50005f, 0.500009f, 0.5f, 1), hit));
    // A segment that ends on a point-sized box, or passes through it, touches it whatever the
    // lengths of its direction's components.
    for (const Vector& d : {Vector(-3, -0.25f, 0.75f, 0), Vector(5, -1.5f, 0.375f, 0), Vector(-1.25f, 7, 3, 0)})
    {
        const Vector point(1, 2, 3, 1);
        const BoundingBox4 dot(point, point);
        Vector start, twice;
        start.Sub(point, d);
        twice.Add(point, d);
        ASSERT_TRUE(dot.CollidesWithSegment3D(start, point, hit)) << d.ToString();
        EXPECT_TRUE(Near(hit, point, 0.0f)) << d.ToString();
        EXPECT_TRUE(dot.CollidesWithSegment3D(start, twice, hit)) << d.ToString();
    }
}

TEST(BoundingBox4Test, LogLines)
{
    ConsoleCapture capture;
    BoundingBox4::UNITCUBE3D.Log(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE);
    OBBox4::ONE.Log(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE);
    const auto lines = capture.Messages();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0].text, "min: -1.000000, -1.000000, -1.000000, 1.000000");
    EXPECT_EQ(lines[2].text.substr(0, 7), "center:");
    EXPECT_EQ(lines[5].text.substr(0, 8), "zextent:");
}
