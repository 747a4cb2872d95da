#include "ui/text/GameStringGroup.h"

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

GameStringGroup& GameStringGroup::AddGroup(const char* id)
{
    m_groups.push_back(std::make_unique<GameStringGroup>());
    m_groups.back()->SetId(NameString(id));
    m_sortedStamp = -1;
    return *m_groups.back();
}

GameString& GameStringGroup::AddString(const char* id)
{
    m_strings.push_back(std::make_unique<GameString>());
    m_strings.back()->SetId(NameString(id));
    m_sortedStamp = -1;
    return *m_strings.back();
}

void GameStringGroup::Clear()
{
    m_groups.clear();
    m_strings.clear();
    m_sortedGroups.clear();
    m_sortedStrings.clear();
    m_sortedStamp = -1;
}

void GameStringGroup::Sort(uint32_t stamp) const
{
    if (m_sortedStamp == int64_t(stamp))
        return;
    auto byId = [](const auto* a, const auto* b) { return NameString::Compare(a->GetId(), b->GetId()) < 0; };
    m_sortedGroups.clear();
    for (const auto& group : m_groups)
        m_sortedGroups.push_back(group.get());
    std::sort(m_sortedGroups.begin(), m_sortedGroups.end(), byId);
    m_sortedStrings.clear();
    for (const auto& string : m_strings)
        m_sortedStrings.push_back(string.get());
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
