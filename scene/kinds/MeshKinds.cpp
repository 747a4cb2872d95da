#include "scene/kinds/MeshKinds.h"

#include "core/reflection/RTTIClassRegistry.h"
#include "engine/Game.h"
#include "renderer/LightmapMapping.h"
#include "renderer/MeshFakeShadowDefinition.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "scene/kinds/MeshEntity.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/kinds/MeshTemplateAnimation.h"

namespace
{
// The frame's tick walk over the animated meshes; anything else listed there is left alone.
void AnimateListedMesh(Entity* entity)
{
    if (MeshEntity* const mesh = dynamic_cast<MeshEntity*>(entity))
        mesh->Animate();
}

// The frame's end-of-frame walk: meshes that follow a proxy's replicated animation.
void ApplyListedReplicatedAnimation(Entity* entity)
{
    if (MeshEntity* const mesh = dynamic_cast<MeshEntity*>(entity))
        mesh->ApplyReplicatedAnimation();
}
} // namespace

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
    GameEntityLists::Operations operations = gGame.GetEntityLists().GetOperations();
    operations.animate = &AnimateListedMesh;
    operations.applyReplicatedAnimation = &ApplyListedReplicatedAnimation;
    gGame.GetEntityLists().InstallOperations(operations);
}
