// The options service seen from scripts: gConfigHelper with its clamps and strings.
#include "engine/config/GameConfig.h"
#include "engine/config/LUAConfigHelper.h"
#include "engine/scripting/LuaWrapper.h"
#include "support/SoundTestHarness.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <lua.hpp>

namespace
{
class ConfigPackageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        gGameConfig.SetDefaults();
        ASSERT_TRUE(gLua.Init());
    }
    void TearDown() override
    {
        gLua.Close();
        gGameConfig.SetDefaults();
    }

    std::string Text(const char* expression)
    {
        const std::string chunk = std::string("return ") + expression;
        if (!gLua.LoadAndCall(chunk.c_str(), 1))
            return "<error>";
        const char* text = lua_tostring(gLua.GetState(), -1);
        const std::string result = text != nullptr ? text : "<nil>";
        lua_pop(gLua.GetState(), 1);
        return result;
    }
};
} // namespace

TEST_F(ConfigPackageTest, ScriptsReachTheOptionsThroughTheGlobal)
{
    ASSERT_TRUE(gLua.LoadAndCall("gConfigHelper:SetScreenResolutionScale(3) gConfigHelper:SetGFXQualityLevel(9)", 0));
    EXPECT_FLOAT_EQ(gGameConfig.m_rendererConfig.m_semiResolutionScreenScale, 1.0f);
    EXPECT_EQ(gGameConfig.m_rendererConfig.m_gfxQualityLevel, 4u);
    EXPECT_EQ(Text("gConfigHelper:GetScreenModeDesc(2)"), "75%");
    EXPECT_EQ(Text("gConfigHelper:GetLanguageNameIfAvailable(12)"), "Default");
    EXPECT_EQ(Text("gConfigHelper:AppendKeyName('mouse: ', 65536, false)"), "mouse: ") << "no string table";
}

TEST_F(ConfigPackageTest, ScriptsReadBackWhatTheyStoreAndEachVolumeReachesTheSoundEngine)
{
    ASSERT_TRUE(gLua.LoadAndCall("local h = gConfigHelper h:SetNetworkPort(27015) h:SetUserGUIDEstablished(true) "
                                 "h:SetControlDefinitionEstablishedMagic(77) h:SetXControllerVibrationsEnabled(false) "
                                 "h:SetFullScreen(true) h:SetOutlineState(false) h:EnableConsole(true)", 0));
    EXPECT_EQ(Text("(function(h) return table.concat({h:GetNetworkPort(), tostring(h:GetUserGUIDEstablished()), "
                   "h:GetControlDefinitionEstablishedMagic(), tostring(h:GetXControllerVibrationsEnabled()), "
                   "tostring(h:GetFullScreen()), tostring(h:GetOutlineState())}, ' ') end)(gConfigHelper)"),
              "27015 true 77 false true false");
    EXPECT_TRUE(gGameConfig.m_connectToExternalConsole);

    // Each setter applies the volumes at once: sfx, music and voice as the engine holds them.
    SoundTestHarness sound;
    ASSERT_TRUE(sound.Start());
    const auto run = [&](const char* call) {
        EXPECT_TRUE(gLua.LoadAndCall((std::string("gConfigHelper:") + call).c_str(), 0));
        sound.Engine().Flush();
        char text[64];
        std::snprintf(text, sizeof(text), "%g %g %g", sound.Engine().GetClassVolume(SOUNDCLASS_SFX),
                      sound.Engine().GetClassVolume(SOUNDCLASS_MUSIC), sound.Engine().GetClassVolume(SOUNDCLASS_VOICE));
        return std::string(text);
    };
    EXPECT_EQ(run("SetVolumes(0.1, 0.2, 0.3)"), "0.2 0.1 0.3") << "music, sfx, voice";
    EXPECT_EQ(run("SetMusicVolume(0.4)"), "0.2 0.4 0.3");
    EXPECT_EQ(run("SetSFXVolume(0.5)"), "0.5 0.4 0.3");
    EXPECT_EQ(run("SetVoiceVolume(0.6)"), "0.5 0.4 0.6");
    EXPECT_EQ(Text("string.format('%g %g %g', gConfigHelper:GetSFXVolume(), gConfigHelper:GetMusicVolume(), "
                   "gConfigHelper:GetVoiceVolume())"), "0.5 0.4 0.6");
}
