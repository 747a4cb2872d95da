// The render thread's ring of sorted render-task records gathered between begin-gather and
// render-gathered, with the sort-key array beside it. When a frame gathers more records than the
// ring holds, writing wraps to the first record and the overflow is remembered for the report at
// the end of the frame: the oldest records are lost, never memory past the ring.
//
// Threads: render thread only.
#pragma once

#include <cstdint>
#include <vector>

class EntityRenderingContext;

// One gathered render task of the forward buckets.
struct RenderTaskRecord
{
    EntityRenderingContext* context = nullptr;
    uint32_t passFlags = 0;
    uint32_t bucket = 0; // forward bucket, 0 to 13
    float depth = 0.0f;      // of the context's origin along the view direction
    float sortOffset = 0.0f; // the context's bias
};

// A record's sort key and its index in the ring.
struct RenderTaskSortKey
{
    float key = 0.0f;
    uint32_t recordIndex = 0;
};

// Fixed-capacity ring of task records and their sort keys.
class RenderTaskRecordRing
{
public:
    static constexpr uint32_t kCapacity = 1280;

    // Sizes the arrays (with the device); a ring that was never allocated takes no records.
    void Allocate();
    void Free();
    // Empties the ring at the start of a frame's gathering.
    void Clear();

    // The next record, cleared; wraps to the first one (marking the overflow) when the ring is full.
    // Null while the arrays are not allocated.
    RenderTaskRecord* AllocTaskRecord();
    // The sort key of the record taken last.
    void AddSortKey(float key);

    uint32_t GetCount() const { return m_count; }
    bool HasOverflowed() const { return m_overflowed; }
    const RenderTaskRecord& GetRecord(uint32_t index) const { return m_records[index]; }
    const RenderTaskSortKey& GetSortKey(uint32_t index) const { return m_sortKeys[index]; }

private:
    std::vector<RenderTaskRecord> m_records;
    std::vector<RenderTaskSortKey> m_sortKeys;
    uint32_t m_next = 0;  // index the next record takes
    uint32_t m_count = 0; // records in use, at most kCapacity
    uint32_t m_last = 0;  // index of the record taken last
    bool m_overflowed = false;
};
