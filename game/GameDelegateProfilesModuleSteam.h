// The Steam-backed gamer-profile module of the game's delegate. Main thread.
#pragma once

#include "engine/scripting/GameDelegateProfilesModule.h"

class GamerProfile;

// Starts and stops the gamer profile that its factory makes.
class GameDelegateProfilesModuleSteam : public GameDelegateProfilesModule
{
public:
    ~GameDelegateProfilesModuleSteam() override;

    bool StartProfiles() override;
    void StopProfiles() override;
    GamerProfile* GetGamerProfile() const { return m_profile; }

protected:
    // The Steam gamer-profile kind belongs to the online subsystem; until it exists none is made.
    virtual GamerProfile* CreateGamerProfile() { return nullptr; }

private:
    GamerProfile* m_profile = nullptr;
};
