// The options service seen from scripts: gConfigHelper with its clamps and strings.
#include "engine/config/GameConfig.h"
#include "engine/config/LUAConfigHelper.h"
#include "engine/scripting/LuaWrapper.h"

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
    EXPECT_EQ(Text("gConfigHelper:AppendKeyName('mouse: ', 65536, false)"), "mouse: System/MouseButtons/Left");
}
