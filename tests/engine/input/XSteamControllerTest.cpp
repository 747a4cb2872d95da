#include "InputTestSupport.h"

#include "engine/input/InputCodes.h"
#include "engine/input/XSteamController.h"
#include "platform/input/SteamController.h"

namespace
{
class XSteamControllerTest : public InputTest
{
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        ASSERT_TRUE(input::SteamController::Get()->Init("/tmp/controller.vdf"));
    }
    void Press(uint64_t buttons)
    {
        input::SteamControllerPadState state;
        state.buttons = buttons;
        input::SetSteamControllerState(0, state);
    }
};

TEST_F(XSteamControllerTest, StateBitsMapOntoPadButtons)
{
    input::PlugSteamController(0);
    XSteamController pad(0);
    ASSERT_TRUE(pad.IsConnected());
    const struct
    {
        uint32_t bit;
        uint32_t button;
    } map[] = {{0, INPUT_PAD_RIGHT_TRIGGER}, {1, INPUT_PAD_LEFT_TRIGGER}, {2, INPUT_PAD_RIGHT_SHOULDER},
               {3, INPUT_PAD_LEFT_SHOULDER}, {4, INPUT_PAD_Y},           {5, INPUT_PAD_B},
               {6, INPUT_PAD_X},             {7, INPUT_PAD_A},           {12, INPUT_PAD_START},
               {14, INPUT_PAD_BACK},         {15, INPUT_PAD_BACK},       {16, INPUT_PAD_BACK},
               {17, INPUT_PAD_LEFT_THUMB},   {18, INPUT_PAD_RIGHT_THUMB}};
    const uint32_t all[] = {INPUT_PAD_DPAD_UP, INPUT_PAD_DPAD_DOWN, INPUT_PAD_DPAD_LEFT, INPUT_PAD_DPAD_RIGHT,
                            INPUT_PAD_START, INPUT_PAD_BACK, INPUT_PAD_LEFT_THUMB, INPUT_PAD_RIGHT_THUMB,
                            INPUT_PAD_LEFT_SHOULDER, INPUT_PAD_RIGHT_SHOULDER, INPUT_PAD_A, INPUT_PAD_B,
                            INPUT_PAD_X, INPUT_PAD_Y, INPUT_PAD_LEFT_TRIGGER, INPUT_PAD_RIGHT_TRIGGER};
    for (const auto& entry : map)
    {
        Press(uint64_t(1) << entry.bit);
        pad.Update(Advance(0.01));
        // Exactly one button is down: the trigger codes no longer overlap each other or the d-pad.
        for (uint32_t button : all)
            EXPECT_EQ(pad.IsButtonDown(button), button == entry.button) << "bit " << entry.bit << " button " << button;
        Press(0);
        pad.Update(Advance(0.01));
        EXPECT_TRUE(pad.IsButtonReleasedFirstTime(entry.button)) << entry.bit;
    }
    // Unmapped bits and bits past 18 press nothing.
    Press((uint64_t(1) << 8) | (uint64_t(1) << 13) | (uint64_t(1) << 19) | (uint64_t(1) << 40));
    pad.Update(Advance(0.01));
    EXPECT_FALSE(pad.HasInput());
}

TEST_F(XSteamControllerTest, EdgesAndDeadZone)
{
    input::PlugSteamController(0);
    XSteamController pad(0);
    input::SteamControllerPadState state;
    state.buttons = 1u << 7;
    state.leftPadX = int16_t(0.55f * 32767);
    state.rightPadY = int16_t(-0.05f * 32767);
    input::SetSteamControllerState(0, state);
    pad.Update(Advance(0.01));
    EXPECT_TRUE(pad.IsButtonPressedFirstTime(INPUT_PAD_A));
    EXPECT_NEAR(pad.GetAnalog().x, 0.5f, 1e-4f);
    EXPECT_EQ(pad.GetAnalog().w, 0.0f);
    pad.Update(Advance(0.01));
    EXPECT_TRUE(pad.IsButtonDown(INPUT_PAD_A));
    EXPECT_FALSE(pad.IsButtonPressedFirstTime(INPUT_PAD_A));
    EXPECT_TRUE(pad.HasInput());
}

TEST_F(XSteamControllerTest, ConnectAndDisconnectAreReportedOnce)
{
    XSteamController pad(1);
    EXPECT_FALSE(pad.IsConnected());
    EXPECT_FALSE(pad.Update(Advance(0.01)));
    input::PlugSteamController(1);
    EXPECT_TRUE(pad.Update(Advance(0.01)));
    EXPECT_FALSE(pad.Update(Advance(0.01)));
    input::SteamControllerPadState state;
    state.leftPadY = 32767;
    input::SetSteamControllerState(1, state);
    pad.Update(Advance(0.01));
    input::UnplugSteamController(1);
    EXPECT_TRUE(pad.Update(Advance(0.01)));
    EXPECT_TRUE(pad.GetAnalog().Equal(Vector::ZERO4));
    EXPECT_FALSE(pad.Update(Advance(0.01)));
    EXPECT_EQ(CountMessages("Steam controller #1 connected"), 1u);
    EXPECT_EQ(CountMessages("Steam controller #1 disconnected"), 1u);
}
} // namespace
