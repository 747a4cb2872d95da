#include "renderer/MeshTemplateRenderingData.h"

#include "core/console/GameConsole.h"
#include "core/reflection/RTTIValueTraits.h"
#include "core/reflection/RecordStream.h"

#include <algorithm>
#include <atomic>

namespace
{
const BoundingBox4 kDefaultBounds(Vector(0.0f, 0.0f, 0.0f, 1.0f), Vector(1.0f, 1.0f, 1.0f, 1.0f));
constexpr size_t kVertexElementBytes = 8;

bool ReadVector(RecordInput& in, Vector& v)
{
    return in.ReadFloat(v.x) && in.ReadFloat(v.y) && in.ReadFloat(v.z) && in.ReadFloat(v.w);
}

void WriteVector(RecordOutput& out, const Vector& v)
{
    out.WriteFloat(v.x);
    out.WriteFloat(v.y);
    out.WriteFloat(v.z);
    out.WriteFloat(v.w);
}

bool ReadBox(RecordInput& in, BoundingBox4& box)
{
    return ReadVector(in, box.min) && ReadVector(in, box.max);
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

bool ReadDeclaration(RecordInput& in, std::vector<uint8_t>& declaration)
{
    uint32_t count;
    return in.ReadU32(count) && count <= in.Remaining() / kVertexElementBytes &&
           ReadBytes(in, size_t(count) * kVertexElementBytes, declaration);
}

// Description words, then the data whose size is the description's word `sizeWord`.
bool ReadBuffer(RecordInput& in, uint32_t words, uint32_t sizeWord, MeshBufferBlock& block)
{
    for (uint32_t i = 0; i < words; ++i)
        if (!in.ReadU32(block.description[i]))
            return false;
    return ReadBytes(in, block.description[sizeWord], block.data);
}

void WriteBuffer(RecordOutput& out, uint32_t words, const MeshBufferBlock& block)
{
    for (uint32_t i = 0; i < words; ++i)
        out.WriteU32(block.description[i]);
    out.WriteBytes(block.data.data(), block.data.size());
}

bool SkipCounted(RecordInput& in, size_t elementBytes)
{
    uint32_t count;
    return in.ReadU32(count) && count <= in.Remaining() / elementBytes && in.Skip(count * elementBytes);
}

bool ReadText(RecordInput& in, std::string& text)
{
    uint32_t length;
    const uint8_t* at = nullptr;
    if (!in.ReadU32(length) || (at = in.Take(length)) == nullptr)
        return false;
    text.assign(reinterpret_cast<const char*>(at), length);
    return true;
}

void WriteText(RecordOutput& out, const std::string& text)
{
    out.WriteU32(uint32_t(text.size()));
    out.WriteBytes(text.data(), text.size());
}

bool ReadU16(RecordInput& in, uint16_t& value)
{
    return in.ReadU16(value);
}

bool ReadMaterial(RecordInput& in, uint32_t v, MeshMaterial& m)
{
    if (v >= 14)
    {
        uint32_t count;
        if (!in.ReadU32(count) || count > in.Remaining() / 8)
            return false;
        m.constantRanges.resize(size_t(count) * 2);
        for (uint32_t& word : m.constantRanges)
            if (!in.ReadU32(word))
                return false;
        if (!in.ReadU32(count) || count > in.Remaining() / 16)
            return false;
        m.constants.resize(count);
        for (Vector& constant : m.constants)
            if (!ReadVector(in, constant))
                return false;
        if (!in.ReadU32(count) || count > in.Remaining() / 12)
            return false;
        m.textures.resize(count);
        for (MeshMaterialTexture& texture : m.textures)
            if (!ReadText(in, texture.name) || !in.ReadU32(texture.stage) || !in.ReadU32(texture.flags))
                return false;
    }
    if (v >= 16 && !in.ReadU32(m.vertexConstantRangeCount))
        return false;
    std::string dropped;
    if (v < 15 && !ReadText(in, dropped))
        return false;
    if (v >= 5 && (!ReadText(in, m.shaderName) || !ReadText(in, m.options)))
        return false;
    if (v > 17 && (!in.ReadU32(m.alphaTestMode) || !in.ReadU32(m.alphaReference) || !in.ReadU32(m.blendMode)))
        return false;
    if ((v > 18 && !in.ReadU32(m.depthBias)) || (v >= 37 && !in.ReadU32(m.depthWriteOverride)) ||
        (v >= 38 && !in.ReadU32(m.depthTest)) || (v > 16 && !in.ReadU32(m.flags)))
        return false;
    if (!in.ReadU32(m.startTriangle) || !in.ReadU32(m.triangleCount))
        return false;
    if (v >= 37 && (!ReadU16(in, m.firstVertex) || !ReadU16(in, m.lastVertex)))
        return false;
    if (v >= 50 && (!ReadU16(in, m.contourCount) || !ReadU16(in, m.firstContour)))
        return false;
    if (v >= 41 && (!in.ReadFloat(m.contourWidth) || !in.ReadFloat(m.contourSoftness)))
        return false;
    if ((v >= 45 && !in.ReadFloat(m.specularExponent)) || (v >= 13 && v <= 14 && !in.Skip(16)) ||
        (v >= 22 && !in.ReadU8(m.channel)) || (v >= 30 && !in.ReadU8(m.boneIndex)))
        return false;
    if (v >= 29 && (!in.ReadFloat(m.scale) || (v <= 45 && !in.Skip(4))))
        return false;
    if (v >= 21 &&
        (!ReadVector(in, m.textureScale) || !ReadVector(in, m.textureOffset) || !ReadVector(in, m.textureScroll)))
        return false;
    return v < 53 || (in.ReadU8(m.tilesAcross) && in.ReadU8(m.tilesDown) && in.ReadFloat(m.frameRate));
}

void WriteMaterial(RecordOutput& out, const MeshMaterial& m)
{
    out.WriteU32(uint32_t(m.constantRanges.size() / 2));
    for (uint32_t word : m.constantRanges)
        out.WriteU32(word);
    out.WriteU32(uint32_t(m.constants.size()));
    for (const Vector& constant : m.constants)
        WriteVector(out, constant);
    out.WriteU32(uint32_t(m.textures.size()));
    for (const MeshMaterialTexture& texture : m.textures)
    {
        WriteText(out, texture.name);
        out.WriteU32(texture.stage);
        out.WriteU32(texture.flags);
    }
    out.WriteU32(m.vertexConstantRangeCount);
    WriteText(out, m.shaderName);
    WriteText(out, m.options);
    for (uint32_t word : {m.alphaTestMode, m.alphaReference, m.blendMode, m.depthBias, m.depthWriteOverride,
                          m.depthTest, m.flags, m.startTriangle, m.triangleCount})
        out.WriteU32(word);
    for (uint16_t half : {m.firstVertex, m.lastVertex, m.contourCount, m.firstContour})
        out.WriteU16(half);
    out.WriteFloat(m.contourWidth);
    out.WriteFloat(m.contourSoftness);
    out.WriteFloat(m.specularExponent);
    out.WriteU8(m.channel);
    out.WriteU8(m.boneIndex);
    out.WriteFloat(m.scale);
    WriteVector(out, m.textureScale);
    WriteVector(out, m.textureOffset);
    WriteVector(out, m.textureScroll);
    out.WriteU8(m.tilesAcross);
    out.WriteU8(m.tilesDown);
    out.WriteFloat(m.frameRate);
}

bool ReadMaterials(RecordInput& in, uint32_t version, std::vector<MeshMaterial>& materials)
{
    uint32_t count;
    // Every material record takes at least its draw range's 8 bytes.
    if (!in.ReadU32(count) || count > in.Remaining() / 8)
        return false;
    materials.resize(count);
    for (MeshMaterial& material : materials)
        if (!ReadMaterial(in, version, material))
            return false;
    return true;
}

std::atomic<bool> gNotBuiltLogged{false};
} // namespace

RTTI_DEFINE_CLASS(MeshTemplateRenderingData, NorvexRendererObject)

void MeshTemplateRenderingData::BuildClassProperties(RTTIPropertiesBase&) {}

void MeshTemplateRenderingData::Reset()
{
    m_meshFlags = 0;
    m_bounds = kDefaultBounds;
    m_secondBounds = kDefaultBounds;
    m_declaration.clear();
    m_instanceDeclaration.clear();
    m_vertexCount = m_vertexStride = m_cpuLayoutFlags = m_cpuStride = 0;
    m_vertices = m_indices = m_lines = m_contourVertices = m_contourIndices = MeshBufferBlock();
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
    if (!gNotBuiltLogged.exchange(true))
        gConsole.Printf(0, CONSOLE_CHANNEL_RENDER, "Mesh device data is not built yet: meshes keep their records only");
    if (ReadRecord(in, version, templateName))
    {
        RefreshPickingCopy(templateName);
        return true;
    }
    gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Mesh data of %s is cut short or corrupt", templateName);
    Reset();
    return false;
}

bool MeshTemplateRenderingData::ReadRecord(RecordInput& in, uint32_t v, const char* templateName)
{
    if ((v >= 36 && !in.ReadU32(m_meshFlags)) || (v >= 25 && !ReadBox(in, m_bounds)) ||
        (v >= 26 && v <= 42 && !in.Skip(64)) || (v >= 44 && !ReadBox(in, m_secondBounds)))
        return false;
    if (!ReadDeclaration(in, m_declaration) || (v >= 23 && !ReadDeclaration(in, m_instanceDeclaration)))
        return false;
    if (!in.ReadU32(m_vertexCount) || !in.ReadU32(m_vertexStride))
        return false;
    if ((m_meshFlags & 1) != 0)
    {
        if (!in.ReadU32(m_cpuLayoutFlags) || !in.ReadU32(m_cpuStride) ||
            (m_cpuStride != 0 && m_vertexCount > in.Remaining() / m_cpuStride) ||
            !ReadBytes(in, size_t(m_vertexCount) * m_cpuStride, m_vertices.data))
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
    if (v < 11 && !ReadMaterials(in, v, dropped))
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
                !ReadMaterials(in, v, preset.materials))
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

void MeshTemplateRenderingData::Save(RecordOutput& out) const
{
    out.WriteU32(m_meshFlags);
    WriteVector(out, m_bounds.min);
    WriteVector(out, m_bounds.max);
    WriteVector(out, m_secondBounds.min);
    WriteVector(out, m_secondBounds.max);
    out.WriteU32(uint32_t(m_declaration.size() / kVertexElementBytes));
    out.WriteBytes(m_declaration.data(), m_declaration.size());
    out.WriteU32(uint32_t(m_instanceDeclaration.size() / kVertexElementBytes));
    out.WriteBytes(m_instanceDeclaration.data(), m_instanceDeclaration.size());
    out.WriteU32(m_vertexCount);
    out.WriteU32(m_vertexStride);
    if ((m_meshFlags & 1) != 0)
    {
        out.WriteU32(m_cpuLayoutFlags);
        out.WriteU32(m_cpuStride);
        out.WriteBytes(m_vertices.data.data(), m_vertices.data.size());
    }
    else
        WriteBuffer(out, 6, m_vertices);
    out.WriteU32(m_triangleCount);
    WriteBuffer(out, 5, m_indices);
    out.WriteU32(m_lineCount);
    WriteBuffer(out, 5, m_lines);
    out.WriteU32(m_contourCountA);
    out.WriteU32(m_contourCountB);
    WriteBuffer(out, 6, m_contourVertices);
    WriteBuffer(out, 5, m_contourIndices);
    out.WriteU32(m_boneCount);
    out.WriteU32(uint32_t(m_presets.size()));
    for (const MeshShaderPreset& preset : m_presets)
    {
        RTTIValueTraits<NameString>::Write(out, preset.name);
        out.WriteU32(uint32_t(preset.materials.size()));
        for (const MeshMaterial& material : preset.materials)
            WriteMaterial(out, material);
        out.WriteU32(preset.channelMask);
    }
    const uint8_t* const b = m_renderBytes;
    for (uint8_t byte : {b[0], b[2], b[1], b[5], b[7], b[3], b[4], b[6]})
        out.WriteU8(byte);
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
    if ((m_meshFlags & 1) == 0 || m_indices.data.empty())
        return false;
    const uint32_t position = m_cpuLayoutFlags & (kLayoutFloat | kLayoutPacked);
    uint32_t needed = position == kLayoutFloat ? 12 : 8;
    if ((m_cpuLayoutFlags & kLayoutSkinned) != 0)
        needed += 8;
    const char* problem = nullptr;
    if (m_cpuStride < needed)
        problem = "a vertex stride shorter than its layout";
    else if (uint64_t(m_vertexCount) * m_cpuStride > m_vertices.data.size())
        problem = "fewer vertex bytes than vertices";
    else if (m_indices.data.size() % 6 != 0)
        problem = "index data that is not whole triangles";
    const uint32_t triangles = GetPickingTriangleCount();
    for (size_t i = 0; problem == nullptr && i + 1 < m_indices.data.size(); i += 2)
        if (uint32_t(m_indices.data[i] | (m_indices.data[i + 1] << 8)) >= m_vertexCount)
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
    m_vertices.data = vertices;
    m_vertices.description[4] = uint32_t(vertices.size());
    m_triangleCount = uint32_t(indices.size() / 3);
    m_indices.description[0] = 101;
    m_indices.description[4] = uint32_t(indices.size() * 2);
    m_indices.data.resize(indices.size() * 2);
    for (size_t i = 0; i < indices.size(); ++i)
    {
        m_indices.data[2 * i] = uint8_t(indices[i]);
        m_indices.data[2 * i + 1] = uint8_t(indices[i] >> 8);
    }
    if ((m_meshFlags & 1) != 0)
        RefreshPickingCopy("a built mesh");
}
