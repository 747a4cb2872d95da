#include "effects/sfx/SFXQuadElementDefinition.h"

#include "core/console/GameConsole.h"
#include "effects/sfx/SFXQuadElementContext.h"
#include "renderer/ShaderManager.h"
#include "renderer/jobs/RendererJobs.h"
#include "renderer/resources/Resource.h"
#include "renderer/resources/ResourceManager.h"
#include "renderer/resources/ResourceTexture.h"

#include <algorithm>
#include <string>

namespace
{
constexpr uint32_t kTexturePathFlag = 2048;
const char* const kBlendingNames[] = {"None",     "Alpha",    "Add",          "Add+Alpha", "Inv alpha",
                                      "Subtract", "Modulate", "Modulate inv", "Min",       nullptr};
const char* const kAlphaTestNames[] = {"None", "Greater", "Less", nullptr};
const char* const kRefractionLevelNames[] = {"Ultra low", "Low", "Medium", "High", "Very high", nullptr};
} // namespace

RTTI_DEFINE_CLASS(SFXQuadElementDefinition, SFXElementDefinition)

void SFXQuadElementDefinition::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = SFXQuadElementDefinition;
    auto enumeration = [&table](const char* name, uint32_t C::*member, const char* const* names) {
        table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>(name, member, RTTI_PROPERTY_ENUMERATION))
            ->SetEnumerationNames(names);
    };
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Texture file name", &C::m_textureFileName,
                                                                       kTexturePathFlag, "Textures"));
    table.AddProperty(
        new RTTISGProperty<C, uint32_t>("Texture frames X", &C::SetTextureFramesX, &C::GetFramesXAddress));
    table.AddProperty(
        new RTTISGProperty<C, uint32_t>("Texture frames Y", &C::SetTextureFramesY, &C::GetFramesYAddress));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Random frame timeout", &C::m_randomFrameTimeout));
    table.AddProperty(new RTTIEmbeddedObjectProperty<C, TEnvelope<Vector>>("Frame animation curve", &C::m_frameCurve));
    enumeration("Blending mode", &C::m_blendingMode, kBlendingNames);
    enumeration("Alpha test mode", &C::m_alphaTestMode, kAlphaTestNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Alpha reference value", &C::m_alphaReference));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Refraction power", &C::m_refractionPower));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, float>("Refraction granularity", &C::m_refractionGranularity));
    enumeration("Refraction level", &C::m_refractionLevel, kRefractionLevelNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("UV center", &C::m_uvCenter));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Softness", &C::m_softness));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("2-sided", &C::m_twoSided));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Depth read", &C::m_depthRead));
    table.AddProperty(new RTTIPropertyGroup("Lens flare"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Render as lens flare", &C::m_lensFlare));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Flare distance", &C::m_flareDistance));
}

SFXQuadElementDefinition::SFXQuadElementDefinition()
    : m_textureFileName("SFX/glow.dds"), m_frameCurve(Envelope::COMBINE_KEYS, Vector(0.0f, 0.0f, 0.0f, 0.0f)),
      m_uvCenter(0.5f, 0.5f, 0.0f, 0.0f)
{
    UpdateFrameScale();
}

SFXQuadElementDefinition::~SFXQuadElementDefinition()
{
    ReleaseTexture();
    ReleaseShaders();
}

void SFXQuadElementDefinition::SetTextureFramesX(const uint32_t& frames)
{
    m_framesX = frames;
    UpdateFrameScale();
}

void SFXQuadElementDefinition::SetTextureFramesY(const uint32_t& frames)
{
    m_framesY = frames;
    UpdateFrameScale();
}

void SFXQuadElementDefinition::UpdateFrameScale()
{
    // A stored zero would divide by zero: such an atlas counts as one column or row.
    const float x = m_framesX > 0 ? 1.0f / float(m_framesX) : 1.0f;
    const float y = m_framesY > 0 ? 1.0f / float(m_framesY) : 1.0f;
    m_frameScale.Set(x, y, x, y);
    const uint64_t count = uint64_t(m_framesX) * m_framesY;
    m_frameCount = count > 1 ? uint32_t(std::min<uint64_t>(count, UINT32_MAX)) : 1u;
}

void SFXQuadElementDefinition::ReleaseTexture()
{
    if (m_textureHandle != nullptr)
        PostTextureDeletionJob(m_textureHandle, false);
    m_textureHandle = nullptr;
    if (m_texture != nullptr)
        m_texture->Release();
    m_texture = nullptr;
}

void SFXQuadElementDefinition::ReleaseShaders()
{
    for (Resource** shader : {&m_vertexShader, &m_pixelShader, &m_refractionPixelShader})
    {
        if (*shader != nullptr)
            (*shader)->Release();
        *shader = nullptr;
    }
}

void SFXQuadElementDefinition::ResolveResources(bool load)
{
    SFXElementDefinition::ResolveResources(load);
    Bind(m_frameCurve, STATE_FRAME_CURVE);

    ReleaseTexture();
    if (gResourceManager != nullptr && !m_textureFileName.IsEmpty())
        m_texture = gResourceManager->GetResource(RESOURCE_TYPE_TEXTURE, m_textureFileName.CStr(), 0, true, 0);
    if (m_texture != nullptr)
    {
        if (load)
            m_texture->Load(false);
        else
            m_texture->RequestLoad();
        m_textureHandle = static_cast<ResourceTexture*>(m_texture)->GetTextureHolder();
        if (m_textureHandle != nullptr)
            PostResourceAddRefJob(m_textureHandle, false);
    }

    ReleaseShaders();
    if (!gShaderManager.IsInitialised())
        return;
    // The quad's colour (its envelope, the effect's colour and a lens flare's fade) reaches the
    // picture through the constant colour, which the shader applies only with this option.
    std::string options = "DENORMALIZATION TEXTURE ";
    if (m_softness)
        options += "SOFTNESS ";
    if (m_frameCount > 1)
        options += "TEXTURE_ANIMATION ";
    const uint8_t loadMode = load ? 0 : 1;
    gShaderManager.GetShader("FixedPipelineReplacement", options.c_str(), &m_vertexShader, &m_pixelShader, loadMode,
                             false, 0);
    if (m_refractionPower <= 0.0f)
        return;
    options += "REFRACTION ";
    Resource* refractionVertexShader = nullptr;
    if (!gShaderManager.GetShader("FixedPipelineReplacement", options.c_str(), &refractionVertexShader,
                                  &m_refractionPixelShader, loadMode, false, 0))
        return;
    if (refractionVertexShader != m_vertexShader)
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER,
                       "Refraction option in FixedPipelineReplacement affects vertex shader. It's supposed not to! "
                       "Please report this incident to the shader's author.");
        m_refractionPixelShader->Release();
        m_refractionPixelShader = nullptr;
    }
    if (refractionVertexShader != nullptr)
        refractionVertexShader->Release();
}

SFXElementContext* SFXQuadElementDefinition::CreateContext() const
{
    return new SFXQuadElementContext;
}

void SFXQuadElementDefinition::ReleaseResources(uint32_t flag)
{
    (void)flag;
    ReleaseTexture();
    ReleaseShaders();
}

void SFXQuadElementDefinition::SetResourceFlags(uint32_t flags)
{
    if (gResourceManager == nullptr)
        return;
    for (Resource* resource : {m_texture, m_vertexShader, m_pixelShader, m_refractionPixelShader})
        if (resource != nullptr)
            gResourceManager->SetResourceFlags(resource, flags);
}
