#include "InputTestSupport.h"

#include "engine/input/InputCodes.h"
#include "engine/input/XController.h"

namespace
{
class XControllerTest : public InputTest
{
protected:
    void SetPad(uint32_t user, const input::XInputGamepad& state) { input::SetXInputPadState(user, state); }
};

TEST_F(XControllerTest, DeadZonesGiveTheWorkedNumbers)
{
    input::PlugXInputPad(0);
    input::XInputGamepad state;
    state.thumbLX = int16_t(0.2f * 32767);
    state.thumbLY = 32767;
    state.thumbRX = int16_t(-0.62f * 32767);
    state.thumbRY = 8689; // exactly the right dead zone
    SetPad(0, state);
    XController pad(0);
    ASSERT_TRUE(pad.IsConnected());
    EXPECT_FLOAT_EQ(pad.GetAnalog().x, 0.0f);
    EXPECT_FLOAT_EQ(pad.GetAnalog().y, 1.0f);
    EXPECT_NEAR(pad.GetAnalog().z, -0.4828f, 0.001f);
    EXPECT_NEAR(pad.GetAnalog().w, 0.0f, 1e-6f);

    // The left stick's zone is smaller: -0.62 reads about -0.50 there too, each axis on its own.
    state.thumbLX = int16_t(-0.62f * 32767);
    state.thumbLY = -32768;
    SetPad(0, state);
    EXPECT_FALSE(pad.Update(Advance(0.1)));
    EXPECT_NEAR(pad.GetAnalog().x, -0.5003f, 0.001f);
    EXPECT_FLOAT_EQ(pad.GetAnalog().y, -1.0f);
}

TEST_F(XControllerTest, TriggerAtExactlyTheThresholdIsUpAndEdgesAreSeenOnce)
{
    input::PlugXInputPad(1);
    XController pad(1);
    EXPECT_FALSE(pad.IsButtonReleasedFirstTime(INPUT_PAD_LEFT_TRIGGER) ||
                 pad.IsButtonReleasedFirstTime(INPUT_PAD_RIGHT_TRIGGER)) << "nothing was down before";
    input::XInputGamepad state;
    state.leftTrigger = 30;
    state.rightTrigger = 31;
    SetPad(1, state);
    pad.Update(Advance(0.1));
    EXPECT_FLOAT_EQ(pad.GetLeftTrigger(), 30.0f / 255.0f);
    EXPECT_FALSE(pad.IsButtonDown(INPUT_PAD_LEFT_TRIGGER));
    EXPECT_FALSE(pad.IsButtonPressedFirstTime(INPUT_PAD_LEFT_TRIGGER));
    EXPECT_TRUE(pad.IsButtonDown(INPUT_PAD_RIGHT_TRIGGER));
    EXPECT_TRUE(pad.IsButtonPressedFirstTime(INPUT_PAD_RIGHT_TRIGGER));

    // Falling from above to exactly the threshold is a release; resting there is not another.
    state.rightTrigger = 30;
    SetPad(1, state);
    pad.Update(Advance(0.1));
    EXPECT_FALSE(pad.IsButtonDown(INPUT_PAD_RIGHT_TRIGGER));
    EXPECT_TRUE(pad.IsButtonReleasedFirstTime(INPUT_PAD_RIGHT_TRIGGER));
    pad.Update(Advance(0.1));
    EXPECT_FALSE(pad.IsButtonReleasedFirstTime(INPUT_PAD_RIGHT_TRIGGER));
    // From exactly the threshold down to zero: no release is invented.
    state.rightTrigger = 0;
    SetPad(1, state);
    pad.Update(Advance(0.1));
    EXPECT_FALSE(pad.IsButtonReleasedFirstTime(INPUT_PAD_RIGHT_TRIGGER));
    EXPECT_FALSE(pad.IsButtonPressedFirstTime(INPUT_PAD_RIGHT_TRIGGER));

    state.leftTrigger = 255;
    SetPad(1, state);
    pad.Update(Advance(0.1));
    EXPECT_TRUE(pad.IsButtonPressedFirstTime(INPUT_PAD_LEFT_TRIGGER));
    pad.Update(Advance(0.1));
    EXPECT_FALSE(pad.IsButtonPressedFirstTime(INPUT_PAD_LEFT_TRIGGER));
    state.leftTrigger = 0;
    SetPad(1, state);
    pad.Update(Advance(0.1));
    EXPECT_TRUE(pad.IsButtonReleasedFirstTime(INPUT_PAD_LEFT_TRIGGER));
}

TEST_F(XControllerTest, ButtonsCompareThisFrameWithTheLast)
{
    input::PlugXInputPad(0);
    XController pad(0);
    EXPECT_FALSE(pad.HasInput());
    input::XInputGamepad state;
    // The device's own bits for A, Start, the left shoulder and the left stick's click.
    state.buttons = 0x1000 | 0x0010 | 0x0100 | 0x0040;
    SetPad(0, state);
    EXPECT_FALSE(pad.Update(Advance(0.0)));
    EXPECT_FALSE(pad.HasInput()) << "not asked again at the time it was made";
    pad.Update(Advance(0.1));
    EXPECT_TRUE(pad.HasInput());
    EXPECT_TRUE(pad.IsButtonDown(INPUT_PAD_A));
    EXPECT_TRUE(pad.IsButtonPressedFirstTime(INPUT_PAD_A));
    EXPECT_TRUE(pad.IsButtonDown(INPUT_PAD_LEFT_SHOULDER));
    EXPECT_TRUE(pad.IsButtonDown(INPUT_PAD_LEFT_THUMB));
    EXPECT_FALSE(pad.IsButtonDown(INPUT_PAD_RIGHT_THUMB));
    EXPECT_FALSE(pad.IsButtonDown(INPUT_PAD_B));
    state.buttons = INPUT_PAD_START;
    SetPad(0, state);
    pad.Update(Advance(0.1));
    EXPECT_FALSE(pad.IsButtonPressedFirstTime(INPUT_PAD_START));
    EXPECT_TRUE(pad.IsButtonReleasedFirstTime(INPUT_PAD_A));
    EXPECT_FALSE(pad.IsButtonReleasedFirstTime(INPUT_PAD_START));
}

TEST_F(XControllerTest, VibrationScalesByTwoAndClamps)
{
    input::PlugXInputPad(0);
    XController pad(0);
    uint16_t left = 0;
    uint16_t right = 0;
    pad.Vibrate(0.5f, 0.25f);
    input::GetXInputVibration(0, left, right);
    EXPECT_EQ(left, 65535);
    EXPECT_EQ(right, 32767);
    pad.Vibrate(-1.0f, 3.0f);
    input::GetXInputVibration(0, left, right);
    EXPECT_EQ(left, 0);
    EXPECT_EQ(right, 65535);
}

TEST_F(XControllerTest, AbsentPadIsAskedForAgainOnlyAfterTheInterval)
{
    XController pad(0);
    EXPECT_FALSE(pad.IsConnected());
    const uint32_t before = input::GetXInputQueryCount(0);
    EXPECT_FALSE(pad.Update(Advance(0.01)));
    EXPECT_EQ(input::GetXInputQueryCount(0), before + 1);
    // Between 2 and 4.5 s pass before the next query.
    input::PlugXInputPad(0);
    EXPECT_FALSE(pad.Update(Advance(1.99)));
    EXPECT_EQ(input::GetXInputQueryCount(0), before + 1);
    EXPECT_FALSE(pad.IsConnected());
    bool connected = false;
    for (int step = 0; step < 26 && !connected; ++step)
        connected = pad.Update(Advance(0.1));
    EXPECT_TRUE(connected);
    EXPECT_EQ(input::GetXInputQueryCount(0), before + 2);
    EXPECT_EQ(CountMessages("XBox controller #0 connected"), 1u);
    // A connected pad is read on every update, without repeating the message.
    pad.Update(Advance(0.01));
    pad.Update(Advance(0.01));
    EXPECT_EQ(input::GetXInputQueryCount(0), before + 4);
    EXPECT_EQ(CountMessages("XBox controller #0 connected"), 1u);
}

TEST_F(XControllerTest, DisconnectClearsTheStateOnceAndPollNowAsksAtOnce)
{
    input::PlugXInputPad(1);
    input::XInputGamepad state;
    state.buttons = INPUT_PAD_X;
    state.thumbLX = 32767;
    state.leftTrigger = 255;
    SetPad(1, state);
    XController pad(1);
    input::UnplugXInputPad(1);
    EXPECT_TRUE(pad.Update(Advance(0.1)));
    EXPECT_FALSE(pad.IsConnected());
    EXPECT_TRUE(pad.GetAnalog().Equal(Vector::ZERO4));
    EXPECT_EQ(pad.GetLeftTrigger(), 0.0f);
    EXPECT_FALSE(pad.IsButtonDown(INPUT_PAD_X));
    EXPECT_TRUE(pad.IsButtonReleasedFirstTime(INPUT_PAD_X));
    EXPECT_FALSE(pad.Update(Advance(10.0)));
    EXPECT_EQ(CountMessages("XBox controller #1 disconnected"), 1u);

    input::PlugXInputPad(1);
    const Time now = Advance(0.001);
    EXPECT_FALSE(pad.Update(now));
    pad.PollNow();
    EXPECT_TRUE(pad.Update(now));
    EXPECT_TRUE(pad.IsConnected());
}
} // namespace
