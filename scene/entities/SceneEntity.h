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
};
