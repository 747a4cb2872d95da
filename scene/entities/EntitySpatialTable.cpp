#include "scene/entities/EntitySpatialTable.h"

#include "scene/entities/EntityConstants.h"

static_assert(sizeof(EntitySpatialRecord) == 256, "a record is four cache lines");

Entity* EntitySpatialTable::sOwners[kTableSize] = {};

namespace
{
// Made at the first entity and never freed: entities may outlive every other static.
EntitySpatialRecord* Records()
{
    static EntitySpatialRecord* const records = new EntitySpatialRecord[kMaxEntities];
    return records;
}
} // namespace

EntitySpatialRecord* EntitySpatialTable::Acquire(uint32_t index, Entity* owner)
{
    static_assert(kTableSize == kMaxEntities, "one owner per entity index");
    if (index >= kMaxEntities)
        return new EntitySpatialRecord;
    sOwners[index] = owner;
    EntitySpatialRecord* const record = &Records()[index];
    *record = EntitySpatialRecord();
    return record;
}

void EntitySpatialTable::Release(EntitySpatialRecord* record, uint32_t index)
{
    if (index >= kMaxEntities)
        delete record;
    else
        sOwners[index] = nullptr;
}
