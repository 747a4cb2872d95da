#include "effects/sfx/SFXEmbeddedSfxElementDefinition.h"

#include "effects/SFXContext.h"
#include "effects/sfx/SFXDefinition.h"
#include "effects/sfx/SFXEmbeddedSfxElementContext.h"
#include "effects/sfx/SFXElementKinds.h"
#include "scene/kinds/SFXTemplate.h"

namespace
{
constexpr uint32_t kTemplateReferenceFlag = 4096;
} // namespace

RTTI_DEFINE_CLASS(SFXEmbeddedSfxElementDefinition, SFXElementDefinition)

void SFXEmbeddedSfxElementDefinition::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = SFXEmbeddedSfxElementDefinition;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, SimpleGUID>("SFX template", &C::m_templateGUID,
                                                                       kTemplateReferenceFlag));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Start delay", &C::m_startDelay));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Restart after", &C::m_restartAfter));
}

SFXEmbeddedSfxElementDefinition::~SFXEmbeddedSfxElementDefinition()
{
    ReleaseSFXElementTemplate(m_template);
}

SFXTemplate* SFXEmbeddedSfxElementDefinition::GetSFXTemplate() const
{
    return static_cast<SFXTemplate*>(m_template);
}

void SFXEmbeddedSfxElementDefinition::ResolveResources(bool load)
{
    SFXElementDefinition::ResolveResources(load);
    // The nested effect's template file is loaded whatever `load` says: the pass bits below and
    // every context started from this definition need its elements.
    TakeSFXElementTemplate(m_template, m_templateGUID, true, SFXTemplate::kTypeId,
                           "Template %s is not a SFX while used as such in SFX definition!");
    TakeNestedPasses();
}

bool SFXEmbeddedSfxElementDefinition::IsTemplatePending() const
{
    const SFXTemplate* const nested = GetSFXTemplate();
    return nested != nullptr && nested->GetDefinition().HasPendingTemplates(true);
}

void SFXEmbeddedSfxElementDefinition::TakeLoadedTemplate()
{
    if (SFXTemplate* const nested = GetSFXTemplate(); nested != nullptr)
        nested->GetDefinition().TakeLoadedTemplates(true);
    TakeNestedPasses();
}

void SFXEmbeddedSfxElementDefinition::TakeNestedPasses()
{
    m_passBits = kDefaultPassBits;
    m_depthPass = 0;
    m_flag32 = 0;
    if (const SFXTemplate* const nested = GetSFXTemplate(); nested != nullptr)
    {
        const SFXDefinition& definition = nested->GetDefinition();
        m_passBits |= definition.GetPassBits();
        m_depthPass = definition.GetDepthPassByte();
        m_flag32 = definition.GetFlag32Byte();
    }
}

SFXElementContext* SFXEmbeddedSfxElementDefinition::CreateContext() const
{
    return new SFXEmbeddedSfxElementContext;
}

void SFXEmbeddedSfxElementDefinition::Draw(const Matrix& matrix, const Vector& color, SFXElementContext* context,
                                           uint32_t passMask, uint32_t extra, uint32_t passFlags) const
{
    (void)matrix;
    SFXContext* const nested = context != nullptr ? context->GetNestedContext() : nullptr;
    if (nested != nullptr)
        nested->DrawEffect(color, passFlags, passMask, extra);
}

void SFXEmbeddedSfxElementDefinition::ReleaseResources(uint32_t flag)
{
    (void)flag;
    ReleaseSFXElementTemplate(m_template);
}

void SFXEmbeddedSfxElementDefinition::PreloadResources()
{
    if (SFXTemplate* const nested = GetSFXTemplate(); nested != nullptr)
        nested->GetDefinition().PreloadElementResources();
}

void SFXEmbeddedSfxElementDefinition::SetResourceFlags(uint32_t flags)
{
    if (m_template != nullptr)
        m_template->SetResourceFlags(flags);
}
