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

void LuaUnicodeString::Clear()
{
    for (char16_t& unit : m_units)
        unit = 0;
    m_units.Clear();
}

void LuaUnicodeString::Resize(uint32_t count)
{
    const int32_t wanted = int32_t(count);
    const int32_t old = m_units.Count();
    if (wanted > old)
    {
        m_units.Resize(wanted);
        for (int32_t i = old; i < wanted; ++i)
            m_units[i] = 0;
    }
    else if (wanted < old)
        m_units.RemoveRange(wanted, old - 1);
}

void LuaUnicodeString::AppendChar(char16_t character)
{
    Resize(m_units.Count() > 0 ? uint32_t(m_units.Count()) + 1 : 2);
    m_units[m_units.Count() - 2] = character;
    m_units[m_units.Count() - 1] = 0;
}

void LuaUnicodeString::RemoveLastChar()
{
    if (m_units.Count() <= 1)
        return;
    Resize(uint32_t(m_units.Count()) - 1);
    m_units[m_units.Count() - 1] = 0;
}
