// Script forms of the sound engine's per-instance operations: scripts name no channel (every
// channel) and, but for pause and resume, no emitter (any owner). Main thread, like every script call.
#pragma once

#include <cstdint>

class Entity;
class SoundEngine;
class SoundEntriesContainer;

void ScriptSoundStop(SoundEngine* engine, uint32_t id, float fadeSeconds);
void ScriptSoundExitLoop(SoundEngine* engine, uint32_t id);
// Pause and resume may name an owner: only the sounds the entity plays (none when it never played
// one); without an owner every owner's.
void ScriptSoundPause(SoundEngine* engine, uint32_t id, float fadeSeconds, const Entity* owner);
void ScriptSoundResume(SoundEngine* engine, uint32_t id, float fadeSeconds, const Entity* owner);
void ScriptSoundSetVolume(SoundEngine* engine, uint32_t id, float volume, float fadeSeconds, uint32_t easing);
void ScriptSoundSetFrequencyRatio(SoundEngine* engine, uint32_t id, float ratio, float fadeSeconds, uint32_t easing);

// gSoundEntriesContainer:GetSoundEntryRandomTimeValues(name, 0, 0) -> found, delay, variance (the
// numbers are the in-out arguments, as every reference argument of the bindings).
bool ScriptGetSoundEntryRandomTimeValues(SoundEntriesContainer* container, const char* name, float& delay,
                                         float& variance);
// The suffix as text; valid until the next call (the binding copies it at once).
const char* ScriptGetSoundEntriesNameSuffix(SoundEntriesContainer* container);
