// The shader definitions: the families of "Common/Shaders/Shaders.DefBin" and of its text form
// "Common/Shaders/Shaders.Def", kept sorted by name, and the 8-byte definition stamp that compiled
// shader files are checked against.
//
// Binary form (little-endian): u32 magic 0x23EA5BC0, 8-byte stamp, u32 family count N, then N
// records {u32 byte count, one ShaderFamily in the reflected binary form}.
// Text form: lines "Family <name>", "Option <name>" (inside a family), "Parameter <name>" (inside a
// family or option) each closed by "End", and "<property> = <value>" lines that set a property of
// the innermost open object through its text form; '#' starts a comment line. Its stamp is a 64-bit
// FNV-1a hash of the text, which the kit also writes into the binary form made from it, so both
// forms of the same definitions carry the same stamp.
//
// Not locked: the shader manager guards its instance. Built on the main thread.
#pragma once

#include "core/containers/Dynarray.h"
#include "renderer/resources/ShaderFamily.h"

#include <cstddef>
#include <cstdint>

// A sorted list of owned shader families and their stamp.
class ShaderDefinitions
{
public:
    static constexpr uint32_t kMagic = 0x23EA5BC0u;

    ShaderDefinitions() = default;
    ~ShaderDefinitions() { Clear(); }
    ShaderDefinitions(const ShaderDefinitions&) = delete;
    ShaderDefinitions& operator=(const ShaderDefinitions&) = delete;

    // Deletes every family and clears the stamp.
    void Clear();
    // Takes the other list's families and stamp (this list's are deleted).
    void TakeFrom(ShaderDefinitions& other);

    // Replace the list only when the whole input reads; otherwise log why and keep it unchanged.
    bool ReadBinary(const uint8_t* data, size_t size);
    bool ReadText(const char* text, size_t length, const char* sourceName);

    static uint64_t HashText(const char* text, size_t length);

    // Case-insensitive binary search; null when absent.
    ShaderFamily* Find(const char* name) const;
    // Takes ownership, keeping the name order; false (family deleted) when the name is taken.
    bool Add(ShaderFamily* family);

    uint64_t GetStamp() const { return m_stamp; }
    void SetStamp(uint64_t stamp) { m_stamp = stamp; }
    int32_t Count() const { return m_families.Count(); }
    ShaderFamily* Get(int32_t index) const { return m_families[index]; }

private:
    int32_t LowerBound(const char* name) const;

    Dynarray<ShaderFamily*> m_families;
    uint64_t m_stamp = 0;
};
