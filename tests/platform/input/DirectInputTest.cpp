#include "platform/input/DirectInput.h"
#include "platform/input/InputHardware.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
class DirectInputTest : public testing::Test
{
protected:
    void SetUp() override
    {
        input::ResetInputHardware();
        m_directInput = input::DirectInput::Create(input::kDirectInputVersion);
        ASSERT_NE(m_directInput, nullptr);
    }
    void TearDown() override { input::ResetInputHardware(); }

    std::unique_ptr<input::Device> OpenFirstPad()
    {
        const std::vector<input::DeviceInstance> pads = m_directInput->EnumGameControllers();
        return pads.empty() ? nullptr : m_directInput->CreateDevice(pads[0].instance);
    }

    std::unique_ptr<input::DirectInput> m_directInput;
    int m_window = 0;
};

TEST_F(DirectInputTest, InterfaceNeedsTheRightVersionAndCanBeMadeToFail)
{
    EXPECT_EQ(input::DirectInput::Create(0x0700), nullptr);
    input::FailDirectInputCreation(1);
    EXPECT_EQ(input::DirectInput::Create(input::kDirectInputVersion), nullptr);
    EXPECT_NE(input::DirectInput::Create(input::kDirectInputVersion), nullptr);
}

TEST_F(DirectInputTest, KeyboardFollowsFocusAndDataFormat)
{
    std::unique_ptr<input::Device> keyboard = m_directInput->CreateDevice(input::kSystemKeyboardGuid);
    ASSERT_NE(keyboard, nullptr);
    uint8_t keys[256];
    EXPECT_EQ(keyboard->Acquire(), input::kInvalidArgument); // no data format yet
    EXPECT_EQ(keyboard->GetDeviceState(1, keys), input::kInvalidArgument);
    EXPECT_EQ(keyboard->SetCooperativeLevel(&m_window, input::kCooperativeExclusive | input::kCooperativeNonExclusive |
                                                           input::kCooperativeForeground),
              input::kInvalidArgument);
    ASSERT_EQ(keyboard->SetCooperativeLevel(&m_window, input::kCooperativeNonExclusive | input::kCooperativeForeground),
              input::kOk);
    ASSERT_EQ(keyboard->SetDataFormat(input::DataFormat::Keyboard), input::kOk);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), input::kNotAcquired);
    EXPECT_EQ(keyboard->Acquire(), input::kOk);
    EXPECT_EQ(keyboard->Acquire(), input::kNoEffect);
    EXPECT_EQ(keyboard->GetDeviceState(255, keys), input::kInvalidArgument);
    input::SetKey(16, true);
    ASSERT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), input::kOk);
    EXPECT_EQ(keys[16], 0x80);
    EXPECT_EQ(keys[17], 0);
    EXPECT_EQ(keyboard->Unacquire(), input::kOk);
    EXPECT_EQ(keyboard->Unacquire(), input::kNoEffect);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), input::kNotAcquired);

    // Losing focus unacquires a foreground device, found by a poll or a read.
    input::SetWindowFocus(false);
    EXPECT_EQ(keyboard->Poll(), input::kInputLost);
    EXPECT_FALSE(keyboard->IsAcquired());
    input::SetWindowFocus(true);
    ASSERT_EQ(keyboard->Acquire(), input::kOk);
    input::SetWindowFocus(false);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), input::kInputLost);
    EXPECT_FALSE(keyboard->IsAcquired());
    EXPECT_EQ(keyboard->Acquire(), input::kOtherAppHasPriority);
    input::SetWindowFocus(true);
    EXPECT_EQ(keyboard->Acquire(), input::kOk);

    input::PlugKeyboard(false);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), input::kInputLost);
    EXPECT_EQ(m_directInput->CreateDevice(input::kSystemKeyboardGuid), nullptr);
}

TEST_F(DirectInputTest, PadsEnumerateInOrderWithTheirProductIds)
{
    input::GamePadSpec first;
    first.vendorId = 0x1111;
    first.productId = 0x2222;
    first.productName = "First";
    input::GamePadSpec second = first;
    second.productId = 0x3333;
    second.productName = "Second";
    const uint32_t firstHandle = input::PlugGamePad(first);
    input::PlugGamePad(second);
    std::vector<input::DeviceInstance> pads = m_directInput->EnumGameControllers();
    ASSERT_EQ(pads.size(), 2u);
    EXPECT_EQ(pads[0].product.data1, 0x22221111u);
    EXPECT_EQ(pads[1].product.data1, 0x33331111u);
    EXPECT_EQ(pads[1].productName, "Second");
    EXPECT_FALSE(pads[0].instance == pads[1].instance);
    input::DeviceGuid configured;
    ASSERT_EQ(m_directInput->ReadJoystickConfig(1, configured), input::kOk);
    EXPECT_TRUE(configured == pads[1].instance);
    EXPECT_EQ(m_directInput->ReadJoystickConfig(2, configured), input::kFail);

    input::UnplugGamePad(firstHandle);
    EXPECT_EQ(m_directInput->CreateDevice(pads[0].instance), nullptr) << "unplugged";
    pads = m_directInput->EnumGameControllers();
    ASSERT_EQ(pads.size(), 1u);
    EXPECT_EQ(pads[0].productName, "Second");
    EXPECT_TRUE(m_directInput->ReadJoystickConfig(0, configured) == input::kOk && configured == pads[0].instance);
}

TEST_F(DirectInputTest, PadStateIsReportedInTheGivenRange)
{
    input::GamePadSpec spec;
    spec.buttonNames = {"Fire"};
    const uint32_t handle = input::PlugGamePad(spec);
    std::unique_ptr<input::Device> pad = OpenFirstPad();
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(input::GetGamePadOpenCount(handle), 1u);
    const std::unique_ptr<input::Device> keyboard = m_directInput->CreateDevice(input::kSystemKeyboardGuid);
    EXPECT_EQ(input::GetGamePadOpenCount(handle), 1u) << "the keyboard counts against no pad";
    ASSERT_EQ(pad->SetDataFormat(input::DataFormat::Joystick), input::kOk);
    ASSERT_EQ(pad->SetCooperativeLevel(&m_window, input::kCooperativeExclusive | input::kCooperativeBackground),
              input::kOk);
    input::JoystickState state;
    ASSERT_EQ(pad->Acquire(), input::kOk);
    input::SetGamePadAxes(handle + 1000, 1.0f, 1.0f, 1.0f, 1.0f); // no such pad: nothing moves
    input::SetGamePadAxes(handle, -1.0f, 0.5f, 0.0f, 2.0f);
    input::SetGamePadButton(handle, 127, true);
    input::SetGamePadButton(handle, input::kGamePadButtonCount, true); // no such button
    EXPECT_EQ(pad->GetDeviceState(sizeof(state) + 1, &state), input::kInvalidArgument);
    ASSERT_EQ(pad->GetDeviceState(sizeof(state), &state), input::kOk);
    EXPECT_EQ(state.x, 0); // default range 0..65535
    EXPECT_EQ(state.rotationZ, 65535);
    EXPECT_EQ(state.sliders[1], 32768) << "unused axes rest at the centre";
    ASSERT_EQ(pad->SetAxisRange(-1000, 1000), input::kOk);
    ASSERT_EQ(pad->GetDeviceState(sizeof(state), &state), input::kOk);
    EXPECT_EQ(state.x, -1000);
    EXPECT_EQ(state.y, 500);
    EXPECT_EQ(state.z, 0);
    EXPECT_EQ(state.rotationZ, 1000);
    EXPECT_EQ(state.buttons[127], 0x80);
    EXPECT_EQ(state.pointOfView[0], 0xFFFFFFFFu);
    EXPECT_EQ(pad->SetAxisRange(5, 5), input::kUnsupported);
    EXPECT_EQ(pad->CreateConstantForceEffect(input::ConstantForce()), nullptr) << "a pad without force feedback";
    // A background device keeps working without focus.
    input::SetWindowFocus(false);
    EXPECT_EQ(pad->Poll(), input::kOk);

    std::string name;
    ASSERT_EQ(pad->GetObjectName(input::JoystickButtonOffset(0), name), input::kOk);
    EXPECT_EQ(name, "Fire");
    ASSERT_EQ(pad->GetObjectName(input::JoystickButtonOffset(9), name), input::kOk);
    EXPECT_EQ(name, "Button 10");
    EXPECT_EQ(pad->GetObjectName(input::JoystickButtonOffset(128), name), input::kInvalidArgument);
    EXPECT_EQ(pad->GetObjectName(0, name), input::kInvalidArgument);
    pad.reset();
    EXPECT_EQ(input::GetGamePadOpenCount(handle), 0u);
}

TEST_F(DirectInputTest, FailingAndUnpluggedPads)
{
    input::GamePadSpec spec;
    spec.forceFeedback = true;
    const uint32_t handle = input::PlugGamePad(spec);
    std::unique_ptr<input::Device> pad = OpenFirstPad();
    ASSERT_NE(pad, nullptr);
    pad->SetDataFormat(input::DataFormat::Joystick);
    pad->SetCooperativeLevel(&m_window, input::kCooperativeExclusive | input::kCooperativeBackground);
    EXPECT_EQ(pad->Poll(), input::kNotAcquired);
    ASSERT_EQ(pad->Acquire(), input::kOk);
    input::FailGamePadPolls(handle, 2);
    EXPECT_EQ(pad->Poll(), input::kInputLost);
    EXPECT_EQ(pad->Acquire(), input::kInputLost);
    EXPECT_EQ(pad->Poll(), input::kInputLost);
    EXPECT_EQ(pad->Acquire(), input::kOk);
    EXPECT_EQ(pad->Poll(), input::kOk);

    input::ConstantForce offAxis, tooStrong;
    offAxis.axisOffset = sizeof(input::JoystickState);
    tooStrong.gain = 10001;
    EXPECT_EQ(pad->CreateConstantForceEffect(offAxis), nullptr);
    EXPECT_EQ(pad->CreateConstantForceEffect(tooStrong), nullptr);
    std::unique_ptr<input::Effect> effect = pad->CreateConstantForceEffect(input::ConstantForce());
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(input::GetGamePadEffectCount(handle), 1u);
    input::UnplugGamePad(handle);
    EXPECT_EQ(pad->Poll(), input::kInputLost);
    EXPECT_EQ(pad->Acquire(), input::kInputLost);
    input::JoystickState state;
    EXPECT_EQ(pad->GetDeviceState(sizeof(state), &state), input::kInputLost);
    EXPECT_EQ(pad->CreateConstantForceEffect(input::ConstantForce()), nullptr);
    effect.reset();
    EXPECT_EQ(input::GetGamePadEffectCount(handle), 0u);
}
} // namespace
