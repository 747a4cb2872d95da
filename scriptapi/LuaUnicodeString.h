// The script API's UTF-16 string value. Main thread.
#pragma once

#include "core/containers/Dynarray.h"

#include <cstdint>

// UTF-16 units with their terminator; the count includes the terminator (0 when never assigned).
class LuaUnicodeString
{
public:
    LuaUnicodeString() = default;
    explicit LuaUnicodeString(const char16_t* text) { Assign(text); }

    // Copies the text with its terminator; null empties the string.
    void Assign(const char16_t* text);
    const char16_t* GetUnicharPtr() const;
    uint32_t GetLength() const { return m_units.Count() > 1 ? uint32_t(m_units.Count() - 1) : 0; }
    // Units including the terminator: 0 before anything was assigned.
    uint32_t GetCount() const { return uint32_t(m_units.Count()); }
    // Zero-fills every unit and sets the count to 0, keeping the buffer.
    void Clear();
    // Growing reallocates to exactly `count` units when needed (new units are 0); shrinking
    // zero-fills the units dropped.
    void Resize(uint32_t count);
    // Appends before the terminator (an empty value becomes the character and its terminator).
    void AppendChar(char16_t character);
    // Drops the last character; a value without characters is left alone.
    void RemoveLastChar();

private:
    Dynarray<char16_t> m_units;
};
