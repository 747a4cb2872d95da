#include "engine/platform/AlienFX.h"

#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
uint32_t gInitializeResult = 0;
std::vector<std::string> gCalls;
uint32_t gLastMask = 0;
uint32_t gLastColour = 0;

uint32_t Initialize() { gCalls.push_back("init"); return gInitializeResult; }
uint32_t Release() { gCalls.push_back("release"); return 0; }
uint32_t Reset() { gCalls.push_back("reset"); return 0; }
uint32_t Update() { gCalls.push_back("update"); return 0; }
uint32_t Other() { return 0; }
uint32_t Light(uint32_t mask, uint32_t colour)
{
    gCalls.push_back("light");
    gLastMask = mask;
    gLastColour = colour;
    return 0;
}

std::map<std::string, os::ModuleFunction> EntryPoints()
{
    auto f = [](auto function) { return reinterpret_cast<os::ModuleFunction>(function); };
    return {{"LFX_Initialize", f(&Initialize)},       {"LFX_Release", f(&Release)},
            {"LFX_Reset", f(&Reset)},                 {"LFX_Update", f(&Update)},
            {"LFX_GetNumDevices", f(&Other)},         {"LFX_GetDeviceDescription", f(&Other)},
            {"LFX_GetNumLights", f(&Other)},          {"LFX_SetLightColor", f(&Other)},
            {"LFX_GetLightColor", f(&Other)},         {"LFX_GetLightDescription", f(&Other)},
            {"LFX_Light", f(&Light)},                 {"LFX_ActionColor", f(&Other)},
            {"LFX_ActionColorEx", f(&Other)}};
}

class AlienFXTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        gInitializeResult = 0;
        gCalls.clear();
    }
    void TearDown() override { os::UnregisterAllModules(); }

    ConsoleCapture m_log;
};
} // namespace

TEST_F(AlienFXTest, WithoutTheLibraryEveryCallDoesNothingAndItIsNotTriedAgain)
{
    AlienFX lights;
    lights.Init();
    EXPECT_EQ(lights.GetState(), AlienFX::kUnavailable);
    EXPECT_TRUE(m_log.Contains("Failed to load LightFX.dll.", CONSOLE_ERROR));
    os::RegisterModule(AlienFX::kLibraryName, EntryPoints());
    lights.Init();
    EXPECT_EQ(os::GetModuleLoadCount(AlienFX::kLibraryName), 0u) << "a failed attempt is final";
    const float colour[4] = {1, 1, 1, 1};
    lights.SetColor(AlienFX::kAllLocations, colour);
    lights.Update();
    EXPECT_TRUE(gCalls.empty());
}

TEST_F(AlienFXTest, ALibraryMissingAnEntryPointIsNeverCalled)
{
    auto entryPoints = EntryPoints();
    entryPoints.erase("LFX_Initialize");
    os::RegisterModule(AlienFX::kLibraryName, entryPoints);
    AlienFX lights;
    lights.Init();
    EXPECT_EQ(lights.GetState(), AlienFX::kUnavailable);
    EXPECT_TRUE(gCalls.empty());
    EXPECT_TRUE(m_log.Contains("LFX_Initialize", CONSOLE_ERROR));
    EXPECT_EQ(os::GetModuleLoadCount(AlienFX::kLibraryName), 0u) << "the library is freed";

    entryPoints = EntryPoints();
    entryPoints.erase("LFX_ActionColorEx");
    os::RegisterModule(AlienFX::kLibraryName, entryPoints);
    AlienFX other;
    other.Init();
    EXPECT_EQ(other.GetState(), AlienFX::kUnavailable) << "every entry point is checked";
    EXPECT_TRUE(gCalls.empty());
}

TEST_F(AlienFXTest, InitialisationResultsDecideTheState)
{
    os::RegisterModule(AlienFX::kLibraryName, EntryPoints());
    gInitializeResult = AlienFX::kResultNoDevices;
    AlienFX none;
    none.Init();
    EXPECT_EQ(none.GetState(), AlienFX::kUnavailable);
    EXPECT_TRUE(m_log.Contains("There is not AlienFX device available.", CONSOLE_MESSAGE));
    EXPECT_EQ(os::GetModuleLoadCount(AlienFX::kLibraryName), 0u);

    gInitializeResult = 7;
    AlienFX failing;
    failing.Init();
    EXPECT_EQ(failing.GetState(), AlienFX::kUnavailable);
    EXPECT_TRUE(m_log.Contains("There was an error initializing the AlienFX device.", CONSOLE_ERROR));
    EXPECT_EQ(os::GetModuleLoadCount(AlienFX::kLibraryName), 0u);
}

TEST_F(AlienFXTest, AReadyLibraryGetsPackedColoursUntilReleased)
{
    os::RegisterModule(AlienFX::kLibraryName, EntryPoints());
    {
        AlienFX lights;
        lights.Init();
        ASSERT_EQ(lights.GetState(), AlienFX::kReady);
        lights.Reset();
        const float colour[4] = {1.0f, 0.5f, 0.25f, 0.8f};
        lights.SetColor(AlienFX::kAllLocations, colour);
        EXPECT_EQ(gLastMask, 0x7FFFFFFu);
        EXPECT_EQ(gLastColour, (204u << 24) | (255u << 16) | (127u << 8) | 63u);
        lights.Update();
        EXPECT_EQ(gCalls, (std::vector<std::string>{"init", "reset", "light", "update"}));
        lights.Release();
        EXPECT_EQ(lights.GetState(), AlienFX::kNotTried);
        EXPECT_EQ(os::GetModuleLoadCount(AlienFX::kLibraryName), 0u);
        lights.Init();
        EXPECT_EQ(lights.GetState(), AlienFX::kReady) << "released lights can start again";
        gCalls.clear();
    }
    EXPECT_EQ(gCalls, std::vector<std::string>{"release"}) << "still ready at exit: released once more";

    const float outside[4] = {2.0f, -1.0f, 0.0f, 1.0f};
    EXPECT_EQ(AlienFX::PackColor(outside), 0xFFFF0000u);
}
