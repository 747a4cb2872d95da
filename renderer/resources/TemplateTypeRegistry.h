// The template type table: which reflected class a template type id stands for. Filled at start-up
// (before any template is created); read from any thread afterwards.
#pragma once

#include <cstdint>

// 4096 entries {parent type id, class name}, indexed by template type id.
class TemplateTypeRegistry
{
public:
    static constexpr uint32_t kTypeCount = 4096;

    static TemplateTypeRegistry& GetInstance();

    // False (logged) for an id outside the table.
    bool RegisterType(uint32_t typeId, uint32_t parentTypeId, const char* className);
    // Null for an unused or out-of-range id.
    const char* GetClassName(uint32_t typeId) const;
    // Whether typeId is baseTypeId or descends from it.
    bool IsKindOf(uint32_t typeId, uint32_t baseTypeId) const;

private:
    struct Entry
    {
        uint32_t parent = 0;
        const char* className = nullptr;
    };
    Entry m_entries[kTypeCount];
};
