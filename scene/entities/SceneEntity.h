// SceneEntity: the scene root ("SCENE ROOT"), parent of every top-level entity. It names the active
// scene-parameters entity by GUID. Main thread only.
#pragma once

#include "scene/entities/Entity.h"

// The root of a scene's entity tree.
class SceneEntity : public Entity
{
    RTTI_DECLARE_CLASS(SceneEntity, Entity)

public:
    const SimpleGUID& GetActiveSceneParamsGUID() const { return m_activeSceneParams; }
    void SetActiveSceneParamsGUID(const SimpleGUID& guid) { m_activeSceneParams = guid; }

private:
    SimpleGUID m_activeSceneParams;
};

// An entity of the scene-parameters kind (template type 9); it adds no stored property.
class SceneParametersEntity : public Entity
{
    RTTI_DECLARE_CLASS(SceneParametersEntity, Entity)

public:
    // Activate flags.
    static constexpr uint32_t kKeepActiveEntity = 1;
    static constexpr uint32_t kResetEnvironmentFirst = 64;

    // Unless flag 1, the scene root names this entity as the active one; flag 64 first returns the
    // scene environment to its defaults; then the template blends the environment to its set.
    void Activate(uint32_t flags, float seconds);
    // The scene environment drops its override set.
    void DeactivateOverrideParams();
    // Activates the entity the scene root names (when it is of this kind); otherwise flag 64 still
    // returns the scene environment to its defaults.
    void ActivateDefaultSceneParams(uint32_t flags, float seconds);
    // The active entity shows its new template's set at once.
    void ChangeTemplate(EntityTemplate* entityTemplate) override;
};
