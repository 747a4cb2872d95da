// The Game's cursor: the system cursor's shown state, the hardware cursor read from a 32x32 TGA
// image, and cursor moves. Main thread only.
//
// The window system's cursor calls (display counter, positions, cursor images) are not built yet:
// until they are, the Game keeps the cursor's state and checks the image, and says once in the log
// that nothing reaches a window.
#include "engine/Game.h"

#include "core/console/GameConsole.h"
#include "engine/TgaImage.h"

#include <atomic>
#include <cstring>

namespace
{
constexpr uint32_t kCursorSide = 32;
std::atomic<bool> gWindowCursorReported{false};

void ReportNoWindowCursor()
{
    if (!gWindowCursorReported.exchange(true, std::memory_order_relaxed))
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "The window system's cursor calls are not built yet");
}
} // namespace

void Game::CentreCursor()
{
    if (m_window != nullptr)
        ReportNoWindowCursor();
}

void Game::EnableHardwareCursor(bool show, bool centre)
{
    if (show == m_hardwareCursorShown)
        return;
    m_hardwareCursorShown = show;
    ReportNoWindowCursor();
    if (show && centre)
        CentreCursor();
}

void Game::RestoreSystemCursor()
{
    m_hardwareCursorShown = true;
    ReportNoWindowCursor();
}

void Game::DestroyCursor()
{
    m_cursorHandle = 0;
}

bool Game::SetHardwareCursor(const char* fileName, int32_t hotX, int32_t hotY)
{
    m_cursorHotX = hotX;
    m_cursorHotY = hotY;
    // Copied first: the name may be the kept one (the window's activation builds the cursor again).
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
    ReportNoWindowCursor();
    return false;
}

void Game::ReapplyHardwareCursor()
{
    if (!m_cursorFileName.empty())
        SetHardwareCursor(m_cursorFileName.c_str(), m_cursorHotX, m_cursorHotY);
}

void Game::SetCursorPosition(int32_t, int32_t)
{
    if (m_window != nullptr)
        ReportNoWindowCursor();
}

void Game::SetSoftwareCursor(const char* imageName, int32_t hotX, int32_t hotY)
{
    m_softwareCursorName = imageName != nullptr ? imageName : "";
    m_softwareCursorHotX = hotX;
    m_softwareCursorHotY = hotY;
}
