#include "platform/os/CodePage.h"

namespace os
{
namespace
{
// Bytes 0x80-0x9F of Windows-1252; the five it leaves undefined map to the C1 control of the
// same value, as the system converter does.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool IsHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}
} // namespace

bool IsSupportedCodePage(uint32_t codePage)
{
    return codePage == kCodePageSystem || codePage == kCodePageWindows1252;
}

char16_t Windows1252ToUtf16(uint8_t byte)
{
    return (byte >= 0x80 && byte < 0xA0) ? kHighControls[byte - 0x80] : static_cast<char16_t>(byte);
}

uint8_t Utf16ToWindows1252(char16_t character)
{
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF))
        return static_cast<uint8_t>(character);
    for (uint8_t i = 0; i < 32; ++i)
        if (kHighControls[i] == character)
            return static_cast<uint8_t>(0x80 + i);
    return '?';
}

size_t WideToNarrow(uint32_t codePage, const char16_t* text, size_t length, char* out, size_t outSize)
{
    if (!IsSupportedCodePage(codePage) || text == nullptr || out == nullptr)
        return 0;
    size_t written = 0;
    for (size_t i = 0; i < length; ++i)
    {
        if (written == outSize)
            return 0;
        // A surrogate pair is one character, which Windows-1252 cannot hold.
        if (IsHighSurrogate(text[i]) && i + 1 < length && IsLowSurrogate(text[i + 1]))
            ++i;
        out[written++] = static_cast<char>(Utf16ToWindows1252(text[i]));
    }
    return written;
}

size_t NarrowToWide(uint32_t codePage, const char* text, size_t length, char16_t* out, size_t outSize)
{
    if (!IsSupportedCodePage(codePage) || text == nullptr || out == nullptr || length > outSize)
        return 0;
    for (size_t i = 0; i < length; ++i)
        out[i] = Windows1252ToUtf16(static_cast<uint8_t>(text[i]));
    return length;
}
} // namespace os
