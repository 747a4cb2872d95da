#include "renderer/MeshEntityRenderingContext.h"

#include "core/console/GameConsole.h"
#include "core/math/RandomGenerator.h"
#include "core/threads/CommandRingBuffer.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/RenderCommands.h"

namespace rp = renderpayload;

namespace
{
// Lightmap mapping as posted: the UV multiply-add vector and the lightmap id.
constexpr uint32_t kLightmapBytes = rp::kVector + rp::kU32;
// Render bytes E, F and G of the rendering data.
constexpr uint32_t kRenderByteE = 4;
constexpr uint32_t kRenderByteF = 5;
constexpr uint32_t kRenderByteG = 6;
} // namespace

MeshEntityRenderingContext::MeshEntityRenderingContext(NorvexRenderer& renderer, const MeshTemplateRenderingData* data,
                                                       uint32_t shaderPresetIndex, const Vector& color,
                                                       const LightmapMapping& lightmap)
    : EntityRenderingContext(renderer, 0u), m_presetIndex(shaderPresetIndex),
      m_random(float(gRandomGenerators[0].NextLinear()) * (1.0f / 65536.0f))
{
    m_lightmap.m_uvMulAdd = lightmap.m_uvMulAdd;
    m_lightmap.m_lightmapId = lightmap.m_lightmapId;
    SetGridWord(1);
    SetColorMultiplier(color);
    // The link to the shared data is made on the render thread, which alone may touch its pointer list.
    if (data != nullptr && BeginMeshCall(SUB_RENDERING_DATA, rp::kPointer))
        m_renderer.GetWriter().Put(data);
}

bool MeshEntityRenderingContext::BeginMeshCall(uint32_t subCommand, uint32_t argumentBytes)
{
    if (!m_renderer.WriteCall(&MeshEntityRenderingContext::Execute, subCommand, rp::kPointer + argumentBytes))
        return false;
    m_renderer.GetWriter().Put(this);
    return true;
}

void MeshEntityRenderingContext::SetShaderPresetIndex(uint32_t index)
{
    if (BeginMeshCall(SUB_SHADER_PRESET, rp::kU32))
        m_renderer.GetWriter().Put(index);
}

const uint32_t MeshEntityRenderingContext::kBonesPerCommand =
    (kMaxRenderPayloadBytes - rp::kCallHeader - rp::kPointer - 3 * rp::kU32) / kBoneMatrixBytes;

bool MeshEntityRenderingContext::SetBoneMatrices(uint32_t count, const float* matrices)
{
    if (count != 0 && matrices == nullptr)
        return false;
    RenderCommandWriter& writer = m_renderer.GetWriter();
    if (count <= kBonesPerCommand)
    {
        if (!BeginMeshCall(SUB_BONE_MATRICES, rp::kU32 + count * kBoneMatrixBytes))
            return false;
        writer.Put(count);
        writer.Write(matrices, count * kBoneMatrixBytes);
        return true;
    }
    // A pose larger than a command block is split rather than refused, so big skeletons still pose.
    for (uint32_t first = 0; first < count; first += kBonesPerCommand)
    {
        const uint32_t pieces = count - first < kBonesPerCommand ? count - first : kBonesPerCommand;
        if (!BeginMeshCall(SUB_BONE_MATRIX_RANGE, 3 * rp::kU32 + pieces * kBoneMatrixBytes))
        {
            gConsole.Error(CONSOLE_CHANNEL_RENDER, "MeshEntityRenderingContext: %u bone matrices could not be posted",
                           count);
            return false;
        }
        writer.Put(count);
        writer.Put(first);
        writer.Put(pieces);
        writer.Write(matrices + size_t(first) * (kBoneMatrixBytes / sizeof(float)), pieces * kBoneMatrixBytes);
    }
    return true;
}

void MeshEntityRenderingContext::SetLightmapMapping(const LightmapMapping& mapping)
{
    if (!BeginMeshCall(SUB_LIGHTMAP_MAPPING, kLightmapBytes))
        return;
    m_renderer.GetWriter().Put(mapping.m_uvMulAdd);
    m_renderer.GetWriter().Put(mapping.m_lightmapId);
}

void MeshEntityRenderingContext::SetOutlineState(uint8_t state)
{
    if (BeginMeshCall(SUB_OUTLINE_STATE, rp::kU8))
        m_renderer.GetWriter().Put(state);
}

void MeshEntityRenderingContext::SetFakeShadowDefinition(const MeshFakeShadowDefinition* definition)
{
    if (BeginMeshCall(SUB_FAKE_SHADOW_DEFINITION, rp::kPointer))
        m_renderer.GetWriter().Put(definition);
}

void MeshEntityRenderingContext::SetFakeShadowStrength(float strength)
{
    if (BeginMeshCall(SUB_FAKE_SHADOW_STRENGTH, rp::kFloat))
        m_renderer.GetWriter().Put(strength);
}

void MeshEntityRenderingContext::Execute(NorvexRenderer&, uint32_t subCommand, CommandRingBuffer& reader)
{
    MeshEntityRenderingContext* context = nullptr;
    if (reader.Read(&context, sizeof(context)) && context != nullptr)
        context->ExecuteMeshCommand(subCommand, reader);
}

void MeshEntityRenderingContext::ExecuteMeshCommand(uint32_t subCommand, CommandRingBuffer& reader)
{
    switch (subCommand)
    {
    case SUB_RENDERING_DATA:
    {
        MeshTemplateRenderingData* data = nullptr;
        if (reader.Read(&data, rp::kPointer))
            SetRenderingData(data);
        return;
    }
    case SUB_SHADER_PRESET:
        reader.Read(&m_presetIndex, rp::kU32);
        return;
    case SUB_BONE_MATRICES:
    {
        uint32_t count = 0;
        if (reader.Read(&count, rp::kU32))
            ReadBones(reader, count, 0, count);
        return;
    }
    case SUB_BONE_MATRIX_RANGE:
    {
        uint32_t header[3] = {};
        if (reader.Read(header, 3 * rp::kU32))
            ReadBones(reader, header[0], header[1], header[2]);
        return;
    }
    case SUB_LIGHTMAP_MAPPING:
        if (reader.Read(&m_lightmap.m_uvMulAdd, rp::kVector))
            reader.Read(&m_lightmap.m_lightmapId, rp::kU32);
        return;
    case SUB_OUTLINE_STATE:
        reader.Read(&m_outlineState, rp::kU8);
        return;
    case SUB_FAKE_SHADOW_DEFINITION:
        reader.Read(&m_fakeShadow, rp::kPointer);
        return;
    case SUB_FAKE_SHADOW_STRENGTH:
        reader.Read(&m_fakeShadowStrength, rp::kFloat);
        return;
    default:
        return;
    }
}

void MeshEntityRenderingContext::ReadBones(CommandRingBuffer& reader, uint32_t count, uint32_t first,
                                           uint32_t pieces)
{
    // The same count keeps the array: a posed mesh sends its bones every frame.
    if (count != m_boneCount)
    {
        m_bones.assign(size_t(count) * (kBoneMatrixBytes / sizeof(float)), 0.0f);
        m_boneCount = count;
    }
    if (first <= count && pieces <= count - first &&
        reader.Read(m_bones.data() + size_t(first) * (kBoneMatrixBytes / sizeof(float)), pieces * kBoneMatrixBytes))
        return;
    m_bones.clear();
    m_boneCount = 0;
}

void MeshEntityRenderingContext::SetRenderingData(MeshTemplateRenderingData* data)
{
    m_data = data;
    SetContextFlag(kFlagCastsShadows, data != nullptr && data->GetRenderByte(kRenderByteE) != 0);
    SetContextFlag(kFlagRenderByteG, data != nullptr && data->GetRenderByte(kRenderByteG) != 0);
    SetContextFlag(kFlagRenderByteF, data != nullptr && data->GetRenderByte(kRenderByteF) != 0);
}

void MeshEntityRenderingContext::Draw(const Matrix& world, uint32_t passFlags, const Vector& color)
{
    DrawPass(world, passFlags, color, int32_t(kForwardPass), 0);
}

void MeshEntityRenderingContext::DrawPass(const Matrix& world, uint32_t, const Vector& color, int32_t passA,
                                          uint32_t passB)
{
    const MeshTemplateRenderingData* const data = m_data.Get();
    if (data == nullptr || IsFlagged())
        return;
    const Vector& multiplier = GetColorMultiplier();
    const Vector tinted(color.x * multiplier.x, color.y * multiplier.y, color.z * multiplier.z, color.w * multiplier.w);
    data->Draw(world, GetGlobal(), GetLocalBounds(), tinted, GetScaleFactor(), IsMirrored() ? 1 : 0, m_outlineState,
               m_presetIndex, Pose(), &m_lightmap, GetLightingBlock(), passA, passB, GetClockIndex(), m_random);
}

void MeshEntityRenderingContext::DrawDepth(uint8_t mirrorToggle, uint32_t)
{
    const MeshTemplateRenderingData* const data = m_data.Get();
    if (data == nullptr || IsFlagged())
        return;
    data->DrawDepth(GetDrawMatrix(), uint8_t((IsMirrored() ? 1 : 0) ^ mirrorToggle), m_presetIndex, Pose(), false);
}

bool MeshEntityRenderingContext::DrawChannel(const Matrix& world, uint32_t)
{
    const MeshTemplateRenderingData* const data = m_data.Get();
    return data != nullptr && data->DrawChannel(world, IsMirrored() ? 1 : 0, m_presetIndex, Pose());
}

const MeshTemplateRenderingData* MeshEntityRenderingContext::GetRenderingData() const
{
    return m_data.Get();
}

uint32_t MeshEntityRenderingContext::GetChannelMask(uint32_t) const
{
    const MeshTemplateRenderingData* const data = m_data.Get();
    return data != nullptr ? data->GetPresetValue(m_presetIndex) : 0;
}

const float* MeshEntityRenderingContext::Pose() const
{
    // Skinned meshes draw with their pose; a pose that does not cover the mesh's bones is not used.
    return m_boneCount != 0 && m_boneCount >= m_data->GetSkinningBoneCount() ? m_bones.data() : nullptr;
}
