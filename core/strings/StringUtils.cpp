#include "core/strings/StringUtils.h"

#include "core/strings/CaseTable.h"
#include "platform/os/CodePage.h"

#include <cstring>

namespace
{
int FoldAscii(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

bool IsTrimmed(char c)
{
    return c == '/' || c == '\\' || c == '.';
}

// Appends as much of `text` (length bytes) as fits, keeping the terminator.
void AppendBounded(char* out, size_t outSize, size_t& used, const char* text, size_t length)
{
    if (used + 1 >= outSize)
        return;
    const size_t room = outSize - 1 - used;
    const size_t count = length < room ? length : room;
    std::memcpy(out + used, text, count);
    used += count;
    out[used] = '\0';
}

void TrimTrailing(char* out, size_t& used)
{
    while (used > 0 && IsTrimmed(out[used - 1]))
        out[--used] = '\0';
}

const CaseTablePair* FindCasePair(char16_t lower)
{
    size_t low = 0;
    size_t high = kCaseTableSize;
    while (low < high)
    {
        const size_t middle = (low + high) / 2;
        if (kCaseTable[middle].lower < lower)
            low = middle + 1;
        else
            high = middle;
    }
    return (low < kCaseTableSize && kCaseTable[low].lower == lower) ? &kCaseTable[low] : nullptr;
}
} // namespace

int StrICmp(const char* a, const char* b)
{
    if (a == nullptr || b == nullptr)
        return (a == nullptr ? 0 : 1) - (b == nullptr ? 0 : 1);
    for (;; ++a, ++b)
    {
        const int difference = FoldAscii(static_cast<unsigned char>(*a)) - FoldAscii(static_cast<unsigned char>(*b));
        if (difference != 0 || *a == '\0')
            return difference;
    }
}

void StrReplaceChar(char* text, char from, char to)
{
    if (text == nullptr)
        return;
    for (; *text != '\0'; ++text)
        if (*text == from)
            *text = to;
}

std::string TrimBlanks(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return std::string();
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

void WideStringToUpper(char16_t* text, bool keepPiped)
{
    if (text == nullptr)
        return;
    for (; *text != 0; ++text)
    {
        if (keepPiped && *text == u'|')
        {
            ++text;
            while (*text != 0 && *text != u'|')
                ++text;
            if (*text == 0)
                return;
            continue;
        }
        if (const CaseTablePair* pair = FindCasePair(*text))
            *text = pair->upper;
    }
}

void WideCharToUpper(char16_t* character)
{
    if (character == nullptr)
        return;
    const CaseTablePair* pair = FindCasePair(*character);
    *character = pair != nullptr ? pair->upper : 0;
}

bool WideToMultiByte(char* out, size_t outSize, const char16_t* text, size_t length, uint32_t codePage)
{
    if (out == nullptr || outSize == 0)
        return false;
    out[0] = '\0';
    if (text == nullptr || length == 0)
        return true;
    const size_t written = os::WideToNarrow(codePage, text, length, out, outSize - 1);
    out[written] = '\0';
    return written > 0;
}

bool MultiByteToWide(char16_t* out, size_t outSize, const char* text, size_t length, uint32_t codePage)
{
    if (out == nullptr || outSize == 0)
        return false;
    out[0] = 0;
    if (text == nullptr || length == 0)
        return true;
    const size_t written = os::NarrowToWide(codePage, text, length, out, outSize - 1);
    out[written] = 0;
    return written > 0;
}

size_t WideStringLength(const char16_t* text)
{
    size_t length = 0;
    if (text != nullptr)
        while (text[length] != 0)
            ++length;
    return length;
}

bool WideStringToMultiByte(char* out, size_t outSize, const char16_t* text, uint32_t codePage)
{
    return WideToMultiByte(out, outSize, text, WideStringLength(text), codePage);
}

bool MultiByteStringToWide(char16_t* out, size_t outSize, const char* text, uint32_t codePage)
{
    return MultiByteToWide(out, outSize, text, text != nullptr ? std::strlen(text) : 0, codePage);
}

void ExtractDirectory(char* out, size_t outSize, const char* path)
{
    if (out == nullptr || outSize == 0)
        return;
    out[0] = '\0';
    if (path == nullptr)
        return;
    const char* last = nullptr;
    for (const char* cursor = path; *cursor != '\0'; ++cursor)
        if (*cursor == '/' || *cursor == '\\')
            last = cursor;
    size_t used = 0;
    if (last != nullptr)
        AppendBounded(out, outSize, used, path, static_cast<size_t>(last - path));
}

void BuildPath(char* out, size_t outSize, const char* path, const char* extension, const char* base)
{
    if (out == nullptr || outSize == 0)
        return;
    out[0] = '\0';
    size_t used = 0;
    if (base != nullptr)
    {
        AppendBounded(out, outSize, used, base, std::strlen(base));
        TrimTrailing(out, used);
    }
    if (path != nullptr)
    {
        if (used != 0)
            while (IsTrimmed(*path))
                ++path;
        else
            while (*path == '.')
                ++path;
        if (*path != '\0')
        {
            if (used != 0)
                AppendBounded(out, outSize, used, "/", 1);
            AppendBounded(out, outSize, used, path, std::strlen(path));
        }
        TrimTrailing(out, used);
    }
    if (extension != nullptr)
    {
        bool meaningful = false;
        for (const char* cursor = extension; *cursor != '\0'; ++cursor)
            meaningful = meaningful || !IsTrimmed(*cursor);
        if (meaningful)
        {
            AppendBounded(out, outSize, used, ".", 1);
            AppendBounded(out, outSize, used, extension, std::strlen(extension));
        }
    }
    StrReplaceChar(out, '\\', '/');
}

void GetFirstPathComponent(char* out, size_t outSize, const char* path)
{
    if (out == nullptr || outSize == 0)
        return;
    out[0] = '\0';
    if (path == nullptr || outSize < 2)
        return;
    size_t length = 0;
    while (path[length] != '\0' && path[length] != '/')
        ++length;
    size_t used = 0;
    AppendBounded(out, outSize, used, path, length);
}

bool IsAbsolutePath(const char* path)
{
    if (path == nullptr)
        return false;
    if (path[0] == '/' || path[0] == '\\')
        return true; // "//server/..." and, on this platform, "/..."
    const unsigned char first = static_cast<unsigned char>(path[0]);
    return ((first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z')) && path[1] == ':';
}
