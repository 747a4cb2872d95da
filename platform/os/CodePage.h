// Conversion between UTF-16 (char16_t) and narrow text of a code page. Narrow text of the system
// is Windows-1252. Any thread may call these.
#pragma once

#include <cstddef>
#include <cstdint>

namespace os
{
constexpr uint32_t kCodePageSystem = 0; // the system code page: Windows-1252
constexpr uint32_t kCodePageWindows1252 = 1252;

bool IsSupportedCodePage(uint32_t codePage);
// Every byte has a character (bytes Windows leaves undefined map to U+0081 and the like).
char16_t Windows1252ToUtf16(uint8_t byte);
// '?' when the character has no byte.
uint8_t Utf16ToWindows1252(char16_t character);

// Convert `length` units without adding a terminator; the number written, or 0 when the code
// page is unknown or the output does not hold them all.
size_t WideToNarrow(uint32_t codePage, const char16_t* text, size_t length, char* out, size_t outSize);
size_t NarrowToWide(uint32_t codePage, const char* text, size_t length, char16_t* out, size_t outSize);
} // namespace os
