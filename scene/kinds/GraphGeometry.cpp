#include "scene/kinds/GraphGeometry.h"

void GraphGeometry::AddStrip(const Vector& a, float ua, const Vector& b, float ub)
{
    GraphStrip strip;
    strip.a.Set(a.x, a.y, a.z, ua);
    strip.b.Set(b.x, b.y, b.z, ub);
    m_strips.Add(strip);
}

void GraphGeometry::AddCurve(const Vector& p0, const Vector& p1, const Vector& p2, const Vector& p3, float t0,
                             float t1)
{
    GraphCurve curve;
    curve.p[0].Set(p0.x, p0.y, p0.z, t0);
    curve.p[1].Set(p1.x, p1.y, p1.z, 0.75f * t0 + 0.25f * t1);
    curve.p[2].Set(p2.x, p2.y, p2.z, 0.25f * t0 + 0.75f * t1);
    curve.p[3].Set(p3.x, p3.y, p3.z, t1);
    m_curves.Add(curve);
}

void GraphGeometry::AddArrow(const Vector& position, const Vector& direction)
{
    GraphArrow arrow;
    arrow.position = position;
    arrow.direction = direction;
    m_arrows.Add(arrow);
}
