#include "scriptapi/SoundScriptFunctions.h"

#include "audio/sound/SoundEntriesContainer.h"

#include <string>

bool ScriptGetSoundEntryRandomTimeValues(SoundEntriesContainer* container, const char* name, float& delay,
                                         float& variance)
{
    return container != nullptr && container->GetSoundEntryRandomTimeValues(name, &delay, &variance);
}

const char* ScriptGetSoundEntriesNameSuffix(SoundEntriesContainer* container)
{
    static std::string suffix;
    suffix = container != nullptr ? container->GetSoundEntriesNameSuffix() : std::string();
    return suffix.c_str();
}
