#include "scene/kinds/DataTemplateKinds.h"

#include "core/reflection/RTTIClassRegistry.h"
#include "gameplay/BehaviourTree.h"
#include "gameplay/PhysicalEffect.h"
#include "scene/kinds/BehaviourTreeTemplate.h"
#include "scene/kinds/FlagTemplate.h"
#include "scene/kinds/MeshAnimationGraphTemplate.h"
#include "scene/kinds/PhysicalEffectTemplate.h"

void RegisterDataTemplateKinds()
{
    // Entities are known by name but made only through their templates.
    const char* const entities[] = {"FlagEntity", "PhysicalEffectEntity", "BehaviourTreeEntity",
                                    "MeshAnimationGraphEntity"};
    for (const char* name : entities)
        if (RTTIClassRegistry::FindClassId(name) < 0)
            RTTIClassRegistry::RegisterClass(name, "Entity", nullptr);
    FlagTemplate::RegisterRTTIClass();
    PhysicalEffectTemplate::RegisterRTTIClass();
    PhysicalEffect::RegisterRTTIClass();
    BehaviourTreeTemplate::RegisterRTTIClass();
    BehaviourTree::RegisterRTTIClass();
    BehaviourTreeNode::RegisterRTTIClass();
    MeshAnimationGraphTemplate::RegisterRTTIClass();
    MeshAnimationGraphState::RegisterRTTIClass();
    MeshAnimationGraphStateTransition::RegisterRTTIClass();
}
