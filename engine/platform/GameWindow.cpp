#include "engine/platform/GameWindow.h"

#include "core/console/GameConsole.h"
#include "engine/Game.h"
#include "engine/NorvexEngine.h"
#include "engine/config/GameConfig.h"
#include "engine/platform/PlatformState.h"
#include "platform/window/Cursor.h"
#include "platform/window/Display.h"
#include "platform/window/WindowMessages.h"
#include "renderer/NorvexRenderer.h"

#include <algorithm>


namespace
{
constexpr uint32_t kCreationStyle = win::kStylePopup | win::kStyleClipSiblings | win::kStyleClipChildren;
// Style bits the windowed mode clears before it sets the overlapped-window bits.
constexpr uint32_t kWindowedStyleMask = 0x7F30FFFFu;
constexpr float kHeightPerWidth = 0.5625f;
constexpr float kWidthPerHeight = 1.7777778f;

void SubmitRendererSync()
{
    if (NorvexRenderer* renderer = gNorvexEngine.GetRenderer())
        renderer->SubmitCommands(true);
}
} // namespace

void RegisterGameWindowClass()
{
    win::RegisterWindowClass(kGameWindowClassName, win::kClassStyleHRedraw | win::kClassStyleVRedraw, &GameWindowProc,
                             win::LoadArrowCursor());
}

bool CreateGameWindow(int32_t showCommand, const char* projectName, const char** failure)
{
    win::EnumDisplaySettings(win::kEnumCurrentSettings, gPlatform.startMode);
    gPlatform.window = win::CreateWindow(kGameWindowClassName, "???", kCreationStyle, 100, 100, 800, 480);
    if (gPlatform.window == nullptr)
    {
        *failure = "the game window could not be created";
        return false;
    }
    if (!gNorvexEngine.Init(gPlatform.window, projectName, "Game.Config", &gGameConfig, true))
    {
        const char* reason = gNorvexEngine.GetStartupFailure();
        *failure = *reason != '\0' ? reason : "the engine did not start (its reason is in the log)";
        return false;
    }
    win::SetWindowText(gPlatform.window, gNorvexEngine.GetProjectName());
    gPlatform.fullScreen = gGameConfig.m_fullScreenMode;
    gPlatform.desktopWidth = uint32_t(win::GetSystemMetrics(win::kMetricScreenWidth));
    gPlatform.desktopHeight = uint32_t(win::GetSystemMetrics(win::kMetricScreenHeight));
    gPlatform.windowedWidth = gGameConfig.m_windowWidth;
    gPlatform.windowedHeight = gGameConfig.m_windowHeight;
    uint32_t width = gPlatform.fullScreen ? gPlatform.desktopWidth : gPlatform.windowedWidth;
    uint32_t height = gPlatform.fullScreen ? gPlatform.desktopHeight : gPlatform.windowedHeight;
    if (!ChangeDisplayMode(width, height))
    {
        gNorvexEngine.Close();
        *failure = "the display mode could not be set";
        return false;
    }
    win::ShowWindow(gPlatform.window, showCommand);
    win::UpdateWindow(gPlatform.window);
    return true;
}

bool ChangeDisplayMode(uint32_t& width, uint32_t& height)
{
    const win::WindowHandle window = gPlatform.window;
    if (window == nullptr)
        return false;
    if (!gPlatform.fullScreen)
    {
        width = std::min(width, gPlatform.desktopWidth);
        height = std::min(height, gPlatform.desktopHeight);
        gPlatform.windowedWidth = width;
        gPlatform.windowedHeight = height;
        const uint32_t style =
            (win::GetWindowLong(window, win::kLongStyle) & kWindowedStyleMask) | win::kStyleOverlappedWindow;
        win::SetWindowLong(window, win::kLongStyle, style);
        win::Rect outer{0, 0, int32_t(width), int32_t(height)};
        win::AdjustWindowRect(outer, style, false);
        const int32_t x = (int32_t(gPlatform.desktopWidth) - outer.Width()) / 2;
        const int32_t y = (int32_t(gPlatform.desktopHeight) - outer.Height()) / 2;
        win::SetWindowPos(window, win::kNoTopMost, x, y, outer.Width(), outer.Height(), win::kPosFrameChanged);
        return true;
    }
    uint32_t refreshRate = 0;
    if (NorvexRenderer* renderer = gNorvexEngine.GetRenderer())
        renderer->FindDisplayMode(&width, &height, &refreshRate);
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "Switching screen resolution to %dx%d", int(width),
                    int(height));
    gPlatform.workingMode = gPlatform.startMode;
    gPlatform.workingMode.fields = win::kModeWidth | win::kModeHeight;
    gPlatform.workingMode.width = width;
    gPlatform.workingMode.height = height;
    SubmitRendererSync();
    if (win::ChangeDisplaySettings(&gPlatform.workingMode, 0) != win::kDisplayChangeSuccessful)
        return false;
    gPlatform.displayChanged = true;
    gPlatform.displayChangeActive = true;
    const uint32_t style = (win::GetWindowLong(window, win::kLongStyle) & ~win::kStyleOverlappedWindow) | win::kStylePopup;
    win::SetWindowLong(window, win::kLongStyle, style);
    win::SetWindowPos(window, win::kTopMost, 0, 0, int32_t(width), int32_t(height), win::kPosFrameChanged);
    return true;
}

void ClipCursorToGameWindow()
{
    win::Rect client;
    if (gPlatform.displayChanged && win::GetClientRect(gPlatform.window, client))
    {
        win::Point origin;
        win::ClientToScreen(gPlatform.window, origin);
        const win::Rect onScreen{origin.x, origin.y, origin.x + client.Width(), origin.y + client.Height()};
        win::ClipCursor(&onScreen);
        return;
    }
    win::ClipCursor(nullptr);
}

void RestoreStartDisplayMode()
{
    SubmitRendererSync();
    win::ChangeDisplaySettings(&gPlatform.startMode, 0);
    gPlatform.displayChangeActive = false;
}

void ApplyWindowClientSize()
{
    win::Rect client;
    if (gPlatform.window == nullptr || !win::GetClientRect(gPlatform.window, client) || client.Width() <= 0 ||
        client.Height() <= 0)
        return;
    uint32_t width = uint32_t(client.Width());
    uint32_t height = uint32_t(client.Height());
    if (width == gPlatform.lastClientWidth && height == gPlatform.lastClientHeight &&
        gPlatform.displayChanged == gGameConfig.m_fullScreenMode)
    {
        // Same size and mode: the renderer keeps its size.
        width = 0;
        height = 0;
    }
    else
    {
        gPlatform.lastClientWidth = width;
        gPlatform.lastClientHeight = height;
        gGame.SetSize(width, height, false);
    }
    gGameConfig.m_fullScreenMode = gPlatform.displayChanged;
    if (!gPlatform.displayChanged)
    {
        gPlatform.windowedWidth = uint32_t(client.Width());
        gPlatform.windowedHeight = uint32_t(client.Height());
        gGameConfig.m_windowWidth = gPlatform.windowedWidth;
        gGameConfig.m_windowHeight = gPlatform.windowedHeight;
    }
    gNorvexEngine.SaveConfig();
    gNorvexEngine.NotifyBeforeDeviceReset();
    if (NorvexRenderer* renderer = gNorvexEngine.GetRenderer())
        renderer->ApplyDisplaySettings(gPlatform.window, width, height, true, gPlatform.displayChanged);
    gNorvexEngine.NotifyAfterDeviceReset();
    ClipCursorToGameWindow();
}

void ToggleFullScreen()
{
    gPlatform.fullScreen = !gPlatform.fullScreen;
    uint32_t width = gPlatform.desktopWidth;
    uint32_t height = gPlatform.desktopHeight;
    if (!gPlatform.fullScreen)
    {
        width = gPlatform.windowedWidth;
        height = gPlatform.windowedHeight;
        if (gPlatform.displayChanged)
        {
            RestoreStartDisplayMode();
            gPlatform.displayChanged = false;
        }
    }
    if (!ChangeDisplayMode(width, height))
        return;
    gGame.SetSize(width, height, false);
    if (NorvexRenderer* renderer = gNorvexEngine.GetRenderer())
        renderer->RequestDeviceReset();
}

void ConstrainSizingRect(uintptr_t edge, win::Rect& rect, uint32_t style, uint32_t exStyle)
{
    win::Rect frame;
    if (!win::AdjustWindowRectEx(frame, style, false, exStyle))
        frame = win::Rect();
    const int32_t frameWidth = frame.Width();
    const int32_t frameHeight = frame.Height();
    int32_t w = std::max(rect.Width() - frameWidth, kMinimumClientWidth);
    int32_t h = std::max(rect.Height() - frameHeight, kMinimumClientHeight);
    switch (edge)
    {
    case win::kEdgeLeft:
    case win::kEdgeRight:
        h = int32_t(float(w) * kHeightPerWidth);
        rect.bottom = rect.top + h + frameHeight;
        if (edge == win::kEdgeRight)
            rect.right = rect.left + w + frameWidth;
        else
            rect.left = rect.right - w - frameWidth;
        break;
    case win::kEdgeTop:
    case win::kEdgeBottom:
        w = int32_t(float(h) * kWidthPerHeight);
        rect.right = rect.left + w + frameWidth;
        if (edge == win::kEdgeTop)
            rect.top = rect.bottom - h - frameHeight;
        else
            rect.bottom = rect.top + h + frameHeight;
        break;
    case win::kEdgeTopLeft:
    case win::kEdgeTopRight:
    case win::kEdgeBottomLeft:
    case win::kEdgeBottomRight:
        if (float(h) / float(w) > kHeightPerWidth)
            w = int32_t(float(h) * kWidthPerHeight);
        else
            h = int32_t(float(w) * kHeightPerWidth);
        if (edge == win::kEdgeTopLeft || edge == win::kEdgeTopRight)
            rect.top = rect.bottom - h - frameHeight;
        else
            rect.bottom = rect.top + h + frameHeight;
        if (edge == win::kEdgeTopRight || edge == win::kEdgeBottomRight)
            rect.right = rect.left + w + frameWidth;
        else
            rect.left = rect.right - w - frameWidth;
        break;
    default:
        break;
    }
}
