// ctest-labels: thread
// The mesh rendering context: each of its sub-commands by number reaches the render side, the
// rendering data decides the context flags and the channel mask, a pose of the same size keeps its
// array and one larger than a command block arrives whole, the random value is the engine's next
// linear draw, and without rendering data nothing is drawn.
#include "renderer/MeshEntityRenderingContext.h"

#include "core/math/RandomGenerator.h"
#include "renderer/MeshFakeShadowDefinition.h"
#include "renderer/MeshRenderSharedBuffers.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "renderer/RenderCommands.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"

#include <vector>

namespace
{
class MeshEntityRenderingContextTest : public RendererTestBase
{
protected:
    void TearDown() override
    {
        for (MeshEntityRenderingContext* context : m_contexts)
            context->Release();
        for (MeshTemplateRenderingData* data : m_data)
            NorvexRendererObject::PostDeletion(data, true, false);
        m_renderer.SubmitCommands(true);
        RendererTestBase::TearDown();
    }

    MeshEntityRenderingContext* Make(const MeshTemplateRenderingData* data)
    {
        m_contexts.push_back(new MeshEntityRenderingContext(m_renderer, data, 0, Vector(1, 1, 1, 1), LightmapMapping()));
        return m_contexts.back();
    }
    // Rendering data with render bytes A to G and one preset of the given channel mask.
    MeshTemplateRenderingData* Data(const uint8_t (&bytes)[7], uint32_t channelMask)
    {
        auto* data = new MeshTemplateRenderingData;
        data->SetRenderBytes(bytes);
        MeshShaderPreset preset;
        preset.channelMask = channelMask;
        data->AddPreset(preset);
        m_data.push_back(data);
        return data;
    }
    // Posts one of the context's calls by its number with the given argument bytes.
    void Post(MeshEntityRenderingContext* context, uint32_t subCommand, const void* argument, uint32_t bytes)
    {
        ASSERT_TRUE(m_renderer.WriteCall(&MeshEntityRenderingContext::Execute, subCommand, sizeof(void*) + bytes));
        m_renderer.GetWriter().Put(context);
        m_renderer.GetWriter().Write(argument, bytes);
    }
    template <typename F>
    void OnRenderThread(F body)
    {
        RunOnRenderThread(m_renderer, [&](NorvexRenderer&) { body(); });
    }

    std::vector<MeshEntityRenderingContext*> m_contexts;
    std::vector<MeshTemplateRenderingData*> m_data;
};

std::vector<float> Pose(uint32_t bones, float base)
{
    std::vector<float> values(size_t(bones) * 12);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = base + float(i);
    return values;
}
} // namespace

TEST_F(MeshEntityRenderingContextTest, EachSubCommandByNumberSetsItsField)
{
    MeshEntityRenderingContext* context = Make(nullptr);
    MeshFakeShadowDefinition definition;
    const uint32_t preset = 7;
    const uint8_t outline = 3;
    const float strength = 0.25f;
    const MeshFakeShadowDefinition* definitionPointer = &definition;
    uint8_t lightmap[20] = {};
    const Vector mulAdd(0.5f, 0.25f, 0.125f, 2.0f);
    const uint32_t lightmapId = 9;
    std::memcpy(lightmap, &mulAdd, 16);
    std::memcpy(lightmap + 16, &lightmapId, 4);
    Post(context, 1, &preset, 4);
    Post(context, 3, lightmap, 20);
    Post(context, 4, &outline, 1);
    Post(context, 5, &definitionPointer, sizeof(definitionPointer));
    Post(context, 6, &strength, 4);
    Post(context, 8, &preset, 0); // past the table (it carries nothing): ignored
    OnRenderThread([&] {
        EXPECT_EQ(context->GetShaderPresetIndex(), 7u);
        EXPECT_TRUE(context->GetLightmapMapping().m_uvMulAdd.Equal(mulAdd));
        EXPECT_EQ(context->GetLightmapMapping().m_lightmapId, 9u);
        EXPECT_EQ(context->GetOutlineState(), 3);
        EXPECT_EQ(context->GetFakeShadowDefinition(), &definition);
        EXPECT_FLOAT_EQ(context->GetFakeShadowStrength(), 0.25f);
    });
    // The game-side posters send the same numbers.
    context->SetShaderPresetIndex(300);
    context->SetOutlineState(0);
    context->SetFakeShadowStrength(2.0f);
    context->SetFakeShadowDefinition(nullptr);
    LightmapMapping mapping;
    mapping.m_lightmapId = 4;
    context->SetLightmapMapping(mapping);
    OnRenderThread([&] {
        EXPECT_EQ(context->GetShaderPresetIndex(), 300u) << "the preset index is a full word";
        EXPECT_EQ(context->GetOutlineState(), 0);
        EXPECT_FLOAT_EQ(context->GetFakeShadowStrength(), 2.0f);
        EXPECT_EQ(context->GetFakeShadowDefinition(), nullptr);
        EXPECT_EQ(context->GetLightmapMapping().m_lightmapId, 4u);
    });
}

TEST_F(MeshEntityRenderingContextTest, RenderingDataSetsTheFlagsOfItsRenderBytesAndTheChannelMask)
{
    const struct
    {
        uint8_t bytes[7];
        uint32_t flags;
    } cases[] = {
        {{1, 1, 1, 1, 0, 0, 0}, 0u},
        {{0, 0, 0, 0, 1, 0, 0}, 0x2u},  // E: shadow caster
        {{0, 0, 0, 0, 0, 1, 0}, 0x40u}, // F
        {{0, 0, 0, 0, 0, 0, 1}, 0x20u}, // G
        {{0, 0, 0, 0, 1, 1, 1}, 0x62u},
    };
    for (const auto& c : cases)
    {
        MeshTemplateRenderingData* data = Data(c.bytes, 0x5);
        MeshEntityRenderingContext* context = Make(data);
        OnRenderThread([&] {
            EXPECT_EQ(context->GetFlags(), c.flags);
            EXPECT_EQ(context->GetRenderingData(), data);
            EXPECT_EQ(context->GetChannelMask(0), 0x5u);
        });
        // No data clears the flags and the mask.
        MeshTemplateRenderingData* none = nullptr;
        Post(context, 0, &none, sizeof(none));
        OnRenderThread([&] {
            EXPECT_EQ(context->GetFlags(), 0u);
            EXPECT_EQ(context->GetChannelMask(0), 0u);
        });
    }
}

TEST_F(MeshEntityRenderingContextTest, DestroyedRenderingDataLeavesTheContextWithout)
{
    MeshTemplateRenderingData* data = Data({0, 0, 0, 0, 1, 0, 0}, 3);
    MeshEntityRenderingContext* context = Make(data);
    m_data.clear();
    NorvexRendererObject::PostDeletion(data, true, false);
    OnRenderThread([&] {
        EXPECT_EQ(context->GetRenderingData(), nullptr);
        EXPECT_EQ(context->GetChannelMask(0), 0u);
    });
}

TEST_F(MeshEntityRenderingContextTest, WithoutRenderingDataNothingIsDrawn)
{
    MeshEntityRenderingContext* context = Make(nullptr);
    MeshFakeShadowDefinition definition;
    definition.m_headBone[0] = 0;
    context->SetFakeShadowDefinition(&definition);
    context->SetBoneMatrices(1, Pose(1, 1.0f).data());
    OnRenderThread([&] {
        const size_t before = m_renderer.GetDevice()->GetDrawLog().size();
        context->DrawMainPass(0x40, Vector(1, 1, 1, 1), 2, 3);
        context->DrawDepth(1, 0);
        EXPECT_EQ(m_renderer.GetDevice()->GetDrawLog().size(), before);
        EXPECT_EQ(context->GetChannelMask(0xFFFFFFFFu), 0u);
        // The blob shadow depends on the definition and the pose alone: the body, and a head on bone 0.
        context->DrawSecondary(0);
        EXPECT_EQ(gMeshRenderSharedBuffers.GetQuadCount(MeshRenderSharedBuffers::kBufferA), 2u);
        gMeshRenderSharedBuffers.Clear();
    });
}

TEST_F(MeshEntityRenderingContextTest, TheSameBoneCountKeepsTheArrayAndLargePosesArriveWhole)
{
    MeshEntityRenderingContext* context = Make(nullptr);
    const std::vector<float> first = Pose(2, 0.0f);
    const std::vector<float> second = Pose(2, 100.0f);
    ASSERT_TRUE(context->SetBoneMatrices(2, first.data()));
    const float* array = nullptr;
    OnRenderThread([&] { array = context->GetBoneMatrices().data(); });
    ASSERT_TRUE(context->SetBoneMatrices(2, second.data()));
    OnRenderThread([&] {
        EXPECT_EQ(context->GetBoneMatrices().data(), array) << "same count, same array";
        EXPECT_EQ(context->GetBoneMatrices(), second);
    });

    // Past one block: 200 bones (9,600 bytes) come in pieces; the last bone's last float is exact.
    const uint32_t big = 200;
    ASSERT_GT(big, MeshEntityRenderingContext::kBonesPerCommand);
    const std::vector<float> pose = Pose(big, 1.0f);
    ASSERT_TRUE(context->SetBoneMatrices(big, pose.data()));
    OnRenderThread([&] {
        EXPECT_EQ(context->GetBoneCount(), big);
        EXPECT_EQ(context->GetBoneMatrices(), pose);
    });
    // The most one command holds, and one more.
    for (uint32_t count : {MeshEntityRenderingContext::kBonesPerCommand, MeshEntityRenderingContext::kBonesPerCommand + 1})
    {
        const std::vector<float> edge = Pose(count, 5.0f);
        ASSERT_TRUE(context->SetBoneMatrices(count, edge.data()));
        OnRenderThread([&] { EXPECT_EQ(context->GetBoneMatrices(), edge) << count; });
    }
    EXPECT_FALSE(m_log.Contains("does not fit")) << "nothing was refused";
    EXPECT_FALSE(context->SetBoneMatrices(3, nullptr)) << "no matrices for a count";
}

TEST(MeshEntityRenderingContextRefusalTest, ALargePoseAStreamRefusesFailsNamingItsBoneCount)
{
    ConsoleCapture log;
    NorvexRenderer closed;
    MeshEntityRenderingContext context(closed, nullptr, 0, Vector(1, 1, 1, 1), LightmapMapping());
    const uint32_t big = 200;
    EXPECT_FALSE(context.SetBoneMatrices(big, Pose(big, 0.0f).data()));
    EXPECT_TRUE(log.Contains("200 bone matrices could not be posted", CONSOLE_ERROR));
}

TEST_F(MeshEntityRenderingContextTest, TheRandomValueIsTheEngineGeneratorsNextLinearDraw)
{
    const uint32_t seed[5] = {0x89ABCDEFu, 1, 2, 3, 4};
    gRandomGenerators[0].Seed(seed);
    MeshEntityRenderingContext* context = Make(nullptr);
    EXPECT_FLOAT_EQ(context->GetRandomValue(), float(0x89ABu) / 65536.0f);
    EXPECT_EQ(gRandomGenerators[0].GetState()[0], 0x89ABCDEFu * 214013u + 2531011u);
    // The colour reaches the base's multiplier, and the lightmap placement the context's mapping.
    LightmapMapping lightmap;
    lightmap.m_uvMulAdd = Vector(0.5f, 0.25f, 0.125f, 2.0f);
    lightmap.m_lightmapId = 6;
    m_contexts.push_back(new MeshEntityRenderingContext(m_renderer, nullptr, 0, Vector(0.5f, 0.25f, 1, 1), lightmap));
    OnRenderThread([&] {
        EXPECT_FLOAT_EQ(m_contexts.back()->GetColorMultiplier().y, 0.25f);
        EXPECT_TRUE(m_contexts.back()->GetLightmapMapping().m_uvMulAdd.Equal(lightmap.m_uvMulAdd));
        EXPECT_EQ(m_contexts.back()->GetLightmapMapping().m_lightmapId, 6u);
    });
}
