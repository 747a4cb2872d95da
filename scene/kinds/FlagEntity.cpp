#include "scene/kinds/FlagEntity.h"

RTTI_DEFINE_CLASS_TABLE(FlagEntity, Entity)

void FlagEntity::BuildClassProperties(RTTIPropertiesBase&) {}
