// The small Game methods scripts call on gGame: pause, the UI screen stack, the loading screen,
// delegate forwards, outlines, key binds and the ambient lighting. Main thread only.
#include "engine/Game.h"

#include "core/console/GameConsole.h"
#include "engine/config/GameConfig.h"
#include "engine/config/ProjectConfig.h"
#include "engine/platform/AlienFX.h"
#include "engine/scripting/GameDelegate.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/resources/ResourceManager.h"

#include <cerrno>
#include <cstdlib>

bool gBackKeyDeactivatesApp = false;

void Game::BindKey(uint32_t key, const char* command)
{
    gGameConfig.BindKey(key, command);
}

void Game::RemoveAllKeyBinds()
{
    gGameConfig.RemoveAllKeyBinds();
}

void Game::SetUserPause(bool paused)
{
    if (paused == m_userPaused)
        return;
    m_userPaused = paused;
    for (GameTimer* timer : {&m_gameTimer, &m_smoothGameTimer, &m_gameplayTimer, &m_smoothGameplayTimer})
        timer->Pause(paused);
}

void Game::SetActiveUIScreen(UIScreen* screen)
{
    m_screenStack.Clear(false);
    m_screenStack.PushScreen(screen);
}

void Game::AppendUIScreen(UIScreen* screen)
{
    m_screenStack.PushScreen(screen);
}

void Game::SetLoadingUIScreen(UIScreen* screen, uint8_t option)
{
    m_loadingScreen = screen;
    m_loadingScreenOption = option;
}

void Game::EvictTemporaryLoadingScreenResources()
{
    if (gResourceManager != nullptr && gResourceManager->IsInitialised())
        gResourceManager->PostCommand(RESOURCE_POOL_ALL, RESOURCE_FLAG_LOADING_SCREEN, RESOURCE_FLAG_LOADING_SCREEN);
}

void Game::TurnLoadingScreenOff()
{
    if (gRenderer != nullptr && gRenderer->IsStreamOpen())
        gRenderer->SetLoadingScreen(nullptr, 1, 0);
}

void Game::ShowLoadingScreen()
{
    UIScreen* const screen = m_loadingScreen.Get();
    if (screen != nullptr && gRenderer != nullptr && gRenderer->IsStreamOpen())
        gRenderer->SetLoadingScreen(screen, 1, m_loadingScreenOption);
}

bool Game::IsLoadingScreenActive() const
{
    return gRenderer != nullptr && gRenderer->IsLoadingScreenShown();
}

void Game::OnMainMenuEntered()
{
    if (m_delegate != nullptr)
        m_delegate->OnMainMenuEntered();
}

void Game::OnMainMenuLeft()
{
    if (m_delegate != nullptr)
        m_delegate->OnMainMenuLeft();
}

void Game::OnAfterMainMenuSceneLoaded()
{
    if (m_delegate != nullptr)
        m_delegate->OnAfterMainMenuSceneLoaded();
}

void Game::OnBeforeMainMenuSceneUnloaded()
{
    if (m_delegate != nullptr)
        m_delegate->OnBeforeMainMenuSceneUnloaded();
}

void Game::NotifyDelegateBeforeDeviceChange()
{
    if (m_delegate != nullptr)
        m_delegate->OnBeforeDeviceChange();
}

void Game::NotifyDelegateAfterDeviceChange()
{
    if (m_delegate != nullptr)
        m_delegate->OnAfterDeviceChange();
}

void Game::NotifyDelegateBeforeRendererSetup()
{
    if (m_delegate != nullptr)
        m_delegate->OnBeforeRendererSetup();
}

void Game::RevertToDefaultOutlineParams()
{
    m_outlineParams = gProjectConfig.m_outline;
}

void Game::SetOutlineMaskStr(const char* text)
{
    // Only a whole hexadecimal number changes the mask; anything else keeps it (logged).
    if (text == nullptr || text[0] == '\0' || text[0] == '-')
    {
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "SetOutlineMaskStr: \"%s\" is not a hexadecimal mask",
                         text != nullptr ? text : "(null)");
        return;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, 16);
    if (errno != 0 || end == text || *end != '\0' || value > 0xFFFFFFFFul)
    {
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "SetOutlineMaskStr: \"%s\" is not a hexadecimal mask", text);
        return;
    }
    m_outlineMask = uint32_t(value);
}

void Game::EnableAppDeactivationOnBackPressed(bool flag)
{
    gBackKeyDeactivatesApp = flag;
}

bool Game::IsStandaloneBuild() const
{
    return gGameConfig.IsStandaloneBuild();
}

void Game::InitEnvLight()
{
    gAlienFX.Init();
    gAlienFX.Reset();
}

void Game::SetEnvLight(const Vector& colour)
{
    const float components[4] = {colour.x, colour.y, colour.z, colour.w};
    gAlienFX.SetColor(AlienFX::kAllLocations, components);
    gAlienFX.Update();
}

void Game::DeinitEnvLight()
{
    gAlienFX.Release();
}
