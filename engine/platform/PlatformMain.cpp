#include "engine/platform/PlatformMain.h"

#include "core/console/GameConsole.h"
#include "engine/Game.h"
#include "engine/NorvexEngine.h"
#include "engine/config/ProjectConfig.h"
#include "engine/platform/GameWindow.h"
#include "engine/platform/PlatformState.h"
#include "platform/os/Clock.h"
#include "platform/window/Cursor.h"
#include "platform/window/WindowMessages.h"
#include "renderer/NorvexRenderer.h"

#include <cstdio>
#include <string>

namespace
{
constexpr uint32_t kInactiveSleepMs = 150;
constexpr uint32_t kInactiveBusySleepMs = 30;

void SubmitPlatformRendererSync()
{
    if (NorvexRenderer* renderer = gNorvexEngine.GetRenderer())
        renderer->SubmitCommands(true);
}

void RequestDeviceReset()
{
    if (NorvexRenderer* renderer = gNorvexEngine.GetRenderer())
        renderer->RequestDeviceReset();
}

void DrainMessages()
{
    win::Message message;
    while (win::PeekMessage(message, true))
    {
        win::TranslateMessage(message);
        win::DispatchMessage(message);
    }
}

void ApplyPendingResolution()
{
    uint32_t width = 0;
    uint32_t height = 0;
    if (gGame.IsQuitting() || !gGame.TakeResolutionRequest(width, height))
        return;
    SubmitPlatformRendererSync();
    // A refused change leaves the request taken, so it is not tried again every turn.
    if (ChangeDisplayMode(width, height))
        gGame.SetSize(width, height, false);
    RequestDeviceReset();
}

void ApplyPendingFullScreen()
{
    bool value = false;
    if (!gGame.TakeFullScreenRequest(value) || value == gPlatform.fullScreen)
        return;
    // The toggle sets the size and asks for the device reset when the mode changed.
    ToggleFullScreen();
}

// Focus came back: full screen again where it was asked for, the window shown, the app activated.
void OnFocused()
{
    if (gPlatform.fullScreen && !gPlatform.displayChanged)
    {
        uint32_t width = gPlatform.desktopWidth;
        uint32_t height = gPlatform.desktopHeight;
        ChangeDisplayMode(width, height);
        if (gPlatform.inactive)
            win::ShowWindow(gPlatform.window, win::kShowMaximize);
    }
    else if (gPlatform.inactive)
    {
        win::ShowWindow(gPlatform.window, win::kShowRestore);
    }
    if (gPlatform.inactive)
    {
        gPlatform.inactive = false;
        gGame.Activate(false);
    }
}

void OnUnfocused()
{
    if (gPlatform.displayChanged && gPlatform.displayChangeActive)
        RestoreStartDisplayMode();
    if (!gPlatform.inactive)
    {
        if (gPlatform.displayChanged)
            win::ShowWindow(gPlatform.window, win::kShowMinimized);
        gPlatform.inactive = true;
        gGame.Deactivate(false);
        win::ClipCursor(nullptr);
    }
    gNorvexEngine.Sleep(gGame.CanSleep() ? kInactiveSleepMs : kInactiveBusySleepMs);
}

// The renderer lost its device: it is made again at the current client size.
void RecreateDevice()
{
    win::Rect client;
    win::GetClientRect(gPlatform.window, client);
    gNorvexEngine.NotifyBeforeDeviceReset();
    if (NorvexRenderer* renderer = gNorvexEngine.GetRenderer())
        renderer->ApplyDisplaySettings(gPlatform.window, uint32_t(client.Width()), uint32_t(client.Height()), true,
                                       gPlatform.displayChanged);
    gNorvexEngine.NotifyAfterDeviceReset();
    ClipCursorToGameWindow();
}

void Shutdown(bool loopRan)
{
    if (loopRan)
    {
        const NorvexRenderer* renderer = gNorvexEngine.GetRenderer();
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "Main loop ran %u frames, %u presents",
                        win::GetCountedFrames(), renderer != nullptr ? renderer->GetPresentsExecuted() : 0u);
        gGame.Close();
    }
    gNorvexEngine.Close();
    if (gPlatform.displayChanged)
        RestoreStartDisplayMode();
}
} // namespace

bool RunMainLoopTurn()
{
    DrainMessages();
    if (gGame.IsQuitting())
        return false;
    ApplyPendingResolution();
    ApplyPendingFullScreen();
    const bool hasFocus = win::GetFocus() == gPlatform.window;
    bool allowRender = false;
    if (hasFocus)
    {
        OnFocused();
        allowRender = !gPlatform.resizePending;
    }
    else
    {
        OnUnfocused();
    }
    gGame.Update(allowRender);
    if (gPlatform.resizePending)
    {
        if (os::QueryCounter() > gPlatform.resizeDeadline)
        {
            gPlatform.resizePending = false;
            ApplyWindowClientSize();
        }
    }
    else if (hasFocus && !gGame.Render(false))
    {
        RecreateDevice();
    }
    win::CountFrame();
    return true;
}

int PlatformMain(int argc, char** argv, int32_t showCommand, GameDelegate* delegate, const char* projectName)
{
    const win::WindowHandle running = win::FindWindow(kGameWindowClassName);
    if (running != nullptr)
    {
        win::SetFocus(running);
        win::ShowWindow(running, win::kShowMaximize);
        win::SetForegroundWindow(running);
        std::fprintf(stderr, "%s runs already; it was brought to the front\n", projectName);
        return kExitClean;
    }
    win::InstallCloseOnSignals();
    RegisterGameWindowClass();
    const char* failure = nullptr;
    if (!CreateGameWindow(showCommand, projectName, &failure))
    {
        Shutdown(false);
        // Start-up failed: the exit code and standard error say so, not only the log.
        std::fprintf(stderr, "%s: start-up failed: %s\n", projectName, failure != nullptr ? failure : "unknown");
        return kExitStartupFailed;
    }
    ClipCursorToGameWindow();
    const std::string startScene = gProjectConfig.m_defaultScene;
    win::Rect client;
    win::GetClientRect(gPlatform.window, client);
    gGame.Init(gPlatform.window, uint32_t(client.Width()), uint32_t(client.Height()), delegate, argv, argc);
    gGame.Activate(false);
    gGame.SwitchScene(startScene.c_str(), 0, Game::kNoVariation, nullptr);
    while (RunMainLoopTurn())
    {
    }
    Shutdown(true);
    return kExitClean;
}
