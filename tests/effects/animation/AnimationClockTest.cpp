// Which of the game's timers an animation's time flags make it run on.
#include "effects/animation/AnimationClock.h"

#include "effects/animation/AnimationParams.h"
#include "engine/EngineTimer.h"
#include "engine/Game.h"
#include "platform/os/Clock.h"

#include <gtest/gtest.h>

TEST(AnimationClockTest, EachTimeFlagReadsItsOwnTimerWhateverTheOtherFlags)
{
    GameTimer* const timers[] = {&gGame.GetGameTimer(), &gGame.GetGameplayTimer(), &gGame.GetSmoothGameTimer(),
                                 &gGame.GetSmoothGameplayTimer()};
    const uint32_t flags[] = {ANIMFLAG_GAMETIME, ANIMFLAG_GAMEPLAYTIME, ANIMFLAG_SMOOTHGAMETIME,
                              ANIMFLAG_SMOOTHGAMEPLAYTIME};
    for (uint64_t i = 0; i < 4; ++i)
        timers[i]->ResetTime(1000 * (i + 1));
    for (uint64_t i = 0; i < 4; ++i)
        EXPECT_EQ(GetAnimationClock(flags[i] | ANIMFLAG_LOOP).GetTime().GetTicks(), int64_t(1000 * (i + 1))) << i;
    EXPECT_EQ(GetAnimationClock(0x30).GetTime().GetTicks(), 1000) << "any other clock value is the game time";
    for (GameTimer* timer : timers)
        timer->Reset();
    // System time is the engine's real-time clock.
    gEngineTimer.Reset();
    os::Sleep(2);
    gEngineTimer.Advance(false);
    ASSERT_GT(gEngineTimer.GetTicks(), 0);
    EXPECT_EQ(GetAnimationClock(ANIMFLAG_SYSTEMTIME | ANIMFLAG_LOOP).GetTime().GetTicks(), gEngineTimer.GetTicks());
    gEngineTimer.Reset();
}
