// MeshTemplateRenderingData: the mesh data of a mesh template as its body stream carries it. Only
// the CPU-side record is built here: the stream is read and written field by field and its shader
// presets, render switches and picking copy are kept, but no device objects are created and no
// material resolves its shaders or textures (logged at load). Read on the resource thread while the
// template loads; read-only on the main thread afterwards.
#pragma once

#include "core/math/BoundingBox4.h"
#include "core/math/Vector.h"
#include "core/strings/NameString.h"
#include "renderer/NorvexRendererObject.h"

#include <cstdint>
#include <string>
#include <vector>

class RecordInput;
class RecordOutput;

// One texture binding of a material: the texture's file name, sampler stage and flags.
struct MeshMaterialTexture
{
    std::string name;
    uint32_t stage = 0;
    uint32_t flags = 0;
};

// One material of a shader preset: its shader, constants, textures, states and draw range.
struct MeshMaterial
{
    std::vector<uint32_t> constantRanges; // pairs of first register and vector count
    std::vector<Vector> constants;
    std::vector<MeshMaterialTexture> textures;
    uint32_t vertexConstantRangeCount = 0;
    std::string shaderName = "MeshSolid";
    std::string options;
    uint32_t alphaTestMode = 0;
    uint32_t alphaReference = 0;
    uint32_t blendMode = 0;
    uint32_t depthBias = 0;
    uint32_t depthWriteOverride = 0;
    uint32_t depthTest = 1;
    uint32_t flags = 0;
    uint32_t startTriangle = 0;
    uint32_t triangleCount = 0;
    uint16_t firstVertex = 0;
    uint16_t lastVertex = 0;
    uint16_t contourCount = 0;
    uint16_t firstContour = 0;
    float contourWidth = 2.0f;
    float contourSoftness = 0.0f;
    float specularExponent = 64.0f;
    uint8_t channel = 0;
    uint8_t boneIndex = 255;
    float scale = 1.0f;
    Vector textureScale = Vector(1.0f, 1.0f, 1.0f, 1.0f);
    Vector textureOffset;
    Vector textureScroll;
    uint8_t tilesAcross = 1;
    uint8_t tilesDown = 1;
    float frameRate = 0.0f;
};

// A named set of materials; rendering contexts read its channel mask by preset index.
struct MeshShaderPreset
{
    NameString name;
    std::vector<MeshMaterial> materials;
    uint32_t channelMask = 0;
};

// Vertex or index buffer block: its description words and bytes.
struct MeshBufferBlock
{
    uint32_t description[6] = {};
    std::vector<uint8_t> data;
};

// The mesh data record of a mesh template (CPU side).
class MeshTemplateRenderingData : public NorvexRendererObject
{
    RTTI_DECLARE_CLASS(MeshTemplateRenderingData, NorvexRendererObject)

public:
    // Stored sizes above this are taken as corrupt rather than allocated.
    static constexpr uint32_t kMaxBlockBytes = 1u << 28;

    MeshTemplateRenderingData() { Reset(); }

    // Reads one record of the given body version; false (logged with the template's name) when it
    // is cut short or corrupt.
    bool Load(RecordInput& in, uint32_t version, const char* templateName);
    // Writes the newest form of the record.
    void Save(RecordOutput& out) const;

    uint32_t GetPresetCount() const { return uint32_t(m_presets.size()); }
    const MeshShaderPreset& GetPreset(uint32_t index) const { return m_presets[index]; }
    // The word rendering contexts read by preset index: 0 past the last preset.
    uint32_t GetPresetValue(uint32_t index) const;
    // The four per-mesh switches that become mesh entities' render flags 0x40, 0x80, 0x20, 0x200.
    bool GetRenderSwitch(uint32_t index) const;
    uint32_t GetSkinningBoneCount() const { return m_boneCount; }
    uint32_t GetVertexCount() const { return m_vertexCount; }
    uint32_t GetTriangleCount() const { return m_triangleCount; }
    const BoundingBox4& GetBounds() const { return m_bounds; }

    // CPU copy layout flags: position kind (1 floats, 4 16-bit values) and skinning data (2).
    static constexpr uint32_t kLayoutFloat = 1;
    static constexpr uint32_t kLayoutSkinned = 2;
    static constexpr uint32_t kLayoutPacked = 4;

    // The CPU copy that picking reads: null when the mesh keeps none, or when its sizes, indices
    // or draw ranges do not fit each other (such a copy is refused with a logged error).
    const uint8_t* GetPickingVertices() const { return m_pickingUsable ? m_vertices.data.data() : nullptr; }
    uint32_t GetPickingLayout() const { return m_cpuLayoutFlags; }
    uint32_t GetPickingStride() const { return m_cpuStride; }
    // Three 16-bit indices per triangle, in stream byte order (read them with ReadPickingIndex).
    const uint8_t* GetPickingIndices() const { return m_pickingUsable ? m_indices.data.data() : nullptr; }
    // Triangles the index data really holds.
    uint32_t GetPickingTriangleCount() const { return uint32_t(m_indices.data.size() / 6); }
    // Offset and scale of 16-bit positions (decoded * scale + offset).
    const Vector& GetPositionOffset() const { return m_positionOffset; }
    const Vector& GetPositionScale() const { return m_positionScale; }

    // Builders for tools and tests.
    void AddPreset(const MeshShaderPreset& preset);
    // Render bytes in the order the object keeps them: A, B, C, D, E, F, G.
    void SetRenderBytes(const uint8_t (&bytes)[7]);
    void SetGeometry(uint32_t vertexCount, uint32_t stride, const std::vector<uint8_t>& vertices,
                     const std::vector<uint16_t>& indices);
    // Makes the vertices a CPU copy with the given layout flags and stride (mesh flag bit 1).
    void SetPickingLayout(uint32_t layoutFlags, uint32_t stride);
    void SetPositionDecoding(const Vector& offset, const Vector& scale);

private:
    bool ReadRecord(RecordInput& in, uint32_t version, const char* templateName);
    void Reset();
    // Vertex data, stride, indices and draw ranges agree; refusals are logged with the name.
    bool CheckPickingCopy(const char* templateName) const;
    void RefreshPickingCopy(const char* templateName) { m_pickingUsable = CheckPickingCopy(templateName); }

    uint32_t m_meshFlags = 0;
    BoundingBox4 m_bounds;
    BoundingBox4 m_secondBounds;
    std::vector<uint8_t> m_declaration;
    std::vector<uint8_t> m_instanceDeclaration;
    uint32_t m_vertexCount = 0;
    uint32_t m_vertexStride = 0;
    uint32_t m_cpuLayoutFlags = 0;
    uint32_t m_cpuStride = 0;
    MeshBufferBlock m_vertices;
    uint32_t m_triangleCount = 0;
    MeshBufferBlock m_indices;
    uint32_t m_lineCount = 0;
    MeshBufferBlock m_lines;
    uint32_t m_contourCountA = 0;
    uint32_t m_contourCountB = 0;
    MeshBufferBlock m_contourVertices;
    MeshBufferBlock m_contourIndices;
    uint32_t m_boneCount = 0;
    std::vector<MeshShaderPreset> m_presets;
    Vector m_positionOffset;
    Vector m_positionScale = Vector(1.0f, 1.0f, 1.0f, 1.0f);
    bool m_pickingUsable = false;
    // A, B, C, D, E, F, G, then the skip-bone-upload byte.
    uint8_t m_renderBytes[8] = {1, 0, 0, 0, 1, 0, 0, 0};
};
