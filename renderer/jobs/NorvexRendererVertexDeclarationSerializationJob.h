// Read-back of a vertex declaration's elements (end element included) for another thread to store.
// Posted from any thread (always waited with an event); Run on the render thread. The declaration
// must stay alive until the job is done.
#pragma once

#include "platform/gpu/GpuVertexDeclaration.h"
#include "renderer/jobs/NorvexRendererBufferSerializationJob.h"

// Copies a declaration's elements, 8 bytes each, in their in-memory layout.
class NorvexRendererVertexDeclarationSerializationJob : public NorvexRendererBufferSerializationJob
{
public:
    explicit NorvexRendererVertexDeclarationSerializationJob(gpu::GpuVertexDeclaration* declaration)
        : NorvexRendererBufferSerializationJob(declaration)
    {
    }
    ~NorvexRendererVertexDeclarationSerializationJob() override { Wait(); }
    bool Run(NorvexRenderer& renderer) override;
    // Elements in the copy, 0 when nothing could be read.
    uint32_t GetElementCount() const { return m_count; }

private:
    uint32_t m_count = 0;
};
