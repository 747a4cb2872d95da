// Script forms of the calls that take one of the Game's timers (gGame:GetGameplayTimer()). Main
// thread.
#pragma once

class GameTimer;
class ProceduralTargetingAnimation;

// The animation runs on the timer's clock from now on; nil leaves it on the game clock (its flags'
// clock bits are cleared either way). A timer that is not one of the Game's is refused (logged).
void ScriptTargetingSetTimer(ProceduralTargetingAnimation* animation, const GameTimer* timer);
