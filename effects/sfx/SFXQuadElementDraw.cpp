// The quad element's draw: shader choice, placement (plain or as a lens flare), states, atlas frame
// constants and one fan of two triangles over the renderer's shared unit quad. Render thread.
#include "effects/sfx/SFXQuadElementContext.h"
#include "effects/sfx/SFXQuadElementDefinition.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/PixelShaderObject.h"
#include "renderer/VertexShaderObject.h"
#include "renderer/resources/ResourceShader.h"
#include "renderer/resources/ResourceTexture.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr uint32_t kQuadSamplerFlags = 7;
constexpr uint32_t kFrameScaleRegister = 195;
constexpr uint32_t kFrameRegister = 196;
constexpr uint32_t kQuadStride = 20; // position and one texture coordinate
const gpu::VertexElement kQuadElements[] = {
    {0, 0, gpu::kDeclFloat3, gpu::kDeclMethodDefault, gpu::kDeclUsagePosition, 0},
    {0, 12, gpu::kDeclFloat2, gpu::kDeclMethodDefault, gpu::kDeclUsageTexCoord, 0},
    gpu::kDeclEnd,
};

VertexShaderObject* VertexShaderOf(Resource* resource)
{
    auto* shader = dynamic_cast<ResourceShader*>(resource);
    return shader != nullptr ? shader->GetVertexShader() : nullptr;
}

PixelShaderObject* PixelShaderOf(Resource* resource)
{
    auto* shader = dynamic_cast<ResourceShader*>(resource);
    return shader != nullptr ? shader->GetPixelShader() : nullptr;
}
} // namespace

float SFXQuadElementDefinition::ComputeFlareFade(float distance, float flareDistance)
{
    float fade = 1.0f;
    if (flareDistance > -0.99f && flareDistance <= 1.0f)
    {
        if (distance > 0.6f)
            fade = (1.0f - distance) * 2.5f;
        else if (distance < 0.4f)
            fade = distance + 0.6f;
    }
    else if (distance > 0.9f)
        fade = (1.0f - distance) * 10.0f;
    return std::clamp(fade, 0.0f, 1.0f);
}

bool SFXQuadElementDefinition::PlaceLensFlare(const Matrix& matrix, const Matrix& viewProjection,
                                              uint32_t backBufferWidth, uint32_t backBufferHeight, Matrix& model,
                                              float& fade) const
{
    if (backBufferWidth == 0)
        return false;
    Vector translation;
    Vector rotation;
    Vector scale;
    matrix.Decompose(translation, rotation, scale);
    Vector screen(translation.x, translation.y, translation.z, 1.0f);
    screen.TransformHomogen(viewProjection);
    const float distance = std::max(std::fabs(screen.x), std::fabs(screen.y));
    Vector position = screen;
    if (m_flareDistance > -0.99f && m_flareDistance <= 1.0f)
        position.Set(-screen.x * m_flareDistance, -screen.y * m_flareDistance, -screen.z * m_flareDistance, 1.0f);
    position.z = 0.0f;
    fade = ComputeFlareFade(distance, m_flareDistance);
    // The flare keeps its size in pixels: width in 1/1024 of the screen, height corrected by the
    // aspect ratio in whole numbers, as the sizes were authored.
    const uint32_t aspect = uint32_t((uint64_t(backBufferHeight) * 1024u) / backBufferWidth);
    if (aspect == 0)
        return false;
    Matrix centre;
    centre.LoadTranslation(-0.5f, -0.5f, -0.5f);
    Matrix size;
    size.LoadScale(Vector(scale.x / 1024.0f, scale.y / float(aspect), 0.0f, 1.0f));
    Matrix move;
    move.LoadTranslation(position.x, position.y, position.z);
    model.Mul(size, centre);
    model.Mul(move, model);
    return true;
}

void SFXQuadElementDefinition::Draw(const Matrix& matrix, const Vector& color, SFXElementContext* context,
                                    uint32_t passMask, uint32_t extra, uint32_t passFlags) const
{
    (void)passMask, (void)extra, (void)passFlags;
    NorvexRenderer* const renderer = gRenderer;
    auto* const quad = static_cast<SFXQuadElementContext*>(context);
    if (renderer == nullptr || quad == nullptr)
        return;
    VertexShaderObject* const vertexShader = VertexShaderOf(m_vertexShader);
    PixelShaderObject* pixelShader = PixelShaderOf(m_pixelShader);
    bool refraction = false;
    if (m_refractionPixelShader != nullptr)
    {
        const DeviceParams& params = renderer->GetDeviceParams();
        const bool copyExists =
            renderer->GetDeviceManager().GetRenderTargets().refractionCopy.GetHolder() != nullptr;
        if (copyExists && params.qualityLevel >= m_refractionLevel)
        {
            refraction = true;
            pixelShader = PixelShaderOf(m_refractionPixelShader);
        }
        else if (m_blendingMode == 0)
            return;
    }
    if (vertexShader == nullptr || pixelShader == nullptr)
        return;
    const SharedGeometry::Buffers& unitQuad =
        renderer->GetDeviceManager().GetSharedGeometry().Get(SharedGeometry::MESH_UNIT_QUAD);
    gpu::GpuDevice* const device = renderer->GetDevice();
    if (device == nullptr || unitQuad.vertices == nullptr)
        return;

    // The screen behind the quad is copied first: the refracting quad draws it displaced.
    if (refraction)
        renderer->UpdateRefraction(quad->GetLocalBounds(), matrix);

    Matrix model;
    Vector drawColor = color;
    if (m_lensFlare)
    {
        float fade = 1.0f;
        if (!PlaceLensFlare(matrix, renderer->GetViewProjection(), renderer->GetBackBufferWidth(),
                            renderer->GetBackBufferHeight(), model, fade))
            return;
        drawColor.w *= fade;
    }
    else
    {
        Matrix shift;
        shift.LoadTranslation(-m_uvCenter.x, -m_uvCenter.y, -m_uvCenter.z);
        model.Mul(matrix, shift);
    }

    renderer->SetCullMode(m_twoSided ? gpu::kCullNone : gpu::kCullClockwise);
    renderer->SetDepthState(m_depthRead ? gpu::kCmpLessEqual : gpu::kCmpAlways, false, 0.0f);
    renderer->SetVertexShader(vertexShader);
    renderer->SetPixelShader(pixelShader);
    vertexShader->SetModelMatrix(*renderer, model, !m_lensFlare);
    vertexShader->SetConstantColor(*renderer, drawColor);
    renderer->SetVertexShaderConstants(kFrameScaleRegister, &m_frameScale.x, 1);
    gpu::GpuVertexDeclaration* declaration = renderer->GetVertexDeclaration(kQuadElements, 3);
    device->SetVertexDeclaration(declaration);
    gpu::SafeRelease(declaration);
    device->SetStreamSource(0, unitQuad.vertices, 0, kQuadStride);

    Vector frames(0.0f, 0.0f, 0.0f, 0.0f);
    if (m_frameCount >= 2)
    {
        const uint32_t columns = std::max(m_framesX, 1u);
        const uint32_t frame = quad->GetFrame();
        const uint32_t next = quad->GetNextFrame();
        frames.Set(float(frame % columns) * m_frameScale.x, float(frame / columns) * m_frameScale.y,
                   float(next % columns) * m_frameScale.z, float(next / columns) * m_frameScale.w);
        const Vector blend(quad->GetBlend(), 0.0f, 0.0f, 0.0f);
        renderer->SetPixelShaderConstants(0, &blend.x, 1);
    }
    renderer->SetVertexShaderConstants(kFrameRegister, &frames.x, 1);

    TextureHolder* texture = m_textureHandle;
    if (texture == nullptr && m_texture != nullptr)
        texture = static_cast<ResourceTexture*>(m_texture)->GetTextureHolder();
    renderer->SetTexture(0, texture, kQuadSamplerFlags);
    if (refraction)
    {
        const Vector power(m_refractionPower, m_refractionGranularity, 0.0f, 0.0f);
        renderer->SetPixelShaderConstants(1, &power.x, 1);
        const Vector& row = NorvexRenderer::GetBlendModeFadeVector(m_blendingMode);
        renderer->SetPixelShaderConstants(2, &row.x, 1);
        renderer->SetBlendMode(0);
    }
    else
    {
        renderer->SetBlendMode(m_blendingMode);
        const float reference = std::clamp(m_alphaReference, 0.0f, 1.0f) * 255.0f;
        renderer->SetAlphaTest(m_alphaTestMode, uint32_t(reference));
    }
    renderer->DrawPrimitive(gpu::kPrimitiveTriangleFan, 0, 2);
    device->SetStreamSource(0, nullptr, 0, 0);
}
