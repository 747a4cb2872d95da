// Read-back jobs: copy a vertex buffer's or index buffer's bytes out of the device so that another
// thread can store them. Posted from any thread (always waited with an event); Run on the render
// thread. The device object must stay alive until the job is done; the job owns its copy until it is
// destroyed.
#pragma once

#include "platform/gpu/GpuBuffer.h"
#include "platform/gpu/GpuTypes.h"
#include "renderer/jobs/NorvexRendererResourceAccessJob.h"

#include <cstdint>

// Base of the serialization jobs: the device object to read and the copy of its contents.
class NorvexRendererBufferSerializationJob : public NorvexRendererResourceAccessJob
{
public:
    // Waits for a posted job before its copy goes. Every leaf job waits in its own destructor too:
    // the render side may still be calling its Run while a base destructor changes the object's type.
    ~NorvexRendererBufferSerializationJob() override;

    // The copy, or null when nothing could be read; valid once the job is done.
    const uint8_t* GetData() const { return m_data; }
    uint32_t GetDataSize() const { return m_size; }

protected:
    explicit NorvexRendererBufferSerializationJob(gpu::GpuResource* object);

    gpu::GpuResource* GetObject() const { return m_object; }
    // Render thread: drops any earlier copy (a done job may be posted again).
    void DropCopy();
    // Render thread: locks the whole buffer read-only and copies `size` bytes; false leaves no copy.
    bool CopyBuffer(gpu::GpuBuffer* buffer, uint32_t size);
    // Render thread: a new copy of `size` bytes for the derived job to fill.
    uint8_t* AllocateCopy(uint32_t size);

private:
    uint8_t* m_data = nullptr;
    uint32_t m_size = 0; // bytes
    gpu::GpuResource* m_object;
};

// Copies a vertex buffer's contents and description.
class NorvexRendererVertexBufferSerializationJob : public NorvexRendererBufferSerializationJob
{
public:
    explicit NorvexRendererVertexBufferSerializationJob(gpu::GpuVertexBuffer* buffer)
        : NorvexRendererBufferSerializationJob(buffer)
    {
    }
    ~NorvexRendererVertexBufferSerializationJob() override { Wait(); }
    bool Run(NorvexRenderer& renderer) override;
    const gpu::VertexBufferDesc& GetDescription() const { return m_description; }

private:
    gpu::VertexBufferDesc m_description = {};
};

// Copies an index buffer's contents and description.
class NorvexRendererIndexBufferSerializationJob : public NorvexRendererBufferSerializationJob
{
public:
    explicit NorvexRendererIndexBufferSerializationJob(gpu::GpuIndexBuffer* buffer)
        : NorvexRendererBufferSerializationJob(buffer)
    {
    }
    ~NorvexRendererIndexBufferSerializationJob() override { Wait(); }
    bool Run(NorvexRenderer& renderer) override;
    const gpu::IndexBufferDesc& GetDescription() const { return m_description; }

private:
    gpu::IndexBufferDesc m_description = {};
};
