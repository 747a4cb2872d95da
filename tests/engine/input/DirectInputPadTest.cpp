#include "InputTestSupport.h"

#include "engine/input/DirectInputPad.h"

#include <memory>

namespace
{
class DirectInputPadTest : public InputTest
{
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        m_directInput = input::DirectInput::Create(input::kDirectInputVersion);
        ASSERT_NE(m_directInput, nullptr);
        m_pad.Init(m_directInput.get(), &m_window);
    }
    void TearDown() override
    {
        m_pad.Release();
        InputTest::TearDown();
    }

    static input::GamePadSpec XInputPadSpec()
    {
        input::GamePadSpec spec;
        spec.vendorId = 0x045E;
        spec.productId = 0x028E;
        spec.productName = "Wired pad (XInput)";
        spec.deviceId = "HID\\VID_045E&PID_028E&IG_00\\7&1C2B&0&0000";
        return spec;
    }
    static input::GamePadSpec PlainPadSpec()
    {
        input::GamePadSpec spec;
        spec.vendorId = 0x1234;
        spec.productId = 0xBEEF;
        spec.productName = "Flight stick";
        spec.deviceId = "HID\\VID_1234&PID_BEEF\\6&2A&0&0000";
        spec.buttonNames = {"Trigger", "Thumb"};
        return spec;
    }

    std::unique_ptr<input::DirectInput> m_directInput;
    int m_window = 0;
    DirectInputPad m_pad;
};

TEST_F(DirectInputPadTest, PadsListedAsXInputAreNeverOpened)
{
    const uint32_t xinputPad = input::PlugGamePad(XInputPadSpec());
    // A second XInput pad known only from the listing (another entity of the same device).
    input::GamePadSpec other = XInputPadSpec();
    other.productId = 0x02FF;
    other.deviceId.clear();
    const uint32_t listedPad = input::PlugGamePad(other);
    input::AddListedDevice("USB\\VID_045E&PID_02FF&IG_01\\8&1");
    EXPECT_FALSE(m_pad.Connect());
    EXPECT_FALSE(m_pad.HasDevice());
    EXPECT_TRUE(m_pad.HasJoystickConfig()) << "the system's first joystick is configured, XInput or not";

    const uint32_t plainPad = input::PlugGamePad(PlainPadSpec());
    EXPECT_TRUE(m_pad.Connect());
    EXPECT_TRUE(m_pad.HasDevice());
    EXPECT_EQ(input::GetOpenedGamePads(), std::vector<uint32_t>{plainPad});
    EXPECT_EQ(input::GetGamePadOpenCount(xinputPad), 0u);
    EXPECT_EQ(input::GetGamePadOpenCount(listedPad), 0u);
    EXPECT_EQ(m_pad.GetXInputDevices().GetIds(), (std::vector<uint32_t>{0x028E045Eu, 0x02FF045Eu}));
    // Holding a device, a second connect does nothing.
    EXPECT_FALSE(m_pad.Connect());
    EXPECT_EQ(input::GetGamePadOpenCount(plainPad), 1u);
}

TEST_F(DirectInputPadTest, DeviceIdsParseVendorAndProduct)
{
    uint32_t id = 1;
    EXPECT_TRUE(XInputDeviceList::ParseDeviceId("USB\\VID_0E6F&PID_f501&IG_00", id));
    EXPECT_EQ(id, 0xF5010E6Fu);
    EXPECT_TRUE(XInputDeviceList::ParseDeviceId("IG_00 without numbers PID_zz", id));
    EXPECT_EQ(id, 0u);
    EXPECT_FALSE(XInputDeviceList::ParseDeviceId("USB\\VID_0E6F&PID_F501", id));
    EXPECT_EQ(id, 0u);
}

TEST_F(DirectInputPadTest, ConnectReportsOnceAndReadsAxesAndButtons)
{
    const uint32_t handle = input::PlugGamePad(PlainPadSpec());
    ASSERT_TRUE(m_pad.Connect());
    EXPECT_EQ(CountMessages("DInput controller connected"), 1u);
    EXPECT_EQ(CountMessages("DInput controller doesn't have FF"), 1u);
    input::SetGamePadAxes(handle, 0.6f, 0.6f, -0.1f, -1.0f);
    input::SetGamePadButton(handle, 0, true);
    input::SetGamePadButton(handle, 31, true);
    input::SetGamePadButton(handle, 32, true);
    // The first update after a connection reports the change, later ones do not.
    EXPECT_TRUE(m_pad.Update());
    EXPECT_FALSE(m_pad.Update());
    // y and rotation z are turned so that up is positive; 0.2 dead zone on every axis.
    EXPECT_NEAR(m_pad.GetAnalog().x, 0.5f, 1e-3f);
    EXPECT_NEAR(m_pad.GetAnalog().y, -0.5f, 1e-3f);
    EXPECT_EQ(m_pad.GetAnalog().z, 0.0f);
    EXPECT_NEAR(m_pad.GetAnalog().w, 1.0f, 1e-6f);
    EXPECT_TRUE(m_pad.IsButtonDown(0));
    EXPECT_TRUE(m_pad.IsButtonDown(31));
    EXPECT_FALSE(m_pad.IsButtonDown(32));
    EXPECT_FALSE(m_pad.IsButtonPressedFirstTime(0));
    input::SetGamePadButton(handle, 0, false);
    input::SetGamePadButton(handle, 5, true);
    m_pad.Update();
    EXPECT_TRUE(m_pad.IsButtonReleasedFirstTime(0));
    EXPECT_TRUE(m_pad.IsButtonPressedFirstTime(5));
}

TEST_F(DirectInputPadTest, PadThatStopsAnsweringIsDroppedAndCleared)
{
    input::GamePadSpec spec = PlainPadSpec();
    spec.forceFeedback = true;
    const uint32_t handle = input::PlugGamePad(spec);
    ASSERT_TRUE(m_pad.Connect());
    EXPECT_EQ(input::GetGamePadEffectCount(handle), 1u);
    EXPECT_EQ(CountMessages("DInput controller doesn't have FF"), 0u);
    input::SetGamePadButton(handle, 3, true);
    input::SetGamePadAxes(handle, 1.0f, 0.0f, 0.0f, 0.0f);
    m_pad.Update();
    ASSERT_TRUE(m_pad.IsButtonDown(3));

    // One failed poll is mended by acquiring again.
    input::FailGamePadPolls(handle, 1);
    EXPECT_FALSE(m_pad.Update());
    EXPECT_TRUE(m_pad.HasDevice());

    input::UnplugGamePad(handle);
    EXPECT_TRUE(m_pad.Update());
    EXPECT_FALSE(m_pad.HasDevice());
    EXPECT_FALSE(m_pad.IsButtonDown(3));
    EXPECT_FALSE(m_pad.IsButtonReleasedFirstTime(3));
    EXPECT_TRUE(m_pad.GetAnalog().Equal(Vector::ZERO4));
    EXPECT_EQ(input::GetGamePadOpenCount(handle), 0u);
    EXPECT_EQ(input::GetGamePadEffectCount(handle), 0u);
    EXPECT_EQ(CountMessages("DInput controller disconnected"), 1u);
    EXPECT_FALSE(m_pad.Update());
}

TEST_F(DirectInputPadTest, NamesComeFromTheDevice)
{
    std::string text = "old";
    m_pad.AppendDeviceName(text, false);
    EXPECT_EQ(text, "old");
    input::PlugGamePad(PlainPadSpec());
    ASSERT_TRUE(m_pad.Connect());
    m_pad.AppendDeviceName(text, false);
    EXPECT_EQ(text, "oldFlight stick");
    m_pad.AppendButtonName(text, 1, true);
    EXPECT_EQ(text, "Thumb");
    m_pad.AppendButtonName(text, 31, false);
    EXPECT_EQ(text, "ThumbButton 32");
    m_pad.AppendButtonName(text, 32, true);
    EXPECT_EQ(text, "");
}

TEST_F(DirectInputPadTest, NoInterfaceNoPad)
{
    DirectInputPad pad;
    input::PlugGamePad(PlainPadSpec());
    EXPECT_FALSE(pad.Connect());
    EXPECT_FALSE(pad.Update());
}
} // namespace
