#include "engine/Game.h"

#include "core/console/GameConsole.h"
#include "engine/EngineTimer.h"
#include "engine/config/GameConfig.h"
#include "engine/input/InputManager.h"
#include "engine/scripting/LuaWrapper.h"
#include "engine/scripting/ScriptSchedulerHelper.h"

#include <cstring>

Game gGame;

Game::Game() : m_inputManager(std::make_unique<InputManager>()) {}

Game::~Game() = default;

void Game::Init(GameDelegate* delegate)
{
    m_delegate = delegate;
    m_gameScheduler = std::make_unique<ScriptSchedulerHelper>();
    m_gameplayScheduler = std::make_unique<ScriptSchedulerHelper>();
}

void Game::Close()
{
    m_inputManager->Shutdown();
    m_pendingKeyBindCommand.clear();
    m_hasPendingKeyBindCommand = false;
    m_gameScheduler.reset();
    m_gameplayScheduler.reset();
}

void Game::TickTimers(float stepSeconds)
{
    m_gameTimer.Tick(stepSeconds);
    m_gameplayTimer.Tick(stepSeconds);
}

void Game::ResetTimers()
{
    m_gameTimer.Reset();
    m_gameplayTimer.Reset();
}

ScriptSchedulerHelper* Game::SelectScheduler(uint32_t flags, int64_t& nowTicks) const
{
    switch (flags & kSchedulerMask)
    {
    case kGameplayScheduler:
        nowTicks = GetGameplayTimerTicks();
        return m_gameplayScheduler.get();
    case kGlobalScheduler:
        nowTicks = gEngineTimer.GetTicks();
        return &gGlobalScriptScheduler;
    default:
        nowTicks = GetGameTimerTicks();
        return m_gameScheduler.get();
    }
}

void Game::ScheduleScriptCall(const char* text, float delaySeconds, uint32_t flags)
{
    int64_t now = 0;
    ScriptSchedulerHelper* const scheduler = SelectScheduler(flags, now);
    if (scheduler != nullptr)
        scheduler->AddCall(nullptr, text, now, delaySeconds, flags);
}

void Game::DeleteScheduledScriptCalls(const Entity* owner, const char* name)
{
    if (m_gameScheduler != nullptr)
        m_gameScheduler->DeleteByName(owner, name);
    if (m_gameplayScheduler != nullptr)
        m_gameplayScheduler->DeleteByName(owner, name);
    gGlobalScriptScheduler.DeleteByName(owner, name);
}

void Game::DeleteScheduledCallbacks(const Entity* owner, uint32_t id)
{
    if (m_gameScheduler != nullptr)
        m_gameScheduler->DeleteByOwnerAndId(owner, id);
    if (m_gameplayScheduler != nullptr)
        m_gameplayScheduler->DeleteByOwnerAndId(owner, id);
    gGlobalScriptScheduler.DeleteByOwnerAndId(owner, id);
}

void Game::UpdateSchedulers()
{
    if (m_gameScheduler != nullptr)
        m_gameScheduler->Update(GetGameTimerTicks());
    if (m_gameplayScheduler != nullptr)
        m_gameplayScheduler->Update(GetGameplayTimerTicks());
}

void Game::BindKey(uint32_t key, const char* command)
{
    gGameConfig.BindKey(key, command);
}

void Game::RemoveAllKeyBinds()
{
    gGameConfig.RemoveAllKeyBinds();
}

bool Game::OnKeyDown(uint32_t key)
{
    // Null means unbound; a bound empty command still takes the key but runs nothing.
    const char* const command = gGameConfig.FindKeyBind(key);
    if (command == nullptr)
        return false;
    if (!m_hasPendingKeyBindCommand && command[0] != '\0')
    {
        m_pendingKeyBindCommand = command;
        m_hasPendingKeyBindCommand = true;
    }
    return true;
}

bool Game::RunCommandLine(const char* line)
{
    // Room for the longest line, "()" and the terminator: the line is cut, never the buffer.
    std::string text = line != nullptr ? std::string(line, strnlen(line, kMaxCommandLength)) : std::string();
    if (text.find('=') == std::string::npos && text.find('(') == std::string::npos)
        text += "()";
    return gLua.LoadAndCall(text.c_str(), 0);
}

void Game::ExecuteConsoleCommands()
{
    if (!m_hasPendingKeyBindCommand)
        return;
    const std::string command = std::move(m_pendingKeyBindCommand);
    m_pendingKeyBindCommand.clear();
    m_hasPendingKeyBindCommand = false;
    RunCommandLine(command.c_str());
}

void Game::SetSoftwareCursor(const char* imageName, int32_t hotX, int32_t hotY)
{
    m_cursorName = imageName != nullptr ? imageName : "";
    m_cursorHotX = hotX;
    m_cursorHotY = hotY;
}
