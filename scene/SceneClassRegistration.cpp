#include "scene/SceneClassRegistration.h"

#include "core/reflection/EntityReferences.h"
#include "core/reflection/RTTIClassRegistry.h"
#include "scene/cameras/GameCameraControllerCamera.h"
#include "scene/cameras/NXRTSTargetCameraSubcontroller.h"
#include "scene/cameras/PerspectiveCamera.h"
#include "scene/cameras/TargetViewCamera.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityLayerSystem.h"
#include "scene/entities/EntityManager.h"
#include "scene/entities/EntitySet.h"
#include "scene/kinds/CompoundKinds.h"
#include "scene/kinds/DataTemplateKinds.h"
#include "scene/kinds/MeshKinds.h"
#include "scene/kinds/RegionAndLightKindRegistration.h"
#include "scene/templates/EntityTemplate.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateTypeRegistry.h"

namespace
{
// Record references to entities resolve through the entity manager's GUID index.
class SceneEntityReferenceResolver : public EntityReferenceResolver
{
public:
    RTTIPolyBaseClass* FindEntityByGUID(const SimpleGUID& guid) override
    {
        return gEntityManager.FindEntityByGUID(guid);
    }
    SimpleGUID GetEntityGUID(const RTTIPolyBaseClass* entity) override
    {
        const Entity* const e = dynamic_cast<const Entity*>(entity);
        return e != nullptr ? e->GetGUID() : SimpleGUID();
    }
    uint32_t GetEntityType(const RTTIPolyBaseClass* entity) override
    {
        const Entity* const e = dynamic_cast<const Entity*>(entity);
        return e != nullptr ? e->GetTemplateTypeId() : ENTITY_UNKNOWN;
    }
    bool IsKindOf(uint32_t type, uint32_t baseType) override
    {
        return TemplateTypeRegistry::GetInstance().IsKindOf(type, baseType);
    }
};

SceneEntityReferenceResolver gResolver;

template <class T>
void RegisterCreatable(const char* name, const char* base)
{
    RTTIClassRegistry::RegisterClass(name, base, [](int) -> RTTIPolyBaseClass* { return new T; });
}

struct TemplateType
{
    uint32_t id;
    uint32_t parent;
    const char* name;
};

const TemplateType kEngineTemplateTypes[] = {
    {0, TemplateTypeRegistry::kNoParent, "EntityTemplate"},
    {1, 0, "MeshTemplate"},
    {2, 0, "FlagTemplate"},
    {3, 0, "GraphTemplate"},
    {4, 0, "TriggerTemplate"},
    {5, 0, "CompoundTemplate"},
    {6, 0, "ParticleTemplate"},
    {7, 0, "SFXTemplate"},
    {8, 0, "LightTemplate"},
    {9, 0, "SceneParametersTemplate"},
    {10, 0, "UIRecipeTemplate"},
    {11, 0, "InGameUITemplate"},
    {12, 0, "ColorEnvelopeTemplate"},
    {13, 0, "VectorEnvelopeTemplate"},
    {14, 0, "BehaviourTreeTemplate"},
    {15, 0, "MeshAnimationGraphTemplate"},
    {16, 0, "PhysicalEffectTemplate"},
    {17, 5, "AmbientSoundTemplate"},
};
} // namespace

void RegisterSceneClasses()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    // Entities are known by name but made only through the entity manager's roads.
    RTTIClassRegistry::RegisterClass("Entity", "RTTIPropertiesBase", nullptr);
    RTTIClassRegistry::RegisterClass("SceneEntity", "Entity", nullptr);
    RTTIClassRegistry::RegisterClass("SceneParametersEntity", "Entity", nullptr);
    RTTIClassRegistry::RegisterClass("TriggerEntity", "Entity", nullptr);
    RegisterCreatable<EntityTemplate>("EntityTemplate", "RTTIPropertiesBase");
    RegisterCreatable<EntityTemplateStub>("EntityTemplateStub", "RTTIPropertiesBase");
    RegisterCreatable<EntitySet>("EntitySet", "RTTIPropertiesBase");
    RegisterCreatable<EntityLayer>("EntityLayer", "RTTIPropertiesBase");
    RegisterCreatable<EntityLayerGroup>("EntityLayerGroup", "RTTIPropertiesBase");
    RegisterCreatable<EntityLayerSystem>("EntityLayerSystem", "RTTIPropertiesBase");
    // Cameras: the two roots are abstract and known by name only.
    RTTIClassRegistry::EnsureClassRegistered("BaseCamera", "RTTIPropertiesBase", nullptr);
    RTTIClassRegistry::EnsureClassRegistered("YawPitchCamera", "BaseCamera", nullptr);
    PerspectiveCamera::RegisterRTTIClass();
    TargetViewCamera::RegisterRTTIClass();
    GameCameraControllerCamera::RegisterRTTIClass();
    RTTIClassRegistry::EnsureClassRegistered("NXBaseCameraSubcontroller", "RTTIPropertiesBase",
                                            [](int) -> RTTIPolyBaseClass* { return new NXBaseCameraSubcontroller; });
    NXRTSCameraSubcontroller::RegisterRTTIClass();
    NXRTSTargetCameraSubcontroller::RegisterRTTIClass();
    RegisterRegionAndLightKinds();
    for (const TemplateType& type : kEngineTemplateTypes)
        TemplateTypeRegistry::GetInstance().RegisterType(type.id, type.parent, type.name);
    SetEntityReferenceResolver(&gResolver);
    RegisterDataTemplateKinds();
    RegisterMeshKinds();
    RegisterCompoundKinds();
}
