#include "scriptapi/LuaUnicodeString.h"

void LuaUnicodeString::Assign(const char16_t* text)
{
    m_units.Clear();
    if (text == nullptr)
        return;
    do
        m_units.Add(*text);
    while (*text++ != 0);
}

const char16_t* LuaUnicodeString::GetUnicharPtr() const
{
    static const char16_t kEmpty[1] = {0};
    return m_units.IsEmpty() ? kEmpty : m_units.begin();
}
