// MeshTemplateRenderingData: the GPU data of one mesh template, shared by all its entities. Load
// reads the versioned record of the template stream on the resource thread, creates its vertex
// declarations and buffers through renderer jobs and keeps the index data (and the CPU vertex path
// or the collision copy that picking reads) in memory; Save writes the newest record, reading the
// buffers back from the device. The draws (MeshTemplateDraw.cpp) run on the render thread only,
// after the object was marked ready. Release of the device part runs on the render thread.
#pragma once

#include "core/math/BoundingBox4.h"
#include "core/math/Matrix.h"
#include "core/math/Vector.h"
#include "core/strings/NameString.h"
#include "renderer/MeshMaterial.h"
#include "renderer/NorvexRendererObject.h"

#include <cstdint>
#include <string>
#include <vector>

class LightmapMapping;
class RecordInput;
class RecordOutput;
namespace gpu
{
class GpuIndexBuffer;
class GpuVertexBuffer;
class GpuVertexDeclaration;
} // namespace gpu

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

// One gathered draw: what a batch draw needs of an instance.
struct MeshGatherRecord
{
    Matrix world;
    Matrix global;
    Vector color;
    const LightmapMapping* lightmap = nullptr;
    const Vector* lighting = nullptr; // the instance's lighting block, ten vectors
    float scale = 1.0f;
    const class MeshTemplateRenderingData* data = nullptr;
    uint32_t presetIndex = 0;
    uint8_t mirrored = 0;
    uint8_t outlineState = 0;
    float depthKey = 0.0f;
    uint32_t clockIndex = 0;
    float random = 0.0f;
};

// The GPU data of a mesh template.
class MeshTemplateRenderingData : public NorvexRendererObject
{
    RTTI_DECLARE_CLASS(MeshTemplateRenderingData, NorvexRendererObject)

public:
    // Stored sizes above this are taken as corrupt rather than allocated.
    static constexpr uint32_t kMaxBlockBytes = 1u << 28;
    // A declaration longer than this (end element included) is refused.
    static constexpr uint32_t kMaxVertexElements = 65;
    static constexpr uint32_t kMaxGathered = 1024;
    // Save options.
    static constexpr uint32_t kSaveByteSwap = 0x2;
    static constexpr uint32_t kSaveWideElements = 0x20;
    static constexpr uint32_t kSaveSwappedElements = 0x40;
    // Pass argument A's top bit: the instancing declaration and shaders.
    static constexpr uint32_t kPassInstanced = 0x80000000u;

    MeshTemplateRenderingData();
    ~MeshTemplateRenderingData() override;

    // Reads one record of the given body version; false (logged with the template's name) when it
    // is cut short or corrupt. Creates the device objects when a renderer runs.
    bool Load(RecordInput& in, uint32_t version, const char* templateName);
    // Writes the newest form of the record with the save options.
    void Save(RecordOutput& out, uint32_t options = 0) const;

    // Render thread: releases the device objects, then deletes the object.
    void DestroyOnRenderThread() override;
    // Render thread: declarations, buffers, CPU arrays and the materials' links.
    void ReleaseDeviceObjects();
    // Every material releases its shader and texture resources.
    void ReleaseMaterials();
    // Resolves the shaders of every material of every mesh again (after a shader reload).
    static void RefreshAllMaterials();
    static uint32_t GetLiveCount();

    uint32_t GetPresetCount() const { return uint32_t(m_presets.size()); }
    const MeshShaderPreset& GetPreset(uint32_t index) const { return m_presets[index]; }
    MeshShaderPreset& EditPreset(uint32_t index) { return m_presets[index]; }
    // The word rendering contexts read by preset index: 0 past the last preset.
    uint32_t GetPresetValue(uint32_t index) const;
    // The four per-mesh switches that become mesh entities' render flags 0x40, 0x80, 0x20, 0x200.
    bool GetRenderSwitch(uint32_t index) const;
    // Render bytes A to G, then the skip-bone-upload byte.
    uint8_t GetRenderByte(uint32_t index) const { return index < 8 ? m_renderBytes[index] : 0; }
    uint32_t GetSkinningBoneCount() const { return m_boneCount; }
    uint32_t GetVertexCount() const { return m_vertexCount; }
    uint32_t GetVertexStride() const { return m_vertexStride; }
    uint32_t GetTriangleCount() const { return m_triangleCount; }
    uint32_t GetLineCount() const { return m_lineCount; }
    uint32_t GetMeshFlags() const { return m_meshFlags; }
    const BoundingBox4& GetBounds() const { return m_bounds; }
    const BoundingBox4& GetSecondBounds() const { return m_secondBounds; }
    // Elements of the main and instancing declarations, 8 bytes each, end element included.
    const std::vector<uint8_t>& GetDeclarationBytes() const { return m_declaration; }
    const std::vector<uint8_t>& GetInstanceDeclarationBytes() const { return m_instanceDeclaration; }
    gpu::GpuVertexDeclaration* GetDeclaration() const { return m_vertexDeclaration; }
    gpu::GpuVertexDeclaration* GetInstanceDeclaration() const { return m_instanceVertexDeclaration; }
    gpu::GpuVertexBuffer* GetVertexBuffer() const { return m_vertexBuffer; }
    gpu::GpuIndexBuffer* GetIndexBuffer() const { return m_indexBuffer; }
    gpu::GpuIndexBuffer* GetEdgeIndexBuffer() const { return m_edgeIndexBuffer; }

    // CPU copy layout flags: position kind (1 floats, 4 16-bit values) and skinning data (2); the
    // CPU vertex path keeps bone indices before weights (kLayoutIndicesFirst), the collision copy
    // weights before indices.
    static constexpr uint32_t kLayoutFloat = 1;
    static constexpr uint32_t kLayoutSkinned = 2;
    static constexpr uint32_t kLayoutPacked = 4;
    static constexpr uint32_t kLayoutNormal = 0x8;
    static constexpr uint32_t kLayoutTangent = 0x10;
    static constexpr uint32_t kLayoutIndicesFirst = 0x100;

    // The copy that picking reads (CPU vertex path or collision copy): null when the mesh keeps none,
    // or when its sizes, indices or draw ranges do not fit each other (refused with a logged error).
    const uint8_t* GetPickingVertices() const { return m_pickingUsable ? m_cpuVertices.data() : nullptr; }
    uint32_t GetPickingLayout() const;
    uint32_t GetPickingStride() const { return m_cpuStride; }
    // Three 16-bit little-endian indices per triangle.
    const uint8_t* GetPickingIndices() const { return m_pickingUsable ? m_indexData.data() : nullptr; }
    uint32_t GetPickingTriangleCount() const { return uint32_t(m_indexData.size() / 6); }
    // Offset and scale of 16-bit positions (decoded * scale + offset).
    const Vector& GetPositionOffset() const { return m_positionOffset; }
    const Vector& GetPositionScale() const { return m_positionScale; }

    // Builders for tools and tests.
    void AddPreset(const MeshShaderPreset& preset);
    // Render bytes in the order the object keeps them: A, B, C, D, E, F, G.
    void SetRenderBytes(const uint8_t (&bytes)[7]);
    // Device vertex data with its declaration (8-byte elements, end element included).
    void SetGeometry(uint32_t vertexCount, uint32_t stride, const std::vector<uint8_t>& vertices,
                     const std::vector<uint16_t>& indices);
    void SetDeclaration(const std::vector<uint8_t>& elements) { m_declaration = elements; }
    void SetInstanceDeclaration(const std::vector<uint8_t>& elements) { m_instanceDeclaration = elements; }
    void SetEdgeLines(const std::vector<uint16_t>& indices);
    // Contour geometry: vertices of 32 bytes (position, normal, texture coordinate), 16-bit indices.
    void SetContours(uint32_t countA, uint32_t countB, const std::vector<uint8_t>& vertices,
                     const std::vector<uint16_t>& indices);
    void SetBounds(const BoundingBox4& bounds) { m_bounds = bounds; }
    void SetSkinningBoneCount(uint32_t count) { m_boneCount = count; }
    // Makes the vertices a CPU vertex path copy with the given layout flags and stride.
    void SetPickingLayout(uint32_t layoutFlags, uint32_t stride);
    void SetPositionDecoding(const Vector& offset, const Vector& scale);

    // Draws (render thread, MeshTemplateDraw.cpp).
    void Draw(const Matrix& world, const Matrix& global, const BoundingBox4& bounds, const Vector& color, float scale,
              uint8_t mirrored, uint8_t outlineState, uint32_t presetIndex, const float* bones,
              const LightmapMapping* lightmap, const Vector* lighting, int32_t passA, uint32_t passB,
              uint32_t clockIndex, float random) const;
    static void BeginGather(int32_t passA, uint32_t passB);
    static void FlushGathered();
    static bool IsGathering();
    static uint32_t GetGatheredCount();
    // Orders gathered records as the flush does (exposed for tests).
    static void SortGathered(MeshGatherRecord* records, uint32_t count);
    // Whether a draw of the preset in pass `passA` reaches any material (or the edge lines).
    bool DrawsInPass(uint32_t presetIndex, int32_t passA) const;
    void DrawBatch(uint32_t presetIndex, const MeshGatherRecord* records, uint32_t count, int32_t passA,
                   uint32_t passB, const float* bones) const;
    void DrawEdgeLines(const MeshGatherRecord& record, const float* bones) const;
    // One material's contours with its forward pair, once per instance (passes 1 and 16).
    void DrawContours(const MeshMaterial& material, const MeshGatherRecord* records, uint32_t count) const;
    // The shadow map's depth pass: each material of the preset with the fixed depth pair its alpha
    // test, depth constant, instancing and skinning choose (materials flagged 0x8040 are left out).
    void DrawDepth(const Matrix& world, uint8_t mirrored, uint32_t presetIndex, const float* bones,
                   bool instanced) const;
    // The channel pass: when the preset's channel mask meets the renderer's pass mask, each material
    // of a channel c (1..4) in that mask writes white into colour channel c - 1 only. True when
    // anything was drawn.
    bool DrawChannel(const Matrix& world, uint8_t mirrored, uint32_t presetIndex, const float* bones) const;
    // Skins the CPU vertex path's vertices [first, end) into `out` (device stride); false when the
    // mesh has no CPU path. Bone indices at or past boneCount are skipped.
    bool SkinCpuVertices(const float* bones, uint32_t boneCount, uint32_t first, uint32_t end,
                         std::vector<uint8_t>& out) const;

private:
    bool ReadRecord(RecordInput& in, uint32_t version, const char* templateName);
    void Reset();
    // Keeps the main index data as 16-bit indices; 32-bit data is converted when every index fits.
    bool KeepIndexData(const char* templateName);
    void BuildCollisionCopy();
    void CreateDeviceObjects(const char* templateName);
    // Vertex data, stride, indices and draw ranges agree; refusals are logged with the name.
    bool CheckPickingCopy(const char* templateName) const;
    void RefreshPickingCopy(const char* templateName) { m_pickingUsable = CheckPickingCopy(templateName); }
    void Link();
    void Unlink();

    uint32_t m_meshFlags = 0;
    BoundingBox4 m_bounds;
    BoundingBox4 m_secondBounds;
    std::vector<uint8_t> m_declaration;
    std::vector<uint8_t> m_instanceDeclaration;
    uint32_t m_vertexCount = 0;
    uint32_t m_vertexStride = 0;
    uint32_t m_cpuLayoutFlags = 0;
    uint32_t m_cpuStride = 0;
    // CPU vertex path vertices or the collision copy.
    std::vector<uint8_t> m_cpuVertices;
    // Stream blocks kept for Save and device creation while no device object holds them.
    MeshBufferBlock m_vertices;
    uint32_t m_triangleCount = 0;
    MeshBufferBlock m_indices;
    std::vector<uint8_t> m_indexData; // 16-bit little-endian
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

    gpu::GpuVertexDeclaration* m_vertexDeclaration = nullptr;
    gpu::GpuVertexDeclaration* m_instanceVertexDeclaration = nullptr;
    gpu::GpuVertexBuffer* m_vertexBuffer = nullptr;
    gpu::GpuIndexBuffer* m_indexBuffer = nullptr;
    gpu::GpuIndexBuffer* m_edgeIndexBuffer = nullptr;
    gpu::GpuVertexBuffer* m_contourVertexBuffer = nullptr;
    gpu::GpuIndexBuffer* m_contourIndexBuffer = nullptr;

    MeshTemplateRenderingData* m_previous = nullptr;
    MeshTemplateRenderingData* m_next = nullptr;
};
