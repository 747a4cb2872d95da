#include "core/SimpleGUID.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

void SimpleGUID::Clear()
{
    std::memset(bytes, 0, sizeof(bytes));
}

bool SimpleGUID::IsNull() const
{
    for (const uint8_t b : bytes)
        if (b != 0)
            return false;
    return true;
}

int SimpleGUID::Compare(const SimpleGUID& a, const SimpleGUID& b)
{
    for (int i = 15; i >= 0; --i)
        if (a.bytes[i] != b.bytes[i])
            return int(a.bytes[i]) - int(b.bytes[i]);
    return 0;
}

bool SimpleGUID::operator==(const SimpleGUID& other) const
{
    return std::memcmp(bytes, other.bytes, sizeof(bytes)) == 0;
}

void SimpleGUID::ToString(char* buffer, size_t size) const
{
    if (buffer == nullptr || size == 0)
        return;
    const uint8_t* b = bytes;
    std::snprintf(buffer, size, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[15],
                  b[14], b[13], b[12], b[11], b[10], b[9], b[8], b[7], b[6], b[5], b[4], b[3], b[2], b[1], b[0]);
}

const char* SimpleGUID::ToStringUnsafe() const
{
    static char text[64];
    ToString(text, sizeof(text));
    return text;
}

bool SimpleGUID::FromString(const char* text)
{
    if (text == nullptr)
        return false;
    unsigned int v[16];
    const int fields =
        std::sscanf(text, "%2X%2X%2X%2X-%2X%2X-%2X%2X-%2X%2X-%2X%2X%2X%2X%2X%2X", &v[15], &v[14],
                    &v[13], &v[12], &v[11], &v[10], &v[9], &v[8], &v[7], &v[6], &v[5], &v[4], &v[3], &v[2], &v[1], &v[0]);
    if (fields != 16)
        return false;
    for (int i = 0; i < 16; ++i)
        bytes[i] = uint8_t(v[i]);
    return true;
}

void SimpleGUID::Generate()
{
    const uint8_t timeByte = uint8_t(std::time(nullptr));
    for (uint8_t& b : bytes)
        b = uint8_t(std::rand()) ^ timeByte;
    bytes[9] = uint8_t((bytes[9] & 15) | 64);
    bytes[7] = uint8_t((bytes[7] & 63) | 128);
}

void WordsToHexString(const uint32_t* words, size_t count, char* text)
{
    static const char kDigits[] = "0123456789ABCDEF";
    for (size_t w = 0; w < count; ++w)
        for (int n = 0; n < 8; ++n)
            *text++ = kDigits[(words[w] >> (4 * n)) & 15];
    *text = 0;
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool HexStringToWords(uint32_t* words, size_t count, const char* text)
{
    for (size_t w = 0; w < count; ++w)
    {
        uint32_t value = 0;
        for (int n = 0; n < 8; ++n)
        {
            const int digit = HexDigitValue(*text);
            if (digit < 0)
                return false;
            value |= uint32_t(digit) << (4 * n);
            ++text;
        }
        words[w] = value;
    }
    return true;
}
