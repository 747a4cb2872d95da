#include "scene/entities/EntitySpatialTable.h"

#include "core/memory/AlignedMemory.h"
#include "platform/os/Heap.h"
#include "scene/entities/EntityConstants.h"

#include <memory>

static_assert(sizeof(EntitySpatialRecord) == 192, "a record is three cache lines");

namespace
{
constexpr size_t kLargePage = size_t(2) << 20;

// The record of an entity without an index carries its world box along.
struct OwnSpatialRecord
{
    EntitySpatialRecord record;
    BoundingBox4 worldBox = BoundingBox4::INVALID;
};

// Made at the first entity and never freed: entities may outlive every other static. On large
// pages: a move of many entities reads one record after another, a few million bytes in all, whose
// small pages the address translation cache would miss every few records.
EntitySpatialRecord* Records()
{
    static EntitySpatialRecord* const records = [] {
        const size_t bytes = (sizeof(EntitySpatialRecord) * kMaxEntities + kLargePage - 1) / kLargePage * kLargePage;
        auto* const block = static_cast<EntitySpatialRecord*>(memory::AllocateAligned(bytes, kLargePage));
        os::AdviseLargePages(block, bytes);
        std::uninitialized_default_construct_n(block, kMaxEntities);
        return block;
    }();
    return records;
}
} // namespace

alignas(64) BoundingBox4 EntitySpatialTable::sWorldBoxes[kTableSize];

EntitySpatialRecord* EntitySpatialTable::Acquire(uint32_t index)
{
    static_assert(kTableSize == kMaxEntities, "one record per entity index");
    if (index >= kMaxEntities)
        return &(new OwnSpatialRecord)->record;
    EntitySpatialRecord* const record = &Records()[index];
    *record = EntitySpatialRecord();
    sWorldBoxes[index] = BoundingBox4::INVALID;
    return record;
}

void EntitySpatialTable::Release(EntitySpatialRecord* record, uint32_t index)
{
    // A table record stays for the index's next entity, which Acquire resets.
    if (index >= kMaxEntities)
        delete reinterpret_cast<OwnSpatialRecord*>(record);
}

BoundingBox4& EntitySpatialTable::OwnWorldBox(EntitySpatialRecord* record)
{
    return reinterpret_cast<OwnSpatialRecord*>(record)->worldBox;
}
