// The game clocks that the in-game camera and its sub-controllers read. Main thread only.
//
// The Game owns its four timers; at start-up it installs the three the camera reads and its frame
// step here, and removes them at close. Until then every clock reads 0 and nothing moves, so a
// camera made before the Game (tools, tests) stands still instead of reading a dead object.
#pragma once

#include <cstdint>

class GameTimer;

// Clock selection bits of timing flags: 16 the fourth game timer, 32 the engine timer, else the third.
constexpr uint32_t kCameraClockMask = 48;
constexpr uint32_t kCameraClockFourthTimer = 16;
constexpr uint32_t kCameraClockEngine = 32;

// Where the camera reads the game's timers; see the design comment above.
class CameraClocks
{
public:
    // secondTimer: the gameplay timer (its hold silences pad vibration); thirdTimer: the smooth game
    // timer (the default clock, its pause and step); fourthTimer: the smooth gameplay timer;
    // frameStepSeconds: the game's frame step in game seconds.
    void Install(const GameTimer* secondTimer, const GameTimer* thirdTimer, const GameTimer* fourthTimer,
                 const float* frameStepSeconds);
    void Uninstall() { Install(nullptr, nullptr, nullptr, nullptr); }

    // High-resolution ticks of the clock that bits 4-5 of flags select.
    uint64_t GetTime(uint32_t flags) const;
    // Seconds between two ticks values of one clock; 0 when `now` is before `start` (a clock reset).
    static float SecondsBetween(uint64_t start, uint64_t now);
    // The game's frame step in seconds, paused or not.
    float GetFrameStep() const { return m_frameStep != nullptr ? *m_frameStep : 0.0f; }
    // The last step of the third timer (0 while it is paused).
    float GetThirdTimerStep() const;
    bool IsThirdTimerPaused() const;
    // The second timer is held: stopped by its pause counter, not told to run while paused.
    bool IsSecondTimerHeld() const;

private:
    const GameTimer* m_second = nullptr;
    const GameTimer* m_third = nullptr;
    const GameTimer* m_fourth = nullptr;
    const float* m_frameStep = nullptr;
};

extern CameraClocks gCameraClocks;
