#include "InputTestSupport.h"

#include "core/filesystem/FileSystem.h"
#include "engine/input/InputManager.h"
#include "engine/input/MouseMessageFeed.h"
#include "platform/input/MouseMessages.h"
#include "platform/input/SteamController.h"
#include "platform/input/XInput.h"
#include "support/TempFolder.h"

#include <string>
#include <vector>

namespace
{
class InputManagerTest : public InputTest
{
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        ASSERT_TRUE(gFileSystem.MountDirectory("locals", m_folder.Path().c_str()));
    }
    void TearDown() override
    {
        m_manager.Shutdown();
        gFileSystem.UnmountAll();
        InputTest::TearDown();
    }
    void Start()
    {
        ASSERT_TRUE(m_manager.InitDirectInput());
        ASSERT_TRUE(m_manager.InitDevices(&m_window));
    }
    // One input step as the game runs it: steps repeat while mouse events wait.
    int RunInputSteps(std::vector<std::string>* seen = nullptr)
    {
        int steps = 0;
        const Time now = Advance(0.016);
        do
        {
            m_manager.Update(now);
            ++steps;
            if (seen != nullptr)
            {
                std::string state;
                state += m_manager.IsKeyPressed(INPUT_MOUSE_LEFT) ? "L" : "-";
                state += m_manager.IsKeyPressedForTheFirstTime(INPUT_MOUSE_LEFT) ? "p" : "";
                state += m_manager.IsKeyReleasedForTheFirstTime(INPUT_MOUSE_LEFT) ? "r" : "";
                seen->push_back(state);
            }
        } while (m_manager.HasQueuedMouseEvents());
        return steps;
    }
    static void SetStick(uint32_t user, int16_t lx, uint8_t leftTrigger = 0, uint16_t buttons = 0)
    {
        input::XInputGamepad state;
        state.thumbLX = lx;
        state.leftTrigger = leftTrigger;
        state.buttons = buttons;
        input::SetXInputPadState(user, state);
    }

    TempFolder m_folder;
    int m_window = 0;
    InputManager m_manager;
};

TEST_F(InputManagerTest, KeysAreHeldPressedAndReleasedFrameByFrame)
{
    Start();
    input::SetKey(30, true);
    RunInputSteps();
    EXPECT_TRUE(m_manager.IsKeyPressed(30));
    EXPECT_TRUE(m_manager.IsKeyPressedForTheFirstTime(30));
    EXPECT_FALSE(m_manager.IsKeyReleasedForTheFirstTime(30));
    EXPECT_FALSE(m_manager.IsKeyPressed(31));
    RunInputSteps();
    EXPECT_TRUE(m_manager.IsKeyPressed(30));
    EXPECT_FALSE(m_manager.IsKeyPressedForTheFirstTime(30));
    input::SetKey(30, false);
    RunInputSteps();
    EXPECT_FALSE(m_manager.IsKeyPressed(30));
    EXPECT_TRUE(m_manager.IsKeyReleasedForTheFirstTime(30));
    RunInputSteps();
    EXPECT_FALSE(m_manager.IsKeyReleasedForTheFirstTime(30));
    // Codes between the key and mouse ranges, and past the mouse codes, are nothing.
    for (uint32_t code : {256u, 0xFFFFu, 0x10006u, 0xFFFFFFFFu})
    {
        EXPECT_FALSE(m_manager.IsKeyPressed(code));
        EXPECT_FALSE(m_manager.IsKeyPressedForTheFirstTime(code));
        EXPECT_FALSE(m_manager.IsKeyReleasedForTheFirstTime(code));
    }
    EXPECT_EQ(m_manager.GetUpdateCount(), 4u);
}

TEST_F(InputManagerTest, FailedKeyboardPollReleasesEveryKey)
{
    Start();
    input::SetKey(44, true);
    RunInputSteps();
    ASSERT_TRUE(m_manager.IsKeyPressed(44));
    input::FailKeyboardReads(1);
    RunInputSteps();
    EXPECT_FALSE(m_manager.IsKeyPressed(44));
    EXPECT_TRUE(m_manager.IsKeyReleasedForTheFirstTime(44));
    RunInputSteps();
    EXPECT_TRUE(m_manager.IsKeyPressedForTheFirstTime(44));
}

TEST_F(InputManagerTest, KeyboardNeedsDirectInputFirst)
{
    // Devices started without the interface: the keyboard reports itself unusable, keys stay up.
    InputManager early;
    ASSERT_TRUE(early.InitDevices(&m_window));
    EXPECT_TRUE(m_log.Contains("Unable to initialize keyboard", CONSOLE_ERROR));
    input::SetKey(30, true);
    early.Update(Advance(0.016));
    EXPECT_FALSE(early.IsKeyPressed(30));
    early.Shutdown();

    m_log.Clear();
    Start();
    m_manager.Update(Advance(0.016));
    EXPECT_TRUE(m_manager.IsKeyPressed(30));
    EXPECT_FALSE(m_log.Contains("Unable to initialize"));
}

TEST_F(InputManagerTest, DirectInputThatCannotStartIsLoggedAndKeysStayUp)
{
    input::FailDirectInputCreation(1);
    EXPECT_FALSE(m_manager.InitDirectInput());
    EXPECT_TRUE(m_log.Contains("Unable to initialize DirectInput", CONSOLE_ERROR));
    EXPECT_TRUE(m_manager.InitDevices(&m_window));
    input::SetKey(30, true);
    RunInputSteps();
    EXPECT_FALSE(m_manager.IsKeyPressed(30));
    char name[16] = "x";
    m_manager.GetKeyName(name, sizeof(name), 30);
    EXPECT_STREQ(name, "");
}

TEST_F(InputManagerTest, MouseQueueMergesMovesAndButtons)
{
    m_manager.OnMouseMove(0.1f, 0.1f);
    m_manager.OnMouseMove(0.2f, 0.2f);
    ASSERT_EQ(m_manager.GetMouseEvents().Count(), 1);
    EXPECT_EQ(m_manager.GetMouseEvents()[0].x, 0.2f);
    // A button takes a trailing move's place with its own position.
    m_manager.OnMouseButton(0.3f, 0.4f, INPUT_MOUSE_EVENT_LEFT_DOWN);
    ASSERT_EQ(m_manager.GetMouseEvents().Count(), 1);
    EXPECT_EQ(m_manager.GetMouseEvents()[0].kind, INPUT_MOUSE_EVENT_LEFT_DOWN);
    EXPECT_EQ(m_manager.GetMouseEvents()[0].y, 0.4f);
    m_manager.OnMouseMove(0.5f, 0.5f);
    m_manager.OnMouseMove(2.0f, -1.0f);
    m_manager.OnMouseButton(0.6f, 0.6f, INPUT_MOUSE_EVENT_RIGHT_DOWN);
    m_manager.OnMouseButton(0.7f, 0.7f, INPUT_MOUSE_EVENT_RIGHT_UP);
    m_manager.OnMouseMove(2.0f, -1.0f);
    const Dynarray<InputManager::MouseEvent>& events = m_manager.GetMouseEvents();
    ASSERT_EQ(events.Count(), 4);
    EXPECT_EQ(events[1].kind, INPUT_MOUSE_EVENT_RIGHT_DOWN);
    EXPECT_EQ(events[2].kind, INPUT_MOUSE_EVENT_RIGHT_UP);
    EXPECT_EQ(events[3].kind, INPUT_MOUSE_EVENT_MOVE);
    // Positions are clamped to the client area.
    EXPECT_EQ(events[3].x, 1.0f);
    EXPECT_EQ(events[3].y, 0.0f);
    // Unknown kinds are refused.
    m_manager.OnMouseButton(0.5f, 0.5f, 12);
    EXPECT_EQ(events.Count(), 4);
    EXPECT_TRUE(m_log.Contains("Unknown mouse event kind 12", CONSOLE_WARNING));
}

TEST_F(InputManagerTest, EachQueuedMouseEventGetsAStepOfItsOwn)
{
    m_manager.OnMouseButton(0.1f, 0.1f, INPUT_MOUSE_EVENT_LEFT_DOWN);
    m_manager.OnMouseButton(0.1f, 0.1f, INPUT_MOUSE_EVENT_LEFT_UP);
    m_manager.OnMouseButton(0.2f, 0.2f, INPUT_MOUSE_EVENT_LEFT_DOWN);
    m_manager.OnMouseButton(0.3f, 0.4f, INPUT_MOUSE_EVENT_LEFT_UP);
    std::vector<std::string> seen;
    EXPECT_EQ(RunInputSteps(&seen), 4);
    EXPECT_EQ(seen, (std::vector<std::string>{"Lp", "-r", "Lp", "-r"}));
    EXPECT_EQ(m_manager.GetCursorPosition().x, 0.3f);
    EXPECT_EQ(m_manager.GetCursorPosition().y, 0.4f);
    EXPECT_EQ(m_manager.GetCursorPosition().w, 0.0f);
    seen.clear();
    EXPECT_EQ(RunInputSteps(&seen), 1);
    EXPECT_EQ(seen, std::vector<std::string>{"-"});
}

TEST_F(InputManagerTest, DoubleClicksLastOneStepAndButtonsStayLatched)
{
    m_manager.OnMouseButton(0.5f, 0.5f, INPUT_MOUSE_EVENT_RIGHT_DOUBLE_CLICK);
    m_manager.OnMouseButton(0.5f, 0.5f, INPUT_MOUSE_EVENT_RIGHT_DOWN);
    RunInputSteps();
    // The last step saw the press; the double-click was the step before and is cleared now.
    EXPECT_TRUE(m_manager.IsKeyPressed(INPUT_MOUSE_RIGHT));
    EXPECT_FALSE(m_manager.IsKeyPressed(INPUT_MOUSE_RIGHT_DOUBLE_CLICK));
    EXPECT_TRUE(m_manager.IsKeyReleasedForTheFirstTime(INPUT_MOUSE_RIGHT_DOUBLE_CLICK));
    m_manager.OnMouseButton(0.5f, 0.5f, INPUT_MOUSE_EVENT_MIDDLE_DOUBLE_CLICK);
    m_manager.Update(Advance(0.016));
    EXPECT_TRUE(m_manager.IsKeyPressedForTheFirstTime(INPUT_MOUSE_MIDDLE_DOUBLE_CLICK));
    EXPECT_TRUE(m_manager.IsKeyPressed(INPUT_MOUSE_RIGHT));
    m_manager.Update(Advance(0.016));
    EXPECT_FALSE(m_manager.IsKeyPressed(INPUT_MOUSE_MIDDLE_DOUBLE_CLICK));
    EXPECT_TRUE(m_manager.IsKeyPressed(INPUT_MOUSE_RIGHT));
}

TEST_F(InputManagerTest, WheelCursorAndWindowEdges)
{
    EXPECT_EQ(m_manager.GetCursorPosition().x, 0.5f);
    EXPECT_TRUE(m_manager.IsCursorOnGameWindow());
    m_manager.OnMouseWheel(120);
    m_manager.OnMouseWheel(240);
    EXPECT_EQ(m_manager.GetMouseWheel(), 0.0f);
    m_manager.Update(Advance(0.016));
    // Set, not added.
    EXPECT_EQ(m_manager.GetMouseWheel(), 1.0f);
    m_manager.OnMouseWheel(-120);
    m_manager.Update(Advance(0.016));
    EXPECT_EQ(m_manager.GetMouseWheel(), -1.0f);
    m_manager.OnMouseWheel(0);
    m_manager.Update(Advance(0.016));
    EXPECT_EQ(m_manager.GetMouseWheel(), 0.0f);

    m_manager.OnMouseButton(0.9f, 0.1f, INPUT_MOUSE_EVENT_LEFT_WINDOW);
    m_manager.Update(Advance(0.016));
    EXPECT_FALSE(m_manager.IsCursorOnGameWindow());
    EXPECT_EQ(m_manager.GetCursorPosition().x, 0.9f);
    m_manager.OnMouseButton(0.8f, 0.1f, INPUT_MOUSE_EVENT_ENTERED_WINDOW);
    m_manager.Update(Advance(0.016));
    EXPECT_TRUE(m_manager.IsCursorOnGameWindow());
}

TEST_F(InputManagerTest, WindowMouseMessagesReachTheQueue)
{
    input::PostMouseMessage({input::MouseMessageKind::Move, 400, 120, 0});
    input::PostMouseMessage({input::MouseMessageKind::LeftDoubleClick, 200, 240, 0});
    input::PostMouseMessage({input::MouseMessageKind::Wheel, 0, 0, -120});
    MouseMessageFeed::Deliver(m_manager, 800, 480);
    const Dynarray<InputManager::MouseEvent>& events = m_manager.GetMouseEvents();
    ASSERT_EQ(events.Count(), 2);
    EXPECT_EQ(events[0].kind, INPUT_MOUSE_EVENT_LEFT_DOUBLE_CLICK);
    EXPECT_EQ(events[0].x, 0.25f);
    EXPECT_EQ(events[0].y, 0.5f);
    EXPECT_EQ(events[1].kind, INPUT_MOUSE_EVENT_LEFT_DOWN);
    m_manager.Update(Advance(0.016));
    EXPECT_EQ(m_manager.GetMouseWheel(), -1.0f);
    // An unplugged mouse sends nothing.
    input::PlugMouse(false);
    input::PostMouseMessage({input::MouseMessageKind::RightDown, 1, 1, 0});
    input::PlugMouse(true);
    MouseMessageFeed::Deliver(m_manager, 800, 480);
    EXPECT_EQ(events.Count(), 1);
    // A window without a client area drops what came; a button message is its own event.
    input::PostMouseMessage({input::MouseMessageKind::LeftUp, 1, 1, 0});
    MouseMessageFeed::Deliver(m_manager, 0, 480);
    input::PostMouseMessage({input::MouseMessageKind::RightDown, 400, 120, 0});
    MouseMessageFeed::Deliver(m_manager, 800, 480);
    ASSERT_EQ(events.Count(), 2);
    EXPECT_EQ(events[1].kind, INPUT_MOUSE_EVENT_RIGHT_DOWN);
    EXPECT_EQ(events[1].x, 0.5f);
    input::PostMouseMessage({input::MouseMessageKind::Move, 200, 360, 0});
    MouseMessageFeed::Deliver(m_manager, 800, 480);
    ASSERT_EQ(events.Count(), 3);
    EXPECT_EQ(events[2].kind, INPUT_MOUSE_EVENT_MOVE);
    EXPECT_EQ(events[2].x, 0.25f);
    EXPECT_EQ(events[2].y, 0.75f);
}

TEST_F(InputManagerTest, AnyPadQueriesFollowTheEnableMask)
{
    input::PlugXInputPad(0);
    input::PlugXInputPad(1);
    Start();
    EXPECT_FALSE(m_manager.IsXControllerPresent(2)); // Steam controller 0 is not connected
    EXPECT_TRUE(m_manager.IsXControllerPresent(INPUT_ANY_PAD));
    m_manager.Update(Advance(0.016));
    // At rest: the zero vector, not the first pad's.
    EXPECT_TRUE(m_manager.GetXControllerAnalogInput(INPUT_ANY_PAD).Equal(Vector::ZERO4));

    // Equal deflections: the first enabled pad wins.
    SetStick(0, 32767);
    SetStick(1, -32767);
    m_manager.Update(Advance(0.016));
    EXPECT_FLOAT_EQ(m_manager.GetXControllerAnalogInput(INPUT_ANY_PAD).x, 1.0f);

    SetStick(0, 16000, 100, INPUT_PAD_A);
    SetStick(1, -32767, 200);
    m_manager.Update(Advance(0.016));
    EXPECT_FLOAT_EQ(m_manager.GetXControllerAnalogInput(INPUT_ANY_PAD).x, -1.0f);
    EXPECT_FLOAT_EQ(m_manager.GetXControllerLeftTriggerInput(INPUT_ANY_PAD), 200.0f / 255.0f);
    EXPECT_FLOAT_EQ(m_manager.GetXControllerLeftTriggerInput(0), 100.0f / 255.0f);
    EXPECT_EQ(m_manager.GetXControllerRightTriggerInput(INPUT_ANY_PAD), 0.0f);
    EXPECT_TRUE(m_manager.IsXControllerKeyPressed(INPUT_PAD_A, INPUT_ANY_PAD));
    EXPECT_TRUE(m_manager.IsXControllerKeyPressedForTheFirstTime(INPUT_PAD_A, INPUT_ANY_PAD));
    EXPECT_FALSE(m_manager.IsXControllerKeyPressed(INPUT_PAD_A, 1));

    // Pad 1 leaves the "any" queries; single-pad queries still reach it.
    m_manager.EnableControllerInput(false, 1);
    EXPECT_EQ(m_manager.GetControllerEnableMask(), 0xFFFFFFFDu);
    EXPECT_GT(m_manager.GetXControllerAnalogInput(INPUT_ANY_PAD).x, 0.0f);
    EXPECT_FLOAT_EQ(m_manager.GetXControllerLeftTriggerInput(INPUT_ANY_PAD), 100.0f / 255.0f);
    EXPECT_FLOAT_EQ(m_manager.GetXControllerAnalogInput(1).x, -1.0f);
    m_manager.EnableControllerInput(false, 0);
    EXPECT_FALSE(m_manager.IsXControllerKeyPressed(INPUT_PAD_A, INPUT_ANY_PAD));
    EXPECT_FALSE(m_manager.IsXControllerPresent(INPUT_ANY_PAD));
    EXPECT_TRUE(m_manager.IsXControllerPresent(0));
    m_manager.EnableControllerInput(false, INPUT_ANY_PAD);
    EXPECT_FALSE(m_manager.IsXControllerPresent(0));
    m_manager.EnableControllerInput(true, INPUT_ANY_PAD);
    EXPECT_TRUE(m_manager.IsXControllerPresent(1));
    // Slots outside 0-3 are no pad.
    EXPECT_FALSE(m_manager.IsXControllerPresent(4));
    EXPECT_TRUE(m_manager.GetXControllerAnalogInput(7).Equal(Vector::ZERO4));

    m_manager.Update(Advance(0.016));
    SetStick(0, 0);
    m_manager.Update(Advance(0.016));
    EXPECT_TRUE(m_manager.IsXControllerKeyReleasedForTheFirstTime(INPUT_PAD_A, INPUT_ANY_PAD));
    EXPECT_TRUE(m_manager.IsXControllerKeyReleasedForTheFirstTime(INPUT_PAD_A, 0));
    m_manager.EnableControllerInput(false, 0);
    EXPECT_FALSE(m_manager.IsXControllerKeyReleasedForTheFirstTime(INPUT_PAD_A, INPUT_ANY_PAD));
}

TEST_F(InputManagerTest, VibrationReachesEnabledPads)
{
    input::PlugXInputPad(0);
    input::PlugXInputPad(1);
    Start();
    m_manager.EnableControllerInput(false, 1);
    m_manager.VibrateXController(0.25f, 0.5f, INPUT_ANY_PAD);
    uint16_t left = 0;
    uint16_t right = 0;
    input::GetXInputVibration(0, left, right);
    EXPECT_EQ(left, 32767);
    EXPECT_EQ(right, 65535);
    input::GetXInputVibration(1, left, right);
    EXPECT_EQ(left, 0);
    m_manager.VibrateXController(0.25f, 0.0f, 1);
    input::GetXInputVibration(1, left, right);
    EXPECT_EQ(left, 32767);
}

TEST_F(InputManagerTest, SteamControllersTakeSlotsTwoAndThree)
{
    input::PlugSteamController(1);
    Start();
    EXPECT_TRUE(input::IsSteamControllerInterfaceRunning());
    EXPECT_EQ(input::GetSteamControllerConfigPath(), m_folder / "controller.vdf");
    EXPECT_EQ(input::GetSteamControllerOverrideMode(), "");
    ASSERT_NE(m_manager.GetPadSlot(2), nullptr);
    EXPECT_FALSE(m_manager.IsXControllerPresent(2));
    EXPECT_TRUE(m_manager.IsXControllerPresent(3));
    input::SteamControllerPadState state;
    state.buttons = 1u << 12;
    input::SetSteamControllerState(1, state);
    m_manager.Update(Advance(0.016));
    EXPECT_TRUE(m_manager.IsXControllerKeyPressedForTheFirstTime(INPUT_PAD_START, INPUT_ANY_PAD));
    EXPECT_TRUE(m_manager.IsXControllerKeyPressed(INPUT_PAD_START, 3));
    m_manager.Shutdown();
    EXPECT_FALSE(input::IsSteamControllerInterfaceRunning());
    EXPECT_EQ(m_manager.GetPadSlot(3), nullptr);
    // Shut down twice (a game starting again does so): the interface someone else runs by now stays.
    ASSERT_TRUE(input::SteamController::Get()->Init((m_folder / "controller.vdf").c_str()));
    m_manager.Shutdown();
    EXPECT_TRUE(input::IsSteamControllerInterfaceRunning());
}

TEST_F(InputManagerTest, NoSteamInterfaceLeavesTheSlotsEmpty)
{
    input::SetSteamControllerInterfacePresent(false);
    Start();
    EXPECT_NE(m_manager.GetPadSlot(0), nullptr);
    EXPECT_EQ(m_manager.GetPadSlot(2), nullptr);
    EXPECT_EQ(m_manager.GetPadSlot(3), nullptr);
    EXPECT_FALSE(m_manager.IsXControllerKeyPressed(INPUT_PAD_A, 2));
}

TEST_F(InputManagerTest, UpdateReportsPadChangesAndReconnectPollsAtOnce)
{
    Start();
    EXPECT_FALSE(m_manager.Update(Advance(0.016)));
    input::PlugXInputPad(1);
    // Not yet: the absent pad waits for its interval.
    EXPECT_FALSE(m_manager.Update(Advance(0.016)));
    m_manager.ReconnectDevices();
    EXPECT_TRUE(m_manager.Update(Advance(0.016)));
    EXPECT_TRUE(m_manager.IsXControllerPresent(1));
    EXPECT_FALSE(m_manager.Update(Advance(0.016)));

    // A DirectInput pad plugged in later joins on reconnect; its first update reports it.
    input::GamePadSpec spec;
    spec.productName = "Wheel";
    const uint32_t handle = input::PlugGamePad(spec);
    m_manager.ReconnectDevices();
    EXPECT_TRUE(m_manager.IsDIControllerPresent());
    input::SetGamePadButton(handle, 0, true);
    input::SetGamePadButton(handle, 31, true);
    EXPECT_TRUE(m_manager.Update(Advance(0.016)));
    EXPECT_FALSE(m_manager.IsDIControllerKeyPressed(0));
    EXPECT_TRUE(m_manager.IsDIControllerKeyPressed(1));
    EXPECT_TRUE(m_manager.IsDIControllerKeyPressedForTheFirstTime(1));
    EXPECT_TRUE(m_manager.IsDIControllerKeyPressed(32));
    EXPECT_FALSE(m_manager.IsDIControllerKeyPressed(33));
    EXPECT_FALSE(m_manager.IsDIControllerKeyPressedForTheFirstTime(33));
    std::string name;
    m_manager.AppendDIDeviceName(name, true);
    m_manager.AppendDIKeyName(name, 0, false);
    EXPECT_EQ(name, "WheelButton 1");

    m_manager.ReleaseDirectInputPad();
    EXPECT_FALSE(m_manager.IsDIControllerPresent());
    m_manager.ConnectDirectInputPad();
    EXPECT_TRUE(m_manager.IsDIControllerPresent());
    input::UnplugGamePad(handle);
    EXPECT_TRUE(m_manager.Update(Advance(0.016)));
    EXPECT_FALSE(m_manager.IsDIControllerPresent());
}
} // namespace
