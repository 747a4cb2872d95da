// The executor's mesh opcodes: direct mesh draws (66 to 69) and the gathered meshes of opcode 49.
// Render thread only.
#include "renderer/RenderCommandExecutor.h"

#include "core/console/GameConsole.h"
#include "renderer/EntityRenderingContext.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/RenderCommands.h"

namespace rp = renderpayload;

namespace
{
// The lit pass that draws every material kind with its forward or deferred pair.
constexpr int32_t kForwardPass = 16;
} // namespace

bool RenderCommandExecutor::ReadBoneArray(std::vector<float>& bones)
{
    const uint32_t count = Get<uint32_t>();
    if (!m_readOk)
        return false;
    if (uint64_t(count) * rp::kBoneMatrix + 16 > m_ring.GetReadLeft())
    {
        m_readOk = false;
        return false;
    }
    const uint32_t pad = m_ring.AlignRead16();
    bones.resize(size_t(count) * (rp::kBoneMatrix / sizeof(float)));
    if (!m_ring.Read(bones.data(), count * rp::kBoneMatrix))
    {
        m_readOk = false;
        return false;
    }
    SkipPayload(16 - pad);
    return true;
}

void RenderCommandExecutor::OpDrawMesh(uint32_t opcode)
{
    const MeshTemplateRenderingData* const data = GetPointer<const MeshTemplateRenderingData>();
    const Matrix world = Get<Matrix>();
    const Matrix global = Get<Matrix>();
    const BoundingBox4 box = Get<BoundingBox4>();
    const Vector color = Get<Vector>();
    const uint32_t preset = Get<uint32_t>();
    const uint8_t mirrored = Get<uint8_t>();
    std::vector<float> bones;
    if (opcode == RENDER_OP_DRAW_MESH_SKINNED && !ReadBoneArray(bones))
        return;
    if (!m_readOk || data == nullptr || Device() == nullptr)
        return;
    // A pose that does not cover the mesh's bones is not handed on: the draw would read past it.
    const bool posed = !bones.empty() && bones.size() / 12 >= data->GetSkinningBoneCount();
    data->Draw(world, global, box, color, 1.0f, mirrored, 0, preset, posed ? bones.data() : nullptr, nullptr, nullptr,
               kForwardPass, 0, 0, 0.0f);
}

void RenderCommandExecutor::OpDrawMeshTemplate(uint32_t opcode)
{
    const MeshTemplateRenderingData* const data = GetPointer<const MeshTemplateRenderingData>();
    MeshGatherRecord record;
    record.world = Get<Matrix>();
    record.color = Get<Vector>();
    std::vector<float> bones;
    if (opcode == RENDER_OP_DRAW_MESH_TEMPLATE_SKINNED && !ReadBoneArray(bones))
        return;
    if (!m_readOk || data == nullptr || !data->IsReady() || Device() == nullptr)
        return;
    record.data = data;
    data->DrawEdgeLines(record, bones.empty() ? nullptr : bones.data());
}

void RenderCommandExecutor::OpRenderGathered(uint32_t)
{
    const Vector color = Get<Vector>();
    const uint32_t passFlags = Get<uint32_t>();
    const uint8_t clear = Get<uint8_t>();
    (void)color;
    (void)clear;
    if (!m_readOk)
        return;
    if (Device() != nullptr)
    {
        // The gathered mesh list drawn front to back in one forward pass, in gathered runs.
        MeshTemplateRenderingData::BeginGather(kForwardPass, 0);
        for (const GatheredTask& task : m_gathered)
            task.context->Draw(task.context->GetWorld(), task.passFlags, Vector(1.0f, 1.0f, 1.0f, 1.0f));
        MeshTemplateRenderingData::FlushGathered();
    }
    m_gathering = false;
    if (!m_notBuiltReported[RENDER_OP_RENDER_GATHERED])
    {
        m_notBuiltReported[RENDER_OP_RENDER_GATHERED] = true;
        gConsole.Warning(CONSOLE_CHANNEL_RENDER,
                         "Gathered scene rendering draws the gathered meshes in one forward pass; its deferred "
                         "passes, outline masks and forward buckets are not built yet (pass flags %u)",
                         passFlags);
    }
}
