#include "renderer/ForwardBuckets.h"

#include "platform/gpu/GpuTypes.h"

#include <algorithm>

namespace
{
ForwardBucketState Sorted(uint32_t passArgument = 0)
{
    ForwardBucketState state;
    state.passArgument = passArgument;
    return state;
}

ForwardBucketState Stencil(ForwardBucketState state, uint32_t pass, uint32_t fail, uint32_t depthFail,
                           uint32_t function, uint32_t reference, uint32_t readMask, uint32_t writeMask)
{
    state.setsStencil = true;
    state.stencilPass = pass;
    state.stencilFail = fail;
    state.stencilDepthFail = depthFail;
    state.stencilFunction = function;
    state.stencilReference = reference;
    state.stencilReadMask = readMask;
    state.stencilWriteMask = writeMask;
    state.switchesStencilOff = true;
    return state;
}

// The first two buckets only mark stencil bits: no colour, no sorting.
ForwardBucketState MaskOnly(uint32_t bits)
{
    ForwardBucketState state = Stencil(Sorted(), gpu::kStencilReplace, gpu::kStencilReplace, gpu::kStencilReplace,
                                       gpu::kCmpAlways, 255, bits, bits);
    state.sorts = false;
    state.setsColorWriteMask = true;
    state.colorWriteMask = 0;
    state.restoresColorWriteMask = true;
    return state;
}

const ForwardBucketState kStates[ForwardBuckets::kBucketCount] = {
    MaskOnly(97),
    MaskOnly(33),
    Stencil(Sorted(), gpu::kStencilKeep, gpu::kStencilKeep, gpu::kStencilKeep, gpu::kCmpEqual, 0, 64, 0),
    Sorted(3),
    Stencil(Sorted(), gpu::kStencilKeep, gpu::kStencilKeep, gpu::kStencilKeep, gpu::kCmpEqual, 64, 64, 0),
    Sorted(),
    Stencil(Sorted(), gpu::kStencilReplace, gpu::kStencilReplace, gpu::kStencilKeep, gpu::kCmpEqual, 192, 64, 128),
    Sorted(),
    Stencil(Sorted(), gpu::kStencilReplace, gpu::kStencilReplace, gpu::kStencilKeep, gpu::kCmpNotEqual, 0, 96, 128),
    Sorted(),
    Sorted(),
    Sorted(),
    Stencil(Sorted(), gpu::kStencilKeep, gpu::kStencilKeep, gpu::kStencilKeep, gpu::kCmpEqual, 128, 128, 0),
    Sorted(),
};
} // namespace

const ForwardBucketState& ForwardBuckets::GetState(uint32_t bucket)
{
    return kStates[std::min(bucket, kBucketCount - 1)];
}

void ForwardBuckets::Build(const RenderTaskRecordRing& records)
{
    const uint32_t count = records.GetCount();
    std::fill(std::begin(m_starts), std::end(m_starts), 0u);
    for (uint32_t i = 0; i < count; ++i)
        ++m_starts[std::min(records.GetRecord(i).bucket, kBucketCount - 1) + 1];
    for (uint32_t b = 0; b < kBucketCount; ++b)
        m_starts[b + 1] += m_starts[b];
    m_pairs.resize(count);
    uint32_t next[kBucketCount];
    std::copy(m_starts, m_starts + kBucketCount, next);
    for (uint32_t i = 0; i < count; ++i)
        m_pairs[next[std::min(records.GetRecord(i).bucket, kBucketCount - 1)]++] = records.GetSortKey(i);
}

void ForwardBuckets::Sort(uint32_t bucket, bool frontToBack)
{
    const auto first = m_pairs.begin() + m_starts[bucket], last = m_pairs.begin() + m_starts[bucket + 1];
    if (frontToBack)
        std::stable_sort(first, last, [](const RenderTaskSortKey& a, const RenderTaskSortKey& b) { return a.key < b.key; });
    else
        std::stable_sort(first, last, [](const RenderTaskSortKey& a, const RenderTaskSortKey& b) { return a.key > b.key; });
}
