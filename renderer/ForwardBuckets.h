// The forward buckets of gathered rendering: the frame's task records grouped by bucket (0 to 13)
// in record order, each bucket's sort and pass argument, and the stencil set-up that keeps the
// buckets' pixels apart. Render thread (the table itself is constant: any thread).
#pragma once

#include "renderer/RenderTaskRecordRing.h"

#include <cstdint>
#include <vector>

// What one bucket sets before its records draw; a field left "unchanged" keeps the state as it is.
struct ForwardBucketState
{
    bool sorts = true;
    uint32_t passArgument = 0;
    bool setsColorWriteMask = false;
    uint32_t colorWriteMask = 0;
    bool setsStencil = false;
    uint32_t stencilPass = 0, stencilFail = 0, stencilDepthFail = 0; // device stencil operations
    uint32_t stencilFunction = 0, stencilReference = 0, stencilReadMask = 0, stencilWriteMask = 0;
    // After the bucket: the colour write mask back to all four channels, and stencil off.
    bool restoresColorWriteMask = false;
    bool switchesStencilOff = false;
};

// The task records of one frame placed into their buckets.
class ForwardBuckets
{
public:
    static constexpr uint32_t kBucketCount = 14;

    static const ForwardBucketState& GetState(uint32_t bucket);

    // Counts the records per bucket, lays the buckets out by prefix sums and places each record's
    // {key, index} pair in its bucket in record order. A bucket number past the last goes to the last.
    void Build(const RenderTaskRecordRing& records);
    uint32_t GetCount(uint32_t bucket) const { return m_starts[bucket + 1] - m_starts[bucket]; }
    const RenderTaskSortKey* GetPairs(uint32_t bucket) const { return m_pairs.data() + m_starts[bucket]; }
    // Orders a bucket by key, largest first (back to front), or smallest first when asked; equal
    // keys keep record order.
    void Sort(uint32_t bucket, bool frontToBack);

private:
    uint32_t m_starts[kBucketCount + 1] = {};
    std::vector<RenderTaskSortKey> m_pairs;
};
