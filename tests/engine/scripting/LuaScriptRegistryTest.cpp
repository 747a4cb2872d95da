#include "ScriptTestSupport.h"

#include "engine/Game.h"
#include "engine/scripting/LuaScriptRegistry.h"

#include <vector>

namespace
{
class LuaScriptRegistryTest : public ScriptTest
{
protected:
    void TearDown() override
    {
        gGame.SetCurrentScene(nullptr);
        gGame.GetSceneVariants().Clear();
        gGame.SetSceneVariantIndex(-1);
        ScriptTest::TearDown();
    }
    static std::vector<std::string> Names(const DynarraySafe<NameString>& list)
    {
        std::vector<std::string> names;
        for (const NameString& name : list)
            names.push_back(name.CStr());
        return names;
    }
};

TEST_F(LuaScriptRegistryTest, CommonResourcesListScriptsOnceAndLeaveOutsidersOut)
{
    m_folder.WriteFile("common/scripts/DistributionMain.lua",
                       "gLua:ExecuteFile('Helpers', 'common/scripts', true)\n"
                       "function ReportCommonResources(scene)\n"
                       "  gReported = scene\n"
                       "  gLua:ExecuteFile('Helpers', 'common/scripts', true)\n"
                       "  gLua:ExecuteFile('Level1', 'scenes', true)\n"
                       "end\n");
    m_folder.WriteFile("common/scripts/Helpers.lua", "gHelpers = true\n");
    m_folder.WriteFile("scenes/Level1.lua", "gLevel = true\n");
    DynarraySafe<NameString> list;
    // A name that would end a quoted literal, or hold an escape or a control byte, stays one string.
    const char* const scene = "Level1\") gInjected = true --\n\\";
    ReportCommonResources(scene, list);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"scripts/DistributionMain.lua", "scripts/Helpers.lua"}));
    EXPECT_TRUE(m_log.Contains("One of script files includes something out of common/scripts directory. Such "
                               "script will not be included in the distribution package"));
    EXPECT_EQ(GlobalString("gReported"), scene);
    EXPECT_EQ(GlobalString("gInjected"), "<nil>");
    EXPECT_EQ(gLua.GetFileExecutionCallback(), nullptr);
}

TEST_F(LuaScriptRegistryTest, LocalSceneResources)
{
    m_folder.WriteFile("scenes/Level2.lua", "");
    m_folder.WriteFile("scenes/Level2_hard.lua", "");
    m_folder.WriteFile("scenes/Level2.SceneSequences", "x");
    m_folder.WriteFile("scenes/Sequences.lua", "");
    m_folder.WriteFile("common/scripts/Shared.lua", "");
    Run("function UnregisterAllScriptSequences() end\n"
        "function RegisterAllScriptSequences() gLua:ExecuteFile('Sequences', 'scenes', true) end\n"
        "function ReportLocalSceneResources()\n"
        "  gLua:ExecuteFile('Sequences', 'scenes', true) gLua:ExecuteFile('Shared', 'common/scripts', true)\n"
        "end");
    DynarraySafe<NameString> list;
    ReportLocalSceneResources("Level2", list);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Level2.SceneSequences", "Level2.lua", "Level2_hard.lua",
                                                     "Sequences.lua"}));
    EXPECT_TRUE(m_log.Contains("One of local scene script files includes something out of scene directory "
                               "(common/scripts/Shared)"));
}

TEST_F(LuaScriptRegistryTest, SceneScriptFollowsTheVariantOutsideTheMainMenu)
{
    m_folder.WriteFile("scenes/Level3_hard.lua", "gRan = 'Level3_hard'\n");
    m_folder.WriteFile("scenes/Level3.lua", "gRan = 'Level3'\n");
    m_folder.WriteFile("scenes/MainMenu.lua", "gRan = 'MainMenu'\n");
    gGame.GetSceneVariants().Add(NameString("easy"));
    gGame.GetSceneVariants().Add(NameString("hard"));
    gGame.SetSceneVariantIndex(1);

    RunSceneScript();
    EXPECT_EQ(GlobalString("gRan"), "<nil>");
    gGame.SetCurrentScene("Level3");
    RunSceneScript();
    EXPECT_EQ(GlobalString("gRan"), "Level3_hard");
    gGame.SetCurrentScene("MainMenu");
    RunSceneScript();
    EXPECT_EQ(GlobalString("gRan"), "MainMenu");
    gGame.SetCurrentScene("Level3");
    gGame.SetSceneVariantIndex(2); // one past the variants
    RunSceneScript();
    EXPECT_EQ(GlobalString("gRan"), "Level3");
}
} // namespace
