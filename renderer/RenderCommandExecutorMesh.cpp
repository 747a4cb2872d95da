// The executor's mesh opcodes: direct mesh draws (66 to 69).
// Render thread only.
#include "renderer/RenderCommandExecutor.h"

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
