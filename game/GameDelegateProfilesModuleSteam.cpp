#include "game/GameDelegateProfilesModuleSteam.h"

#include "online/GamerProfile.h"

GameDelegateProfilesModuleSteam::~GameDelegateProfilesModuleSteam()
{
    StopProfiles();
}

bool GameDelegateProfilesModuleSteam::StartProfiles()
{
    if (m_profile == nullptr)
        m_profile = CreateGamerProfile();
    return m_profile != nullptr && m_profile->Start(0, 0);
}

void GameDelegateProfilesModuleSteam::StopProfiles()
{
    if (m_profile == nullptr)
        return;
    m_profile->Stop();
    delete m_profile;
    m_profile = nullptr;
}
