#include "scene/kinds/MeshKinds.h"

#include "renderer/MeshFakeShadowDefinition.h"
#include "renderer/MeshTemplateRenderingData.h"
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
}
