#include "renderer/resources/TemplateTypeRegistry.h"

#include "core/console/GameConsole.h"

TemplateTypeRegistry& TemplateTypeRegistry::GetInstance()
{
    static TemplateTypeRegistry registry;
    return registry;
}

bool TemplateTypeRegistry::RegisterType(uint32_t typeId, uint32_t parentTypeId, const char* className)
{
    if (typeId >= kTypeCount || parentTypeId >= kTypeCount)
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Template type id %u is out of range", typeId);
        return false;
    }
    m_entries[typeId] = {parentTypeId, className};
    return true;
}

const char* TemplateTypeRegistry::GetClassName(uint32_t typeId) const
{
    return typeId < kTypeCount ? m_entries[typeId].className : nullptr;
}

bool TemplateTypeRegistry::IsKindOf(uint32_t typeId, uint32_t baseTypeId) const
{
    // The walk is bounded so that a table with a cycle cannot hang it.
    for (uint32_t steps = 0; typeId < kTypeCount && steps < kTypeCount; ++steps)
    {
        if (typeId == baseTypeId)
            return true;
        if (m_entries[typeId].className == nullptr || m_entries[typeId].parent == typeId)
            return false;
        typeId = m_entries[typeId].parent;
    }
    return false;
}
