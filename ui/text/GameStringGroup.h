// A group of the editable string tree: sub-groups and strings, each found by Id through sorted
// copies that are rebuilt when the tree's change counter moves. A reflected class: its record is
// "Id", "Groups", "Strings" and "Notes". Main thread only.
#pragma once

#include "core/containers/Dynarray.h"
#include "ui/text/GameString.h"

#include <cstdint>
#include <string>
#include <vector>

// A named group of groups and strings; it owns both.
class GameStringGroup : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(GameStringGroup, RTTIPolyBaseClass)

public:
    GameStringGroup() = default;
    ~GameStringGroup() override;
    GameStringGroup(const GameStringGroup&) = delete;
    GameStringGroup& operator=(const GameStringGroup&) = delete;

    NameString GetId() const { return m_id; }
    void SetId(const NameString& id) { m_id = id; }

    GameStringGroup& AddGroup(const char* id);
    GameString& AddString(const char* id);
    void Clear();

    // Exact, case-sensitive search by Id; `stamp` is the tree's change counter.
    const GameStringGroup* FindGroup(const char* id, size_t length, uint32_t stamp) const;
    const GameString* FindString(const char* id, size_t length, uint32_t stamp) const;

    // Entries may be null where a record held none.
    const Dynarray<GameStringGroup*>& GetGroups() const { return m_groups; }
    const Dynarray<GameString*>& GetStrings() const { return m_strings; }

    // A read replaces the groups and strings: the sorted copies must be made again.
    void OnPostLoad(uint32_t flags) override;

private:
    void Sort(uint32_t stamp) const;

    NameString m_id;
    Dynarray<GameStringGroup*> m_groups;
    Dynarray<GameString*> m_strings;
    std::string m_notes;
    mutable std::vector<const GameStringGroup*> m_sortedGroups;
    mutable std::vector<const GameString*> m_sortedStrings;
    mutable int64_t m_sortedStamp = -1;
};
