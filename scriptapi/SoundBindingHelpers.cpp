#include "scriptapi/SoundBindingHelpers.h"

#include "audio/sound/SoundEngine.h"
#include "audio/sound/SoundEntriesContainer.h"
#include "scene/entities/Entity.h"

#include <string>

void ScriptSoundStop(SoundEngine* engine, uint32_t id, float fadeSeconds)
{
    engine->StopSound(id, fadeSeconds, nullptr);
}

void ScriptSoundExitLoop(SoundEngine* engine, uint32_t id)
{
    engine->ExitLoop(id, nullptr);
}

namespace
{
// The emitter an owner names. False when the owner has never sounded: none of its sounds can play,
// and posting owner 0 would reach every other owner's sounds instead.
bool SoundBindingOwnerEmitter(const Entity* owner, const EntitySoundEmitter*& emitter)
{
    emitter = owner != nullptr ? owner->FindSoundEmitter() : nullptr;
    return owner == nullptr || emitter != nullptr;
}
} // namespace

void ScriptSoundPause(SoundEngine* engine, uint32_t id, float fadeSeconds, const Entity* owner)
{
    const EntitySoundEmitter* emitter = nullptr;
    if (SoundBindingOwnerEmitter(owner, emitter))
        engine->PauseSound(id, fadeSeconds, emitter, -1);
}

void ScriptSoundResume(SoundEngine* engine, uint32_t id, float fadeSeconds, const Entity* owner)
{
    const EntitySoundEmitter* emitter = nullptr;
    if (SoundBindingOwnerEmitter(owner, emitter))
        engine->ResumeSound(id, fadeSeconds, emitter, -1);
}

void ScriptSoundSetVolume(SoundEngine* engine, uint32_t id, float volume, float fadeSeconds, uint32_t easing)
{
    engine->SetVolume(id, volume, fadeSeconds, easing, nullptr);
}

void ScriptSoundSetFrequencyRatio(SoundEngine* engine, uint32_t id, float ratio, float fadeSeconds, uint32_t easing)
{
    engine->SetFrequencyRatio(id, ratio, fadeSeconds, easing, nullptr);
}

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
