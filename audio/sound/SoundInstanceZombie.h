// A stand-in without voice for a looping 3D sound out of the listener's range. Sound thread only.
#pragma once

#include "audio/sound/SoundInstanceBase.h"

// Waits, voiceless, until its emitter is back in range, then revives the sound from its start.
class SoundInstanceZombie : public SoundInstanceBase
{
public:
    // kind 0 revives as a static instance, 1 as a streamed one.
    SoundInstanceZombie(uint32_t kind, const SoundInstanceBase& source);

    bool Update() override;
    const char* GetName() const override { return "Zombie"; }
    bool IsZombie() const override { return true; }

private:
    uint32_t m_kind;
};
