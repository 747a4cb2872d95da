#include "engine/scripting/ScriptTestSupport.h"

#include "engine/Game.h"
#include "engine/config/GameConfig.h"
#include "engine/config/LUAConfigHelper.h"
#include "engine/config/ProjectConfig.h"
#include "engine/input/InputManager.h"
#include "platform/input/Accessibility.h"
#include "platform/input/InputHardware.h"
#include "platform/input/MouseMessages.h"
#include "platform/input/XInput.h"
#include "platform/os/Clock.h"
#include "renderer/FrameClock.h"
#include "scriptapi/ScriptGameInput.h"
#include "ui/screens/UIScreenStack.h"

namespace
{
class ScriptGameInputTest : public ScriptTest
{
protected:
    void SetUp() override
    {
        ScriptTest::SetUp();
        input::ResetInputHardware();
        os::EnableManualCounter(500 * os::kCounterFrequency);
        m_folder.WriteFile("locals/.keep", "");
        ASSERT_TRUE(gFileSystem.MountDirectory("locals", (m_folder / "locals").c_str()));
        gProjectConfig.m_enableController = true;
        gProjectConfig.m_enableControllerVibrations = true;
        gGameConfig.m_xControllerVibrations = true;
        input::PlugXInputPad(0);
        ASSERT_TRUE(Input().InitDirectInput());
        ASSERT_TRUE(Input().InitDevices(&m_window));
        // The game's input manager outlives each test: drop what earlier ones left.
        Input().EndAllTaps();
        Input().EndFrame();
        while (Input().HasQueuedMouseEvents())
            Step();
        Step();
        Input().ClearInputEvents();
    }
    void TearDown() override
    {
        Input().Shutdown();
        gTapMoveThreshold = 0.0f;
        gProjectConfig.m_enableController = false;
        os::DisableManualCounter();
        input::ResetInputHardware();
        ScriptTest::TearDown();
    }
    static InputManager& Input() { return gGame.GetInputManager(); }
    void Step()
    {
        os::AdvanceManualCounter(os::kCounterFrequency / 60);
        Input().Update(Time::Now());
    }
    bool Bool(const std::string& expression)
    {
        Run("gResult = " + expression);
        lua_getglobal(L(), "gResult");
        const bool value = lua_toboolean(L(), -1) != 0;
        lua_pop(L(), 1);
        return value;
    }

    int m_window = 0;
};

TEST_F(ScriptGameInputTest, KeysAndMouseButtonsReachScripts)
{
    input::SetKey(57, true);
    Input().OnMouseButton(0.25f, 0.75f, INPUT_MOUSE_EVENT_RIGHT_DOWN);
    Input().OnMouseWheel(-120);
    Step();
    EXPECT_TRUE(Bool("gGame:IsKeyPressed(57) and gGame:IsKeyPressedForTheFirstTime(57)"));
    EXPECT_FALSE(Bool("gGame:IsKeyReleasedForTheFirstTime(57)"));
    EXPECT_TRUE(Bool("gGame:IsKeyPressed(INPUT_MOUSE_RIGHT)"));
    EXPECT_TRUE(Bool("gGame:IsMouseButtonPressedForTheFirstTime(INPUT_MOUSE_RIGHT)"));
    // Key codes are not mouse buttons.
    EXPECT_FALSE(Bool("gGame:IsMouseButtonPressed(57)"));
    Run("local p = gGame:GetCursorPosition() gX, gY = p.x, p.y");
    EXPECT_EQ(GlobalNumber("gX"), 0.25);
    EXPECT_EQ(GlobalNumber("gY"), 0.75);
    Run("gWheel = gGame:GetMouseWheel()");
    EXPECT_EQ(GlobalNumber("gWheel"), -1.0);
    EXPECT_TRUE(Bool("gGame:IsCursorOnGameWindow()"));
    input::SetDoubleClickTimeMilliseconds(400);
    Run("gDouble = gGame:GetMouseDoubleClickTime()");
    EXPECT_NEAR(GlobalNumber("gDouble"), 0.4, 1e-6);

    input::SetKey(57, false);
    Input().OnMouseButton(0.25f, 0.75f, INPUT_MOUSE_EVENT_RIGHT_UP);
    Step();
    EXPECT_TRUE(Bool("gGame:IsKeyReleasedForTheFirstTime(57)"));
    EXPECT_TRUE(Bool("gGame:IsMouseButtonReleasedForTheFirstTime(INPUT_MOUSE_RIGHT)"));
    EXPECT_FALSE(Bool("gGame:IsMouseButtonReleasedForTheFirstTime(57)")) << "a key is not a mouse button";
    Input().OnMouseButton(0.25f, 0.75f, INPUT_MOUSE_EVENT_MIDDLE_DOUBLE_CLICK);
    Step();
    EXPECT_TRUE(Bool("gGame:IsMouseButtonPressed(INPUT_MOUSE_MIDDLE_DOUBLE_CLICK)"));
    EXPECT_EQ(Depth(), 0);
}

TEST_F(ScriptGameInputTest, PadQueriesAreGatedByTheProject)
{
    input::XInputGamepad state;
    state.buttons = INPUT_PAD_B;
    state.thumbRY = 32767;
    state.rightTrigger = 255;
    state.leftTrigger = 128;
    input::SetXInputPadState(0, state);
    Step();
    EXPECT_TRUE(Bool("gGame:IsXControllerPresent(0)"));
    EXPECT_TRUE(Bool("gGame:IsXControllerKeyPressed(INPUT_ANY_PAD, INPUT_PAD_B)"));
    EXPECT_TRUE(Bool("gGame:IsXControllerKeyPressedForTheFirstTime(0, INPUT_PAD_B)"));
    EXPECT_FALSE(Bool("gGame:IsXControllerKeyPressed(1, INPUT_PAD_B)"));
    Run("gStick = gGame:GetXControllerAnalogInput(INPUT_ANY_PAD).w gTrigger = gGame:GetXControllerRightTriggerInput(0) "
        "gLeft = gGame:GetXControllerLeftTriggerInput(0)");
    EXPECT_EQ(GlobalNumber("gStick"), 1.0);
    EXPECT_EQ(GlobalNumber("gTrigger"), 1.0);
    EXPECT_NEAR(GlobalNumber("gLeft"), 0.5, 0.01);
    state.buttons = 0;
    input::SetXInputPadState(0, state);
    Step();
    EXPECT_TRUE(Bool("gGame:IsXControllerKeyReleasedForTheFirstTime(0, INPUT_PAD_B)"));

    gProjectConfig.m_enableController = false;
    EXPECT_FALSE(Bool("gGame:IsXControllerPresent(0)"));
    EXPECT_FALSE(Bool("gGame:IsXControllerKeyPressed(0, INPUT_PAD_B)"));
    EXPECT_FALSE(Bool("gGame:IsXControllerKeyPressedForTheFirstTime(0, INPUT_PAD_B)"));
    EXPECT_FALSE(Bool("gGame:IsXControllerKeyReleasedForTheFirstTime(0, INPUT_PAD_B)"));
    Run("gStick = gGame:GetXControllerAnalogInput(0).w gTrigger = gGame:GetXControllerRightTriggerInput(0) "
        "gLeft = gGame:GetXControllerLeftTriggerInput(0)");
    EXPECT_EQ(GlobalNumber("gStick"), 0.0);
    EXPECT_EQ(GlobalNumber("gTrigger"), 0.0);
    EXPECT_EQ(GlobalNumber("gLeft"), 0.0);
    // The enable mask is not behind the gate.
    Run("gGame:EnableControllerInput(0, false)");
    EXPECT_EQ(Input().GetControllerEnableMask(), 0xFFFFFFFEu);
    Run("gGame:EnableControllerInput(INPUT_ANY_PAD, true)");
    EXPECT_EQ(Input().GetControllerEnableMask(), 0xFFFFFFFFu);
}

TEST_F(ScriptGameInputTest, VibrationNeedsAllThreeSwitches)
{
    uint16_t left = 0;
    uint16_t right = 0;
    gGameConfig.m_xControllerVibrations = false;
    Run("gGame:VibrateXController(0.5, 0.5, 1.0)");
    input::GetXInputVibration(0, left, right);
    EXPECT_EQ(left, 0);
    gGameConfig.m_xControllerVibrations = true;
    gProjectConfig.m_enableControllerVibrations = false;
    Run("gGame:VibrateXController(0.5, 0.5, 1.0)");
    input::GetXInputVibration(0, left, right);
    EXPECT_EQ(left, 0);
    gProjectConfig.m_enableControllerVibrations = true;
    Run("gGame:VibrateXController(0.5, 0.25, 1.0)");
    input::GetXInputVibration(0, left, right);
    EXPECT_EQ(left, 65535);
    EXPECT_EQ(right, 32767);
}

// The Game's own pad reads (the frame's UI navigation) and the options service's vibration are
// behind the same "Enable controller" gate as the script calls.
TEST_F(ScriptGameInputTest, TheFrameNavigationAndTheOptionsVibrationAreGatedToo)
{
    input::XInputGamepad state;
    state.thumbRY = 32767;
    input::SetXInputPadState(0, state);
    Step();
    LUAConfigHelper helper;
    uint16_t left = 0;
    uint16_t right = 0;
    for (const bool enabled : {false, true})
    {
        gProjectConfig.m_enableController = enabled;
        EXPECT_EQ(gGame.GetXControllerAnalogInput(INPUT_ANY_PAD).w, enabled ? 1.0f : 0.0f) << enabled;
        helper.VibrateXController(0.5f, 0.25f, 1.0f);
        input::GetXInputVibration(0, left, right);
        EXPECT_EQ(left, enabled ? 65535 : 0) << enabled;
        EXPECT_EQ(right, enabled ? 32767 : 0) << enabled;
    }
    gProjectConfig.m_enableControllerVibrations = false;
    helper.VibrateXController(0.0f, 0.0f, 1.0f);
    input::GetXInputVibration(0, left, right);
    EXPECT_EQ(left, 65535) << "the project's vibration switch is honoured as well";
}

TEST_F(ScriptGameInputTest, DirectInputPadAndNames)
{
    input::GamePadSpec spec;
    spec.productName = "Arcade stick";
    spec.buttonNames = {"Punch"};
    const uint32_t handle = input::PlugGamePad(spec);
    Input().ReconnectDevices();
    input::SetGamePadButton(handle, 0, true);
    input::SetGamePadAxes(handle, 1.0f, 0.0f, 0.0f, 0.0f);
    Step();
    EXPECT_TRUE(Bool("gGame:GetDIControllerAnalogInput(0).x > 0.9"));
    EXPECT_TRUE(Bool("gGame:IsDIControllerPresent(0)"));
    EXPECT_TRUE(Bool("gGame:IsDIControllerKeyPressed(0, 1) and gGame:IsDIControllerKeyPressedForTheFirstTime(0, 1)"));
    EXPECT_FALSE(Bool("gGame:IsDIControllerKeyPressed(0, 0) or gGame:IsDIControllerKeyPressed(0, 33)"));
    input::SetKeyName(30, "A key");
    Run("local s = LuaUnicodeString:new() gGame:AppendDIDeviceName(s, 0, true) gGame:AppendDIKeyName(s, 0, false) "
        "gLength = s:GetLength() gGame:GetKeyName(s, 30, true) gKeyLength = s:GetLength() s:delete()");
    EXPECT_EQ(GlobalNumber("gLength"), double(std::string("Arcade stickPunch").size()));
    EXPECT_EQ(GlobalNumber("gKeyLength"), 5.0);
    gProjectConfig.m_enableController = false;
    EXPECT_FALSE(Bool("gGame:IsDIControllerPresent(0)"));
    EXPECT_FALSE(Bool("gGame:IsDIControllerKeyPressed(0, 1) or gGame:IsDIControllerKeyPressedForTheFirstTime(0, 1)"));
    EXPECT_TRUE(Bool("gGame:GetDIControllerAnalogInput(0).x == 0"));
}

TEST_F(ScriptGameInputTest, GameCloseShutsTheDevicesDown)
{
    input::StickyKeys sticky;
    ASSERT_TRUE(input::GetStickyKeys(sticky));
    EXPECT_EQ(sticky.flags & input::kAccessHotKeyActive, 0u);
    ASSERT_TRUE(input::IsSteamControllerInterfaceRunning());
    // Only a started game shuts the devices down at its close.
    gGame.Close();
    EXPECT_TRUE(input::IsSteamControllerInterfaceRunning());
    gGame.Init(&m_window, 640, 360, nullptr, nullptr, 0);
    EXPECT_NE(Input().GetPadSlot(0), nullptr) << "the start opens the devices again";
    gGame.Close();
    EXPECT_FALSE(input::IsSteamControllerInterfaceRunning());
    ASSERT_TRUE(input::GetStickyKeys(sticky));
    EXPECT_NE(sticky.flags & input::kAccessHotKeyActive, 0u);
    EXPECT_EQ(Input().GetPadSlot(0), nullptr);
    EXPECT_FALSE(Bool("gGame:IsXControllerPresent(INPUT_ANY_PAD)"));
}

TEST_F(ScriptGameInputTest, TapsReachScripts)
{
    Run("gGame:SetTapMoveThreshold(0.05)");
    EXPECT_FLOAT_EQ(gTapMoveThreshold, 0.05f);
    EXPECT_TRUE(Bool("gGame:IsMouseTapEmulationEnabled()"));
    Input().OnMouseButton(0.5f, 0.5f, INPUT_MOUSE_EVENT_LEFT_DOWN);
    Input().OnMouseMove(0.6f, 0.5f);
    ASSERT_EQ(Input().GetTaps().Count(), 1);
    const double id = Input().GetTaps()[0].id;
    Run("gId, gSource = gGame:GetNewTap(0)");
    EXPECT_EQ(GlobalNumber("gId"), id);
    EXPECT_EQ(GlobalNumber("gSource"), double(INPUT_MOUSE_LEFT));
    Run("gNone, gSource = gGame:GetNewTapForUIElement(nil, 1, 7)");
    EXPECT_EQ(GlobalNumber("gSource"), 0.0);
    EXPECT_TRUE(Bool("gGame:IsTapStillActive(gId)"));
    Run("local start = Vector:new_local() local p, source, distance, duration = gGame:GetTapPosition(gId, start, 0, 0, 0) "
        "gX, gStartX, gDistance = p.x, start.x, distance");
    EXPECT_NEAR(GlobalNumber("gX"), 0.55, 1e-6);
    EXPECT_NEAR(GlobalNumber("gStartX"), 0.5, 1e-6);
    EXPECT_NEAR(GlobalNumber("gDistance"), 0.05, 1e-6);
    EXPECT_FALSE(Bool("gGame:IsTapWithinUIElement(gId, nil, 1)"));
    // The tap id and the element id are both numbers: each must reach its own place.
    UIScreen::SetUISizeOverride(320.0f, 240.0f);
    UIScreen* const screen = new UIScreen;
    UIElement* const button = new UIElement;
    button->SetSizeXY(320.0f, 240.0f);
    button->RaiseFlag(UIFLAG_FOCUSABLEWITHMOUSE);
    screen->AddChild(button);
    screen->SetVisible(true);
    UIScreenStack stack;
    stack.PushScreen(screen);
    stack.Draw(320, 240, FrameClock(), FrameClock(), Vector::ZERO4);
    EXPECT_TRUE(ScriptGameIsTapWithinUIElement(&gGame, uint32_t(id), screen, button->GetId()));
    screen->Release();
    UIScreen::SetUISizeOverride(0.0f, 0.0f);
    Run("gGame:CancelTapAsClick(gId) local _, _, distance = gGame:GetTapPosition(gId, Vector:new_local(), 0, 0, 0) "
        "gDistance = distance");
    EXPECT_GT(GlobalNumber("gDistance"), 1e18) << "no longer a click";
    Input().OnMouseButton(0.6f, 0.5f, INPUT_MOUSE_EVENT_LEFT_UP);
    Run("gReleased = gGame:GetNextReleasedTap() gNext = gGame:GetNextTapId(0)");
    EXPECT_EQ(GlobalNumber("gReleased"), id);
    EXPECT_EQ(GlobalNumber("gNext"), id);
    Run("gGame:EnableMouseTapEmulation(false)");
    EXPECT_FALSE(Input().IsMouseTapEmulationEnabled());
    Run("gGame:EnableMouseTapEmulation(true)");
    Input().OnMouseButton(0.5f, 0.5f, INPUT_MOUSE_EVENT_LEFT_DOWN);
    Run("gGame:MarkTapRetrieved(gGame:GetNextTapId(gId)) gNew = gGame:GetNewTap(0)");
    EXPECT_EQ(GlobalNumber("gNew"), 0.0) << "a tap marked as seen is not new";
    Input().OnMouseButton(0.5f, 0.5f, INPUT_MOUSE_EVENT_LEFT_UP);
    Input().EndFrame();
    EXPECT_EQ(Depth(), 0);
}
} // namespace
