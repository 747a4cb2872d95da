// SoundPauseSwitch: the process-wide {enabled, paused} pair of the sound side. App deactivation
// sets paused and activation clears it, each only while the switch is enabled. Main thread.
#pragma once

// The sound side's pause switch.
struct SoundPauseSwitch
{
    bool enabled = false;
    bool paused = false;

    void OnDeactivate()
    {
        if (enabled)
            paused = true;
    }
    void OnActivate()
    {
        if (enabled)
            paused = false;
    }
};

extern SoundPauseSwitch gSoundPauseSwitch;
