// The language name table shared by the user and project configuration, and the text form of a
// font replacement's language. Plain data; any thread.
#pragma once

#include <cstdint>

// Number of language ids: 0 "Polish" to 10 "Korean", 11 an empty name, 12 "Default".
constexpr uint32_t kLanguageCount = 13;
// Ids below this have a name of their own; 11 is "none".
constexpr uint32_t kNamedLanguageCount = 11;
constexpr uint32_t kLanguageEnglish = 1;
constexpr uint32_t kLanguageNone = 11;
constexpr uint32_t kLanguageDefault = 12;

// Null-terminated value list of the language enumerations.
extern const char* const gLanguageNames[kLanguageCount + 1];

// Case-insensitive match against ids 0 to 10; 11 when nothing matches.
uint32_t LanguageIdFromName(const char* name);
// The name of ids 0 to 10; an empty name for any other id.
const char* LanguageNameOfId(uint32_t id);
