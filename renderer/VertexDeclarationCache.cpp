#include "renderer/VertexDeclarationCache.h"

#include "core/console/GameConsole.h"
#include "platform/gpu/GpuDevice.h"

#include <algorithm>
#include <cstring>

bool VertexDeclarationCache::Less(const gpu::VertexElement* a, uint32_t countA, const gpu::VertexElement* b,
                                  uint32_t countB)
{
    if (countA != countB)
        return countA < countB;
    return std::memcmp(a, b, size_t(countA) * sizeof(gpu::VertexElement)) < 0;
}

gpu::GpuVertexDeclaration* VertexDeclarationCache::GetOrCreate(const gpu::VertexElement* elements, uint32_t count)
{
    // Element lists come from mesh files: a list past the limit, or one without its end marker,
    // would make the device read past it.
    if (elements == nullptr || count == 0 || count > kMaxElements || elements[count - 1].stream != gpu::kDeclEndStream)
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "VertexDeclarationCache: refused a list of %u elements", count);
        return nullptr;
    }
    const auto at = std::upper_bound(m_entries.begin(), m_entries.end(), 0, [&](int, const Entry& entry) {
        return Less(elements, count, entry.elements.data(), uint32_t(entry.elements.size()));
    });
    if (at != m_entries.begin())
    {
        const Entry& before = *(at - 1);
        if (!Less(before.elements.data(), uint32_t(before.elements.size()), elements, count))
        {
            before.declaration->AddRef();
            return before.declaration;
        }
    }
    gpu::GpuVertexDeclaration* declaration = nullptr;
    // A failed creation is not kept: a cached null would hand the next caller a reference to nothing.
    if (m_device == nullptr || m_device->CreateVertexDeclaration(elements, &declaration) != gpu::kOk ||
        declaration == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "VertexDeclarationCache: the device refused a declaration of %u elements",
                       count);
        return nullptr;
    }
    m_entries.insert(at, Entry{std::vector<gpu::VertexElement>(elements, elements + count), declaration});
    declaration->AddRef();
    return declaration;
}

void VertexDeclarationCache::Clear()
{
    for (Entry& entry : m_entries)
        gpu::SafeRelease(entry.declaration);
    m_entries.clear();
    m_device = nullptr;
}
