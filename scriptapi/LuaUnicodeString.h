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

private:
    Dynarray<char16_t> m_units;
};
