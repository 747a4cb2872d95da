#include "scene/kinds/CompoundKinds.h"

#include "core/reflection/RTTIClassRegistry.h"
#include "renderer/LightmapMapping.h"
#include "scene/kinds/CompoundEntity.h"
#include "scene/kinds/CompoundTemplate.h"

void RegisterCompoundKinds()
{
    LightmapMapping::RegisterRTTIClass();
    ShaderPresetElement::RegisterRTTIClass();
    CompoundTemplateElement::RegisterRTTIClass();
    CompoundTemplate::RegisterRTTIClass();
    // Compound entities are known by name but made only through their templates.
    if (RTTIClassRegistry::FindClassId("CompoundEntity") < 0)
        RTTIClassRegistry::RegisterClass("CompoundEntity", "Entity", nullptr);
}
