#include "engine/scripting/GameDelegate.h"

#include "engine/scripting/GameDelegateProfilesModule.h"

GameDelegate::~GameDelegate()
{
    delete m_profilesModule;
}

bool GameDelegate::OnInit()
{
    if (m_profilesModule == nullptr)
        m_profilesModule = CreateProfilesModule();
    return true;
}
