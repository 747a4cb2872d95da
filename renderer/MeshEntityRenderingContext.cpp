#include "renderer/MeshEntityRenderingContext.h"

#include "core/console/GameConsole.h"
#include "core/threads/CommandRingBuffer.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/RenderCommands.h"


namespace rp = renderpayload;

namespace
{
// Lightmap mapping as posted: the UV multiply-add vector and the lightmap id.
constexpr uint32_t kLightmapBytes = rp::kVector + rp::kU32;
} // namespace

MeshEntityRenderingContext::MeshEntityRenderingContext(NorvexRenderer& renderer, Entity*, uint32_t flags,
                                                       const MeshTemplateRenderingData* data,
                                                       uint32_t shaderPresetIndex, const Vector& color)
    : EntityRenderingContext(renderer, flags), m_data(data), m_presetIndex(shaderPresetIndex)
{
    SetGridWord(1);
    // Render byte E of the mesh data makes the mesh a shadow caster.
    SetContextFlag(kFlagCastsShadows, data != nullptr && data->GetRenderByte(4) != 0);
    SetColorMultiplier(color);
}

void MeshEntityRenderingContext::SetShaderPresetIndex(uint8_t index)
{
    if (BeginCall(SUB_SHADER_PRESET, rp::kU8))
        m_renderer.GetWriter().Put(index);
}

void MeshEntityRenderingContext::SetFakeShadowStrength(float strength)
{
    if (BeginCall(SUB_FAKE_SHADOW_STRENGTH, rp::kFloat))
        m_renderer.GetWriter().Put(strength);
}

void MeshEntityRenderingContext::SetOutlineState(int32_t state)
{
    if (BeginCall(SUB_OUTLINE_STATE, rp::kU32))
        m_renderer.GetWriter().Put(state);
}

void MeshEntityRenderingContext::SetLightmapMapping(const LightmapMapping& mapping)
{
    if (!BeginCall(SUB_LIGHTMAP_MAPPING, kLightmapBytes))
        return;
    m_renderer.GetWriter().Put(mapping.m_uvMulAdd);
    m_renderer.GetWriter().Put(mapping.m_lightmapId);
}

void MeshEntityRenderingContext::SetFakeShadowDefinition(const MeshFakeShadowDefinition* definition)
{
    if (BeginCall(SUB_FAKE_SHADOW_DEFINITION, rp::kPointer))
        m_renderer.GetWriter().Put(definition);
}

bool MeshEntityRenderingContext::SetBoneMatrices(uint32_t count, const float* matrices)
{
    const uint64_t bytes = uint64_t(count) * kBoneMatrixBytes;
    // A count whose matrices cannot be one command is refused before anything is written.
    if (bytes + rp::kU32 + rp::kPointer > UINT32_MAX || (count != 0 && matrices == nullptr) ||
        !BeginCall(SUB_BONE_MATRICES, rp::kU32 + uint32_t(bytes)))
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "MeshEntityRenderingContext: %u bone matrices do not fit a command",
                       count);
        return false;
    }
    m_renderer.GetWriter().Put(count);
    m_renderer.GetWriter().Write(matrices, uint32_t(bytes));
    return true;
}

bool MeshEntityRenderingContext::ExecuteKindCommand(uint32_t subCommand, CommandRingBuffer& reader)
{
    switch (subCommand)
    {
    case SUB_SHADER_PRESET:
    {
        uint8_t index = 0;
        if (reader.Read(&index, rp::kU8))
            m_presetIndex = index;
        return true;
    }
    case SUB_FAKE_SHADOW_STRENGTH:
        reader.Read(&m_fakeShadowStrength, rp::kFloat);
        return true;
    case SUB_OUTLINE_STATE:
    {
        int32_t state = 0;
        if (reader.Read(&state, rp::kU32))
            m_outlineState = uint8_t(state);
        return true;
    }
    case SUB_LIGHTMAP_MAPPING:
        if (reader.Read(&m_lightmap.m_uvMulAdd, rp::kVector))
            reader.Read(&m_lightmap.m_lightmapId, rp::kU32);
        return true;
    case SUB_FAKE_SHADOW_DEFINITION:
        reader.Read(&m_fakeShadow, rp::kPointer);
        return true;
    case SUB_BONE_MATRICES:
    {
        uint32_t count = 0;
        if (!reader.Read(&count, rp::kU32))
            return true;
        std::vector<float> bones(size_t(count) * (kBoneMatrixBytes / sizeof(float)));
        if (reader.Read(bones.data(), count * kBoneMatrixBytes))
        {
            m_bones.swap(bones);
            m_boneCount = count;
        }
        return true;
    }
    default:
        return false;
    }
}

void MeshEntityRenderingContext::Draw(const Matrix& world, uint32_t passFlags, const Vector& color)
{
    DrawPass(world, passFlags, color, int32_t(kForwardPass), 0);
}

void MeshEntityRenderingContext::DrawPass(const Matrix& world, uint32_t, const Vector& color, int32_t passA,
                                          uint32_t passB)
{
    if (m_data == nullptr || IsFlagged())
        return;
    const Vector& multiplier = GetColorMultiplier();
    const Vector tinted(color.x * multiplier.x, color.y * multiplier.y, color.z * multiplier.z, color.w * multiplier.w);
    m_data->Draw(world, GetGlobal(), GetLocalBounds(), tinted, GetScaleFactor(), IsMirrored() ? 1 : 0, m_outlineState,
                 m_presetIndex, Pose(), &m_lightmap, nullptr, passA, passB, 0, 0.0f);
}

void MeshEntityRenderingContext::DrawDepth(uint8_t mirrorToggle, uint32_t)
{
    if (m_data == nullptr || IsFlagged())
        return;
    m_data->DrawDepth(GetDrawMatrix(), uint8_t((IsMirrored() ? 1 : 0) ^ mirrorToggle), m_presetIndex, Pose(), false);
}

const float* MeshEntityRenderingContext::Pose() const
{
    // Skinned meshes draw with their pose; a pose that does not cover the mesh's bones is not used.
    return m_boneCount != 0 && m_boneCount >= m_data->GetSkinningBoneCount() ? m_bones.data() : nullptr;
}
