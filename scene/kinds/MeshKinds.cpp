#include "scene/kinds/MeshKinds.h"

#include "core/reflection/RTTIClassRegistry.h"
#include "renderer/LightmapMapping.h"
#include "renderer/MeshFakeShadowDefinition.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "scene/kinds/MeshEntity.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/kinds/MeshTemplateAnimation.h"

void RegisterMeshKinds()
{
    MeshFakeShadowDefinition::RegisterRTTIClass();
    MeshTemplateRenderingData::RegisterRTTIClass();
    MeshTemplateAnimationFrameData::RegisterRTTIClass();
    MeshTemplateAnimationPreset::RegisterRTTIClass();
    MeshTemplateAnimationDefinition::RegisterRTTIClass();
    MeshTemplateAnimationPresetNode::RegisterRTTIClass();
    MeshTemplateAnimationPresetTree::RegisterRTTIClass();
    MeshTemplateAnimationOverlay::RegisterRTTIClass();
    MeshTemplateAnimationOverlayList::RegisterRTTIClass();
    MeshTemplate::RegisterRTTIClass();
    LightmapMapping::RegisterRTTIClass();
    // Mesh entities are known by name but made only through their templates.
    if (RTTIClassRegistry::FindClassId("MeshEntity") < 0)
        RTTIClassRegistry::RegisterClass("MeshEntity", "Entity", nullptr);
}
