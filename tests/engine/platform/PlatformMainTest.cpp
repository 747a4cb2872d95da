// The window procedure and the main loop over the whole engine: the window's modes, the
// full-screen toggle, input filtering, focus loss and return, device re-creation, the Game's
// pending requests and the start-up's answers.
#include "engine/config/LUAConfigHelper.h"
#include "engine/platform/GameWindow.h"
#include "engine/platform/PlatformMain.h"
#include "engine/platform/PlatformState.h"
#include "engine/input/InputCodes.h"
#include "engine/input/InputManager.h"
#include "platform/input/InputHardware.h"
#include "platform/os/Clock.h"
#include "platform/window/Cursor.h"
#include "platform/window/Display.h"
#include "platform/window/WindowMessages.h"
#include "platform/window/WindowTestInput.h"
#include "renderer/NorvexRenderer.h"
#include "support/GameEngineFixture.h"

#include <cstdlib>
#include <filesystem>
#include <thread>

namespace
{
constexpr int32_t kMainFrameWidth = 2 * win::kSizingBorder;
constexpr int32_t kMainFrameHeight = 2 * win::kSizingBorder + win::kCaptionHeight;

class PlatformMainTest : public EngineStartupFixture
{
protected:
    void SetUp() override
    {
        EngineStartupFixture::SetUp();
        gpu::DisplayConfig display = gpu::DefaultDisplayConfig();
        display.desktopWidth = 1280;
        display.desktopHeight = 720;
        gpu::SetDisplayConfig(display);
        // Test processes run side by side: each keeps its single-instance lock to itself.
        std::filesystem::create_directories(m_folder / "run");
        setenv("NORVEX_RUNTIME_DIR", (m_folder / "run").c_str(), 1);
        win::ResetWindowSystem();
        gPlatform = PlatformState();
        gGameConfig.SetDefaults();
        gGameConfig.m_repositoryPath = DataPath();
        gGameConfig.m_useContainerFiles = false;
        gGameConfig.m_windowWidth = 800;
        gGameConfig.m_windowHeight = 500;
        ASSERT_TRUE(MakeDataRoot(false));
    }
    void TearDown() override
    {
        if (m_gameStarted)
            gGame.Close();
        gNorvexEngine.Close();
        if (gPlatform.displayChanged)
            RestoreStartDisplayMode();
        win::ResetWindowSystem();
        gPlatform = PlatformState();
        gGameConfig.SetDefaults();
        unsetenv("NORVEX_RUNTIME_DIR");
        os::DisableManualCounter();
        EngineStartupFixture::TearDown();
    }

    // The window with the engine inside, then the Game, as the platform main starts them.
    void Start(bool fullScreen)
    {
        gGameConfig.m_fullScreenMode = fullScreen;
        RegisterGameWindowClass();
        const char* failure = nullptr;
        ASSERT_TRUE(CreateGameWindow(win::kShowNormal, "PlatformTest", &failure)) << failure;
        win::Rect client;
        win::GetClientRect(Window(), client);
        gGame.Init(Window(), uint32_t(client.Width()), uint32_t(client.Height()), &m_delegate, nullptr, 0);
        m_gameStarted = true;
        m_log.Clear();
    }
    static win::WindowHandle Window() { return gPlatform.window; }
    static win::Rect Outer()
    {
        win::Rect rect;
        win::GetWindowRect(Window(), rect);
        return rect;
    }
    static win::Rect Client()
    {
        win::Rect rect;
        win::GetClientRect(Window(), rect);
        return rect;
    }
    static uint32_t DesktopWidth() { return uint32_t(win::GetSystemMetrics(win::kMetricScreenWidth)); }

    RecordingGameDelegate m_delegate;
    bool m_gameStarted = false;
};
} // namespace

TEST_F(PlatformMainTest, AWindowedStartCentresAFramedWindowOfTheConfiguredSize)
{
    Start(false);
    EXPECT_EQ(win::GetWindowText(Window()), "PlatformTest");
    const uint32_t style = win::GetWindowLong(Window(), win::kLongStyle);
    EXPECT_EQ(style & win::kStyleOverlappedWindow, win::kStyleOverlappedWindow);
    EXPECT_EQ(style & win::kStylePopup, 0u);
    EXPECT_EQ(Client(), (win::Rect{0, 0, 800, 500}));
    const int32_t x = (1280 - 800 - kMainFrameWidth) / 2;
    const int32_t y = (720 - 500 - kMainFrameHeight) / 2;
    EXPECT_EQ(Outer(), (win::Rect{x, y, x + 800 + kMainFrameWidth, y + 500 + kMainFrameHeight}));
    EXPECT_FALSE(win::IsTopMost(Window()));
    EXPECT_FALSE(gPlatform.displayChanged);
    EXPECT_EQ(win::GetFocus(), Window()) << "shown windows take focus";
    win::Rect clip;
    EXPECT_FALSE(win::GetClipCursor(clip));
}

TEST_F(PlatformMainTest, AFullScreenStartChangesTheDisplayModeAndCoversIt)
{
    Start(true);
    EXPECT_TRUE(gPlatform.displayChanged);
    EXPECT_TRUE(gPlatform.displayChangeActive);
    EXPECT_EQ(win::GetDisplayChangeCount(), 1u);
    const uint32_t style = win::GetWindowLong(Window(), win::kLongStyle);
    EXPECT_EQ(style & win::kStyleOverlappedWindow, 0u);
    EXPECT_NE(style & win::kStylePopup, 0u);
    EXPECT_TRUE(win::IsTopMost(Window()));
    EXPECT_EQ(Outer(), (win::Rect{0, 0, 1280, 720}));
    ClipCursorToGameWindow();
    win::Rect clip;
    ASSERT_TRUE(win::GetClipCursor(clip)) << "the cursor stays in a changed display mode";
    EXPECT_EQ(clip, (win::Rect{0, 0, 1280, 720}));
}

// In full screen the scripts' screen modes are the display modes, bounded by the list and the desktop.
TEST_F(PlatformMainTest, FullScreenScriptModesAreTheDisplayModesUpToTheDesktop)
{
    Start(true);
    LUAConfigHelper helper;
    helper.AdjustScreenModeTableToDisplayMode();
    const uint32_t count = uint32_t(gNorvexEngine.GetRenderer()->GetDisplayModes().Modes().size());
    ASSERT_EQ(helper.GetScreenModeCount(), count);
    ASSERT_GT(count, 0u);
    ASSERT_GT(gNorvexEngine.GetRenderer()->GetDisplayModes().Modes().back().width, 1280u);
    EXPECT_EQ(helper.GetScreenModeDesc(count), "");
    helper.SetScreenMode(count - 1);
    EXPECT_FLOAT_EQ(gGameConfig.m_rendererConfig.m_semiResolutionScreenScale, 1.0f);
    gGameConfig.m_rendererConfig.m_semiResolutionScreenScale = 0.5f;
    helper.SetScreenMode(count);
    EXPECT_FLOAT_EQ(gGameConfig.m_rendererConfig.m_semiResolutionScreenScale, 0.5f) << "one past the list";
}

TEST_F(PlatformMainTest, CtrlEnterTogglesFullScreenBothWays)
{
    Start(false);
    win::test::PostKeyDown(Window(), 13);
    const uint32_t frames = gGame.GetFrameCounter();
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_GT(gGame.GetFrameCounter(), frames) << "a window with no resize under way draws from its first turn";
    EXPECT_FALSE(gPlatform.fullScreen) << "Enter alone is a key for the game";

    win::test::SetKeyHeld(17, true);
    win::test::PostKeyDown(Window(), 13);
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_TRUE(gPlatform.fullScreen);
    EXPECT_TRUE(gPlatform.displayChanged);
    EXPECT_EQ(Outer(), (win::Rect{0, 0, 1280, 720}));
    EXPECT_EQ(gGame.GetScreenWidth(), 1280u);

    win::test::PostKeyDown(Window(), 13);
    ASSERT_TRUE(RunMainLoopTurn());
    win::test::SetKeyHeld(17, false);
    EXPECT_FALSE(gPlatform.fullScreen);
    EXPECT_FALSE(gPlatform.displayChanged) << "the start mode is back";
    EXPECT_EQ(win::GetDisplayChangeCount(), 2u);
    EXPECT_EQ(Client(), (win::Rect{0, 0, 800, 500})) << "the windowed size is kept";
    EXPECT_EQ(gGame.GetScreenWidth(), 800u);
}

TEST_F(PlatformMainTest, AFullScreenSwitchThatFailedIsMadeWhenFocusComesBack)
{
    Start(false);
    win::FailDisplayChanges(1);
    ToggleFullScreen();
    ASSERT_TRUE(gPlatform.fullScreen);
    ASSERT_FALSE(gPlatform.displayChanged);
    win::SetFocus(nullptr);
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_FALSE(win::IsIconic(Window())) << "no mode was changed, so none is given back";
    const uint32_t changes = win::GetDisplayChangeCount();
    win::SetFocus(Window());
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_EQ(win::GetDisplayChangeCount(), changes + 1);
    EXPECT_TRUE(gPlatform.displayChanged);
    EXPECT_TRUE(win::IsZoomed(Window()));
    EXPECT_EQ(Outer(), (win::Rect{0, 0, 1280, 720}));
    EXPECT_FALSE(gGame.IsDeactivated());
}

TEST_F(PlatformMainTest, PenAndTouchMouseMessagesAreFilteredOut)
{
    Start(false);
    InputManager& input = gGame.GetInputManager();
    win::test::PostMouse(Window(), win::kMsgLeftButtonDown, 400, 250, win::kPenOrTouchSignature | 0x80);
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_FALSE(input.IsKeyPressed(INPUT_MOUSE_LEFT)) << "a press made by a pen is dropped";
    EXPECT_EQ(win::GetCapture(), Window()) << "the window still captures the mouse";

    win::test::PostMouse(Window(), win::kMsgLeftButtonDown, 400, 250);
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_TRUE(input.IsKeyPressed(INPUT_MOUSE_LEFT));
    win::test::PostMouse(Window(), win::kMsgLeftButtonUp, 400, 250);
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_EQ(win::GetCapture(), nullptr);

    // A double click is its own code for one update, then an ordinary press of its button.
    const struct
    {
        uint32_t doubleClick;
        uint32_t up;
        uint32_t button;
    } kDoubleClicks[] = {{win::kMsgLeftButtonDoubleClick, win::kMsgLeftButtonUp, INPUT_MOUSE_LEFT},
                         {win::kMsgRightButtonDoubleClick, win::kMsgRightButtonUp, INPUT_MOUSE_RIGHT},
                         {win::kMsgMiddleButtonDoubleClick, win::kMsgMiddleButtonUp, INPUT_MOUSE_MIDDLE}};
    for (const auto& click : kDoubleClicks)
    {
        const uint32_t doubleCode = click.button + (INPUT_MOUSE_LEFT_DOUBLE_CLICK - INPUT_MOUSE_LEFT);
        win::SendMessage(Window(), click.doubleClick, 0, 0);
        input.Update(Time::Now());
        EXPECT_TRUE(input.IsKeyPressed(doubleCode)) << click.button;
        input.Update(Time::Now());
        EXPECT_FALSE(input.IsKeyPressed(doubleCode)) << click.button;
        EXPECT_TRUE(input.IsKeyPressed(click.button)) << click.button;
        win::SendMessage(Window(), click.up, 0, 0);
        input.Update(Time::Now());
        EXPECT_FALSE(input.IsKeyPressed(click.button)) << click.button;
    }

    win::test::PostMouse(Window(), win::kMsgMouseMove, 200, 100);
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_FLOAT_EQ(input.GetCursorPosition().x, 0.25f);
    EXPECT_FLOAT_EQ(input.GetCursorPosition().y, 0.2f);

    // A touch: the mouse moves it makes in the next 0.3 s do not move the cursor.
    os::EnableManualCounter(os::QueryCounter());
    win::test::PostTouch(Window(), 1, 7);
    win::test::PostMouse(Window(), win::kMsgMouseMove, 600, 400);
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_FLOAT_EQ(input.GetCursorPosition().x, 0.25f);
    os::AdvanceManualCounter(os::kCounterFrequency / 4);
    win::test::PostMouse(Window(), win::kMsgMouseMove, 600, 400);
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_FLOAT_EQ(input.GetCursorPosition().x, 0.25f) << "a quarter of a second after the touch";
    os::AdvanceManualCounter(os::kCounterFrequency / 10);
    win::test::PostMouse(Window(), win::kMsgMouseMove, 600, 400);
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_FLOAT_EQ(input.GetCursorPosition().x, 0.75f);

    win::test::PostMouseWheel(Window(), -120);
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_FLOAT_EQ(input.GetMouseWheel(), -1.0f);
    EXPECT_EQ(win::SendMessage(Window(), win::kMsgTabletQuerySystemGestureStatus, 0, 0), 0x01198319);
    EXPECT_EQ(win::SendMessage(Window(), win::kMsgSysCommand, win::kSysCommandKeyMenu, 0), 0);
    // Backspace reaches the game as a key, never as a character.
    input.ClearInputEvents();
    win::SendMessage(Window(), win::kMsgChar, 8, 0);
    win::SendMessage(Window(), win::kMsgChar, 9, 0);
    ASSERT_EQ(input.GetInputEvents().Count(), 1);
    EXPECT_EQ(input.GetInputEvents()[0].value, 9u);

    input::PlugGamePad(input::GamePadSpec());
    EXPECT_FALSE(input.IsDIControllerPresent());
    win::SendMessage(Window(), win::kMsgDeviceChange, 0, 0);
    EXPECT_TRUE(input.IsDIControllerPresent()) << "a pad plugged in is found when the devices change";
    input::ResetInputHardware();
}

TEST_F(PlatformMainTest, FocusLossInWindowedModeOnlyDeactivates)
{
    Start(false);
    win::SetFocus(nullptr);
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_TRUE(gPlatform.inactive);
    EXPECT_TRUE(gGame.IsDeactivated());
    EXPECT_FALSE(win::IsIconic(Window()));
    EXPECT_EQ(win::GetDisplayChangeCount(), 0u);
    const uint32_t frames = gGame.GetFrameCounter();
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_EQ(gGame.GetFrameCounter(), frames) << "nothing is rendered without focus";

    win::SetFocus(Window());
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_FALSE(gPlatform.inactive);
    EXPECT_FALSE(gGame.IsDeactivated());
    EXPECT_GT(gGame.GetFrameCounter(), frames);
}

TEST_F(PlatformMainTest, FocusLossInFullScreenRestoresTheDisplayAndMinimisesOnce)
{
    Start(true);
    win::SetFocus(nullptr);
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_TRUE(win::IsIconic(Window()));
    EXPECT_EQ(uint32_t(win::GetSystemMetrics(win::kMetricScreenWidth)), 1280u);
    EXPECT_EQ(win::GetDisplayChangeCount(), 2u) << "the start mode is restored";
    EXPECT_TRUE(gPlatform.displayChanged) << "stays set for the shutdown";
    EXPECT_FALSE(gPlatform.displayChangeActive);
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_EQ(win::GetDisplayChangeCount(), 2u) << "restored once";

    win::SetFocus(Window());
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_FALSE(win::IsIconic(Window())) << "the window comes back";
    EXPECT_FALSE(gPlatform.inactive);
    EXPECT_FALSE(gGame.IsDeactivated());
}

TEST_F(PlatformMainTest, ALostDeviceIsMadeAgainAndTheLoopGoesOn)
{
    Start(false);
    gpu::Faults().LoseDeviceOnPresent(0, 0);
    NorvexRenderer* renderer = gNorvexEngine.GetRenderer();
    ASSERT_NE(renderer, nullptr);
    const uint32_t resetsBefore = renderer->GetDevice()->GetResetCount();
    for (int turn = 0; turn < 10; ++turn)
        ASSERT_TRUE(RunMainLoopTurn());
    renderer->SubmitCommands(true);
    EXPECT_GT(renderer->GetDevice()->GetResetCount(), resetsBefore);
    EXPECT_FALSE(renderer->GetDevice()->IsLost());
    EXPECT_EQ(m_delegate.deviceChanges, "before;after;");
}

TEST_F(PlatformMainTest, PendingResolutionAndFullScreenRequestsAreApplied)
{
    Start(false);
    gGame.RequestScreenResoultionChange(1024, 576);
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_EQ(Client(), (win::Rect{0, 0, 1024, 576}));
    EXPECT_EQ(gGame.GetScreenWidth(), 1024u);
    uint32_t width = 0;
    uint32_t height = 0;
    EXPECT_FALSE(gGame.TakeResolutionRequest(width, height)) << "taken";

    gGame.RequestFullScreen(false);
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_FALSE(gPlatform.fullScreen) << "a request equal to the mode is ignored";
    gGame.RequestFullScreen(true);
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_TRUE(gPlatform.displayChanged);

    // A refused display change drops the request.
    win::FailDisplayChanges(1);
    gGame.RequestScreenResoultionChange(800, 600);
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_FALSE(gGame.TakeResolutionRequest(width, height));
    EXPECT_EQ(gGame.GetScreenWidth(), 1280u);
}

TEST_F(PlatformMainTest, DraggingKeepsTheSizeUntilTheResizeSettles)
{
    Start(false);
    const win::Rect outer = Outer();
    win::test::DragFrame(Window(), win::kEdgeRight,
                         win::Rect{outer.left, outer.top, outer.left + 1000 + kMainFrameWidth, outer.bottom});
    EXPECT_TRUE(gPlatform.resizePending);
    EXPECT_EQ(Client(), (win::Rect{0, 0, 1000, 562}));
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_EQ(gGame.GetScreenWidth(), 800u) << "not before 0.2 s";
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_FALSE(gPlatform.resizePending);
    EXPECT_EQ(gGame.GetScreenWidth(), 1000u);
    EXPECT_EQ((std::pair{gGameConfig.m_windowWidth, gGameConfig.m_windowHeight}), (std::pair{1000u, 562u}));

    // A window made taller than wide gets 16:9 back on its next size message.
    win::SetWindowPos(Window(), nullptr, 0, 0, 600, 900, win::kPosNoZOrder | win::kPosNoMove);
    EXPECT_TRUE(gPlatform.resizePending);
    EXPECT_GT(Outer().Width(), Outer().Height());
}

TEST_F(PlatformMainTest, ClosingTheWindowEndsTheLoop)
{
    Start(false);
    const uint32_t frames = win::GetCountedFrames();
    ASSERT_TRUE(RunMainLoopTurn());
    EXPECT_EQ(win::GetCountedFrames(), frames + 1) << "NORVEX_MAX_FRAMES closes the window after so many turns";
    win::test::PostClose(Window());
    EXPECT_FALSE(RunMainLoopTurn());
    EXPECT_TRUE(gGame.IsQuitting());
}

TEST_F(PlatformMainTest, AFailedStartUpExitsNonZeroWithTheReasonOnStandardError)
{
    steam::TestSettings settings;
    settings.initFails = true;
    steam::SetTestSettings(settings);
    char name[] = "tessarine";
    char* argv[] = {name, nullptr};
    testing::internal::CaptureStderr();
    const int result = PlatformMain(1, argv, win::kShowNormal, &m_delegate, "PlatformTest");
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, kExitStartupFailed);
    EXPECT_NE(errors.find("PlatformTest: start-up failed: the game client service did not start\n"), std::string::npos)
        << "the last line carries the reason: " << errors;
    EXPECT_FALSE(m_log.Contains("Engine successfully initialized"));
    EXPECT_FALSE(gNorvexEngine.IsInitialised());
}

TEST_F(PlatformMainTest, AFullScreenStartWhoseModeCannotBeSetClosesTheEngineAgain)
{
    gGameConfig.m_fullScreenMode = true;
    RegisterGameWindowClass();
    win::FailDisplayChanges(1);
    const char* failure = nullptr;
    EXPECT_FALSE(CreateGameWindow(win::kShowNormal, "PlatformTest", &failure));
    EXPECT_STREQ(failure, "the display mode could not be set");
    EXPECT_FALSE(gNorvexEngine.IsInitialised());
}

TEST_F(PlatformMainTest, ASecondInstanceBringsTheFirstToTheFrontAndLeaves)
{
    RegisterGameWindowClass();
    const win::WindowHandle first = win::CreateWindow(kGameWindowClassName, "first", win::kStylePopup, 0, 0, 640, 360);
    char name[] = "tessarine";
    char* argv[] = {name, nullptr};
    testing::internal::CaptureStderr();
    const int result = PlatformMain(1, argv, win::kShowNormal, &m_delegate, "PlatformTest");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "PlatformTest runs already; it was brought to the front\n");
    EXPECT_EQ(result, kExitClean);
    EXPECT_FALSE(m_log.Contains("Engine successfully initialized")) << "nothing starts";
    EXPECT_EQ(win::GetFocus(), first);
    EXPECT_TRUE(win::IsZoomed(first));
    EXPECT_EQ(win::GetForegroundWindow(), first);
}
