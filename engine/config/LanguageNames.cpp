#include "engine/config/LanguageNames.h"

#include "core/strings/StringUtils.h"

const char* const gLanguageNames[kLanguageCount + 1] = {
    "Polish",  "English", "German", "French",     "Italian", "Spanish", "Japanese",
    "Chinese", "Russian", "Portuguese", "Korean", "",        "Default", nullptr,
};

uint32_t LanguageIdFromName(const char* name)
{
    if (name == nullptr)
        return kLanguageNone;
    for (uint32_t id = 0; id < kNamedLanguageCount; ++id)
        if (StrICmp(name, gLanguageNames[id]) == 0)
            return id;
    return kLanguageNone;
}

const char* LanguageNameOfId(uint32_t id)
{
    return id < kNamedLanguageCount ? gLanguageNames[id] : "";
}
