// Game: the application object (script global gGame, script class "Game"). Main thread only.
//
// Only what the scripting layer needs exists so far: the game delegate, the input manager, the game
// and gameplay clocks with their script schedulers, the pending key-bind command, the current
// scene's name and variant, and the software cursor's name. The window, UI, frame and scene
// switching come with the issues that build them.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/strings/NameString.h"
#include "core/time/GameTimer.h"
#include "engine/scripting/LuaBaseClass.h"

#include <cstdint>
#include <memory>
#include <string>

class Entity;
class GameDelegate;
class InputManager;
class ScriptSchedulerHelper;

// The application object; see the design comment above.
class Game : public LuaBaseClass
{
public:
    // Flag bits 2 and 3 of a scheduling request choose the scheduler.
    static constexpr uint32_t kSchedulerMask = 12;
    static constexpr uint32_t kGameplayScheduler = 4;
    static constexpr uint32_t kGlobalScheduler = 8;
    // Longest script line taken from the console or a key bind, in characters.
    static constexpr size_t kMaxCommandLength = 1022;

    Game();
    ~Game() override;

    const char* GetScriptClassName() const override { return "Game"; }

    // Keeps the delegate (not owned) and creates the two game schedulers.
    void Init(GameDelegate* delegate);
    // Shuts the input devices down, deletes the schedulers and frees the pending key-bind command.
    void Close();
    bool IsActive() const { return m_gameScheduler != nullptr; }
    GameDelegate* GetDelegate() const { return m_delegate; }
    // Created with the Game, kept for the whole run.
    InputManager& GetInputManager() const { return *m_inputManager; }

    // The game clocks of the schedulers; the gameplay timer stands still while gameplay is paused.
    GameTimer& GetGameTimer() { return m_gameTimer; }
    GameTimer& GetGameplayTimer() { return m_gameplayTimer; }
    int64_t GetGameTimerTicks() const { return int64_t(m_gameTimer.GetTime()); }
    int64_t GetGameplayTimerTicks() const { return int64_t(m_gameplayTimer.GetTime()); }
    // One logic tick of both timers.
    void TickTimers(float stepSeconds);
    void ResetTimers();

    ScriptSchedulerHelper* GetGameScheduler() const { return m_gameScheduler.get(); }
    ScriptSchedulerHelper* GetGameplayScheduler() const { return m_gameplayScheduler.get(); }
    // The scheduler the flags choose and its clock's time; null when it is a game scheduler and
    // no game is active.
    ScriptSchedulerHelper* SelectScheduler(uint32_t flags, int64_t& nowTicks) const;
    // Runs the text as a script chunk after the delay; nothing when no game is active.
    void ScheduleScriptCall(const char* text, float delaySeconds, uint32_t flags);
    // Cancellations reach all three schedulers.
    void DeleteScheduledScriptCalls(const Entity* owner, const char* name);
    void DeleteScheduledCallbacks(const Entity* owner, uint32_t id);
    // Runs the game and gameplay schedulers with their clocks.
    void UpdateSchedulers();

    // Key binds of the user configuration (gGameConfig).
    void BindKey(uint32_t key, const char* command);
    void RemoveAllKeyBinds();
    // Key-down entry of the window while the console screen is closed: true when a key bind took
    // the key (a bound key always does). An unbound key is left to the input event queue.
    bool OnKeyDown(uint32_t key);
    bool HasPendingKeyBindCommand() const { return m_hasPendingKeyBindCommand; }
    // Runs (and frees) the pending key-bind command.
    void ExecuteConsoleCommands();
    // Runs one console or key-bind line: at most kMaxCommandLength characters, "()" appended
    // when it has neither "=" nor "(".
    static bool RunCommandLine(const char* line);

    void SetCurrentScene(const char* sceneName) { m_sceneName = NameString(sceneName); }
    const char* GetCurrentSceneName() const { return m_sceneName.CStr(); }
    DynarraySafe<NameString>& GetSceneVariants() { return m_sceneVariants; }
    const DynarraySafe<NameString>& GetSceneVariants() const { return m_sceneVariants; }
    void SetSceneVariantIndex(int32_t index) { m_sceneVariantIndex = index; }
    int32_t GetSceneVariantIndex() const { return m_sceneVariantIndex; }

    // Keeps the software cursor's image name and hot spot for the cursor code.
    void SetSoftwareCursor(const char* imageName, int32_t hotX, int32_t hotY);
    const char* GetSoftwareCursorName() const { return m_cursorName.c_str(); }

private:
    std::unique_ptr<InputManager> m_inputManager;
    GameDelegate* m_delegate = nullptr;
    GameTimer m_gameTimer;
    GameTimer m_gameplayTimer;
    std::unique_ptr<ScriptSchedulerHelper> m_gameScheduler;
    std::unique_ptr<ScriptSchedulerHelper> m_gameplayScheduler;
    std::string m_pendingKeyBindCommand;
    bool m_hasPendingKeyBindCommand = false;
    NameString m_sceneName;
    DynarraySafe<NameString> m_sceneVariants;
    int32_t m_sceneVariantIndex = -1;
    std::string m_cursorName;
    int32_t m_cursorHotX = 0;
    int32_t m_cursorHotY = 0;
};

extern Game gGame;
