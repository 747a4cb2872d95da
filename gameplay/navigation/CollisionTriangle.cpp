#include "gameplay/navigation/CollisionTriangle.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr float kMinMotion2 = 1e-7f;

Vector Minus(const Vector& a, const Vector& b)
{
    return Vector(a.x - b.x, a.y - b.y, a.z - b.z, 0.0f);
}

float Dot(const Vector& a, const Vector& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vector Along(const Vector& p, const Vector& d, float t)
{
    return Vector(p.x + d.x * t, p.y + d.y * t, p.z + d.z * t, p.w);
}

bool InsideTriangle(const CollisionTriangle& tri, const Vector& p)
{
    const Vector e0 = Minus(tri.b, tri.a);
    const Vector e1 = Minus(tri.c, tri.a);
    const Vector q = Minus(p, tri.a);
    const float d00 = Dot(e0, e0);
    const float d01 = Dot(e0, e1);
    const float d11 = Dot(e1, e1);
    const float d20 = Dot(q, e0);
    const float d21 = Dot(q, e1);
    const float denominator = d00 * d11 - d01 * d01;
    if (denominator == 0.0f)
        return false;
    const float u = (d11 * d20 - d01 * d21) / denominator;
    const float v = (d00 * d21 - d01 * d20) / denominator;
    return u >= 0.0f && v >= 0.0f && u + v <= 1.0f;
}

// Smallest t >= 0 with |p + d t - corner| = r (d unit); false when the ray misses.
bool RayAgainstSphere(const Vector& p, const Vector& d, const Vector& corner, float r, float& t)
{
    const Vector m = Minus(p, corner);
    const float b = Dot(m, d);
    const float c = Dot(m, m) - r * r;
    if (c > 0.0f && b > 0.0f)
        return false;
    const float discriminant = b * b - c;
    if (discriminant < 0.0f)
        return false;
    t = std::max(-b - std::sqrt(discriminant), 0.0f);
    return true;
}

// Smallest t >= 0 at which the moving centre comes within r of the segment e0..e1 between its ends.
bool RayAgainstEdge(const Vector& p, const Vector& d, const Vector& e0, const Vector& e1, float r, float& t,
                    Vector& closest)
{
    const Vector edge = Minus(e1, e0);
    const float edgeLength2 = Dot(edge, edge);
    if (edgeLength2 == 0.0f)
        return false;
    const Vector m = Minus(p, e0);
    const float md = Dot(m, edge);
    const float dd = Dot(d, edge);
    // Components perpendicular to the edge.
    const float a = edgeLength2 - dd * dd;
    const float b = edgeLength2 * Dot(m, d) - md * dd;
    const float c = edgeLength2 * (Dot(m, m) - r * r) - md * md;
    if (std::fabs(a) < 1e-12f)
        return false;
    const float discriminant = b * b - a * c;
    if (discriminant < 0.0f)
        return false;
    const float hitT = (-b - std::sqrt(discriminant)) / a;
    if (hitT < 0.0f)
        return false;
    const float s = (md + hitT * dd) / edgeLength2;
    if (s < 0.0f || s > 1.0f)
        return false;
    t = hitT;
    closest = Along(e0, edge, s);
    return true;
}
} // namespace

CollisionTriangle CollisionTriangle::FromCorners(const Vector& a, const Vector& b, const Vector& c)
{
    CollisionTriangle tri;
    tri.a = a;
    tri.b = b;
    tri.c = c;
    const Vector e0 = Minus(b, a);
    const Vector e1 = Minus(c, a);
    Vector n(e0.y * e1.z - e0.z * e1.y, e0.z * e1.x - e0.x * e1.z, e0.x * e1.y - e0.y * e1.x, 0.0f);
    const float length = std::sqrt(Dot(n, n));
    if (length > 0.0f)
        n.Set(n.x / length, n.y / length, n.z / length, 0.0f);
    tri.plane.Set(n.x, n.y, n.z, -Dot(n, a));
    return tri;
}

float CollisionTriangle::HighestY() const
{
    return std::max(a.y, std::max(b.y, c.y));
}

namespace SphereSweep
{
SweepContact AgainstTriangle(const CollisionTriangle& tri, const Vector& centre, float radius, const Vector& direction,
                             float distance, bool facesOnly)
{
    SweepContact contact;
    if (distance * distance * Dot(direction, direction) < kMinMotion2)
        return contact;
    const Vector normal(tri.plane.x, tri.plane.y, tri.plane.z, 0.0f);
    const float approach = -Dot(normal, direction);
    if (!(approach > 0.0f))
        return contact;
    const float signedDistance = tri.SignedDistance(centre);
    if (signedDistance < -radius)
        return contact;

    const float faceT = std::max((signedDistance - radius) / approach, 0.0f);
    Vector touch = Along(centre, direction, faceT);
    touch.Set(touch.x - normal.x * radius, touch.y - normal.y * radius, touch.z - normal.z * radius, 1.0f);
    if (InsideTriangle(tri, touch))
    {
        contact.hit = true;
        contact.distance = faceT;
        contact.normal = normal;
        return contact;
    }
    if (facesOnly)
        return contact;

    float best = 0.0f;
    const Vector corners[3] = {tri.a, tri.b, tri.c};
    for (const Vector& corner : corners)
    {
        float t = 0.0f;
        if (RayAgainstSphere(centre, direction, corner, radius, t) && (!contact.hit || t < best))
        {
            best = t;
            contact.hit = true;
            Vector n = Minus(Along(centre, direction, t), corner);
            const float length = std::sqrt(Dot(n, n));
            contact.normal = length > 0.0f ? Vector(n.x / length, n.y / length, n.z / length, 0.0f) : normal;
        }
    }
    for (int i = 0; i < 3; ++i)
    {
        float t = 0.0f;
        Vector closest;
        if (RayAgainstEdge(centre, direction, corners[i], corners[(i + 1) % 3], radius, t, closest) &&
            (!contact.hit || t < best))
        {
            best = t;
            contact.hit = true;
            Vector n = Minus(Along(centre, direction, t), closest);
            const float length = std::sqrt(Dot(n, n));
            contact.normal = length > 0.0f ? Vector(n.x / length, n.y / length, n.z / length, 0.0f) : normal;
        }
    }
    contact.distance = best;
    return contact;
}

SweepContact AgainstAll(const std::vector<CollisionTriangle>& triangles, const Vector& centre, float radius,
                        const Vector& direction, float distance, bool facesOnly, const Vector& skippedNormal)
{
    SweepContact nearest;
    for (uint32_t i = 0; i < triangles.size(); ++i)
    {
        const Vector& plane = triangles[i].plane;
        if (plane.x == skippedNormal.x && plane.y == skippedNormal.y && plane.z == skippedNormal.z)
            continue;
        SweepContact contact = AgainstTriangle(triangles[i], centre, radius, direction, distance, facesOnly);
        if (contact.hit && (!nearest.hit || contact.distance < nearest.distance))
        {
            nearest = contact;
            nearest.triangle = i;
        }
    }
    return nearest;
}
} // namespace SphereSweep
