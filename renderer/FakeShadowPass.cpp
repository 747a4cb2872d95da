// The frame's fake shadow pass: the game thread asks for it once per frame (unless the view draws
// no shadows), and in scene colour modes 1 and 2 the render thread runs it at the start of the next
// gathered pass over the contexts gathered for that pass. The quads land in a quarter-size target
// seen through the camera, white where nothing falls; once the deferred passes have drawn the
// scene, that target multiplies the scene colour through the lightmap composition shader.
#include "platform/gpu/GpuDevice.h"
#include "renderer/MeshEntityRenderingContext.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/RenderCommandExecutor.h"
#include "renderer/ShaderManager.h"
#include "renderer/VertexShaderObject.h"

#include <vector>

namespace
{
// System slot of the composition shader ("iPhoneLightmapComposition").
constexpr uint32_t kFakeShadowCompositionSlot = 14;
// Blend mode 6: the frame times the shader's colour.
constexpr uint32_t kFakeShadowMultiplyBlend = 6;
void RequestFakeShadowsCall(NorvexRenderer& renderer, uint32_t, CommandRingBuffer&)
{
    renderer.GetExecutor().RequestFakeShadows();
}
} // namespace

void NorvexRenderer::SubmitFakeShadows()
{
    WriteCall(&RequestFakeShadowsCall, 0, 0);
}

void RenderCommandExecutor::RenderFakeShadows()
{
    // A context can be in both the gathered mesh list and the task records: it casts one shadow.
    ++m_shadowVisit;
    std::vector<MeshEntityRenderingContext::FakeShadowCaster> casters;
    casters.reserve(m_gathered.size() + m_taskRecords.GetCount());
    for (const GatheredTask& task : m_gathered)
        if (task.context->MarkVisited(m_shadowVisit))
            casters.push_back({task.context, task.passFlags});
    for (uint32_t i = 0; i < m_taskRecords.GetCount(); ++i)
    {
        const RenderTaskRecord& record = m_taskRecords.GetRecord(i);
        if (record.context != nullptr && record.context->MarkVisited(m_shadowVisit))
            casters.push_back({record.context, record.passFlags});
    }
    MeshEntityRenderingContext::FlushFakeShadows(m_renderer, casters.data(), uint32_t(casters.size()));
}

void RenderCommandExecutor::ComposeFakeShadows()
{
    const ShaderPair& pair = gShaderManager.GetSystemShader(kFakeShadowCompositionSlot);
    TextureHolder* const shadows = m_renderer.GetDeviceManager().GetRenderTargets().fakeShadow.GetHolder();
    if (Device() == nullptr || !pair.IsValid() || shadows == nullptr || !m_renderer.BindScreenQuad())
        return;
    RenderStateCache& state = m_renderer.GetStateCache();
    BindSceneColorTarget();
    state.SetFullViewport();
    state.SetBlendMode(kFakeShadowMultiplyBlend);
    state.SetDepthState(gpu::kCmpAlways, false, 0.0f);
    state.SetCullMode(gpu::kCullNone);
    state.SetAlphaTest(0, 0);
    state.DisableStencil();
    state.SetTexture(0, shadows, SAMPLER_CLAMP_U | SAMPLER_CLAMP_V);
    pair.Bind();
    // The quad is already in clip space.
    static_cast<const VertexShaderObject*>(pair.m_vertexObject)->SetModelMatrix(m_renderer, Matrix::ONE, false);
    state.DrawPrimitive(gpu::kPrimitiveTriangleFan, 0, 2);
    state.SetTexture(0, nullptr, 0);
    Device()->SetStreamSource(0, nullptr, 0, 0);
}
