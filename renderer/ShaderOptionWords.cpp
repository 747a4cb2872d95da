#include "renderer/ShaderOptionWords.h"

#include <cstring>

bool RemoveOptionWord(char* text, const char* word)
{
    if (text == nullptr || word == nullptr || word[0] == 0)
        return false;
    const size_t length = std::strlen(word);
    for (char* match = std::strstr(text, word); match != nullptr; match = std::strstr(match + 1, word))
    {
        const bool startsWord = match == text || match[-1] == ' ';
        const bool endsWord = match[length] == 0 || match[length] == ' ';
        if (startsWord && endsWord)
        {
            std::memset(match, ' ', length);
            return true;
        }
    }
    return false;
}
