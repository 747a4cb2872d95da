#include "renderer/jobs/NorvexRendererVertexDeclarationSerializationJob.h"

#include <cstring>
#include <vector>

static_assert(sizeof(gpu::VertexElement) == 8, "the copy holds 8 bytes per element");

bool NorvexRendererVertexDeclarationSerializationJob::Run(NorvexRenderer&)
{
    DropCopy();
    m_count = 0;
    const auto* declaration = static_cast<const gpu::GpuVertexDeclaration*>(GetObject());
    uint32_t count = 0;
    if (declaration == nullptr || declaration->GetDeclaration(nullptr, &count) != gpu::kOk || count == 0)
        return true;
    std::vector<gpu::VertexElement> elements(count);
    if (declaration->GetDeclaration(elements.data(), &count) != gpu::kOk || count != elements.size())
        return true;
    uint8_t* copy = AllocateCopy(count * uint32_t(sizeof(gpu::VertexElement)));
    std::memcpy(copy, elements.data(), count * sizeof(gpu::VertexElement));
    m_count = count;
    return true;
}
