#include "support/ResourceTestTemplate.h"

#include "core/filesystem/FileReader.h"
#include "renderer/resources/ResourceManager.h"

#include <cstring>

RTTI_DEFINE_CLASS(ResourceTestTemplate, ResourceTemplate)

void ResourceTestTemplate::BuildClassProperties(RTTIPropertiesBase&) {}

os::Event ResourceTestTemplate::s_gate(true);
std::atomic<int> ResourceTestTemplate::s_gateWaiters{0};
std::atomic<int> ResourceTestTemplate::s_prefetches{0};

void ResourceTestTemplate::Reset()
{
    s_gate.Reset();
    s_gateWaiters = 0;
    s_prefetches = 0;
}

ResourceTestTemplate::~ResourceTestTemplate()
{
    if (m_texture != nullptr)
        m_texture->Release();
}

bool ResourceTestTemplate::DoLoad()
{
    ++m_loads;
    const char* name = GetDisplayName();
    if (std::strncmp(name, "gate/", 5) == 0)
    {
        ++s_gateWaiters;
        return s_gate.Wait(5000);
    }
    if (std::strncmp(name, "stream/", 7) == 0)
    {
        FileReader* stream = gResourceManager->GetOptimizedTemplateStream();
        return stream != nullptr && stream->ReadU32(m_streamValue);
    }
    if (std::strncmp(name, "holder/", 7) == 0)
    {
        char textureName[300] = "tex/";
        std::strncat(textureName, name + 7, sizeof(textureName) - 5);
        m_texture = gResourceManager->GetResource(RESOURCE_TYPE_TEXTURE, textureName, 0, true, 0);
        return m_texture != nullptr;
    }
    return std::strncmp(name, "fail/", 5) != 0;
}
