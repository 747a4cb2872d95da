// The draws of MeshTemplateRenderingData: gathering into sorted runs, the batch draw with its pass
// and material-kind table, the CPU skinning path and the edge lines. Render thread only.
#include "renderer/MeshTemplateRenderingData.h"

#include "engine/config/ProjectConfig.h"
#include "platform/gpu/GpuBuffer.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/LightmapMapping.h"
#include "renderer/MeshPassTable.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/PixelShaderObject.h"
#include "renderer/RenderDeviceManager.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/SceneLighting.h"
#include "renderer/ShaderManager.h"
#include "renderer/VertexShaderObject.h"
#include "renderer/jobs/TextureHolder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
constexpr uint32_t kRegisterBounds = 220;
constexpr uint32_t kRegisterCameraPosition = 242;
constexpr uint32_t kRegisterTextureTransform = 198;
constexpr uint32_t kRegisterAlphaTest = 195;
constexpr uint32_t kRegisterScale = 241;
constexpr uint32_t kPixelRegisterAlphaTest = 194;
constexpr uint32_t kRegisterDepthConstant = 200; // the depth pass's material constant, zero for contours
constexpr uint32_t kPixelRegisterContourWidth = 0;
constexpr uint32_t kIndexFormat32 = 102;
// Contour vertices carry what the lit mesh shaders read of a mesh vertex, so the material's own
// forward pair draws them: position, normal, one texture coordinate (32 bytes).
constexpr uint32_t kContourStride = 32;
const gpu::VertexElement kContourElements[] = {
    {0, 0, gpu::kDeclFloat3, gpu::kDeclMethodDefault, gpu::kDeclUsagePosition, 0},
    {0, 12, gpu::kDeclFloat3, gpu::kDeclMethodDefault, gpu::kDeclUsageNormal, 0},
    {0, 24, gpu::kDeclFloat2, gpu::kDeclMethodDefault, gpu::kDeclUsageTexCoord, 0},
    gpu::kDeclEnd,
};
constexpr uint32_t kRegisterMobileSpecular = 204;     // the material's specular vector, mobile shaders
constexpr uint32_t kPixelRegisterMobileSpecular = 191;
constexpr uint32_t kRegisterLighting = 210;   // the instance's lighting block, ten vectors
constexpr uint32_t kLightingVectors = 10;
constexpr uint32_t kAmbientCubeVectors = 6;   // the block's ambient-cube colours come first
constexpr uint32_t kSamplerAmbientCube = 11;
constexpr uint32_t kSamplerLightmap = 13;
constexpr uint32_t kCpuVertexBonesAt = 12;
// The system shader that draws edge lines: the vertex colour times the constant colour.
constexpr uint32_t kEdgeLineShaderSlot = 0;
// The channel pass writes flat white through the fixed pair, skinned for meshes posed by bones.
constexpr uint32_t kSkinnedMaskShaderSlot = 6;
constexpr uint32_t kMeshDrawAllChannels = 15;

// The gather list and the work arrays belong to the render thread.
struct GatherState
{
    MeshGatherRecord records[MeshTemplateRenderingData::kMaxGathered];
    MeshGatherRecord sorted[MeshTemplateRenderingData::kMaxGathered]; // the flush's drawing order
    uint32_t count = 0;
    bool gathering = false;
    int32_t passA = 0;
    uint32_t passB = 0;
    std::vector<uint8_t> skinned;
    std::vector<uint16_t> sortedIndices;
};

GatherState& Gather()
{
    static GatherState state;
    return state;
}

float DepthKey(const BoundingBox4& bounds, const Matrix& world)
{
    const CameraState& camera = gRenderer->GetCamera();
    const Vector& position = camera.inverseView.rows[3];
    const Vector& forward = camera.inverseView.rows[2];
    Vector nearest;
    bounds.GetNearestPoint(position, world, nearest);
    return (nearest.x - position.x) * forward.x + (nearest.y - position.y) * forward.y +
           (nearest.z - position.z) * forward.z + 10000.0f;
}

// Runs share data, preset, mirror, outline state and clock.
bool SameRun(const MeshGatherRecord& a, const MeshGatherRecord& b)
{
    return a.data == b.data && a.presetIndex == b.presetIndex && a.mirrored == b.mirrored &&
           a.outlineState == b.outlineState && a.clockIndex == b.clockIndex;
}

// Whether `a` draws before `b` among records of equal depth: data, preset, mirror, outline state
// and clock, each descending.
bool DrawsBeforeAtEqualDepth(const MeshGatherRecord& a, const MeshGatherRecord& b)
{
    if (a.data != b.data)
        return std::greater<const MeshTemplateRenderingData*>()(a.data, b.data);
    if (a.presetIndex != b.presetIndex)
        return a.presetIndex > b.presetIndex;
    if (a.mirrored != b.mirrored)
        return a.mirrored > b.mirrored;
    if (a.outlineState != b.outlineState)
        return a.outlineState > b.outlineState;
    return a.clockIndex > b.clockIndex;
}

// The bits of a depth key as an unsigned number in the order of the floats (-0 taken as +0).
uint32_t OrderedBits(float key)
{
    uint32_t bits = 0;
    const float value = key == 0.0f ? 0.0f : key;
    std::memcpy(&bits, &value, sizeof(bits));
    return (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
}

// Records are large: their order is worked out on indices, then each record moves once, into
// `sorted`. Depth keys go through a stable radix sort (four byte passes, counted together; a byte
// that all keys share needs no pass), so equal records keep their gathered order; the few records
// of exactly equal depth are then ordered by the rest of the key. Two records are ordered too: their
// draw order must not depend on how many were gathered.
void SortInto(const MeshGatherRecord* records, uint32_t count, MeshGatherRecord* sorted)
{
    struct Key
    {
        uint32_t bits;
        uint32_t index;
    };
    static thread_local std::vector<Key> keys, scratch;
    keys.resize(count);
    scratch.resize(count);
    uint32_t counts[4][257] = {};
    for (uint32_t i = 0; i < count; ++i)
    {
        const uint32_t bits = OrderedBits(records[i].depthKey);
        keys[i] = {bits, i};
        for (uint32_t b = 0; b < 4; ++b)
            ++counts[b][((bits >> (b * 8)) & 0xFF) + 1];
    }
    for (uint32_t shift = 0; count != 0 && shift < 32; shift += 8)
    {
        uint32_t* const starts = counts[shift / 8];
        if (starts[((keys[0].bits >> shift) & 0xFF) + 1] == count)
            continue;
        for (uint32_t b = 1; b <= 256; ++b)
            starts[b] += starts[b - 1];
        for (uint32_t i = 0; i < count; ++i)
            scratch[starts[(keys[i].bits >> shift) & 0xFF]++] = keys[i];
        keys.swap(scratch);
    }
    for (uint32_t first = 0; first < count;)
    {
        uint32_t end = first + 1;
        while (end < count && keys[end].bits == keys[first].bits)
            ++end;
        if (end - first > 1)
            std::stable_sort(keys.begin() + first, keys.begin() + end, [records](const Key& a, const Key& b) {
                return DrawsBeforeAtEqualDepth(records[a.index], records[b.index]);
            });
        first = end;
    }
    for (uint32_t i = 0; i < count; ++i)
        sorted[i] = records[keys[i].index];
}

void DrawGathered(uint32_t count)
{
    GatherState& state = Gather();
    MeshGatherRecord* const sorted = state.sorted;
    SortInto(state.records, count, sorted);
    for (uint32_t first = 0; first < count;)
    {
        uint32_t end = first + 1;
        while (end < count && SameRun(sorted[first], sorted[end]))
            ++end;
        sorted[first].data->DrawBatch(sorted[first].presetIndex, sorted + first, end - first, state.passA, state.passB,
                                      nullptr);
        first = end;
    }
}

// The model-space camera position of a world matrix whose rows are orthogonal axes and a translation.
Vector ModelSpacePoint(const Matrix& world, const Vector& point)
{
    const Vector d(point.x - world.rows[3].x, point.y - world.rows[3].y, point.z - world.rows[3].z, 0.0f);
    Vector out;
    float* o = &out.x;
    for (int axis = 0; axis < 3; ++axis)
    {
        const Vector& r = world.rows[axis];
        const float length = r.x * r.x + r.y * r.y + r.z * r.z;
        o[axis] = length > 0.0f ? (d.x * r.x + d.y * r.y + d.z * r.z) / length : 0.0f;
    }
    out.w = 1.0f;
    return out;
}

// Triangles ordered by the smallest squared distance of their corners to the camera, nearest first.
void SortTriangles(const uint8_t* indices, uint32_t triangles, const std::vector<uint8_t>& vertices, uint32_t stride,
                   const Vector& camera, std::vector<uint16_t>& out)
{
    struct Entry
    {
        uint16_t corners[3];
        float distance;
    };
    std::vector<Entry> entries(triangles);
    for (uint32_t t = 0; t < triangles; ++t)
    {
        Entry& entry = entries[t];
        entry.distance = INFINITY;
        for (int c = 0; c < 3; ++c)
        {
            const size_t at = (size_t(t) * 3 + c) * 2;
            entry.corners[c] = uint16_t(indices[at] | (indices[at + 1] << 8));
            float p[3] = {};
            if ((size_t(entry.corners[c]) + 1) * stride <= vertices.size())
                std::memcpy(p, vertices.data() + size_t(entry.corners[c]) * stride, 12);
            const float dx = p[0] - camera.x, dy = p[1] - camera.y, dz = p[2] - camera.z;
            entry.distance = std::min(entry.distance, dx * dx + dy * dy + dz * dz);
        }
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.distance < b.distance; });
    out.resize(size_t(triangles) * 3);
    for (uint32_t t = 0; t < triangles; ++t)
        for (int c = 0; c < 3; ++c)
            out[size_t(t) * 3 + c] = entries[t].corners[c];
}

// A 3x4 bone matrix (three rows of four, x' = row . (x, y, z, 1)) as a row-vector matrix.
Matrix BoneMatrix(const float* b)
{
    Matrix bone = Matrix::ONE;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            (&bone.rows[c].x)[r] = b[r * 4 + c];
    bone.rows[3] = Vector(b[3], b[7], b[11], 1.0f);
    return bone;
}

// The material's constant ranges: the first ones to the vertex shader, the rest to the pixel shader.
void UploadMaterialConstants(NorvexRenderer& renderer, const MeshMaterial& material)
{
    uint32_t range = 0, constant = 0;
    for (size_t r = 0; r + 1 < material.constantRanges.size(); r += 2, ++range)
    {
        const uint32_t firstRegister = material.constantRanges[r], vectors = material.constantRanges[r + 1];
        if (vectors > material.constants.size() - constant)
            break;
        const float* data = &material.constants[constant].x;
        if (range < material.vertexConstantRangeCount)
            renderer.SetVertexShaderConstants(firstRegister, data, vectors);
        else
            renderer.SetPixelShaderConstants(firstRegister, data, vectors);
        constant += vectors;
    }
}
// The instance's ambient cube is measured light: the scene's light-probe multiplier scales its six
// colours as it scales every probe. The four vectors after them are no colours and pass unscaled.
void ScaleAmbientCube(const Vector* block, const Vector& scale, Vector* out)
{
    for (uint32_t i = 0; i < kLightingVectors; ++i)
        out[i] = block[i];
    for (uint32_t i = 0; i < kAmbientCubeVectors; ++i)
    {
        out[i].x *= scale.x;
        out[i].y *= scale.y;
        out[i].z *= scale.z;
    }
}
} // namespace

void MeshTemplateRenderingData::BeginGather(int32_t passA, uint32_t passB)
{
    GatherState& state = Gather();
    state.gathering = true;
    state.count = 0;
    state.passA = passA;
    state.passB = passB;
}

bool MeshTemplateRenderingData::IsGathering()
{
    return Gather().gathering;
}

uint32_t MeshTemplateRenderingData::GetGatheredCount()
{
    return Gather().count;
}

void MeshTemplateRenderingData::FlushGathered()
{
    GatherState& state = Gather();
    state.gathering = false;
    DrawGathered(state.count);
    state.count = 0;
}

void MeshTemplateRenderingData::SortGathered(MeshGatherRecord* records, uint32_t count)
{
    std::vector<MeshGatherRecord> sorted(count);
    SortInto(records, count, sorted.data());
    std::copy(sorted.begin(), sorted.end(), records);
}

bool MeshTemplateRenderingData::DrawsInPass(uint32_t presetIndex, int32_t passA) const
{
    // A preset past the last draws edge lines instead.
    if (presetIndex >= m_presets.size())
        return true;
    const DeviceParams& params = gRenderer->GetDeviceParams();
    for (const MeshMaterial& material : m_presets[presetIndex].materials)
    {
        if (material.triangleCount == 0 || (material.flags & MeshMaterial::FLAG_NO_LIT_PASSES) != 0)
            continue;
        const bool hasRefraction = material.GetLink(MeshMaterial::LINK_REFRACTION_PS) != nullptr;
        if (!ChooseMeshPass(uint32_t(passA), material.GetKind(), material.blendMode, hasRefraction,
                            hasRefraction && params.refraction != 0 && params.qualityLevel >= material.minimumQuality)
                 .skip)
            return true;
    }
    return false;
}

void MeshTemplateRenderingData::Draw(const Matrix& world, const Matrix& global, const BoundingBox4& bounds,
                                     const Vector& color, float scale, uint8_t mirrored, uint8_t outlineState,
                                     uint32_t presetIndex, const float* bones, const LightmapMapping* lightmap,
                                     const Vector* lighting, int32_t passA, uint32_t passB, uint32_t clockIndex,
                                     float random) const
{
    // A pass that draws none of the preset's materials would only set states for nothing.
    if (gRenderer == nullptr || !IsReady() || (bones == nullptr && !DrawsInPass(presetIndex, passA)))
        return;
    GatherState& state = Gather();
    const bool gathered = state.gathering && bones == nullptr && passA >= 0;
    if (gathered && state.count == kMaxGathered)
    {
        DrawGathered(state.count);
        state.count = 0;
    }
    MeshGatherRecord single;
    MeshGatherRecord& record = gathered ? state.records[state.count] : single;
    record.world = world;
    record.global = global;
    record.color = color;
    record.lightmap = lightmap;
    record.lighting = lighting;
    record.scale = scale;
    record.data = this;
    record.presetIndex = presetIndex;
    record.mirrored = mirrored;
    record.outlineState = outlineState;
    record.clockIndex = clockIndex;
    record.random = random;
    if (gathered)
    {
        record.depthKey = DepthKey(bounds, world);
        ++state.count;
        return;
    }
    DrawBatch(presetIndex, &record, 1, passA, passB, bones);
}

bool MeshTemplateRenderingData::SkinCpuVertices(const float* bones, uint32_t boneCount, uint32_t first, uint32_t end,
                                                std::vector<uint8_t>& out) const
{
    if ((m_meshFlags & 1) == 0 || m_cpuStride < kCpuVertexBonesAt + 8 || m_vertexStride < 16)
        return false;
    const bool normal = (m_cpuLayoutFlags & kLayoutNormal) != 0;
    const bool tangent = (m_cpuLayoutFlags & kLayoutTangent) != 0;
    const uint32_t inputBytes = kCpuVertexBonesAt + 8 + (normal ? 12 : 0) + (tangent ? 16 : 0) + 4;
    const uint32_t outputBytes = 12 + (normal ? 12 : 0) + (tangent ? 8 : 0) + 4;
    end = std::min(end, m_vertexCount);
    if (inputBytes > m_cpuStride || outputBytes > m_vertexStride || uint64_t(end) * m_cpuStride > m_cpuVertices.size())
        return false;
    out.resize(size_t(m_vertexCount) * m_vertexStride);
    for (uint32_t v = first; v < end; ++v)
    {
        const uint8_t* in = m_cpuVertices.data() + size_t(v) * m_cpuStride;
        float position[3], n[3] = {}, t[4] = {};
        std::memcpy(position, in, 12);
        size_t at = kCpuVertexBonesAt + 8;
        if (normal)
            std::memcpy(n, in + at, 12), at += 12;
        if (tangent)
            std::memcpy(t, in + at, 16), at += 16;
        float p[3] = {}, rn[3] = {}, rt[3] = {};
        for (int influence = 0; influence < 4; ++influence)
        {
            const uint8_t weightByte = in[kCpuVertexBonesAt + 4 + influence];
            if (weightByte == 0)
                break;
            const uint8_t bone = in[kCpuVertexBonesAt + influence];
            // A bone the pose does not carry would be read past the matrices: it is skipped.
            if (bone >= boneCount)
                continue;
            const float w = float(weightByte) / 255.0f;
            const float* m = bones + size_t(bone) * 12; // three rows of four: x' = row . (x, y, z, 1)
            for (int r = 0; r < 3; ++r)
            {
                const float* row = m + r * 4;
                p[r] += w * (row[0] * position[0] + row[1] * position[1] + row[2] * position[2] + row[3]);
                rn[r] += w * (row[0] * n[0] + row[1] * n[1] + row[2] * n[2]);
                rt[r] += w * (row[0] * t[0] + row[1] * t[1] + row[2] * t[2]);
            }
        }
        uint8_t* o = out.data() + size_t(v) * m_vertexStride;
        std::memcpy(o, p, 12);
        size_t to = 12;
        if (normal)
            std::memcpy(o + to, rn, 12), to += 12;
        if (tangent)
        {
            const float values[4] = {rt[0], rt[1], rt[2], t[3]};
            for (float value : values)
            {
                const float c = std::clamp(value, -1.0f, 1.0f);
                const int16_t s = int16_t(c >= 0.0f ? std::lround(c * 32767.0f) : std::lround(c * 32768.0f));
                std::memcpy(o + to, &s, 2);
                to += 2;
            }
        }
        std::memcpy(o + to, in + at, 4);
    }
    return true;
}

void MeshTemplateRenderingData::DrawDepth(const Matrix& world, uint8_t mirrored, uint32_t presetIndex,
                                          const float* bones, bool instanced) const
{
    if (gRenderer == nullptr || gRenderer->GetDevice() == nullptr || presetIndex >= m_presets.size() ||
        m_vertexBuffer == nullptr || m_vertexDeclaration == nullptr || m_indexBuffer == nullptr)
        return;
    NorvexRenderer& renderer = *gRenderer;
    gpu::GpuDevice* const device = renderer.GetDevice();
    if (m_boneCount != 0 && m_renderBytes[7] == 0 && bones != nullptr)
        renderer.SetVertexShaderConstants(0, bones, m_boneCount * 3);
    device->SetStreamSource(0, m_vertexBuffer, 0, m_vertexStride);
    device->SetVertexDeclaration(instanced && m_instanceVertexDeclaration != nullptr ? m_instanceVertexDeclaration
                                                                                    : m_vertexDeclaration);
    device->SetIndices(m_indexBuffer);
    renderer.SetVertexShaderConstants(kRegisterBounds, &m_bounds.min.x, 2);
    const bool swapped = (mirrored != 0) != renderer.GetCamera().mirrored;
    const uint32_t normalCull = swapped ? gpu::kCullClockwise : gpu::kCullCounterClockwise;
    const uint32_t reversedCull = swapped ? gpu::kCullCounterClockwise : gpu::kCullClockwise;
    for (const MeshMaterial& material : m_presets[presetIndex].materials)
    {
        if (material.triangleCount == 0 ||
            (material.flags & (MeshMaterial::FLAG_NO_DEPTH_PASS | MeshMaterial::FLAG_INSTANCE_AMBIENT)) != 0)
            continue;
        const bool alphaTested = material.alphaTestMode == 1 || material.alphaTestMode == 2;
        const bool boneless = m_boneCount != 0 && material.boneIndex == 255;
        const bool constant = (material.flags & MeshMaterial::FLAG_DEPTH_CONSTANT) != 0;
        const uint32_t mask = (alphaTested ? 2u : 0u) | (constant ? 8u : 0u) | (instanced ? 4u : 0u) |
                              (boneless ? 1u : 0u);
        const ShaderPair& pair = gShaderManager.GetShadowMapShader(mask);
        if (!pair.IsValid())
            continue;
        pair.Bind();
        if (constant)
            for (size_t r = 0, at = 0; r + 1 < material.constantRanges.size(); r += 2)
            {
                const uint32_t first = material.constantRanges[r], vectors = material.constantRanges[r + 1];
                if (vectors > material.constants.size() - at)
                    break;
                if (first <= kRegisterDepthConstant && kRegisterDepthConstant < first + vectors)
                    renderer.SetPixelShaderConstants(kRegisterDepthConstant,
                                                     &material.constants[at + kRegisterDepthConstant - first].x, 1);
                at += vectors;
            }
        if (alphaTested)
        {
            renderer.SetAlphaTest(material.alphaTestMode, material.alphaReference);
            for (const MeshMaterialTexture& texture : material.textures)
                if (texture.stage == 0)
                    renderer.SetTexture(0, texture.holder, 0);
        }
        else
            renderer.SetAlphaTest(0, 0);
        renderer.SetCullMode((material.flags & MeshMaterial::FLAG_TWO_SIDED) != 0        ? gpu::kCullNone
                             : (material.flags & MeshMaterial::FLAG_REVERSED_CULL) != 0 ? reversedCull
                                                                                        : normalCull);
        Matrix model = world;
        if (bones != nullptr && material.boneIndex != 255 && material.boneIndex < m_boneCount)
            model.Mul(world, BoneMatrix(bones + size_t(material.boneIndex) * 12));
        static_cast<const VertexShaderObject*>(pair.m_vertexObject)->SetModelMatrix(renderer, model, true);
        renderer.DrawIndexedPrimitive(gpu::kPrimitiveTriangleList, 0, 0, m_vertexCount, material.startTriangle * 3,
                                      material.triangleCount);
    }
    renderer.SetAlphaTest(0, 0);
    device->SetIndices(nullptr);
    device->SetStreamSource(0, nullptr, 0, 0);
}

bool MeshTemplateRenderingData::DrawChannel(const Matrix& world, uint8_t mirrored, uint32_t presetIndex,
                                            const float* bones) const
{
    if (gRenderer == nullptr || gRenderer->GetDevice() == nullptr || presetIndex >= m_presets.size() ||
        m_vertexBuffer == nullptr || m_vertexDeclaration == nullptr || m_indexBuffer == nullptr)
        return false;
    NorvexRenderer& renderer = *gRenderer;
    const uint32_t current = renderer.GetPassMask();
    const MeshShaderPreset& preset = m_presets[presetIndex];
    if ((preset.channelMask & current) == 0)
        return false;
    gpu::GpuDevice* const device = renderer.GetDevice();
    if (m_boneCount != 0 && m_renderBytes[7] == 0 && bones != nullptr)
        renderer.SetVertexShaderConstants(0, bones, m_boneCount * 3);
    device->SetStreamSource(0, m_vertexBuffer, 0, m_vertexStride);
    device->SetVertexDeclaration(m_vertexDeclaration);
    device->SetIndices(m_indexBuffer);
    renderer.SetVertexShaderConstants(kRegisterBounds, &m_bounds.min.x, 2);
    const bool swapped = (mirrored != 0) != renderer.GetCamera().mirrored;
    const uint32_t normalCull = swapped ? gpu::kCullClockwise : gpu::kCullCounterClockwise;
    const uint32_t reversedCull = swapped ? gpu::kCullCounterClockwise : gpu::kCullClockwise;
    bool drawn = false;
    for (const MeshMaterial& material : preset.materials)
    {
        const uint32_t c = material.channel;
        if (c < 1 || c > 4 || (current & (1u << c)) == 0 || material.triangleCount == 0)
            continue;
        const bool skinned = bones != nullptr && material.boneIndex == 255;
        const ShaderPair& pair =
            gShaderManager.GetSystemShader(skinned ? kSkinnedMaskShaderSlot : kEdgeLineShaderSlot);
        if (!pair.IsValid())
            continue;
        pair.Bind();
        const auto* vertex = static_cast<const VertexShaderObject*>(pair.m_vertexObject);
        vertex->SetConstantColor(renderer, Vector(1.0f, 1.0f, 1.0f, 1.0f));
        renderer.SetColorWriteMask(1u << (c - 1));
        renderer.SetCullMode((material.flags & MeshMaterial::FLAG_TWO_SIDED) != 0        ? gpu::kCullNone
                             : (material.flags & MeshMaterial::FLAG_REVERSED_CULL) != 0 ? reversedCull
                                                                                        : normalCull);
        Matrix model = world;
        if (bones != nullptr && material.boneIndex != 255 && material.boneIndex < m_boneCount)
            model.Mul(world, BoneMatrix(bones + size_t(material.boneIndex) * 12));
        vertex->SetModelMatrix(renderer, model, true);
        renderer.DrawIndexedPrimitive(gpu::kPrimitiveTriangleList, 0, 0, m_vertexCount, material.startTriangle * 3,
                                      material.triangleCount);
        drawn = true;
    }
    renderer.SetColorWriteMask(kMeshDrawAllChannels);
    device->SetIndices(nullptr);
    device->SetStreamSource(0, nullptr, 0, 0);
    return drawn;
}

void MeshTemplateRenderingData::DrawEdgeLines(const MeshGatherRecord& record, const float*) const
{
    if (m_edgeIndexBuffer == nullptr || m_lineCount == 0 || m_vertexBuffer == nullptr)
        return;
    const ShaderPair& pair = gShaderManager.GetSystemShader(kEdgeLineShaderSlot);
    if (!pair.IsValid())
        return;
    NorvexRenderer& renderer = *gRenderer;
    gpu::GpuDevice* const device = renderer.GetDevice();
    pair.Bind();
    device->SetStreamSource(0, m_vertexBuffer, 0, m_vertexStride);
    device->SetVertexDeclaration(m_vertexDeclaration);
    device->SetIndices(m_edgeIndexBuffer);
    renderer.SetVertexShaderConstants(kRegisterBounds, &m_bounds.min.x, 2);
    const auto* vertex = static_cast<const VertexShaderObject*>(pair.m_vertexObject);
    vertex->SetModelMatrix(renderer, record.world, true);
    vertex->SetConstantColor(renderer, record.color);
    renderer.DrawIndexedPrimitive(gpu::kPrimitiveLineList, 0, 0, m_vertexCount, 0, m_lineCount);
}

void MeshTemplateRenderingData::DrawBatch(uint32_t presetIndex, const MeshGatherRecord* records, uint32_t count,
                                          int32_t passA, uint32_t passB, const float* bones) const
{
    if (gRenderer == nullptr || gRenderer->GetDevice() == nullptr || count == 0)
        return;
    NorvexRenderer& renderer = *gRenderer;
    gpu::GpuDevice* const device = renderer.GetDevice();
    GatherState& state = Gather();
    const bool instanced = (uint32_t(passA) & kPassInstanced) != 0;
    const uint32_t pass = uint32_t(passA) & ~kPassInstanced;
    const bool cpuPath = bones != nullptr && (m_meshFlags & 1) != 0 && !m_cpuVertices.empty();

    // 1. The CPU vertex path skins the range the preset's materials use.
    if (cpuPath && presetIndex < m_presets.size())
    {
        uint32_t first = UINT32_MAX, last = 0;
        for (const MeshMaterial& material : m_presets[presetIndex].materials)
        {
            const bool whole = material.firstVertex == 0 && material.lastVertex == 0;
            first = std::min<uint32_t>(first, whole ? 0 : material.firstVertex);
            last = std::max<uint32_t>(last, whole ? m_vertexCount : uint32_t(material.lastVertex) + 1);
        }
        if (first == UINT32_MAX || !SkinCpuVertices(bones, m_boneCount, first, last, state.skinned))
            return;
    }
    else if (m_vertexBuffer == nullptr || m_vertexDeclaration == nullptr)
        return;

    // 3. Bones for the skinned shaders (identity when none are given).
    if (m_boneCount != 0 && !cpuPath && m_renderBytes[7] == 0)
    {
        std::vector<float> identity;
        const float* upload = bones;
        if (upload == nullptr)
        {
            identity.assign(size_t(m_boneCount) * 12, 0.0f);
            for (uint32_t b = 0; b < m_boneCount; ++b)
                identity[b * 12] = identity[b * 12 + 5] = identity[b * 12 + 10] = 1.0f;
            upload = identity.data();
        }
        renderer.SetVertexShaderConstants(0, upload, m_boneCount * 3);
    }

    // 4. Buffers, culling by the mirror state, camera and bounds.
    if (!cpuPath)
        device->SetStreamSource(0, m_vertexBuffer, 0, m_vertexStride);
    device->SetVertexDeclaration(instanced && m_instanceVertexDeclaration != nullptr ? m_instanceVertexDeclaration
                                                                                    : m_vertexDeclaration);
    renderer.SetAlphaTest(0, 0);
    const bool swapped = (records[0].mirrored != 0) != renderer.GetCamera().mirrored;
    const uint32_t normalCull = swapped ? gpu::kCullClockwise : gpu::kCullCounterClockwise;
    const uint32_t reversedCull = swapped ? gpu::kCullCounterClockwise : gpu::kCullClockwise;
    const Vector camera = renderer.GetCamera().inverseView.rows[3];
    renderer.SetVertexShaderConstants(kRegisterCameraPosition, &camera.x, 1);
    renderer.SetVertexShaderConstants(kRegisterBounds, &m_bounds.min.x, 2);

    // 5. A preset past the last draws the edge lines.
    if (presetIndex >= m_presets.size())
    {
        if (pass != 2)
            for (uint32_t i = 0; i < count; ++i)
                DrawEdgeLines(records[i], bones);
        device->SetStreamSource(0, nullptr, 0, 0);
        return;
    }

    // 6. Indices and the scene lighting.
    if (!cpuPath)
        device->SetIndices(m_indexBuffer);
    const bool mobile = gProjectConfig.m_visualizationMode == ProjectConfig::VISUALIZATION_IPHONE ||
                        gProjectConfig.m_visualizationMode == ProjectConfig::VISUALIZATION_IPAD2;
    if (pass == 1 || pass == 8 || pass == 16)
        UploadSceneLighting(renderer, GetActiveSceneParameters(), gSceneEnvironment, mobile);
    const Vector ambientScale = GetActiveSceneParameters().GetShading().lightProbeMultiplier;

    const uint32_t quality = renderer.GetDeviceParams().qualityLevel;
    const bool refractionOn = renderer.GetDeviceParams().refraction != 0;
    for (const MeshMaterial& material : m_presets[presetIndex].materials)
    {
        // 7. The material's pair and states.
        if (material.triangleCount == 0 || (material.flags & MeshMaterial::FLAG_NO_LIT_PASSES) != 0)
            continue;
        const bool hasRefraction = material.GetLink(MeshMaterial::LINK_REFRACTION_PS) != nullptr;
        const MeshPassChoice choice =
            ChooseMeshPass(uint32_t(passA), material.GetKind(), material.blendMode, hasRefraction,
                           hasRefraction && refractionOn && quality >= material.minimumQuality);
        if (choice.skip)
            continue;
        const auto* vs = static_cast<const VertexShaderObject*>(material.GetLink(choice.vertexLink));
        const auto* ps = static_cast<const PixelShaderObject*>(material.GetLink(choice.pixelLink));
        if (vs == nullptr || ps == nullptr)
            continue;
        bool depthWrite = choice.depthWrite;
        if (material.depthWriteOverride == 1 || material.depthWriteOverride == 2)
            depthWrite = material.depthWriteOverride == 2;
        const uint32_t clock = records[0].clockIndex;
        const float clockTime = renderer.GetFrameClockSeconds(clock);
        const Vector transform = material.ComputeTextureTransform(clockTime, records[0].random);
        const float sign = material.alphaTestMode == 1 ? 1.0f : material.alphaTestMode == 2 ? -1.0f : 0.0f;
        const Vector alpha(sign, -float(material.alphaReference) / 255.0f * sign, 0.0f, 0.0f);
        const Vector scale(material.scale * records[0].scale, 0.0f, 0.0f, 0.0f);
        renderer.SetVertexShaderConstants(kRegisterTextureTransform, &transform.x, 1);
        renderer.SetVertexShaderConstants(kRegisterAlphaTest, &alpha.x, 1);
        renderer.SetVertexShaderConstants(kRegisterScale, &scale.x, 1);
        renderer.SetPixelShaderConstants(kPixelRegisterAlphaTest, &alpha.x, 1);
        renderer.SetVertexShader(vs);
        renderer.SetPixelShader(ps);
        if (mobile && (pass == 1 || pass == 8 || pass == 16))
        {
            renderer.SetVertexShaderConstants(kRegisterMobileSpecular, &material.specular.x, 1);
            renderer.SetPixelShaderConstants(kPixelRegisterMobileSpecular, &material.specular.x, 1);
        }
        UploadMaterialConstants(renderer, material);
        if (passB != 0)
        {
            uint32_t mask = 0;
            if ((passB & 1) != 0 && material.channel >= 1 && material.channel <= 4 && records[0].outlineState != 0)
                mask |= 1u << material.channel;
            if ((passB & 2) != 0)
                mask |= 1;
            renderer.SetStencilWriteMask(mask);
        }
        for (const MeshMaterialTexture& texture : material.textures)
            if (texture.stage < gpu::kSamplerCount)
                renderer.SetTexture(texture.stage, texture.holder, 0);
        renderer.SetCullMode((material.flags & MeshMaterial::FLAG_TWO_SIDED) != 0        ? gpu::kCullNone
                             : (material.flags & MeshMaterial::FLAG_REVERSED_CULL) != 0 ? reversedCull
                                                                                        : normalCull);
        renderer.SetBlendMode(choice.blendZero ? 0 : material.blendMode);
        renderer.SetDepthState(material.depthTest != 0 ? gpu::kCmpLessEqual : gpu::kCmpAlways, depthWrite,
                               float(material.depthBias));

        // The scene's lightmap 0 with the scene's own placement, beside the ambient cube: the same
        // for every instance.
        if ((material.flags & MeshMaterial::FLAG_SCENE_ENVIRONMENT) != 0)
        {
            renderer.SetTexture(kSamplerAmbientCube, renderer.GetDeviceManager().GetRenderTargets().lightingCube, 0);
            renderer.SetTexture(kSamplerLightmap, gSceneEnvironment.GetLightmapTexture(0), 0);
            vs->SetLightmapUVMulAdd(renderer, gSceneEnvironment.GetSceneColor(2));
        }

        // 8. Per instance.
        for (uint32_t i = 0; i < count; ++i)
        {
            const MeshGatherRecord& record = records[i];
            Matrix model = record.world;
            if (bones != nullptr && material.boneIndex != 255 && material.boneIndex < m_boneCount)
                model.Mul(record.world, BoneMatrix(bones + size_t(material.boneIndex) * 12));
            if (record.lightmap != nullptr && (material.flags & MeshMaterial::FLAG_LIGHT_PROBE) != 0)
            {
                renderer.SetTexture(kSamplerLightmap, gSceneEnvironment.GetLightmapTexture(record.lightmap->m_lightmapId), 0);
                vs->SetLightmapUVMulAdd(renderer, record.lightmap->m_uvMulAdd);
            }
            // A refracting draw shows the screen behind the instance: refresh that region's copy first.
            if (choice.blendZero)
                renderer.UpdateRefraction(m_bounds, record.world);
            if (record.lighting != nullptr && (material.flags & MeshMaterial::FLAG_INSTANCE_AMBIENT) != 0)
            {
                Vector lighting[kLightingVectors];
                ScaleAmbientCube(record.lighting, ambientScale, lighting);
                renderer.SetVertexShaderConstants(kRegisterLighting, &lighting[0].x, kLightingVectors);
            }
            vs->SetModelMatrix(renderer, model, true);
            vs->SetConstantColor(renderer, (material.flags & MeshMaterial::FLAG_IGNORE_INSTANCE_COLOR) != 0
                                               ? Vector(1.0f, 1.0f, 1.0f, 1.0f)
                                               : record.color);
            if (cpuPath)
            {
                const uint64_t firstIndex = uint64_t(material.startTriangle) * 3;
                if (firstIndex + uint64_t(material.triangleCount) * 3 > m_indexData.size() / 2)
                    continue;
                const uint8_t* indices = m_indexData.data() + firstIndex * 2;
                if ((m_meshFlags & 2) != 0)
                {
                    SortTriangles(indices, material.triangleCount, state.skinned, m_vertexStride,
                                  ModelSpacePoint(model, camera), state.sortedIndices);
                    indices = reinterpret_cast<const uint8_t*>(state.sortedIndices.data());
                }
                renderer.DrawIndexedPrimitiveUP(gpu::kPrimitiveTriangleList, 0, m_vertexCount, material.triangleCount,
                                                indices, gpu::kFormatIndex16, state.skinned.data(), m_vertexStride);
            }
            else
                renderer.DrawIndexedPrimitive(gpu::kPrimitiveTriangleList, 0, 0, m_vertexCount,
                                              material.startTriangle * 3, material.triangleCount);
        }
    }

    // 9, 10. Stencil mask back, contours, buffers unbound.
    if (passB != 0)
        renderer.SetStencilWriteMask(0);
    if ((pass == 1 || pass == 16) && m_contourVertexBuffer != nullptr && m_contourIndexBuffer != nullptr)
        for (const MeshMaterial& material : m_presets[presetIndex].materials)
            if (material.contourCount != 0)
                DrawContours(material, records, count);
    device->SetIndices(nullptr);
    device->SetStreamSource(0, nullptr, 0, 0);
}

void MeshTemplateRenderingData::DrawContours(const MeshMaterial& material, const MeshGatherRecord* records,
                                             uint32_t count) const
{
    NorvexRenderer& renderer = *gRenderer;
    gpu::GpuDevice* const device = renderer.GetDevice();
    const auto* vs = static_cast<const VertexShaderObject*>(material.GetLink(MeshMaterial::LINK_FORWARD_VS));
    const auto* ps = static_cast<const PixelShaderObject*>(material.GetLink(MeshMaterial::LINK_FORWARD_PS));
    // Two vertices and three indices per contour from its first; a range past either buffer is
    // data that does not fit the mesh and draws nothing.
    const uint32_t vertexTotal = m_contourVertices.description[4] / kContourStride;
    const uint32_t indexBytes = m_contourIndices.description[0] == kIndexFormat32 ? 4 : 2;
    const uint64_t indexTotal = m_contourIndices.description[4] / indexBytes;
    const uint64_t firstVertex = uint64_t(material.firstContour) * 2;
    const uint64_t firstIndex = uint64_t(material.firstContour) * 3;
    if (vs == nullptr || ps == nullptr || firstVertex >= vertexTotal ||
        firstIndex + uint64_t(material.contourCount) * 3 > indexTotal)
        return;
    gpu::GpuVertexDeclaration* declaration = renderer.GetVertexDeclaration(kContourElements, 4);
    device->SetVertexDeclaration(declaration);
    gpu::SafeRelease(declaration);
    device->SetStreamSource(0, m_contourVertexBuffer, 0, kContourStride);
    device->SetIndices(m_contourIndexBuffer);
    renderer.SetVertexShader(vs);
    renderer.SetPixelShader(ps);
    UploadMaterialConstants(renderer, material);
    renderer.SetBlendMode(material.blendMode);
    renderer.SetCullMode(gpu::kCullNone);
    // The width in screen units; only a blended contour fades its edge by the softness.
    const float softness = material.blendMode != 0 ? std::clamp(material.contourSoftness, 0.0f, 1.0f) : 0.0f;
    const Vector width(material.contourWidth / float(std::max(renderer.GetRenderWidth(), 1u)),
                       material.contourWidth / float(std::max(renderer.GetRenderHeight(), 1u)), 0.0f, 2.0f - softness);
    const Vector zero(0.0f, 0.0f, 0.0f, 0.0f);
    renderer.SetPixelShaderConstants(kPixelRegisterContourWidth, &width.x, 1);
    renderer.SetVertexShaderConstants(kRegisterDepthConstant, &zero.x, 1);
    for (uint32_t i = 0; i < count; ++i)
    {
        vs->SetModelMatrix(renderer, records[i].world, true);
        vs->SetConstantColor(renderer, records[i].color);
        renderer.DrawIndexedPrimitive(gpu::kPrimitiveTriangleList, 0, uint32_t(firstVertex),
                                      uint32_t(vertexTotal - firstVertex), uint32_t(firstIndex), material.contourCount);
    }
}
