// VertexDeclarationCache: one device vertex declaration per distinct element list, shared by every
// mesh and effect that draws with that layout. Made with the device and emptied when it goes.
// Render thread (or the game thread while it holds the device).
#pragma once

#include "platform/gpu/GpuTypes.h"

#include <cstdint>
#include <vector>

namespace gpu
{
class GpuDevice;
class GpuVertexDeclaration;
}

// Declarations kept sorted by element count, then by the element bytes.
class VertexDeclarationCache
{
public:
    // Element lists hold at most this many elements, end marker included.
    static constexpr uint32_t kMaxElements = 65;

    VertexDeclarationCache() = default;
    ~VertexDeclarationCache() { Clear(); }
    VertexDeclarationCache(const VertexDeclarationCache&) = delete;
    VertexDeclarationCache& operator=(const VertexDeclarationCache&) = delete;

    // The device later declarations are made on (null: none can be made).
    void SetDevice(gpu::GpuDevice* device) { m_device = device; }
    // The declaration for `count` elements (the last the end marker), with one reference added for
    // the caller; null (logged) for a list that is too long or unterminated, or when the device
    // refuses it, in which case nothing is cached and the next request tries again.
    gpu::GpuVertexDeclaration* GetOrCreate(const gpu::VertexElement* elements, uint32_t count);
    // Releases every declaration and forgets the device.
    void Clear();

    uint32_t GetCount() const { return uint32_t(m_entries.size()); }

private:
    struct Entry
    {
        std::vector<gpu::VertexElement> elements;
        gpu::GpuVertexDeclaration* declaration;
    };
    // Count first, then the element bytes in byte order.
    static bool Less(const gpu::VertexElement* a, uint32_t countA, const gpu::VertexElement* b, uint32_t countB);

    gpu::GpuDevice* m_device = nullptr;
    std::vector<Entry> m_entries;
};
