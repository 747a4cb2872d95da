// Mesh materials without a device: option words by quality level, the specular vector, the flipbook
// set-up, the texture transform, old records, the pass table and the gather order.
#include "renderer/MeshMaterial.h"

#include "core/reflection/RecordStream.h"
#include "renderer/MeshPassTable.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "renderer/jobs/TextureHolder.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace
{
// Blanks collapse so that cases can state the words that are left.
std::string Words(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] != ' ' || (!out.empty() && out.back() != ' '))
            out += text[i];
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

void PutU32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}
} // namespace

TEST(MeshMaterialTest, QualityLevelsRemoveTheirRowsWholeWords)
{
    struct Case
    {
        const char* options;
        uint32_t flags;
        uint32_t quality;
        bool mobile;
        const char* words;
    };
    const Case cases[] = {
        // Level 1 on the ordinary platform: rows 1 to 4; SPECULAR goes only on the mobile modes.
        {"NORMAL_MAP_TEXTURE SPECULAR", 0, 1, false, "SPECULAR"},
        {"NORMAL_MAP_TEXTURE SPECULAR", 0, 1, true, ""},
        {"NORMAL_MAP_TEXTURE SPECULAR", 0, 3, true, "NORMAL_MAP_TEXTURE SPECULAR"},
        {"NORMAL_MAP_TEXTURE SPECULAR", 0, 3, false, "NORMAL_MAP_TEXTURE SPECULAR"},
        // Level 0 drops every word of its half, level 4 none.
        {"ENV_MAP DESATURATION SHADOWMAP SOFTNESS FOG", 0, 0, false, "FOG"},
        {"ENV_MAP DESATURATION SHADOWMAP SOFTNESS FOG", 0, 4, false, "ENV_MAP DESATURATION SHADOWMAP SOFTNESS FOG"},
        {"ENV_MAP EMISSIVE_TEXTURE", 0, 1, true, ""},
        {"ENV_MAP EMISSIVE_TEXTURE", 0, 1, false, "ENV_MAP EMISSIVE_TEXTURE"},
        // A removed word inside a longer one leaves that one whole, on either side.
        {"SHADOWMAP_FILTERING USE_SHADOWMAP SHADOWMAP", 0, 0, false, "USE_SHADOWMAP"},
        {"SHADOWMAP_FILTERING USE_SHADOWMAP", 0, 2, false, "USE_SHADOWMAP"},
        {"USE_SHADOWMAP SHADOWMAP_FILTERINGX", 0, 0, false, "USE_SHADOWMAP SHADOWMAP_FILTERINGX"},
        // Two-sided materials ask for the word; a level past the table keeps everything.
        {"FOG", MeshMaterial::FLAG_TWO_SIDED, 3, false, "FOG TWO_SIDED"},
        {"SHADOWMAP_FILTERING", 0, 9, false, "SHADOWMAP_FILTERING"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Words(MeshMaterial::BuildForwardOptions(c.options, c.flags, c.quality, c.mobile)), c.words)
            << c.options << " at " << c.quality << (c.mobile ? " mobile" : "");
}

TEST(MeshMaterialTest, FindShaderOptionBlanksOnlyTheFirstWholeMatch)
{
    char text[] = "A_SHADOWMAP SHADOWMAP SHADOWMAP";
    EXPECT_TRUE(MeshMaterial::FindShaderOption(text, "SHADOWMAP"));
    EXPECT_STREQ(text, "A_SHADOWMAP           SHADOWMAP");
    char none[] = "SHADOWMAPS";
    EXPECT_FALSE(MeshMaterial::FindShaderOption(none, "SHADOWMAP"));
    EXPECT_STREQ(none, "SHADOWMAPS");
}

TEST(MeshMaterialTest, SpecularVectorComesFromTheExponent)
{
    MeshMaterial material;
    EXPECT_NEAR(material.specular.x, 93.45057f, 1e-3f);
    EXPECT_NEAR(material.specular.y, -93.45057f, 1e-3f);
    EXPECT_FLOAT_EQ(material.specular.z, 64.0f);
    EXPECT_FLOAT_EQ(material.specular.w, 0.0f);
    material.SetSpecularExponent(8.0f);
    EXPECT_NEAR(material.specular.x, 8.775f * 1.442695f, 1e-4f);
    EXPECT_NEAR(material.specular.y, -8.775f * 1.442695f, 1e-4f);
    EXPECT_FLOAT_EQ(material.GetSpecularExponent(), 8.0f);
}

TEST(MeshMaterialTest, FlipbookNeedsMoreThanOneTileAndAFrameRate)
{
    struct Case
    {
        uint8_t across, down;
        float rate;
        bool on;
    };
    const Case cases[] = {{1, 1, 30.0f, false}, {4, 1, 0.0f, false}, {4, 2, -1.0f, false},
                          {4, 2, 8.0f, true},   {1, 2, 2.0f, true},  {0, 9, 2.0f, false}};
    for (const Case& c : cases)
    {
        MeshMaterial material;
        material.flags = MeshMaterial::FLAG_FLIPBOOK | 1;
        material.tilesAcross = c.across;
        material.tilesDown = c.down;
        material.frameRate = c.rate;
        material.SetupFlipbook();
        EXPECT_EQ((material.flags & MeshMaterial::FLAG_FLIPBOOK) != 0, c.on) << int(c.across) << "x" << int(c.down);
        EXPECT_EQ(material.flags & 1, 1u);
        if (c.on)
        {
            EXPECT_FLOAT_EQ(material.tileWidth, 1.0f / c.across);
            EXPECT_FLOAT_EQ(material.tileHeight, 1.0f / c.down);
            EXPECT_FLOAT_EQ(material.frameTime, 1.0f / c.rate);
        }
    }
}

TEST(MeshMaterialTest, TextureTransformScrollsWrapsAndFlips)
{
    MeshMaterial material;
    material.textureScale = Vector(2.0f, 3.0f, 0.0f, 0.0f);
    material.textureOffset = Vector(0.25f, 0.5f, 0.0f, 0.0f);
    material.textureScroll = Vector(-0.5f, -1.25f, 0.0f, 0.0f);
    Vector t = material.ComputeTextureTransform(3.0f, 0.0f);
    EXPECT_FLOAT_EQ(t.x, 2.0f);
    EXPECT_FLOAT_EQ(t.y, 3.0f);
    EXPECT_FLOAT_EQ(t.z, 0.25f) << "no scrolling without its flag";
    EXPECT_FLOAT_EQ(t.w, 0.5f);

    material.flags = MeshMaterial::FLAG_SCROLLING;
    t = material.ComputeTextureTransform(3.0f, 0.0f);
    EXPECT_FLOAT_EQ(t.z, 0.75f);  // 0.25 - 1.5 = -1.25, wrapped into [0, 1)
    EXPECT_FLOAT_EQ(t.w, 0.75f);  // 0.5 - 3.75 = -3.25

    // A 4 x 2 flipbook at 2 frames a second: frame 6 at 3 s is column 2, row 1.
    material.flags = MeshMaterial::FLAG_SCROLLING;
    material.tilesAcross = 4;
    material.tilesDown = 2;
    material.frameRate = 2.0f;
    material.SetupFlipbook();
    t = material.ComputeTextureTransform(3.0f, 0.0f);
    EXPECT_FLOAT_EQ(t.x, 0.25f);
    EXPECT_FLOAT_EQ(t.y, 0.5f);
    EXPECT_FLOAT_EQ(t.z, 0.5f);
    EXPECT_FLOAT_EQ(t.w, 0.5f);
    // Past the last tile it starts again; the random value shifts the start.
    t = material.ComputeTextureTransform(4.0f, 0.0f);
    EXPECT_FLOAT_EQ(t.z, 0.0f);
    EXPECT_FLOAT_EQ(t.w, 0.0f);
    t = material.ComputeTextureTransform(0.0f, 0.5f);
    EXPECT_FLOAT_EQ(t.z, 0.0f);
    EXPECT_FLOAT_EQ(t.w, 0.5f);
}

TEST(MeshMaterialTest, OldRecordsTakeTheDefaults)
{
    // Version 4: the dropped name, then the draw range only.
    std::vector<uint8_t> bytes;
    PutU32(bytes, 3);
    bytes.insert(bytes.end(), {'o', 'l', 'd'});
    PutU32(bytes, 7);
    PutU32(bytes, 9);
    MeshMaterial material;
    material.options = "LEFT OVER";
    RecordInput in(bytes.data(), bytes.size());
    ASSERT_TRUE(material.Read(in, 4, false));
    EXPECT_EQ(in.Remaining(), 0u);
    EXPECT_EQ(material.shaderName, "MeshSolid");
    EXPECT_EQ(material.options, "");
    EXPECT_EQ(material.startTriangle, 7u);
    EXPECT_EQ(material.triangleCount, 9u);
    EXPECT_EQ(material.depthTest, 1u);
    EXPECT_EQ(material.boneIndex, 255);
    EXPECT_FLOAT_EQ(material.contourWidth, 2.0f);
    EXPECT_FLOAT_EQ(material.specular.z, 64.0f);
    EXPECT_FLOAT_EQ(material.frameRate, 0.0f) << "no flipbook runs unless a record asks";
    EXPECT_EQ(material.vertexConstantRangeCount, 0u) << "every constant range goes to the pixel shader";

    // Cut anywhere, the record fails.
    for (size_t cut = 0; cut < bytes.size(); ++cut)
    {
        MeshMaterial partial;
        RecordInput shortIn(bytes.data(), cut);
        EXPECT_FALSE(partial.Read(shortIn, 4, false)) << cut;
    }
}

// An empty record's length by version: 15 drops the old name, 16 adds the vertex range count, 37 the
// depth-write override and vertex range, 45 the exponent (the scale's dropped word follows till 45).
TEST(MeshMaterialTest, EachVersionReadsExactlyItsFields)
{
    const std::pair<uint32_t, size_t> kSizes[] = {{15, 28}, {16, 32}, {37, 118}, {45, 134}, {46, 130}};
    for (const auto& [version, size] : kSizes)
    {
        const std::vector<uint8_t> zeros(size, 0);
        RecordInput in(zeros.data(), zeros.size());
        EXPECT_TRUE(MeshMaterial().Read(in, version, false)) << version;
        EXPECT_EQ(in.Remaining(), 0u) << version;
    }
}

TEST(MeshMaterialTest, NewestRecordRoundTripsWithItsStoredFlipbookBit)
{
    MeshMaterial material;
    material.shaderName = "MeshSolid";
    material.options = "DIFFUSE_TEXTURE";
    material.textures.push_back({"Textures/a.texture", 0, 1});
    material.constantRanges = {10, 2};
    material.constants = {Vector(1, 2, 3, 4), Vector(5, 6, 7, 8)};
    material.flags = 0x2000 | 2;
    material.tilesAcross = 2;
    material.tilesDown = 3;
    material.frameRate = 4.0f;
    material.SetSpecularExponent(12.0f);
    std::vector<uint8_t> bytes(4096);
    RecordOutput out(bytes.data(), bytes.size(), false);
    material.Write(out);
    bytes.resize(out.Size());

    MeshMaterial read;
    RecordInput in(bytes.data(), bytes.size());
    ASSERT_TRUE(read.Read(in, 53, false));
    EXPECT_EQ(in.Remaining(), 0u);
    EXPECT_EQ(read.flags, 0x2000u | 2 | MeshMaterial::FLAG_FLIPBOOK);
    EXPECT_FLOAT_EQ(read.specular.z, 12.0f);
    EXPECT_EQ(read.constants.size(), 2u);
    EXPECT_EQ(read.textures.at(0).flags, 1u);
    std::vector<uint8_t> again(4096);
    RecordOutput second(again.data(), again.size(), false);
    read.Write(second);
    again.resize(second.Size());
    EXPECT_EQ(again, bytes);
    // A copy over another material keeps every stored field.
    MeshMaterial copy;
    copy = read;
    RecordOutput third(again.data(), again.size(), false);
    copy.Write(third);
    EXPECT_EQ(std::make_pair(third.Size(), again), std::make_pair(bytes.size(), bytes));
    EXPECT_EQ(std::tie(copy.tileWidth, copy.tileHeight, copy.frameTime),
              std::tie(read.tileWidth, read.tileHeight, read.frameTime)) << "and the flipbook it derived";
}

TEST(MeshMaterialTest, AMoveTakesTheValuesAndClearedLinksFreeOnlyTheLastHolderReference)
{
    MeshMaterial from, to;
    from.shaderName = "MeshLit";
    from.textures.push_back({"Textures/snow.dds", 1, 1});
    from.constants.push_back(Vector(1, 2, 3, 4));
    to.shaderName = "Other";
    to = std::move(from);
    MeshMaterial& same = to;
    to = std::move(same); // moving onto itself keeps everything
    EXPECT_EQ(to.shaderName, "MeshLit");
    ASSERT_EQ(to.textures.size(), 1u);
    EXPECT_EQ(to.textures[0].name, "Textures/snow.dds");
    EXPECT_FLOAT_EQ(to.constants.at(0).w, 4.0f);
    EXPECT_TRUE(from.textures.empty());

    auto* holder = new TextureHolder; // this test's reference
    holder->AddReference();           // and the material's
    to.textures[0].holder = holder;
    to.ClearLinks();
    EXPECT_EQ(to.textures[0].holder, nullptr);
    EXPECT_EQ(holder->GetReferenceCount(), 1u);
    to.textures[0].holder = holder; // now the last reference: cleared links delete it (the leak check sees it)
    to.ClearLinks();
}

TEST(MeshMaterialTest, PassTablePicksTheKindsShaders)
{
    using M = MeshMaterial;
    constexpr uint32_t I = 0x80000000u;
    constexpr uint32_t X = 99; // skipped
    struct Case
    {
        uint32_t pass, kind, blend;
        bool refraction, canRefract;
        uint32_t vs, ps;
        bool depthWrite;
        bool blendZero;
    };
    const Case cases[] = {
        {1, 0, 0, false, false, M::LINK_FORWARD_VS, M::LINK_FORWARD_PS, true, false},
        {1, 0, 3, false, false, M::LINK_FORWARD_VS, M::LINK_FORWARD_PS, false, false},
        {1, 0, 3, true, true, M::LINK_FORWARD_VS, M::LINK_REFRACTION_PS, false, true},
        {1, 0, 3, true, false, M::LINK_FORWARD_VS, M::LINK_FORWARD_PS, false, false},
        {1, 0, 0, true, false, X, X, false, false},
        {1, 1, 0, false, false, X, X, false, false},
        {1, 2, 0, false, false, X, X, false, false},
        {2, 1, 0, false, false, M::LINK_FORWARD_VS, M::LINK_FORWARD_PS, true, false},
        {2, 0, 0, false, false, X, X, false, false},
        {4, 1, 0, false, false, M::LINK_DEFERRED_VS, M::LINK_DEFERRED_PS, true, false},
        {4, 2, 0, false, false, X, X, false, false},
        {8, 2, 0, false, false, M::LINK_FORWARD_VS, M::LINK_FORWARD_PS, true, false},
        {8, 1, 0, false, false, X, X, false, false},
        {16, 0, 0, false, false, M::LINK_FORWARD_VS, M::LINK_FORWARD_PS, true, false},
        {16, 2, 5, false, false, M::LINK_FORWARD_VS, M::LINK_FORWARD_PS, false, false},
        {16, 1, 5, false, false, M::LINK_DEFERRED_VS, M::LINK_DEFERRED_PS, true, false},
        {16, 3, 0, false, false, X, X, false, false},
        {I | 1, 0, 0, false, false, M::LINK_INSTANCED_FORWARD_VS, M::LINK_FORWARD_PS, true, false},
        {I | 2, 1, 0, false, false, M::LINK_INSTANCED_FORWARD_VS, M::LINK_FORWARD_PS, true, false},
        {I | 4, 1, 0, false, false, M::LINK_INSTANCED_DEFERRED_VS, M::LINK_DEFERRED_PS, true, false},
        {I | 8, 2, 0, false, false, M::LINK_INSTANCED_FORWARD_VS, M::LINK_FORWARD_PS, true, false},
        {I | 16, 1, 0, false, false, M::LINK_INSTANCED_DEFERRED_VS, M::LINK_DEFERRED_PS, true, false},
        {I | 16, 0, 2, false, false, M::LINK_INSTANCED_FORWARD_VS, M::LINK_FORWARD_PS, false, false},
        {3, 0, 0, false, false, X, X, false, false},
        {0, 1, 0, false, false, X, X, false, false},
    };
    for (const Case& c : cases)
    {
        const MeshPassChoice choice = ChooseMeshPass(c.pass, c.kind, c.blend, c.refraction, c.canRefract);
        const std::string what = "pass " + std::to_string(c.pass & ~I) + (c.pass & I ? " instanced" : "") +
                                 " kind " + std::to_string(c.kind) + " blend " + std::to_string(c.blend);
        EXPECT_EQ(choice.skip, c.vs == X) << what;
        if (c.vs == X)
            continue;
        EXPECT_EQ(choice.vertexLink, c.vs) << what;
        EXPECT_EQ(choice.pixelLink, c.ps) << what;
        EXPECT_EQ(choice.depthWrite, c.depthWrite) << what;
        EXPECT_EQ(choice.blendZero, c.blendZero) << what;
    }
}

TEST(MeshMaterialTest, GatheredRecordsSortByDepthThenDescendingKeys)
{
    const auto* a = reinterpret_cast<const MeshTemplateRenderingData*>(uintptr_t(0x1000));
    const auto* b = reinterpret_cast<const MeshTemplateRenderingData*>(uintptr_t(0x2000));
    auto make = [](float depth, const MeshTemplateRenderingData* data, uint32_t preset, uint8_t mirrored, uint32_t id) {
        MeshGatherRecord r;
        r.depthKey = depth;
        r.data = data;
        r.presetIndex = preset;
        r.mirrored = mirrored;
        r.outlineState = id == 5 ? 1 : 0; // only record 5 is outlined
        r.random = float(id);
        return r;
    };
    // Two records are ordered too (the nearer first).
    MeshGatherRecord two[2] = {make(5, a, 0, 0, 0), make(1, a, 0, 0, 1)};
    MeshTemplateRenderingData::SortGathered(two, 2);
    EXPECT_EQ(two[0].random, 1.0f);

    MeshGatherRecord records[] = {make(2, a, 0, 0, 0), make(2, b, 0, 0, 1), make(1, a, 0, 0, 2),
                                  make(2, b, 1, 0, 3), make(2, b, 1, 1, 4), make(2, a, 0, 0, 5), make(2, a, 0, 0, 6)};
    MeshTemplateRenderingData::SortGathered(records, 7);
    std::vector<int> order;
    for (const MeshGatherRecord& r : records)
        order.push_back(int(r.random));
    // Depth 1 first; at depth 2 data b before a, preset 1 before 0, mirrored before not, outlined
    // before not; equal keys keep their gathering order.
    EXPECT_EQ(order, (std::vector<int>{2, 4, 3, 1, 5, 0, 6}));

    // Keys below zero (a camera far behind the records) and keys apart by one part in a million
    // keep the float order; -0 and +0 are one depth, ordered by the rest of the key.
    MeshGatherRecord signs[] = {make(-0.0f, a, 0, 0, 0), make(-3, a, 0, 0, 1), make(2.000002f, a, 0, 0, 2),
                                make(0.0f, b, 0, 0, 3),  make(-1, a, 0, 0, 4), make(2.0f, a, 0, 0, 5),
                                make(-1e6f, a, 0, 0, 6)};
    MeshTemplateRenderingData::SortGathered(signs, 7);
    order.clear();
    for (const MeshGatherRecord& r : signs)
        order.push_back(int(r.random));
    EXPECT_EQ(order, (std::vector<int>{6, 1, 4, 3, 0, 5, 2}));
}
