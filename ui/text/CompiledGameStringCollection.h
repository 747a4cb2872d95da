// The compiled string table as "L01n.bin" stores it: every path as terminated text in one block,
// entries sorted by path that point into it and at their string, and the strings. Reflected classes
// ("Paths", "Entries", "Strings"), whose records are read by a checked reader of their own. Read
// once at start-up on the main thread, then only looked up there.
#pragma once

#include "core/containers/Dynarray.h"
#include "ui/text/GameString.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>

class FileReader;

// One path of the table: where its text starts in the path block and which string it names.
class CompiledGameStringCollectionEntry : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(CompiledGameStringCollectionEntry, RTTIPolyBaseClass)

public:
    int32_t stringIndex = 0;
    int32_t pathStartOffset = 0;
};

// Sorted paths to strings, loaded from one record.
class CompiledGameStringCollection : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(CompiledGameStringCollection, RTTIPolyBaseClass)

public:
    // Reads the record (u32 payload size, then the payload); a size of 0 is an empty table. Every
    // index and offset is checked, and the entries must be in path order, since lookups search
    // them by halving; a truncated or corrupt table is refused with a logged error and leaves the
    // collection empty.
    bool Read(FileReader& reader);
    // The payload alone, from memory, through the same checks.
    bool DeserializeFromMemory(const uint8_t* buffer, size_t size, uint32_t flags, size_t* consumed = nullptr) override;

    // The string whose path equals `path` exactly (bytes compared unsigned); null when none.
    const GameString* Find(const char* path) const;

    size_t GetStringCount() const { return size_t(m_strings.Count()); }
    const GameString& GetString(size_t index) const { return m_strings[int32_t(index)]; }

private:
    bool ReadChecked(const uint8_t* data, size_t size, size_t& consumed);
    void Clear();
    const char* PathOf(const CompiledGameStringCollectionEntry& entry) const
    {
        return m_paths.Data() + entry.pathStartOffset;
    }

    Dynarray<char> m_paths;
    DynarraySafe<CompiledGameStringCollectionEntry> m_entries;
    DynarraySafe<GameString> m_strings;
    // Every path's string, built once at load: text lookups run every frame, and a hash of the
    // path beats halving over long paths that share their first components. The first of equal
    // paths wins, as the search by halving would find it.
    std::unordered_map<std::string_view, int32_t> m_index;
};
