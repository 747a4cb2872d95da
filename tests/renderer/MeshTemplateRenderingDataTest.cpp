// Mesh data records: the newest form round trip, the old versions' rows, and corrupt records.
#include "renderer/MeshTemplateRenderingData.h"

#include "core/reflection/RecordStream.h"
#include "engine/config/ProjectConfig.h"
#include "platform/gpu/GpuVertexDeclaration.h"
#include "support/ConsoleCapture.h"
#include "support/VertexElementBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace
{
void PutU32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

void PutZeros(std::vector<uint8_t>& out, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        out.push_back(0);
}

std::vector<uint8_t> Save(const MeshTemplateRenderingData& data)
{
    RecordOutput count(nullptr, 0, false);
    data.Save(count);
    std::vector<uint8_t> bytes(count.Size());
    RecordOutput out(bytes.data(), bytes.size(), false);
    data.Save(out);
    return bytes;
}

// The rows every version carries: no vertex elements, no vertices, an empty triangle and line list.
void PutCommonRows(std::vector<uint8_t>& out)
{
    PutU32(out, 0);     // E1
    PutU32(out, 0);     // vertex count
    PutU32(out, 0);     // stride
    PutZeros(out, 24);  // vertex buffer description, size 0
    PutU32(out, 0);     // triangles
    PutZeros(out, 20);  // index buffer description, size 0
    PutU32(out, 0);     // lines
    PutZeros(out, 20);
}
} // namespace

TEST(MeshTemplateRenderingDataTest, NewestFormReadsBackEqual)
{
    MeshTemplateRenderingData data;
    data.SetGeometry(3, 12, std::vector<uint8_t>(36, 7), {0, 1, 2});
    MeshShaderPreset preset;
    preset.name = NameString("Snow");
    MeshMaterial material;
    material.shaderName = "MeshLit";
    material.options = "NORMAL_MAP_TEXTURE SPECULAR";
    material.textures.push_back({"Textures/snow.dds", 1, 1});
    material.constantRanges = {200, 1};
    material.constants.push_back(Vector(1, 2, 3, 4));
    material.triangleCount = 1;
    material.channel = 2;
    material.tilesAcross = 4;
    material.frameRate = 12.0f;
    preset.materials.push_back(material);
    preset.channelMask = 4;
    data.AddPreset(preset);
    const uint8_t bytes[7] = {0, 1, 1, 1, 0, 1, 1};
    data.SetRenderBytes(bytes);
    const BoundingBox4 bounds(Vector(-1, -2, -3, 4), Vector(1, 2, 3, 5));
    data.SetBounds(bounds);

    const std::vector<uint8_t> saved = Save(data);
    MeshTemplateRenderingData read;
    RecordInput in(saved.data(), saved.size());
    ASSERT_TRUE(read.Load(in, 53, "t"));
    EXPECT_EQ(in.Remaining(), 0u);
    EXPECT_EQ(read.GetVertexCount(), 3u);
    EXPECT_EQ(read.GetTriangleCount(), 1u);
    EXPECT_TRUE(read.GetBounds() == bounds);
    ASSERT_EQ(read.GetPresetCount(), 1u);
    const MeshMaterial& m = read.GetPreset(0).materials.at(0);
    EXPECT_STREQ(read.GetPreset(0).name.CStr(), "Snow");
    EXPECT_EQ(m.shaderName, "MeshLit");
    EXPECT_EQ(m.options, "NORMAL_MAP_TEXTURE SPECULAR");
    EXPECT_EQ(m.textures.at(0).name, "Textures/snow.dds");
    EXPECT_EQ(m.textures.at(0).stage, 1u);
    EXPECT_FLOAT_EQ(m.constants.at(0).w, 4.0f);
    EXPECT_EQ(m.tilesAcross, 4);
    EXPECT_EQ(read.GetPresetValue(0), 4u);
    EXPECT_EQ(read.GetPresetValue(1), 0u);
    // A, B, C, D as kept: 0, 1, 1, 1.
    EXPECT_FALSE(read.GetRenderSwitch(0));
    EXPECT_TRUE(read.GetRenderSwitch(1));
    EXPECT_TRUE(read.GetRenderSwitch(2));
    EXPECT_TRUE(read.GetRenderSwitch(3));
    EXPECT_EQ(Save(read), saved);
}

TEST(MeshTemplateRenderingDataTest, VersionFiveHasDefaultsAndReportsOutdatedCollision)
{
    ConsoleCapture console;
    std::vector<uint8_t> bytes;
    PutCommonRows(bytes);
    PutU32(bytes, 1); // obsolete embedded materials
    PutU32(bytes, 3); // obsolete name
    bytes.insert(bytes.end(), {'o', 'l', 'd'});
    PutU32(bytes, 4);
    bytes.insert(bytes.end(), {'S', 'k', 'i', 'n'});
    PutU32(bytes, 0); // options
    PutU32(bytes, 0); // start triangle
    PutU32(bytes, 0); // triangle count
    PutU32(bytes, 1); // obsolete collision block
    PutZeros(bytes, 12);
    PutU32(bytes, 2); // obsolete triangle block
    PutZeros(bytes, 12);
    MeshTemplateRenderingData data;
    RecordInput in(bytes.data(), bytes.size());
    ASSERT_TRUE(data.Load(in, 5, "Old/Rock"));
    EXPECT_EQ(in.Remaining(), 0u);
    EXPECT_EQ(data.GetSkinningBoneCount(), 0u);
    EXPECT_EQ(data.GetPresetCount(), 0u);
    EXPECT_TRUE(data.GetRenderSwitch(0));
    EXPECT_FALSE(data.GetRenderSwitch(1));
    EXPECT_FALSE(data.GetRenderSwitch(2));
    EXPECT_FALSE(data.GetRenderSwitch(3));
    EXPECT_TRUE(console.Contains("Collision info for Old/Rock outdated. Please use mesh editor to refresh it", 4));
}

TEST(MeshTemplateRenderingDataTest, VersionSixDropsAWordBeforeTheBoneCount)
{
    for (uint32_t version : {6u, 7u})
    {
        std::vector<uint8_t> bytes;
        PutCommonRows(bytes);
        if (version == 6)
            PutU32(bytes, 99);
        PutU32(bytes, 5);  // bone count
        PutU32(bytes, 0);  // no obsolete materials
        PutU32(bytes, 0);  // collision block
        PutU32(bytes, 0);  // triangle block
        MeshTemplateRenderingData data;
        RecordInput in(bytes.data(), bytes.size());
        ASSERT_TRUE(data.Load(in, version, "t")) << version;
        EXPECT_EQ(data.GetSkinningBoneCount(), 5u) << version;
        EXPECT_EQ(in.Remaining(), 0u) << version;
    }
}

// An empty record's length by version: 34 still drops a byte after the render bytes, 43 no longer
// two blocks, 44 adds the second bounds, 48 render byte G and 49 render byte F. Each is read into
// an object that last kept a CPU copy, its own bounds and position decoding, none of which a
// record that does not carry them may inherit.
TEST(MeshTemplateRenderingDataTest, EachVersionReadsExactlyItsRows)
{
    const std::pair<uint32_t, size_t> kSizes[] = {{3, 96},   {9, 100},   {10, 108}, {20, 110}, {22, 111},
                                                  {24, 116}, {27, 213}, {28, 214}, {31, 215}, {34, 199},
                                                  {36, 202}, {43, 166}, {44, 198}, {48, 199}, {49, 200}};
    MeshTemplateRenderingData data;
    for (const auto& [version, size] : kSizes)
    {
        const std::vector<uint8_t> zeros(size, 0);
        RecordInput in(zeros.data(), zeros.size());
        data.SetPickingLayout(MeshTemplateRenderingData::kLayoutFloat, 12);
        data.SetPositionDecoding(Vector(1, 2, 3, 0), Vector(4, 5, 6, 1));
        data.SetBounds(BoundingBox4(Vector(-9, -9, -9, 1), Vector(9, 9, 9, 1)));
        EXPECT_TRUE(data.Load(in, version, "t")) << version;
        EXPECT_EQ(in.Remaining(), 0u) << version;
        EXPECT_TRUE(data.GetPositionOffset().Equal(Vector()) && data.GetPositionScale().Equal(Vector(1, 1, 1, 1)));
        EXPECT_EQ(data.GetBounds().max.x, version < 25 ? 1.0f : 0.0f) << version;
    }
}

TEST(MeshTemplateRenderingDataTest, CorruptSizesAndShortRecordsFail)
{
    ConsoleCapture console;
    std::vector<uint8_t> bytes;
    PutU32(bytes, 0);
    PutU32(bytes, 3);
    PutU32(bytes, 12);
    PutZeros(bytes, 16);
    PutU32(bytes, 0xFFFFFFF0u); // vertex data size far beyond the record
    PutU32(bytes, 0);
    PutZeros(bytes, 64); // rows that would read after it
    MeshTemplateRenderingData data;
    RecordInput in(bytes.data(), bytes.size());
    EXPECT_FALSE(data.Load(in, 7, "Broken"));
    EXPECT_EQ(data.GetVertexCount(), 0u);
    EXPECT_TRUE(console.Contains("Mesh data of Broken is cut short or corrupt", 4));
    // So does an index block claiming more than the record holds.
    bytes.assign(56, 0); // no vertex elements or vertices, no triangles and four words of the index block
    PutU32(bytes, 0xFFFFFFF0u);
    PutZeros(bytes, 64);
    RecordInput indexIn(bytes.data(), bytes.size());
    EXPECT_FALSE(data.Load(indexIn, 7, "Broken"));
    // So do an old record's materials, read only to be dropped, claiming more than the record holds.
    bytes.clear();
    PutCommonRows(bytes);
    PutU32(bytes, 0);           // bones
    PutU32(bytes, 0xFFFFFFF0u); // materials
    PutZeros(bytes, 8);         // the two counted lists that follow
    RecordInput materialsIn(bytes.data(), bytes.size());
    EXPECT_FALSE(data.Load(materialsIn, 7, "Broken"));

    MeshTemplateRenderingData whole;
    whole.AddPreset(MeshShaderPreset());
    std::vector<uint8_t> saved = Save(whole);
    saved.pop_back();
    RecordInput cut(saved.data(), saved.size());
    EXPECT_FALSE(data.Load(cut, 53, "Cut"));
    EXPECT_EQ(data.GetPresetCount(), 0u);
    // A material claiming more constant ranges than the record holds fails the load, though the rows
    // after it would still read.
    MeshShaderPreset preset;
    preset.materials.resize(1);
    preset.materials[0].constantRanges = {0x5EEDF00Du, 1};
    whole.AddPreset(preset);
    saved = Save(whole);
    const uint8_t marker[4] = {0x0D, 0xF0, 0xED, 0x5E};
    const auto at = std::search(saved.begin(), saved.end(), marker, marker + 4);
    ASSERT_NE(at, saved.end());
    std::fill(at - 4, at, uint8_t(0xFF));
    RecordInput ranges(saved.data(), saved.size());
    EXPECT_FALSE(data.Load(ranges, 53, "Ranges"));
}

// The CPU copy picking reads is handed out only when its layout, sizes, indices and draw ranges
// agree; each disagreement is refused with its own reason.
TEST(MeshTemplateRenderingDataTest, APickingCopyIsHandedOutOnlyWhenItsPartsAgree)
{
    constexpr uint32_t kFloat = MeshTemplateRenderingData::kLayoutFloat;
    constexpr uint32_t kPacked = MeshTemplateRenderingData::kLayoutPacked;
    constexpr uint32_t kSkinned = MeshTemplateRenderingData::kLayoutSkinned;
    const struct
    {
        uint32_t layout;
        uint32_t stride;
        uint32_t vertexBytes; // for three vertices
        std::vector<uint16_t> indices;
        uint32_t drawnTriangles;
        const char* problem; // null: usable
    } kCases[] = {
        {kFloat, 12, 36, {0, 1, 2}, 1, nullptr},
        {kFloat, 11, 33, {0, 1, 2}, 1, "a vertex stride shorter than its layout"},
        {kPacked, 8, 24, {0, 1, 2}, 1, nullptr},
        {kPacked, 7, 21, {0, 1, 2}, 1, "a vertex stride shorter than its layout"},
        {kPacked | kSkinned, 15, 45, {0, 1, 2}, 1, "a vertex stride shorter than its layout"},
        {kPacked | kSkinned, 16, 48, {0, 1, 2}, 1, nullptr},
        {kFloat | kSkinned, 19, 57, {0, 1, 2}, 1, "a vertex stride shorter than its layout"},
        {kFloat, 12, 35, {0, 1, 2}, 1, "fewer vertex bytes than vertices"},
        {kFloat, 12, 36, {0, 1, 3}, 1, "an index past the last vertex"},
        {kFloat, 12, 36, {0, 1, 2}, 2, "a draw range past the last triangle"},
    };
    for (const auto& c : kCases)
    {
        ConsoleCapture log;
        MeshTemplateRenderingData data;
        MeshShaderPreset preset;
        MeshMaterial material;
        material.triangleCount = c.drawnTriangles;
        preset.materials.push_back(material);
        data.AddPreset(preset);
        data.SetGeometry(3, c.stride, std::vector<uint8_t>(c.vertexBytes, 0), c.indices);
        data.SetPickingLayout(c.layout, c.stride);
        const std::string label = "layout " + std::to_string(c.layout) + " stride " + std::to_string(c.stride);
        EXPECT_EQ(data.GetPickingVertices() != nullptr, c.problem == nullptr) << label;
        EXPECT_EQ(data.GetPickingIndices() != nullptr, c.problem == nullptr) << label;
        if (c.problem != nullptr)
            EXPECT_TRUE(log.Contains(c.problem, CONSOLE_ERROR)) << label << ": " << c.problem;
        else
            EXPECT_EQ(log.CountOfKind(CONSOLE_ERROR), 0u) << label;
    }

    // A mesh that keeps no CPU copy hands out nothing and complains of nothing.
    ConsoleCapture log;
    MeshTemplateRenderingData none;
    none.SetGeometry(3, 12, std::vector<uint8_t>(36, 0), {0, 1, 2});
    EXPECT_EQ(none.GetPickingVertices(), nullptr);
    EXPECT_EQ(log.CountOfKind(CONSOLE_ERROR), 0u);

    // Once it keeps one, new geometry replaces the copy.
    none.SetPickingLayout(kFloat, 12);
    none.SetGeometry(3, 12, std::vector<uint8_t>(36, 5), {0, 1, 2});
    ASSERT_NE(none.GetPickingVertices(), nullptr);
    EXPECT_EQ(none.GetPickingVertices()[35], 5);
}

namespace
{
// One vertex of position (1, 2, 3) in floats, then a 16-bit pair (0x0102, 0x0304).
MeshTemplateRenderingData& MakeSwappable(MeshTemplateRenderingData& data)
{
    std::vector<uint8_t> vertex(16);
    const float p[3] = {1, 2, 3};
    std::memcpy(vertex.data(), p, 12);
    const uint16_t pair[2] = {0x0102, 0x0304};
    std::memcpy(vertex.data() + 12, pair, 4);
    data.SetGeometry(1, 16, vertex, {0, 0, 0x0102});
    data.SetDeclaration(VertexElementBytes({{0, 0, gpu::kDeclFloat3, 0, gpu::kDeclUsagePosition, 0},
                                            {0, 0x0C, gpu::kDeclShort2N, 0, gpu::kDeclUsageTexCoord, 0},
                                            gpu::kDeclEnd}));
    return data;
}

std::vector<uint8_t> SaveWith(const MeshTemplateRenderingData& data, uint32_t options)
{
    RecordOutput count(nullptr, 0, false);
    data.Save(count, options);
    std::vector<uint8_t> bytes(count.Size());
    RecordOutput out(bytes.data(), bytes.size(), false);
    data.Save(out, options);
    return bytes;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t at, size_t count)
{
    return std::vector<uint8_t>(bytes.begin() + long(at), bytes.begin() + long(at + count));
}

// Record offsets of the swappable mesh: flags, two boxes, E1 and three elements.
constexpr size_t kElementsAt = 4 + 64 + 4;
constexpr size_t kDescriptionAt = kElementsAt + 24 + 4 + 8;
constexpr size_t kVertexAt = kDescriptionAt + 24;
} // namespace

TEST(MeshTemplateRenderingDataTest, ByteSwapSaveReversesWordsAndVertexComponentsByType)
{
    MeshTemplateRenderingData data;
    MakeSwappable(data);
    const std::vector<uint8_t> plain = SaveWith(data, 0);
    const std::vector<uint8_t> swapped = SaveWith(data, MeshTemplateRenderingData::kSaveByteSwap);
    ASSERT_EQ(plain.size(), swapped.size());
    // The element count word and the first element's stream and offset halves.
    EXPECT_EQ(Slice(swapped, kElementsAt - 4, 4), (std::vector<uint8_t>{0, 0, 0, 3}));
    EXPECT_EQ(Slice(swapped, kElementsAt + 8, 8),
              (std::vector<uint8_t>{0, 0, 0, 0x0C, gpu::kDeclShort2N, 0, gpu::kDeclUsageTexCoord, 0}));
    // The size word of the vertex buffer description, then the data: floats and 16-bit halves.
    EXPECT_EQ(Slice(swapped, kDescriptionAt + 16, 4), (std::vector<uint8_t>{0, 0, 0, 16}));
    EXPECT_EQ(Slice(swapped, kVertexAt, 4), (std::vector<uint8_t>{0x3F, 0x80, 0, 0}));
    EXPECT_EQ(Slice(swapped, kVertexAt + 8, 4), (std::vector<uint8_t>{0x40, 0x40, 0, 0})) << "all three floats";
    EXPECT_EQ(Slice(swapped, kVertexAt + 12, 4), (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(Slice(plain, kVertexAt + 12, 4), (std::vector<uint8_t>{2, 1, 4, 3}));
    EXPECT_EQ(Slice(swapped, kVertexAt + 40, 6), (std::vector<uint8_t>{0, 0, 0, 0, 1, 2})) << "the index words";
    // Swapping twice is where an already swapping output ends: it is not swapped again.
    std::vector<uint8_t> viaOutput(swapped.size());
    RecordOutput out(viaOutput.data(), viaOutput.size(), true);
    data.Save(out, MeshTemplateRenderingData::kSaveByteSwap);
    EXPECT_EQ(viaOutput, swapped);
}

// Each 16-bit four-component type swaps all four of its halves.
TEST(MeshTemplateRenderingDataTest, ByteSwapSaveReversesEachHalfOfTheFourHalfTypes)
{
    for (const uint8_t type : {gpu::kDeclShort4N, gpu::kDeclUShort4N, gpu::kDeclFloat16x4})
    {
        MeshTemplateRenderingData data;
        std::vector<uint8_t> vertex(20);
        const uint16_t halves[4] = {0x0102, 0x0304, 0x0506, 0x0708};
        std::memcpy(vertex.data() + 12, halves, 8);
        data.SetGeometry(1, 20, vertex, {0, 0, 0});
        data.SetDeclaration(VertexElementBytes({{0, 0, gpu::kDeclFloat3, 0, gpu::kDeclUsagePosition, 0},
                                                {0, 0x0C, type, 0, gpu::kDeclUsageTexCoord, 0},
                                                gpu::kDeclEnd}));
        EXPECT_EQ(Slice(SaveWith(data, MeshTemplateRenderingData::kSaveByteSwap), kVertexAt + 12, 8),
                  (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}))
            << int(type);
    }
}

TEST(MeshTemplateRenderingDataTest, WideAndSwappedElementOptions)
{
    MeshTemplateRenderingData data;
    MakeSwappable(data);
    const std::vector<uint8_t> plain = SaveWith(data, 0);

    // 0x20: 12-byte elements with a converted type code, and the vertex format 0 written as all ones.
    const std::vector<uint8_t> wide = SaveWith(data, MeshTemplateRenderingData::kSaveWideElements);
    EXPECT_EQ(wide.size(), plain.size() + 3 * 4);
    EXPECT_EQ(Slice(wide, kElementsAt + 12, 12), (std::vector<uint8_t>{0, 0, 0x0C, 0, gpu::kDeclShort2N + 1, 0, 0, 0,
                                                                        0, gpu::kDeclUsageTexCoord, 0, 0}));
    EXPECT_EQ(Slice(wide, kDescriptionAt + 12, 4), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    // The vertex formats the other platform has a code for; any other becomes 0.
    for (const auto& [format, code] : {std::pair<uint32_t, uint8_t>{100, 8}, {101, 1}, {102, 6}, {7, 0}})
    {
        std::vector<uint8_t> patched = plain;
        std::memcpy(&patched[kDescriptionAt], &format, 4);
        MeshTemplateRenderingData read;
        RecordInput in(patched.data(), patched.size());
        ASSERT_TRUE(read.Load(in, 53, "t"));
        EXPECT_EQ(Slice(SaveWith(read, MeshTemplateRenderingData::kSaveWideElements), kDescriptionAt + 12, 4),
                  (std::vector<uint8_t>{code, 0, 0, 0}))
            << format;
    }

    // 0x40: stream and offset swapped, and after the vertex data the first 6 bytes of each vertex.
    const std::vector<uint8_t> swappedElements = SaveWith(data, MeshTemplateRenderingData::kSaveSwappedElements);
    EXPECT_EQ(swappedElements.size(), plain.size() + 8 + 6);
    EXPECT_EQ(Slice(swappedElements, kElementsAt + 8, 4), (std::vector<uint8_t>{0, 0, 0, 0x0C}));
    EXPECT_EQ(Slice(swappedElements, kVertexAt + 16, 14),
              (std::vector<uint8_t>{6, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0x80, 0x3F, 0, 0}));
}

TEST(MeshTemplateRenderingDataTest, DeclarationsAndIndicesFromTheFileAreChecked)
{
    ConsoleCapture console;
    // 65 elements are the most a declaration holds; 66 are refused before anything is allocated.
    for (uint32_t elements : {65u, 66u})
    {
        std::vector<uint8_t> bytes;
        PutU32(bytes, elements);
        PutZeros(bytes, elements * 8 + 96); // then an empty version-7 record
        MeshTemplateRenderingData data;
        RecordInput in(bytes.data(), bytes.size());
        EXPECT_EQ(data.Load(in, 7, "Many"), elements == 65) << elements;
    }
    EXPECT_TRUE(console.Contains("Mesh data of Many declares 66 vertex elements", 4));

    // 32-bit indices: converted for the CPU paths while they fit 16 bits (0xFFFF does), refused when not.
    for (uint32_t big : {0xFFFFu, 70000u})
    {
        std::vector<uint8_t> record;
        PutU32(record, 0); // E1
        PutU32(record, 3); // vertices
        PutU32(record, 0); // stride
        PutZeros(record, 24);
        PutU32(record, 1); // triangles
        PutU32(record, 102);
        PutZeros(record, 12);
        PutU32(record, 12);
        for (uint32_t index : {0u, 1u, big})
            PutU32(record, index);
        PutU32(record, 0); // lines
        PutZeros(record, 20);
        PutU32(record, 0); // bones
        PutU32(record, 0); // obsolete materials
        PutU32(record, 0);
        PutU32(record, 0);
        MeshTemplateRenderingData wide;
        RecordInput wideIn(record.data(), record.size());
        EXPECT_EQ(wide.Load(wideIn, 7, "Wide"), big == 0xFFFF) << big;
        if (big == 0xFFFF)
        {
            const std::vector<uint8_t> swapped = SaveWith(wide, MeshTemplateRenderingData::kSaveByteSwap);
            const uint8_t indices[12] = {0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0xFF, 0xFF};
            EXPECT_NE(std::search(swapped.begin(), swapped.end(), indices, indices + 12), swapped.end())
                << "a byte-swapped save reverses 32-bit indices whole";
        }
    }
    EXPECT_TRUE(console.Contains("Mesh data of Wide has index 70000, past what 16 bits hold", 4));
}

TEST(MeshTemplateRenderingDataTest, CollisionCopyFollowsTheDeclaration)
{
    const uint8_t blend[8] = {255, 0, 0, 0, 3, 0, 0, 0};
    struct Case
    {
        std::vector<gpu::VertexElement> elements;
        uint32_t layout; // 0: no copy
        uint32_t stride;
    };
    using E = gpu::VertexElement;
    const E position{0, 0, gpu::kDeclFloat3, 0, gpu::kDeclUsagePosition, 0};
    const E weights{0, 12, gpu::kDeclUByte4N, 0, gpu::kDeclUsageBlendWeight, 0};
    const E indices{0, 16, gpu::kDeclUByte4, 0, gpu::kDeclUsageBlendIndices, 0};
    const E farIndices{0, 20, gpu::kDeclUByte4, 0, gpu::kDeclUsageBlendIndices, 0};
    const E packed{0, 0, gpu::kDeclShort4N, 0, gpu::kDeclUsagePosition, 0};
    const E normal{0, 0, gpu::kDeclFloat3, 0, gpu::kDeclUsageNormal, 0};
    const Case cases[] = {
        {{position, weights, indices, gpu::kDeclEnd}, 1 | 2, 20},
        {{weights, indices, position, gpu::kDeclEnd}, 1 | 2, 20},
        {{position, weights, farIndices, gpu::kDeclEnd}, 1, 12},
        {{position, indices, weights, gpu::kDeclEnd}, 1, 12},
        {{packed, gpu::kDeclEnd}, 4, 8},
        {{normal, gpu::kDeclEnd}, 0, 0},
        {{{0, 0, gpu::kDeclFloat2, 0, gpu::kDeclUsagePosition, 0}, gpu::kDeclEnd}, 0, 0},
        {{{0, 16, gpu::kDeclFloat3, 0, gpu::kDeclUsagePosition, 0}, gpu::kDeclEnd}, 0, 0}, // past the vertex
    };
    for (const Case& c : cases)
    {
        // Two vertices of 24 bytes: position (1, 2, 3) / (4, 5, 6), then the blend bytes.
        std::vector<uint8_t> vertices(48);
        for (int v = 0; v < 2; ++v)
        {
            const float p[3] = {float(1 + 3 * v), float(2 + 3 * v), float(3 + 3 * v)};
            std::memcpy(vertices.data() + 24 * v, p, 12);
            std::memcpy(vertices.data() + 24 * v + 12, blend, 8);
        }
        MeshTemplateRenderingData built;
        built.SetGeometry(2, 24, vertices, {0, 1, 1});
        built.SetDeclaration(VertexElementBytes(c.elements));
        MeshShaderPreset preset;
        preset.materials.resize(1);
        preset.materials[0].triangleCount = 1;
        built.AddPreset(preset);
        const std::vector<uint8_t> saved = Save(built);
        ConsoleCapture log;
        MeshTemplateRenderingData data;
        RecordInput in(saved.data(), saved.size());
        ASSERT_TRUE(data.Load(in, 53, "Copy"));
        const uint8_t* copy = data.GetPickingVertices();
        if (c.layout == 0)
        {
            // A mesh without a copy is not a faulty one: it hands out no indices either and complains of nothing.
            EXPECT_EQ(copy, nullptr);
            EXPECT_EQ(data.GetPickingIndices(), nullptr);
            EXPECT_EQ(log.CountOfKind(CONSOLE_ERROR), 0u);
            continue;
        }
        ASSERT_NE(copy, nullptr) << c.layout;
        EXPECT_EQ(data.GetPickingLayout(), c.layout);
        ASSERT_EQ(data.GetPickingStride(), c.stride);
        EXPECT_EQ(std::vector<uint8_t>(copy + c.stride, copy + c.stride + 8),
                  std::vector<uint8_t>(vertices.data() + 24, vertices.data() + 32));
        if ((c.layout & 2) != 0)
        {
            EXPECT_EQ(std::vector<uint8_t>(copy + 12, copy + 20), std::vector<uint8_t>(blend, blend + 8));
        }
    }

    // Older records, and projects that keep no collision vertices, build none.
    MeshTemplateRenderingData built;
    std::vector<uint8_t> vertices(12, 0);
    built.SetGeometry(1, 12, vertices, {0, 0, 0});
    built.SetDeclaration(VertexElementBytes({position, gpu::kDeclEnd}));
    const std::vector<uint8_t> saved = Save(built);
    gProjectConfig.m_pcUsesMobileSettings = true;
    gProjectConfig.m_collisionVertices = false;
    MeshTemplateRenderingData noCopy;
    RecordInput in(saved.data(), saved.size());
    ASSERT_TRUE(noCopy.Load(in, 53, "t"));
    gProjectConfig.m_pcUsesMobileSettings = false;
    gProjectConfig.m_collisionVertices = true;
    EXPECT_EQ(noCopy.GetPickingVertices(), nullptr);
}

TEST(MeshTemplateRenderingDataTest, VersionFortyDropsTheObsoleteBlockAndFiftyReadsContours)
{
    // In 41 and 51 the obsolete or the contour vertex block claims more bytes than the record has
    // left: such a record is corrupt even where the bytes after the block would read.
    for (uint32_t version : {40u, 50u, 41u, 51u})
    {
        const bool corrupt = version % 10 == 1;
        std::vector<uint8_t> bytes;
        PutU32(bytes, 0);         // mesh flags
        PutZeros(bytes, 32);      // bounds
        PutZeros(bytes, version <= 42 ? 64 : 32); // dropped blocks, or the second bounds
        PutU32(bytes, 0);         // E1
        PutU32(bytes, 0);         // E2
        PutU32(bytes, 0);         // vertex count
        PutU32(bytes, 0);         // stride
        PutZeros(bytes, 24);
        PutU32(bytes, 0);
        PutZeros(bytes, 20);
        PutU32(bytes, 0);
        PutZeros(bytes, 20);
        if (version < 50)
        {
            PutU32(bytes, 77);    // dropped word
            PutZeros(bytes, 16);
            PutU32(bytes, corrupt ? 4096 : 4); // size
            PutZeros(bytes, 4);
            PutZeros(bytes, 4);   // its data
        }
        else
        {
            PutU32(bytes, 5);     // contour counts
            PutU32(bytes, 6);
            PutZeros(bytes, 16);  // no contour vertices
            PutU32(bytes, corrupt ? 4096 : 0);
            PutU32(bytes, 0);
            PutZeros(bytes, 20);  // no contour indices
        }
        PutU32(bytes, corrupt ? 0 : 2); // bones
        PutU32(bytes, 0);         // presets
        PutZeros(bytes, version < 50 ? 6 : 8); // render bytes A, C, B, skip, D, E (and F, G)
        MeshTemplateRenderingData data;
        RecordInput in(bytes.data(), bytes.size());
        ASSERT_EQ(data.Load(in, version, "t"), !corrupt) << version;
        if (corrupt)
            continue;
        EXPECT_EQ(in.Remaining(), 0u) << version;
        EXPECT_EQ(data.GetSkinningBoneCount(), 2u) << version;
    }
}
