// What a ray pick or a line-of-sight query found, and the query flags both take. Plain value: the
// main thread fills it.
#pragma once

#include "core/math/Vector.h"

#include <cstdint>

class Entity;

// Query flags of ray picks and line-of-sight queries.
enum PickQueryFlag : uint32_t
{
    PICK_FIRST_HIT = 1,        // stop at the first accepted triangle of a part
    PICK_TWO_SIDED = 2,        // no winding test
    PICK_EXACT_LOS = 4,        // "Exact LOS collision type"
    PICK_PLAYER_COLLISION = 8, // "Player collision type"
    PICK_SKIP_DISABLED_LOS = 16, // skip entities with ENTITYFLAG_DISABLE_LOS
    PICK_LOCAL_BOX = 32,       // the box test uses the entity's local bounding box
};

// Filled only on a hit: the entity, the world hit point (w = 1) and a direction: the world face
// normal (unnormalised, w = 0) of a triangle hit, the world segment of a box hit.
struct LOSResult
{
    uint32_t hit = 0;
    Entity* entity = nullptr;
    Vector hitPoint;
    Vector direction;
};
