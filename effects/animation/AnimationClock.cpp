#include "effects/animation/AnimationClock.h"

#include "effects/animation/AnimationParams.h"
#include "engine/EngineTimer.h"
#include "engine/Game.h"

namespace
{
class GameTimerClock final : public AnimationClock
{
public:
    explicit GameTimerClock(GameTimer& (Game::*timer)()) : m_timer(timer) {}
    Time GetTime() const override { return (gGame.*m_timer)().GetTimeValue(); }
    bool Reads(const GameTimer& timer) const { return &(gGame.*m_timer)() == &timer; }

private:
    GameTimer& (Game::*m_timer)();
};

class SystemClock final : public AnimationClock
{
public:
    Time GetTime() const override { return Time(gEngineTimer.GetTicks()); }
};

const GameTimerClock gGameClock(&Game::GetGameTimer);
const GameTimerClock gGameplayClock(&Game::GetGameplayTimer);
const GameTimerClock gSmoothGameClock(&Game::GetSmoothGameTimer);
const GameTimerClock gSmoothGameplayClock(&Game::GetSmoothGameplayTimer);
const SystemClock gSystemClock;
} // namespace

const AnimationClock& GetAnimationClock(uint32_t flags)
{
    switch (flags & ANIMFLAG_TIME_MASK)
    {
    case ANIMFLAG_GAMEPLAYTIME:
        return gGameplayClock;
    case ANIMFLAG_SYSTEMTIME:
        return gSystemClock;
    case ANIMFLAG_SMOOTHGAMEPLAYTIME:
        return gSmoothGameplayClock;
    case ANIMFLAG_SMOOTHGAMETIME:
        return gSmoothGameClock;
    default:
        return gGameClock;
    }
}

const AnimationClock* FindGameTimerClock(const GameTimer& timer)
{
    for (const GameTimerClock* clock : {&gGameClock, &gGameplayClock, &gSmoothGameClock, &gSmoothGameplayClock})
        if (clock->Reads(timer))
            return clock;
    return nullptr;
}
