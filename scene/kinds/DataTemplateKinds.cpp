#include "scene/kinds/DataTemplateKinds.h"

#include "core/reflection/RTTIClassRegistry.h"
#include "effects/TEnvelope.h"
#include "effects/particles/ParticleSystem.h"
#include "effects/particles/PhysicalEffect.h"
#include "effects/sfx/SFXDefinition.h"
#include "effects/sfx/SFXElementKinds.h"
#include "gameplay/behaviour/BehaviourClassRegistration.h"
#include "scene/kinds/BehaviourTreeTemplate.h"
#include "scene/kinds/ColorEnvelopeTemplate.h"
#include "scene/kinds/FlagEntityConnection.h"
#include "scene/kinds/FlagTemplate.h"
#include "scene/kinds/GraphTemplate.h"
#include "scene/kinds/InGameUITemplate.h"
#include "scene/kinds/MeshAnimationGraphTemplate.h"
#include "scene/kinds/ParticleTemplate.h"
#include "scene/kinds/PhysicalEffectTemplate.h"
#include "scene/kinds/SFXTemplate.h"
#include "scene/kinds/VectorEnvelopeTemplate.h"

void RegisterDataTemplateKinds()
{
    // Entities are known by name but made only through their templates.
    const char* const entities[] = {"FlagEntity", "PhysicalEffectEntity", "BehaviourTreeEntity",
                                    "MeshAnimationGraphEntity", "VectorEnvelopeEntity", "ColorEnvelopeEntity",
                                    "InGameUIEntity", "SFXEntity", "ParticleEntity", "GraphEntity"};
    for (const char* name : entities)
        if (RTTIClassRegistry::FindClassId(name) < 0)
            RTTIClassRegistry::RegisterClass(name, "Entity", nullptr);
    FlagTemplate::RegisterRTTIClass();
    FlagEntityConnectionControlPoint::RegisterRTTIClass();
    FlagEntityConnection::RegisterRTTIClass();
    GraphTemplate::RegisterRTTIClass();
    PhysicalEffectTemplate::RegisterRTTIClass();
    PhysicalEffect::RegisterRTTIClass();
    BehaviourTreeTemplate::RegisterRTTIClass();
    RegisterBehaviourTreeClasses();
    MeshAnimationGraphTemplate::RegisterRTTIClass();
    MeshAnimationGraphState::RegisterRTTIClass();
    MeshAnimationGraphStateTransition::RegisterRTTIClass();
    Envelope::RegisterRTTIClass();
    EnvelopeLoop::RegisterRTTIClass();
    TEnvelope<Vector>::RegisterRTTIClass();
    TEnvelope<HDRColor>::RegisterRTTIClass();
    VectorEnvelopeTemplate::RegisterRTTIClass();
    ColorEnvelopeTemplate::RegisterRTTIClass();
    InGameUITemplate::RegisterRTTIClass();
    SFXTemplate::RegisterRTTIClass();
    SFXDefinition::RegisterRTTIClass();
    SFXElementDefinition::RegisterRTTIClass();
    RegisterSFXElementKinds();
    ParticleTemplate::RegisterRTTIClass();
    ParticleSystem::RegisterRTTIClass();
}
