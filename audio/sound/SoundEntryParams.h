// The parameters a script fills in to add a sound entry (script class "SoundEntryParams").
// Plain data: the thread that made it.
#pragma once

#include "audio/sound/SoundEntry.h"

// Files, volume, ranges, pitch, repeat times and flags of a sound entry to be added.
class SoundEntryParams
{
public:
    // A block with the entry defaults (the script's SoundEntryParams.Instance).
    static SoundEntryParams Instance() { return SoundEntryParams(); }

    // Appends the name to the Sounds of the first list, made without tags when there is none.
    void AddSound(const char* name);
    void RemoveAllSounds() { m_lists.Clear(); }

    DynarraySafe<SoundEntrySoundList> m_lists;
    float Volume = 1.0f;
    float RangeMin = 100.0f;
    float RangeMax = 100.0f;
    float Pitch = 1.0f;
    float RandomDelay = 5.0f;
    float RandomVar = 5.0f;
    // True: the sound is positioned at its entity (the entry is not 2D).
    bool Attenuate = true;
    bool Loop = false;
    bool Important = false;
    bool True3D = false;
};
