#include "engine/config/LUAConfigHelper.h"

#include "../input/InputTestSupport.h"
#include "core/filesystem/FileSystem.h"
#include "engine/Game.h"
#include "engine/config/GameConfig.h"
#include "engine/config/ProjectConfig.h"
#include "engine/input/InputCodes.h"
#include "engine/input/InputManager.h"
#include "online/NorvexAnalytics.h"
#include "platform/input/XInput.h"
#include "support/TempFolder.h"
#include "engine/config/LanguageNames.h"
#include "ui/text/StringManager.h"

#include <cmath>

namespace
{
class LUAConfigHelperTest : public InputTest
{
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        gGameConfig.SetDefaults();
        gProjectConfig.m_languageMask = 0xFFFFFFFFu;
        gProjectConfig.m_defaultLanguage = 0;
    }
    void TearDown() override
    {
        gGame.GetInputManager().Shutdown();
        gFileSystem.UnmountAll();
        gGameConfig.SetDefaults();
        gNorvexAnalytics.ClearPool();
        InputTest::TearDown();
    }
    void StartInput()
    {
        ASSERT_TRUE(gFileSystem.MountDirectory("locals", m_folder.Path().c_str()));
        ASSERT_TRUE(gGame.GetInputManager().InitDirectInput());
        ASSERT_TRUE(gGame.GetInputManager().InitDevices(&m_window));
    }
    void Step() { gGame.GetInputManager().Update(Advance(0.016)); }

    LUAConfigHelper m_helper;
    TempFolder m_folder;
    int m_window = 0;
};
} // namespace

TEST_F(LUAConfigHelperTest, GraphicsValuesAreClampedAsStored)
{
    m_helper.SetScreenResolutionScale(0.05f);
    EXPECT_FLOAT_EQ(gGameConfig.m_rendererConfig.m_semiResolutionScreenScale, 0.1f);
    m_helper.SetScreenResolutionScale(3.0f);
    EXPECT_FLOAT_EQ(m_helper.GetScreenResolutionScale(), 1.0f);
    m_helper.SetGFXQualityLevel(7);
    EXPECT_EQ(gGameConfig.m_rendererConfig.m_gfxQualityLevel, 4u);
    m_helper.SetGFXQualityLevel(2);
    EXPECT_EQ(m_helper.GetGFXQualityLevel(), 2u);
    m_helper.SetBrightness(1.5f);
    EXPECT_FLOAT_EQ(m_helper.GetBrightness(), 1.0f);
    m_helper.SetZoom(-0.5f);
    EXPECT_FLOAT_EQ(m_helper.GetScreenScaleX(), 0.0f);
    EXPECT_FLOAT_EQ(m_helper.GetScreenScaleY(), 0.0f);
    m_helper.SetScreenScaleY(0.25f);
    EXPECT_FLOAT_EQ(gGameConfig.m_rendererConfig.m_screenScaleY, 0.25f);
    const bool shadows = gGameConfig.m_rendererConfig.m_enableShadowMap;
    m_helper.ToggleShadows();
    EXPECT_NE(gGameConfig.m_rendererConfig.m_enableShadowMap, shadows);
    const bool vsync = gGameConfig.m_rendererConfig.m_vSync;
    m_helper.ToggleVSync();
    EXPECT_NE(gGameConfig.m_rendererConfig.m_vSync, vsync);
}

TEST_F(LUAConfigHelperTest, WindowedScreenModesAreTheScaleSteps)
{
    gGameConfig.m_fullScreenMode = false;
    m_helper.AdjustScreenModeTableToDisplayMode();
    EXPECT_EQ(m_helper.GetScreenModeCount(), 5u);
    EXPECT_EQ(m_helper.GetScreenModeDesc(2), "75%");
    EXPECT_EQ(m_helper.GetScreenModeDesc(9), "100%") << "past the steps: the last one";
    gGameConfig.m_rendererConfig.m_semiResolutionScreenScale = 0.8f;
    EXPECT_EQ(m_helper.GetScreenMode(), 2u) << "0.75 is the nearest step";
    gGameConfig.m_rendererConfig.m_semiResolutionScreenScale = 0.55f;
    EXPECT_EQ(m_helper.GetScreenMode(), 0u) << "a tie goes to the first step";
    gGameConfig.m_rendererConfig.m_semiResolutionScreenScale = NAN;
    EXPECT_EQ(m_helper.GetScreenMode(), 4u) << "a scale near no step is the full size";
    m_helper.SetScreenMode(1);
    EXPECT_FLOAT_EQ(m_helper.GetScreenResolutionScale(), 0.6f);
    m_helper.SetScreenMode(77);
    EXPECT_FLOAT_EQ(m_helper.GetScreenResolutionScale(), 1.0f);
}

TEST_F(LUAConfigHelperTest, FullScreenModeIndicesFromScriptsAreBounded)
{
    gGameConfig.m_fullScreenMode = true;
    m_helper.AdjustScreenModeTableToDisplayMode();
    gGameConfig.m_rendererConfig.m_semiResolutionScreenScale = 0.6f;
    // No renderer runs here, so the display-mode list is empty: every index is past it.
    EXPECT_EQ(m_helper.GetScreenModeCount(), 0u);
    EXPECT_EQ(m_helper.GetScreenModeDesc(0), "");
    EXPECT_EQ(m_helper.GetScreenModeDesc(100000), "");
    EXPECT_EQ(m_helper.GetScreenMode(), 0u) << "no mode to match: the first, not a windowed step";
    m_helper.SetScreenMode(100000);
    EXPECT_FLOAT_EQ(m_helper.GetScreenResolutionScale(), 0.6f) << "a bad index changes nothing";
    m_helper.EnableFrontToBackSorting(true);
    EXPECT_FALSE(m_helper.IsFrontToBackSortingEnabled()) << "no renderer sorts";
}

TEST_F(LUAConfigHelperTest, LanguagesFollowTheProjectMask)
{
    gProjectConfig.m_languageMask = 0x2; // English only
    EXPECT_EQ(m_helper.GetLanguageNameIfAvailable(0), nullptr);
    ASSERT_NE(m_helper.GetLanguageNameIfAvailable(1), nullptr);
    EXPECT_STREQ(m_helper.GetLanguageNameIfAvailable(1), "English");
    EXPECT_STREQ(m_helper.GetLanguageNameIfAvailable(12), "Default") << "whatever the mask";
    gProjectConfig.m_languageMask = 0xFFFFFFFFu; // past the last language too
    EXPECT_STREQ(m_helper.GetLanguageNameIfAvailable(12), "Default");
    EXPECT_EQ(m_helper.GetLanguageNameIfAvailable(11), nullptr);
    EXPECT_EQ(m_helper.GetLanguageNameIfAvailable(40), nullptr);
}

TEST_F(LUAConfigHelperTest, SubtitlesFollowTheModeTable)
{
    struct Case
    {
        uint8_t mode;
        uint32_t language;
        uint32_t projectLanguage;
        bool shown;
    };
    const Case cases[] = {
        {0, 1, 0, false}, {0, 0, 1, true},  {0, 11, 1, false}, {0, 12, 3, true}, {1, 1, 0, true},
        {2, 0, 0, false}, {3, 1, 0, true},  {200, 1, 0, true},
    };
    for (const Case& c : cases)
    {
        // Without a text language of the user's own, the language the string manager chose decides.
        gProjectConfig.m_defaultLanguage = c.projectLanguage;
        StringManager strings(nullptr);
        gStringManager = &strings;
        m_helper.SetSubtitles(c.mode);
        m_helper.SetLanguage(c.language);
        EXPECT_EQ(m_helper.ShouldDisplaySubtitles(), c.shown)
            << "mode " << int(c.mode) << ", language " << c.language << ", project " << c.projectLanguage;
        gStringManager = nullptr;
    }
    EXPECT_EQ(m_helper.GetSubtitles(), 200u);
}

TEST_F(LUAConfigHelperTest, ControlTestsReadTheDeviceOfTheirSet)
{
    StartInput();
    m_helper.SetPrimaryControl(2, 5, 30);  // keyboard set: scan code 30
    m_helper.SetSecondaryControl(2, 5, 44);
    m_helper.SetPrimaryControl(0, 5, INPUT_PAD_A);
    EXPECT_EQ(m_helper.GetControl(2, 5, true), 44u);

    input::SetKey(44, true);
    Step();
    EXPECT_TRUE(m_helper.IsKeyOrButtonPressed(2, 5, 0)) << "the secondary counts too";
    EXPECT_TRUE(m_helper.IsKeyOrButtonPressedForTheFirstTime(2, 5, 0));
    EXPECT_FALSE(m_helper.IsKeyOrButtonPressed(0, 5, 0)) << "set 0 reads the pad, not the keyboard";
    EXPECT_EQ(m_helper.GetFirstPressedKey(), 44u);
    Step();
    EXPECT_TRUE(m_helper.IsKeyOrButtonPressed(2, 5, 0));
    EXPECT_FALSE(m_helper.IsKeyOrButtonPressedForTheFirstTime(2, 5, 0));
    input::SetKey(44, false);
    Step();
    EXPECT_TRUE(m_helper.IsKeyOrButtonReleasedForTheFirstTime(2, 5, 0));
    EXPECT_FALSE(m_helper.IsKeyOrButtonReleasedForTheFirstTime(3, 5, 0)) << "never for set 3";
    EXPECT_EQ(m_helper.GetFirstPressedKey(), 0u);

    input::PlugXInputPad(0);
    gGame.GetInputManager().ReconnectDevices();
    input::XInputGamepad pad;
    pad.buttons = 0x1000;
    input::SetXInputPadState(0, pad);
    Step();
    EXPECT_EQ(m_helper.GetFirstPressedXControllerButton(0), uint32_t(INPUT_PAD_A));
    Step();
    EXPECT_EQ(m_helper.GetFirstPressedXControllerButton(0), 0u) << "held is not newly pressed";
    EXPECT_TRUE(m_helper.IsKeyOrButtonPressed(0, 5, 0));
    EXPECT_FALSE(m_helper.IsKeyOrButtonPressed(2, 5, 0));

    m_helper.RemoveAllControls(2);
    EXPECT_EQ(m_helper.GetControl(2, 5, false), 0u);

    // Mouse buttons and languages are named by the string table, in the current language.
    StringManager strings(nullptr);
    GameStringGroup& system = strings.GetRootGroup().AddGroup("System");
    system.AddGroup("MouseButtons").AddString("Right").SetText(kTextLanguageEnglish, u"Right button");
    system.AddGroup("Languages").AddString("German").SetText(kTextLanguageEnglish, u"Deutsch \u00e9");
    strings.MarkTreeChanged();
    gStringManager = &strings;
    std::string name = "key: ";
    m_helper.AppendKeyName(name, INPUT_MOUSE_RIGHT, false);
    EXPECT_EQ(name, "key: Right button");
    input::SetKeyName(30, "A key");
    m_helper.AppendKeyName(name, 30, true);
    EXPECT_EQ(name, "key: Right buttonA KEY");
    EXPECT_EQ(m_helper.GetLanguageString(2), "Deutsch \xE9") << "Windows-1252";
    EXPECT_EQ(m_helper.GetLanguageString(kLanguageNone) + m_helper.GetLanguageString(3), "");
    gStringManager = nullptr;
}

// DirectInput buttons answer in the numbering of the stored bindings, 1 to 32, and bind as answered.
TEST_F(LUAConfigHelperTest, FirstPressedDirectInputButtonsCountFromOneToThirtyTwo)
{
    StartInput();
    input::GamePadSpec spec;
    spec.productName = "Stick";
    const uint32_t handle = input::PlugGamePad(spec);
    gGame.GetInputManager().ReconnectDevices();
    Step();
    EXPECT_EQ(m_helper.GetFirstPressedDIControllerButton(0), 0u);
    for (const uint32_t device : {0u, 6u, 31u})
    {
        input::SetGamePadButton(handle, device, true);
        Step();
        EXPECT_EQ(m_helper.GetFirstPressedDIControllerButton(0), device + 1) << device;
        m_helper.SetPrimaryControl(3, 7, m_helper.GetFirstPressedDIControllerButton(0));
        EXPECT_TRUE(m_helper.IsKeyOrButtonPressed(3, 7, 0)) << device;
        input::SetGamePadButton(handle, device, false);
        Step();
    }
}

TEST_F(LUAConfigHelperTest, InputModeIsLimitedAndVibrationNeedsTheSetting)
{
    m_helper.SetInputMode(9);
    EXPECT_EQ(m_helper.GetInputMode(), 4u);
    m_helper.SetXControllerVibrationsEnabled(false);
    EXPECT_FALSE(gGameConfig.m_xControllerVibrations);
}

TEST_F(LUAConfigHelperTest, UserGUIDIsTheStoredConfigurationsOwn)
{
    SimpleGUID guid;
    ASSERT_TRUE(guid.FromString("00112233-4455-6677-8899-AABBCCDDEEFF"));
    m_helper.SetUserGUID(guid);
    EXPECT_EQ(*gGameConfig.GetUserGUID(), guid);
    EXPECT_EQ(m_helper.GetUserGUID(), guid);
}

TEST_F(LUAConfigHelperTest, AnalyticsRunOnlyWhenEnabled)
{
    m_helper.AnalyticsBegin("menu");
    m_helper.AnalyticsAddInt("clicks", 3);
    EXPECT_FALSE(gNorvexAnalytics.HasOpenRecord()) << "off by default";
    m_helper.EnableFlurryOrApsalarAnalytics(true);
    m_helper.AnalyticsBegin("menu");
    EXPECT_FALSE(gNorvexAnalytics.HasOpenRecord()) << "the second flag has no effect";

    m_helper.EnableNorvexAnalytics(true);
    m_helper.AnalyticsBegin("menu");
    m_helper.AnalyticsAddInt("clicks", 3);
    m_helper.AnalyticsAddFloat("time", 1.5f);
    m_helper.AnalyticsAddString("screen", "options");
    ASSERT_TRUE(gNorvexAnalytics.HasOpenRecord());
    const NorvexAnalyticsRequest* record = gNorvexAnalytics.GetOpenRecord();
    EXPECT_EQ(record->table, "menu");
    ASSERT_EQ(record->fields.size(), 3u);
    EXPECT_EQ(record->fields[0].intValue, 3);
    EXPECT_EQ(record->fields[2].text, "options");
    m_helper.AnalyticsEnd();
    EXPECT_FALSE(gNorvexAnalytics.HasOpenRecord());
}

TEST_F(LUAConfigHelperTest, TextBuffersStayBounded)
{
    std::u16string longText(2000, u'a');
    longText[3] = u'\u00e9';
    const char* ascii = m_helper.ToAsciiUnsafe(longText.c_str());
    EXPECT_EQ(std::string(ascii).size(), 511u) << "one 512-byte buffer, its last byte the end";
    EXPECT_EQ(uint8_t(ascii[3]), 0xE9) << "Windows-1252";
    EXPECT_STREQ(m_helper.ToAsciiUnsafe(u"ok"), "ok");
    EXPECT_STREQ(m_helper.ToAsciiUnsafe(nullptr), "");
    EXPECT_STREQ(m_helper.GetBenchmarkDeviceScreenScaleFactorString(), "1.00");
    gGame.SetSize(12345, 720, true);
    EXPECT_STREQ(m_helper.GetBenchmarkDeviceScreenWidthString(), "1234") << "the game's width, in four characters";
    gGame.SetSize(1280, 720, true);
    EXPECT_STREQ(m_helper.GetEmptyDeviceString(), "");
}
