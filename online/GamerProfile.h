// A player's gamer profile as the profile modules start and stop it. Main thread.
#pragma once

#include <cstdint>

// The profile object a profiles module creates; the online subsystem supplies the kinds.
class GamerProfile
{
public:
    virtual ~GamerProfile() = default;
    virtual bool Start(uint32_t a, uint32_t b) = 0;
    virtual void Stop() = 0;
};
