// The Game's input side: the window's key, character, device and touch entry points, the pointer
// offers of the input manager, console and key-bind commands and the per-frame input steps.
// Main thread only.
#include "engine/Game.h"

#include "core/console/GameConsole.h"
#include "ui/screens/UIGameConsoleScreen.h"
#include "core/time/Time.h"
#include "engine/config/GameConfig.h"
#include "engine/config/ProjectConfig.h"
#include "engine/input/InputCodes.h"
#include "engine/input/InputManager.h"
#include "engine/scripting/GameDelegate.h"
#include "engine/scripting/LuaWrapper.h"
#include "platform/os/Modules.h"
#include "platform/window/Window.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr uint32_t kTouchMove = 1;
constexpr uint32_t kTouchDown = 2;
constexpr uint32_t kTouchUp = 4;
// The touch window registration flag the helper takes.
constexpr uint32_t kTouchRegisterFlags = 2;
// The character that opens and closes the console in the game's key binds; never typed into it.
constexpr uint32_t kBackquote = 96;
const float kEchoColour[4] = {0.5f, 0.5f, 0.5f, 1.0f};
} // namespace

bool Game::OnKeyDown(uint32_t key)
{
    if (IsGameConsoleActive() && !IsLoadingScreenActive())
    {
        // The open console takes the keys it handles; the key binds are not asked.
        if (m_consoleScreen->OnKey(key))
            return true;
    }
    else if (const char* const command = gGameConfig.FindKeyBind(key); command != nullptr)
    {
        // A bound empty command still takes the key but runs nothing, and a command already
        // pending wins over the new one.
        if (!m_pendingKeyBindCommand && command[0] != '\0')
            m_pendingKeyBindCommand = std::string(command);
        return true;
    }
    m_inputManager->QueueInputEvent(INPUT_EVENT_KEY_DOWN, key);
    return false;
}

void Game::OnChar(uint32_t character)
{
    if (IsGameConsoleActive() && character != kBackquote && !IsLoadingScreenActive())
    {
        m_consoleScreen->OnChar(character);
        return;
    }
    m_screenStack.DispatchKey(character);
    m_inputManager->QueueInputEvent(INPUT_EVENT_CHARACTER, character);
}

void Game::LoadTouchHelper()
{
    FreeTouchHelper();
    m_touchModule = os::LoadModule(kTouchHelperName);
    TouchRegisterFunction registerWindow = nullptr;
    if (m_touchModule != nullptr)
    {
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "PCTouchHelper.dll successfully loaded");
        // Stored as generic entries; each goes back to its own signature.
        registerWindow = reinterpret_cast<TouchRegisterFunction>(
            os::GetModuleFunction(m_touchModule, "PCTouchHelperRegisterTouchWindow"));
        m_touchClose = reinterpret_cast<TouchCloseFunction>(
            os::GetModuleFunction(m_touchModule, "PCTouchHelperCloseTouchInputHandle"));
        m_touchRead = reinterpret_cast<TouchReadFunction>(
            os::GetModuleFunction(m_touchModule, "PCTouchHelperGetTouchInputInfo"));
    }
    else
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Cannot load PCTouchHelper.dll");
    if (registerWindow != nullptr && m_window != nullptr)
    {
        registerWindow(m_window, kTouchRegisterFlags);
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "Touch support present");
    }
    else
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "No touch support detected");
}

void Game::FreeTouchHelper()
{
    if (m_touchModule != nullptr)
        os::FreeModule(m_touchModule);
    m_touchModule = nullptr;
    m_touchRead = nullptr;
    m_touchClose = nullptr;
}

bool Game::OnTouch(uint32_t wParam, uintptr_t handle)
{
    if (m_touchRead == nullptr || m_touchClose == nullptr)
        return false;
    const uint32_t count = std::min<uint32_t>(wParam & 0xFFFFu, kTouchInputLimit);
    TouchInput inputs[kTouchInputLimit];
    if (count != 0 && m_touchRead(handle, count, inputs, int32_t(sizeof(TouchInput))))
    {
        const float width = float(std::max<uint32_t>(m_screenWidth, 1));
        const float height = float(std::max<uint32_t>(m_screenHeight, 1));
        for (uint32_t i = 0; i < count; ++i)
        {
            const TouchInput& input = inputs[i];
            win::Point point{input.x / 100, input.y / 100};
            if (m_window != nullptr)
                win::ScreenToClient(m_window, point);
            const float u = std::clamp(float(point.x) / width, 0.0f, 1.0f);
            const float v = std::clamp(float(point.y) / height, 0.0f, 1.0f);
            switch (input.flags & 7u)
            {
            case kTouchMove:
                m_inputManager->MoveTap(input.id, u, v);
                break;
            case kTouchDown:
                m_inputManager->BeginTap(input.id, u, v);
                break;
            case kTouchUp:
                m_inputManager->EndTap(input.id, u, v);
                break;
            default:
                break;
            }
        }
    }
    m_touchClose(handle);
    return true;
}

bool Game::DispatchPointerBegin(uint32_t id, float x, float y)
{
    return m_screenStack.DispatchPointerBegin(id, x, y);
}

bool Game::DispatchPointerEnd(uint32_t id, float x, float y)
{
    return m_screenStack.DispatchPointerEnd(id, x, y);
}

bool Game::DispatchPointerMove(uint32_t id, float x, float y)
{
    return m_screenStack.DispatchPointerMove(id, x, y);
}

std::string Game::PrepareCommandLine(const char* line)
{
    // Room for the longest line, "()" and the terminator: the line is cut, never the buffer.
    std::string text = line != nullptr ? std::string(line, strnlen(line, kMaxCommandLength)) : std::string();
    if (text.find('=') == std::string::npos && text.find('(') == std::string::npos)
        text += "()";
    return text;
}

bool Game::RunCommandLine(const char* line)
{
    return gLua.LoadAndCall(PrepareCommandLine(line).c_str(), 0);
}

void Game::ExecuteConsoleCommands()
{
    char entered[kMaxCommandLength + 1];
    if (m_consoleScreen != nullptr && m_consoleScreen->TakeCommand(entered, sizeof(entered)))
    {
        const std::string text = PrepareCommandLine(entered);
        if (gGameConfig.m_consoleShowCommands)
        {
            FlushConsoleLines();
            m_consoleScreen->AddLine(text.c_str(), kEchoColour);
        }
        gLua.LoadAndCall(text.c_str(), 0);
    }
    if (!m_pendingKeyBindCommand)
        return;
    // Taken out first: the command may bind a key or press one again.
    const std::string command = std::move(*m_pendingKeyBindCommand);
    m_pendingKeyBindCommand.reset();
    RunCommandLine(command.c_str());
}

void Game::ProcessInput(bool)
{
    do
    {
        const bool configChanged = m_inputManager->Update(Time::Now());
        if (m_delegate != nullptr)
        {
            if (configChanged)
                m_delegate->OnInputConfigChanged();
            m_delegate->OnTickInput();
            for (const InputManager::InputEvent& event : m_inputManager->GetInputEvents())
                m_delegate->OnInputEvent(int32_t(event.kind), event.value);
        }
        m_inputManager->ClearInputEvents();
    } while (m_inputManager->HasQueuedMouseEvents());
}

Vector Game::GetXControllerAnalogInput(uint32_t pad) const
{
    return gProjectConfig.m_enableController ? m_inputManager->GetXControllerAnalogInput(pad) : Vector::ZERO4;
}

void Game::VibrateXController(float left, float right)
{
    if (gProjectConfig.m_enableController && gProjectConfig.m_enableControllerVibrations &&
        gGameConfig.m_xControllerVibrations)
        m_inputManager->VibrateXController(left, right, INPUT_ANY_PAD);
}
