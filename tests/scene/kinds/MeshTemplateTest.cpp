// Mesh templates: body versions, the written body read back, collision box, head bones, bone
// choices and shader preset lookups.
#include "scene/kinds/MeshTemplate.h"

#include "core/reflection/RTTIPropertiesBase.h"
#include "core/reflection/RecordStream.h"
#include "effects/animation/MeshSkeleton.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "scene/SceneClassRegistration.h"
#include "scene/templates/TemplateBodyReader.h"
#include "renderer/RenderCommands.h"
#include "support/ConsoleCapture.h"
#include "support/RenderStreamCapture.h"
#include "tools/datakit/MeshTemplateWriter.h"
#include "tools/datakit/SceneWriter.h"

#include <gtest/gtest.h>

#include <tuple>
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

// Blocks after the record, as a body of `version` lays them out, without mesh data or skeleton
// (version 1 always has mesh data: the smallest record of that version).
std::vector<uint8_t> Blocks(uint32_t version)
{
    std::vector<uint8_t> out;
    if (version >= 2)
        out.push_back(0);
    else
    {
        for (int i = 0; i < 3; ++i)
            PutU32(out, 0);
        PutZeros(out, 24);
        PutU32(out, 0);
        PutZeros(out, 20);
        PutU32(out, 0);
        PutZeros(out, 20);
        PutU32(out, 0); // embedded materials
    }
    if (version >= 8)
        out.push_back(0);
    if (version >= 42)
    {
        PutU32(out, 11);
        PutU32(out, 12);
    }
    if (version >= 47)
    {
        PutU32(out, 13);
        PutU32(out, 0x3F800000u);
    }
    return out;
}

bool Set(RTTIPolyBaseClass& object, const char* name, const char* text)
{
    const RTTIProperty* property = object.GetClassProperties()->FindPropertyInClassChain(name);
    return property != nullptr && property->SetFromText(&object, text);
}

class MeshTemplateTest : public ::testing::Test
{
protected:
    void SetUp() override { RegisterSceneClasses(); }
};
} // namespace

TEST_F(MeshTemplateTest, BodyVersionsReadTheirBlocks)
{
    struct Case
    {
        uint32_t version;
        bool meshData;
        uint32_t words[4];
    };
    const Case cases[] = {{1, true, {0, 0, 0, 0}},        {7, false, {0, 0, 0, 0}},
                          {8, false, {0, 0, 0, 0}},       {41, false, {0, 0, 0, 0}},
                          {42, false, {11, 12, 0, 0}},
                          {46, false, {11, 12, 0, 0}},
                          {47, false, {11, 12, 13, 0x3F800000u}}};
    for (const Case& c : cases)
    {
        MeshTemplate meshTemplate;
        const std::vector<uint8_t> bytes = Blocks(c.version);
        RecordInput in(bytes.data(), bytes.size());
        ASSERT_TRUE(meshTemplate.ReadBodyBlocks(in, c.version)) << c.version;
        EXPECT_EQ(in.Remaining(), 0u) << c.version;
        EXPECT_EQ(meshTemplate.GetRenderingData() != nullptr, c.meshData) << c.version;
        EXPECT_EQ(meshTemplate.GetSkeleton(), nullptr);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(meshTemplate.GetStoredWords()[i], c.words[i]) << c.version << " word " << i;
    }
}

TEST_F(MeshTemplateTest, WrittenBodyReadsBackEqual)
{
    MeshTemplateSpec spec;
    spec.shaderPresets = {"Default", "Snow"};
    spec.bones = {"Hips", "Spine", "Head"};
    spec.storedWords[3] = 0x40000000u;
    spec.animations = {{"Walk", {}}, {"Idle", {"calm", "tense"}}};
    SimpleGUID guid;
    guid.bytes[0] = 0x42;
    const std::vector<uint8_t> body = MeshTemplateWriter::BuildBody(spec, guid);

    MeshTemplate read;
    ASSERT_TRUE(TemplateBodyReader::ReadBody(read, body.data(), body.size()));
    EXPECT_EQ(read.GetGUID(), guid);
    EXPECT_EQ(read.GetTypeId(), MeshTemplate::kTypeId);
    ASSERT_NE(read.GetRenderingData(), nullptr);
    EXPECT_EQ(read.GetRenderingData()->GetPresetCount(), 2u);
    EXPECT_EQ(read.GetRenderingData()->GetSkinningBoneCount(), 0u) << "bones alone skin no vertex";
    ASSERT_NE(read.GetSkeleton(), nullptr);
    EXPECT_STREQ(read.GetSkeleton()->GetBone(2).name.CStr(), "Head");
    EXPECT_EQ(read.GetStoredWords()[3], 0x40000000u);
    ASSERT_EQ(read.GetAnimations().Count(), 2);
    EXPECT_STREQ(read.GetAnimations()[0].GetName().CStr(), "Idle");
    const MeshTemplateAnimationPreset& idle = read.GetAnimations()[0].m_defaultPreset;
    EXPECT_EQ(std::make_tuple(idle.m_time, idle.m_movementSpeed, idle.m_cooldown, idle.m_removedFrames),
              std::make_tuple(1.0f, 0.0f, 0.0f, 0u)) << "a named animation plays a second, in place, at once, whole";
    // Post-load ran: bases are assigned.
    EXPECT_EQ(read.GetAnimations()[1].m_baseIndex, 3);
    EXPECT_EQ(SceneWriter::BuildTemplateBody(read, guid, MeshTemplate::kTypeId), body);
}

TEST_F(MeshTemplateTest, ShortBodyFailsAndKeepsNoHalfReadBlock)
{
    ConsoleCapture console;
    MeshTemplateSpec spec;
    spec.bones = {"Hips"};
    SimpleGUID guid;
    std::vector<uint8_t> body = MeshTemplateWriter::BuildBody(spec, guid);
    body.resize(body.size() - 3);
    MeshTemplate read;
    EXPECT_FALSE(TemplateBodyReader::ReadBody(read, body.data(), body.size()));
    EXPECT_EQ(read.GetRenderingData(), nullptr);
    EXPECT_EQ(read.GetSkeleton(), nullptr);
    EXPECT_TRUE(console.Contains("body of version 53 is cut short", 4));
}

TEST_F(MeshTemplateTest, WithoutARendererDroppedMeshDataIsDeletedAtOnce)
{
    ConsoleCapture console;
    {
        MeshTemplate meshTemplate;
        meshTemplate.SetRenderingData(new MeshTemplateRenderingData);
    }
    EXPECT_EQ(console.CountOfKind(4), 0u) << "no deletion is posted to a renderer that is not there";
}

TEST_F(MeshTemplateTest, EffectiveCollisionBoxScalesAndOffsets)
{
    MeshTemplate meshTemplate;
    const BoundingBox4& box = meshTemplate.GetEffectiveCollisionBox();
    EXPECT_FLOAT_EQ(box.min.x, -1.0f);
    EXPECT_FLOAT_EQ(box.max.y, 1.0f);
    ASSERT_TRUE(Set(meshTemplate, "Collision box scale", "2 1 3 1"));
    ASSERT_TRUE(Set(meshTemplate, "Collision box offset", "1 5 -2 0"));
    meshTemplate.OnPropertyChanged(nullptr);
    EXPECT_FLOAT_EQ(box.min.x, -1.0f);
    EXPECT_FLOAT_EQ(box.min.y, 4.0f);
    EXPECT_FLOAT_EQ(box.min.z, -5.0f);
    EXPECT_FLOAT_EQ(box.max.x, 3.0f);
    EXPECT_FLOAT_EQ(box.max.y, 6.0f);
    EXPECT_FLOAT_EQ(box.max.z, 1.0f);
}

TEST_F(MeshTemplateTest, HeadBonesFollowTheSkeletonAndTheScale)
{
    MeshTemplateSpec spec;
    spec.bones = {"Hips", "Spine", "Head"};
    std::unique_ptr<MeshTemplate> meshTemplate = MeshTemplateWriter::MakeTemplate(spec);
    ASSERT_TRUE(Set(*meshTemplate, "XSI animation scale", "0.5"));
    ASSERT_TRUE(Set(*meshTemplate, "HeadA bone", "Head"));
    ASSERT_TRUE(Set(*meshTemplate, "HeadB bone", "Tail"));
    EXPECT_EQ(meshTemplate->GetHeadBoneIndex(0), 2);
    EXPECT_FLOAT_EQ(meshTemplate->GetHeadBonePosition(0).y, 1.0f);
    EXPECT_EQ(meshTemplate->GetFakeShadow().m_headBone[0], 2);
    EXPECT_EQ(meshTemplate->GetHeadBoneIndex(1), -1);
    EXPECT_FLOAT_EQ(meshTemplate->GetHeadBonePosition(1).y, 0.0f);

    DynarraySafe<NameString> choices;
    meshTemplate->GetPropertyChoices("HeadA bone", choices);
    ASSERT_EQ(choices.Count(), 4);
    EXPECT_STREQ(choices[0].CStr(), "Hips");
    EXPECT_TRUE(choices[3].IsEmpty());
    // A bone that skins no vertex is no choice.
    auto* skeleton = new MeshSkeleton;
    skeleton->AddBone(meshTemplate->GetSkeleton()->GetBone(0), Matrix::ONE);
    skeleton->AddBone(MeshSkeletonBone{NameString("Tail"), 0}, Matrix::ONE);
    meshTemplate->SetSkeleton(skeleton);
    meshTemplate->GetPropertyChoices("HeadA bone", choices);
    EXPECT_EQ(choices.Count(), 2) << "Hips and none";
}

TEST_F(MeshTemplateTest, WithoutSkeletonTheOnlyBoneChoiceIsEmpty)
{
    MeshTemplate meshTemplate;
    DynarraySafe<NameString> choices;
    choices.Add(NameString("stale"));
    meshTemplate.GetPropertyChoices("HeadB bone", choices);
    ASSERT_EQ(choices.Count(), 1);
    EXPECT_TRUE(choices[0].IsEmpty());
}

TEST_F(MeshTemplateTest, ShaderPresetLookupsByNameAndByInternedName)
{
    MeshTemplateSpec spec;
    spec.shaderPresets = {"Default", "Snow"};
    std::unique_ptr<MeshTemplate> meshTemplate = MeshTemplateWriter::MakeTemplate(spec);
    EXPECT_EQ(meshTemplate->GetShaderPresetIndexByName("snow"), 1);
    EXPECT_EQ(meshTemplate->GetShaderPresetIndexByName("Rain"), -1);
    EXPECT_EQ(meshTemplate->GetShaderPresetIndexByName(nullptr), -1);
    EXPECT_EQ(meshTemplate->GetShaderPresetIndex(NameString("Snow")), 1);
    EXPECT_EQ(meshTemplate->GetShaderPresetIndex(NameString("snow")), -1);
    EXPECT_EQ(meshTemplate->GetShaderPresetIndex(NameString()), -1);

    MeshTemplate bare;
    EXPECT_EQ(bare.GetShaderPresetIndexByName("Default"), -1);
    EXPECT_FALSE(bare.DrawDebug(Matrix::ONE, 2));
    EXPECT_TRUE(meshTemplate->DrawDebug(Matrix::ONE, 2));
}

// The debug shape draws the template's mesh data with the world matrix, its colour (white with
// flag 2, else the wireframe colour), the named shader preset (0 when unknown) and flag 4 as the
// draw's flag.
TEST_F(MeshTemplateTest, DebugShapesDrawTheMeshWithTheirColourPresetAndFlag)
{
    MeshTemplateSpec spec;
    spec.shaderPresets = {"Default", "Snow"};
    std::unique_ptr<MeshTemplate> meshTemplate = MeshTemplateWriter::MakeTemplate(spec);
    ASSERT_TRUE(Set(*meshTemplate, "Wireframe color", "0 255 0 255 1"));
    RenderStreamCapture capture;
    Matrix world = Matrix::ONE;
    world.rows[3].Set(7.0f, 8.0f, 9.0f, 1.0f);
    struct Case
    {
        int call;
        uint32_t material;
        uint8_t flag;
        float red;
        float green;
    };
    const Case cases[] = {{0, 0, 0, 1.0f, 1.0f}, {1, 0, 1, 0.0f, 1.0f}, {2, 1, 1, 1.0f, 0.0f}, {3, 0, 0, 1.0f, 0.0f}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.call);
        const HDRColor red(255, 0, 0, 255, 1.0f);
        if (c.call == 0)
            ASSERT_TRUE(meshTemplate->DrawDebug(world, 2));
        else if (c.call == 1)
            ASSERT_TRUE(meshTemplate->DrawDebug(world, 4));
        else if (c.call == 2)
            ASSERT_TRUE(meshTemplate->DrawDebugShape(world, red, 4, "snow"));
        else
            ASSERT_TRUE(meshTemplate->DrawDebugShape(world, red, 2, "Rain"));
        capture.Take();
        ASSERT_EQ(capture.NextOpcode(), uint32_t(RENDER_OP_DRAW_MESH));
        EXPECT_EQ(capture.Read<uintptr_t>(), reinterpret_cast<uintptr_t>(meshTemplate->GetRenderingData()));
        EXPECT_FLOAT_EQ(capture.Read<Matrix>().rows[3].y, 8.0f);
        capture.Read<Matrix>();
        capture.Read<BoundingBox4>();
        const Vector colour = capture.Read<Vector>();
        EXPECT_FLOAT_EQ(colour.x, c.red);
        EXPECT_FLOAT_EQ(colour.y, c.green);
        EXPECT_EQ(capture.Read<uint32_t>(), c.material);
        EXPECT_EQ(capture.Read<uint8_t>(), c.flag);
    }
}
