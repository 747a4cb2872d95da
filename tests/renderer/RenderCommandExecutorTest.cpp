// ctest-labels: thread
// What the render thread's state-keeping commands store: the frame's layer mask and stamp, the
// screen scale's change threshold, the flag words' bits, the sRGB write of the frame targets, the
// light and task-record lists of gathering, and the mip filter the quality level allows.
#include "platform/gpu/Gpu.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/RenderStateCache.h"
#include "renderer/jobs/TextureHolder.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
class RenderCommandExecutorTest : public RendererTestBase
{
protected:
    void SetFlagBit(uint32_t index, uint8_t on)
    {
        ASSERT_TRUE(m_renderer.WriteCommand(RENDER_OP_SET_FLAG_BIT, renderpayload::kSetFlagBit));
        m_renderer.GetWriter().Put(index);
        m_renderer.GetWriter().Put(on);
    }
    uint32_t RenderStateValue(uint32_t state)
    {
        uint32_t value = 0;
        m_renderer.GetDevice()->GetRenderState(state, &value);
        return value;
    }
    uint32_t MipFilterAfterLinearMipRequest()
    {
        uint32_t mipFilter = 0xFFFFFFFFu;
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) {
            TextureHolder holder;
            ASSERT_TRUE(holder.Create(r.GetDevice(), 4, 4, 1, 0, gpu::kFormatA8R8G8B8, gpu::kPoolManaged));
            r.SetTexture(5, &holder, 0);
            r.SetTexture(5, &holder, SAMPLER_LINEAR_MIP);
            r.GetDevice()->GetSamplerState(5, gpu::kSsMipFilter, &mipFilter);
            r.SetTexture(5, nullptr, 0);
            holder.Release();
        });
        return mipFilter;
    }
    static EntityRenderingContext* Context(uintptr_t value) { return reinterpret_cast<EntityRenderingContext*>(value); }
};
} // namespace

TEST_F(RenderCommandExecutorTest, FrameBoxKeepsTheLayerMaskOrAllLayersByDefault)
{
    m_renderer.SetVisibleLayers(nullptr, 7);
    m_renderer.SubmitCommands(true);
    for (uint32_t i = 0; i < 32; ++i)
        EXPECT_EQ(m_renderer.GetFrameLayerMask()[i], 0xFF) << "byte " << i;
    EXPECT_EQ(m_renderer.GetFrameStamp(), 7u);

    uint8_t mask[32];
    for (uint32_t i = 0; i < 32; ++i)
        mask[i] = uint8_t(i * 3 + 1);
    m_renderer.SetVisibleLayers(mask, 8);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(std::memcmp(m_renderer.GetFrameLayerMask(), mask, sizeof(mask)), 0);
    EXPECT_EQ(m_renderer.GetFrameStamp(), 8u);
}

TEST_F(RenderCommandExecutorTest, ScreenScaleIsStoredOnlyWhenItMovesMoreThanTheThreshold)
{
    m_renderer.SetScreenScaleX(0.5f);
    m_renderer.SubmitCommands(true);
    EXPECT_FLOAT_EQ(m_renderer.GetScreenScaleX(), 0.925f);
    EXPECT_FLOAT_EQ(m_renderer.GetScreenScaleY(), 1.0f) << "each axis keeps its own scale";

    m_renderer.SetScreenScaleX(0.505f); // 0.92575: within 0.001 of the kept value
    m_renderer.SubmitCommands(true);
    EXPECT_FLOAT_EQ(m_renderer.GetScreenScaleX(), 0.925f);
    m_renderer.SetScreenScaleX(0.51f); // 0.9265
    m_renderer.SubmitCommands(true);
    EXPECT_FLOAT_EQ(m_renderer.GetScreenScaleX(), 0.9265f);

    m_renderer.SetScreenScaleY(-3.0f);
    m_renderer.SubmitCommands(true);
    EXPECT_FLOAT_EQ(m_renderer.GetScreenScaleY(), 0.85f);
    EXPECT_FLOAT_EQ(m_renderer.GetScreenScaleX(), 0.9265f);
}

TEST_F(RenderCommandExecutorTest, FlagBitsAreSetAndClearedInTheirWord)
{
    SetFlagBit(37, 1);
    SetFlagBit(38, 1);
    SetFlagBit(0, 1);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetFlagWord(0), 0x1u);
    EXPECT_EQ(m_renderer.GetFlagWord(1), 0x60u);

    SetFlagBit(37, 0);
    SetFlagBit(0, 0);
    SetFlagBit(8 * 32, 1); // past the last word
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetFlagWord(0), 0x0u);
    EXPECT_EQ(m_renderer.GetFlagWord(1), 0x40u) << "clearing one bit keeps its neighbour";
    EXPECT_TRUE(m_log.Contains("Renderer flag bit 256 is out of range", CONSOLE_WARNING));
}

TEST_F(RenderCommandExecutorTest, TargetModeOneWritesSRGBOnlyThroughASwapChain)
{
    m_renderer.SetFrameTarget(nullptr, 0, 1);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(RenderStateValue(gpu::kRsSrgbWriteEnable), 0u);
    EXPECT_EQ(RenderStateValue(gpu::kRsZEnable), 1u);
    m_renderer.UpscaleFinal();

    gpu::GpuSwapChain* swapChain = nullptr;
    ASSERT_EQ(m_renderer.GetDevice()->GetSwapChain(0, &swapChain), gpu::kOk);
    m_renderer.SetFrameTarget(swapChain, 0, 1);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(RenderStateValue(gpu::kRsSrgbWriteEnable), 1u);
    m_renderer.UpscaleFinal();

    m_renderer.SetSRGBWrite(0);
    m_renderer.SetFrameTarget(nullptr, 0, 2);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(RenderStateValue(gpu::kRsSrgbWriteEnable), 1u) << "mode 2 always writes sRGB";
    m_renderer.UpscaleFinal();
    m_renderer.SubmitCommands(true);
    swapChain->Release();
}

TEST_F(RenderCommandExecutorTest, FrameLightsAreTakenOnlyWhileGatheringAndAtMost512)
{
    m_renderer.AddLight(reinterpret_cast<RendererLightWrapper*>(uintptr_t(16)));
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetFrameLightCount(), 0u) << "no gathering, no light";

    m_renderer.BeginGather();
    for (uintptr_t i = 1; i <= NorvexRenderer::kMaxFrameLights + 1; ++i)
        m_renderer.AddLight(reinterpret_cast<RendererLightWrapper*>(i * 16));
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetFrameLightCount(), 512u);
    m_renderer.BeginGather();
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetFrameLightCount(), 0u) << "begin-gather empties the list";
}

TEST_F(RenderCommandExecutorTest, RenderTasksGoToTheListsTheirPassFlagsName)
{
    m_renderer.BeginGather();
    m_renderer.AddRenderTask(Context(0x1000), 0x40);
    m_renderer.AddRenderTask(Context(0x2000), 0x80);
    m_renderer.AddRenderTask(Context(0x3000), 0x20 | 0x400);
    m_renderer.AddRenderTask(Context(0x4000), 0x20 | 0x40);
    m_renderer.AddRenderTask(Context(0x5000), 0x1);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetGatheredCount(), 3u);
    const RenderTaskRecordRing& records = m_renderer.GetTaskRecords();
    ASSERT_EQ(records.GetCount(), 2u);
    EXPECT_EQ(records.GetRecord(0).context, Context(0x3000));
    EXPECT_EQ(records.GetRecord(0).passFlags, 0x420u);
    EXPECT_EQ(records.GetRecord(1).context, Context(0x4000));
    EXPECT_FLOAT_EQ(records.GetSortKey(1).key, 10000.0f);
    EXPECT_EQ(records.GetSortKey(1).recordIndex, 1u);
    EXPECT_FALSE(records.HasOverflowed());

    m_renderer.BeginGather();
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetTaskRecords().GetCount(), 0u) << "begin-gather empties the ring";
    EXPECT_EQ(m_renderer.GetGatheredCount(), 0u);
}

TEST_F(RenderCommandExecutorTest, RenderTasksOutsideGatheringAreNotListed)
{
    m_renderer.AddRenderTask(Context(0x1000), 0x20 | 0x40);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetGatheredCount(), 0u);
    EXPECT_EQ(m_renderer.GetTaskRecords().GetCount(), 0u);
}

TEST_F(RenderCommandExecutorTest, TaskRecordRingWrapsToTheFirstRecordAndMarksTheOverflow)
{
    m_renderer.BeginGather();
    for (uintptr_t i = 1; i <= NorvexRenderer::kMaxTaskRecords + 1; ++i)
        m_renderer.AddRenderTask(Context(i * 16), 0x20);
    m_renderer.SubmitCommands(true);
    const RenderTaskRecordRing& records = m_renderer.GetTaskRecords();
    EXPECT_EQ(records.GetCount(), 1280u);
    EXPECT_TRUE(records.HasOverflowed());
    EXPECT_EQ(records.GetRecord(0).context, Context((NorvexRenderer::kMaxTaskRecords + 1) * 16))
        << "the 1281st record overwrites the first";
    EXPECT_EQ(records.GetRecord(1).context, Context(2 * 16));
}

TEST_F(RenderCommandExecutorTest, LinearMipsOnlyFromQualityThree)
{
    EXPECT_EQ(m_renderer.GetDeviceParams().qualityLevel, 3u) << "a fresh configuration's quality";
    EXPECT_EQ(MipFilterAfterLinearMipRequest(), gpu::kFilterLinear);

    RendererDeviceSettings settings;
    settings.gfxQualityLevel = 2;
    m_renderer.SetDeviceSettings(settings);
    m_renderer.ApplyDisplaySettings(&m_window, 320, 240, true, false);
    ASSERT_EQ(m_renderer.GetDeviceParams().qualityLevel, 2u);
    EXPECT_EQ(MipFilterAfterLinearMipRequest(), gpu::kFilterPoint);
}
