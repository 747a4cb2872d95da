#include "ui/text/CompiledGameStringCollection.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"
#include "core/reflection/RTTIClass.h"
#include "ui/text/PayloadCursor.h"

#include <climits>
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

RTTI_DEFINE_CLASS(CompiledGameStringCollectionEntry, RTTIPolyBaseClass)

void CompiledGameStringCollectionEntry::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = CompiledGameStringCollectionEntry;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, int32_t>("StringIndex", &C::stringIndex));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, int32_t>("PathStartOffset", &C::pathStartOffset));
}

RTTI_DEFINE_CLASS(CompiledGameStringCollection, RTTIPolyBaseClass)

void CompiledGameStringCollection::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = CompiledGameStringCollection;
    table.AddProperty(new RTTIDynarrayProperty<C, char>("Paths", &C::m_paths));
    table.AddProperty(
        new RTTIDynarrayOfEmbeddedObjectsProperty<C, CompiledGameStringCollectionEntry>("Entries", &C::m_entries));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectsProperty<C, GameString>("Strings", &C::m_strings));
}

void CompiledGameStringCollection::Clear()
{
    m_index.clear();
    m_paths.FreeStorage();
    m_entries.FreeStorage();
    m_strings.FreeStorage();
}

bool CompiledGameStringCollection::Read(FileReader& reader)
{
    Clear();
    std::vector<uint8_t> payload;
    if (const char* why = ReadSizedPayload(reader, payload))
        return Refuse(why);
    // A record of size 0 carries nothing: an empty table.
    return payload.empty() || DeserializeFromMemory(payload.data(), payload.size(), 0);
}

bool CompiledGameStringCollection::DeserializeFromMemory(const uint8_t* buffer, size_t size, uint32_t,
                                                         size_t* consumed)
{
    // A table refused half way must not keep entries that were never checked.
    size_t used = 0;
    if (!ReadChecked(buffer, size, used))
    {
        Clear();
        return false;
    }
    m_index.reserve(size_t(m_entries.Count()));
    for (const CompiledGameStringCollectionEntry& entry : m_entries)
        m_index.emplace(std::string_view(PathOf(entry)), entry.stringIndex);
    if (consumed != nullptr)
        *consumed = used;
    return true;
}

bool CompiledGameStringCollection::ReadChecked(const uint8_t* data, size_t size, size_t& consumed)
{
    Clear();
    PayloadCursor cursor(data, size);
    uint32_t pathBytes = 0;
    if (!cursor.Count(pathBytes, 1) || pathBytes > uint32_t(INT32_MAX))
        return Refuse("the path block is truncated");
    m_paths.Resize(int32_t(pathBytes));
    cursor.Bytes(m_paths.Data(), pathBytes);
    uint32_t entryCount = 0;
    if (!cursor.Count(entryCount, 8))
        return Refuse("the entries are truncated");
    m_entries.Resize(int32_t(entryCount));
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
    m_strings.Resize(int32_t(stringCount));
    for (GameString& string : m_strings)
        if (!ReadGameString(cursor, string))
            return Refuse("a string is truncated");
    // Every path must end inside the block, so a lookup never reads past it.
    if (!m_paths.IsEmpty() && m_paths[m_paths.Count() - 1] != 0)
        return Refuse("the path block is not terminated");
    for (int32_t i = 0; i < m_entries.Count(); ++i)
    {
        const CompiledGameStringCollectionEntry& entry = m_entries[i];
        if (entry.stringIndex < 0 || entry.stringIndex >= m_strings.Count() || entry.pathStartOffset < 0 ||
            entry.pathStartOffset >= m_paths.Count())
            return Refuse("an entry points outside the table");
        if (i > 0 && std::strcmp(PathOf(m_entries[i - 1]), PathOf(entry)) > 0)
            return Refuse("the entries are not in path order");
    }
    consumed = cursor.Position();
    return true;
}

const GameString* CompiledGameStringCollection::Find(const char* path) const
{
    if (path == nullptr)
        return nullptr;
    const auto found = m_index.find(std::string_view(path));
    return found != m_index.end() ? &m_strings[size_t(found->second)] : nullptr;
}
