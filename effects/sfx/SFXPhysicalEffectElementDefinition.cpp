#include "effects/sfx/SFXPhysicalEffectElementDefinition.h"

#include "effects/sfx/SFXElementKinds.h"
#include "effects/sfx/SFXPhysicalEffectElementContext.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/kinds/PhysicalEffectTemplate.h"
#include "scene/templates/TemplateManager.h"
#include "scene/templates/TemplateTypeRegistry.h"

#include <algorithm>

namespace
{
constexpr uint32_t kTemplateReferenceFlag = 4096;
} // namespace

RTTI_DEFINE_CLASS(SFXPhysicalEffectElementDefinition, SFXElementDefinition)

void SFXPhysicalEffectElementDefinition::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = SFXPhysicalEffectElementDefinition;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, SimpleGUID>("Physical effect template", &C::m_templateGUID,
                                                                       kTemplateReferenceFlag));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Shader preset", &C::m_shaderPreset));
    table.AddProperty(
        new RTTIEmbeddedObjectProperty<C, TEnvelope<Vector>>("Spawn rate multiplier", &C::m_spawnRateMultiplier));
}

SFXPhysicalEffectElementDefinition::SFXPhysicalEffectElementDefinition()
    : m_spawnRateMultiplier(Envelope::COMBINE_MULTIPLY, Vector(1.0f, 0.0f, 0.0f, 0.0f))
{
}

SFXPhysicalEffectElementDefinition::~SFXPhysicalEffectElementDefinition()
{
    ReleaseTemplates();
}

PhysicalEffectTemplate* SFXPhysicalEffectElementDefinition::GetPhysicalEffectTemplate() const
{
    return static_cast<PhysicalEffectTemplate*>(m_template);
}

MeshTemplate* SFXPhysicalEffectElementDefinition::GetMeshTemplate() const
{
    return static_cast<MeshTemplate*>(m_mesh);
}

void SFXPhysicalEffectElementDefinition::ReleaseTemplates()
{
    ReleaseSFXElementTemplate(m_template);
    ReleaseSFXElementTemplate(m_mesh);
}

void SFXPhysicalEffectElementDefinition::ResolveResources(bool load)
{
    SFXElementDefinition::ResolveResources(load);
    Bind(m_spawnRateMultiplier, STATE_SPAWN);
    TakeSFXElementTemplate(m_template, m_templateGUID, load, PhysicalEffectTemplate::kTypeId,
                           "Template %s is not a physical effect while used as such in SFX definition!");
    if (!load)
        RequestSFXElementTemplate(m_template);
    m_passBits = TakeMesh(load);
    m_templatePending = IsSFXElementTemplatePending(m_template) || IsSFXElementTemplatePending(m_mesh);
}

void SFXPhysicalEffectElementDefinition::TakeLoadedTemplate()
{
    WaitForSFXElementTemplate(m_template);
    m_passBits = TakeMesh(true);
    m_templatePending = false;
}

bool SFXPhysicalEffectElementDefinition::HasTemplateArrived() const
{
    return !IsSFXElementTemplatePending(m_template) && !IsSFXElementTemplatePending(m_mesh);
}

void SFXPhysicalEffectElementDefinition::TakeArrivedTemplate(SFXElementDrawData& drawn)
{
    drawn.passBits = TakeMesh(false);
    m_templatePending = IsSFXElementTemplatePending(m_mesh);
}

uint32_t SFXPhysicalEffectElementDefinition::TakeMesh(bool load)
{
    // The new mesh is taken before the old one is given back, so that taking the same again does not
    // drop its last reference in between.
    EntityTemplate* taken = nullptr;
    // Bodies still loading are being written: nothing is read of them until they are in.
    const PhysicalEffectTemplate* const effect =
        IsSFXElementTemplatePending(m_template) ? nullptr : GetPhysicalEffectTemplate();
    if (effect != nullptr && effect->GetEffect().GetShape() == PhysicalEffect::SHAPE_CUSTOM_MESH)
    {
        taken = gTemplateManager.GetTemplateLocked(effect->GetEffect().GetMeshTemplatePath().CStr(), load);
        // A custom mesh that names no mesh template gives no pieces to draw.
        if (taken != nullptr && !TemplateTypeRegistry::GetInstance().IsKindOf(taken->GetTypeId(), MeshTemplate::kTypeId))
            ReleaseSFXElementTemplate(taken);
        if (!load)
            RequestSFXElementTemplate(taken);
    }
    ReleaseSFXElementTemplate(m_mesh);
    m_mesh = taken;
    m_presetIndex = 0;
    const MeshTemplate* const mesh = IsSFXElementTemplatePending(m_mesh) ? nullptr : GetMeshTemplate();
    if (mesh != nullptr)
        m_presetIndex = uint32_t(std::max(mesh->GetShaderPresetIndex(m_shaderPreset), 0));
    return kDefaultPassBits | GetSFXMeshPassBits(mesh != nullptr ? mesh->GetRenderingData() : nullptr).passBits;
}

SFXElementContext* SFXPhysicalEffectElementDefinition::CreateContext() const
{
    return new SFXPhysicalEffectElementContext;
}

void SFXPhysicalEffectElementDefinition::ReleaseResources(uint32_t flag)
{
    (void)flag;
    ReleaseTemplates();
}

void SFXPhysicalEffectElementDefinition::SetResourceFlags(uint32_t flags)
{
    if (m_template != nullptr)
        m_template->SetResourceFlags(flags);
}
