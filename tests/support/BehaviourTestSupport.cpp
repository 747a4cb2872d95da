#include "support/BehaviourTestSupport.h"

#include "scene/SceneClassRegistration.h"

LeafScript gLeafScript;

RTTI_DEFINE_CLASS(ScriptedLeaf, BehaviourNode)

void ScriptedLeaf::BuildClassProperties(RTTIPropertiesBase&) {}

void RegisterBehaviourTestClasses()
{
    RegisterSceneClasses();
    ScriptedLeaf::RegisterRTTIClass();
}
