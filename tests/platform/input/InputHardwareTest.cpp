#include "platform/input/Accessibility.h"
#include "platform/input/DeviceListing.h"
#include "platform/input/InputHardware.h"
#include "platform/input/MouseMessages.h"
#include "platform/input/SteamController.h"
#include "platform/input/XInput.h"

#include <gtest/gtest.h>

namespace
{
class InputHardwareTest : public testing::Test
{
protected:
    void SetUp() override { input::ResetInputHardware(); }
    void TearDown() override { input::ResetInputHardware(); }
};

TEST_F(InputHardwareTest, NothingButKeyboardAndMouseAtStart)
{
    EXPECT_TRUE(input::IsKeyboardPlugged());
    EXPECT_TRUE(input::IsMousePlugged());
    input::XInputState state;
    for (uint32_t user = 0; user < 5; ++user)
        EXPECT_EQ(input::GetXInputState(user, state), input::kDeviceNotConnected) << user;
    std::vector<std::string> ids;
    ASSERT_TRUE(input::ListDeviceIds(0, 20, ids));
    EXPECT_TRUE(ids.empty());
    ASSERT_NE(input::SteamController::Get(), nullptr);
    input::SteamControllerState steam;
    EXPECT_FALSE(input::SteamController::Get()->GetControllerState(0, steam));
}

TEST_F(InputHardwareTest, XInputPadsReportPacketsAndCountQueries)
{
    input::PlugXInputPad(2);
    input::XInputGamepad pad;
    pad.buttons = 0x1000;
    pad.thumbLY = -5;
    input::SetXInputPadState(2, pad);
    input::XInputState state;
    ASSERT_EQ(input::GetXInputState(2, state), input::kOk);
    EXPECT_EQ(state.packetNumber, 1u);
    EXPECT_EQ(state.gamepad.buttons, 0x1000);
    EXPECT_EQ(state.gamepad.thumbLY, -5);
    EXPECT_EQ(input::GetXInputQueryCount(2), 1u);
    input::XInputVibration vibration;
    vibration.leftMotorSpeed = 7;
    EXPECT_EQ(input::SetXInputState(2, vibration), input::kOk);
    EXPECT_EQ(input::SetXInputState(3, vibration), input::kDeviceNotConnected);
    uint16_t left = 0;
    uint16_t right = 1;
    input::GetXInputVibration(2, left, right);
    EXPECT_EQ(left, 7);
    EXPECT_EQ(right, 0);
    input::UnplugXInputPad(2);
    EXPECT_EQ(input::GetXInputState(2, state), input::kDeviceNotConnected);
    EXPECT_EQ(input::GetXInputQueryCount(2), 2u);
}

TEST_F(InputHardwareTest, ListingComesInBatchesAndCanFail)
{
    input::GamePadSpec spec;
    spec.deviceId = "HID\\VID_1&PID_2&IG_00";
    input::PlugGamePad(spec);
    input::PlugGamePad(input::GamePadSpec()); // no device id: not listed
    for (int i = 0; i < 24; ++i)
        input::AddListedDevice(("ROOT\\DEVICE\\" + std::to_string(i)).c_str());
    std::vector<std::string> ids;
    ASSERT_TRUE(input::ListDeviceIds(0, 20, ids));
    ASSERT_EQ(ids.size(), 20u);
    EXPECT_EQ(ids[0], spec.deviceId);
    ASSERT_TRUE(input::ListDeviceIds(20, 20, ids));
    ASSERT_EQ(ids.size(), 5u);
    EXPECT_EQ(ids[4], "ROOT\\DEVICE\\23");
    input::FailDeviceListing(1);
    EXPECT_TRUE(input::ListDeviceIds(20, 20, ids)) << "only a listing's first batch fails";
    EXPECT_FALSE(input::ListDeviceIds(0, 20, ids));
    EXPECT_TRUE(ids.empty());
    EXPECT_TRUE(input::ListDeviceIds(0, 20, ids));
}

TEST_F(InputHardwareTest, SteamControllerStartsWithAPathAndAnswersForConnectedPads)
{
    input::SteamController* steam = input::SteamController::Get();
    input::PlugSteamController(3);
    input::SteamControllerState state;
    EXPECT_FALSE(steam->GetControllerState(3, state)); // not started
    EXPECT_FALSE(steam->Init(""));
    input::FailSteamControllerInit(1);
    EXPECT_FALSE(steam->Init("/x/controller.vdf"));
    ASSERT_TRUE(steam->Init("/x/controller.vdf"));
    EXPECT_EQ(input::GetSteamControllerConfigPath(), "/x/controller.vdf");
    steam->SetOverrideMode("Menu");
    EXPECT_EQ(input::GetSteamControllerOverrideMode(), "Menu");
    steam->SetOverrideMode(nullptr);
    EXPECT_EQ(input::GetSteamControllerOverrideMode(), "");
    input::SteamControllerPadState pad;
    pad.buttons = 1u << 18;
    pad.rightPadX = -300;
    input::SetSteamControllerState(3, pad);
    ASSERT_TRUE(steam->GetControllerState(3, state));
    EXPECT_EQ(state.buttons, 1u << 18);
    EXPECT_EQ(state.rightPadX, -300);
    EXPECT_EQ(state.rightPadY, 0) << "an axis not set rests at the centre";
    EXPECT_EQ(state.packetNumber, 1u);
    EXPECT_FALSE(steam->GetControllerState(input::kSteamControllerCount, state));
    steam->Shutdown();
    EXPECT_FALSE(steam->GetControllerState(3, state));
    input::SetSteamControllerInterfacePresent(false);
    EXPECT_EQ(input::SteamController::Get(), nullptr);
}

TEST_F(InputHardwareTest, AccessibilitySettingsCheckTheirSize)
{
    input::StickyKeys sticky;
    sticky.size = 4;
    EXPECT_FALSE(input::GetStickyKeys(sticky));
    EXPECT_FALSE(input::SetStickyKeys(sticky));
    input::FilterKeys filter;
    ASSERT_TRUE(input::GetFilterKeys(filter));
    filter.bounceMilliseconds = 9;
    ASSERT_TRUE(input::SetFilterKeys(filter));
    input::FilterKeys read;
    ASSERT_TRUE(input::GetFilterKeys(read));
    EXPECT_EQ(read.bounceMilliseconds, 9u);
    input::ResetInputHardware();
    ASSERT_TRUE(input::GetFilterKeys(read));
    EXPECT_EQ(read.bounceMilliseconds, 0u);
    sticky = {};
    ASSERT_TRUE(input::GetStickyKeys(sticky));
    EXPECT_EQ(sticky.flags, input::kAccessHotKeyActive | input::kAccessConfirmHotKey) << "the desktop's default";
}
} // namespace
