// Render thread: the mesh contexts' blob shadows. Each context with a fake shadow definition adds its
// quads to the shared lists in its secondary pass; the pass then draws the ground's cloud shadows
// and both lists into the renderer's quarter-size fake shadow target, which starts white and keeps
// the darkest value. Once the scene is drawn, the same quads, depth-tested against it, multiply the
// scene colour by that target: a caster standing in front of its blob keeps its own colour.
#include "renderer/MeshEntityRenderingContext.h"

#include "platform/gpu/GpuDevice.h"
#include "renderer/FakeShadowProjection.h"
#include "renderer/FakeShadowQuads.h"
#include "renderer/MeshRenderSharedBuffers.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/RenderCommandExecutor.h"
#include "renderer/SceneLighting.h"
#include "renderer/SceneParametersWrapper.h"
#include "renderer/ShaderManager.h"
#include "renderer/VertexShaderObject.h"
#include "renderer/resources/ResourceTexture.h"

namespace
{
// System slots: the fixed shadow shader pair and the shadow sprite texture; the composition pair.
constexpr uint32_t kShadowShaderSlot = 13;
constexpr uint32_t kShadowSpriteSlot = 1;
constexpr uint32_t kShadowCompositionSlot = 14;
// Blend mode 6: the frame times the shader's colour.
constexpr uint32_t kBlendMultiply = 6;
// The composed quads float this far above the ground they lie on, so that the depth test keeps them
// on it without fighting it; what a caster has lower than that takes its blob.
constexpr float kCompositionLift = 0.02f;
// Stencil bit 0 marks the pixels already composed, so that overlapping quads darken a pixel once.
// The normals pass sets it and the lighting reads it, both before this; bits 1 to 4 are the outline
// sides and the forward buckets read bits 5 to 7 afterwards.
// A side bit here would outline every blob as hostile; bit 0 is safe: nothing reads it after this.
constexpr uint32_t kComposedStencilBit = 1;
// Blend mode 8 keeps the smaller of the quad's and the target's value.
constexpr uint32_t kBlendMinimum = 8;
constexpr uint32_t kAllChannels = 15;
constexpr uint32_t kRedChannel = 1;
const Vector kWhite(1.0f, 1.0f, 1.0f, 1.0f);

// Position, then u, v and strength as one three-component texture coordinate.
const gpu::VertexElement kShadowVertex[] = {
    {0, 0, gpu::kDeclFloat3, gpu::kDeclMethodDefault, gpu::kDeclUsagePosition, 0},
    {0, 12, gpu::kDeclFloat3, gpu::kDeclMethodDefault, gpu::kDeclUsageTexCoord, 0},
    gpu::kDeclEnd,
};

TextureHolder* ShadowSprite()
{
    const auto* texture = static_cast<const ResourceTexture*>(gShaderManager.GetSystemTexture(kShadowSpriteSlot).resource);
    return texture != nullptr ? texture->GetTextureHolder() : nullptr;
}

// One list as an indexed triangle list straight from memory.
void DrawList(NorvexRenderer& renderer, uint32_t buffer)
{
    const MeshRenderSharedBuffers& buffers = gMeshRenderSharedBuffers;
    const uint32_t quads = buffers.GetQuadCount(buffer);
    if (quads != 0)
        renderer.DrawIndexedPrimitiveUP(gpu::kPrimitiveTriangleList, 0, quads * 4, quads * 2, buffers.GetIndices(),
                                        gpu::kFormatIndex16, buffers.GetVertices(buffer), sizeof(FakeShadowVertex));
}
} // namespace

void MeshEntityRenderingContext::SecondaryPass(const Matrix&, uint32_t)
{
    if (m_fakeShadow == nullptr)
        return;
    const SceneSunParameters& sun = GetActiveSceneParameters().GetSun();
    FakeShadowQuads::SceneLight light;
    light.direction = sun.lightDirection;
    light.shadowStrength = sun.shadowStrength;
    light.fakeShadowStrength = sun.fakeShadowStrength;
    FakeShadowQuads::Build(*m_fakeShadow, GetGlobal(), m_bones.empty() ? nullptr : m_bones.data(), m_boneCount,
                           m_fakeShadowStrength, light, gMeshRenderSharedBuffers);
}

void MeshEntityRenderingContext::FlushFakeShadows(NorvexRenderer& renderer, const FakeShadowCaster* casters,
                                                  uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        casters[i].context->DrawSecondary(casters[i].passFlags);

    gpu::GpuDevice* const device = renderer.GetDevice();
    const RenderTarget& target = renderer.GetDeviceManager().GetRenderTargets().fakeShadow;
    const ShaderPair& shader = gShaderManager.GetSystemShader(kShadowShaderSlot);
    if (device != nullptr && target.GetSurface() != nullptr)
    {
        gpu::GpuSurface* savedTarget = nullptr;
        gpu::GpuSurface* savedDepth = nullptr;
        device->GetRenderTarget(0, &savedTarget);
        device->GetDepthStencilSurface(&savedDepth);
        const gpu::Viewport savedViewport = renderer.GetViewportState().viewport;
        renderer.SetRenderTargets(&target, nullptr, 2);
        // The quads neither test nor write depth, so the scene's depth stays out of the quarter-size
        // pass: clearing it here would wipe a corner of the frame's depth.
        device->SetDepthStencilSurface(nullptr);
        renderer.ApplyViewport({0, 0, RenderTargetSet::FakeShadowSize(renderer.GetRenderWidth()),
                                RenderTargetSet::FakeShadowSize(renderer.GetRenderHeight()), 0.0f, 1.0f});
        renderer.ClearTargets(gpu::kClearTarget, kWhite, 1.0f, 0);
        renderer.SetBlendMode(kBlendMinimum);
        renderer.SetDepthState(gpu::kCmpAlways, false, 0.0f);
        renderer.SetCullMode(gpu::kCullNone);
        const RenderCommandExecutor& executor = renderer.GetExecutor();
        FakeShadowProjection::Draw(renderer, executor.GetSceneCellGrid().GetBox(), executor.GetFrustumPlanes());

        if (shader.IsValid())
        {
            renderer.SetTexture(0, ShadowSprite(), SAMPLER_CLAMP_U | SAMPLER_CLAMP_V);
            gpu::GpuVertexDeclaration* declaration = renderer.GetVertexDeclaration(kShadowVertex, 3);
            device->SetVertexDeclaration(declaration);
            gpu::SafeRelease(declaration);
            shader.Bind();
            static_cast<const VertexShaderObject*>(shader.m_vertexObject)->SetModelMatrix(renderer, Matrix::ONE, true);
            DrawList(renderer, MeshRenderSharedBuffers::kBufferA);
            renderer.SetColorWriteMask(kRedChannel);
            DrawList(renderer, MeshRenderSharedBuffers::kBufferB);
            renderer.SetColorWriteMask(kAllChannels);
            renderer.SetTexture(0, nullptr, 0);
            renderer.SetTexture(1, nullptr, 0);
        }

        device->SetDepthStencilSurface(savedDepth);
        device->SetRenderTarget(0, savedTarget);
        gpu::SafeRelease(savedDepth);
        gpu::SafeRelease(savedTarget);
        renderer.ApplyViewport(savedViewport);
    }
}

void MeshEntityRenderingContext::ComposeFakeShadows(NorvexRenderer& renderer)
{
    const ShaderPair& shader = gShaderManager.GetSystemShader(kShadowCompositionSlot);
    TextureHolder* const shadows = renderer.GetDeviceManager().GetRenderTargets().fakeShadow.GetHolder();
    gpu::GpuDevice* const device = renderer.GetDevice();
    if (device != nullptr && shader.IsValid() && shadows != nullptr)
    {
        renderer.SetBlendMode(kBlendMultiply);
        renderer.SetDepthState(gpu::kCmpLessEqual, false, 0.0f);
        renderer.SetCullMode(gpu::kCullNone);
        renderer.SetAlphaTest(0, 0);
        renderer.SetTexture(0, shadows, SAMPLER_CLAMP_U | SAMPLER_CLAMP_V);
        gpu::GpuVertexDeclaration* declaration = renderer.GetVertexDeclaration(kShadowVertex, 3);
        device->SetVertexDeclaration(declaration);
        gpu::SafeRelease(declaration);
        shader.Bind();
        Matrix lift = Matrix::ONE;
        lift.rows[3].y = kCompositionLift;
        static_cast<const VertexShaderObject*>(shader.m_vertexObject)->SetModelMatrix(renderer, lift, true);
        // First the mark comes off wherever a quad will compose, deferred pixels included.
        renderer.SetColorWriteMask(0);
        renderer.SetStencilOps(gpu::kStencilZero, gpu::kStencilKeep, gpu::kStencilKeep);
        renderer.SetStencilFunc(gpu::kCmpAlways, 0, 0, kComposedStencilBit);
        DrawList(renderer, MeshRenderSharedBuffers::kBufferA);
        DrawList(renderer, MeshRenderSharedBuffers::kBufferB);
        renderer.SetColorWriteMask(kAllChannels);
        renderer.SetStencilOps(gpu::kStencilReplace, gpu::kStencilKeep, gpu::kStencilKeep);
        renderer.SetStencilFunc(gpu::kCmpNotEqual, kComposedStencilBit, kComposedStencilBit, kComposedStencilBit);
        DrawList(renderer, MeshRenderSharedBuffers::kBufferA);
        DrawList(renderer, MeshRenderSharedBuffers::kBufferB);
        renderer.DisableStencil();
        renderer.SetTexture(0, nullptr, 0);
    }
    gMeshRenderSharedBuffers.Clear();
}
