#include "renderer/MeshTemplateRenderingData.h"

#include "core/console/GameConsole.h"
#include "core/reflection/RTTIValueTraits.h"
#include "core/reflection/RecordStream.h"
#include "engine/config/ProjectConfig.h"
#include "platform/gpu/GpuBuffer.h"
#include "platform/gpu/GpuVertexDeclaration.h"
#include "platform/os/Sync.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/jobs/NorvexRendererBufferSerializationJob.h"
#include "renderer/jobs/RendererJobs.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace
{
const BoundingBox4 kDefaultBounds(Vector(0.0f, 0.0f, 0.0f, 1.0f), Vector(1.0f, 1.0f, 1.0f, 1.0f));
constexpr size_t kVertexElementBytes = 8;
constexpr uint32_t kIndexFormat16 = 101;
constexpr uint32_t kRenderDataIndexFormat32 = 102;

// The global list of every rendering data object, for the material refresh.
os::CriticalSection gListLock;
MeshTemplateRenderingData* gListHead = nullptr;
MeshTemplateRenderingData* gListTail = nullptr;
uint32_t gLiveCount = 0;

bool ReadRenderDataVector(RecordInput& in, Vector& v)
{
    return in.ReadFloat(v.x) && in.ReadFloat(v.y) && in.ReadFloat(v.z) && in.ReadFloat(v.w);
}

bool ReadBox(RecordInput& in, BoundingBox4& box)
{
    return ReadRenderDataVector(in, box.min) && ReadRenderDataVector(in, box.max);
}

// Bytes whose count the record gives; a count beyond what is left is corrupt, never allocated.
bool ReadBytes(RecordInput& in, size_t count, std::vector<uint8_t>& bytes)
{
    const uint8_t* at = count <= MeshTemplateRenderingData::kMaxBlockBytes ? in.Take(count) : nullptr;
    if (at == nullptr)
        return false;
    bytes.assign(at, at + count);
    return true;
}

bool ReadDeclaration(RecordInput& in, std::vector<uint8_t>& declaration, const char* templateName)
{
    uint32_t count;
    if (!in.ReadU32(count))
        return false;
    if (count > MeshTemplateRenderingData::kMaxVertexElements)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Mesh data of %s declares %u vertex elements", templateName, count);
        return false;
    }
    return ReadBytes(in, size_t(count) * kVertexElementBytes, declaration);
}

// Description words, then the data whose size is the description's word `sizeWord`.
bool ReadBuffer(RecordInput& in, uint32_t words, uint32_t sizeWord, MeshBufferBlock& block)
{
    for (uint32_t i = 0; i < words; ++i)
        if (!in.ReadU32(block.description[i]))
            return false;
    return ReadBytes(in, block.description[sizeWord], block.data);
}

bool SkipCounted(RecordInput& in, size_t elementBytes)
{
    uint32_t count;
    return in.ReadU32(count) && count <= in.Remaining() / elementBytes && in.Skip(count * elementBytes);
}

bool ReadMaterials(RecordInput& in, uint32_t version, bool load, std::vector<MeshMaterial>& materials)
{
    uint32_t count;
    // Every material record takes at least its draw range's 8 bytes.
    if (!in.ReadU32(count) || count > in.Remaining() / 8)
        return false;
    materials.resize(count);
    for (MeshMaterial& material : materials)
        if (!material.Read(in, version, load))
            return false;
    return true;
}

gpu::VertexElement ElementAt(const std::vector<uint8_t>& bytes, size_t index)
{
    const uint8_t* e = bytes.data() + index * kVertexElementBytes;
    gpu::VertexElement element;
    element.stream = uint16_t(e[0] | (e[1] << 8));
    element.offset = uint16_t(e[2] | (e[3] << 8));
    element.type = e[4];
    element.method = e[5];
    element.usage = e[6];
    element.usageIndex = e[7];
    return element;
}

// A declaration the device can take: elements decoded and ending with the end element.
bool DecodeDeclaration(const std::vector<uint8_t>& bytes, std::vector<gpu::VertexElement>& elements)
{
    elements.clear();
    for (size_t i = 0; i < bytes.size() / kVertexElementBytes; ++i)
    {
        elements.push_back(ElementAt(bytes, i));
        if (elements.back().stream == gpu::kDeclEndStream)
            return true;
    }
    return false;
}

// The 12-byte element form's type codes, by element type (an export for another platform).
const uint32_t kWideTypeCodes[18] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 0};

uint32_t ConvertVertexFormat(uint32_t format)
{
    switch (format)
    {
    case 0:
        return 0xFFFFFFFFu;
    case 100:
        return 8;
    case 101:
        return 1;
    case 102:
        return 6;
    default:
        return 0;
    }
}

// Vertex data in the requested byte order: each element's 32- or 16-bit components swapped.
std::vector<uint8_t> SwapVertexData(const std::vector<uint8_t>& data, uint32_t stride,
                                    const std::vector<uint8_t>& declaration)
{
    std::vector<uint8_t> out = data;
    if (stride == 0)
        return out;
    for (size_t i = 0; i < declaration.size() / kVertexElementBytes; ++i)
    {
        const gpu::VertexElement e = ElementAt(declaration, i);
        if (e.stream == gpu::kDeclEndStream)
            break;
        uint32_t words = 0, wordBytes = 0;
        if (e.type <= gpu::kDeclFloat4)
            words = e.type + 1u, wordBytes = 4;
        else if (e.type == gpu::kDeclShort2N || e.type == gpu::kDeclUShort2N || e.type == gpu::kDeclFloat16x2)
            words = 2, wordBytes = 2;
        else if (e.type == gpu::kDeclShort4N || e.type == gpu::kDeclUShort4N || e.type == gpu::kDeclFloat16x4)
            words = 4, wordBytes = 2;
        if (e.offset + size_t(words) * wordBytes > stride)
            continue;
        for (size_t v = 0; v + stride <= out.size(); v += stride)
            for (uint32_t w = 0; w < words; ++w)
                std::reverse(out.begin() + long(v + e.offset + w * wordBytes),
                             out.begin() + long(v + e.offset + (w + 1) * wordBytes));
    }
    return out;
}

void WriteBox(RecordOutput& out, const BoundingBox4& box)
{
    for (const Vector* v : {&box.min, &box.max})
    {
        out.WriteFloat(v->x);
        out.WriteFloat(v->y);
        out.WriteFloat(v->z);
        out.WriteFloat(v->w);
    }
}

void WriteDeclaration(RecordOutput& out, const std::vector<uint8_t>& bytes, uint32_t options)
{
    out.WriteU32(uint32_t(bytes.size() / kVertexElementBytes));
    for (size_t i = 0; i < bytes.size() / kVertexElementBytes; ++i)
    {
        const gpu::VertexElement e = ElementAt(bytes, i);
        if ((options & MeshTemplateRenderingData::kSaveWideElements) != 0)
        {
            out.WriteU16(e.stream);
            out.WriteU16(e.offset);
            out.WriteU32(e.type < 18 ? kWideTypeCodes[e.type] : 0);
            const uint8_t rest[4] = {e.method, e.usage, e.usageIndex, 0};
            out.WriteBytes(rest, 4);
        }
        else if ((options & MeshTemplateRenderingData::kSaveSwappedElements) != 0)
        {
            out.WriteU16(__builtin_bswap16(e.stream));
            out.WriteU16(__builtin_bswap16(e.offset));
            const uint8_t rest[4] = {e.type, e.method, e.usage, e.usageIndex};
            out.WriteBytes(rest, 4);
        }
        else
        {
            out.WriteU16(e.stream);
            out.WriteU16(e.offset);
            const uint8_t rest[4] = {e.type, e.method, e.usage, e.usageIndex};
            out.WriteBytes(rest, 4);
        }
    }
}

// The bytes of a device buffer (read back on the render thread), else the kept block's.
template <typename Job, typename Buffer>
std::vector<uint8_t> BufferBytes(Buffer* buffer, const MeshBufferBlock& kept)
{
    if (buffer == nullptr)
        return kept.data;
    Job job(buffer);
    if (!PostRendererJob(&job, true) || job.GetData() == nullptr)
        return kept.data;
    return std::vector<uint8_t>(job.GetData(), job.GetData() + job.GetDataSize());
}

void WriteBlock(RecordOutput& out, uint32_t words, const MeshBufferBlock& block, const std::vector<uint8_t>& data,
                bool vertexFormat, uint32_t options)
{
    for (uint32_t i = 0; i < words; ++i)
    {
        uint32_t word = i == 4 ? uint32_t(data.size()) : block.description[i];
        if (i == 0 && vertexFormat && (options & MeshTemplateRenderingData::kSaveWideElements) != 0)
            word = ConvertVertexFormat(word);
        out.WriteU32(word);
    }
}
// A managed 16-bit index buffer holding `indices`, stored little-endian.
void FillIndexBlock(MeshBufferBlock& block, const std::vector<uint16_t>& indices)
{
    block.description[0] = kIndexFormat16;
    block.description[3] = gpu::kPoolManaged;
    block.description[4] = uint32_t(indices.size() * 2);
    block.data.resize(indices.size() * 2);
    for (size_t i = 0; i < indices.size(); ++i)
    {
        block.data[2 * i] = uint8_t(indices[i]);
        block.data[2 * i + 1] = uint8_t(indices[i] >> 8);
    }
}
} // namespace

RTTI_DEFINE_CLASS(MeshTemplateRenderingData, NorvexRendererObject)

void MeshTemplateRenderingData::BuildClassProperties(RTTIPropertiesBase&) {}

MeshTemplateRenderingData::MeshTemplateRenderingData()
{
    Reset();
    Link();
}

MeshTemplateRenderingData::~MeshTemplateRenderingData()
{
    Unlink();
    // Device objects are released on the render thread before the object dies; a never-published
    // object (a failed load) holds none.
    gpu::SafeRelease(m_vertexDeclaration);
    gpu::SafeRelease(m_instanceVertexDeclaration);
    gpu::SafeRelease(m_vertexBuffer);
    gpu::SafeRelease(m_indexBuffer);
    gpu::SafeRelease(m_edgeIndexBuffer);
    gpu::SafeRelease(m_contourVertexBuffer);
    gpu::SafeRelease(m_contourIndexBuffer);
}

void MeshTemplateRenderingData::Link()
{
    os::ScopedLock lock(gListLock);
    m_previous = gListTail;
    m_next = nullptr;
    (gListTail != nullptr ? gListTail->m_next : gListHead) = this;
    gListTail = this;
    ++gLiveCount;
}

void MeshTemplateRenderingData::Unlink()
{
    os::ScopedLock lock(gListLock);
    (m_previous != nullptr ? m_previous->m_next : gListHead) = m_next;
    (m_next != nullptr ? m_next->m_previous : gListTail) = m_previous;
    m_previous = m_next = nullptr;
    --gLiveCount;
}

uint32_t MeshTemplateRenderingData::GetLiveCount()
{
    os::ScopedLock lock(gListLock);
    return gLiveCount;
}

void MeshTemplateRenderingData::RefreshAllMaterials()
{
    os::ScopedLock lock(gListLock);
    for (MeshTemplateRenderingData* data = gListHead; data != nullptr; data = data->m_next)
        for (MeshShaderPreset& preset : data->m_presets)
            for (MeshMaterial& material : preset.materials)
                material.ResolveShaders(true);
}

void MeshTemplateRenderingData::Reset()
{
    m_meshFlags = 0;
    m_bounds = kDefaultBounds;
    m_secondBounds = kDefaultBounds;
    m_declaration.clear();
    m_instanceDeclaration.clear();
    m_vertexCount = m_vertexStride = m_cpuLayoutFlags = m_cpuStride = 0;
    m_cpuVertices.clear();
    m_vertices = m_indices = m_lines = m_contourVertices = m_contourIndices = MeshBufferBlock();
    m_indexData.clear();
    m_triangleCount = m_lineCount = m_contourCountA = m_contourCountB = m_boneCount = 0;
    m_presets.clear();
    m_positionOffset = Vector();
    m_positionScale = Vector(1.0f, 1.0f, 1.0f, 1.0f);
    m_pickingUsable = false;
    const uint8_t defaults[8] = {1, 0, 0, 0, 1, 0, 0, 0};
    std::copy(defaults, defaults + 8, m_renderBytes);
}

bool MeshTemplateRenderingData::Load(RecordInput& in, uint32_t version, const char* templateName)
{
    Reset();
    if (!ReadRecord(in, version, templateName) || !KeepIndexData(templateName))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Mesh data of %s is cut short or corrupt", templateName);
        Reset();
        return false;
    }
    if (version >= 10)
        BuildCollisionCopy();
    RefreshPickingCopy(templateName);
    CreateDeviceObjects(templateName);
    SetReady();
    return true;
}

bool MeshTemplateRenderingData::ReadRecord(RecordInput& in, uint32_t v, const char* templateName)
{
    if ((v >= 36 && !in.ReadU32(m_meshFlags)) || (v >= 25 && !ReadBox(in, m_bounds)) ||
        (v >= 26 && v <= 42 && !in.Skip(64)) || (v >= 44 && !ReadBox(in, m_secondBounds)))
        return false;
    if (!ReadDeclaration(in, m_declaration, templateName) ||
        (v >= 23 && !ReadDeclaration(in, m_instanceDeclaration, templateName)))
        return false;
    if (!in.ReadU32(m_vertexCount) || !in.ReadU32(m_vertexStride))
        return false;
    if ((m_meshFlags & 1) != 0)
    {
        if (!in.ReadU32(m_cpuLayoutFlags) || !in.ReadU32(m_cpuStride) ||
            (m_cpuStride != 0 && m_vertexCount > in.Remaining() / m_cpuStride) ||
            !ReadBytes(in, size_t(m_vertexCount) * m_cpuStride, m_cpuVertices))
            return false;
    }
    else if (!ReadBuffer(in, 6, 4, m_vertices))
        return false;
    if (!in.ReadU32(m_triangleCount) || !ReadBuffer(in, 5, 4, m_indices) || !in.ReadU32(m_lineCount) ||
        !ReadBuffer(in, 5, 4, m_lines))
        return false;
    MeshBufferBlock obsolete;
    if (v >= 39 && v < 50 && (!in.Skip(4) || !ReadBuffer(in, 6, 4, obsolete)))
        return false;
    if (v >= 50 && (!in.ReadU32(m_contourCountA) || !in.ReadU32(m_contourCountB) ||
                    !ReadBuffer(in, 6, 4, m_contourVertices) || !ReadBuffer(in, 5, 4, m_contourIndices)))
        return false;
    if ((v == 6 && !in.Skip(4)) || (v >= 6 && !in.ReadU32(m_boneCount)))
        return false;
    std::vector<MeshMaterial> dropped;
    if (v < 11 && !ReadMaterials(in, v, false, dropped))
        return false;
    if (v >= 10 && v < 33)
    {
        uint32_t count, unused, stride;
        if (!in.ReadU32(count) || !in.ReadU32(unused) || !in.ReadU32(stride) ||
            (stride != 0 && count > in.Remaining() / stride) || !in.Skip(size_t(count) * stride))
            return false;
    }
    if (v >= 3 && v < 10)
    {
        if (!SkipCounted(in, 12))
            return false;
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Collision info for %s outdated. Please use mesh editor to refresh it",
                       templateName);
    }
    if (v >= 3 && v < 32 && !SkipCounted(in, 6))
        return false;
    if (v > 10)
    {
        uint32_t count;
        if (!in.ReadU32(count) || count > in.Remaining() / 4)
            return false;
        m_presets.resize(count);
        for (MeshShaderPreset& preset : m_presets)
        {
            if ((v > 11 && !RTTIValueTraits<NameString>::Read(in, preset.name)) ||
                !ReadMaterials(in, v, true, preset.materials))
                return false;
            if (v >= 34)
            {
                if (!in.ReadU32(preset.channelMask))
                    return false;
            }
            else
                for (const MeshMaterial& material : preset.materials)
                    if (material.channel >= 1 && material.channel <= 4)
                        preset.channelMask |= 1u << material.channel;
        }
    }
    uint8_t* const b = m_renderBytes;
    // Stream order A, C, B, F, skip, D, E, G; the object keeps A to G, then skip.
    return (v < 20 || (in.ReadU8(b[0]) && in.ReadU8(b[2]))) && (v < 27 || in.ReadU8(b[1])) &&
           (v < 49 || in.ReadU8(b[5])) && (v < 31 || in.ReadU8(b[7])) && (v < 22 || in.ReadU8(b[3])) &&
           (v < 24 || in.ReadU8(b[4])) && (v < 48 || in.ReadU8(b[6])) && (v < 28 || v > 34 || in.Skip(1));
}

bool MeshTemplateRenderingData::KeepIndexData(const char* templateName)
{
    const std::vector<uint8_t>& data = m_indices.data;
    if (m_indices.description[0] != kRenderDataIndexFormat32)
    {
        m_indexData.assign(data.begin(), data.end() - long(data.size() % 2));
        return true;
    }
    // The CPU paths read 16-bit indices: 32-bit data is converted, never reinterpreted.
    m_indexData.resize(data.size() / 4 * 2);
    for (size_t i = 0; i + 4 <= data.size(); i += 4)
    {
        const uint32_t index = uint32_t(data[i]) | (uint32_t(data[i + 1]) << 8) | (uint32_t(data[i + 2]) << 16) |
                               (uint32_t(data[i + 3]) << 24);
        if (index > 0xFFFF)
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Mesh data of %s has index %u, past what 16 bits hold",
                           templateName, index);
            return false;
        }
        m_indexData[i / 2] = uint8_t(index);
        m_indexData[i / 2 + 1] = uint8_t(index >> 8);
    }
    return true;
}

void MeshTemplateRenderingData::BuildCollisionCopy()
{
    if ((m_meshFlags & 1) != 0 || m_vertices.data.empty() || !gProjectConfig.UseCollisionVertices())
        return;
    m_cpuVertices.clear();
    m_cpuLayoutFlags = m_cpuStride = 0;
    int position = -1, weights = -1, indices = -1;
    size_t count = 0;
    for (; count < m_declaration.size() / kVertexElementBytes; ++count)
    {
        const gpu::VertexElement e = ElementAt(m_declaration, count);
        if (e.stream == gpu::kDeclEndStream)
            break;
        if (e.usage == gpu::kDeclUsagePosition && position < 0)
            position = int(count);
        else if (e.usage == gpu::kDeclUsageBlendWeight && weights < 0)
            weights = int(count);
        else if (e.usage == gpu::kDeclUsageBlendIndices && indices < 0)
            indices = int(count);
    }
    if (position < 0)
        return;
    const gpu::VertexElement p = ElementAt(m_declaration, size_t(position));
    uint32_t layout = 0, positionBytes = 0;
    if (p.type == gpu::kDeclFloat3)
        layout = kLayoutFloat, positionBytes = 12;
    else if (p.type == gpu::kDeclShort4N)
        layout = kLayoutPacked, positionBytes = 8;
    else
        return;
    uint32_t blendAt = 0;
    if (weights >= 0 && indices == weights + 1 &&
        ElementAt(m_declaration, size_t(indices)).offset == ElementAt(m_declaration, size_t(weights)).offset + 4)
    {
        layout |= kLayoutSkinned;
        blendAt = ElementAt(m_declaration, size_t(weights)).offset;
    }
    const uint32_t stride = positionBytes + ((layout & kLayoutSkinned) != 0 ? 8 : 0);
    // Every read of the copy stays inside the vertex data the stream really carried.
    if (m_vertexStride == 0 || uint64_t(m_vertexCount) * m_vertexStride > m_vertices.data.size() ||
        p.offset + positionBytes > m_vertexStride || ((layout & kLayoutSkinned) != 0 && blendAt + 8 > m_vertexStride))
        return;
    m_cpuVertices.resize(size_t(m_vertexCount) * stride);
    for (uint32_t v = 0; v < m_vertexCount; ++v)
    {
        const uint8_t* from = m_vertices.data.data() + size_t(v) * m_vertexStride;
        uint8_t* to = m_cpuVertices.data() + size_t(v) * stride;
        std::memcpy(to, from + p.offset, positionBytes);
        if ((layout & kLayoutSkinned) != 0)
            std::memcpy(to + positionBytes, from + blendAt, 8);
    }
    m_cpuLayoutFlags = layout;
    m_cpuStride = stride;
}

uint32_t MeshTemplateRenderingData::GetPickingLayout() const
{
    if ((m_meshFlags & 1) == 0)
        return m_cpuLayoutFlags;
    uint32_t layout = m_cpuLayoutFlags | kLayoutIndicesFirst;
    if ((layout & (kLayoutFloat | kLayoutPacked)) == 0)
        layout |= kLayoutFloat;
    return layout;
}

void MeshTemplateRenderingData::CreateDeviceObjects(const char* templateName)
{
    if (gRenderer == nullptr)
        return;
    std::vector<gpu::VertexElement> elements;
    if (DecodeDeclaration(m_declaration, elements))
    {
        NorvexRendererVertexDeclarationCreationJob job(elements.data(), uint32_t(elements.size()));
        if (PostRendererJob(&job, true))
            m_vertexDeclaration = job.TakeDeclaration();
    }
    if (!m_instanceDeclaration.empty() && DecodeDeclaration(m_instanceDeclaration, elements))
    {
        NorvexRendererVertexDeclarationCreationJob job(elements.data(), uint32_t(elements.size()));
        if (PostRendererJob(&job, true))
            m_instanceVertexDeclaration = job.TakeDeclaration();
    }
    auto vertexBuffer = [](MeshBufferBlock& block) -> gpu::GpuVertexBuffer* {
        if (block.data.empty())
            return nullptr;
        NorvexRendererVertexBufferCreationJob job(uint32_t(block.data.size()), block.description[2],
                                                  block.description[5], block.description[3], block.data.data(),
                                                  false);
        return PostRendererJob(&job, true) ? job.TakeBuffer() : nullptr;
    };
    auto indexBuffer = [](MeshBufferBlock& block) -> gpu::GpuIndexBuffer* {
        if (block.data.empty())
            return nullptr;
        const gpu::Format format = block.description[0] == kRenderDataIndexFormat32 ? gpu::kFormatIndex32 : gpu::kFormatIndex16;
        NorvexRendererIndexBufferCreationJob job(uint32_t(block.data.size()), block.description[2], format,
                                                 block.description[3], block.data.data(), false);
        return PostRendererJob(&job, true) ? job.TakeBuffer() : nullptr;
    };
    if ((m_meshFlags & 1) == 0)
        m_vertexBuffer = vertexBuffer(m_vertices);
    m_indexBuffer = indexBuffer(m_indices);
    m_edgeIndexBuffer = indexBuffer(m_lines);
    m_contourVertexBuffer = vertexBuffer(m_contourVertices);
    m_contourIndexBuffer = indexBuffer(m_contourIndices);
    // The device holds what it took; the kept copies would only double the memory. Save reads back.
    for (auto [buffer, block] : {std::pair<bool, MeshBufferBlock*>{m_vertexBuffer != nullptr, &m_vertices},
                                 {m_indexBuffer != nullptr, &m_indices},
                                 {m_edgeIndexBuffer != nullptr, &m_lines},
                                 {m_contourVertexBuffer != nullptr, &m_contourVertices},
                                 {m_contourIndexBuffer != nullptr, &m_contourIndices}})
        if (buffer)
            std::vector<uint8_t>().swap(block->data);
    if (m_vertexDeclaration == nullptr && !m_declaration.empty())
        gConsole.Warning(CONSOLE_CHANNEL_RENDER, "Mesh data of %s: its vertex declaration could not be created",
                         templateName);
}

void MeshTemplateRenderingData::Save(RecordOutput& target, uint32_t options) const
{
    const std::vector<uint8_t> vertices =
        BufferBytes<NorvexRendererVertexBufferSerializationJob>(m_vertexBuffer, m_vertices);
    const std::vector<uint8_t> indices = BufferBytes<NorvexRendererIndexBufferSerializationJob>(m_indexBuffer, m_indices);
    const std::vector<uint8_t> lines = BufferBytes<NorvexRendererIndexBufferSerializationJob>(m_edgeIndexBuffer, m_lines);
    const std::vector<uint8_t> contourVertices =
        BufferBytes<NorvexRendererVertexBufferSerializationJob>(m_contourVertexBuffer, m_contourVertices);
    const std::vector<uint8_t> contourIndices =
        BufferBytes<NorvexRendererIndexBufferSerializationJob>(m_contourIndexBuffer, m_contourIndices);
    const bool swap = (options & kSaveByteSwap) != 0 || target.ByteSwaps();
    auto swapIndices = [swap](const std::vector<uint8_t>& data, uint32_t format) {
        std::vector<uint8_t> out = data;
        const size_t width = format == kRenderDataIndexFormat32 ? 4 : 2;
        if (swap)
            for (size_t i = 0; i + width <= out.size(); i += width)
                std::reverse(out.begin() + long(i), out.begin() + long(i + width));
        return out;
    };

    auto write = [&](RecordOutput& out) {
        out.WriteU32(m_meshFlags);
        WriteBox(out, m_bounds);
        WriteBox(out, m_secondBounds);
        WriteDeclaration(out, m_declaration, options);
        WriteDeclaration(out, m_instanceDeclaration, options);
        out.WriteU32(m_vertexCount);
        out.WriteU32(m_vertexStride);
        if ((m_meshFlags & 1) != 0)
        {
            out.WriteU32(m_cpuLayoutFlags);
            out.WriteU32(m_cpuStride);
            out.WriteBytes(m_cpuVertices.data(), m_cpuVertices.size());
        }
        else
        {
            WriteBlock(out, 6, m_vertices, vertices, true, options);
            const std::vector<uint8_t> data = swap ? SwapVertexData(vertices, m_vertexStride, m_declaration) : vertices;
            out.WriteBytes(data.data(), data.size());
            if ((options & kSaveSwappedElements) != 0 && m_vertexStride != 0)
            {
                const uint32_t count = uint32_t(vertices.size() / m_vertexStride);
                out.WriteU32(count * 6);
                out.WriteU32(6);
                for (uint32_t v = 0; v < count; ++v)
                    out.WriteBytes(data.data() + size_t(v) * m_vertexStride, std::min<uint32_t>(6, m_vertexStride));
            }
        }
        out.WriteU32(m_triangleCount);
        WriteBlock(out, 5, m_indices, indices, false, options);
        const std::vector<uint8_t> indexBytes = swapIndices(indices, m_indices.description[0]);
        out.WriteBytes(indexBytes.data(), indexBytes.size());
        out.WriteU32(m_lineCount);
        WriteBlock(out, 5, m_lines, lines, false, options);
        const std::vector<uint8_t> lineBytes = swapIndices(lines, m_lines.description[0]);
        out.WriteBytes(lineBytes.data(), lineBytes.size());
        out.WriteU32(m_contourCountA);
        out.WriteU32(m_contourCountB);
        WriteBlock(out, 6, m_contourVertices, contourVertices, true, options);
        out.WriteBytes(contourVertices.data(), contourVertices.size());
        WriteBlock(out, 5, m_contourIndices, contourIndices, false, options);
        const std::vector<uint8_t> contourBytes = swapIndices(contourIndices, m_contourIndices.description[0]);
        out.WriteBytes(contourBytes.data(), contourBytes.size());
        out.WriteU32(m_boneCount);
        out.WriteU32(uint32_t(m_presets.size()));
        for (const MeshShaderPreset& preset : m_presets)
        {
            RTTIValueTraits<NameString>::Write(out, preset.name);
            out.WriteU32(uint32_t(preset.materials.size()));
            for (const MeshMaterial& material : preset.materials)
                material.Write(out);
            out.WriteU32(preset.channelMask);
        }
        const uint8_t* const b = m_renderBytes;
        for (uint8_t byte : {b[0], b[2], b[1], b[5], b[7], b[3], b[4], b[6]})
            out.WriteU8(byte);
    };
    if (swap == target.ByteSwaps())
    {
        write(target);
        return;
    }
    RecordOutput count(nullptr, 0, swap);
    write(count);
    std::vector<uint8_t> bytes(count.Size());
    RecordOutput out(bytes.data(), bytes.size(), swap);
    write(out);
    target.WriteBytes(bytes.data(), bytes.size());
}

void MeshTemplateRenderingData::DestroyOnRenderThread()
{
    ReleaseDeviceObjects();
    NorvexRendererObject::DestroyOnRenderThread();
}

void MeshTemplateRenderingData::ReleaseDeviceObjects()
{
    gpu::SafeRelease(m_vertexDeclaration);
    gpu::SafeRelease(m_instanceVertexDeclaration);
    gpu::SafeRelease(m_vertexBuffer);
    gpu::SafeRelease(m_indexBuffer);
    gpu::SafeRelease(m_edgeIndexBuffer);
    gpu::SafeRelease(m_contourVertexBuffer);
    gpu::SafeRelease(m_contourIndexBuffer);
    for (MeshShaderPreset& preset : m_presets)
        for (MeshMaterial& material : preset.materials)
            material.ClearLinks();
}

void MeshTemplateRenderingData::ReleaseMaterials()
{
    for (MeshShaderPreset& preset : m_presets)
        for (MeshMaterial& material : preset.materials)
            material.ReleaseAll();
}

uint32_t MeshTemplateRenderingData::GetPresetValue(uint32_t index) const
{
    return index < m_presets.size() ? m_presets[index].channelMask : 0;
}

bool MeshTemplateRenderingData::GetRenderSwitch(uint32_t index) const
{
    // Render bytes A, B, C and D give the entity's render flags 0x40, 0x80, 0x20 and 0x200.
    return index < 4 && m_renderBytes[index] != 0;
}

void MeshTemplateRenderingData::SetRenderBytes(const uint8_t (&bytes)[7])
{
    for (int i = 0; i < 7; ++i)
        m_renderBytes[i] = bytes[i];
}

bool MeshTemplateRenderingData::CheckPickingCopy(const char* templateName) const
{
    if (m_cpuVertices.empty() || m_indexData.empty())
        return false;
    const uint32_t layout = GetPickingLayout();
    const uint32_t position = layout & (kLayoutFloat | kLayoutPacked);
    uint32_t needed = position == kLayoutFloat ? 12 : 8;
    if ((layout & kLayoutSkinned) != 0)
        needed += 8;
    const char* problem = nullptr;
    if (m_cpuStride < needed)
        problem = "a vertex stride shorter than its layout";
    else if (uint64_t(m_vertexCount) * m_cpuStride > m_cpuVertices.size())
        problem = "fewer vertex bytes than vertices";
    else if (m_indexData.size() % 6 != 0)
        problem = "index data that is not whole triangles";
    const uint32_t triangles = GetPickingTriangleCount();
    for (size_t i = 0; problem == nullptr && i + 1 < m_indexData.size(); i += 2)
        if (uint32_t(m_indexData[i] | (m_indexData[i + 1] << 8)) >= m_vertexCount)
            problem = "an index past the last vertex";
    for (const MeshShaderPreset& preset : m_presets)
        for (const MeshMaterial& material : preset.materials)
            if (problem == nullptr && uint64_t(material.startTriangle) + material.triangleCount > triangles)
                problem = "a draw range past the last triangle";
    if (problem == nullptr)
        return true;
    gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Mesh data of %s has %s: it cannot be picked", templateName, problem);
    return false;
}

void MeshTemplateRenderingData::AddPreset(const MeshShaderPreset& preset)
{
    m_presets.push_back(preset);
    if ((m_meshFlags & 1) != 0)
        RefreshPickingCopy("a built mesh");
}

void MeshTemplateRenderingData::SetPickingLayout(uint32_t layoutFlags, uint32_t stride)
{
    m_meshFlags |= 1;
    m_cpuLayoutFlags = layoutFlags;
    m_cpuStride = stride;
    m_cpuVertices = m_vertices.data;
    m_vertices = MeshBufferBlock();
    RefreshPickingCopy("a built mesh");
}

void MeshTemplateRenderingData::SetPositionDecoding(const Vector& offset, const Vector& scale)
{
    m_positionOffset = offset;
    m_positionScale = scale;
}

void MeshTemplateRenderingData::SetGeometry(uint32_t vertexCount, uint32_t stride, const std::vector<uint8_t>& vertices,
                                            const std::vector<uint16_t>& indices)
{
    m_vertexCount = vertexCount;
    m_vertexStride = stride;
    if ((m_meshFlags & 1) != 0)
        m_cpuVertices = vertices;
    else
    {
        m_vertices.data = vertices;
        m_vertices.description[1] = 3; // a vertex buffer resource
        m_vertices.description[3] = gpu::kPoolManaged;
        m_vertices.description[4] = uint32_t(vertices.size());
    }
    m_triangleCount = uint32_t(indices.size() / 3);
    FillIndexBlock(m_indices, indices);
    m_indexData = m_indices.data;
    if ((m_meshFlags & 1) != 0)
        RefreshPickingCopy("a built mesh");
}

void MeshTemplateRenderingData::SetEdgeLines(const std::vector<uint16_t>& indices)
{
    m_lineCount = uint32_t(indices.size() / 2);
    FillIndexBlock(m_lines, indices);
}

void MeshTemplateRenderingData::SetContours(uint32_t countA, uint32_t countB, const std::vector<uint8_t>& vertices,
                                            const std::vector<uint16_t>& indices)
{
    m_contourCountA = countA;
    m_contourCountB = countB;
    m_contourVertices.data = vertices;
    m_contourVertices.description[1] = 3; // a vertex buffer resource
    m_contourVertices.description[3] = gpu::kPoolManaged;
    m_contourVertices.description[4] = uint32_t(vertices.size());
    FillIndexBlock(m_contourIndices, indices);
}
