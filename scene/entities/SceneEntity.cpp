#include "scene/entities/SceneEntity.h"

#include "engine/config/ProjectConfig.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/SceneEnvironment.h"
#include "scene/entities/EntityManager.h"
#include "scene/kinds/SceneParametersTemplate.h"

RTTI_DEFINE_CLASS_TABLE(SceneEntity, Entity)

namespace
{
const char* const kVisualizationModeNames[] = {"PC", "iPhone", "iPad2", "DEFAULT", nullptr};
constexpr uint32_t kEditorOnly = 2;
// Rule of the active parameters: activated at once, ending any temporary set, or the environment
// returns to its defaults at once on the engine clock.
constexpr uint32_t kApplyActivateFlags = SceneEnvironment::kBlendEndTemporary;
constexpr uint32_t kApplyFallbackFlags = SceneEnvironment::kBlendClockEngine | SceneEnvironment::kBlendEndTemporary;
} // namespace

void SceneEntity::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = SceneEntity;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, SimpleGUID>("Active scene param box", &C::m_activeSceneParams));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, bool>("Requires common resources", &C::m_requiresCommonResources));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Allow mesh optimization", &C::m_allowMeshOptimization));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Universe bbox min y", &C::m_universeMinY));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Universe bbox max y", &C::m_universeMaxY));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Ground plane enabled", &C::m_groundPlaneEnabled));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Ground plane level", &C::m_groundPlaneLevel));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Scene tag", &C::m_sceneTag));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Visualization mode", &C::m_visualizationMode,
                                                                     RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kVisualizationModeNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("TerrainLightmapPosBBox", &C::m_terrainLightmapPosBox,
                                                                   kEditorOnly));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("TerrainLightmapUVBBox", &C::m_terrainLightmapUVBox,
                                                                   kEditorOnly));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("TerrainLightmapUVMulAdd",
                                                                   &C::m_terrainLightmapUVMulAdd, kEditorOnly));
}

SceneEntity::SceneEntity()
{
    RaiseFlag(ENTITYFLAG_HIDDEN, false);
}

void SceneEntity::RefreshVisibilityFlags()
{
    Entity::RefreshVisibilityFlags();
    if (gRenderer != nullptr)
        gRenderer->SetSceneColorMode(m_visualizationMode == kVisualizationDefault ? gProjectConfig.m_visualizationMode
                                                                                  : m_visualizationMode);
    gEntityManager.SetSceneHeightRange(m_universeMinY, m_universeMaxY);
    gSceneEnvironment.SetColors(m_terrainLightmapPosBox, m_terrainLightmapUVBox, m_terrainLightmapUVMulAdd);
}

void SceneEntity::OnPropertiesChanged()
{
    Entity::OnPropertiesChanged();
    gEntityManager.SetSceneHeightRange(m_universeMinY, m_universeMaxY);
    ApplyActiveSceneParams();
}

void SceneEntity::ApplyActiveSceneParams()
{
    Entity* const named = gEntityManager.FindEntityByGUID(m_activeSceneParams);
    SceneParametersEntity* const parameters =
        named != nullptr && named->IsKindOf(ENTITY_SCENEPARAMBOX) ? dynamic_cast<SceneParametersEntity*>(named) : nullptr;
    if (parameters != nullptr)
        parameters->Activate(kApplyActivateFlags, 0.0f);
    else
        gSceneEnvironment.BlendToParameters(nullptr, kApplyFallbackFlags, 0.0f);
}

RTTI_DEFINE_CLASS_TABLE(SceneParametersEntity, Entity)

void SceneParametersEntity::BuildClassProperties(RTTIPropertiesBase&) {}

namespace
{
SceneParametersTemplate* ParametersTemplateOf(const Entity* entity)
{
    return entity != nullptr && entity->IsKindOf(ENTITY_SCENEPARAMBOX)
               ? dynamic_cast<SceneParametersTemplate*>(entity->GetTemplate())
               : nullptr;
}
} // namespace

void SceneParametersEntity::Activate(uint32_t flags, float seconds)
{
    SceneEntity* const root = gEntityManager.GetSceneRoot();
    if ((flags & kKeepActiveEntity) == 0 && root != nullptr)
        root->SetActiveSceneParamsGUID(GetGUID());
    if ((flags & kResetEnvironmentFirst) != 0)
        gSceneEnvironment.BlendToParameters(nullptr, 0, 0.0f);
    if (SceneParametersTemplate* const parameters = ParametersTemplateOf(this))
        parameters->BlendTo(flags, seconds);
}

void SceneParametersEntity::DeactivateOverrideParams()
{
    gSceneEnvironment.BlendToParameters(nullptr, SceneEnvironment::kBlendTemporary, 0.0f);
}

void SceneParametersEntity::ActivateDefaultSceneParams(uint32_t flags, float seconds)
{
    if (SceneParametersEntity* const active = gEntityManager.GetActiveSceneParamsEntity();
        active != nullptr && ParametersTemplateOf(active) != nullptr)
        active->Activate(flags, seconds);
    else if ((flags & kResetEnvironmentFirst) != 0)
        gSceneEnvironment.BlendToParameters(nullptr, 0, 0.0f);
}

void SceneParametersEntity::ChangeTemplate(EntityTemplate* entityTemplate)
{
    Entity::ChangeTemplate(entityTemplate);
    if (gEntityManager.GetActiveSceneParamsEntity() != this)
        return;
    if (SceneParametersTemplate* const parameters = ParametersTemplateOf(this))
        parameters->BlendTo(0, 0.0f);
}
