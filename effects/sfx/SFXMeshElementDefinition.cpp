#include "effects/sfx/SFXMeshElementDefinition.h"

#include "effects/sfx/SFXElementKinds.h"
#include "effects/sfx/SFXMeshElementContext.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "scene/kinds/MeshTemplate.h"

#include <algorithm>

namespace
{
constexpr uint32_t kMeshTemplateReferenceFlag = 4096;

// A matrix with a negative determinant turns the mesh inside out: its draws swap the cull.
uint8_t IsMirroring(const Matrix& matrix)
{
    const Vector& x = matrix.rows[0];
    const Vector& y = matrix.rows[1];
    const Vector& z = matrix.rows[2];
    const float determinant =
        x.x * (y.y * z.z - y.z * z.y) - x.y * (y.x * z.z - y.z * z.x) + x.z * (y.x * z.y - y.y * z.x);
    return determinant < 0.0f ? 1 : 0;
}

const MeshTemplateRenderingData* RenderingData(const SFXElementContext* context)
{
    const auto* const mesh = static_cast<const SFXMeshElementContext*>(context);
    return mesh != nullptr ? mesh->GetRenderingData() : nullptr;
}
} // namespace

RTTI_DEFINE_CLASS(SFXMeshElementDefinition, SFXElementDefinition)

void SFXMeshElementDefinition::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = SFXMeshElementDefinition;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, SimpleGUID>("Mesh template", &C::m_meshTemplateGUID,
                                                                       kMeshTemplateReferenceFlag));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Shader preset", &C::m_shaderPreset));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Animation", &C::m_animation));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Preset", &C::m_preset));
    table.AddProperty(
        new RTTIEmbeddedObjectProperty<C, TEnvelope<Vector>>("AnimationProgress", &C::m_animationProgress));
}

SFXMeshElementDefinition::SFXMeshElementDefinition()
    : m_animationProgress(Envelope::COMBINE_MULTIPLY, Vector(0.0f, 0.0f, 0.0f, 0.0f)), m_box(BoundingBox4::INVALID)
{
}

SFXMeshElementDefinition::~SFXMeshElementDefinition()
{
    ReleaseSFXElementTemplate(m_template);
}

EntityTemplate* SFXMeshElementDefinition::GetResource() const
{
    return m_template;
}

MeshTemplate* SFXMeshElementDefinition::GetMeshTemplate() const
{
    return static_cast<MeshTemplate*>(m_template);
}

const MeshTemplate* SFXMeshElementDefinition::WaitForMeshTemplate() const
{
    return static_cast<const MeshTemplate*>(WaitForSFXElementTemplate(m_template));
}

void SFXMeshElementDefinition::ResolveResources(bool load)
{
    SFXElementDefinition::ResolveResources(load);
    Bind(m_animationProgress, STATE_PROGRESS);
    TakeSFXElementTemplate(m_template, m_meshTemplateGUID, load, MeshTemplate::kTypeId,
                           "Template %s is not mesh while used as such in SFX definition");
    m_templatePending = IsSFXElementTemplatePending(m_template);
    if (!load)
        RequestSFXElementTemplate(m_template);
    TakeMesh();
}

void SFXMeshElementDefinition::TakeLoadedTemplate()
{
    WaitForSFXElementTemplate(m_template);
    TakeMesh();
    m_templatePending = false;
}

bool SFXMeshElementDefinition::HasTemplateArrived() const
{
    return !IsSFXElementTemplatePending(m_template);
}

void SFXMeshElementDefinition::TakeArrivedTemplate(SFXElementDrawData& drawn)
{
    FillMeshData(drawn);
    m_templatePending = false;
}

void SFXMeshElementDefinition::RefreshResource()
{
    // An edited template keeps the element's preset: only its box and passes are read again.
    SFXElementDrawData drawn;
    FillMeshData(drawn);
    drawn.presetIndex = m_presetIndex;
    InstallDrawData(drawn);
}

void SFXMeshElementDefinition::TakeMesh()
{
    SFXElementDrawData drawn;
    FillMeshData(drawn);
    InstallDrawData(drawn);
}

void SFXMeshElementDefinition::FillMeshData(SFXElementDrawData& drawn) const
{
    // A body still loading is being written: its defaults stand until it is in.
    const MeshTemplate* const mesh = IsSFXElementTemplatePending(m_template) ? nullptr : GetMeshTemplate();
    drawn.presetIndex = mesh != nullptr ? uint32_t(std::max(mesh->GetShaderPresetIndex(m_shaderPreset), 0)) : 0u;
    drawn.box = mesh != nullptr ? mesh->GetStaticBoundingBox() : BoundingBox4::INVALID;
    const SFXMeshPassBits bits = GetSFXMeshPassBits(mesh != nullptr ? mesh->GetRenderingData() : nullptr);
    drawn.passBits = bits.passBits;
    drawn.depthPass = bits.depthPass;
    drawn.flag32 = bits.flag32;
}

void SFXMeshElementDefinition::InstallDrawData(const SFXElementDrawData& drawn)
{
    SFXElementDefinition::InstallDrawData(drawn);
    m_box = drawn.box;
    m_presetIndex = drawn.presetIndex;
}

SFXElementContext* SFXMeshElementDefinition::CreateContext() const
{
    return new SFXMeshElementContext;
}

void SFXMeshElementDefinition::Draw(const Matrix& matrix, const Vector& color, SFXElementContext* context,
                                    uint32_t passMask, uint32_t extra, uint32_t passFlags) const
{
    (void)passFlags;
    const MeshTemplateRenderingData* const data = RenderingData(context);
    if (data == nullptr)
        return;
    const auto* const mesh = static_cast<const SFXMeshElementContext*>(context);
    data->Draw(matrix, matrix, m_box, color, 1.0f, IsMirroring(matrix), 0, m_presetIndex, mesh->GetBones(), nullptr,
               nullptr, int32_t(passMask), extra, 0, mesh->GetRandomPhase());
}

void SFXMeshElementDefinition::DrawDepth(const Matrix& matrix, SFXElementContext* context) const
{
    if (const MeshTemplateRenderingData* const data = RenderingData(context))
        data->DrawDepth(matrix, IsMirroring(matrix), m_presetIndex,
                        static_cast<const SFXMeshElementContext*>(context)->GetBones(), false);
}

bool SFXMeshElementDefinition::DrawChannel(const Matrix& matrix, SFXElementContext* context) const
{
    const MeshTemplateRenderingData* const data = RenderingData(context);
    return data != nullptr && data->DrawChannel(matrix, IsMirroring(matrix), m_presetIndex,
                                                static_cast<const SFXMeshElementContext*>(context)->GetBones());
}

uint32_t SFXMeshElementDefinition::GetChannelMask(const SFXElementContext* context) const
{
    (void)context;
    const MeshTemplate* const mesh = GetMeshTemplate();
    const MeshTemplateRenderingData* const data = mesh != nullptr ? mesh->GetRenderingData() : nullptr;
    return data != nullptr ? data->GetPresetValue(m_presetIndex) : 0u;
}

void SFXMeshElementDefinition::ReleaseResources(uint32_t flag)
{
    (void)flag;
    ReleaseSFXElementTemplate(m_template);
}

void SFXMeshElementDefinition::SetResourceFlags(uint32_t flags)
{
    if (m_template != nullptr)
        m_template->SetResourceFlags(flags);
}
