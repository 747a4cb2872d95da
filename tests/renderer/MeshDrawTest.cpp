// ctest-labels: thread
// Mesh rendering data on a running renderer with the project's shaders: loading creates the device
// objects and resolves the material's shaders; draws light the pixels the mesh covers, skip what
// the pass table skips, and gathered draws flush at 1024; every draw of a table of material forms
// matches a stored copy. The CPU skinning path without a device.
#include "renderer/MeshTemplateRenderingData.h"

#include "core/reflection/RecordStream.h"
#include "platform/gpu/Gpu.h"
#include "engine/config/GameConfig.h"
#include "engine/config/ProjectConfig.h"
#include "renderer/LightmapMapping.h"
#include "renderer/MeshEntityRenderingContext.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/ShaderManager.h"
#include "renderer/jobs/TextureHolder.h"
#include "support/ConsoleCapture.h"
#include "support/DrawLogText.h"
#include "support/GoldenText.h"
#include "support/RenderDataHarness.h"
#include "support/RenderThreadCall.h"
#include "support/VertexElementBytes.h"
#include "tools/datakit/LightProbeMapWriter.h"
#include "tools/datakit/TextureFileWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <tuple>

namespace
{
struct LitVertex
{
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};

class MeshDrawTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataRoot data;
        ASSERT_TRUE(AddLightmapSet(data, "Field", {0, 1}));
        TextureFileSpec spec;
        spec.texel = [](uint32_t, uint32_t, uint32_t, uint32_t) { return 0xFFFFFFFFu; };
        std::string texture;
        ASSERT_TRUE(BuildTextureFile(spec, texture));
        data.AddFile("textures", "mesh/white.texture", texture);
        ASSERT_TRUE(m_harness.StartWithShaders(data));
    }
    void TearDown() override
    {
        if (m_data != nullptr)
        {
            NorvexRendererObject::PostDeletion(m_data.release(), true, false);
            m_harness.GetRenderer().SubmitCommands(true);
        }
        m_harness.Stop();
        EXPECT_EQ(MeshTemplateRenderingData::GetLiveCount(), 0u);
    }

    // A square over the middle of the clip square facing the default sun, two triangles, clockwise
    // on screen; one material of the given kind. It replaces any earlier data, deleted on the render thread.
    void LoadSquare(uint32_t kind, uint32_t flags = 0, uint8_t channel = 0,
                    const std::function<void(MeshTemplateRenderingData&, MeshShaderPreset&)>& edit = nullptr,
                    uint8_t addedMeshFlags = 0)
    {
        // The default sun (pitch 45, yaw 0) travels along (0, -1, 1) / sqrt(2): a normal against it
        // gets all of it.
        const float n[3] = {0.0f, std::sqrt(0.5f), -std::sqrt(0.5f)};
        const LitVertex vertices[4] = {{-0.5f, 0.5f, 0.5f, n[0], n[1], n[2], 0, 0},
                                       {0.5f, 0.5f, 0.5f, n[0], n[1], n[2], 1, 0},
                                       {0.5f, -0.5f, 0.5f, n[0], n[1], n[2], 1, 1},
                                       {-0.5f, -0.5f, 0.5f, n[0], n[1], n[2], 0, 1}};
        std::vector<uint8_t> bytes(sizeof(vertices));
        std::memcpy(bytes.data(), vertices, sizeof(vertices));
        MeshTemplateRenderingData built;
        built.SetGeometry(4, sizeof(LitVertex), bytes, {0, 1, 3, 1, 2, 3});
        built.SetDeclaration(VertexElementBytes({{0, 0, gpu::kDeclFloat3, 0, gpu::kDeclUsagePosition, 0},
                                                 {0, 12, gpu::kDeclFloat3, 0, gpu::kDeclUsageNormal, 0},
                                                 {0, 24, gpu::kDeclFloat2, 0, gpu::kDeclUsageTexCoord, 0},
                                                 gpu::kDeclEnd}));
        built.SetEdgeLines({0, 2});
        MeshShaderPreset preset;
        preset.name = NameString("Default");
        preset.materials.resize(1);
        preset.materials[0].shaderName = "MeshSolid";
        preset.materials[0].flags = kind | flags;
        preset.materials[0].triangleCount = 2;
        preset.materials[0].channel = channel;
        preset.channelMask = channel != 0 ? 1u << channel : 0u;
        if (edit)
            edit(built, preset);
        built.AddPreset(preset);
        if (m_data != nullptr)
        {
            NorvexRendererObject::PostDeletion(m_data.release(), true, false);
            m_harness.GetRenderer().SubmitCommands(true);
        }
        std::vector<uint8_t> record(8192);
        RecordOutput out(record.data(), record.size(), false);
        built.Save(out);
        record.resize(out.Size());
        record[0] |= addedMeshFlags;
        m_data = std::make_unique<MeshTemplateRenderingData>();
        RecordInput in(record.data(), record.size());
        ASSERT_TRUE(m_data->Load(in, 53, "Square"));
    }

    // Clears to black, runs the draws on the render thread and answers the centre pixel and the
    // number of draw calls they made.
    std::pair<uint32_t, uint32_t> DrawAndProbe(const std::function<void()>& draws)
    {
        uint32_t pixel = 0, calls = 0;
        RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer& renderer) {
            gpu::GpuDevice* device = renderer.GetDevice();
            device->BeginScene();
            device->Clear(0, nullptr, gpu::kClearTarget, 0xFF000000u, 1.0f, 0);
            const uint32_t before = device->GetFrameStatistics().drawCalls;
            draws();
            calls = device->GetFrameStatistics().drawCalls - before;
            device->EndScene();
            gpu::GpuSurface* target = nullptr;
            device->GetRenderTarget(0, &target);
            pixel = target->ReadPixelArgb(target->Desc().width / 2, target->Desc().height / 2) | 0xFF000000u;
            target->Release();
            renderer.SetVertexShader(nullptr);
            renderer.SetPixelShader(nullptr);
            device->SetVertexDeclaration(nullptr);
        });
        return {pixel, calls};
    }

    void DrawSquare(int32_t pass, uint32_t preset = 0, const Vector& color = Vector(0.5f, 0.25f, 1.0f, 1.0f)) const
    {
        m_data->Draw(Matrix::ONE, Matrix::ONE, m_data->GetBounds(), color, 1.0f, 0, 1, preset, nullptr, nullptr, nullptr,
                     pass, 0, 0, 0.0f);
    }

    static int Channel(uint32_t argb, int shift) { return int((argb >> shift) & 0xFF); }

    ConsoleCapture m_log;
    RenderDataHarness m_harness;
    std::unique_ptr<MeshTemplateRenderingData> m_data;
};
} // namespace

TEST_F(MeshDrawTest, LoadingCreatesDeviceObjectsAndResolvesTheForwardShaders)
{
    LoadSquare(0);
    EXPECT_TRUE(m_data->IsReady());
    EXPECT_NE(m_data->GetDeclaration(), nullptr);
    EXPECT_EQ(m_data->GetInstanceDeclaration(), nullptr) << "no instancing elements, no declaration";
    EXPECT_NE(m_data->GetVertexBuffer(), nullptr);
    EXPECT_NE(m_data->GetIndexBuffer(), nullptr);
    EXPECT_NE(m_data->GetEdgeIndexBuffer(), nullptr);
    EXPECT_EQ(MeshTemplateRenderingData::GetLiveCount(), 1u);
    const MeshMaterial& material = m_data->GetPreset(0).materials[0];
    EXPECT_NE(material.GetShaderResource(MeshMaterial::LINK_FORWARD_VS), nullptr);
    EXPECT_NE(material.GetShaderResource(MeshMaterial::LINK_FORWARD_PS), nullptr);
    EXPECT_NE(material.GetShaderResource(MeshMaterial::LINK_INSTANCED_FORWARD_VS), nullptr);
    EXPECT_EQ(material.GetShaderResource(MeshMaterial::LINK_DEFERRED_VS), nullptr) << "kind 0 has no deferred pair";
    EXPECT_EQ(material.GetShaderResource(MeshMaterial::LINK_REFRACTION_PS), nullptr);
    EXPECT_STREQ(material.GetShaderResource(MeshMaterial::LINK_FORWARD_VS)->GetName(),
                 "MeshSolid/00000000000000000000000000000000.vs_3_0");

    // Saving reads the buffers back from the device: the same record again. The copy's vertex buffer
    // fails, so it saves the vertices it kept.
    std::vector<uint8_t> first(8192), second(8192);
    RecordOutput a(first.data(), first.size(), false);
    m_data->Save(a);
    const float corner[3] = {-0.5f, 0.5f, 0.5f};
    const uint8_t* cornerBytes = reinterpret_cast<const uint8_t*>(corner);
    EXPECT_NE(std::search(first.begin(), first.begin() + long(a.Size()), cornerBytes, cornerBytes + 12),
              first.begin() + long(a.Size()))
        << "the first vertex, read back from the device";
    MeshTemplateRenderingData copy;
    RecordInput in(first.data(), a.Size());
    gpu::Faults().FailResourceCreation(1, gpu::ObjectKind::VertexBuffer);
    ASSERT_TRUE(copy.Load(in, 53, "Copy"));
    EXPECT_EQ(copy.GetVertexBuffer(), nullptr);
    RecordOutput b(second.data(), second.size(), false);
    copy.Save(b);
    EXPECT_EQ(a.Size(), b.Size());
    EXPECT_EQ(first, second);
    RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer&) { copy.ReleaseDeviceObjects(); });

    LoadSquare(0, 0, 0, [](MeshTemplateRenderingData& built, MeshShaderPreset&) {
        built.SetInstanceDeclaration(
            VertexElementBytes({{1, 0, gpu::kDeclFloat4, 0, gpu::kDeclUsageTexCoord, 4}, gpu::kDeclEnd}));
    });
    EXPECT_NE(m_data->GetInstanceDeclaration(), nullptr) << "instancing elements make their own declaration";
}

TEST_F(MeshDrawTest, TheForwardPassLightsTheSquareAndOtherPassesSkipIt)
{
    LoadSquare(0);
    // Instance colour x the white default sun: (0.5, 0.25, 1).
    const auto [lit, litCalls] = DrawAndProbe([&] { DrawSquare(16); });
    EXPECT_NEAR(Channel(lit, 16), 128, 1);
    EXPECT_NEAR(Channel(lit, 8), 64, 1);
    EXPECT_EQ(Channel(lit, 0), 255);
    EXPECT_EQ(litCalls, 1u);
    const auto [pass1, pass1Calls] = DrawAndProbe([&] { DrawSquare(1); });
    EXPECT_EQ(pass1, lit) << "kind 0 without refraction draws its forward pair in pass 1";
    EXPECT_EQ(pass1Calls, 1u);
    for (int32_t pass : {2, 4, 8})
    {
        const auto [pixel, calls] = DrawAndProbe([&] { DrawSquare(pass); });
        EXPECT_EQ(pixel, 0xFF000000u) << pass;
        EXPECT_EQ(calls, 0u) << pass;
    }
    // A preset past the last draws only the edge line, and nothing in pass 2.
    EXPECT_EQ(DrawAndProbe([&] { DrawSquare(16, 1); }).second, 1u);
    EXPECT_EQ(DrawAndProbe([&] { DrawSquare(2, 1); }).second, 0u);
}

TEST_F(MeshDrawTest, TheSceneParameterSetInForceLightsTheSquare)
{
    LoadSquare(0);
    // A red sun from straight behind the camera's view of the square, and a blue secondary colour.
    SceneParametersWrapper scene;
    scene.SetDefaults();
    scene.GetSun().sunColor = Vector(1.0f, 0.0f, 0.0f, 1.0f);
    scene.GetSun().secondaryColor = Vector(0.0f, 0.0f, 1.0f, 1.0f);
    scene.GetSun().lightPitch = -45.0f;
    scene.GetSun().lightYaw = 180.0f;
    scene.UpdateLightDirections();
    RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer&) {
        gSceneEnvironment.CreateSets();
        gSceneEnvironment.StartBlend(&scene, SceneEnvironment::kBlendTemporary, 0, 0.0f);
    });
    const uint32_t lit = DrawAndProbe([&] { DrawSquare(16); }).first;
    RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer&) { gSceneEnvironment.DeleteSets(); });
    // The square faces away from that sun: the secondary colour times the instance colour.
    EXPECT_EQ(Channel(lit, 16), 0);
    EXPECT_EQ(Channel(lit, 8), 0);
    EXPECT_EQ(Channel(lit, 0), 255);
}

TEST_F(MeshDrawTest, IgnoredInstanceColourAndExcludedMaterials)
{
    LoadSquare(0, MeshMaterial::FLAG_IGNORE_INSTANCE_COLOR);
    const uint32_t white = DrawAndProbe([&] { DrawSquare(16); }).first;
    EXPECT_EQ(white, 0xFFFFFFFFu) << "white under the white sun whatever the instance colour";
    LoadSquare(0, MeshMaterial::FLAG_NO_LIT_PASSES);
    EXPECT_EQ(DrawAndProbe([&] { DrawSquare(16); }).second, 0u);
}

TEST_F(MeshDrawTest, GatheredDrawsFlushAt1024AndDrawNearestFirstInOneRun)
{
    LoadSquare(0);
    uint32_t afterFirst = 0, afterOverflow = 0, afterFlush = 0;
    // Counting draws needs no pixels.
    RunOnRenderThread(m_harness.GetRenderer(), [](NorvexRenderer& r) { r.GetDevice()->SetRasterising(false); });
    const uint32_t calls = DrawAndProbe([&] {
                               MeshTemplateRenderingData::BeginGather(16, 0);
                               for (int i = 0; i < 1024; ++i)
                                   DrawSquare(16);
                               afterFirst = MeshTemplateRenderingData::GetGatheredCount();
                               DrawSquare(16);
                               afterOverflow = MeshTemplateRenderingData::GetGatheredCount();
                               MeshTemplateRenderingData::FlushGathered();
                               afterFlush = MeshTemplateRenderingData::GetGatheredCount();
                           }).second;
    EXPECT_EQ(afterFirst, 1024u);
    EXPECT_EQ(afterOverflow, 1u) << "the 1025th flushed the first 1024";
    EXPECT_EQ(afterFlush, 0u);
    EXPECT_FALSE(MeshTemplateRenderingData::IsGathering());
    EXPECT_EQ(calls, 1025u) << "one draw per instance of each run";
    // Records sort by the matrix they draw with, not the global one (the two differ for a mesh that
    // faces the camera): the square drawn at depth 5 comes before the one drawn at 10.
    float model[16] = {};
    DrawAndProbe([&] {
        Matrix far = Matrix::ONE, near = Matrix::ONE, global = Matrix::ONE;
        far.rows[3].z = 10.0f, near.rows[3].z = 5.0f, global.rows[3].z = 1.0f;
        MeshTemplateRenderingData::BeginGather(16, 0);
        for (const auto& [world, at] : {std::pair(far, global), std::pair(near, near)})
            m_data->Draw(world, at, m_data->GetBounds(), Vector(1, 1, 1, 1), 1.0f, 0, 1, 0, nullptr, nullptr, nullptr,
                         16, 0, 0, 0.0f);
        MeshTemplateRenderingData::FlushGathered();
        m_harness.GetRenderer().GetDevice()->GetVertexShaderConstantF(0, model, 4);
    });
    EXPECT_EQ(model[11], 10.0f) << "the farther square draws last";
}

// A gathered draw in a pass that draws none of the preset's materials adds no record (the flush
// would only set states for it); a preset past the last still gathers for its edge lines.
TEST_F(MeshDrawTest, GatheringSkipsPassesThatDrawNoMaterial)
{
    struct Case
    {
        uint32_t kind;
        int32_t pass;
        uint32_t preset;
        uint32_t gathered;
    };
    const Case cases[] = {{1, 2, 0, 1}, {1, 4, 0, 1}, {1, 8, 0, 0}, {1, 1, 0, 0}, {2, 8, 0, 1},
                          {2, 4, 0, 0}, {0, 16, 0, 1}, {0, 4, 0, 0}, {0, 4, 1, 1}};
    for (const Case& c : cases)
    {
        LoadSquare(c.kind);
        uint32_t gathered = 0;
        RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer&) {
            MeshTemplateRenderingData::BeginGather(c.pass, 0);
            DrawSquare(c.pass, c.preset);
            gathered = MeshTemplateRenderingData::GetGatheredCount();
            MeshTemplateRenderingData::FlushGathered();
        });
        EXPECT_EQ(gathered, c.gathered) << "kind " << c.kind << " pass " << c.pass << " preset " << c.preset;
    }
}

TEST(MeshCpuSkinningTest, SkinnedVertexEqualsTheHandComputedOne)
{
    // A CPU vertex: position, four bone indices, four weights, a normal (layout 0x8), a 32-bit value.
    struct CpuVertex
    {
        float p[3];
        uint8_t bones[4];
        uint8_t weights[4];
        float n[3];
        uint32_t value;
    };
    static_assert(sizeof(CpuVertex) == 36);
    const CpuVertex vertices[2] = {{{1, 2, 3}, {0, 1, 0, 0}, {51, 204, 0, 255}, {0, 0, 1}, 0xAABBCCDD},
                                   {{1, 1, 1}, {7, 0, 0, 0}, {128, 127, 0, 0}, {1, 0, 0}, 7}};
    std::vector<uint8_t> bytes(sizeof(vertices));
    std::memcpy(bytes.data(), vertices, sizeof(vertices));
    MeshTemplateRenderingData data;
    data.SetGeometry(2, 28, bytes, {0, 1, 1});
    data.SetPickingLayout(0x8, sizeof(CpuVertex)); // the normal flag as mesh records store it
    // Bone 0 moves x by 1; bone 1 turns x into y (90 degrees about z) and moves z by 10.
    const float bones[24] = {1, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, //
                             0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 10};
    std::vector<uint8_t> out;
    ASSERT_TRUE(data.SkinCpuVertices(bones, 2, 0, 2, out));
    ASSERT_EQ(out.size(), 56u);
    float skinned[6];
    std::memcpy(skinned, out.data(), 24);
    // 0.2 x (2, 2, 3) + 0.8 x (-2, 1, 13): the third weight 0 ends the list.
    EXPECT_NEAR(skinned[0], 0.2f * 2 + 0.8f * -2, 1e-5f);
    EXPECT_NEAR(skinned[1], 0.2f * 2 + 0.8f * 1, 1e-5f);
    EXPECT_NEAR(skinned[2], 0.2f * 3 + 0.8f * 13, 1e-5f);
    // The normal turns without the translation.
    EXPECT_NEAR(skinned[3], 0.0f, 1e-6f);
    EXPECT_NEAR(skinned[4], 0.0f, 1e-6f);
    EXPECT_NEAR(skinned[5], 1.0f, 1e-6f);
    uint32_t value = 0;
    std::memcpy(&value, out.data() + 24, 4);
    EXPECT_EQ(value, 0xAABBCCDDu);
    // Bone 7 is past the pose: its influence is skipped, bone 0 keeps its weight.
    float second[3];
    std::memcpy(second, out.data() + 28, 12);
    EXPECT_NEAR(second[0], 127.0f / 255.0f * 2.0f, 1e-5f);
    EXPECT_NEAR(second[1], 127.0f / 255.0f, 1e-5f);

    // With a tangent too: it turns like the normal and is packed as four signed 16-bit values
    // (its handedness kept) before the 32-bit value.
    struct TangentVertex
    {
        float p[3];
        uint8_t bones[4];
        uint8_t weights[4];
        float n[3];
        float t[4];
        uint32_t value;
    };
    static_assert(sizeof(TangentVertex) == 52);
    const TangentVertex tangentVertex = {{1, 2, 3}, {1, 0, 0, 0}, {255, 0, 0, 0}, {0, 0, 1}, {1, 0, 0, -1}, 0x11223344};
    std::vector<uint8_t> tangentBytes(sizeof(tangentVertex));
    std::memcpy(tangentBytes.data(), &tangentVertex, sizeof(tangentVertex));
    MeshTemplateRenderingData withTangent;
    withTangent.SetGeometry(1, 36, tangentBytes, {0, 0, 0});
    withTangent.SetPickingLayout(MeshTemplateRenderingData::kLayoutNormal | MeshTemplateRenderingData::kLayoutTangent,
                                 sizeof(TangentVertex));
    ASSERT_TRUE(withTangent.SkinCpuVertices(bones, 2, 0, 1, out));
    int16_t packed[4];
    std::memcpy(packed, out.data() + 24, 8);
    EXPECT_EQ(packed[0], 0);
    EXPECT_EQ(packed[1], 32767);
    EXPECT_EQ(packed[2], 0);
    EXPECT_EQ(packed[3], -32768);
    std::memcpy(&value, out.data() + 32, 4);
    EXPECT_EQ(value, 0x11223344u);

    MeshTemplateRenderingData device;
    device.SetGeometry(2, 28, bytes, {0, 1, 1});
    EXPECT_FALSE(device.SkinCpuVertices(bones, 2, 0, 2, out)) << "only the CPU vertex path skins on the CPU";
}

// The CPU vertex path draws the skinned copy; with the sort flag a material's triangles go nearest the
// camera first. Without depth test the last triangle drawn over the centre shows.
TEST_F(MeshDrawTest, TheCpuPathDrawsSkinnedTrianglesSortedNearestFirst)
{
    // Position, bone indices, weights, normal, a 32-bit value. Two screen-filling triangles: the first
    // far on bone 0 facing away from the sun, the second near on bone 1 facing it.
    std::vector<float> words;
    for (uint32_t i = 0; i < 6; ++i)
    {
        const float s = std::sqrt(0.5f) * (i < 3 ? -1.0f : 1.0f);
        words.insert(words.end(), {i % 3 == 1 ? 3.0f : -1.0f, i % 3 == 0 ? 3.0f : -1.0f, i < 3 ? 0.9f : 0.1f,
                                   std::bit_cast<float>(i / 3), std::bit_cast<float>(255u), 0.0f, s, -s, 0.0f});
    }
    std::vector<uint8_t> bytes(words.size() * 4);
    std::memcpy(bytes.data(), words.data(), bytes.size());
    // Sort flag, bone 1's move along z, triangles drawn, whether the centre is lit.
    for (const auto& [sortFlag, secondZ, triangles, lit] :
         {std::tuple(0, 0.0f, 2, true), {2, 0.0f, 2, false}, {2, 0.85f, 2, true}, {0, 0.0f, 1, false}})
    {
        LoadSquare(0, 0, 0, [&](MeshTemplateRenderingData& data, MeshShaderPreset& preset) {
            data.SetPickingLayout(MeshTemplateRenderingData::kLayoutNormal, 36);
            data.SetGeometry(6, sizeof(LitVertex), bytes, {0, 1, 2, 3, 4, 5});
            data.SetSkinningBoneCount(2);
            preset.materials[0].depthTest = 0;
            preset.materials[0].triangleCount = uint32_t(triangles);
        }, uint8_t(sortFlag));
        const float bones[24] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, secondZ};
        const auto [pixel, calls] = DrawAndProbe([&] {
            m_data->Draw(Matrix::ONE, Matrix::ONE, m_data->GetBounds(), Vector(0.5f, 0.25f, 1.0f, 1.0f), 1.0f, 0, 1, 0,
                         bones, nullptr, nullptr, 16, 0, 0, 0.0f);
        });
        EXPECT_EQ(std::pair(pixel, calls), std::pair(lit ? 0xFF8040FFu : 0xFF000000u, 1u))
            << sortFlag << " " << secondZ << " " << triangles;
    }
}

// A material's texture loads with it and binds at its stage in the lit pass and, alpha-tested, in the
// depth pass, where the material's bone moves the draw. The device release drops the binding's holder.
TEST_F(MeshDrawTest, AMaterialsTextureAndBonesInTheLitAndDepthPasses)
{
    LoadSquare(0, 0, 0, [](MeshTemplateRenderingData& data, MeshShaderPreset& preset) {
        data.SetSkinningBoneCount(2);
        preset.materials[0].textures.push_back({"mesh/white.texture", 0, 0});
        preset.materials[0].alphaTestMode = 1;
        preset.materials[0].boneIndex = 1;
    });
    MeshMaterial& material = m_data->EditPreset(0).materials[0];
    TextureHolder* const holder = material.textures.at(0).holder;
    ASSERT_TRUE(holder != nullptr && holder->GetReferenceCount() == 2u) << "the resource's and the binding's";
    NorvexRenderer& renderer = m_harness.GetRenderer();
    gpu::GpuDevice* const device = renderer.GetDevice();
    gpu::GpuBaseTexture* bound[3] = {};
    float bones[24] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    uint32_t centre[2] = {};
    for (int i = 0; i < 2; ++i)
    {
        bones[15] = float(i) * 2.0f; // the second time bone 1 moves x by 2, off the screen
        centre[i] = DrawAndProbe([&] {
                        renderer.SetTexture(0, nullptr, 0);
                        m_data->DrawDepth(Matrix::ONE, 0, 0, bones, false);
                        bound[i] = device->PeekTexture(0);
                    }).first;
    }
    DrawAndProbe([&] { renderer.SetTexture(0, nullptr, 0), DrawSquare(16), bound[2] = device->PeekTexture(0); });
    EXPECT_TRUE(centre[0] != 0xFF000000u && centre[1] == 0xFF000000u) << "the bone moves it off the screen";
    bones[15] = 0.0f;
    bones[22] = 4.0f; // the bone's third row stretches z past the far plane
    EXPECT_EQ(DrawAndProbe([&] { m_data->DrawDepth(Matrix::ONE, 0, 0, bones, false); }).first, 0xFF000000u);
    EXPECT_EQ(std::vector(bound, bound + 3), std::vector<gpu::GpuBaseTexture*>(3, holder->GetTexture()));
    material.MarkResources(0x100);
    EXPECT_EQ(std::pair(material.textures[0].resource->GetFlags() & 0x100,
                        material.GetShaderResource(MeshMaterial::LINK_FORWARD_PS)->GetFlags() & 0x100),
              std::pair(0x100u, 0x100u));
    m_data->ReleaseMaterials();
    EXPECT_EQ(material.textures[0].resource, nullptr);
    RunOnRenderThread(renderer, [&](NorvexRenderer&) { m_data->ReleaseDeviceObjects(); });
    EXPECT_EQ(material.textures[0].holder, nullptr);
    EXPECT_EQ(holder->GetReferenceCount(), 1u) << "the resource's, until it is evicted";

    // A reload that fails drops the loaded materials; their holders go back on the render thread.
    LoadSquare(0, 0, 0, [](MeshTemplateRenderingData&, MeshShaderPreset& preset) {
        preset.materials[0].textures.push_back({"mesh/white.texture", 0, 0});
    });
    TextureHolder* const reloaded = m_data->GetPreset(0).materials[0].textures.at(0).holder;
    RecordInput empty(nullptr, 0);
    EXPECT_FALSE(m_data->Load(empty, 53, "Cut"));
    renderer.WaitForQueuedJobs(1);
    uint32_t references = 0;
    RunOnRenderThread(renderer, [&](NorvexRenderer&) { references = reloaded->GetReferenceCount(); });
    EXPECT_EQ(std::pair(reloaded, references), std::pair(holder, 1u));
}

TEST_F(MeshDrawTest, TheDepthPassTakesTheMaterialsDepthConstantFromItsRange)
{
    // Ranges (10, 1) then (199, 2): register 200 is the third stored vector. A range reaching past
    // the stored vectors ends the walk before it.
    for (const uint32_t second : {2u, 3u})
    {
        LoadSquare(0, MeshMaterial::FLAG_DEPTH_CONSTANT, 0, [&](MeshTemplateRenderingData&, MeshShaderPreset& preset) {
            preset.materials[0].constants = {Vector(1, 1, 1, 1), Vector(2, 2, 2, 2), Vector(0.5f, 0.25f, 0, 1)};
            preset.materials[0].constantRanges = {10, 1, 199, second};
        });
        float depth[4] = {};
        DrawAndProbe([&] {
            NorvexRenderer& renderer = m_harness.GetRenderer();
            renderer.SetPixelShaderConstants(200, &Vector::ZERO4.x, 1);
            m_data->DrawDepth(Matrix::ONE, 0, 0, nullptr, false);
            renderer.GetDevice()->GetPixelShaderConstantF(200, depth, 1);
        });
        EXPECT_EQ(std::pair(depth[0], depth[1]), second == 2 ? std::pair(0.5f, 0.25f) : std::pair(0.0f, 0.0f));
    }
}

TEST_F(MeshDrawTest, DrawMeshCommandsDrawThePresetAndTheEdgeLines)
{
    LoadSquare(0);
    NorvexRenderer& renderer = m_harness.GetRenderer();
    uint32_t before = 0, afterMesh = 0, afterLines = 0;
    RunOnRenderThread(renderer, [&](NorvexRenderer& r) {
        r.GetDevice()->BeginScene();
        r.GetDevice()->Clear(0, nullptr, gpu::kClearTarget, 0xFF000000u, 1.0f, 0);
        before = r.GetDevice()->GetFrameStatistics().drawCalls;
    });
    ASSERT_TRUE(renderer.DrawMesh(m_data.get(), Matrix::ONE, Matrix::ONE, m_data->GetBounds(),
                                  Vector(0.5f, 0.25f, 1.0f, 1.0f), 0, 0, nullptr, 0));
    // A draw whose block ends right after the mesh draws nothing with the fields it could not read.
    for (const uint32_t opcode : {RENDER_OP_DRAW_MESH, RENDER_OP_DRAW_MESH_TEMPLATE})
    {
        ASSERT_TRUE(renderer.GetWriter().WriteCommand(opcode, sizeof(uintptr_t)));
        renderer.GetWriter().Put(reinterpret_cast<uintptr_t>(m_data.get()));
        renderer.SubmitCommands(true);
    }
    RunOnRenderThread(renderer, [&](NorvexRenderer& r) { afterMesh = r.GetDevice()->GetFrameStatistics().drawCalls; });
    Matrix aside;
    aside.LoadTranslation(100.0f, 0.0f, 0.0f);
    ASSERT_TRUE(renderer.DrawMeshTemplate(m_data.get(), aside, Vector(1, 1, 1, 1), nullptr, 0));
    uint32_t pixel = 0;
    uint64_t linePixels = 1;
    RunOnRenderThread(renderer, [&](NorvexRenderer& r) {
        gpu::GpuDevice* device = r.GetDevice();
        afterLines = device->GetFrameStatistics().drawCalls;
        linePixels = device->GetDrawLog().back().pixelsWritten;
        device->EndScene();
        gpu::GpuSurface* target = nullptr;
        device->GetRenderTarget(0, &target);
        pixel = target->ReadPixelArgb(target->Desc().width / 4 + 8, target->Desc().height / 2) | 0xFF000000u;
        target->Release();
        r.SetVertexShader(nullptr);
        r.SetPixelShader(nullptr);
        device->SetVertexDeclaration(nullptr);
    });
    EXPECT_EQ(afterMesh - before, 1u);
    EXPECT_NEAR(Channel(pixel, 16), 128, 1) << "the square's left half is lit";
    EXPECT_EQ(afterLines - afterMesh, 1u) << "the template draw is the edge line list";
    EXPECT_EQ(linePixels, 0u) << "moved off the screen by its world matrix";
    EXPECT_FALSE(m_log.Contains("Render command 66 ("));
}

// Flag 0x2000 binds the ambient cube and the scene's lightmap 0; flag 0x1000 the lightmap the
// instance's mapping names.
TEST_F(MeshDrawTest, LightingFlagsBindTheScenesLightmapsAndTheInstancesBlock)
{
    GameConfig config;
    config.m_useContainerFiles = true;
    gSceneEnvironment.SetConfig(&config);
    gSceneEnvironment.LoadLightmaps("Field", 255);
    ASSERT_NE(gSceneEnvironment.GetLightmapTexture(1), nullptr);
    LightmapMapping mapping;
    mapping.m_lightmapId = 1;
    TextureHolder* const cube = m_harness.GetRenderer().GetDeviceManager().GetRenderTargets().lightingCube;
    ASSERT_NE(cube, nullptr);
    struct Case
    {
        uint32_t flag;
        TextureHolder* at11;
        TextureHolder* at13;
    };
    const Case cases[] = {{MeshMaterial::FLAG_SCENE_ENVIRONMENT, cube, gSceneEnvironment.GetLightmapTexture(0)},
                          {MeshMaterial::FLAG_LIGHT_PROBE, nullptr, gSceneEnvironment.GetLightmapTexture(1)},
                          {0, nullptr, nullptr}};
    for (const Case& c : cases)
    {
        LoadSquare(0, c.flag);
        gpu::GpuBaseTexture *at11 = nullptr, *at13 = nullptr;
        DrawAndProbe([&] {
            NorvexRenderer& renderer = m_harness.GetRenderer();
            renderer.SetTexture(11, nullptr, 0);
            renderer.SetTexture(13, nullptr, 0);
            m_data->Draw(Matrix::ONE, Matrix::ONE, m_data->GetBounds(), Vector(1, 1, 1, 1), 1.0f, 0, 1, 0, nullptr,
                         &mapping, nullptr, 16, 0, 0, 0.0f);
            at11 = renderer.GetDevice()->PeekTexture(11);
            at13 = renderer.GetDevice()->PeekTexture(13);
        });
        EXPECT_EQ(at11, c.at11 != nullptr ? c.at11->GetTexture() : nullptr) << c.flag;
        EXPECT_EQ(at13, c.at13 != nullptr ? c.at13->GetTexture() : nullptr) << c.flag;
    }
    // An instance-ambient material uploads the instance's ten lighting vectors, the six ambient-cube
    // colours scaled by the scene's light-probe multiplier; others leave them. The mesh's bounds
    // follow in the next two registers either way.
    Vector block[10];
    for (int i = 0; i < 10; ++i)
        block[i] = Vector(float(i + 1), 0.5f, 0.25f, 1.0f);
    SceneParametersWrapper scene;
    scene.SetDefaults();
    scene.GetShading().lightProbeMultiplier = Vector(2.0f, 4.0f, 0.5f, 3.0f);
    RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer&) {
        gSceneEnvironment.CreateSets();
        gSceneEnvironment.StartBlend(&scene, SceneEnvironment::kBlendTemporary, 0, 0.0f);
    });
    for (const uint32_t flag : {uint32_t(MeshMaterial::FLAG_INSTANCE_AMBIENT), 0u})
    {
        LoadSquare(0, flag);
        float registers[48] = {};
        DrawAndProbe([&] {
            NorvexRenderer& renderer = m_harness.GetRenderer();
            renderer.SetVertexShaderConstants(210, registers, 12);
            m_data->Draw(Matrix::ONE, Matrix::ONE, m_data->GetBounds(), Vector(1, 1, 1, 1), 1.0f, 0, 1, 0, nullptr,
                         &mapping, block, 16, 0, 0, 0.0f);
            renderer.GetDevice()->GetVertexShaderConstantF(210, registers, 12);
        });
        const float uploaded[2][8] = {{2.0f, 2.0f, 0.125f, 1.0f, 12.0f, 2.0f, 0.125f, 1.0f},
                                      {7.0f, 0.5f, 0.25f, 1.0f, 10.0f, 0.5f, 0.25f, 1.0f}};
        const float none[2][8] = {};
        EXPECT_EQ(std::memcmp(registers, flag != 0 ? uploaded[0] : none[0], 4 * sizeof(float)), 0) << flag;
        EXPECT_EQ(std::memcmp(registers + 20, flag != 0 ? uploaded[0] + 4 : none[0], 4 * sizeof(float)), 0) << flag;
        EXPECT_EQ(std::memcmp(registers + 24, flag != 0 ? uploaded[1] : none[1], 4 * sizeof(float)), 0) << flag;
        EXPECT_EQ(std::memcmp(registers + 36, flag != 0 ? uploaded[1] + 4 : none[1], 4 * sizeof(float)), 0) << flag;
        EXPECT_EQ(std::memcmp(registers + 40, &m_data->GetBounds().min.x, 8 * sizeof(float)), 0) << flag;
    }
    RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer&) { gSceneEnvironment.DeleteSets(); });
    gSceneEnvironment.UnloadLightmaps();
    gSceneEnvironment.SetConfig(nullptr);
}

// In pass 1 a refracting material first copies the scene colour behind the square into the
// refraction copy.
TEST_F(MeshDrawTest, ARefractingDrawCopiesTheSceneBehindIt)
{
    RendererDeviceSettings settings;
    settings.gfxQualityLevel = 2;
    settings.enableRefraction = true;
    m_harness.GetRenderer().SetDeviceSettings(settings);
    m_harness.GetRenderer().ApplyDisplaySettings(m_harness.GetWindow(), 320, 240, true, false);
    LoadSquare(0, MeshMaterial::FLAG_REFRACTION);
    ASSERT_NE(m_data->GetPreset(0).materials[0].GetLink(MeshMaterial::LINK_REFRACTION_PS), nullptr);
    uint32_t behind = 0;
    DrawAndProbe([&] {
        NorvexRenderer& renderer = m_harness.GetRenderer();
        const RenderTargetSet& targets = renderer.GetDeviceManager().GetRenderTargets();
        gpu::GpuSurface* const copy = targets.refractionCopy.GetSurface();
        ASSERT_NE(copy, nullptr);
        gpu::GpuDevice* const device = renderer.GetDevice();
        gpu::GpuSurface* frame = nullptr;
        device->GetRenderTarget(0, &frame);
        device->SetRenderTarget(0, targets.sceneColor.GetSurface());
        device->Clear(0, nullptr, gpu::kClearTarget, 0xFFFF0000u, 1.0f, 0);
        device->SetRenderTarget(0, copy);
        device->Clear(0, nullptr, gpu::kClearTarget, 0xFF0000FFu, 1.0f, 0);
        device->SetRenderTarget(0, frame);
        gpu::SafeRelease(frame);
        DrawSquare(1);
        behind = copy->ReadPixelArgb(copy->Desc().width / 2, copy->Desc().height / 2) | 0xFF000000u;
    });
    EXPECT_EQ(behind, 0xFFFF0000u);
}

// The channel pass writes into the one colour channel of the material's channel, and only when the
// renderer's pass mask has that channel.
TEST_F(MeshDrawTest, TheChannelPassWritesOnlyTheMaterialsChannel)
{
    struct Case
    {
        uint8_t channel;
        uint32_t passMask;
        bool drawn;
        uint32_t writeMask;
    };
    const Case cases[] = {
        {1, 0x2, true, 0x1}, {2, 0x4, true, 0x2}, {4, 0x10, true, 0x8}, {2, 0x8 | 0x2, false, 0}, {0, 0xFF, false, 0},
    };
    NorvexRenderer& renderer = m_harness.GetRenderer();
    for (const Case& c : cases)
    {
        LoadSquare(1, 0, c.channel);
        renderer.SetPassMask(c.passMask);
        renderer.SubmitCommands(true);
        bool drawn = !c.drawn;
        uint32_t writeMask = 0;
        const uint32_t calls = DrawAndProbe([&] {
                                   const auto& log = renderer.GetDevice()->GetDrawLog();
                                   const size_t before = log.size();
                                   drawn = m_data->DrawChannel(Matrix::ONE, 0, 0, nullptr);
                                   if (log.size() > before)
                                       writeMask = log.back().renderStates[gpu::kRsColorWriteEnable];
                               }).second;
        const int channel = c.channel;
        EXPECT_EQ(drawn, c.drawn) << "channel " << channel;
        EXPECT_EQ(calls, c.drawn ? 1u : 0u) << "channel " << channel;
        EXPECT_EQ(writeMask, c.writeMask) << "channel " << channel;
        uint32_t after = 0;
        RunOnRenderThread(renderer, [&](NorvexRenderer& r) {
            r.GetDevice()->GetRenderState(gpu::kRsColorWriteEnable, &after);
        });
        EXPECT_EQ(after, 15u) << "every channel is written again after the pass";
    }
}

// The mobile shaders read the material's specular vector from vertex register 204 and pixel register
// 191 in the lit passes, the per-vertex sun from vertex register 201 and the specular colour from pixel
// register 192; the desktop ones from the material's constants and the per-pixel sun.
TEST_F(MeshDrawTest, MobileLitPassesUploadTheMaterialsSpecularVector)
{
    LoadSquare(0);
    struct Case
    {
        uint32_t mode;
        int32_t pass;
        bool uploaded;
    };
    const Case cases[] = {
        {ProjectConfig::VISUALIZATION_IPHONE, 16, true}, {ProjectConfig::VISUALIZATION_IPAD2, 1, true},
        {ProjectConfig::VISUALIZATION_PC, 16, false},
    };
    const float marker[4] = {-7.0f, -7.0f, -7.0f, -7.0f};
    for (const Case& c : cases)
    {
        gProjectConfig.m_visualizationMode = c.mode;
        float vertex[4] = {}, pixel[4] = {}, sun[4] = {}, specularColor[4] = {};
        DrawAndProbe([&] {
            gpu::GpuDevice* device = m_harness.GetRenderer().GetDevice();
            device->SetVertexShaderConstantF(204, marker, 1);
            device->SetPixelShaderConstantF(191, marker, 1);
            device->SetVertexShaderConstantF(201, marker, 1);
            device->SetPixelShaderConstantF(192, marker, 1);
            DrawSquare(c.pass);
            device->GetVertexShaderConstantF(204, vertex, 1);
            device->GetPixelShaderConstantF(191, pixel, 1);
            device->GetVertexShaderConstantF(201, sun, 1);
            device->GetPixelShaderConstantF(192, specularColor, 1);
        });
        EXPECT_EQ(sun[0] != marker[0], c.uploaded) << "mode " << c.mode;
        EXPECT_EQ(specularColor[0] != marker[0], c.uploaded) << "mode " << c.mode;
        const Vector expected = c.uploaded ? Vector(93.45057f, -93.45057f, 64.0f, 0.0f) : Vector(-7, -7, -7, -7);
        for (int i = 0; i < 4; ++i)
        {
            EXPECT_FLOAT_EQ(vertex[i], (&expected.x)[i]) << "mode " << c.mode << " pass " << c.pass;
            EXPECT_FLOAT_EQ(pixel[i], (&expected.x)[i]) << "mode " << c.mode << " pass " << c.pass;
        }
    }
    gProjectConfig.m_visualizationMode = ProjectConfig::VISUALIZATION_PC;
}

// A mesh context's channel pass and main draw (the forward pass) are its rendering data's; without data
// it draws nothing.
TEST_F(MeshDrawTest, AMeshContextsChannelPassDrawsItsData)
{
    LoadSquare(0, 0, 2);
    NorvexRenderer& renderer = m_harness.GetRenderer();
    auto* withData = new MeshEntityRenderingContext(renderer, m_data.get(), 0, Vector(1, 1, 1, 1), LightmapMapping());
    auto* without = new MeshEntityRenderingContext(renderer, nullptr, 0, Vector(1, 1, 1, 1), LightmapMapping());
    renderer.SetPassMask(0x4);
    renderer.SubmitCommands(true);
    bool drawn = false, drawnWithout = true;
    const uint32_t calls = DrawAndProbe([&] {
                               drawn = withData->DrawChannel(Matrix::ONE, 0);
                               drawnWithout = without->DrawChannel(Matrix::ONE, 0);
                               withData->DrawMain(0, Vector(1, 1, 1, 1));
                               without->DrawMain(0, Vector(1, 1, 1, 1));
                           }).second;
    EXPECT_TRUE(drawn);
    EXPECT_FALSE(drawnWithout);
    EXPECT_EQ(calls, 2u);
    withData->Release();
    without->Release();
    renderer.SubmitCommands(true);
}

// Contours: passes 1 and 16 draw each material's contour range (two vertices and three indices per
// contour from its first) with the material's forward pair and blending, no culling, the contour
// width over the render size in pixel register 0 (w: 2 - softness, softness for blended materials
// only) and vertex register 200 zeroed; the other passes draw none.
TEST_F(MeshDrawTest, ContoursDrawTheirRangeInTheForwardPasses)
{
    for (const uint32_t blend : {0u, 1u})
    {
        LoadSquare(0, 0, 0, [blend](MeshTemplateRenderingData& data, MeshShaderPreset& preset) {
            // Contour 1 is a triangle in the top-left corner, outside the square.
            const LitVertex vertices[6] = {{0, 0, 0.5f, 0, 0, -1, 0, 0},       {0, 0, 0.5f, 0, 0, -1, 0, 0},
                                           {-1, 1, 0.5f, 0, 0, -1, 0, 0},      {-0.6f, 1, 0.5f, 0, 0, -1, 1, 0},
                                           {-1, 0.6f, 0.5f, 0, 0, -1, 0, 1}, {0, 0, 0.5f, 0, 0, -1, 0, 0}};
            std::vector<uint8_t> bytes(sizeof(vertices));
            std::memcpy(bytes.data(), vertices, sizeof(vertices));
            data.SetContours(3, 0, bytes, {0, 1, 5, 2, 3, 4, 0, 1, 5});
            MeshMaterial& material = preset.materials[0];
            material.contourCount = 1;
            material.firstContour = 1;
            material.contourWidth = 8.0f;
            material.contourSoftness = 0.5f;
            material.blendMode = blend;
            material.depthWriteOverride = 2;
            material.alphaTestMode = 1;
            material.alphaReference = 51;
            material.constantRanges = {30, 1, 31, 1}; // the first to the vertex shader, the second to the pixel one
            material.constants = {Vector(1, 2, 3, 4), Vector(5, 6, 7, 8)};
            material.vertexConstantRangeCount = 1;
        });
        NorvexRenderer& renderer = m_harness.GetRenderer();
        for (const int32_t pass : {1, 16, 2, 8})
        {
            gpu::DrawRecord contour{}, square{};
            float width[4] = {}, zero[4] = {-1, -1, -1, -1}, alpha[4] = {}, vertex[8] = {}, pixel[8] = {};
            const uint32_t calls = DrawAndProbe([&] {
                                       gpu::GpuDevice* device = renderer.GetDevice();
                                       const float marker[4] = {-1, -1, -1, -1};
                                       device->SetVertexShaderConstantF(200, marker, 1);
                                       DrawSquare(pass);
                                       if (device->GetDrawLog().size() >= 2)
                                       {
                                           contour = device->GetDrawLog().back();
                                           square = device->GetDrawLog()[device->GetDrawLog().size() - 2];
                                       }
                                       device->GetPixelShaderConstantF(0, width, 1);
                                       device->GetVertexShaderConstantF(200, zero, 1);
                                       device->GetVertexShaderConstantF(195, alpha, 1);
                                       device->GetVertexShaderConstantF(30, vertex, 2);
                                       device->GetPixelShaderConstantF(30, pixel, 2);
                                   }).second;
            const bool drawn = pass == 1 || pass == 16;
            ASSERT_EQ(calls, drawn ? 2u : 0u) << "pass " << pass;
            if (!drawn)
                continue;
            EXPECT_EQ(contour.primitiveCount, 1u);
            EXPECT_EQ(contour.minIndex, 2u);
            EXPECT_EQ(contour.numVertices, 4u);
            EXPECT_EQ(contour.startIndex, 3u);
            EXPECT_EQ(contour.streams[0].stride, 32u);
            EXPECT_NE(contour.indexBufferId, square.indexBufferId) << "the contours' own indices";
            EXPECT_EQ(contour.renderStates[gpu::kRsCullMode], gpu::kCullNone);
            EXPECT_EQ(contour.renderStates[gpu::kRsAlphaBlendEnable], blend) << "blend " << blend;
            EXPECT_EQ(square.renderStates[gpu::kRsZWriteEnable], 1u) << "the override writes depth, blended too";
            EXPECT_GT(contour.pixelsWritten, 0u) << "the forward pair draws the contour";
            EXPECT_FLOAT_EQ(width[0], 8.0f / 320.0f);
            EXPECT_FLOAT_EQ(width[1], 8.0f / 240.0f);
            EXPECT_FLOAT_EQ(width[3], blend != 0 ? 1.5f : 2.0f) << "blend " << blend;
            EXPECT_EQ(zero[0], 0.0f);
            EXPECT_FLOAT_EQ(alpha[1], -0.2f) << "the reference over 255, negated";
            EXPECT_EQ(std::vector<float>({vertex[0], vertex[4], pixel[0], pixel[4]}), std::vector<float>({1, 0, 0, 5}));
        }
    }
}

// Every draw of each material form in the lit passes, the depth pass and the channel pass, with its
// states, shaders, textures and constants, against the stored copy.
TEST_F(MeshDrawTest, EveryDrawOfEachMaterialFormMatchesTheStoredCopy)
{
    GameConfig config;
    config.m_useContainerFiles = true;
    gSceneEnvironment.SetConfig(&config);
    gSceneEnvironment.LoadLightmaps("Field", 255);
    LightmapMapping mapping;
    mapping.m_lightmapId = 1;
    NorvexRenderer& renderer = m_harness.GetRenderer();
    renderer.SetPassMask(0x4);
    renderer.SubmitCommands(true); // handed over before the loads below wait on their renderer jobs
    using M = MeshMaterial;
    const std::tuple<const char*, uint32_t, std::function<void(M&)>> forms[] = {
        {"kind 0", 0, nullptr}, {"kind 1", 1, nullptr}, {"kind 2", 2, nullptr}, {"kind 3", 3, nullptr},
        {"two-sided", M::FLAG_TWO_SIDED, nullptr}, {"reversed cull", M::FLAG_REVERSED_CULL, nullptr},
        {"no depth pass", M::FLAG_NO_DEPTH_PASS, nullptr}, {"white", M::FLAG_IGNORE_INSTANCE_COLOR, nullptr},
        {"light probe", M::FLAG_LIGHT_PROBE, nullptr}, {"scene environment", M::FLAG_SCENE_ENVIRONMENT, nullptr},
        {"instance ambient", M::FLAG_INSTANCE_AMBIENT, nullptr}, {"depth constant", M::FLAG_DEPTH_CONSTANT, nullptr},
        {"scrolling", M::FLAG_SCROLLING, [](M& m) { m.textureScroll = Vector(0.5f, 0.25f, 0.0f, 0.0f); }},
        {"flipbook", 0, [](M& m) { m.tilesAcross = 4, m.tilesDown = 2, m.frameRate = 8.0f, m.SetupFlipbook(); }},
        {"alpha-tested texture", 0,
         [](M& m) {
             m.textures.push_back({"mesh/white.texture", 2, 0}), m.options = "DIFFUSE_TEXTURE";
             m.alphaTestMode = 1, m.alphaReference = 128;
         }},
        {"blend 1", 0, [](M& m) { m.blendMode = 1; }}, {"blend 2", 1, [](M& m) { m.blendMode = 2; }},
        {"blend 3", 2, [](M& m) { m.blendMode = 3; }},
        {"bias, no depth test, depth written", 0,
         [](M& m) { m.depthBias = 2, m.depthTest = 0, m.depthWriteOverride = 1; }},
        {"constants and bone", 0,
         [](M& m) {
             m.constants = {Vector(1, 2, 3, 4), Vector(-5, 6, -7, 8)};
             m.constantRanges = {10, 1, 20, 1};
             m.vertexConstantRangeCount = 1, m.boneIndex = 1, m.options = "SKINNING", m.SetSpecularExponent(16.0f);
         }},
    };
    const float bones[24] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0.25f, 0, 1, 0, 0, 0, 0, 1, 0};
    std::string text;
    for (const auto& [name, flags, edit] : forms)
    {
        LoadSquare(flags & M::FLAG_KIND_MASK, flags & ~M::FLAG_KIND_MASK, 2,
                   [&](MeshTemplateRenderingData& data, MeshShaderPreset& preset) {
                       data.SetSkinningBoneCount(2);
                       if (edit)
                           edit(preset.materials[0]);
                   });
        text += std::string(name) + "\n";
        DrawAndProbe([&] {
            const size_t from = renderer.GetDevice()->GetDrawLog().size();
            for (const int32_t pass : {1, 2, 4, 8, 16})
                m_data->Draw(Matrix::ONE, Matrix::ONE, m_data->GetBounds(), Vector(0.5f, 0.25f, 1.0f, 0.75f), 1.0f, 0,
                             1, 0, bones, &mapping, nullptr, pass, 0, 0, 0.25f);
            m_data->DrawDepth(Matrix::ONE, 1, 0, bones, false);
            m_data->DrawChannel(Matrix::ONE, 0, 0, bones);
            text += DrawLogText::OnRenderThread(renderer, false, from);
        });
    }
    gSceneEnvironment.UnloadLightmaps();
    gSceneEnvironment.SetConfig(nullptr);
    ExpectTextMatchesStoredCopy(text, "tests/renderer/golden/MeshMaterialForms.txt");
}
