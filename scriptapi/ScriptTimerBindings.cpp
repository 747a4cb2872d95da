#include "scriptapi/ScriptTimerBindings.h"

#include "core/console/GameConsole.h"
#include "effects/animation/AnimationClock.h"
#include "effects/animation/ProceduralTargetingAnimation.h"

void ScriptTargetingSetTimer(ProceduralTargetingAnimation* animation, const GameTimer* timer)
{
    const AnimationClock* clock = nullptr;
    if (timer != nullptr && (clock = FindGameTimerClock(*timer)) == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "SetTimer: the timer is not one of the game's timers");
        return;
    }
    animation->SetTimer(clock);
}
