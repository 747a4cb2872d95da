// The picking half of the line-of-sight query: candidates that a grid walk listed with the
// fraction of the segment at which it enters each are sorted by that fraction and asked for a ray
// pick in order, until the next one enters beyond the nearest hit. Main thread only.
#pragma once

#include "core/math/Vector.h"
#include "scene/entities/Entity.h"
#include "scene/entities/LOSResult.h"

#include <algorithm>
#include <cfloat>
#include <cstdint>

namespace LineOfSightPick
{
// `Candidate` has the fields entity and fraction. Returns true when nothing was hit; on a hit the
// result holds the nearest pick (the first accepted one with PICK_FIRST_HIT). Entities `a` and `b`
// are never asked.
template <typename Candidate>
bool PickNearest(Candidate* candidates, int32_t count, const Vector& start, const Vector& end, uint32_t flags,
                 uint32_t mask, const Entity* a, const Entity* b, LOSResult& result)
{
    std::sort(candidates, candidates + count,
              [](const Candidate& x, const Candidate& y) { return x.fraction < y.fraction; });
    Vector segment;
    segment.Sub(end, start);
    segment.w = 0.0f;
    const float length = segment.Length();
    // A zero-length segment gives every hit fraction 0 rather than a division by zero.
    const float inverseLength2 = length > 0.0f ? 1.0f / (length * length) : 0.0f;
    float best = FLT_MAX;
    bool noHit = true;
    for (int32_t i = 0; i < count && candidates[i].fraction < best; ++i)
    {
        Entity* const entity = candidates[i].entity;
        if (entity == a || entity == b)
            continue;
        LOSResult pick;
        if (entity->RayPick(start, end, flags, mask, pick))
            continue;
        Vector along;
        along.Sub(pick.hitPoint, start);
        along.w = 0.0f;
        const float fraction = along.Dot3(segment) * inverseLength2;
        if (!(fraction < best))
            continue;
        best = fraction;
        result.hit = pick.hit;
        result.entity = pick.entity;
        result.hitPoint = pick.hitPoint;
        result.direction = pick.direction;
        noHit = false;
        if ((flags & PICK_FIRST_HIT) != 0)
            break;
    }
    return noHit;
}
} // namespace LineOfSightPick
