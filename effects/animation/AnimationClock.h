// AnimationClock: the time an animation and its fades run on, chosen by the time bits of its flags
// (game, gameplay, system, smooth gameplay, smooth game) or set by the caller. Main thread.
#pragma once

#include "core/time/Time.h"

#include <cstdint>

// A source of the current time for animations.
class AnimationClock
{
public:
    virtual ~AnimationClock() = default;
    virtual Time GetTime() const = 0;
};

class GameTimer;

// The clock the time bits (ANIMFLAG_TIME_MASK) of the flags select; any unknown value is game time.
const AnimationClock& GetAnimationClock(uint32_t flags);
// The clock over one of the Game's four timers (a custom clock for BaseAnimation::SetTimer); null
// for any other timer.
const AnimationClock* FindGameTimerClock(const GameTimer& timer);
