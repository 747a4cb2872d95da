// The paths of FlagEntity: lengths, evaluation by distance and the nearest path position.
#include "scene/kinds/FlagEntity.h"

#include "core/math/CatmullRom.h"

#include <cmath>

namespace
{
// Chords per segment when lengths and arc-length tables are measured.
constexpr int kChords = 255;
// Paths are laid out above the ground with world up as their roll reference.
const Vector kUp(0.0f, 1.0f, 0.0f, 0.0f);
// A direction for paths that do not go anywhere (coincident points): straight ahead.
const Vector kForward(0.0f, 0.0f, 1.0f, 0.0f);

struct Segment
{
    Vector p[4];
};

float SegmentLength(const Segment& s)
{
    float total = 0.0f;
    Vector previous = s.p[1];
    for (int k = 1; k <= kChords; ++k)
    {
        Vector point;
        CatmullRomPoint(point, float(k) / float(kChords), s.p[0], s.p[1], s.p[2], s.p[3]);
        total += point.Distance(previous);
        previous = point;
    }
    return total;
}

// Arc-length tables of recently walked segments, shared by all flags (main thread only). An entry
// is reused only while its segment's points are unchanged, so edited paths never read stale data.
class ArcLengthCache
{
public:
    static constexpr int32_t kEntries = 64;

    // The normalised table of `s`; `key` is the connection's cache key, updated when refilled.
    const float* Get(const Segment& s, int32_t& key)
    {
        if (key >= 0 && key < kEntries && Matches(m_entries[key], s))
            return m_entries[key].table;
        key = m_next;
        m_next = (m_next + 1) % kEntries;
        Entry& entry = m_entries[key];
        for (int i = 0; i < 4; ++i)
            entry.points[i] = s.p[i];
        entry.valid = true;
        Fill(entry.table, s);
        return entry.table;
    }

private:
    struct Entry
    {
        Vector points[4];
        float table[kChords + 1];
        bool valid = false;
    };

    static bool Matches(const Entry& entry, const Segment& s)
    {
        return entry.valid && entry.points[0].Equal(s.p[0]) && entry.points[1].Equal(s.p[1]) &&
               entry.points[2].Equal(s.p[2]) && entry.points[3].Equal(s.p[3]);
    }

    static void Fill(float* table, const Segment& s)
    {
        table[0] = 0.0f;
        Vector previous;
        CatmullRomPoint(previous, 0.0f, s.p[0], s.p[1], s.p[2], s.p[3]);
        for (int j = 1; j <= kChords; ++j)
        {
            Vector point;
            CatmullRomPoint(point, float(j) / float(kChords), s.p[0], s.p[1], s.p[2], s.p[3]);
            table[j] = table[j - 1] + point.Distance(previous);
            previous = point;
        }
        // A segment of coincident points has no length to share out: its table stays all zero.
        const float total = table[kChords];
        if (total > 0.0f)
            for (int j = 1; j <= kChords; ++j)
                table[j] /= total;
    }

    Entry m_entries[kEntries];
    int32_t m_next = 0;
};

ArcLengthCache gArcLengthCache;

// The curve parameter at the fraction f of the segment's arc length.
float ParameterAtFraction(const float* table, float f)
{
    for (int j = 1; j <= kChords; ++j)
        if (table[j] >= f)
        {
            const float span = table[j] - table[j - 1];
            const float within = span > 0.0f ? (f - table[j - 1]) / span : 0.0f;
            return (within + float(j - 1)) / float(kChords);
        }
    return 1.0f;
}

// Normalised over x, y and z (w = 0); the forward axis when there is no direction.
Vector DirectionOf(const Vector& v)
{
    Vector direction(v.x, v.y, v.z, 0.0f);
    direction.Normalize();
    return direction.Length2() > 0.0f ? direction : kForward;
}
} // namespace

Vector FlagEntity::GetPreviousPathPoint(const FlagEntity* previous) const
{
    const FlagEntityConnection* const incoming = previous != nullptr ? previous->FindConnection(this) : nullptr;
    if (incoming == nullptr)
        return GetPathPosition();
    const int32_t count = incoming->GetControlPointCount();
    return count > 0 ? incoming->GetControlPoint(count - 1) : previous->GetPathPosition();
}

Vector FlagEntity::GetNextPathPoint(const FlagEntityConnection& connection) const
{
    const FlagEntity* const neighbour = connection.GetDestination();
    if (neighbour == nullptr)
        return GetPathPosition();
    const FlagEntityConnection* onward = nullptr;
    const int32_t count = neighbour->GetConnectionCount();
    if (count == 1 && neighbour->GetConnection(0).GetDestination() != this)
        onward = &neighbour->GetConnection(0);
    else if (count == 2)
    {
        const bool firstBack = neighbour->GetConnection(0).GetDestination() == this;
        const bool secondBack = neighbour->GetConnection(1).GetDestination() == this;
        if (firstBack != secondBack)
            onward = &neighbour->GetConnection(firstBack ? 1 : 0);
    }
    if (onward == nullptr)
        return neighbour->GetPathPosition();
    if (onward->GetControlPointCount() > 0)
        return onward->GetControlPoint(0);
    // A dead onward destination leaves nothing to lead towards.
    const FlagEntity* const beyond = onward->GetDestination();
    return beyond != nullptr ? beyond->GetPathPosition() : neighbour->GetPathPosition();
}

void FlagEntity::ComputeConnectionLength(FlagEntityConnection& connection) const
{
    const FlagEntity* const neighbour = connection.GetDestination();
    if (neighbour == nullptr)
        return;
    const Vector start = GetPathPosition();
    const Vector end = neighbour->GetPathPosition();
    const int32_t n = connection.GetControlPointCount();
    if (n == 0)
    {
        connection.m_length = start.Distance(end);
        return;
    }
    auto point = [&](int32_t i) { return i < 0 ? start : (i >= n ? end : connection.GetControlPoint(i)); };
    float total = 0.0f;
    for (int32_t i = -1; i < n; ++i)
    {
        const Segment segment{{i <= 0 ? start : point(i - 1), point(i), point(i + 1), point(i + 2)}};
        total += SegmentLength(segment);
        if (i < n - 1)
            connection.m_controlPoints[i + 1].m_distance = total;
    }
    connection.m_length = total;
}

void FlagEntity::EvaluatePath(const FlagEntityConnection& connection, float distance, bool wrap,
                              const FlagEntity* previous, Vector& position, Vector& direction) const
{
    const Vector start = GetPathPosition();
    const FlagEntity* const neighbour = connection.GetDestination();
    const Vector end = neighbour != nullptr ? neighbour->GetPathPosition() : start;
    const float length = connection.m_length;
    float d = distance;
    if (!(length > 0.0f))
        d = 0.0f; // a path of no length has only its start (and wrapping would divide by zero)
    else if (wrap)
        d = std::fmod(std::fmax(d, 0.0f), length);
    else
        d = std::fmin(std::fmax(d, 0.0f), length);

    const int32_t n = connection.GetControlPointCount();
    if (n == 0)
    {
        const float t = length > 0.0f ? d / length : 0.0f;
        position.Set(start.x * (1.0f - t) + end.x * t, start.y * (1.0f - t) + end.y * t,
                     start.z * (1.0f - t) + end.z * t, 1.0f);
        Vector span;
        span.Sub(end, start);
        direction = DirectionOf(span);
        return;
    }

    int32_t k = 0;
    while (k < n && connection.GetControlPointDistance(k) <= d)
        ++k;
    const float d0 = k == 0 ? 0.0f : connection.GetControlPointDistance(k - 1);
    const float d1 = k == n ? length : connection.GetControlPointDistance(k);
    // Coincident control points make a segment of no length: its start stands for all of it.
    float f = d1 > d0 ? (d - d0) / (d1 - d0) : 0.0f;
    f = std::fmin(std::fmax(f, 0.0f), 1.0f);

    Segment s;
    s.p[0] = k >= 2 ? connection.GetControlPoint(k - 2) : (k == 1 ? start : GetPreviousPathPoint(previous));
    s.p[1] = k >= 1 ? connection.GetControlPoint(k - 1) : start;
    s.p[2] = k < n ? connection.GetControlPoint(k) : end;
    s.p[3] = k + 1 < n ? connection.GetControlPoint(k + 1) : (k == n - 1 ? end : GetNextPathPoint(connection));

    const float u = ParameterAtFraction(gArcLengthCache.Get(s, connection.m_arcTableKey), f);
    CatmullRomPoint(position, u, s.p[0], s.p[1], s.p[2], s.p[3]);
    position.w = 1.0f;
    Vector tangent;
    CatmullRomTangent(tangent, u, s.p[0], s.p[1], s.p[2], s.p[3]);
    direction = DirectionOf(tangent);
}

void FlagEntity::PlaceOnPath(const Vector& position, const Vector& direction, Matrix& out) const
{
    Vector at;
    at.Add(position, direction);
    // A path straight up or down has no roll reference in world up: its x axis is taken as it.
    const bool vertical = std::fabs(direction.y) > 0.9999f;
    out.LoadInverseLookAtLH(position, at, vertical ? Vector(1.0f, 0.0f, 0.0f, 0.0f) : kUp);
    // The frame is in the parent's space: it applies first, then the parent's matrix.
    if (GetParent() != nullptr)
        out.Mul(GetParent()->GetGlobalLocationMatrix(), out);
}

void FlagEntity::GetGlobalPositionOnPath(const FlagEntity* neighbour, float distance, Matrix& out, bool wrap,
                                         const FlagEntity* previous) const
{
    GetGlobalPositionOnPath(FindConnectionIndex(neighbour), distance, out, wrap, previous);
}

void FlagEntity::GetGlobalPositionOnPath(int32_t index, float distance, Matrix& out, bool wrap,
                                         const FlagEntity* previous) const
{
    if (index < 0 || index >= m_connections.Count() || m_connections[index].GetDestination() == nullptr)
    {
        out = GetGlobalLocationMatrix();
        return;
    }
    Vector position;
    Vector direction;
    EvaluatePath(m_connections[index], distance, wrap, previous, position, direction);
    PlaceOnPath(position, direction, out);
}

float FlagEntity::NearestPathPosition(const FlagEntityConnection& connection, const Vector& point,
                                      const FlagEntity* previous) const
{
    const int32_t n = connection.GetControlPointCount();
    if (n == 0 || connection.GetDestination() == nullptr)
        return 0.0f;
    // The chain: previous, S, C0 .. Cn-1, T, next; segment j runs from chain[j + 1] to chain[j + 2].
    DynarraySafe<Vector> chain;
    chain.Add(GetPreviousPathPoint(previous));
    chain.Add(GetPathPosition());
    for (int32_t i = 0; i < n; ++i)
        chain.Add(connection.GetControlPoint(i));
    chain.Add(connection.GetDestination()->GetPathPosition());
    chain.Add(GetNextPathPoint(connection));
    const Vector target(point.x, point.y, point.z, 1.0f);

    float bestDistance2 = 0.0f;
    float result = 0.0f;
    for (int32_t j = 0; j + 3 < chain.Count(); ++j)
    {
        Vector nearest;
        float t = 0.0f;
        float along = 0.0f;
        CatmullRomNearestPoint(nearest, t, along, target, chain[j], chain[j + 1], chain[j + 2], chain[j + 3]);
        const float distance2 = nearest.Distance2(target);
        if (j == 0 || distance2 < bestDistance2)
        {
            bestDistance2 = distance2;
            result = (j == 0 ? 0.0f : connection.GetControlPointDistance(j - 1)) + along;
        }
    }
    return result;
}

float FlagEntity::GetPathPositionNearestToGlobalPoint(const FlagEntity* neighbour, const Vector& point,
                                                      const FlagEntity* previous) const
{
    return GetPathPositionNearestToGlobalPoint(FindConnectionIndex(neighbour), point, previous);
}

float FlagEntity::GetPathPositionNearestToGlobalPoint(int32_t index, const Vector& point,
                                                      const FlagEntity* previous) const
{
    if (index < 0 || index >= m_connections.Count())
        return 0.0f;
    return NearestPathPosition(m_connections[index], point, previous);
}
