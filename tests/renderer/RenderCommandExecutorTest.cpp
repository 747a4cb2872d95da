// ctest-labels: thread
// What the render thread's state-keeping commands store: the frame's layer mask and stamp, the
// screen scale's change threshold, the flag words' bits, the sRGB write of the frame targets, the
// light and task-record lists of gathering, the depth order of gathered meshes, and the mip filter
// the quality level allows.
#include "platform/gpu/Gpu.h"
#include "renderer/EntityRenderingContext.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/RenderStateCache.h"
#include "renderer/jobs/TextureHolder.h"
#include "support/RenderProbes.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"
#include "ui/screens/UIScreen.h"

#include "platform/os/Clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

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
    template <typename T> void Put(const T& value) { m_renderer.GetWriter().Put(value); }
    void PutPointer(const void* pointer) { Put(reinterpret_cast<uintptr_t>(pointer)); }
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
    // A context that joins the passes of its channel mask and counts its immediate draws.
    class RecordingContext : public EntityRenderingContext
    {
    public:
        RecordingContext(NorvexRenderer& renderer, float sortOffset, uint32_t channelMask,
                         uint32_t faceCameraMode = 0, float faceCameraOffset = 0.0f)
            : EntityRenderingContext(renderer), m_channelMask(channelMask)
        {
            EntityRenderingSource source;
            source.hasTemplate = true;
            source.templateSortOffset = sortOffset;
            source.faceCameraMode = faceCameraMode;
            source.faceCameraOffset = faceCameraOffset;
            ApplySource(source);
        }
        void Draw(const Matrix& world, uint32_t passFlags, const Vector& color) override
        {
            ++draws;
            drawnWorld = world;
            drawnFlags = passFlags;
            drawnColor = color;
        }
        uint32_t GetChannelMask(uint32_t passFlags) const override
        {
            askedFlags = passFlags;
            return m_channelMask;
        }
        void DrawPass(const Matrix& world, uint32_t passFlags, const Vector& color, int32_t passA,
                      uint32_t passB) override
        {
            passes.push_back({passA, passB});
            if (normalsOrder != nullptr && passA == 2)
                normalsOrder->push_back(this);
            EntityRenderingContext::DrawPass(world, passFlags, color, passA, passB);
        }
        std::vector<std::pair<int32_t, uint32_t>> passes;
        std::vector<const RecordingContext*>* normalsOrder = nullptr;

        uint32_t draws = 0;
        Matrix drawnWorld;
        uint32_t drawnFlags = 0;
        Vector drawnColor;
        mutable uint32_t askedFlags = 0;

    private:
        uint32_t m_channelMask;
    };

    // Contexts live until the fixture ends, after the render thread is done with them.
    RecordingContext* Context(float sortOffset = 0.0f, uint32_t channelMask = 0)
    {
        m_contexts.push_back(std::make_unique<RecordingContext>(m_renderer, sortOffset, channelMask));
        return m_contexts.back().get();
    }
    std::vector<std::unique_ptr<RecordingContext>> m_contexts;
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
    EXPECT_EQ(m_renderer.GetFlagWord(0), 0xFFFFFFFFu) << "every forward bucket starts enabled";
    EXPECT_EQ(m_renderer.GetFlagWord(1), 0x0u);
    SetFlagBit(37, 1);
    SetFlagBit(38, 1);
    SetFlagBit(0, 0);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetFlagWord(0), 0xFFFFFFFEu);
    EXPECT_EQ(m_renderer.GetFlagWord(1), 0x60u);

    SetFlagBit(37, 0);
    SetFlagBit(0, 1);
    SetFlagBit(8 * 32, 1); // past the last word
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetFlagWord(0), 0xFFFFFFFFu);
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
    // Even with the scene targets made, a swap chain's frame draws straight into its back buffer.
    gpu::GpuSurface *drawn = nullptr, *back = nullptr;
    m_renderer.GetDevice()->GetRenderTarget(0, &drawn);
    swapChain->GetBackBuffer(0, &back);
    EXPECT_EQ(drawn, back);
    gpu::SafeRelease(drawn);
    gpu::SafeRelease(back);
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
    m_renderer.AddLight(nullptr);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetFrameLightCount(), 0u) << "a null light is not taken: the lighting would read it";
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
    RecordingContext* contexts[5] = {Context(), Context(), Context(), Context(), Context()};
    m_renderer.BeginGather();
    m_renderer.AddRenderTask(contexts[0], 0x40);
    m_renderer.AddRenderTask(contexts[1], 0x80);
    m_renderer.AddRenderTask(contexts[2], 0x20 | 0x400);
    m_renderer.AddRenderTask(contexts[3], 0x20 | 0x40);
    m_renderer.AddRenderTask(contexts[4], 0x1);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetGatheredCount(), 3u);
    const RenderTaskRecordRing& records = m_renderer.GetTaskRecords();
    ASSERT_EQ(records.GetCount(), 2u);
    EXPECT_EQ(records.GetRecord(0).context, contexts[2]);
    EXPECT_EQ(records.GetRecord(0).passFlags, 0x420u);
    EXPECT_EQ(records.GetRecord(1).context, contexts[3]);
    EXPECT_FLOAT_EQ(records.GetSortKey(1).key, 10000.0f);
    EXPECT_EQ(records.GetSortKey(1).recordIndex, 1u);
    EXPECT_FALSE(records.HasOverflowed());

    m_renderer.BeginGather();
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetTaskRecords().GetCount(), 0u) << "begin-gather empties the ring";
    EXPECT_EQ(m_renderer.GetGatheredCount(), 0u);
}

TEST_F(RenderCommandExecutorTest, RenderTasksOutsideGatheringAreDrawnAtOnceInWhite)
{
    RecordingContext* context = Context();
    Matrix world = Matrix::ONE;
    world.rows[3] = Vector(4.0f, 5.0f, 6.0f, 1.0f);
    context->SetTransformAndBounds(world, Matrix::ONE, false, BoundingBox4(Vector(-1, -1, -1, 1), Vector(1, 1, 1, 1)));
    m_renderer.AddRenderTask(context, 0x20 | 0x40);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetGatheredCount(), 0u);
    EXPECT_EQ(m_renderer.GetTaskRecords().GetCount(), 0u);
    ASSERT_EQ(context->draws, 1u);
    EXPECT_EQ(context->drawnFlags, 0x60u);
    EXPECT_FLOAT_EQ(context->drawnWorld.At(3, 1), 5.0f);
    for (int i = 0; i < 4; ++i)
        EXPECT_FLOAT_EQ((&context->drawnColor.x)[i], 1.0f);

    // A screen-facing context draws with the camera's axes, moved its offset towards the camera.
    m_contexts.push_back(std::make_unique<RecordingContext>(m_renderer, 0.0f, 0, 1, 2.0f));
    RecordingContext* facing = m_contexts.back().get();
    facing->SetTransformAndBounds(world, Matrix::ONE, false, BoundingBox4(Vector(-1, -1, -1, 1), Vector(1, 1, 1, 1)));
    Matrix view, projection;
    view.LoadLookAtLH(Vector(4.0f, 5.0f, 16.0f, 1.0f), world.rows[3], Vector(0.0f, 1.0f, 0.0f, 0.0f));
    projection.LoadPerspectiveFovLH(60.0f, 1.0f, 1.0f, 100.0f);
    m_renderer.SetCamera(view, projection, Matrix::ONE);
    m_renderer.AddRenderTask(facing, 0x20);
    m_renderer.SubmitCommands(true);
    ASSERT_EQ(facing->draws, 1u);
    EXPECT_NEAR(facing->drawnWorld.At(0, 0), -1.0f, 1e-5f) << "the camera looking down -z has its x along -x";
    EXPECT_NEAR(facing->drawnWorld.At(3, 2), 8.0f, 1e-5f);

    m_renderer.BeginGather();
    m_renderer.AddRenderTask(context, 0x40);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(context->draws, 1u) << "a gathered task waits for the gathered passes";
}

TEST_F(RenderCommandExecutorTest, SortKeysAreViewDepthPlusTenThousandPlusTheContextsBias)
{
    // Looking down -z from z = 10 (view z = world z - 10): a context at z = 3 lies at depth -7.
    Matrix view = Matrix::ONE;
    view.rows[3] = Vector(0.0f, 0.0f, -10.0f, 1.0f);
    m_renderer.SetCamera(view, Matrix::ONE, Matrix::ONE);
    RecordingContext* nearer = Context(2.5f);
    RecordingContext* farther = Context(-1.0f);
    Matrix world = Matrix::ONE;
    const BoundingBox4 box(Vector(-1, -1, -1, 1), Vector(1, 1, 1, 1));
    world.rows[3] = Vector(100.0f, -50.0f, 3.0f, 1.0f);
    nearer->SetTransformAndBounds(world, Matrix::ONE, false, box);
    world.rows[3] = Vector(0.0f, 0.0f, -20.0f, 1.0f);
    farther->SetTransformAndBounds(world, Matrix::ONE, false, box);
    m_renderer.BeginGather();
    m_renderer.AddRenderTask(nearer, 0x20);
    m_renderer.AddRenderTask(farther, 0x20);
    m_renderer.SubmitCommands(true);

    const RenderTaskRecordRing& records = m_renderer.GetTaskRecords();
    ASSERT_EQ(records.GetCount(), 2u);
    EXPECT_FLOAT_EQ(records.GetRecord(0).depth, -7.0f);
    EXPECT_FLOAT_EQ(records.GetRecord(0).sortOffset, 2.5f);
    EXPECT_FLOAT_EQ(records.GetSortKey(0).key, 10000.0f - 7.0f + 2.5f);
    EXPECT_FLOAT_EQ(records.GetSortKey(1).key, 10000.0f - 30.0f - 1.0f);
    EXPECT_EQ(records.GetSortKey(1).recordIndex, 1u);
}

TEST_F(RenderCommandExecutorTest, OutlinedTasksNeedAPassTheContextJoinsInThePassMask)
{
    RecordingContext* joinsFour = Context(0.0f, 0x4);
    RecordingContext* joinsEight = Context(0.0f, 0x8);
    RecordingContext* joinsNone = Context();
    m_renderer.SetPassMask(0x5);
    m_renderer.BeginGather();
    m_renderer.AddRenderTask(joinsFour, 0x200 | 0x1000);
    m_renderer.AddRenderTask(joinsEight, 0x200);
    m_renderer.AddRenderTask(joinsNone, 0x200);
    m_renderer.AddRenderTask(joinsEight, 0x40);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetOutlinedCount(), 1u);
    EXPECT_EQ(joinsFour->askedFlags, 0x1200u) << "the context is asked with the task's flags";
    EXPECT_EQ(m_renderer.GetGatheredCount(), 1u);

    m_renderer.SetPassMask(0xC);
    m_renderer.BeginGather();
    m_renderer.AddRenderTask(joinsFour, 0x200);
    m_renderer.AddRenderTask(joinsEight, 0x200);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetOutlinedCount(), 2u);
}

TEST_F(RenderCommandExecutorTest, TaskRecordRingWrapsToTheFirstRecordAndMarksTheOverflow)
{
    std::vector<RecordingContext*> contexts;
    for (uint32_t i = 0; i <= NorvexRenderer::kMaxTaskRecords; ++i)
        contexts.push_back(Context());
    m_renderer.BeginGather();
    for (RecordingContext* context : contexts)
        m_renderer.AddRenderTask(context, 0x20);
    m_renderer.SubmitCommands(true);
    const RenderTaskRecordRing& records = m_renderer.GetTaskRecords();
    EXPECT_EQ(records.GetCount(), 1280u);
    EXPECT_TRUE(records.HasOverflowed());
    EXPECT_EQ(records.GetRecord(0).context, contexts.back()) << "the 1281st record overwrites the first";
    EXPECT_EQ(records.GetRecord(1).context, contexts[1]);
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

// A loading frame takes the display lock without waiting and must give it back: the game thread
// waits on that lock for display changes, so a lock kept would hang it at the next one.
TEST_F(RenderCommandExecutorTest, ALoadingFrameGivesTheDisplayLockBack)
{
    UIScreen screen;
    m_renderer.SetLoadingScreen(&screen, 0, 0);
    // A due frame also waits for the GPU: the current query's first poll answers not ready.
    RunOnRenderThread(m_renderer, [](NorvexRenderer& r) {
        r.GetPresenter().Flush();
        const uint32_t presents = r.GetPresenter().GetPresentsCompleted();
        gpu::Faults().DelayQueries(1);
        r.GetDeviceManager().GetCurrentQuery()->Issue(gpu::kIssueEnd);
        gpu::Faults().DelayQueries(0);
        os::Sleep(20);
        for (const uint32_t expected : {presents, presents + 1})
        {
            r.PumpLoadingScreen();
            r.GetPresenter().Flush();
            EXPECT_EQ(r.GetPresenter().GetPresentsCompleted(), expected);
        }
    });
    for (int frame = 0; frame < 3; ++frame)
        RunOnRenderThread(m_renderer, [](NorvexRenderer& r) { r.PumpLoadingScreen(); });

    // The render thread keeps pumping loading frames on its own, back to back when they are slow (as
    // under the thread sanitizer), so only a blocking wait like the game thread's own can tell a
    // lock that is given back from one that is kept.
    std::atomic<bool> taken{false};
    std::thread waiter([&] {
        m_renderer.GetDisplayLock().Enter();
        taken = true;
        m_renderer.GetDisplayLock().Leave();
    });
    for (int attempt = 0; attempt < 3000 && !taken; ++attempt)
        os::Sleep(10);
    if (!taken)
    {
        ADD_FAILURE() << "the render thread kept the display lock after a loading frame";
        // The waiter and whatever came next would wait on that lock for ever.
        std::fflush(nullptr);
        std::_Exit(1);
    }
    waiter.join();

    // Switched off, no loading frame is drawn, not even the one a new screen draws at once.
    m_renderer.EnableLoadingFrames(false);
    UIScreen next;
    uint32_t presents[2] = {};
    for (uint32_t& count : presents)
    {
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) {
            r.GetPresenter().Flush();
            count = r.GetPresenter().GetPresentsCompleted();
        });
        m_renderer.SetLoadingScreen(&next, 0, 0);
    }
    EXPECT_EQ(presents[1], presents[0]);
    m_renderer.EnableLoadingFrames(true);
    m_renderer.SetLoadingScreen(nullptr, 0, 0);
    m_renderer.SubmitCommands(true);
}

TEST_F(RenderCommandExecutorTest, GatheredTasksDrawThroughTheDeferredPassesThenTheirBuckets)
{
    RecordingContext* deferred = Context();
    RecordingContext* forward = Context();
    using Passes = std::vector<std::pair<int32_t, uint32_t>>;
    struct Case
    {
        uint32_t passFlags;
        uint32_t bucketBit; // cleared in the enable word for the frame
        Passes deferredPasses, forwardPasses;
    };
    const Case cases[] = {
        {0, 0, {{2, 3}, {4, 0}, {8, 1}}, {{1, 3}}}, // rendering pass 0: layer 3, bucket 3's argument
        {0x10000, 0, {}, {{1, 3}}},                 // no deferred passes, the buckets still draw
        {0, 3, {{2, 3}, {4, 0}, {8, 1}}, {}},       // bucket 3 switched off
    };
    for (const Case& c : cases)
    {
        deferred->passes.clear();
        forward->passes.clear();
        if (c.bucketBit != 0)
            SetFlagBit(c.bucketBit, 0);
        m_renderer.SetFrameTarget(nullptr, 0, 1);
        m_renderer.BeginGather();
        m_renderer.AddRenderTask(deferred, 0x40);
        m_renderer.AddRenderTask(forward, 0x20);
        m_renderer.RenderGathered(c.passFlags, 0, nullptr);
        m_renderer.UpscaleFinal();
        if (c.bucketBit != 0)
            SetFlagBit(c.bucketBit, 1);
        m_renderer.SubmitCommands(true);
        EXPECT_EQ(deferred->passes, c.deferredPasses) << c.passFlags;
        EXPECT_EQ(forward->passes, c.forwardPasses) << c.passFlags;
        EXPECT_FALSE(m_renderer.IsGathering());
        uint32_t stencil = 1;
        m_renderer.GetDevice()->GetRenderState(gpu::kRsStencilEnable, &stencil);
        EXPECT_EQ(stencil, 0u) << "the passes leave stencil off";
    }
    // Layer 0 is a mask-only bucket: it draws no colour, and colour writes come back after it.
    forward->CopyLayer(nullptr);
    m_renderer.BeginGather();
    m_renderer.AddRenderTask(forward, 0x20);
    m_renderer.RenderGathered(0x10000, 0, nullptr);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(RenderStateValue(gpu::kRsColorWriteEnable), 15u);
}

TEST_F(RenderCommandExecutorTest, TheGatherFlagDrawsDeferredMeshesNearestFirst)
{
    // Box centres at view depths 30, 10 and 40, the last one brought to 5 by its sort offset: drawn
    // in the reverse of the order they were gathered in.
    const std::pair<float, float> depthAndOffset[3] = {{30.0f, 0.0f}, {10.0f, 0.0f}, {40.0f, -35.0f}};
    std::vector<const RecordingContext*> order, expected;
    m_renderer.SetCamera(Matrix::ONE, Matrix::ONE, Matrix::ONE);
    m_renderer.SetFrameTarget(nullptr, 0, 1);
    m_renderer.SetGatherFlag(1);
    m_renderer.BeginGather();
    for (const auto& [depth, offset] : depthAndOffset)
    {
        RecordingContext* context = Context(offset);
        context->normalsOrder = &order;
        Matrix world = Matrix::ONE;
        world.rows[3] = Vector(5.0f, 0.0f, depth, 1.0f);
        context->SetTransformAndBounds(world, world, false, BoundingBox4(Vector(-1, -1, -1, 1), Vector(1, 1, 1, 1)));
        m_renderer.AddRenderTask(context, 0x40);
        expected.insert(expected.begin(), context);
    }
    m_renderer.RenderGathered(0, 0, nullptr);
    m_renderer.UpscaleFinal();
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(order, expected);
}

TEST_F(RenderCommandExecutorTest, FullGatheringListsAreReportedOnceAtTheEndOfThePass)
{
    struct Case
    {
        uint32_t gathered, outlined, records;
        const char* message;
        bool reported;
    };
    const Case cases[] = {
        {8191, 0, 0, "Too many deferred meshes visible at once.", false},
        {8192, 0, 0, "Too many deferred meshes visible at once.", true},
        {8193, 0, 0, "Too many deferred meshes visible at once.", true},
        {0, 1023, 0, "Too many outlined entities visible at once.", false},
        {0, 1024, 0, "Too many outlined entities visible at once.", true},
        {0, 1025, 0, "Too many outlined entities visible at once.", true},
        {0, 0, 1280, "Too many gathered render tasks. Certain objects will not display at all.", false},
        {0, 0, 1281, "Too many gathered render tasks. Certain objects will not display at all.", true},
    };
    RecordingContext* context = Context(0.0f, 0x1);
    m_renderer.SetPassMask(0x1);
    for (const Case& c : cases)
    {
        m_log.Clear();
        m_renderer.BeginGather();
        for (uint32_t i = 0; i < c.gathered; ++i)
            m_renderer.AddRenderTask(context, 0x80);
        for (uint32_t i = 0; i < c.outlined; ++i)
            m_renderer.AddRenderTask(context, 0x200);
        for (uint32_t i = 0; i < c.records; ++i)
            m_renderer.AddRenderTask(context, 0x20);
        m_renderer.RenderGathered(0x10000, 0, nullptr);
        m_renderer.SubmitCommands(true);
        EXPECT_EQ(m_log.Contains(c.message, CONSOLE_ERROR), c.reported) << c.gathered << " " << c.outlined << " "
                                                                        << c.records;
        EXPECT_EQ(m_log.CountOfKind(CONSOLE_ERROR), c.reported ? 1u : 0u);
        EXPECT_EQ(m_renderer.GetGatheredCount(), std::min(c.gathered, 8192u)) << "the lists keep what fits";
        EXPECT_EQ(m_renderer.GetOutlinedCount(), std::min(c.outlined, 1024u));
    }
}

TEST_F(RenderCommandExecutorTest, ScissorAndDepthSurfaceCommandsReachTheDevice)
{
    namespace rp = renderpayload;
    gpu::GpuSurface* depth = nullptr;
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) {
        r.GetDevice()->CreateDepthStencilSurface(8, 8, gpu::kFormatD24S8, gpu::kMultisampleNone, 0, true, &depth);
    });
    m_renderer.SetFrameTarget(nullptr, 0, 4);
    for (uint32_t hasRect : {1u, 0u}) // the second keeps the rectangle and switches the test off
    {
        ASSERT_TRUE(m_renderer.WriteCommand(RENDER_OP_SET_SCISSOR, rp::kU32 + hasRect * rp::kRect + rp::kU8));
        Put(hasRect);
        for (int32_t edge : {3, 4, 50, 60})
            if (hasRect != 0)
                Put(edge);
        Put(uint8_t(hasRect));
    }
    ASSERT_TRUE(m_renderer.WriteCommand(RENDER_OP_SET_DEPTH_STENCIL_SURFACE, rp::kPointer));
    PutPointer(depth);
    gpu::Rect scissor = {};
    gpu::GpuSurface* bound[2] = {};
    for (gpu::GpuSurface*& surface : bound)
    {
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) {
            r.GetDevice()->GetScissorRect(&scissor);
            r.GetDevice()->GetDepthStencilSurface(&surface);
        });
        m_renderer.SetOutlineWriteFlag(0);
    }
    EXPECT_EQ(scissor.left + scissor.top + scissor.right + scissor.bottom, 117);
    EXPECT_EQ(RenderStateValue(gpu::kRsScissorTestEnable), 0u);
    EXPECT_EQ(bound[0], depth);
    EXPECT_EQ(bound[1], nullptr) << "the depth-stencil switch off unbinds the surface";
    m_renderer.UpscaleFinal();
    m_renderer.SubmitCommands(true);
    gpu::SafeRelease(bound[0]);
    depth->Release();
}

TEST_F(RenderCommandExecutorTest, BlankModePresentsBlackFramesUntilSwitchedOff)
{
    uint64_t presents[3] = {};
    const auto count = [this](uint64_t* out) {
        RunOnRenderThread(m_renderer, [out](NorvexRenderer& r) { *out = r.GetDevice()->GetPresentCount(); });
    };
    count(&presents[0]);
    ASSERT_TRUE(m_renderer.WriteCommand(RENDER_OP_SET_BLANK_MODE, renderpayload::kPointer));
    PutPointer(this);
    EXPECT_EQ(ProbeBackBuffer(m_renderer, {1, 1}), 0xFF000000u);
    ASSERT_TRUE(m_renderer.WriteCommand(RENDER_OP_SET_BLANK_MODE, renderpayload::kPointer));
    PutPointer(nullptr);
    count(&presents[1]);
    os::Sleep(30);
    count(&presents[2]);
    EXPECT_GT(presents[1], presents[0]);
    EXPECT_EQ(presents[2], presents[1]) << "no blank frame once the mode is off";
}

// A camera takes three matrices and six planes, 288 bytes: with 284 bytes (overhead included) left in
// its block it moves whole to the next, and what follows it is still read.
TEST_F(RenderCommandExecutorTest, ACameraThatDoesNotFitItsBlockMovesWholeToTheNext)
{
    m_renderer.SubmitCommands(true);
    for (uint32_t i = 0; i < (kRenderBlockBytes - 284) / 4; ++i)
        ASSERT_TRUE(m_renderer.WriteCommand(RENDER_OP_NOTHING_54, 0));
    Matrix view = Matrix::ONE;
    view.rows[3] = Vector(1.0f, 2.0f, 3.0f, 1.0f);
    m_renderer.SetCamera(view, Matrix::ONE, Matrix::ONE);
    SetFlagBit(37, 1);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetFlagWord(1), 1u << 5);
    RunOnRenderThread(m_renderer, [](NorvexRenderer& r) { EXPECT_EQ(r.GetCamera().view.rows[3].z, 3.0f); });
}

TEST_F(RenderCommandExecutorTest, ACallWithoutAFunctionDropsTheRestOfItsBlock)
{
    ASSERT_TRUE(m_renderer.WriteCall(nullptr, 9, 0));
    SetFlagBit(37, 1);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetFlagWord(1), 0u);
    EXPECT_TRUE(m_log.Contains("Render call command without a function (sub-command 9)", CONSOLE_ERROR));
}

TEST_F(RenderCommandExecutorTest, QueryCommandsIssueThenPublishEachPollsAnswer)
{
    namespace rp = renderpayload;
    gpu::GpuQuery* query = nullptr;
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) { r.GetDevice()->CreateQuery(gpu::kQueryEvent, &query); });
    ASSERT_NE(query, nullptr);
    gpu::Faults().DelayQueries(1);
    ASSERT_TRUE(m_renderer.WriteCommand(RENDER_OP_ISSUE_QUERY, rp::kIssueQuery));
    PutPointer(query);
    Put(gpu::kIssueEnd);
    uint32_t data[2] = {7, 7};
    uint32_t answers[2] = {0xFFFFFFFFu, 0xFFFFFFFFu};
    for (uint32_t i = 0; i < 2; ++i)
    {
        ASSERT_TRUE(m_renderer.WriteCommand(RENDER_OP_GET_QUERY_DATA, rp::kGetQueryData));
        PutPointer(query);
        PutPointer(&data[i]);
        Put(uint32_t(sizeof(data[i])));
        Put(uint32_t(0));
        PutPointer(&answers[i]);
    }
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(answers[0], gpu::kNotReady) << "the issue armed the delay";
    EXPECT_EQ(data[0], 7u);
    EXPECT_EQ(answers[1], gpu::kOk);
    EXPECT_EQ(data[1], 1u);
    EXPECT_EQ(query->GetPollCount(), 2u);
    query->Release();
}

TEST_F(RenderCommandExecutorTest, PlaceholderCommandsAreReadPastAndUnbuiltOnesReportedOnce)
{
    for (uint32_t opcode : {RENDER_OP_NOTHING_10, RENDER_OP_NOTHING_11, RENDER_OP_NOTHING_54, RENDER_OP_MESH_DATA_PASS,
                            RENDER_OP_MESH_DATA_PASS})
        ASSERT_TRUE(m_renderer.WriteCommand(opcode, 0));
    SetFlagBit(37, 1);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetFlagWord(1), 1u << 5) << "the block goes on after them";
    EXPECT_EQ(m_log.CountOfKind(CONSOLE_WARNING), 1u);
    EXPECT_TRUE(m_log.Contains("Render command 28 (mesh rendering-data pass) is not built yet", CONSOLE_WARNING));
}

TEST_F(RenderCommandExecutorTest, SleepHoldsTheRenderThreadAndResetWithParamsTakesTheNewParameters)
{
    namespace rp = renderpayload;
    ASSERT_TRUE(m_renderer.WriteCommand(RENDER_OP_SLEEP, rp::kU32));
    Put(uint32_t(120));
    const int64_t start = os::QueryCounter();
    m_renderer.SubmitCommands(true);
    EXPECT_GE(os::QueryCounter() - start, 120 * os::kCounterFrequency / 1000);

    DeviceParams params = m_renderer.GetDeviceParams();
    params.outputWidth = 200;
    params.outputHeight = 100;
    params.qualityLevel = 3;
    ASSERT_TRUE(m_renderer.WriteCommand(RENDER_OP_RESET_WITH_PARAMS, rp::kResetWithParams));
    PutPointer(&m_window);
    Put(params);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetDeviceParams().qualityLevel, 3u);
    EXPECT_EQ(m_renderer.GetPresentParameters().backBufferWidth, 200u);
    EXPECT_EQ(m_renderer.GetPresentParameters().backBufferHeight, 100u);
}

TEST_F(RenderCommandExecutorTest, InitCommandMakesADeviceOnlyWhenNoneIsOpen)
{
    namespace rp = renderpayload;
    const auto init = [this] {
        ASSERT_TRUE(m_renderer.WriteCommand(RENDER_OP_INIT_DX, rp::kInitDX));
        PutPointer(&m_window);
        Put(uint8_t(0));
    };
    init();
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(gpu::LiveObjectCount(gpu::ObjectKind::Device), 1u) << "an open device is kept";
    ASSERT_TRUE(m_renderer.WriteCommand(RENDER_OP_CLOSE_DX, 0));
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetDevice(), nullptr);
    init();
    m_renderer.SubmitCommands(true);
    EXPECT_NE(m_renderer.GetDevice(), nullptr);
    EXPECT_EQ(gpu::LiveObjectCount(gpu::ObjectKind::Device), 1u);
}
