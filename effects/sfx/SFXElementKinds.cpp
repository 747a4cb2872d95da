#include "effects/sfx/SFXElementKinds.h"

#include "core/console/GameConsole.h"
#include "effects/sfx/SFXEmbeddedSfxElementDefinition.h"
#include "effects/sfx/SFXLightElementDefinition.h"
#include "effects/sfx/SFXMeshElementDefinition.h"
#include "effects/sfx/SFXParticleElementDefinition.h"
#include "effects/sfx/SFXPhysicalEffectElementDefinition.h"
#include "effects/sfx/SFXQuadElementDefinition.h"
#include "effects/sfx/SFXSoundElementDefinition.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "scene/templates/EntityTemplate.h"
#include "scene/templates/TemplateManager.h"
#include "scene/templates/TemplateTypeRegistry.h"

namespace
{
// Render bytes of the mesh data: A, B, C and D choose the entity render lists 0x40, 0x80, 0x20 and
// 0x200; E marks the depth pass and G the channel passes.
enum RenderByte : uint32_t
{
    BYTE_LIST_40 = 0,
    BYTE_LIST_80 = 1,
    BYTE_LIST_20 = 2,
    BYTE_LIST_200 = 3,
    BYTE_DEPTH_PASS = 4,
    BYTE_FLAG_32 = 6,
};
} // namespace

void RegisterSFXElementKinds()
{
    SFXQuadElementDefinition::RegisterRTTIClass();
    SFXParticleElementDefinition::RegisterRTTIClass();
    SFXMeshElementDefinition::RegisterRTTIClass();
    SFXPointLightElementDefinition::RegisterRTTIClass();
    SFXSpotLightElementDefinition::RegisterRTTIClass();
    SFXSoundElementDefinition::RegisterRTTIClass();
    SFXPhysicalEffectElementDefinition::RegisterRTTIClass();
    SFXEmbeddedSfxElementDefinition::RegisterRTTIClass();
}

SFXMeshPassBits GetSFXMeshPassBits(const MeshTemplateRenderingData* data)
{
    SFXMeshPassBits bits;
    if (data == nullptr)
        return bits;
    if (data->GetRenderByte(BYTE_LIST_20) != 0)
        bits.passBits = 17;
    if (data->GetRenderByte(BYTE_LIST_40) != 0)
        bits.passBits |= 6;
    if (data->GetRenderByte(BYTE_LIST_80) != 0)
        bits.passBits |= 8;
    if (data->GetRenderByte(BYTE_LIST_200) != 0)
        bits.passBits |= 32;
    bits.depthPass = data->GetRenderByte(BYTE_DEPTH_PASS);
    bits.flag32 = data->GetRenderByte(BYTE_FLAG_32);
    return bits;
}

void TakeSFXElementTemplate(EntityTemplate*& held, const SimpleGUID& guid, bool load, uint32_t typeId,
                            const char* wrongKindFormat)
{
    EntityTemplate* taken = gTemplateManager.GetTemplateByGUIDLocked(guid, load);
    if (taken != nullptr && !TemplateTypeRegistry::GetInstance().IsKindOf(taken->GetTypeId(), typeId))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, wrongKindFormat, taken->GetFileName());
        taken->Resource::Release();
        taken = nullptr;
    }
    if (taken != nullptr && taken == held)
    {
        taken->Resource::Release();
        return;
    }
    ReleaseSFXElementTemplate(held);
    held = taken;
}

void RequestSFXElementTemplate(EntityTemplate* held)
{
    if (IsSFXElementTemplatePending(held))
        held->RequestLoad();
}

void ReleaseSFXElementTemplate(EntityTemplate*& held)
{
    if (held != nullptr)
        held->Resource::Release();
    held = nullptr;
}

EntityTemplate* WaitForSFXElementTemplate(EntityTemplate* held)
{
    if (held == nullptr || held->GetPool() == nullptr)
        return held;
    held->Load(true);
    return held->IsLoaded() ? held : nullptr;
}

bool IsSFXElementTemplatePending(const EntityTemplate* held)
{
    return held != nullptr && held->GetPool() != nullptr && held->GetState() != RESOURCE_STATE_DONE;
}
