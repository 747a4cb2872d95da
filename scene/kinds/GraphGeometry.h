// GraphGeometry: the pieces a graph entity's connections are drawn from, built on the main thread
// and then owned by the graph's rendering context (read on the render thread). Texture coordinates
// along the paths (path distances) ride in the points' fourth floats.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/math/Vector.h"

// A straight piece from a to b; a.w and b.w are their texture coordinates.
struct GraphStrip
{
    Vector a;
    Vector b;
};

// One Catmull-Rom segment: it runs from p[1] to p[2]; the fourth floats hold t0,
// 0.75 t0 + 0.25 t1, 0.25 t0 + 0.75 t1 and t1.
struct GraphCurve
{
    Vector p[4];
};

// An arrow at `position` pointing along `direction` (unit length, or zero for a path of no length).
struct GraphArrow
{
    Vector position;
    Vector direction;
};

// Strips, curve segments and arrows of one graph.
class GraphGeometry
{
public:
    void AddStrip(const Vector& a, float ua, const Vector& b, float ub);
    void AddCurve(const Vector& p0, const Vector& p1, const Vector& p2, const Vector& p3, float t0, float t1);
    void AddArrow(const Vector& position, const Vector& direction);
    bool IsEmpty() const { return m_strips.IsEmpty() && m_curves.IsEmpty() && m_arrows.IsEmpty(); }

    Dynarray<GraphStrip> m_strips;
    Dynarray<GraphCurve> m_curves;
    Dynarray<GraphArrow> m_arrows;
};
