#include "ui/text/GameStringGroup.h"

#include "core/reflection/RTTIClass.h"

#include <algorithm>
#include <cstring>

namespace
{
// strcmp order of an Id against a key of `length` characters (not terminated).
int CompareId(const NameString& id, const char* key, size_t length)
{
    const char* text = id.CStr();
    const size_t idLength = std::strlen(text);
    const int common = std::strncmp(text, key, std::min(idLength, length));
    if (common != 0)
        return common;
    return idLength < length ? -1 : (idLength > length ? 1 : 0);
}

template <typename T>
const T* FindSorted(const std::vector<const T*>& sorted, const char* key, size_t length)
{
    const auto found = std::lower_bound(sorted.begin(), sorted.end(), key, [length](const T* item, const char* k) {
        return CompareId(item->GetId(), k, length) < 0;
    });
    return found != sorted.end() && CompareId((*found)->GetId(), key, length) == 0 ? *found : nullptr;
}
} // namespace

RTTI_DEFINE_CLASS(GameStringGroup, RTTIPolyBaseClass)

void GameStringGroup::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = GameStringGroup;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Id", &C::m_id));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectPointersProperty<C, GameStringGroup>("Groups", &C::m_groups));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectPointersProperty<C, GameString>("Strings", &C::m_strings));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, std::string>("Notes", &C::m_notes));
}

GameStringGroup::~GameStringGroup()
{
    Clear();
}

GameStringGroup& GameStringGroup::AddGroup(const char* id)
{
    GameStringGroup* const group = new GameStringGroup;
    group->SetId(NameString(id));
    m_groups.Add(group);
    m_sortedStamp = -1;
    return *group;
}

GameString& GameStringGroup::AddString(const char* id)
{
    GameString* const string = new GameString;
    string->SetId(NameString(id));
    m_strings.Add(string);
    m_sortedStamp = -1;
    return *string;
}

void GameStringGroup::Clear()
{
    m_groups.DeleteAllPointers();
    m_strings.DeleteAllPointers();
    m_sortedGroups.clear();
    m_sortedStrings.clear();
    m_sortedStamp = -1;
}

void GameStringGroup::OnPostLoad(uint32_t)
{
    m_sortedGroups.clear();
    m_sortedStrings.clear();
    m_sortedStamp = -1;
}

void GameStringGroup::Sort(uint32_t stamp) const
{
    if (m_sortedStamp == int64_t(stamp))
        return;
    auto byId = [](const auto* a, const auto* b) { return NameString::Compare(a->GetId(), b->GetId()) < 0; };
    // Entries a record left null are not found.
    m_sortedGroups.clear();
    for (const GameStringGroup* group : m_groups)
        if (group != nullptr)
            m_sortedGroups.push_back(group);
    std::sort(m_sortedGroups.begin(), m_sortedGroups.end(), byId);
    m_sortedStrings.clear();
    for (const GameString* string : m_strings)
        if (string != nullptr)
            m_sortedStrings.push_back(string);
    std::sort(m_sortedStrings.begin(), m_sortedStrings.end(), byId);
    m_sortedStamp = stamp;
}

const GameStringGroup* GameStringGroup::FindGroup(const char* id, size_t length, uint32_t stamp) const
{
    Sort(stamp);
    return FindSorted(m_sortedGroups, id, length);
}

const GameString* GameStringGroup::FindString(const char* id, size_t length, uint32_t stamp) const
{
    Sort(stamp);
    return FindSorted(m_sortedStrings, id, length);
}
