// The options service's passes over the whole engine: the resource usage dump walks the scenes of
// "Scenes.Config", and the serious graphics settings hand their requests to the Game.
#include "core/reflection/ObjectRecord.h"
#include "effects/SFXContext.h"
#include "effects/particles/ParticleSystem.h"
#include "effects/sfx/SFXDefinition.h"
#include "engine/config/LUAConfigHelper.h"
#include "engine/config/SceneNamesTable.h"
#include "engine/NorvexEngine.h"
#include "engine/platform/PlatformState.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/resources/Resource.h"
#include "support/GameEngineFixture.h"
#include "support/ParticleTestSupport.h"

namespace
{
class LUAConfigHelperSystemTest : public GameEngineFixture
{
protected:
    void WriteSceneNames(const std::vector<const char*>& names)
    {
        SceneNamesTable table;
        for (const char* name : names)
            table.m_sceneNames.Add(NameString(name));
        Dynarray<uint8_t> record;
        ASSERT_TRUE(BuildObjectRecord(table, 0, record));
        m_folder.WriteFile("data/common/Scenes.Config",
                           std::string(reinterpret_cast<const char*>(record.Data()), size_t(record.Count())));
    }
};
} // namespace

TEST_F(LUAConfigHelperSystemTest, WithoutTheScenesFileNothingIsSwitchedOrLogged)
{
    gConfigHelper.LogResourcesUsage();
    EXPECT_FALSE(m_log.Contains("changing scene to:"));
    EXPECT_FALSE(m_log.Contains("===START"));
    EXPECT_FALSE(gGame.IsSwitchPending());
}

TEST_F(LUAConfigHelperSystemTest, EveryListedSceneIsEnteredAndItsTexturesLogged)
{
    WriteSceneNames({"First", "Second"});
    gConfigHelper.LogResourcesUsage();
    std::string missing;
    EXPECT_TRUE(InOrder(m_log.Messages(),
                        {"changing scene to: First", "===START Textures used on scene: First ===",
                         "===END Textures used on scene: First ===", "changing scene to: Second",
                         "===START Textures used on scene: Second ===", "===END Textures used on scene: Second ==="},
                        &missing))
        << missing;
    EXPECT_TRUE(gGame.IsLastSwitchedSceneEqual("Second")) << "the pass leaves the game in the last scene";
}

TEST_F(LUAConfigHelperSystemTest, SeriousSettingsRequestTheConfiguredModeAndTheScreenSize)
{
    // The level alone reaches the renderer's copy, and particle systems choose their shader again.
    auto soft = std::make_unique<ParticleSystem>();
    SetParticleProperty(*soft, "Softness", "true"); // a variant of level 2 and up
    gConfigHelper.SetGFXQualityLevel(2);
    const std::string softShader = soft->GetVertexShaderResource()->GetName();
    gConfigHelper.SetGFXQualityLevel(1);
    EXPECT_EQ(gNorvexEngine.GetRenderer()->GetGFXQualityLevel(), 1u);
    EXPECT_NE(soft->GetVertexShaderResource()->GetName(), softShader);
    soft.reset();
    gGameConfig.m_fullScreenMode = true;
    gGameConfig.m_rendererConfig.m_gfxQualityLevel = 1;
    // A playing effect is re-initialised: it takes up an element added since it started.
    SFXDefinition definition;
    SFXContext* effect = new SFXContext(*gNorvexEngine.GetRenderer(), nullptr, 0, false);
    effect->Init(definition, Matrix::ONE, false, 0);
    definition.AddElement(new SFXElementDefinition);
    gConfigHelper.ApplySeriousGFXSettings();
    gNorvexEngine.GetRenderer()->SubmitCommands(true);
    EXPECT_EQ(effect->GetElementContextCount(), 1);
    EXPECT_EQ(gNorvexEngine.GetRenderer()->GetDeviceParams().qualityLevel, 1u);
    effect->Destroy();
    bool fullScreen = false;
    ASSERT_TRUE(gGame.TakeFullScreenRequest(fullScreen));
    EXPECT_TRUE(fullScreen);
    uint32_t width = 0;
    uint32_t height = 0;
    ASSERT_TRUE(gGame.TakeResolutionRequest(width, height));
    EXPECT_EQ(width, gGame.GetScreenWidth());
    EXPECT_EQ(height, gGame.GetScreenHeight());
    gGameConfig.SetDefaults();
}

TEST_F(LUAConfigHelperSystemTest, FrontToBackSortingIsTheRenderersOption)
{
    NorvexRenderer* const renderer = gNorvexEngine.GetRenderer();
    ASSERT_NE(renderer, nullptr);
    for (const bool on : {true, false})
    {
        gConfigHelper.EnableFrontToBackSorting(on);
        EXPECT_EQ(renderer->IsFrontToBackSortingEnabled(), on);
        EXPECT_EQ(gConfigHelper.IsFrontToBackSortingEnabled(), on);
    }
}

TEST_F(LUAConfigHelperSystemTest, FullScreenModesAreTheDevicesAndPictureSettingsReachTheRenderer)
{
    NorvexRenderer* const renderer = gNorvexEngine.GetRenderer();
    ASSERT_NE(renderer, nullptr);
    const PlatformState kept = gPlatform;
    gPlatform.desktopWidth = 1920;
    gPlatform.desktopHeight = 1080;
    gGameConfig.m_fullScreenMode = true;
    gConfigHelper.AdjustScreenModeTableToDisplayMode();
    const auto& modes = renderer->GetDisplayModes().Modes();
    ASSERT_EQ(gConfigHelper.GetScreenModeCount(), modes.size());
    for (uint32_t i = 0; i < modes.size(); ++i)
    {
        EXPECT_EQ(gConfigHelper.GetScreenModeDesc(i), std::to_string(modes[i].width) + "x" + std::to_string(modes[i].height));
        // A mode of the desktop's shape is found again from the scale it stores.
        gConfigHelper.SetScreenMode(i);
        if (modes[i].width * 9 == modes[i].height * 16)
        {
            EXPECT_EQ(gConfigHelper.GetScreenMode(), i) << modes[i].width;
        }
    }
    gConfigHelper.SetBrightness(0.25f);
    gConfigHelper.SetScreenScaleX(0.5f);
    gConfigHelper.SetScreenScaleY(2.0f);
    renderer->SubmitCommands(true);
    EXPECT_EQ(renderer->GetBrightness(), 0.25f);
    EXPECT_EQ(renderer->GetScreenScaleX(), NorvexRenderer::MapScreenScale(0.5f));
    EXPECT_EQ(renderer->GetScreenScaleY(), NorvexRenderer::MapScreenScale(1.0f));
    // A toggle re-applies the display with the user's settings, not the plain ones without vsync,
    // and the device takes up the toggled shadows at once.
    const bool shadows = renderer->GetDeviceParams().shadowMapEnabled;
    gConfigHelper.ToggleShadows();
    EXPECT_TRUE(renderer->GetDeviceParams().vsync);
    EXPECT_NE(renderer->GetDeviceParams().shadowMapEnabled, shadows);
    gPlatform = kept;
    gGameConfig.SetDefaults();
}

TEST_F(LUAConfigHelperSystemTest, SavingTellsTheDelegateAndWritesTheUserConfiguration)
{
    ASSERT_FALSE(gConfigHelper.CheckIfFileExists("config", "bin", "project"));
    gConfigHelper.SetInputMode(2);
    gConfigHelper.SetInputMode(2);
    gConfigHelper.SaveConfig();
    EXPECT_EQ(m_delegate.Joined(), "OnInputConfigChanged;OnConfigSaved;") << "an unchanged mode is not announced";
    EXPECT_TRUE(gConfigHelper.CheckIfFileExists("config", "bin", "project"));
}
