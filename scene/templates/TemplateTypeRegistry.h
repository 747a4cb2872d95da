// The template type table: the parent type id and class name of every template type id. Kind-of
// tests on templates and entities go through it, so stored data and scripts can name kinds by
// number. Filled by the registration calls at start-up (RegisterSceneClasses, the game layer's
// own); read from any thread afterwards.
#pragma once

#include <cstdint>

// 4096 slots {parent type id, class name}; 4096 as a parent means none.
class TemplateTypeRegistry
{
public:
    static constexpr uint32_t kTypeCount = 4096;
    static constexpr uint32_t kNoParent = 4096;

    static TemplateTypeRegistry& GetInstance();

    // False (logged) for a type id outside the table or a parent that is neither a slot nor none.
    bool RegisterType(uint32_t typeId, uint32_t parentTypeId, const char* className);
    // Null for an unused or out-of-range id.
    const char* GetClassName(uint32_t typeId) const;
    uint32_t GetParent(uint32_t typeId) const { return typeId < kTypeCount ? m_entries[typeId].parent : kNoParent; }
    // True when typeId is baseTypeId or descends from it.
    bool IsKindOf(uint32_t typeId, uint32_t baseTypeId) const;

private:
    TemplateTypeRegistry() = default;

    struct Entry
    {
        uint32_t parent = kNoParent;
        const char* className = nullptr;
    };
    Entry m_entries[kTypeCount];
};
