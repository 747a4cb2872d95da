#include "scene/entities/SceneEntity.h"

// The root's stored properties belong to the scene root's own kind work; the GUID it names is
// set through the accessors meanwhile.
RTTI_DEFINE_CLASS_TABLE(SceneEntity, Entity)

void SceneEntity::BuildClassProperties(RTTIPropertiesBase&) {}

RTTI_DEFINE_CLASS_TABLE(SceneParametersEntity, Entity)

void SceneParametersEntity::BuildClassProperties(RTTIPropertiesBase&) {}
