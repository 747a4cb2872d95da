// Gamer-profile module of a game delegate. Main thread.
#pragma once

// Keeps the player's gamer profile while the game runs; made by the delegate's factory hook.
class GameDelegateProfilesModule
{
public:
    virtual ~GameDelegateProfilesModule() = default;
    virtual bool StartProfiles() = 0;
    virtual void StopProfiles() = 0;
};
