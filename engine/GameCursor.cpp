// The Game's cursor and window helpers: the system cursor's display counter, the hardware cursor
// built from a 32x32 TGA image, the software cursor's texture, cursor moves, and the attention
// calls. Main thread only.
#include "engine/Game.h"

#include "core/console/GameConsole.h"
#include "engine/TgaImage.h"
#include "platform/window/Cursor.h"
#include "platform/window/Window.h"
#include "platform/window/WindowMessages.h"
#include "renderer/resources/Resource.h"
#include "renderer/resources/ResourceManager.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr uint32_t kCursorSide = 32;
constexpr uint8_t kMaskOpaque = 0;
constexpr uint8_t kMaskTransparent = 0xFF;

// The display counter must land on what one show or hide from the start state gives.
void CheckCounter(int32_t counter, int32_t expected)
{
    if (counter != expected)
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Hardware cursor counter invalid: %d (expected %d)", counter,
                         expected);
}
} // namespace

void Game::CentreCursor()
{
    if (m_window == nullptr)
        return;
    win::Point point{int32_t(m_screenWidth / 2), int32_t(m_screenHeight / 2)};
    win::ClientToScreen(m_window, point);
    win::SetCursorPos(point.x, point.y);
}

void Game::EnableHardwareCursor(bool show, bool centre)
{
    if (show == m_hardwareCursorShown)
        return;
    m_hardwareCursorShown = show;
    CheckCounter(win::ShowCursor(show), show ? 0 : -1);
    if (show && centre)
        CentreCursor();
}

void Game::RestoreSystemCursor()
{
    if (!m_hardwareCursorShown)
    {
        m_hardwareCursorShown = true;
        CheckCounter(win::ShowCursor(true), 0);
    }
    win::SetCursorPos(int32_t(m_screenWidth / 2), int32_t(m_screenHeight / 2));
}

void Game::DestroyCursor()
{
    if (m_cursorHandle == nullptr)
        return;
    win::SetCursor(nullptr);
    win::DestroyCursor(m_cursorHandle);
    m_cursorHandle = nullptr;
}

bool Game::SetHardwareCursor(const char* fileName, int32_t hotX, int32_t hotY)
{
    m_cursorHotX = hotX;
    m_cursorHotY = hotY;
    // Kept for the window's activation, which builds the cursor again.
    const std::string name = fileName != nullptr ? std::string(fileName, strnlen(fileName, kMaxCursorFileName)) : "";
    m_cursorFileName = name;
    DestroyCursor();
    if (name.empty())
        return false;

    TgaImage image;
    if (!image.Read(name.c_str(), nullptr, "Textures"))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Cannot load cursor: %s", name.c_str());
        return false;
    }
    if (image.GetWidth() != kCursorSide || image.GetHeight() != kCursorSide ||
        image.GetFormat() != TgaImage::kFormatBGRA8)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE,
                       "Incorrect cursor format. Only 32x32 A8R8G8B8 files are supported (%s)", name.c_str());
        return false;
    }
    win::CursorImage cursor;
    cursor.hotX = hotX;
    cursor.hotY = hotY;
    cursor.width = kCursorSide;
    cursor.height = kCursorSide;
    cursor.mask.resize(kCursorSide * kCursorSide);
    cursor.colour.resize(kCursorSide * kCursorSide);
    for (uint32_t row = 0; row < kCursorSide; ++row)
        for (uint32_t x = 0; x < kCursorSide; ++x)
        {
            // The image keeps its bottom row first; the cursor is built from the top.
            const uint32_t pixel = image.GetPixel(x, kCursorSide - 1 - row);
            const bool opaque = (pixel >> 24) != 0;
            cursor.mask[row * kCursorSide + x] = opaque ? kMaskOpaque : kMaskTransparent;
            cursor.colour[row * kCursorSide + x] = opaque ? (pixel & 0x00FFFFFFu) : 0u;
        }
    m_cursorHandle = win::CreateCursor(cursor);
    if (m_cursorHandle == nullptr)
        return false;
    win::SetCursor(m_cursorHandle);
    return true;
}

void Game::ReapplyHardwareCursor()
{
    if (!m_cursorFileName.empty())
        SetHardwareCursor(m_cursorFileName.c_str(), m_cursorHotX, m_cursorHotY);
}

void Game::SetCursorPosition(int32_t x, int32_t y)
{
    if (m_window == nullptr)
        return;
    win::Rect client;
    if (!win::GetClientRect(m_window, client))
        return;
    const win::Point inside{std::clamp(x, client.left, std::max(client.left, client.right - 1)),
                            std::clamp(y, client.top, std::max(client.top, client.bottom - 1))};
    win::Point point = inside;
    win::ClientToScreen(m_window, point);
    win::SetCursorPos(point.x, point.y);
    // The desktop tells the window of a cursor the program moved; the window stand-in does not, so
    // the move is posted here for the input (and the mouse-over) to follow.
    win::PostMessage(m_window, win::kMsgMouseMove, 0, win::MakeLParam(inside.x, inside.y));
}

void Game::SetSoftwareCursor(const char* imageName, int32_t hotX, int32_t hotY)
{
    m_softwareCursorName = imageName != nullptr ? imageName : "";
    m_softwareCursorHotX = hotX;
    m_softwareCursorHotY = hotY;
    Resource* texture = nullptr;
    if (!m_softwareCursorName.empty() && gResourceManager != nullptr)
        texture = gResourceManager->GetResource(RESOURCE_TYPE_TEXTURE, m_softwareCursorName.c_str(), 0, true, 0);
    if (texture != nullptr)
        texture->RequestLoad();
    SetSoftwareCursorTexture(texture);
    if (texture != nullptr)
        texture->Release();
}

void Game::SetSoftwareCursorTexture(Resource* texture)
{
    if (texture == m_softwareCursorTexture)
        return;
    if (texture != nullptr)
        texture->AddRef();
    if (m_softwareCursorTexture != nullptr)
        m_softwareCursorTexture->Release();
    m_softwareCursorTexture = texture;
}

void Game::FlashWindow()
{
    if (m_windowActive || m_window == nullptr)
        return;
    win::MessageBeep(0);
    win::FlashWindow(m_window, win::kFlashAll | win::kFlashTimerNoForeground, 1000);
}

void Game::RestoreWindow()
{
    if (m_windowActive || m_window == nullptr)
        return;
    win::ShowWindow(m_window, win::kShowRestore);
}
