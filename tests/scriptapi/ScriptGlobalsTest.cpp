// The engine's script globals: the seventeen singletons in their fixed order, each as an object of
// its script class, and the UI's hand-written global.
#include "audio/video/VideoEngine.h"
#include "engine/scripting/ScriptTestSupport.h"
#include "scriptapi/ScriptApi.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
class ScriptGlobalsTest : public ScriptTest
{
protected:
    VideoEngine m_video; // made before Lua starts: its global is an object, the sound engine's nil
};

TEST_F(ScriptGlobalsTest, TheSeventeenSingletonsArePublishedInOrderAsTheirClasses)
{
    static const char* const kGlobals[][2] = {
        {"gNorvexEngine", "NorvexEngine"},
        {"gLua", "LuaWrapper"},
        {"gConsole", "GameConsole"},
        {"gGame", "Game"},
        {"gEntityManager", "EntityManager"},
        {"gProfiler", "Profiler"},
        {"gShaderManager", "ShaderManager"},
        {"gEngineTimer", "EngineTimer"},
        {"gSoundEngine", "SoundEngine"},
        {"gSoundEntriesContainer", "SoundEntriesContainer"},
        {"gDefaultReplacementContainer", "StringReplacementContainer"},
        {"gConfigHelper", "LUAConfigHelper"},
        {"gSequenceSystem", "SequenceSystem"},
        {"gSequenceSpawner", "SequenceSpawner"},
        {"gSequenceActionFactory", "SequenceActionFactory"},
        {"gVideoEngine", "VideoEngine"},
        {"gStringManager", "StringManager"},
    };
    std::string expected;
    std::string clear;
    for (const auto& global : kGlobals)
    {
        expected += std::string(global[0]) + ";";
        clear += std::string(global[0]) + " = nil ";
    }
    // Every assignment to a cleared global passes the metatable's event, in the order made.
    Run(clear + "published = '' setmetatable(_G, {__newindex = function(t, k, v)"
                " published = published .. k .. ';' rawset(t, k, v) end})");
    RegisterEngineScriptGlobals(gLua);
    Run("setmetatable(_G, nil)");
    EXPECT_EQ(GlobalString("published"), expected);

    for (const auto& global : kGlobals)
    {
        Run(std::string("kind = ") + global[0] + " and tolua.type(" + global[0] + ") or 'nil'");
        const std::string kind = GlobalString("kind");
        if (std::string(global[0]) == "gSoundEngine" || std::string(global[0]) == "gStringManager")
            EXPECT_EQ(kind, "nil") << global[0] << ": not made in this test";
        else
            EXPECT_EQ(kind, global[1]) << global[0];
    }
    Run("kind = tolua.type(gUIProperties)");
    EXPECT_EQ(GlobalString("kind"), "UIProperties");
}
} // namespace
