#include "renderer/jobs/NorvexRendererBufferSerializationJob.h"

#include "core/console/GameConsole.h"

#include <cstring>

NorvexRendererBufferSerializationJob::NorvexRendererBufferSerializationJob(gpu::GpuResource* object)
    : m_object(object)
{
    SetWantsEvent(true);
}

NorvexRendererBufferSerializationJob::~NorvexRendererBufferSerializationJob()
{
    // The render side may still be writing the copy: wait before it goes.
    Wait();
    delete[] m_data;
}

void NorvexRendererBufferSerializationJob::DropCopy()
{
    delete[] m_data;
    m_data = nullptr;
    m_size = 0;
}

uint8_t* NorvexRendererBufferSerializationJob::AllocateCopy(uint32_t size)
{
    DropCopy();
    if (size == 0)
        return nullptr;
    m_data = new uint8_t[size];
    m_size = size;
    return m_data;
}

bool NorvexRendererBufferSerializationJob::CopyBuffer(gpu::GpuBuffer* buffer, uint32_t size)
{
    void* bytes = nullptr;
    if (buffer->Lock(0, 0, &bytes, gpu::kLockReadOnly) != gpu::kOk)
    {
        gConsole.Warning(CONSOLE_CHANNEL_RENDER, "Buffer serialization job: the buffer could not be locked");
        return false;
    }
    uint8_t* copy = AllocateCopy(size);
    if (copy != nullptr)
        std::memcpy(copy, bytes, size);
    buffer->Unlock();
    return true;
}

bool NorvexRendererVertexBufferSerializationJob::Run(NorvexRenderer&)
{
    DropCopy();
    auto* buffer = static_cast<gpu::GpuVertexBuffer*>(GetObject());
    if (buffer == nullptr)
        return true;
    buffer->GetDesc(&m_description);
    CopyBuffer(buffer, m_description.size);
    return true;
}

bool NorvexRendererIndexBufferSerializationJob::Run(NorvexRenderer&)
{
    DropCopy();
    auto* buffer = static_cast<gpu::GpuIndexBuffer*>(GetObject());
    if (buffer == nullptr)
        return true;
    buffer->GetDesc(&m_description);
    CopyBuffer(buffer, m_description.size);
    return true;
}
