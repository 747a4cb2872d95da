// The frame's fake shadow pass: the game thread asks for it once per frame (unless the view draws
// no shadows), and in scene colour modes 1 and 2 the render thread runs it at the start of the next
// gathered pass over the contexts gathered for that pass. The quads land in a quarter-size target
// seen through the camera, white where nothing falls; once the deferred passes have drawn the
// scene, the quads multiply the scene colour by that target through the lightmap composition shader.
#include "renderer/MeshEntityRenderingContext.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/RenderCommandExecutor.h"

#include <vector>

namespace
{
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
    if (Device() != nullptr)
    {
        BindSceneColorTarget();
        m_renderer.GetStateCache().SetFullViewport();
    }
    MeshEntityRenderingContext::ComposeFakeShadows(m_renderer);
}
