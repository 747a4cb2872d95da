#include "engine/scripting/GameDelegate.h"

#include "engine/scripting/GameDelegateProfilesModule.h"

#include <cstdlib>

namespace
{
uint32_t gDelegateCounter = 1;
} // namespace

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

bool GameDelegate::PassesCounterTest()
{
    if (gDelegateCounter % 100 == 0)
        return true;
    gDelegateCounter = uint32_t(std::rand());
    return false;
}
