#include "core/reflection/RTTIValueTraits.h"

#include "core/SimpleGUID.h"
#include "core/reflection/GUIDReplacementTable.h"
#include "core/reflection/RecordStream.h"
#include "core/strings/StringUtils.h"
#include "platform/os/CodePage.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
void CopyText(const char* text, size_t length, char* buffer, size_t size)
{
    if (size == 0)
        return;
    const size_t n = length < size - 1 ? length : size - 1;
    std::memcpy(buffer, text, n);
    buffer[n] = 0;
}

// Low bits of any integer text, so that old files holding a sign-widened char as a large unsigned
// number read back as well as the signed form written now.
long long ParseInteger(const char* text)
{
    return std::strtoll(text, nullptr, 10);
}
} // namespace

// float
void RTTIValueTraits<float>::Write(RecordOutput& out, const float& value) { out.WriteFloat(value); }
bool RTTIValueTraits<float>::Read(RecordInput& in, float& value) { return in.ReadFloat(value); }
bool RTTIValueTraits<float>::Skip(RecordInput& in) { return in.Skip(4); }
void RTTIValueTraits<float>::ToText(const float& value, char* buffer, size_t size) { std::snprintf(buffer, size, "%.6f", value); }
bool RTTIValueTraits<float>::FromText(float& value, const char* text)
{
    value = float(std::atof(text));
    return true;
}
bool RTTIValueTraits<float>::Equals(const float& a, const float& b) { return a == b; }

// int
void RTTIValueTraits<int32_t>::Write(RecordOutput& out, const int32_t& value) { out.WriteU32(uint32_t(value)); }
bool RTTIValueTraits<int32_t>::Read(RecordInput& in, int32_t& value)
{
    uint32_t bits;
    if (!in.ReadU32(bits))
        return false;
    value = int32_t(bits);
    return true;
}
bool RTTIValueTraits<int32_t>::Skip(RecordInput& in) { return in.Skip(4); }
void RTTIValueTraits<int32_t>::ToText(const int32_t& value, char* buffer, size_t size) { std::snprintf(buffer, size, "%d", value); }
bool RTTIValueTraits<int32_t>::FromText(int32_t& value, const char* text)
{
    value = std::atoi(text);
    return true;
}
bool RTTIValueTraits<int32_t>::Equals(const int32_t& a, const int32_t& b) { return a == b; }

// unsigned int
void RTTIValueTraits<uint32_t>::Write(RecordOutput& out, const uint32_t& value) { out.WriteU32(value); }
bool RTTIValueTraits<uint32_t>::Read(RecordInput& in, uint32_t& value) { return in.ReadU32(value); }
bool RTTIValueTraits<uint32_t>::Skip(RecordInput& in) { return in.Skip(4); }
void RTTIValueTraits<uint32_t>::ToText(const uint32_t& value, char* buffer, size_t size) { std::snprintf(buffer, size, "%u", value); }
bool RTTIValueTraits<uint32_t>::FromText(uint32_t& value, const char* text)
{
    unsigned int parsed = 0;
    if (std::sscanf(text, "%u", &parsed) != 1)
        parsed = 0;
    value = parsed;
    return true;
}
bool RTTIValueTraits<uint32_t>::Equals(const uint32_t& a, const uint32_t& b) { return a == b; }

// unsigned short
void RTTIValueTraits<uint16_t>::Write(RecordOutput& out, const uint16_t& value) { out.WriteU16(value); }
bool RTTIValueTraits<uint16_t>::Read(RecordInput& in, uint16_t& value) { return in.ReadU16(value); }
bool RTTIValueTraits<uint16_t>::Skip(RecordInput& in) { return in.Skip(2); }
void RTTIValueTraits<uint16_t>::ToText(const uint16_t& value, char* buffer, size_t size) { std::snprintf(buffer, size, "%u", unsigned(value)); }
bool RTTIValueTraits<uint16_t>::FromText(uint16_t& value, const char* text)
{
    value = uint16_t(ParseInteger(text));
    return true;
}
bool RTTIValueTraits<uint16_t>::Equals(const uint16_t& a, const uint16_t& b) { return a == b; }

// bool
void RTTIValueTraits<bool>::Write(RecordOutput& out, const bool& value) { out.WriteU8(value ? 1 : 0); }
bool RTTIValueTraits<bool>::Read(RecordInput& in, bool& value)
{
    uint8_t byte;
    if (!in.ReadU8(byte))
        return false;
    value = byte != 0;
    return true;
}
bool RTTIValueTraits<bool>::Skip(RecordInput& in) { return in.Skip(1); }
void RTTIValueTraits<bool>::ToText(const bool& value, char* buffer, size_t size) { std::snprintf(buffer, size, "%u", value ? 1u : 0u); }
bool RTTIValueTraits<bool>::FromText(bool& value, const char* text)
{
    // Hand-written records and tool arguments say "true" and "false" as often as 1 and 0; as a number
    // "true" would read as 0.
    if (StrICmp(text, "true") == 0)
        value = true;
    else if (StrICmp(text, "false") == 0)
        value = false;
    else
        value = std::atoi(text) != 0;
    return true;
}
bool RTTIValueTraits<bool>::Equals(const bool& a, const bool& b) { return a == b; }

// char: printed signed, so that every value reads back (a sign-widened "%u" did not survive atoi)
void RTTIValueTraits<char>::Write(RecordOutput& out, const char& value) { out.WriteU8(uint8_t(value)); }
bool RTTIValueTraits<char>::Read(RecordInput& in, char& value)
{
    uint8_t byte;
    if (!in.ReadU8(byte))
        return false;
    value = char(byte);
    return true;
}
bool RTTIValueTraits<char>::Skip(RecordInput& in) { return in.Skip(1); }
void RTTIValueTraits<char>::ToText(const char& value, char* buffer, size_t size) { std::snprintf(buffer, size, "%d", int(static_cast<signed char>(value))); }
bool RTTIValueTraits<char>::FromText(char& value, const char* text)
{
    value = char(uint8_t(ParseInteger(text)));
    return true;
}
bool RTTIValueTraits<char>::Equals(const char& a, const char& b) { return a == b; }

// unsigned char
void RTTIValueTraits<uint8_t>::Write(RecordOutput& out, const uint8_t& value) { out.WriteU8(value); }
bool RTTIValueTraits<uint8_t>::Read(RecordInput& in, uint8_t& value) { return in.ReadU8(value); }
bool RTTIValueTraits<uint8_t>::Skip(RecordInput& in) { return in.Skip(1); }
void RTTIValueTraits<uint8_t>::ToText(const uint8_t& value, char* buffer, size_t size) { std::snprintf(buffer, size, "%u", unsigned(value)); }
bool RTTIValueTraits<uint8_t>::FromText(uint8_t& value, const char* text)
{
    value = uint8_t(ParseInteger(text));
    return true;
}
bool RTTIValueTraits<uint8_t>::Equals(const uint8_t& a, const uint8_t& b) { return a == b; }

// string: the characters and a 0 byte; empty is one 0 byte
void RTTIValueTraits<std::string>::Write(RecordOutput& out, const std::string& value)
{
    out.WriteBytes(value.c_str(), value.size() + 1);
}
bool RTTIValueTraits<std::string>::Read(RecordInput& in, std::string& value)
{
    const char* text;
    size_t length;
    if (!in.ReadCString(text, length))
        return false;
    value.assign(text, length);
    return true;
}
bool RTTIValueTraits<std::string>::Skip(RecordInput& in)
{
    const char* text;
    size_t length;
    return in.ReadCString(text, length);
}
void RTTIValueTraits<std::string>::ToText(const std::string& value, char* buffer, size_t size)
{
    CopyText(value.c_str(), value.size(), buffer, size);
}
bool RTTIValueTraits<std::string>::FromText(std::string& value, const char* text)
{
    value = text;
    return true;
}
bool RTTIValueTraits<std::string>::Equals(const std::string& a, const std::string& b) { return a == b; }

// wide string: UTF-16 units and a 0 unit
void RTTIValueTraits<std::u16string>::Write(RecordOutput& out, const std::u16string& value)
{
    for (const char16_t unit : value)
        out.WriteU16(uint16_t(unit));
    out.WriteU16(0);
}
bool RTTIValueTraits<std::u16string>::Read(RecordInput& in, std::u16string& value)
{
    const uint8_t* units;
    size_t count;
    if (!in.ReadWideString(units, count))
        return false;
    value.resize(count);
    for (size_t i = 0; i < count; ++i)
        value[i] = char16_t(units[2 * i] | (units[2 * i + 1] << 8));
    return true;
}
bool RTTIValueTraits<std::u16string>::Skip(RecordInput& in)
{
    const uint8_t* units;
    size_t count;
    return in.ReadWideString(units, count);
}
// Written in the system code page rather than left empty, so that a text round trip keeps the value.
void RTTIValueTraits<std::u16string>::ToText(const std::u16string& value, char* buffer, size_t size)
{
    if (size == 0)
        return;
    size_t n = 0;
    for (; n < value.size() && n + 1 < size; ++n)
        buffer[n] = char(os::Utf16ToWindows1252(value[n]));
    buffer[n] = 0;
}
bool RTTIValueTraits<std::u16string>::FromText(std::u16string& value, const char* text)
{
    value.clear();
    for (; *text != 0; ++text)
        value.push_back(os::Windows1252ToUtf16(uint8_t(*text)));
    return true;
}
bool RTTIValueTraits<std::u16string>::Equals(const std::u16string& a, const std::u16string& b) { return a == b; }

// GUID: 16 bytes as stored, never swapped
void RTTIValueTraits<SimpleGUID>::Write(RecordOutput& out, const SimpleGUID& value) { out.WriteBytes(value.bytes, 16); }
bool RTTIValueTraits<SimpleGUID>::Read(RecordInput& in, SimpleGUID& value) { return in.ReadBytes(value.bytes, 16); }
bool RTTIValueTraits<SimpleGUID>::Skip(RecordInput& in) { return in.Skip(16); }
void RTTIValueTraits<SimpleGUID>::ToText(const SimpleGUID& value, char* buffer, size_t size) { value.ToString(buffer, size); }
bool RTTIValueTraits<SimpleGUID>::FromText(SimpleGUID& value, const char* text)
{
    if (!value.FromString(text))
        return false;
    value = GUIDReplacementTable::MapThroughActive(value);
    return true;
}
bool RTTIValueTraits<SimpleGUID>::Equals(const SimpleGUID& a, const SimpleGUID& b) { return a == b; }
