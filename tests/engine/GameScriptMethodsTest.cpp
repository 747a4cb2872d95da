// The Game's ambient-lighting methods from scripts, over a fake lighting library plugged into the
// module registry: what reaches the library, in which order, and nothing without it; and the
// script's eviction of the loading screen's resources.
#include "engine/scripting/ScriptTestSupport.h"

#include "engine/Game.h"
#include "engine/platform/AlienFX.h"
#include "platform/os/Modules.h"
#include "renderer/resources/ResourceManager.h"

#include <map>
#include <string>
#include <vector>

namespace
{
std::vector<std::string> gCalls;
uint32_t gMask = 0;
uint32_t gColour = 0;

uint32_t Record(const char* name)
{
    gCalls.push_back(name);
    return 0;
}
uint32_t Initialize() { return Record("init"); }
uint32_t Release() { return Record("release"); }
uint32_t Reset() { return Record("reset"); }
uint32_t Update() { return Record("update"); }
uint32_t Other() { return Record("other"); }
uint32_t Light(uint32_t mask, uint32_t colour)
{
    gMask = mask;
    gColour = colour;
    return Record("light");
}

std::map<std::string, os::ModuleFunction> LightingLibrary()
{
    auto f = [](auto function) { return reinterpret_cast<os::ModuleFunction>(function); };
    std::map<std::string, os::ModuleFunction> entries;
    for (const char* name : {"LFX_GetNumDevices", "LFX_GetDeviceDescription", "LFX_GetNumLights", "LFX_SetLightColor",
                             "LFX_GetLightColor", "LFX_GetLightDescription", "LFX_ActionColor", "LFX_ActionColorEx"})
        entries[name] = f(&Other);
    entries["LFX_Initialize"] = f(&Initialize);
    entries["LFX_Release"] = f(&Release);
    entries["LFX_Reset"] = f(&Reset);
    entries["LFX_Update"] = f(&Update);
    entries["LFX_Light"] = f(&Light);
    return entries;
}

class GameEnvLightTest : public ScriptTest
{
protected:
    void SetUp() override
    {
        ScriptTest::SetUp();
        gCalls.clear();
    }
    void TearDown() override
    {
        os::UnregisterAllModules();
        ScriptTest::TearDown();
    }
};
} // namespace

// One test: the global lighting object remembers a failed attempt for the rest of the process.
TEST_F(GameEnvLightTest, ScriptsDriveTheLightingLibraryAndNothingWithoutIt)
{
    os::RegisterModule(AlienFX::kLibraryName, LightingLibrary());
    Run("gGame:InitEnvLight()");
    EXPECT_EQ(gAlienFX.GetState(), AlienFX::kReady);
    EXPECT_EQ(gCalls, (std::vector<std::string>{"init", "reset"}));

    gCalls.clear();
    Run("gGame:SetEnvLight(Vector:new_local(1.0, 0.5, 0.0, 1.0))");
    EXPECT_EQ(gCalls, (std::vector<std::string>{"light", "update"})) << "the colour, then the update";
    EXPECT_EQ(gMask, AlienFX::kAllLocations);
    EXPECT_EQ(gColour, 0xFFFF7F00u) << "alpha, red, green, blue; 0.5 x 255 truncates to 127";

    gCalls.clear();
    Run("gGame:DeinitEnvLight()");
    EXPECT_EQ(gCalls, (std::vector<std::string>{"release"}));
    EXPECT_EQ(gAlienFX.GetState(), AlienFX::kNotTried) << "released: it may be tried again";

    // Without the library: the attempt fails once and every later call does nothing.
    os::UnregisterAllModules();
    gCalls.clear();
    Run("gGame:InitEnvLight() gGame:SetEnvLight(Vector:new_local(1, 1, 1, 1)) gGame:DeinitEnvLight()");
    EXPECT_TRUE(gCalls.empty());
    EXPECT_EQ(gAlienFX.GetState(), AlienFX::kUnavailable);
    EXPECT_TRUE(m_log.Contains("Failed to load LightFX.dll.", CONSOLE_ERROR));
    os::RegisterModule(AlienFX::kLibraryName, LightingLibrary());
    Run("gGame:InitEnvLight()");
    EXPECT_TRUE(gCalls.empty()) << "a failed attempt is not repeated";
}

TEST_F(ScriptTest, EvictingLoadingScreenResourcesTakesOnlyTheReleasedOnesFlaggedForIt)
{
    Run("gGame:EvictTemporaryLoadingScreenResources()");
    ResourceManager manager;
    ASSERT_TRUE(manager.Init());
    Resource* screen = manager.GetResource(RESOURCE_TYPE_TEXTURE, "tex/screen", 0, true, RESOURCE_FLAG_LOADING_SCREEN);
    Resource* held = manager.GetResource(RESOURCE_TYPE_TEXTURE, "tex/held", 0, true, RESOURCE_FLAG_LOADING_SCREEN);
    Resource* other = manager.GetResource(RESOURCE_TYPE_TEXTURE, "tex/other", 0, true, RESOURCE_FLAG_SCENE_TEXTURE);
    screen->Release();
    other->Release();
    Run("gGame:EvictTemporaryLoadingScreenResources()");
    manager.Flush();
    EXPECT_TRUE(m_log.Contains("Removing unused resource: tex/screen"));
    EXPECT_TRUE(m_log.Contains("Evicted 1 resources"));
    held->Release();
    manager.Close();
}
