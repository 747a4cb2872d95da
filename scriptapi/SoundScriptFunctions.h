// Script forms of sound operations the generator cannot bind directly (results through out
// parameters, text owned by the container). Main thread.
#pragma once

class SoundEntriesContainer;

// gSoundEntriesContainer:GetSoundEntryRandomTimeValues(name, 0, 0) -> found, delay, variance (the
// numbers are the in-out arguments, as every reference argument of the bindings).
bool ScriptGetSoundEntryRandomTimeValues(SoundEntriesContainer* container, const char* name, float& delay,
                                         float& variance);
// The suffix as text; valid until the next call (the binding copies it at once).
const char* ScriptGetSoundEntriesNameSuffix(SoundEntriesContainer* container);
