// The scene root: its twelve stored settings in file order, and what a load or an edit of them
// tells the renderer, the entity manager and the scene environment.
#include "scene/entities/SceneEntity.h"

#include "core/math/HDRColor.h"
#include "core/reflection/RTTIPropertiesBase.h"
#include "engine/config/ProjectConfig.h"
#include "renderer/RenderCommands.h"
#include "renderer/SceneEnvironment.h"
#include "scene/kinds/SceneParametersTemplate.h"
#include "support/RenderStreamCapture.h"
#include "support/SceneEnvironmentCalls.h"
#include "support/SceneTestSupport.h"
#include "tools/datakit/SceneWriter.h"

#include <cstring>
#include <string>
#include <vector>

namespace
{
class SceneEntityTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        m_capture = std::make_unique<RenderStreamCapture>();
        AcceptSceneEnvironmentCalls(*m_capture);
        m_savedProjectMode = gProjectConfig.m_visualizationMode;
    }
    void TearDown() override
    {
        gProjectConfig.m_visualizationMode = m_savedProjectMode;
        HDRColor::SetLinearLighting(true);
        SceneTest::TearDown();
        m_capture.reset();
    }
    static SceneEntity& Root() { return *gEntityManager.GetSceneRoot(); }
    static bool Set(const char* name, const char* text)
    {
        const RTTIProperty* property = SceneEntity::StaticClassProperties()->FindProperty(name);
        return property != nullptr && property->SetFromText(&Root(), text);
    }
    // The colour modes written since the last call.
    std::vector<uint32_t> ColorModes()
    {
        m_capture->Take();
        std::vector<uint32_t> modes;
        while (m_capture->SkipTo(RENDER_OP_SET_SCENE_COLOR_MODE))
            modes.push_back(m_capture->Read<uint32_t>());
        return modes;
    }
    // The blend commands written since the last call: (set, flags).
    using BlendList = std::vector<std::pair<const void*, uint32_t>>;
    BlendList Blends()
    {
        BlendList blends;
        for (const SceneEnvironmentCall& blend : TakeSceneEnvironmentBlends(*m_capture))
            blends.emplace_back(blend.set, blend.flags);
        return blends;
    }

    std::unique_ptr<RenderStreamCapture> m_capture;
    uint32_t m_savedProjectMode = 0;
    // Outlives the scene, which TearDown destroys.
    SceneParametersTemplate m_parametersTemplate;
};
} // namespace

TEST_F(SceneEntityTest, TwelveSettingsInFileOrderWithTheirDefaultsAndFlags)
{
    struct Row
    {
        const char* name;
        uint32_t flags;
    };
    const Row rows[] = {{"Active scene param box", 0}, {"Requires common resources", 0},
                        {"Allow mesh optimization", 0}, {"Universe bbox min y", 0},
                        {"Universe bbox max y", 0},    {"Ground plane enabled", 0},
                        {"Ground plane level", 0},     {"Scene tag", 0},
                        {"Visualization mode", 128},   {"TerrainLightmapPosBBox", 2},
                        {"TerrainLightmapUVBBox", 2},  {"TerrainLightmapUVMulAdd", 2}};
    const RTTIPropertiesBase* table = SceneEntity::StaticClassProperties();
    ASSERT_EQ(table->GetProperties().Count(), 12);
    for (int32_t i = 0; i < 12; ++i)
    {
        EXPECT_EQ(table->GetProperties()[i]->GetName(), rows[i].name) << i;
        EXPECT_EQ(table->GetProperties()[i]->GetFlags(), rows[i].flags) << rows[i].name;
    }
    EXPECT_TRUE(Root().HasFlag(ENTITYFLAG_HIDDEN));

    // The payload of a fresh root, written out by hand.
    std::vector<uint8_t> expected(16, 0);
    auto u32 = [&expected](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            expected.push_back(uint8_t(v >> (8 * i)));
    };
    expected.push_back(1);
    expected.push_back(1);
    u32(0xC1C80000); // -25
    u32(0x43480000); // 200
    expected.push_back(1);
    u32(0);
    expected.push_back(0); // empty tag
    u32(3);
    for (int v = 0; v < 3; ++v)
    {
        u32(0);
        u32(0);
        u32(0x3F800000);
        u32(0x3F800000);
    }
    EXPECT_EQ(SceneWriter::Payload(Root(), RTTI_OWN_CLASS_ONLY), expected);
    const char* const* modes = table->FindProperty("Visualization mode")->GetEnumerationNames();
    ASSERT_NE(modes, nullptr);
    std::vector<std::string> names;
    for (; *modes != nullptr; ++modes)
        names.push_back(*modes);
    EXPECT_EQ(names, (std::vector<std::string>{"PC", "iPhone", "iPad2", "DEFAULT"}));
}

TEST_F(SceneEntityTest, LoadedSettingsReachTheRendererTheManagerAndTheEnvironment)
{
    struct Case
    {
        uint32_t stored;
        uint32_t project;
        uint32_t sent;
    };
    const Case cases[] = {{0, 2, 0}, {1, 0, 1}, {2, 0, 2}, {3, 1, 1}, {3, 0, 0}};
    for (const Case& c : cases)
    {
        gProjectConfig.m_visualizationMode = c.project;
        ASSERT_TRUE(Set("Visualization mode", std::to_string(c.stored).c_str()));
        ColorModes();
        Root().OnPostLoad(0);
        EXPECT_EQ(ColorModes(), std::vector<uint32_t>{c.sent}) << c.stored << " " << c.project;
        EXPECT_EQ(HDRColor::IsLinearLighting(), c.sent == 0);
    }

    ASSERT_TRUE(Set("Universe bbox min y", "-10"));
    ASSERT_TRUE(Set("Universe bbox max y", "90"));
    ASSERT_TRUE(Set("TerrainLightmapPosBBox", "1 2 3 4"));
    ASSERT_TRUE(Set("TerrainLightmapUVBBox", "5 6 7 8"));
    ASSERT_TRUE(Set("TerrainLightmapUVMulAdd", "9 10 11 12"));
    m_capture->Drain();
    Root().OnPostLoad(0);
    EXPECT_FLOAT_EQ(gEntityManager.GetSceneBounds().min.y, -10.0f);
    EXPECT_FLOAT_EQ(gEntityManager.GetSceneBounds().max.y, 90.0f);
    EXPECT_FLOAT_EQ(gEntityManager.GetCurrentBounds().max.y, 90.0f);
    m_capture->Take();
    ASSERT_TRUE(m_capture->SkipTo(RENDER_OP_SET_SCENE_CELL_RANGE)) << "the renderer's cells follow";
    EXPECT_FLOAT_EQ(m_capture->Read<float>(), -10.0f);
    EXPECT_FLOAT_EQ(m_capture->Read<float>(), 90.0f);
    // The three terrain lightmap vectors become the environment's scene colours.
    std::vector<SceneEnvironmentCall> colors;
    for (const SceneEnvironmentCall& call : TakeSceneEnvironmentCalls(*m_capture))
        if (call.sub == SceneEnvironment::SUB_SET_COLORS)
            colors.push_back(call);
    ASSERT_EQ(colors.size(), 1u);
    EXPECT_EQ(colors[0].environment, &gSceneEnvironment);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(colors[0].colors[i].Equal(Vector(float(1 + 4 * i), float(2 + 4 * i), float(3 + 4 * i),
                                                      float(4 + 4 * i))))
            << i;
    // The current bounds stop at 200 however high the universe goes.
    ASSERT_TRUE(Set("Universe bbox max y", "500"));
    Root().OnPostLoad(0);
    EXPECT_FLOAT_EQ(gEntityManager.GetSceneBounds().max.y, 500.0f);
    EXPECT_FLOAT_EQ(gEntityManager.GetCurrentBounds().max.y, 200.0f);
}

// An edit re-applies the y range and the active scene parameters: the named entity when it is of
// the scene-parameters kind, else the environment blends to no set with flags 10.
TEST_F(SceneEntityTest, EditsApplyTheYRangeAndTheActiveSceneParameters)
{
    m_parametersTemplate.OnPostLoad(0);
    Entity* parameters = gEntityManager.CreateEntity(&m_parametersTemplate, nullptr, Matrix::ONE, 0, nullptr);
    Entity* plain = gEntityManager.CreateEntity(m_template, nullptr, Matrix::ONE, 0, nullptr);
    Blends();

    Root().SetActiveSceneParamsGUID(parameters->GetGUID());
    ASSERT_TRUE(Set("Universe bbox max y", "75"));
    Root().OnPropertiesChanged();
    EXPECT_FLOAT_EQ(gEntityManager.GetSceneBounds().max.y, 75.0f);
    BlendList blends = Blends();
    ASSERT_FALSE(blends.empty());
    EXPECT_EQ(blends.back().first, m_parametersTemplate.GetWrapper());
    EXPECT_EQ(blends.back().second, uint32_t(SceneEnvironment::kBlendEndTemporary));
    EXPECT_EQ(gEntityManager.GetActiveSceneParamsEntity(), parameters);

    for (const SimpleGUID& named : {plain->GetGUID(), SimpleGUID()})
    {
        Root().SetActiveSceneParamsGUID(named);
        Root().OnPropertiesChanged();
        blends = Blends();
        ASSERT_EQ(blends.size(), 1u);
        EXPECT_EQ(blends[0].first, nullptr);
        EXPECT_EQ(blends[0].second, 10u);
    }
}
