#include "ui/text/CompiledGameStringCollection.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"
#include "ui/text/PayloadCursor.h"

#include <cstring>
#include <string>

namespace
{
bool ReadGameString(PayloadCursor& cursor, GameString& string)
{
    NameString id;
    uint32_t speaker = 0;
    if (!cursor.Name(id) || !cursor.U32(speaker))
        return false;
    string.SetId(id);
    string.SetSpeaker(speaker);
    std::u16string text;
    for (uint32_t language = 0; language < kTextLanguageCount; ++language)
    {
        if (!cursor.WideText(text))
            return false;
        string.SetText(language, text);
    }
    std::string note;
    for (uint32_t i = 0; i < GameString::kNoteCount; ++i)
    {
        if (!cursor.NarrowText(note))
            return false;
        string.SetNote(i, note);
    }
    return true;
}

bool Refuse(const char* reason)
{
    gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Corrupt string table: %s", reason);
    return false;
}
} // namespace

void CompiledGameStringCollection::Clear()
{
    m_index.clear();
    m_paths.clear();
    m_entries.clear();
    m_strings.clear();
}

bool CompiledGameStringCollection::Read(FileReader& reader)
{
    Clear();
    std::vector<uint8_t> payload;
    if (const char* why = ReadSizedPayload(reader, payload))
        return Refuse(why);
    return ReadPayload(payload.data(), payload.size());
}

bool CompiledGameStringCollection::ReadPayload(const uint8_t* data, size_t size)
{
    // A table refused half way must not keep entries that were never checked.
    if (!ReadChecked(data, size))
    {
        Clear();
        return false;
    }
    m_index.reserve(m_entries.size());
    for (const CompiledGameStringCollectionEntry& entry : m_entries)
        m_index.emplace(std::string_view(PathOf(entry)), entry.stringIndex);
    return true;
}

bool CompiledGameStringCollection::ReadChecked(const uint8_t* data, size_t size)
{
    Clear();
    PayloadCursor cursor(data, size);
    uint32_t pathBytes = 0;
    if (!cursor.Count(pathBytes, 1))
        return Refuse("the path block is truncated");
    m_paths.resize(pathBytes);
    cursor.Bytes(m_paths.data(), pathBytes);
    uint32_t entryCount = 0;
    if (!cursor.Count(entryCount, 8))
        return Refuse("the entries are truncated");
    m_entries.resize(entryCount);
    for (CompiledGameStringCollectionEntry& entry : m_entries)
    {
        uint32_t index = 0;
        uint32_t offset = 0;
        cursor.U32(index);
        cursor.U32(offset);
        entry.stringIndex = int32_t(index);
        entry.pathStartOffset = int32_t(offset);
    }
    uint32_t stringCount = 0;
    // The smallest string is 1 + 4 + 11 * 2 + 3 bytes.
    if (!cursor.Count(stringCount, 30))
        return Refuse("the strings are truncated");
    m_strings.resize(stringCount);
    for (GameString& string : m_strings)
        if (!ReadGameString(cursor, string))
            return Refuse("a string is truncated");
    // Every path must end inside the block, so a lookup never reads past it.
    if (!m_paths.empty() && m_paths.back() != 0)
        return Refuse("the path block is not terminated");
    for (size_t i = 0; i < m_entries.size(); ++i)
    {
        const CompiledGameStringCollectionEntry& entry = m_entries[i];
        if (entry.stringIndex < 0 || size_t(entry.stringIndex) >= m_strings.size() || entry.pathStartOffset < 0 ||
            size_t(entry.pathStartOffset) >= m_paths.size())
            return Refuse("an entry points outside the table");
        if (i > 0 && std::strcmp(PathOf(m_entries[i - 1]), PathOf(entry)) > 0)
            return Refuse("the entries are not in path order");
    }
    return true;
}

const GameString* CompiledGameStringCollection::Find(const char* path) const
{
    if (path == nullptr)
        return nullptr;
    const auto found = m_index.find(std::string_view(path));
    return found != m_index.end() ? &m_strings[size_t(found->second)] : nullptr;
}
