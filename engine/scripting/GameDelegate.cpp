#include "engine/scripting/GameDelegate.h"

#include "engine/Game.h"
#include "engine/scripting/GameDelegateProfilesModule.h"
#include "online/InGameStore.h"

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

bool GameDelegate::OpenInGameStore(uint32_t request, uint32_t argument)
{
    const InGameStore* const data = gGame.GetInGameStore();
    if (data == nullptr)
        return false;
    InGameStore store(*data);
    store.RunRequest(request, argument);
    return true;
}
