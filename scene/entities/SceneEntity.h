// SceneEntity: the scene root ("SCENE ROOT"), parent of every top-level entity. It holds the
// scene-wide settings of the scene file and names the active scene-parameters entity by GUID.
// Main thread only.
#pragma once

#include "scene/entities/Entity.h"

// The root of a scene's entity tree and the scene-wide settings of the scene file.
class SceneEntity : public Entity
{
    RTTI_DECLARE_CLASS(SceneEntity, Entity)

public:
    // "Visualization mode" that follows the project's mode.
    static constexpr uint32_t kVisualizationDefault = 3;

    // Hidden (flag 16): the root is never drawn.
    SceneEntity();

    // The renderer's colour mode, the manager's universe y range and the terrain lightmap vectors
    // follow the stored settings.
    void RefreshVisibilityFlags() override;
    // An edit re-applies the y range and the active scene parameters.
    void OnPropertiesChanged() override;
    // The entity named by "Active scene param box" becomes the scene parameters when it is of that
    // kind; otherwise the scene environment returns to no parameter set.
    void ApplyActiveSceneParams();

    const SimpleGUID& GetActiveSceneParamsGUID() const { return m_activeSceneParams; }
    void SetActiveSceneParamsGUID(const SimpleGUID& guid) { m_activeSceneParams = guid; }
    bool RequiresCommonResources() const { return m_requiresCommonResources; }
    bool AllowsMeshOptimization() const { return m_allowMeshOptimization; }
    float GetUniverseMinY() const { return m_universeMinY; }
    float GetUniverseMaxY() const { return m_universeMaxY; }
    bool IsGroundPlaneEnabled() const { return m_groundPlaneEnabled; }
    float GetGroundPlaneLevel() const { return m_groundPlaneLevel; }
    const NameString& GetSceneTag() const { return m_sceneTag; }
    uint32_t GetVisualizationMode() const { return m_visualizationMode; }

private:
    SimpleGUID m_activeSceneParams;
    bool m_requiresCommonResources = true;
    bool m_allowMeshOptimization = true;
    float m_universeMinY = -25.0f;
    float m_universeMaxY = 200.0f;
    bool m_groundPlaneEnabled = true;
    float m_groundPlaneLevel = 0.0f;
    NameString m_sceneTag;
    uint32_t m_visualizationMode = kVisualizationDefault;
    Vector m_terrainLightmapPosBox = Vector(0.0f, 0.0f, 1.0f, 1.0f);
    Vector m_terrainLightmapUVBox = Vector(0.0f, 0.0f, 1.0f, 1.0f);
    Vector m_terrainLightmapUVMulAdd = Vector(0.0f, 0.0f, 1.0f, 1.0f);
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
    // The scene environment ends the temporary set in force.
    static void DeactivateOverrideParams();
    // Activates the entity the scene root names (when it is of this kind); otherwise flag 64 still
    // returns the scene environment to its defaults.
    void ActivateDefaultSceneParams(uint32_t flags, float seconds);
    // The active entity shows its new template's set at once.
    void ChangeTemplate(EntityTemplate* entityTemplate) override;
};
