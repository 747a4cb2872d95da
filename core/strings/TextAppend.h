// Appending text to character arrays, and the expansion of ^key^ variables in 16-bit text.
// Owner thread of the array only.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/strings/NameString.h"

#include <string>

// One ^key^ variable: its name and the text it expands to (16-bit when `isWide`).
struct TextReplacement
{
    NameString key;
    std::string narrowText;
    bool isWide = false;
    std::u16string wideText;
};

using TextReplacementTable = DynarraySafe<TextReplacement>;

// Appends the bytes of a terminated string, without the terminator.
void AppendString(Dynarray<char>& array, const char* text);
// Appends the characters of a terminated 16-bit string, without the terminator.
void AppendWideString(Dynarray<char16_t>& array, const char16_t* text);
// Appends narrow text converted through the system code page (Windows-1252), one character per byte.
void AppendAsciiString(Dynarray<char16_t>& array, const char* text);
// Appends `text` with every ^key^ replaced by its row's text: an unknown key, an empty key or a
// key of 64 characters or more expands to nothing; an unclosed '^' drops the rest of the text.
void AppendWithReplacements(Dynarray<char16_t>& array, const char16_t* text, const TextReplacementTable& table);
