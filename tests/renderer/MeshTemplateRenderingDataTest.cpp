// Mesh data records: the newest form round trip, the old versions' rows, and corrupt records.
#include "renderer/MeshTemplateRenderingData.h"

#include "core/reflection/RecordStream.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

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

    const std::vector<uint8_t> saved = Save(data);
    MeshTemplateRenderingData read;
    RecordInput in(saved.data(), saved.size());
    ASSERT_TRUE(read.Load(in, 53, "t"));
    EXPECT_EQ(in.Remaining(), 0u);
    EXPECT_EQ(read.GetVertexCount(), 3u);
    EXPECT_EQ(read.GetTriangleCount(), 1u);
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
    MeshTemplateRenderingData data;
    RecordInput in(bytes.data(), bytes.size());
    EXPECT_FALSE(data.Load(in, 7, "Broken"));
    EXPECT_EQ(data.GetVertexCount(), 0u);
    EXPECT_TRUE(console.Contains("Mesh data of Broken is cut short or corrupt", 4));

    MeshTemplateRenderingData whole;
    whole.AddPreset(MeshShaderPreset());
    std::vector<uint8_t> saved = Save(whole);
    saved.pop_back();
    RecordInput cut(saved.data(), saved.size());
    EXPECT_FALSE(data.Load(cut, 53, "Cut"));
    EXPECT_EQ(data.GetPresetCount(), 0u);
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
}
