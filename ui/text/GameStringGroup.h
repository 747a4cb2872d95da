// A group of the editable string tree: sub-groups and strings, each found by Id through sorted
// copies that are rebuilt when the tree's change counter moves. Main thread only.
#pragma once

#include "ui/text/GameString.h"

#include <cstdint>
#include <memory>
#include <vector>

// A named group of groups and strings.
class GameStringGroup
{
public:
    NameString GetId() const { return m_id; }
    void SetId(const NameString& id) { m_id = id; }

    GameStringGroup& AddGroup(const char* id);
    GameString& AddString(const char* id);
    void Clear();

    // Exact, case-sensitive search by Id; `stamp` is the tree's change counter.
    const GameStringGroup* FindGroup(const char* id, size_t length, uint32_t stamp) const;
    const GameString* FindString(const char* id, size_t length, uint32_t stamp) const;

    const std::vector<std::unique_ptr<GameStringGroup>>& GetGroups() const { return m_groups; }
    const std::vector<std::unique_ptr<GameString>>& GetStrings() const { return m_strings; }

private:
    void Sort(uint32_t stamp) const;

    NameString m_id;
    std::vector<std::unique_ptr<GameStringGroup>> m_groups;
    std::vector<std::unique_ptr<GameString>> m_strings;
    mutable std::vector<const GameStringGroup*> m_sortedGroups;
    mutable std::vector<const GameString*> m_sortedStrings;
    mutable int64_t m_sortedStamp = -1;
};
