// The Game's side of the in-game console screen (the screen itself is ui/screens/UIGameConsoleScreen):
// made at start-up, released at close, fed with the log lines its listener sees and with the
// script's own lines, and drawn over the frame. Main thread only, but for the listener, which any
// thread that logs on the script channel may call.
#include "engine/Game.h"

#include "core/console/GameConsole.h"
#include "ui/screens/UIGameConsoleScreen.h"
#include "engine/config/GameConfig.h"
#include "renderer/FrameClock.h"

#include <vector>

namespace
{
const float kGrey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
} // namespace

void Game::OnConsoleMessage(uint32_t kind, uint32_t, const char* text)
{
    // The screen belongs to the main thread: the line waits there for the next drain.
    gGame.m_consoleLines.Push(kind, text);
}

void Game::CreateConsoleScreen()
{
    ReleaseConsoleScreen();
    m_consoleScreen = new UIGameConsoleScreen(gGameConfig.m_consoleHistory, m_screenWidth, m_screenHeight);
    m_consoleLines.Clear();
    gConsole.SetListener(&Game::OnConsoleMessage);
}

void Game::ReleaseConsoleScreen()
{
    if (gConsole.GetListener() == &Game::OnConsoleMessage)
        gConsole.SetListener(nullptr);
    m_consoleLines.Clear();
    if (m_consoleScreen == nullptr)
        return;
    UIGameConsoleScreen* const screen = m_consoleScreen;
    m_consoleScreen = nullptr;
    screen->Release();
}

bool Game::IsGameConsoleActive() const
{
    return m_consoleScreen != nullptr && m_consoleScreen->IsOpen();
}

void Game::FlushConsoleLines()
{
    std::vector<ConsoleLineQueue::Line> lines;
    m_consoleLines.TakeAll(lines);
    if (m_consoleScreen == nullptr)
        return;
    for (const ConsoleLineQueue::Line& line : lines)
    {
        if (line.kind < m_consoleScreen->GetMessageThreshold())
            continue;
        float colour[4];
        ConsoleLineQueue::ColourForKind(line.kind, colour);
        m_consoleScreen->AddLine(line.text.c_str(), colour);
    }
}

void Game::AppendGameConsoleLine(const char* text)
{
    if (m_consoleScreen == nullptr)
        return;
    // Lines logged before this one are shown before it.
    FlushConsoleLines();
    m_consoleScreen->AddLine(text, kGrey);
}

void Game::DrawConsoleScreen(const FrameClock& clockA, const FrameClock& clockB)
{
    if (m_consoleScreen == nullptr || IsLoadingScreenActive())
        return;
    FlushConsoleLines();
    m_consoleScreen->Draw(m_screenWidth, m_screenHeight, clockA, clockB, m_consoleScreen->GetLastCursor());
}
