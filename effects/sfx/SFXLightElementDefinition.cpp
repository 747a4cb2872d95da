#include "effects/sfx/SFXLightElementDefinition.h"

#include "effects/sfx/SFXLightElementContext.h"
#include "renderer/jobs/RendererJobs.h"
#include "renderer/resources/Resource.h"
#include "renderer/resources/ResourceManager.h"
#include "renderer/resources/ResourceTexture.h"

namespace
{
constexpr uint32_t kTexturePathFlag = 2048;
} // namespace

RTTI_DEFINE_CLASS(SFXPointLightElementDefinition, SFXElementDefinition)
RTTI_DEFINE_CLASS(SFXSpotLightElementDefinition, SFXElementDefinition)

void SFXPointLightElementDefinition::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = SFXPointLightElementDefinition;
    table.AddProperty(new RTTIEmbeddedObjectProperty<C, TEnvelope<Vector>>("Range", &C::m_range));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Mask texture", &C::m_maskTexture,
                                                                       kTexturePathFlag, "Textures"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Draw light wireframe", &C::m_drawWireframe));
}

void SFXSpotLightElementDefinition::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = SFXSpotLightElementDefinition;
    table.AddProperty(new RTTIEmbeddedObjectProperty<C, TEnvelope<Vector>>("Range", &C::m_range));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Spot width", &C::m_spotWidth));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Spot softness", &C::m_spotSoftness));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Mask texture", &C::m_maskTexture,
                                                                       kTexturePathFlag, "Textures"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Draw light wireframe", &C::m_drawWireframe));
}

SFXLightElementBase::SFXLightElementBase() : m_range(Envelope::COMBINE_MULTIPLY, Vector(0.5f, 1.0f, 0.0f, 0.0f))
{
    m_passBits = kLightPassBits;
}

SFXLightElementBase::~SFXLightElementBase()
{
    ReleaseMask();
}

void SFXLightElementBase::ReleaseMask()
{
    if (m_maskHandle != nullptr)
        PostTextureDeletionJob(m_maskHandle, false);
    m_maskHandle = nullptr;
    if (m_mask != nullptr)
        m_mask->Release();
    m_mask = nullptr;
}

void SFXLightElementBase::ResolveResources(bool load)
{
    SFXElementDefinition::ResolveResources(load);
    Bind(m_range, STATE_RANGE);
    m_passBits = kLightPassBits;
    ReleaseMask();
    if (gResourceManager == nullptr || m_maskTexture.IsEmpty())
        return;
    m_mask = gResourceManager->GetResource(RESOURCE_TYPE_TEXTURE, m_maskTexture.CStr(), 0, true, 0);
    if (m_mask == nullptr)
        return;
    if (load)
        m_mask->Load(false);
    else
        m_mask->RequestLoad();
    m_maskHandle = static_cast<ResourceTexture*>(m_mask)->GetTextureHolder();
    if (m_maskHandle != nullptr)
        PostResourceAddRefJob(m_maskHandle, false);
}

SFXElementContext* SFXLightElementBase::CreateContext() const
{
    return new SFXLightElementContext;
}

void SFXLightElementBase::Draw(const Matrix& matrix, const Vector& color, SFXElementContext* context,
                               uint32_t passMask, uint32_t extra, uint32_t passFlags) const
{
    (void)matrix, (void)extra, (void)passFlags;
    if (passMask == kLightPassBits && context != nullptr)
        static_cast<SFXLightElementContext*>(context)->SubmitLight(*this, color.w);
}

void SFXLightElementBase::ReleaseResources(uint32_t flag)
{
    (void)flag;
    ReleaseMask();
}

void SFXLightElementBase::SetResourceFlags(uint32_t flags)
{
    if (gResourceManager != nullptr && m_mask != nullptr)
        gResourceManager->SetResourceFlags(m_mask, flags);
}
