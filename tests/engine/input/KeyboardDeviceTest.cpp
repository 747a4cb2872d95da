#include "InputTestSupport.h"

#include "engine/input/KeyboardDevice.h"
#include "platform/input/Accessibility.h"

#include <memory>

namespace
{
class KeyboardDeviceTest : public InputTest
{
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        m_directInput = input::DirectInput::Create(input::kDirectInputVersion);
        ASSERT_NE(m_directInput, nullptr);
    }

    std::unique_ptr<input::DirectInput> m_directInput;
    int m_window = 0;
};

TEST_F(KeyboardDeviceTest, HotKeysAreOffWhileTheKeyboardLivesAndComeBackAfter)
{
    input::StickyKeys sticky;
    sticky.flags = input::kAccessHotKeyActive | input::kAccessConfirmHotKey | 0x40;
    input::SetStickyKeys(sticky);
    input::ToggleKeys toggle;
    toggle.flags = input::kAccessFeatureOn | input::kAccessHotKeyActive;
    input::SetToggleKeys(toggle);
    input::FilterKeys filter;
    filter.flags = input::kAccessHotKeyActive;
    filter.waitMilliseconds = 777;
    input::SetFilterKeys(filter);
    {
        KeyboardDevice keyboard(m_directInput.get(), &m_window);
        input::StickyKeys stickyNow;
        input::ToggleKeys toggleNow;
        input::FilterKeys filterNow;
        ASSERT_TRUE(input::GetStickyKeys(stickyNow) && input::GetToggleKeys(toggleNow) &&
                    input::GetFilterKeys(filterNow));
        EXPECT_EQ(stickyNow.flags, 0x40u);
        // A feature the player switched on keeps its hot keys.
        EXPECT_EQ(toggleNow.flags, toggle.flags);
        EXPECT_EQ(filterNow.flags, 0u);
        EXPECT_EQ(filterNow.waitMilliseconds, 777u);
    }
    input::StickyKeys stickyAfter;
    input::ToggleKeys toggleAfter;
    input::FilterKeys filterAfter;
    ASSERT_TRUE(input::GetStickyKeys(stickyAfter) && input::GetToggleKeys(toggleAfter) &&
                input::GetFilterKeys(filterAfter));
    EXPECT_EQ(stickyAfter.flags, sticky.flags);
    EXPECT_EQ(toggleAfter.flags, toggle.flags);
    EXPECT_EQ(filterAfter.flags, filter.flags);
}

TEST_F(KeyboardDeviceTest, PollReadsKeysAndAFailedPollLeavesEveryKeyUp)
{
    KeyboardDevice keyboard(m_directInput.get(), &m_window);
    EXPECT_TRUE(keyboard.IsUsable());
    input::SetKey(30, true);
    input::SetKey(200, true);
    EXPECT_TRUE(input::Succeeded(keyboard.Poll()));
    EXPECT_EQ(keyboard.GetKeys()[30], 0x80);
    EXPECT_EQ(keyboard.GetKeys()[200], 0x80);
    EXPECT_EQ(keyboard.GetKeys()[31], 0);

    input::FailKeyboardReads(1);
    EXPECT_FALSE(input::Succeeded(keyboard.Poll()));
    EXPECT_EQ(keyboard.GetKeys()[30], 0);
    EXPECT_EQ(keyboard.GetKeys()[200], 0);
    // The device is acquired again by the next poll.
    EXPECT_TRUE(input::Succeeded(keyboard.Poll()));
    EXPECT_EQ(keyboard.GetKeys()[30], 0x80);

    // Without focus a foreground keyboard cannot be acquired: every key up, not the last state.
    input::SetWindowFocus(false);
    EXPECT_EQ(keyboard.Poll(), input::kOtherAppHasPriority);
    EXPECT_EQ(keyboard.GetKeys()[30], 0);
    input::SetWindowFocus(true);
    EXPECT_TRUE(input::Succeeded(keyboard.Poll()));
    EXPECT_EQ(keyboard.GetKeys()[30], 0x80);
}

TEST_F(KeyboardDeviceTest, MissingKeyboardLogsOnceAndReadsNothing)
{
    input::PlugKeyboard(false);
    KeyboardDevice keyboard(m_directInput.get(), &m_window);
    EXPECT_FALSE(keyboard.IsUsable());
    EXPECT_EQ(CountMessages("Unable to initialize keyboard"), 1u);
    EXPECT_TRUE(m_log.Contains("Unable to initialize keyboard", CONSOLE_ERROR));
    input::SetKey(30, true);
    EXPECT_FALSE(input::Succeeded(keyboard.Poll()));
    EXPECT_EQ(keyboard.GetKeys()[30], 0);
    char name[8] = "x";
    EXPECT_FALSE(keyboard.GetKeyName(name, sizeof(name), 30));
    EXPECT_STREQ(name, "");

    KeyboardDevice withoutInterface(nullptr, &m_window);
    EXPECT_FALSE(withoutInterface.IsUsable());
    EXPECT_FALSE(input::Succeeded(withoutInterface.Poll()));
}

TEST_F(KeyboardDeviceTest, KeyNamesAreCutToTheBuffer)
{
    KeyboardDevice keyboard(m_directInput.get(), &m_window);
    input::SetKeyName(57, "Space bar");
    char name[6];
    EXPECT_TRUE(keyboard.GetKeyName(name, sizeof(name), 57));
    EXPECT_STREQ(name, "Space");
    char full[32];
    EXPECT_TRUE(keyboard.GetKeyName(full, sizeof(full), 2));
    EXPECT_STREQ(full, "Key 2");
    char none[1];
    EXPECT_FALSE(keyboard.GetKeyName(none, sizeof(none), 57)) << "a name cut to nothing is no name";
    EXPECT_FALSE(keyboard.GetKeyName(full, sizeof(full), 256));
    EXPECT_STREQ(full, "");
}
} // namespace
