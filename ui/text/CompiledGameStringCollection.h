// The compiled string table as "L01n.bin" stores it: every path as terminated text in one block,
// entries sorted by path that point into it and at their string, and the strings. Read once at
// start-up on the main thread, then only looked up there.
#pragma once

#include "ui/text/GameString.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

class FileReader;

// One path of the table: where its text starts in the path block and which string it names.
struct CompiledGameStringCollectionEntry
{
    int32_t stringIndex = 0;
    int32_t pathStartOffset = 0;
};

// Sorted paths to strings, loaded from one record.
class CompiledGameStringCollection
{
public:
    // Reads the record (u32 payload size, then the payload). Every index and offset is checked,
    // and the entries must be in path order, since lookups search them by halving; a truncated or
    // corrupt table is refused with a logged error and leaves the collection empty.
    bool Read(FileReader& reader);
    // The payload alone, from memory.
    bool ReadPayload(const uint8_t* data, size_t size);

    // The string whose path equals `path` exactly (bytes compared unsigned); null when none.
    const GameString* Find(const char* path) const;

    size_t GetStringCount() const { return m_strings.size(); }
    const GameString& GetString(size_t index) const { return m_strings[index]; }

private:
    bool ReadChecked(const uint8_t* data, size_t size);
    void Clear();
    const char* PathOf(const CompiledGameStringCollectionEntry& entry) const
    {
        return m_paths.data() + entry.pathStartOffset;
    }

    std::vector<char> m_paths;
    std::vector<CompiledGameStringCollectionEntry> m_entries;
    std::vector<GameString> m_strings;
    // Every path's string, built once at load: text lookups run every frame, and a hash of the
    // path beats halving over long paths that share their first components. The first of equal
    // paths wins, as the search by halving would find it.
    std::unordered_map<std::string_view, int32_t> m_index;
};
