// Where each entity's transform and boxes live: one 192-byte record per entity index in one dense
// table, and each entity's world box in a second dense array by index, both owned beside the index
// allocator. Moving many entities then streams through adjacent records instead of reaching into
// entity objects scattered over the heap, and the entity object keeps only a pointer to its record
// in its first line. Main thread only.
#pragma once

#include "core/math/BoundingBox4.h"
#include "core/math/Matrix.h"
#include "scene/entities/EntityConstants.h"

#include <cstdint>

class EntityRenderingContext;

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

// What a move reads and writes, in the order it does: the matrices, then one line with all the
// rest (the local box, where the entity stands in the grid, and who hears of the move). The world
// box the move writes lies in the dense box array instead, which the frame's culling reads.
struct alignas(64) EntitySpatialRecord
{
    // Bits of `moveListeners`: the entity object holds a trigger tracker or a sound emitter.
    static constexpr uint8_t kOccupancyListener = 1;
    static constexpr uint8_t kSoundListener = 2;
    // Bits of `worldAxes`.
    static constexpr uint8_t kAxesFromParent = 1;
    static constexpr uint8_t kAxesMirrored = 2;

    Matrix local = Matrix::ONE;
    Matrix world = Matrix::ONE;
    BoundingBox4 localBox = BoundingBox4::INVALID;
    // Both grid lists take an entity's world box to the same cells, so one range serves both:
    // the entity is entered there in each list whose bit (1 << list) `cellLists` holds. The range
    // is none exactly when no bit is set.
    EntityCellRange cells;
    uint8_t cellLists = 0;
    // Mostly none: a bit for each listener kept in the entity object, so a move asks this line
    // rather than the object's cold ones.
    uint8_t moveListeners = 0;
    // Whether the local box places the entity in the world (PathGrid::IsValidBoundedBox), settled
    // when the box is set rather than at every move.
    uint8_t localBoxPlaces = 0;
    // What the world matrix's first three rows are, taken whenever they are written. Whether they
    // are the local ones times the parent's world as the full product made them, with the local
    // rows, the parent and its world unchanged since (kAxesFromParent): a move of the local
    // position alone then makes the last row only; every other write of the world, and a change
    // the entity does not follow at once, clears it. Whether they mirror (kAxesMirrored): a move
    // that keeps them reads the sign here rather than taking their determinant again.
    uint8_t worldAxes = 0;
    // The entity's template type, which the grid's entries carry: here, a move across cells finds
    // it in the line it has read already.
    uint32_t templateTypeId = ENTITY_UNKNOWN;
    EntityRenderingContext* renderingContext = nullptr;
};

class EntitySpatialTable
{
public:
    // The record of an entity index, reset to the identity, invalid boxes and no cells. An entity
    // without an index (every index taken) gets a record of its own, freed by Release.
    static EntitySpatialRecord* Acquire(uint32_t index);
    static void Release(EntitySpatialRecord* record, uint32_t index);

    // The world box of the entity holding `index` and `record` (as Acquire gave them): its local
    // box placed by its world matrix, kept by the entity whenever either changes.
    static BoundingBox4& WorldBox(uint32_t index, EntitySpatialRecord* record)
    {
        return index < kTableSize ? sWorldBoxes[index] : OwnWorldBox(record);
    }
    static const BoundingBox4& WorldBox(uint32_t index, const EntitySpatialRecord* record)
    {
        return WorldBox(index, const_cast<EntitySpatialRecord*>(record));
    }
    // The world box by index alone (below kMaxEntities): culling the render candidates reads this
    // dense array and reaches into an entity only when its box meets the view.
    static const BoundingBox4& WorldBoxOfIndex(uint32_t index) { return sWorldBoxes[index]; }

private:
    static constexpr uint32_t kTableSize = 32768;
    static BoundingBox4& OwnWorldBox(EntitySpatialRecord* record);

    // Constant-initialised, so that it is there for entities made before any dynamic initialiser.
    alignas(64) static BoundingBox4 sWorldBoxes[kTableSize];
};
