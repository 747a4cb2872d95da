// Vertex and index buffers with their bytes and the platform's lock rules: discard and no-overwrite
// only on dynamic buffers, read-only locks hand out a copy so writes are lost, one lock at a time.
// A real device may still be reading what a draw was given when a no-overwrite lock comes: the
// buffers remember the bytes drawn since their last discard and report such a lock as an error.
// One thread at a time, as for the device that made them.
#pragma once

#include "platform/gpu/GpuObject.h"
#include "platform/gpu/GpuTypes.h"

#include <utility>
#include <vector>

namespace gpu
{
// Bytes, usage and lock state shared by both buffer kinds.
class GpuBuffer : public GpuResource
{
public:
    // Size 0 locks from offset to the end.
    Result Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags);
    Result Unlock();
    bool IsLocked() const { return m_locked; }

    uint32_t GetSize() const { return uint32_t(m_bytes.size()); }
    uint32_t GetUsage() const { return m_usage; }
    // The buffer's bytes as the device sees them (read-back for tests and draws).
    const uint8_t* Bytes() const { return m_bytes.data(); }
    uint32_t GetDiscardCount() const { return m_discards; }
    // Draws read [offset, offset + length); a discard forgets every range.
    void MarkDrawn(uint64_t offset, uint64_t length);
    // No-overwrite locks that met a range drawn since the last discard.
    uint32_t GetOverwriteHazardCount() const { return m_overwriteHazards; }

protected:
    GpuBuffer(ObjectKind kind, GpuDevice* device, uint32_t length, uint32_t usage, Pool pool);

private:
    std::vector<uint8_t> m_bytes;
    std::vector<uint8_t> m_readOnlyCopy;
    uint32_t m_usage;
    uint32_t m_discards = 0;
    uint32_t m_overwriteHazards = 0;
    // Disjoint, sorted [begin, end) byte ranges drawn since the last discard.
    std::vector<std::pair<uint64_t, uint64_t>> m_drawn;
    bool m_locked = false;
};

class GpuVertexBuffer : public GpuBuffer
{
public:
    GpuVertexBuffer(GpuDevice* device, uint32_t length, uint32_t usage, uint32_t fvf, Pool pool);
    void GetDesc(VertexBufferDesc* desc) const;
    uint32_t GetFvf() const { return m_fvf; }

private:
    uint32_t m_fvf;
};

class GpuIndexBuffer : public GpuBuffer
{
public:
    // format is kFormatIndex16 or kFormatIndex32.
    GpuIndexBuffer(GpuDevice* device, uint32_t length, uint32_t usage, Format format, Pool pool);
    void GetDesc(IndexBufferDesc* desc) const;
    Format GetFormat() const { return m_format; }
    uint32_t GetIndexSize() const { return m_format == kFormatIndex32 ? 4 : 2; }

private:
    Format m_format;
};
} // namespace gpu
