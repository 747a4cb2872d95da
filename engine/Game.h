// Game: the application object (script global gGame, script class "Game"). Main thread only.
//
// It holds the window and cursor, the game delegate (not owned), the input manager, the UI screen
// stack with the pre-full-screen-effect and loading screens, the four game clocks with the game
// and gameplay script schedulers, the scene-switch request and the frame counters.
//
// A turn of the main loop calls Update (logic) and, with focus, Render (one frame of render
// commands). Logic advances in fixed ticks of 1/15 s of game time: a frame measures the real time
// since the last one (at most one tick of it counts), works out how many whole ticks are due under
// the time multiplier and runs the tick work that many times; the smoothing work runs once per
// frame. A scene switch asked for at any time runs at the start of the next Update, under the
// loading screen, and that frame runs no ticks. The code is split by job: GameInput.cpp (window
// entry points, console commands, input steps), GameCursor.cpp, GameFrame.cpp (Update and the
// multiplayer step), GameRender.cpp, GameSceneSwitch.cpp (switching and activation) and
// GameScriptMethods.cpp (the small methods scripts call).
#pragma once

#include "core/containers/Dynarray.h"
#include "core/containers/SafePointer.h"
#include "core/math/Vector.h"
#include "core/strings/NameString.h"
#include "core/time/GameTimer.h"
#include "core/time/Time.h"
#include "engine/ConsoleLineQueue.h"
#include "engine/GameEntityLists.h"
#include "engine/TimedFloatTransition.h"
#include "engine/input/TapTargets.h"
#include "engine/scripting/LuaBaseClass.h"
#include "renderer/OutlineParams.h"
#include "ui/screens/UIScreen.h"
#include "ui/screens/UIScreenStack.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class Entity;
class GameCameraController;
class GameDelegate;
class InGameStore;
class InputManager;
class MultiplayerEngine;
class Resource;
class ScriptSchedulerHelper;
class UIGameConsoleScreen;
struct FrameClock;

namespace os
{
class Semaphore;
}

// Post-process flags scripts add with Game::SetExtraFSEFlags: the outlines drawn over the whole
// picture.
enum NRFSEFlag : uint32_t
{
    NRFSEFLAG_MASSIVEOUTLINEMODE = 2,
};

// The application object; see the design comment above.
class Game : public LuaBaseClass, public TapPointerTarget
{
public:
    // Flag bits 2 and 3 of a scheduling request choose the scheduler.
    static constexpr uint32_t kSchedulerMask = 12;
    static constexpr uint32_t kGameplayScheduler = 4;
    static constexpr uint32_t kGlobalScheduler = 8;
    // Longest script line taken from the console or a key bind, in characters.
    static constexpr size_t kMaxCommandLength = 1022;
    static constexpr size_t kMaxCursorFileName = 1023;
    // The logic tick and the frame constants, in seconds.
    static constexpr float kTickSeconds = 0.06666667f;
    static constexpr float kDueTickFactor = 14.999999f;
    static constexpr float kSmoothStepFactor = 15.0f;
    static constexpr float kSmoothThreshold = 0.01f;
    static constexpr double kCloseWaitSeconds = 10.0;
    // The multiplayer send grid of the engine clock, in microseconds.
    static constexpr uint64_t kSendIntervalMicroseconds = 66666;
    static constexpr uint8_t kNoVariation = 255;
    static constexpr uint32_t kTouchInputLimit = 128;
    // Scene-switch flags.
    static constexpr uint8_t SWITCH_KEEP_TEMPLATES = 1;
    static constexpr uint8_t SWITCH_WAIT_BEFORE_HIDING = 4;
    static constexpr uint8_t SWITCH_KEEP_LOADING_SCREEN = 8;
    // Longest wait of a scene switch for its semaphore before it gives up (logged).
    static constexpr uint32_t kDefaultSwitchWaitLimitMs = 30000;

    Game();
    ~Game() override;
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    const char* GetScriptClassName() const override { return "Game"; }

    // Life cycle (Game.cpp).
    void Init(void* window, uint32_t width, uint32_t height, GameDelegate* delegate, const char* const* argv,
              int argc);
    // No window, the default size and no arguments.
    void Init(GameDelegate* delegate) { Init(nullptr, m_screenWidth, m_screenHeight, delegate, nullptr, 0); }
    void Close();
    bool IsInitialised() const { return m_initialised; }
    MultiplayerEngine* GetMultiplayerEngine() const { return m_multiplayerEngine.get(); }
    InGameStore* GetInGameStore() const { return m_inGameStore.get(); }
    bool IsActive() const { return m_gameScheduler != nullptr; }
    GameDelegate* GetDelegate() const { return m_delegate; }
    // Created with the Game, kept for the whole run.
    InputManager& GetInputManager() const { return *m_inputManager; }
    UIScreenStack& GetScreenStack() { return m_screenStack; }
    // The entity lists the frame walks and the deferred entity calls; emptied by Close.
    GameEntityLists& GetEntityLists() { return m_entityLists; }
    // Made at Init with the screen size, deleted at Close.
    GameCameraController* GetCameraController() const { return m_cameraController; }
    const std::vector<std::string>& GetArguments() const { return m_arguments; }

    // Window size and requests.
    void SetSize(uint32_t width, uint32_t height, bool silent);
    uint32_t GetScreenWidth() const { return m_screenWidth; }
    uint32_t GetScreenHeight() const { return m_screenHeight; }
    void RequestScreenResoultionChange(uint32_t width, uint32_t height);
    // True (and the request is cleared) when one was pending.
    bool TakeResolutionRequest(uint32_t& width, uint32_t& height);
    void RequestFullScreen(bool value);
    bool TakeFullScreenRequest(bool& value);
    void Quit();
    bool IsQuitting() const { return m_quitting; }
    bool CanSleep() const;
    void SetAllowSleep(bool allow) { m_allowSleep = allow; }

    // Pads behind the project's "Enable controller" (GameInput.cpp): the analog input reads zero
    // and vibration reaches no pad while it is off; vibration also needs the project's and the
    // user's vibration settings.
    Vector GetXControllerAnalogInput(uint32_t pad) const;
    void VibrateXController(float left, float right);

    // Window entry points (GameInput.cpp).
    bool OnKeyDown(uint32_t key);
    void OnChar(uint32_t character);
    // One 40-byte touch record as the touch helper reads it: the position in hundredths of a screen
    // pixel, the touch id and the flag bits (1 move, 2 down, 4 up); the rest is not used.
    struct TouchInput
    {
        int32_t x = 0;
        int32_t y = 0;
        uint32_t source = 0;
        uint32_t id = 0;
        uint32_t flags = 0;
        uint32_t unused[5] = {};
    };
    // The touch helper library ("PCTouchHelper.dll", loaded at Init when present) and its entries.
    static constexpr const char* kTouchHelperName = "PCTouchHelper.dll";
    using TouchPresentFunction = bool (*)();
    using TouchRegisterFunction = bool (*)(void* window, uint32_t flags);
    using TouchCloseFunction = void (*)(uintptr_t handle);
    // Reads `count` records of `recordBytes` each; false when they could not be read.
    using TouchReadFunction = bool (*)(uintptr_t handle, uint32_t count, TouchInput* inputs, int32_t recordBytes);
    // The window's touch message: taken only when the helper's read and close entries exist.
    bool OnTouch(uint32_t wParam, uintptr_t handle);
    bool DispatchPointerBegin(uint32_t id, float x, float y) override;
    bool DispatchPointerEnd(uint32_t id, float x, float y) override;
    bool DispatchPointerMove(uint32_t id, float x, float y) override;
    // Runs the console screen's entered line, then the pending key-bind command.
    void ExecuteConsoleCommands();
    bool HasPendingKeyBindCommand() const { return m_pendingKeyBindCommand.has_value(); }
    // A console or key-bind line as it runs: at most kMaxCommandLength characters, "()" appended
    // when it has neither "=" nor "(".
    static std::string PrepareCommandLine(const char* line);
    static bool RunCommandLine(const char* line);
    void ProcessInput(bool allowRender);

    // The in-game console screen (GameConsoleScreenHost.cpp): made by Init, released by Close.
    UIGameConsoleScreen* GetConsoleScreen() const { return m_consoleScreen; }
    // The console screen exists and is open.
    bool IsGameConsoleActive() const;
    // A grey line on the console screen (nothing without one).
    void AppendGameConsoleLine(const char* text);
    // Shows the lines the console listener has seen since the last call.
    void FlushConsoleLines();

    // Screen points (0 to 1 across the window, y down) and world positions through the game camera
    // as the frame last sent it (GameScreenProjection.cpp). The ray from the camera through the
    // point; without a camera from the origin along +z.
    void ScreenPointToWorld(const Vector& point, Vector& origin, Vector& direction) const;
    // That ray meets the plane ahead of the camera: the point, true; false (result unchanged) else.
    bool LoadScreenPointProjectedOnWorldPlane(Vector& result, const Vector& point, const Vector& plane) const;
    // (x, y, depth, 1); (0, 0, 0, 1) without a camera.
    Vector WorldPositionToScreenPoint(const Vector& position) const;
    // Through the layout of the top UI screen (and, for the last, the camera); false with no screen,
    // a screen not laid out yet, no camera or a position behind it.
    bool UIPointToScreenPoint(const Vector& point, Vector& out) const;
    bool ScreenPointToUIPoint(const Vector& point, Vector& out) const;
    bool WorldPositionToUIPoint(const Vector& position, Vector& out) const;
    // Each mouse button that went down this frame clicks the visible entities under the cursor.
    void DispatchMouseClicks();

    // Ambient lighting of the machine (the lighting library, when present).
    void InitEnvLight();
    // Colour components 0..1 (r, g, b, a) for every location.
    void SetEnvLight(const Vector& colour);
    void DeinitEnvLight();

    // Cursor (GameCursor.cpp).
    void EnableHardwareCursor(bool show, bool centre);
    bool SetHardwareCursor(const char* fileName, int32_t hotX, int32_t hotY);
    void SetCursorPosition(int32_t x, int32_t y);
    // The window's activation builds the kept hardware cursor again.
    void ReapplyHardwareCursor();
    // The physical world keeps no state between scenes and has no fade-out scaling option: the
    // script calls these serve do nothing.
    void ResetPhysicalWorldStub() {}
    void EnablePhysicalEffectsFadeOutScalingMode(bool) {}
    // Only while the window is not active: a beep and a flashing task-bar entry, or a restore.
    void FlashWindow();
    void RestoreWindow();
    // The game layer names the software cursor image at start-up; its texture (queued for loading
    // when the resource manager runs) is handed over through SetSoftwareCursorTexture.
    void SetSoftwareCursor(const char* imageName, int32_t hotX, int32_t hotY);
    // Holds one reference on the texture (null: none, the software cursor is hidden) and releases
    // the one held before.
    void SetSoftwareCursorTexture(Resource* texture);
    Resource* GetSoftwareCursorTexture() const { return m_softwareCursorTexture; }
    const char* GetSoftwareCursorName() const { return m_softwareCursorName.c_str(); }
    const char* GetHardwareCursorName() const { return m_cursorFileName.c_str(); }
    bool IsHardwareCursorShown() const { return m_hardwareCursorShown; }
    // Whether a cursor counts as shown for mouse-over: the hardware cursor, or a software cursor whose
    // texture is held (nothing draws that texture; holding it is what "shown" means for it).
    bool IsCursorShown() const { return m_hardwareCursorShown || m_softwareCursorTexture != nullptr; }
    // The cursor made from the hardware cursor image, null without one.
    void* GetCursorHandle() const { return m_cursorHandle; }

    // The frame (GameFrame.cpp, GameRender.cpp).
    void Update(bool allowRender);
    bool Render(bool forced);
    void UpdateMultiplayer(uint32_t ticks, uint64_t offsetMicroseconds);
    uint32_t GetTickCounter() const { return m_tickCount; }
    uint32_t GetFrameCounter() const { return m_frameCount; }
    uint32_t GetUpdateCounter() const { return m_updateCount; }
    float GetFrameStep() const { return m_frameStep; }
    float GetFrameMultiplier() const { return m_frameMultiplier; }
    bool IsWindowActive() const { return m_windowActive; }
    uint64_t GetMultiplayerSendTime() const { return m_sendTime; }

    // Scene switching and activation (GameSceneSwitch.cpp).
    void SwitchScene(const char* sceneName, uint8_t flags, uint8_t variation, os::Semaphore* semaphore);
    void ProcessPendingSceneSwitch();
    bool IsLastSwitchedSceneEqual(const char* name) const;
    bool IsSwitchPending() const { return m_switchPending; }
    const char* GetPendingSceneName() const { return m_pendingSceneName ? m_pendingSceneName->c_str() : nullptr; }
    uint8_t GetPendingVariation() const { return m_sceneVariation; }
    void SetSwitchWaitLimitMs(uint32_t milliseconds) { m_switchWaitLimitMs = milliseconds; }
    void Activate(bool suspend);
    void Deactivate(bool suspend);
    bool IsDeactivated() const { return m_deactivated; }
    bool IsSuspended() const { return m_suspended; }
    void SetUnloadOnDeactivation(bool unload) { m_unloadOnDeactivation = unload; }

    // The game clocks.
    GameTimer& GetGameTimer() { return m_gameTimer; }
    GameTimer& GetGameplayTimer() { return m_gameplayTimer; }
    GameTimer& GetSmoothGameTimer() { return m_smoothGameTimer; }
    GameTimer& GetSmoothGameplayTimer() { return m_smoothGameplayTimer; }
    // The clocks as scripts read them, in seconds.
    double GetGameTime() const { return m_gameTimer.GetTimeValue().ToSeconds(); }
    double GetGameplayTime() const { return m_gameplayTimer.GetTimeValue().ToSeconds(); }
    double GetSmoothGameTime() const { return m_smoothGameTimer.GetTimeValue().ToSeconds(); }
    double GetSmoothGameplayTime() const { return m_smoothGameplayTimer.GetTimeValue().ToSeconds(); }
    // Stacks (true) or removes (false) one pause of the gameplay clock and of its scheduler.
    void PauseGameplay(bool pause) { m_gameplayTimer.Pause(pause); }
    int64_t GetGameTimerTicks() const { return int64_t(m_gameTimer.GetTime()); }
    int64_t GetGameplayTimerTicks() const { return int64_t(m_gameplayTimer.GetTime()); }
    // One logic tick of both logic timers.
    void TickTimers(float stepSeconds);
    void ResetTimers();
    void ResetAllTimers();

    // The time multiplier eases linearly to the target over the duration in seconds of the engine
    // timer (at once for 0 or less); the third argument is accepted and ignored.
    void SetTimeMultiplier(float target, float durationSeconds, float unused = 0.0f);
    // Advances the transition to the engine timer's time; the frame's multiplier.
    float UpdateTimeMultiplier();
    float GetTimeMultiplier() const { return m_timeMultiplier.GetCurrent(); }
    // Back to 1.0 with no transition (game start and scene switch).
    void ResetTimeMultiplier() { m_timeMultiplier.Set(1.0f); }

    ScriptSchedulerHelper* GetGameScheduler() const { return m_gameScheduler.get(); }
    ScriptSchedulerHelper* GetGameplayScheduler() const { return m_gameplayScheduler.get(); }
    // The scheduler the flags choose and its clock's time; null when it is a game scheduler and
    // no game is active.
    ScriptSchedulerHelper* SelectScheduler(uint32_t flags, int64_t& nowTicks) const;
    // Runs the text as a script chunk after the delay; nothing when the chosen scheduler is absent.
    void ScheduleScriptCall(const char* text, float delaySeconds, uint32_t flags);
    // Script cancellation by name: reaches all three schedulers.
    void DeleteScriptCalls(const char* text) { DeleteScheduledScriptCalls(nullptr, text); }
    void DeleteScheduledScriptCalls(const Entity* owner, const char* name);
    void DeleteScheduledCallbacks(const Entity* owner, uint32_t id);
    // Runs the game and gameplay schedulers with their clocks.
    void UpdateSchedulers();

    // Script-visible small methods (GameScriptMethods.cpp).
    void BindKey(uint32_t key, const char* command);
    void RemoveAllKeyBinds();
    void SetUserPause(bool paused);
    bool IsUserPaused() const { return m_userPaused; }
    void SetActiveUIScreen(UIScreen* screen);
    void AppendUIScreen(UIScreen* screen);
    void SetPreFSEUIScreen(UIScreen* screen) { m_preFSEScreen = screen; }
    void SetLoadingUIScreen(UIScreen* screen, uint8_t option);
    UIScreen* GetPreFSEUIScreen() const { return m_preFSEScreen.Get(); }
    UIScreen* GetLoadingUIScreen() const { return m_loadingScreen.Get(); }
    void EvictTemporaryLoadingScreenResources();
    void TurnLoadingScreenOff();
    void ShowLoadingScreen();
    bool IsLoadingScreenActive() const;
    void OnMainMenuEntered();
    void OnMainMenuLeft();
    void OnAfterMainMenuSceneLoaded();
    void OnBeforeMainMenuSceneUnloaded();
    void NotifyDelegateBeforeDeviceChange();
    void NotifyDelegateAfterDeviceChange();
    void NotifyDelegateBeforeRendererSetup();
    void RevertToDefaultOutlineParams();
    void SetOutlineMaskStr(const char* text);
    uint32_t GetOutlineMask() const { return m_outlineMask; }
    const OutlineParams& GetOutlineParams() const { return m_outlineParams; }
    // The game's two full-screen effect switches, flipped by scripts: post-processing (which also
    // asks the scene pass for lighting through the shadow map) and FXAA. Both start off.
    void ToggleFSE() { m_fseSwitch = !m_fseSwitch; }
    void ToggleFXAA() { m_fxaaSwitch = !m_fxaaSwitch; }
    bool IsFSEOn() const { return m_fseSwitch; }
    bool IsFXAAOn() const { return m_fxaaSwitch; }
    void EnableAppDeactivationOnBackPressed(bool flag);
    bool IsStandaloneBuild() const;
    void SetRenderPassFlags(uint32_t flags) { m_renderPassFlags = flags; }
    // Extra post-process flags (NRFSEFlag) sent with the switches' bits.
    void SetExtraFSEFlags(uint32_t flags) { m_extraFSEFlags = flags; }
    uint32_t GetExtraFSEFlags() const { return m_extraFSEFlags; }
    void SetDrawUI(bool draw) { m_drawUI = draw; }
    void SetCameraMode(uint32_t mode) { m_cameraMode = mode; }

    // The current scene (set by the switch) for the script registry.
    void SetCurrentScene(const char* sceneName) { m_sceneName = NameString(sceneName); }
    const char* GetCurrentSceneName() const { return m_sceneName.CStr(); }
    DynarraySafe<NameString>& GetSceneVariants() { return m_sceneVariants; }
    const DynarraySafe<NameString>& GetSceneVariants() const { return m_sceneVariants; }
    void SetSceneVariantIndex(int32_t index) { m_sceneVariantIndex = index; }
    int32_t GetSceneVariantIndex() const { return m_sceneVariantIndex; }

private:
    void DeleteCameraController();
    void LoadTouchHelper();
    void FreeTouchHelper();
    // The UI size of every screen the Game holds.
    // GameFrame.cpp.
    void RunFixedTicks(uint32_t ticks, bool logicPaused, bool uiPaused, bool sceneBlocked);
    void RunSmoothSteps(uint32_t steps, uint32_t wholeSteps, float remainder, bool uiPaused, bool sceneBlocked);
    void RunTickWork(bool timed);
    void RunFrameSmoothing();
    void UpdateEngine(bool sceneBlocked);
    void RunFrameTail(uint32_t ticks);
    void RestartFrameClock();
    // GameSceneSwitch.cpp.
    void WaitForSwitchSemaphore(bool& hideLoadingScreen);
    void HideLoadingScreen(bool fade);
    void ReloadUnloadedResources();
    // GameRender.cpp.
    void RenderScene(bool forced);
    void RenderVideoFrame();
    // The camera's view and projection again (each pass may have set another camera).
    void SubmitCamera();
    // GameConsoleScreenHost.cpp.
    void CreateConsoleScreen();
    void ReleaseConsoleScreen();
    void DrawConsoleScreen(const FrameClock& clockA, const FrameClock& clockB);
    static void OnConsoleMessage(uint32_t kind, uint32_t channel, const char* text);
    // GameCursor.cpp.
    void DestroyCursor();
    void CentreCursor();
    // Close: shown again (counter back to 0) and moved to the middle of the screen size.
    void RestoreSystemCursor();

    std::unique_ptr<InputManager> m_inputManager;
    GameEntityLists m_entityLists;
    GameDelegate* m_delegate = nullptr;
    void* m_window = nullptr;
    GameCameraController* m_cameraController = nullptr;
    UIScreenStack m_screenStack;
    SafePointer<UIScreen> m_preFSEScreen;
    SafePointer<UIScreen> m_loadingScreen;
    uint8_t m_loadingScreenOption = 0;
    UIGameConsoleScreen* m_consoleScreen = nullptr;
    ConsoleLineQueue m_consoleLines;
    std::unique_ptr<MultiplayerEngine> m_multiplayerEngine;
    std::unique_ptr<InGameStore> m_inGameStore;
    bool m_analyticsStarted = false;
    std::vector<std::string> m_arguments;

    // State bytes.
    bool m_initialised = false;
    bool m_hardwareCursorShown = true;
    bool m_suspended = false;
    bool m_deactivated = false;
    bool m_resourcesUnloaded = false;
    bool m_quitting = false;
    bool m_userPaused = false;

    // Window.
    uint32_t m_screenWidth = 1280;
    uint32_t m_screenHeight = 720;
    uint32_t m_requestedWidth = 0;
    uint32_t m_requestedHeight = 0;
    bool m_fullScreenRequested = false;
    bool m_fullScreenValue = false;

    // Touch.
    void* m_touchModule = nullptr;
    TouchReadFunction m_touchRead = nullptr;
    TouchCloseFunction m_touchClose = nullptr;

    // Cursor.
    void* m_cursorHandle = nullptr;
    std::string m_cursorFileName;
    int32_t m_cursorHotX = 0;
    int32_t m_cursorHotY = 0;
    std::string m_softwareCursorName;
    int32_t m_softwareCursorHotX = 0;
    int32_t m_softwareCursorHotY = 0;
    Resource* m_softwareCursorTexture = nullptr;

    // Options.
    bool m_allowSleep = true;
    bool m_fseSwitch = false;
    bool m_fxaaSwitch = false;
    bool m_drawUI = true;
    bool m_unloadOnDeactivation = false;
    bool m_windowActive = true;
    uint32_t m_renderPassFlags = 0;
    uint32_t m_extraFSEFlags = 0;
    uint32_t m_cameraMode = 0;
    OutlineParams m_outlineParams;
    uint32_t m_outlineMask = 0xFFFFFFFFu;

    // Pending key-bind command and scene switch.
    std::optional<std::string> m_pendingKeyBindCommand;
    std::optional<std::string> m_pendingSceneName;
    uint8_t m_switchFlags = 0;
    uint8_t m_sceneVariation = kNoVariation;
    bool m_switchPending = false;
    os::Semaphore* m_switchSemaphore = nullptr;
    uint32_t m_switchWaitLimitMs = kDefaultSwitchWaitLimitMs;
    bool m_firstSceneSwitched = false;
    bool m_afterFirstSceneNotified = false;
    uint32_t m_currentVariation = kNoVariation;
    std::optional<std::string> m_lastSwitchedScene;

    // Timing.
    Time m_lastFrameTime;
    Time m_tickBase;
    float m_frameTimes[4] = {};
    float m_frameStep = 0.0f;
    float m_frameMultiplier = 1.0f;
    GameTimer m_gameTimer;
    GameTimer m_gameplayTimer;
    GameTimer m_smoothGameTimer;
    GameTimer m_smoothGameplayTimer;
    TimedFloatTransition m_timeMultiplier{1.0f};
    std::unique_ptr<ScriptSchedulerHelper> m_gameScheduler;
    std::unique_ptr<ScriptSchedulerHelper> m_gameplayScheduler;
    uint64_t m_sendTime = 0;
    uint64_t m_previousSendTime = 0;
    uint32_t m_frameCount = 0;
    uint32_t m_tickCount = 0;
    uint32_t m_updateCount = 0;

    // The script registry's view of the current scene.
    NameString m_sceneName;
    DynarraySafe<NameString> m_sceneVariants;
    int32_t m_sceneVariantIndex = -1;
};

static_assert(sizeof(Game::TouchInput) == 40, "the touch helper reads 40-byte records");

extern Game gGame;
// Set while Game::Init or a scene switch runs.
extern bool gSceneSwitchInProgress;
// Set from the Game's start-up to its close.
extern bool gGameExists;
// A back key deactivates the app (set by scripts).
extern bool gBackKeyDeactivatesApp;
