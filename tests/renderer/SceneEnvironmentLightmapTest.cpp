// ctest-labels: thread
// The scene environment on a running renderer and resource thread: lightmaps found by name up to
// the first missing one, variant and patch naming, the light probe map loaded on the render thread,
// unloading with its eviction, and the render-thread sub-commands.
#include "renderer/SceneEnvironment.h"

#include "engine/config/GameConfig.h"
#include "renderer/SceneParametersWrapper.h"
#include "renderer/resources/ResourceManager.h"
#include "support/ConsoleCapture.h"
#include "support/RenderDataHarness.h"
#include "tools/datakit/LightProbeMapWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
class SceneEnvironmentLightmapTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataRoot data;
        ASSERT_TRUE(AddLightmapSet(data, "Field", {0, 1, 3}));
        ASSERT_TRUE(AddLightmapSet(data, "Full", {0, 1, 2, 3, 4, 5, 6, 7, 8}));
        for (uint16_t width : {2, 3})
        {
            LightProbeMapSpec probes;
            probes.width = width;
            probes.height = 1;
            data.AddFile("scenes", width == 2 ? "Field.lpd" : "Field_var03.lpd", BuildLightProbeMap(probes));
        }
        ASSERT_TRUE(m_harness.WriteAndMount(data));
        ASSERT_TRUE(m_harness.Start());
        m_config.m_useContainerFiles = true;
        m_environment.SetConfig(&m_config);
        m_environment.Create();
    }
    void TearDown() override
    {
        m_environment.Close();
        EXPECT_FALSE(m_environment.HasSets());
        m_harness.Stop();
    }

    std::vector<std::string> Tried() const
    {
        std::vector<std::string> names;
        for (const CapturedMessage& message : m_log.Messages())
            if (message.text.rfind("Trying to load ", 0) == 0)
            {
                EXPECT_EQ(message.kind, uint32_t(CONSOLE_WARNING));
                EXPECT_EQ(message.channel, CONSOLE_CHANNEL_LIGHTMAP);
                names.push_back(message.text.substr(15));
            }
        return names;
    }
    uint32_t ProbeMapWidth()
    {
        m_harness.GetRenderer().SubmitCommands(true);
        return m_environment.GetLightProbeMap().GetWidth();
    }

    ConsoleCapture m_log;
    RenderDataHarness m_harness;
    GameConfig m_config;
    SceneEnvironment m_environment;
};
} // namespace

TEST_F(SceneEnvironmentLightmapTest, LightmapsStopAtTheFirstMissingIndex)
{
    m_environment.LoadLightmaps("Field", 255);
    EXPECT_TRUE(m_log.Contains("Loading lightmaps for Field", CONSOLE_WARNING));
    EXPECT_EQ(Tried(), (std::vector<std::string>{"Field_lm0.texture", "Field_lm1.texture", "Field_lm2.texture"}));
    for (uint32_t n = 0; n < SceneEnvironment::kLightmapCount; ++n)
        EXPECT_EQ(m_environment.GetLightmapResource(n) != nullptr, n < 2) << n;
    ASSERT_NE(m_environment.GetLightmapResource(1), nullptr);
    EXPECT_STREQ(m_environment.GetLightmapResource(1)->GetName(), "Field_lm1.texture");
    EXPECT_TRUE(m_environment.GetLightmapResource(1)->GetFlags() & RESOURCE_FLAG_SCENE_TEXTURE);
    // The resource thread has been flushed: both are loaded on return.
    EXPECT_NE(m_environment.GetLightmapTexture(0), nullptr);
    EXPECT_NE(m_environment.GetLightmapTexture(1), nullptr);
    EXPECT_EQ(m_environment.GetLightmapTexture(2), nullptr);
    EXPECT_EQ(m_environment.GetLightmapTexture(SceneEnvironment::kLightmapCount), nullptr);
    EXPECT_EQ(ProbeMapWidth(), 2u);

    m_environment.UnloadLightmaps();
    for (uint32_t n = 0; n < SceneEnvironment::kLightmapCount; ++n)
        EXPECT_EQ(m_environment.GetLightmapResource(n), nullptr) << n;
    EXPECT_EQ(ProbeMapWidth(), 0u);
    EXPECT_EQ(m_harness.GetManager().GetResource(RESOURCE_TYPE_TEXTURE, "Field_lm0.texture", 0, false, 0), nullptr)
        << "unloading evicts the scene's textures";
    m_log.Clear();
    m_environment.LoadLightmaps("Full", 255); // every slot filled, and no name tried past the last
    EXPECT_EQ(Tried().size(), size_t(SceneEnvironment::kLightmapCount));
    EXPECT_NE(m_environment.GetLightmapResource(SceneEnvironment::kLightmapCount - 1), nullptr);
}

// A variant is a texture patch in container mode and part of the file name otherwise; the probe
// map always takes the variant suffix, and a null prefix only unloads.
TEST_F(SceneEnvironmentLightmapTest, VariantsNameFilesOrPatches)
{
    struct Case
    {
        bool containers;
        uint32_t variant;
        std::vector<std::string> tried;
        const char* resource0;
        uint32_t probeWidth;
    };
    const Case cases[] = {
        {true, 3, {"Field_lm0.texture", "Field_lm1.texture", "Field_lm2.texture"}, "Field_lm0.texture|03.patch", 3},
        {false, 3, {"Field_var03_lm0.dds"}, nullptr, 3},
        {false, 255, {"Field_lm0.dds"}, nullptr, 2},
    };
    for (const Case& c : cases)
    {
        m_config.m_useContainerFiles = c.containers;
        m_log.Clear();
        m_environment.LoadLightmaps("Field", c.variant);
        EXPECT_EQ(Tried(), c.tried) << c.containers << " " << c.variant;
        Resource* const first = m_environment.GetLightmapResource(0);
        EXPECT_STREQ(first != nullptr ? first->GetName() : nullptr, c.resource0);
        EXPECT_EQ(ProbeMapWidth(), c.probeWidth);
    }
    m_log.Clear();
    m_environment.LoadLightmaps(nullptr, 255);
    EXPECT_TRUE(Tried().empty());
    EXPECT_EQ(m_environment.GetLightmapResource(0), nullptr);
    EXPECT_EQ(ProbeMapWidth(), 0u);
}

TEST_F(SceneEnvironmentLightmapTest, OverrideAndColoursReachTheRenderSide)
{
    SceneParametersWrapper set;
    set.SetDefaults();
    set.GetShading().fogEnd = 77.0f;
    m_environment.SetOverrideParameters(&set);
    m_environment.SetOverrideParameters(nullptr);
    m_environment.EnableOverride();
    m_environment.SetColors(Vector(1, 2, 3, 4), Vector(5, 6, 7, 8), Vector(9, 10, 11, 12));
    m_harness.GetRenderer().SubmitCommands(true);
    ASSERT_TRUE(m_environment.HasSets());
    ASSERT_EQ(m_environment.GetActiveParameters(), m_environment.GetOverrideSet());
    EXPECT_FLOAT_EQ(m_environment.GetActiveParameters()->GetShading().fogEnd, 77.0f) << "a null set changes nothing";
    EXPECT_TRUE(m_environment.GetSceneColor(1).Equal(Vector(5, 6, 7, 8)));
    m_environment.ClearDirty();
    m_environment.SetOverrideParameters(&set);
    m_harness.GetRenderer().SubmitCommands(true);
    EXPECT_TRUE(m_environment.IsDirty()) << "a new override refills the lookup tables";
    m_environment.ClearDirty();
    m_environment.DisableOverride();
    m_harness.GetRenderer().SubmitCommands(true);
    EXPECT_EQ(m_environment.GetActiveParameters(), m_environment.GetCurrentSet());
    EXPECT_TRUE(m_environment.IsDirty()) << "so does a change of the set in force";
}
