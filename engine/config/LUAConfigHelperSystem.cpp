#include "engine/config/LUAConfigHelper.h"

#include "core/console/GameConsole.h"
#include "effects/particles/ParticleSystem.h"
#include "effects/sfx/SFXDefinition.h"
#include "engine/Game.h"
#include "engine/NorvexEngine.h"
#include "engine/config/GameConfig.h"
#include "engine/config/SceneNamesTable.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/resources/ResourceManager.h"

namespace
{
constexpr uint8_t kNoTransition = 255;
constexpr uint32_t kTexturePoolMask = 1;
} // namespace

void LUAConfigHelper::ApplySeriousGFXSettings()
{
    if (NorvexRenderer* renderer = gNorvexEngine.GetRenderer())
    {
        ReapplyDisplaySettings(*renderer);
        renderer->RequestDeviceReset();
        renderer->SubmitCommands(true);
    }
    // Materials and particle systems choose their shader variants by quality level; effects pick
    // up the new quality where they stand: every context restarts with carry-over.
    MeshTemplateRenderingData::RefreshAllMaterials();
    ParticleSystem::RebuildAllShaders();
    SFXDefinition::WalkRegistry([](SFXDefinition& definition) { definition.ReinitContexts(true); });
    gGame.RequestFullScreen(gGameConfig.m_fullScreenMode);
    gGame.RequestScreenResoultionChange(gGame.GetScreenWidth(), gGame.GetScreenHeight());
}

void LUAConfigHelper::LogResourcesUsage()
{
    SceneNamesTable table;
    table.Load();
    for (int32_t i = 0; i < table.m_sceneNames.Count(); ++i)
    {
        const char* name = table.m_sceneNames[i].CStr();
        gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_GENERAL, "changing scene to: %s", name);
        gGame.SwitchScene(name, 0, kNoTransition, nullptr);
        gGame.Update(true);
        gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_GENERAL, "===START Textures used on scene: %s ===", name);
        if (ResourceManager* resources = gNorvexEngine.GetResourceManager())
        {
            if (NorvexRenderer* renderer = gNorvexEngine.GetRenderer())
                renderer->SubmitCommands(true);
            resources->PostDumpResources(kTexturePoolMask, true);
        }
        gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_GENERAL, "===END Textures used on scene: %s ===", name);
    }
}
