#include "scene/entities/SceneEntity.h"

#include "renderer/SceneEnvironment.h"
#include "scene/entities/EntityManager.h"
#include "scene/kinds/SceneParametersTemplate.h"

// The root's stored properties belong to the scene root's own kind work; the GUID it names is
// set through the accessors meanwhile.
RTTI_DEFINE_CLASS_TABLE(SceneEntity, Entity)

void SceneEntity::BuildClassProperties(RTTIPropertiesBase&) {}

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
        parameters->Activate(flags, seconds);
}

void SceneParametersEntity::DeactivateOverrideParams()
{
    gSceneEnvironment.BlendToParameters(nullptr, SceneEnvironment::kBlendDropOverride, 0.0f);
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
        parameters->Activate(0, 0.0f);
}
