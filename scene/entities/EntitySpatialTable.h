// Where each entity's transform and boxes live: one 256-byte record per entity index, in one dense
// table owned beside the index allocator. Moving many entities then streams through adjacent
// records instead of reaching into entity objects scattered over the heap, and the entity object
// keeps only a pointer to its record in its first line. Main thread only.
#pragma once

#include "core/math/BoundingBox4.h"
#include "core/math/Matrix.h"

#include <cstdint>

class Entity;
class EntityRenderingContext;
class EntitySoundEmitter;
class TriggerOccupancyTracker;

// Cell range of one grid list: x0, z0 (inclusive), x1, z1 (exclusive); -1 everywhere when none.
struct EntityCellRange
{
    int32_t x0 = -1;
    int32_t z0 = -1;
    int32_t x1 = -1;
    int32_t z1 = -1;
    bool IsNone() const { return x0 < 0; }
    bool operator==(const EntityCellRange& o) const { return x0 == o.x0 && z0 == o.z0 && x1 == o.x1 && z1 == o.z1; }
};

// What a move reads and writes, in the order it does: matrices, then boxes, then the grid ranges
// and the move's listeners.
struct alignas(64) EntitySpatialRecord
{
    Matrix local = Matrix::ONE;
    Matrix world = Matrix::ONE;
    BoundingBox4 localBox = BoundingBox4::INVALID;
    BoundingBox4 worldBox = BoundingBox4::INVALID;
    EntityCellRange cellRanges[2];
    // Who hears of a move, asked on every one and mostly none: kept here rather than in the
    // entity object, whose first line then holds all else a move reads of it.
    EntityRenderingContext* renderingContext = nullptr;
    TriggerOccupancyTracker* occupancyTracker = nullptr;
    EntitySoundEmitter* soundEmitter = nullptr;
};

class EntitySpatialTable
{
public:
    // The record of an entity index, reset to the identity, invalid boxes and no cells. An entity
    // without an index (every index taken) gets a record of its own, freed by Release.
    static EntitySpatialRecord* Acquire(uint32_t index, Entity* owner);
    static void Release(EntitySpatialRecord* record, uint32_t index);

    // Asks for the first lines of the entity a few indices after `index`. Bulk moves mostly walk
    // entities in index order (lists built as the scene was made), and an entity's own lines are
    // the one part of a move the processor cannot foresee: the records stream in order by
    // themselves, entity objects lie wherever the heap put them.
    static void PrefetchAhead(uint32_t index)
    {
        const uint32_t ahead = index + kPrefetchDistance;
        if (ahead < kTableSize)
            if (const Entity* const entity = sOwners[ahead])
                __builtin_prefetch(entity); // What a move reads of the object: its first line.
    }

private:
    static constexpr uint32_t kPrefetchDistance = 8;
    static constexpr uint32_t kTableSize = 32768;
    // The entity holding each index, null for a free one.
    static Entity* sOwners[kTableSize];
};
