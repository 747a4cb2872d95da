#include "core/math/BoundingBox4.h"

#include "core/math/Matrix.h"
#include "core/math/OBBox4.h"
#include "core/math/SimdTransforms.h"

#include <cfloat>
#include <cmath>

namespace
{
constexpr float kBig = 3.4028235e38f;

// Row i of m divided by its xyz length (zero for a zero row); the length is returned.
float UnitAxis(const Matrix& m, int i, Vector& axis)
{
    axis = m.rows[i];
    const float length = axis.Length();
    if (length > 0.0f)
        axis.Mul(1.0f / length);
    else
        axis = Vector::ZERO4;
    return length;
}

// Value of the plane at the box corner farthest along its normal (w included).
inline __m128 PositiveVertex(__m128 plane, __m128 min, __m128 max)
{
    const __m128 zero = _mm_setzero_ps();
    return _mm_add_ps(_mm_mul_ps(_mm_max_ps(plane, zero), max), _mm_mul_ps(_mm_min_ps(plane, zero), min));
}

inline float LaneSum(__m128 v)
{
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, v);
    return (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
}

bool FrustumTest(const Vector* planes, const BoundingBox4& box)
{
    const __m128 min = box.min.Simd();
    const __m128 max = box.max.Simd();
    for (int i = 0; i < 6; i += 2)
    {
        const float first = LaneSum(PositiveVertex(planes[i].Simd(), min, max));
        const float second = LaneSum(PositiveVertex(planes[i + 1].Simd(), min, max));
        if (first < 0.0f || second < 0.0f)
            return false;
    }
    return true;
}
} // namespace

const BoundingBox4 BoundingBox4::ZERO4(Vector(0, 0, 0, 0), Vector(0, 0, 0, 0));
const BoundingBox4 BoundingBox4::INVALID(Vector(kBig, kBig, kBig, kBig), Vector(-kBig, -kBig, -kBig, -kBig));
const BoundingBox4 BoundingBox4::UNITCUBE3D(Vector(-1, -1, -1, 1), Vector(1, 1, 1, 1));
const BoundingBox4 BoundingBox4::UNBOUNDED(Vector(-kBig, -kBig, -kBig, -kBig), Vector(kBig, kBig, kBig, kBig));

void BoundingBox4::GetCenter(Vector& c) const
{
    c.SetSimd(_mm_mul_ps(_mm_add_ps(min.Simd(), max.Simd()), _mm_set1_ps(0.5f)));
}

void BoundingBox4::GetVertex(Vector& v, uint32_t i) const
{
    v.Set((i & 1) ? max.x : min.x, (i & 2) ? max.y : min.y, (i & 4) ? max.z : min.z, min.w);
}

void BoundingBox4::Expand(const BoundingBox4& box)
{
    min.Min(box.min);
    max.Max(box.max);
}

void BoundingBox4::Expand(const Vector& point)
{
    min.Min(point);
    max.Max(point);
}

void BoundingBox4::Expand3D(const BoundingBox4& box, const Matrix& m)
{
    for (uint32_t i = 0; i < 8; ++i)
    {
        Vector corner;
        box.GetVertex(corner, i);
        corner.w = 1.0f;
        corner.Transform(m);
        Expand(corner);
    }
}

void BoundingBox4::Transform3D(const BoundingBox4& box, const Matrix& m)
{
    __m128 low, high;
    PlaceBoxLanes(box, m, low, high);
    min.SetSimd(low);
    max.SetSimd(high);
}

void BoundingBox4::Transform3D(const OBBox4& obb)
{
    const __m128 extent = _mm_add_ps(_mm_add_ps(AbsLanes(obb.extents[0].Simd()), AbsLanes(obb.extents[1].Simd())),
                                     AbsLanes(obb.extents[2].Simd()));
    min.SetSimd(_mm_sub_ps(obb.center.Simd(), extent));
    max.SetSimd(_mm_add_ps(obb.center.Simd(), extent));
}

bool BoundingBox4::Inside3D(const Vector& p) const
{
    const int inside = _mm_movemask_ps(_mm_and_ps(_mm_cmple_ps(min.Simd(), p.Simd()), _mm_cmple_ps(p.Simd(), max.Simd())));
    return (inside & 7) == 7;
}

bool BoundingBox4::Inside4D(const Vector& p) const
{
    const int inside = _mm_movemask_ps(_mm_and_ps(_mm_cmple_ps(min.Simd(), p.Simd()), _mm_cmple_ps(p.Simd(), max.Simd())));
    return inside == 0xF;
}

bool BoundingBox4::Overlaps3D(const BoundingBox4& box) const
{
    const int apart = _mm_movemask_ps(_mm_or_ps(_mm_cmplt_ps(max.Simd(), box.min.Simd()), _mm_cmplt_ps(box.max.Simd(), min.Simd())));
    return (apart & 7) == 0;
}

void BoundingBox4::GetNearestPoint(const Vector& p, const Matrix& m, Vector& q) const
{
    Vector result = m.rows[3];
    Vector d;
    d.Sub(p, m.rows[3]);
    const float lows[3] = {min.x, min.y, min.z};
    const float highs[3] = {max.x, max.y, max.z};
    for (int i = 0; i < 3; ++i)
    {
        const Vector& axis = m.rows[i];
        const float axisLength2 = axis.Dot3(axis);
        if (!(axisLength2 > 0.0f))
            continue;
        float t = axis.Dot3(d) / axisLength2;
        t = std::fmin(t, highs[i]);
        t = std::fmax(t, lows[i]);
        result.MulAdd(axis, t);
    }
    q = result;
}

bool BoundingBox4::IntersectsFrustum(const Vector* planes6) const
{
    return FrustumTest(planes6, *this);
}

bool BoundingBox4::IntersectsFrustumTransformed(const Vector* planes6, const Matrix& m) const
{
    Vector local[6];
    for (int i = 0; i < 6; ++i)
        local[i].Set(m.rows[0].Dot4(planes6[i]), m.rows[1].Dot4(planes6[i]), m.rows[2].Dot4(planes6[i]),
                     m.rows[3].Dot4(planes6[i]));
    return FrustumTest(local, *this);
}

bool BoundingBox4::CollidesWithOtherBox3D(const Matrix& m, const BoundingBox4& other, const Matrix& otherM) const
{
    Vector centerA, centerB;
    GetCenter(centerA);
    other.GetCenter(centerB);
    centerA.Transform(m);
    centerB.Transform(otherM);

    Vector axesA[3], axesB[3];
    float eA[3] = {(max.x - min.x) * 0.5f, (max.y - min.y) * 0.5f, (max.z - min.z) * 0.5f};
    float eB[3] = {(other.max.x - other.min.x) * 0.5f, (other.max.y - other.min.y) * 0.5f,
                   (other.max.z - other.min.z) * 0.5f};
    // A zero row flattens the box along that axis: the axis is zero and so is its half size.
    for (int i = 0; i < 3; ++i)
    {
        eA[i] *= UnitAxis(m, i, axesA[i]);
        eB[i] *= UnitAxis(otherM, i, axesB[i]);
    }

    Vector t;
    t.Sub(centerA, centerB);
    float r[3][3], absR[3][3];
    bool parallel = false;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
        {
            r[i][j] = axesA[i].Dot3(axesB[j]);
            absR[i][j] = std::fabs(r[i][j]);
            parallel = parallel || absR[i][j] > 0.9999f;
        }

    float tA[3];
    for (int i = 0; i < 3; ++i)
    {
        tA[i] = t.Dot3(axesA[i]);
        if (std::fabs(tA[i]) > eA[i] + eB[0] * absR[i][0] + eB[1] * absR[i][1] + eB[2] * absR[i][2])
            return false;
    }
    for (int j = 0; j < 3; ++j)
        if (std::fabs(t.Dot3(axesB[j])) > eA[0] * absR[0][j] + eA[1] * absR[1][j] + eA[2] * absR[2][j] + eB[j])
            return false;
    if (parallel)
        return true;

    for (int i = 0; i < 3; ++i)
    {
        const int i1 = (i + 1) % 3, i2 = (i + 2) % 3;
        for (int j = 0; j < 3; ++j)
        {
            const int j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            const float distance = std::fabs(tA[i2] * r[i1][j] - tA[i1] * r[i2][j]);
            const float radius =
                eA[i1] * absR[i2][j] + eA[i2] * absR[i1][j] + eB[j1] * absR[i][j2] + eB[j2] * absR[i][j1];
            if (distance > radius)
                return false;
        }
    }
    return true;
}

bool BoundingBox4::CollidesWithTransformedBox3D(const Matrix& m, const BoundingBox4& other) const
{
    return CollidesWithOtherBox3D(m, other, Matrix::ONE);
}

bool BoundingBox4::CollidesWithSegment3D(const Vector& p0, const Vector& p1) const
{
    const __m128 half = _mm_set1_ps(0.5f);
    const __m128 c = _mm_mul_ps(_mm_add_ps(min.Simd(), max.Simd()), half);
    const __m128 e = _mm_mul_ps(_mm_sub_ps(max.Simd(), min.Simd()), half);
    const __m128 d = _mm_mul_ps(_mm_sub_ps(p1.Simd(), p0.Simd()), half);
    Vector mid;
    mid.SetSimd(_mm_sub_ps(_mm_add_ps(p0.Simd(), d), c));
    const __m128 g = AbsLanes(d);
    if (_mm_movemask_ps(_mm_cmpgt_ps(AbsLanes(mid.Simd()), _mm_add_ps(e, g))) & 7)
        return false;

    Vector dv, ev, gv;
    dv.SetSimd(d);
    ev.SetSimd(e);
    gv.SetSimd(g);
    Vector w;
    w.Cross(dv, mid);
    const Vector limit(gv.y * ev.z + gv.z * ev.y, gv.z * ev.x + gv.x * ev.z, gv.x * ev.y + gv.y * ev.x, 0.0f);
    return (_mm_movemask_ps(_mm_cmpgt_ps(AbsLanes(w.Simd()), limit.Simd())) & 7) == 0;
}

bool BoundingBox4::CollidesWithSegment3D(const Vector& p0, const Vector& p1, Vector& hit) const
{
    Vector c;
    GetCenter(c);
    Vector e;
    e.Sub(max, c);
    Vector q;
    q.Sub(c, p0);
    Vector d;
    d.Sub(p1, p0);

    const float qs[3] = {q.x, q.y, q.z};
    const float ds[3] = {d.x, d.y, d.z};
    const float es[3] = {e.x, e.y, e.z};
    float tmin = -kBig;
    float tmax = kBig;
    bool parallel[3] = {false, false, false};
    for (int i = 0; i < 3; ++i)
    {
        if (std::fabs(ds[i]) < 0.00001f)
        {
            parallel[i] = true;
            continue;
        }
        // A true division, not a reciprocal estimate: the estimate differs between processors and
        // can put a segment that ends on a face just past its end, missing the box.
        const float s = ds[i] >= 0.0f ? 1.0f : -1.0f;
        const float entry = (qs[i] - s * es[i]) / ds[i];
        const float exit = (qs[i] + s * es[i]) / ds[i];
        tmin = std::fmax(tmin, entry);
        tmax = std::fmin(tmax, exit);
        if (tmin > tmax)
            return false;
    }
    if (tmin > 1.0f || tmax < 0.0f)
        return false;
    // A near-parallel axis is checked at the ends of the part of the segment that the other axes
    // allow, never at the unbounded limits: there even a tiny direction component would reach
    // past the box, and a short segment lying inside would be missed.
    const float first = std::fmax(tmin, 0.0f);
    const float last = std::fmin(tmax, 1.0f);
    for (int i = 0; i < 3; ++i)
        if (parallel[i] && std::fmax(std::fabs(qs[i] - first * ds[i]), std::fabs(qs[i] - last * ds[i])) > es[i])
            return false;
    hit.SetSimd(_mm_add_ps(_mm_mul_ps(p0.Simd(), _mm_set1_ps(1.0f - first)), _mm_mul_ps(p1.Simd(), _mm_set1_ps(first))));
    return true;
}

bool BoundingBox4::CollidesWithSegment3DSlowSlowSlow(const Matrix& m, const Vector& p0, const Vector& p1) const
{
    Vector direction;
    direction.Sub(p1, p0);
    const float length = direction.Length();
    const float h = length * 0.5f;
    // A zero-length segment has no direction; it is tested as a point.
    if (length > 0.0f)
        direction.Mul(1.0f / length);
    else
        direction = Vector::ZERO4;

    Vector center;
    GetCenter(center);
    center.Transform3D(m);
    float e[3] = {(max.x - min.x) * 0.5f, (max.y - min.y) * 0.5f, (max.z - min.z) * 0.5f};
    Vector axes[3];
    for (int i = 0; i < 3; ++i)
        e[i] *= UnitAxis(m, i, axes[i]);

    Vector t;
    t.Add(p0, p1);
    t.Mul(0.5f);
    t.Sub(center);

    float da[3];
    for (int i = 0; i < 3; ++i)
    {
        da[i] = std::fabs(direction.Dot3(axes[i]));
        if (std::fabs(t.Dot3(axes[i])) > e[i] + h * da[i])
            return false;
    }
    Vector w;
    w.Cross(direction, t);
    for (int i = 0; i < 3; ++i)
    {
        const int j = (i + 1) % 3, k = (i + 2) % 3;
        if (std::fabs(w.Dot3(axes[i])) > e[j] * da[k] + e[k] * da[j])
            return false;
    }
    return true;
}

void BoundingBox4::Log(uint32_t kind, uint8_t channel) const
{
    min.Log(kind, channel, "min:");
    max.Log(kind, channel, "max:");
}
