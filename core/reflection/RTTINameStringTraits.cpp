#include "core/reflection/RTTIValueTraits.h"
#include "core/reflection/RecordStream.h"
#include "core/strings/NameString.h"

#include <cstdio>
#include <cstring>

// One byte 0 for the empty name; else one byte 1, the characters and a 0 byte.
void RTTIValueTraits<NameString>::Write(RecordOutput& out, const NameString& value)
{
    if (value.IsEmpty())
    {
        out.WriteU8(0);
        return;
    }
    out.WriteU8(1);
    out.WriteBytes(value.CStr(), value.Length() + 1);
}
bool RTTIValueTraits<NameString>::Read(RecordInput& in, NameString& value)
{
    uint8_t present;
    if (!in.ReadU8(present))
        return false;
    if (present == 0)
    {
        value = NameString();
        return true;
    }
    const char* text;
    size_t length;
    if (!in.ReadCString(text, length))
        return false;
    RTTIAssignNameText(value, text, length);
    return true;
}

void RTTIAssignNameText(NameString& value, const char* text, size_t length)
{
    // Compared up to the held text's own 0, which a shorter name reaches first.
    const char* const held = value.CStr();
    size_t at = 0;
    while (at < length && held[at] == text[at])
        ++at;
    if (at != length || held[length] != 0)
        value.Set(text);
}
bool RTTIValueTraits<NameString>::Skip(RecordInput& in)
{
    uint8_t present;
    if (!in.ReadU8(present))
        return false;
    const char* text;
    size_t length;
    return present == 0 || in.ReadCString(text, length);
}
void RTTIValueTraits<NameString>::ToText(const NameString& value, char* buffer, size_t size)
{
    std::snprintf(buffer, size, "%s", value.CStr());
}
bool RTTIValueTraits<NameString>::FromText(NameString& value, const char* text)
{
    value.Set(text);
    return true;
}
bool RTTIValueTraits<NameString>::Equals(const NameString& a, const NameString& b) { return a == b; }
