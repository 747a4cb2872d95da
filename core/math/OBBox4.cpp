#include "core/math/OBBox4.h"

#include "core/math/BoundingBox4.h"
#include "core/math/Matrix.h"

#include <cmath>

const OBBox4 OBBox4::ONE = {Vector(1, 1, 1, 0), {Vector::UNITX, Vector::UNITY, Vector::UNITZ}};

void OBBox4::Transform3D(const BoundingBox4& box, const Matrix& m)
{
    Vector c;
    box.GetCenter(c);
    Vector h;
    h.Sub(box.max, c);
    c.Transform3D(m);
    center = c;
    extents[0].Mul(m.rows[0], h.x);
    extents[1].Mul(m.rows[1], h.y);
    extents[2].Mul(m.rows[2], h.z);
}

bool OBBox4::Inside3D(const Vector& p) const
{
    Vector d;
    d.Sub(p, center);
    for (const Vector& e : extents)
        if (!(std::fabs(e.Dot3(d)) <= e.Dot3(e)))
            return false;
    return true;
}

void OBBox4::GetClosestPoint(const Vector& p, Vector& q) const
{
    Vector d;
    d.Sub(p, center);
    Vector result = center;
    for (const Vector& e : extents)
    {
        const float length2 = e.Dot3(e);
        if (!(length2 > 0.0f))
            continue;
        const float t = std::fmax(-1.0f, std::fmin(1.0f, e.Dot3(d) / length2));
        result.MulAdd(e, t);
    }
    q = result;
}

void OBBox4::Log(uint32_t kind, uint8_t channel) const
{
    center.Log(kind, channel, "center:");
    extents[0].Log(kind, channel, "xextent:");
    extents[1].Log(kind, channel, "yextent:");
    extents[2].Log(kind, channel, "zextent:");
}
