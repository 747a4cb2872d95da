#include "scene/kinds/RegionAndLightKindRegistration.h"

#include "core/reflection/RTTIClassRegistry.h"
#include "scene/kinds/LightTemplate.h"
#include "scene/kinds/SceneParametersTemplate.h"
#include "scene/kinds/TriggerTemplate.h"

void RegisterRegionAndLightKinds()
{
    RTTIClassRegistry::RegisterClass("TriggerTemplate", "EntityTemplate",
                                     [](int) -> RTTIPolyBaseClass* { return new TriggerTemplate; });
    RTTIClassRegistry::RegisterClass("LightTemplate", "EntityTemplate",
                                     [](int) -> RTTIPolyBaseClass* { return new LightTemplate; });
    RTTIClassRegistry::RegisterClass("SceneParametersTemplate", "EntityTemplate",
                                     [](int) -> RTTIPolyBaseClass* { return new SceneParametersTemplate; });
    // Entities are known by name but made only through the entity manager's roads.
    RTTIClassRegistry::RegisterClass("LightEntity", "Entity", nullptr);
}
