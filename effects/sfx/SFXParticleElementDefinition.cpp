#include "effects/sfx/SFXParticleElementDefinition.h"

#include "effects/particles/ParticleSystemContext.h"
#include "effects/sfx/SFXElementKinds.h"
#include "effects/sfx/SFXParticleElementContext.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/kinds/ParticleTemplate.h"

namespace
{
constexpr uint32_t kParticleTemplateReferenceFlag = 4096;
} // namespace

RTTI_DEFINE_CLASS(SFXParticleElementDefinition, SFXElementDefinition)

void SFXParticleElementDefinition::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = SFXParticleElementDefinition;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, SimpleGUID>("Particle template", &C::m_particleTemplateGUID,
                                                                       kParticleTemplateReferenceFlag));
    table.AddProperty(
        new RTTIEmbeddedObjectProperty<C, TEnvelope<Vector>>("Spawn rate multiplier", &C::m_spawnRateMultiplier));
}

SFXParticleElementDefinition::SFXParticleElementDefinition()
    : m_spawnRateMultiplier(Envelope::COMBINE_MULTIPLY, Vector(1.0f, 0.0f, 0.0f, 0.0f))
{
}

SFXParticleElementDefinition::~SFXParticleElementDefinition()
{
    ReleaseSFXElementTemplate(m_template);
}

ParticleTemplate* SFXParticleElementDefinition::GetParticleTemplate() const
{
    return static_cast<ParticleTemplate*>(m_template);
}

const ParticleTemplate* SFXParticleElementDefinition::WaitForParticleTemplate() const
{
    return static_cast<const ParticleTemplate*>(WaitForSFXElementTemplate(m_template));
}

void SFXParticleElementDefinition::ResolveResources(bool load)
{
    SFXElementDefinition::ResolveResources(load);
    Bind(m_spawnRateMultiplier, STATE_SPAWN);
    TakeSFXElementTemplate(m_template, m_particleTemplateGUID, load, ParticleTemplate::kTypeId,
                           "Template %s is not particle while used as such in SFX definition");
    TakeParticleData();
    // A particle template read on the resource thread keeps its particles' mesh only when that had
    // come in already.
    const ParticleTemplate* const particles = GetParticleTemplate();
    m_templatePending = IsSFXElementTemplatePending(m_template) ||
                        (particles != nullptr && !particles->GetSystem().GetMeshTemplateGUID().IsNull() &&
                         particles->GetSystem().GetMeshTemplate() == nullptr);
}

void SFXParticleElementDefinition::TakeLoadedTemplate()
{
    if (WaitForSFXElementTemplate(m_template) != nullptr)
        GetParticleTemplate()->GetSystem().WaitForMeshTemplate();
    TakeParticleData();
    m_templatePending = false;
}

void SFXParticleElementDefinition::TakeParticleData()
{
    m_passBits = kDefaultPassBits;
    m_depthPass = 0;
    m_flag32 = 0;
    const ParticleTemplate* const particles = GetParticleTemplate();
    if (particles == nullptr || particles->GetSystem().GetMeshTemplateGUID().IsNull())
        return;
    // Mesh particles draw in the passes of their mesh; a mesh without rendering data in none but 16.
    const auto* mesh = dynamic_cast<const MeshTemplate*>(particles->GetSystem().GetMeshTemplate());
    const SFXMeshPassBits bits = GetSFXMeshPassBits(mesh != nullptr ? mesh->GetRenderingData() : nullptr);
    m_passBits = bits.passBits;
    m_depthPass = bits.depthPass;
    m_flag32 = bits.flag32;
}

SFXElementContext* SFXParticleElementDefinition::CreateContext() const
{
    return new SFXParticleElementContext;
}

void SFXParticleElementDefinition::Draw(const Matrix& matrix, const Vector& color, SFXElementContext* context,
                                        uint32_t passMask, uint32_t extra, uint32_t passFlags) const
{
    (void)passMask, (void)extra;
    auto* const particles = static_cast<SFXParticleElementContext*>(context);
    if (particles != nullptr && particles->GetSystem() != nullptr)
        particles->GetSystem()->Draw(matrix, color, passFlags);
}

void SFXParticleElementDefinition::DrawDepth(const Matrix& matrix, SFXElementContext* context) const
{
    (void)matrix;
    auto* const particles = static_cast<SFXParticleElementContext*>(context);
    if (particles != nullptr && particles->GetSystem() != nullptr)
        particles->GetSystem()->DrawMeshDepth(0);
}

void SFXParticleElementDefinition::ReleaseResources(uint32_t flag)
{
    (void)flag;
    ReleaseSFXElementTemplate(m_template);
}

void SFXParticleElementDefinition::SetResourceFlags(uint32_t flags)
{
    if (m_template != nullptr)
        m_template->SetResourceFlags(flags);
}
