#include "core/strings/TextAppend.h"

#include "core/strings/StringUtils.h"
#include "platform/os/CodePage.h"

#include <cstring>

namespace
{
constexpr size_t kMaxKeyLength = 63;

template <typename T>
void AppendUnits(Dynarray<T>& array, const T* units, size_t count)
{
    if (count == 0)
        return;
    const int32_t start = array.Count();
    array.Resize(start + static_cast<int32_t>(count));
    std::memcpy(array.Data() + start, units, count * sizeof(T));
}

void AppendNarrow(Dynarray<char16_t>& array, const char* text, size_t length)
{
    if (length == 0)
        return;
    const int32_t start = array.Count();
    array.Resize(start + static_cast<int32_t>(length));
    // A narrow byte above 127 is a code-page character, never a sign-extended 0xFF80-0xFFFF.
    for (size_t i = 0; i < length; ++i)
        array[start + static_cast<int32_t>(i)] = os::Windows1252ToUtf16(static_cast<uint8_t>(text[i]));
}

const TextReplacement* FindRow(const TextReplacementTable& table, const NameString& key)
{
    for (const TextReplacement& row : table)
        if (row.key == key)
            return &row;
    return nullptr;
}
} // namespace

void AppendString(Dynarray<char>& array, const char* text)
{
    if (text != nullptr)
        AppendUnits(array, text, std::strlen(text));
}

void AppendWideString(Dynarray<char16_t>& array, const char16_t* text)
{
    AppendUnits(array, text, WideStringLength(text));
}

void AppendAsciiString(Dynarray<char16_t>& array, const char* text)
{
    if (text != nullptr)
        AppendNarrow(array, text, std::strlen(text));
}

void AppendWithReplacements(Dynarray<char16_t>& array, const char16_t* text, const TextReplacementTable& table)
{
    const size_t length = WideStringLength(text);
    if (array.Capacity() < array.Count() + static_cast<int32_t>(length))
        array.SetCapacity(array.Count() + static_cast<int32_t>(length));
    const char16_t* cursor = text;
    const char16_t* const end = text + length;
    while (cursor < end)
    {
        const char16_t* caret = cursor;
        while (caret < end && *caret != u'^')
            ++caret;
        AppendUnits(array, cursor, static_cast<size_t>(caret - cursor));
        if (caret == end)
            return;
        const char16_t* const keyStart = caret + 1;
        const char16_t* keyEnd = keyStart;
        while (keyEnd < end && *keyEnd != u'^')
            ++keyEnd;
        if (keyEnd == end)
            return;
        const size_t keyLength = static_cast<size_t>(keyEnd - keyStart);
        if (keyLength >= 1 && keyLength <= kMaxKeyLength)
        {
            char key[kMaxKeyLength + 1];
            for (size_t i = 0; i < keyLength; ++i)
                key[i] = static_cast<char>(keyStart[i] & 0xFF);
            key[keyLength] = '\0';
            if (const TextReplacement* row = FindRow(table, NameString(key)))
            {
                if (row->isWide)
                    AppendUnits(array, row->wideText.data(), row->wideText.size());
                else
                    AppendNarrow(array, row->narrowText.data(), row->narrowText.size());
            }
        }
        cursor = keyEnd + 1;
    }
}
