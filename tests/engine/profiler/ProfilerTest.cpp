// ctest-labels: thread
#include "engine/profiler/Profiler.h"
#include "core/threads/CommandRingBuffer.h"
#include "platform/os/Clock.h"
#include "support/RendererTestBase.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace
{
// Channel indices used below.
constexpr uint32_t kFPS = 0;
constexpr uint32_t kMainFrameTime = 2; // main, gauge
constexpr uint32_t kMainIdle = 3;      // main, timer
constexpr uint32_t kDrawCalls = 9;     // render, gauge
constexpr uint32_t kDynamicGeometry = 17; // render, counter
constexpr uint32_t kVisibleEntities = 16; // main, counter
constexpr uint32_t kLOS = 26;          // main, timer, two values
constexpr uint32_t kNetTickMain = 46;

class ProfilerTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        m_profiler = std::make_unique<Profiler>();
    }
    void Sync() { m_renderer.SubmitCommands(true); }
    void Start()
    {
        m_profiler->Init(&m_mask);
        Sync();
    }

    Profiler::Mask m_mask;
    std::unique_ptr<Profiler> m_profiler;
};
} // namespace

TEST_F(ProfilerTest, NetEnablesItsNineteenChannelsAndNullDisablesAll)
{
    Start();
    m_profiler->EnableProfiler("net", true);
    Sync();
    uint32_t active = 0;
    for (uint32_t i = 0; i < Profiler::kChannelCount; ++i)
    {
        active += m_profiler->IsActive(i);
        EXPECT_EQ(m_mask.Get(i), m_profiler->IsActive(i)) << i;
    }
    EXPECT_EQ(active, 19u);
    EXPECT_TRUE(m_profiler->IsActive(kNetTickMain));
    EXPECT_TRUE(m_profiler->IsActive(63)); // "NetDynamicMID"
    EXPECT_FALSE(m_profiler->IsActive(kFPS));

    m_profiler->EnableProfiler("ticksrvnum", true);
    m_profiler->EnableProfiler("TICK(main", false);
    Sync();
    EXPECT_FALSE(m_profiler->IsActive(kNetTickMain));
    EXPECT_TRUE(m_profiler->IsActive(47));
    EXPECT_TRUE(m_profiler->IsActive(66)); // "MPPropsEntityTickSrvNum", matched deep in a long name

    m_profiler->EnableProfiler(nullptr, false);
    Sync();
    for (uint32_t i = 0; i < Profiler::kChannelCount; ++i)
        EXPECT_FALSE(m_profiler->IsActive(i)) << i;
    EXPECT_EQ(m_mask, Profiler::Mask());
}

TEST_F(ProfilerTest, InitTakesTheConfigurationMaskAndClearsHistories)
{
    m_mask.Set(kLOS, true);
    m_profiler->AddSample(kLOS, 3.0f);
    Start();
    EXPECT_TRUE(m_profiler->IsActive(kLOS));
    EXPECT_FALSE(m_profiler->IsActive(kFPS));
    EXPECT_EQ(m_profiler->GetSampleCount(kLOS), 0u);
    EXPECT_EQ(m_profiler->GetChannelText(kLOS), "");
    // Samples below zero keep their own maximum, not zero.
    m_profiler->AddSample(kLOS, -5.0f);
    m_profiler->AddSample(kLOS, -3.0f);
    EXPECT_EQ(m_profiler->GetChannelText(kLOS), "-4.00/-3.00");
}

TEST_F(ProfilerTest, WithoutAMaskNothingIsEnabled)
{
    m_profiler->EnableProfiler(nullptr, true);
    Sync();
    EXPECT_FALSE(m_profiler->IsActive(kFPS));
}

TEST_F(ProfilerTest, HistoriesKeepTheLast209Samples)
{
    for (int v = 1; v <= 300; ++v)
        m_profiler->AddSample(kLOS, float(v));
    EXPECT_EQ(m_profiler->GetSampleCount(kLOS), 300u);
    EXPECT_FLOAT_EQ(m_profiler->GetRawSample(kLOS, 0), 300.0f);
    EXPECT_FLOAT_EQ(m_profiler->GetRawSample(kLOS, 208), 92.0f);
    EXPECT_FLOAT_EQ(m_profiler->GetRawSample(kLOS, 209), 0.0f);
    // Mean 196 and maximum 300 of samples 92..300; LOS graphs 0..10, so every position is 1.
    EXPECT_EQ(m_profiler->GetChannelText(kLOS), "196.00/300.00");
    EXPECT_FLOAT_EQ(m_profiler->GetNormalizedSample(kLOS, 0), 1.0f);
    m_profiler->AddSample(kLOS, 5.0f);
    EXPECT_FLOAT_EQ(m_profiler->GetNormalizedSample(kLOS, 0), 0.5f);
}

TEST_F(ProfilerTest, ChannelZeroTurnsMillisecondsIntoFramesPerSecond)
{
    m_profiler->AddSample(kFPS, 16.0f);
    // (62.5 - 10) / 50 = 1.05, clamped.
    EXPECT_FLOAT_EQ(m_profiler->GetNormalizedSample(kFPS, 0), 1.0f);
    m_profiler->AddSample(kFPS, 25.0f);
    EXPECT_FLOAT_EQ(m_profiler->GetNormalizedSample(kFPS, 0), 0.6f);
    // Minimum, mean and maximum rates: 1000/25, 1000/20.5, 1000/16.
    EXPECT_EQ(m_profiler->GetChannelText(kFPS), "40.00/48.78/62.50");
    m_profiler->AddSample(kFPS, 0.0f);
    EXPECT_FLOAT_EQ(m_profiler->GetNormalizedSample(kFPS, 0), 1.0f);
}

TEST_F(ProfilerTest, RenderSendsActiveMainSamplesAndTheDrawSamplesRenderChannels)
{
    m_mask.Set(kMainFrameTime, true);
    m_mask.Set(kVisibleEntities, true);
    m_mask.Set(kMainIdle, true);
    m_mask.Set(kDrawCalls, true);
    m_mask.Set(kDynamicGeometry, true);
    Start();
    os::EnableManualCounter(0);
    m_profiler->SetValue(kMainFrameTime, 12.5f, 0);
    m_profiler->AddValue(kVisibleEntities, 3.0f, 0);
    m_profiler->AddValue(kVisibleEntities, 4.0f, 0);
    m_profiler->SetValue(kLOS, 9.0f, 0); // inactive: no sample
    m_profiler->SetValue(kLOS, 1.0f, kProfilerCallerOtherThread);
    EXPECT_FLOAT_EQ(m_profiler->GetCurrentValue(kLOS), 9.0f) << "kept from the main thread, skipped from others";
    m_profiler->StartTimer(kMainIdle, 0);
    m_profiler->StartTimer(kMainIdle, 0);
    os::AdvanceManualCounter(os::kCounterFrequency / 100); // 10 ms
    m_profiler->StopTimer(kMainIdle, 0);
    os::AdvanceManualCounter(os::kCounterFrequency / 100);
    m_profiler->StopTimer(kMainIdle, 0); // only the outermost pair counts: 20 ms
    m_profiler->SetValue(kDrawCalls, 42.0f, kProfilerCallerOtherThread);
    m_profiler->AddValue(kDynamicGeometry, 5.0f, kProfilerCallerOtherThread);
    os::DisableManualCounter();

    m_profiler->Render(320, 240);
    Sync();
    ASSERT_EQ(m_profiler->GetSampleCount(kMainFrameTime), 1u);
    EXPECT_FLOAT_EQ(m_profiler->GetRawSample(kMainFrameTime, 0), 12.5f);
    ASSERT_EQ(m_profiler->GetSampleCount(kVisibleEntities), 1u);
    EXPECT_FLOAT_EQ(m_profiler->GetRawSample(kVisibleEntities, 0), 7.0f);
    EXPECT_FLOAT_EQ(m_profiler->GetCurrentValue(kVisibleEntities), 0.0f);
    ASSERT_EQ(m_profiler->GetSampleCount(kMainIdle), 1u);
    EXPECT_NEAR(m_profiler->GetRawSample(kMainIdle, 0), 20.0f, 1e-3f);
    EXPECT_EQ(m_profiler->GetSampleCount(kLOS), 0u);
    ASSERT_EQ(m_profiler->GetSampleCount(kDrawCalls), 1u);
    EXPECT_FLOAT_EQ(m_profiler->GetRawSample(kDrawCalls, 0), 42.0f);
    // The screen camera: the whole viewport and a pixel projection shifted by half a pixel, so the
    // pixel edge (-0.5, -0.5) lands on the top-left corner of clip space and y grows downwards.
    const gpu::Viewport& viewport = m_renderer.GetViewportState().viewport;
    EXPECT_EQ(viewport.width, 320u);
    EXPECT_EQ(viewport.height, 240u);
    EXPECT_FLOAT_EQ(viewport.maxZ, 1.0f);
    const Matrix& projection = m_renderer.GetCamera().projection;
    EXPECT_NEAR(-0.5f * projection.At(0, 0) + projection.At(3, 0), -1.0f, 1e-5f);
    EXPECT_NEAR(-0.5f * projection.At(1, 1) + projection.At(3, 1), 1.0f, 1e-5f);
    EXPECT_NEAR(319.5f * projection.At(0, 0) + projection.At(3, 0), 1.0f, 1e-5f);
    EXPECT_LT(projection.At(1, 1), 0.0f);
    EXPECT_FLOAT_EQ(m_renderer.GetCamera().view.At(3, 0), 0.0f);
    EXPECT_FLOAT_EQ(m_renderer.GetCamera().view.At(0, 0), 1.0f);
    // Render-thread channels are sampled at every draw, active or not; a gauge keeps its value.
    EXPECT_EQ(m_profiler->GetSampleCount(kFPS), 1u);
    m_profiler->Render(320, 240);
    Sync();
    EXPECT_FLOAT_EQ(m_profiler->GetRawSample(kDrawCalls, 0), 42.0f);
    EXPECT_FLOAT_EQ(m_profiler->GetRawSample(kDynamicGeometry, 0), 0.0f) << "a counter starts again";
    EXPECT_FLOAT_EQ(m_profiler->GetRawSample(kMainIdle, 0), 0.0f);
    EXPECT_EQ(m_log.CountOfKind(CONSOLE_ERROR), 0u);
    // Without the overlay font nothing is drawn.
    EXPECT_FALSE(m_profiler->IsOverlayFontLoaded());
    EXPECT_EQ(m_renderer.GetFrameDrawCalls(), 0u);
}

TEST_F(ProfilerTest, MaskCommandsCombineTheirWordsAndUnknownOnesOnlyLog)
{
    Start();
    CommandRingBuffer ring(4096, 0xFFFF);
    const auto handle = [&](uint32_t subCommand, const std::vector<uint32_t>& payload) {
        ASSERT_TRUE(ring.BeginWrite(1, uint32_t(payload.size() * 4)));
        ring.Write(payload.data(), uint32_t(payload.size() * 4));
        ring.EndWrite();
        ASSERT_TRUE(ring.BeginRead());
        m_profiler->HandleRenderCommand(subCommand, ring);
        ring.EndRead();
    };
    handle(PROFILER_COMMAND_MASK, {0x6, 0, 0x1, PROFILER_MASK_SET});
    handle(PROFILER_COMMAND_MASK, {0x3, 0, 0x1, PROFILER_MASK_XOR});
    handle(PROFILER_COMMAND_MASK, {0x8, 0, 0, 9});
    handle(9, {});
    // A sample for a channel past the table is skipped; the next pair still counts.
    handle(PROFILER_COMMAND_SAMPLES, {2, Profiler::kChannelCount, 0x3F800000u, kLOS, 0x40000000u});
    EXPECT_EQ(m_profiler->GetChannelText(kLOS), "2.00/2.00");
    EXPECT_EQ(m_profiler->GetChannelText(Profiler::kChannelCount), "");
    for (const uint32_t caller : {0u, kProfilerCallerOtherThread})
    {
        m_profiler->StartTimer(Profiler::kChannelCount, caller); // past the table: ignored, never indexed
        m_profiler->StopTimer(Profiler::kChannelCount, caller);
    }
    const std::vector<bool> active = {m_profiler->IsActive(0), m_profiler->IsActive(1), m_profiler->IsActive(2),
                                      m_profiler->IsActive(3), m_profiler->IsActive(64)};
    EXPECT_EQ(active, (std::vector<bool>{true, false, true, false, false}));
    EXPECT_TRUE(m_log.Contains("Unknown profiler mask operation 9", CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("Unknown profiler command 9", CONSOLE_ERROR));
}

// The render thread flips the active mask while the main thread sizes and fills its sample
// command: the pairs must always match the count the command was sized by.
TEST_F(ProfilerTest, MaskChangesDuringRenderNeverBreakTheStream)
{
    Start();
    for (uint32_t i = 0; i < 200; ++i)
    {
        m_profiler->EnableProfiler("Test", (i & 1) == 0);
        m_renderer.SubmitCommands(false);
        m_profiler->SetValue(68, float(i), 0);
        m_profiler->Render(320, 240);
        m_renderer.SubmitCommands(false);
    }
    Sync();
    EXPECT_EQ(m_log.CountOfKind(CONSOLE_ERROR), 0u);
    // Which renders saw the channel active depends on the render thread's timing.
    EXPECT_LE(m_profiler->GetSampleCount(68), 200u);
    EXPECT_EQ(m_profiler->GetSampleCount(kFPS), 200u);
}

// Two threads time the loading channel over overlapping sections (A 0-20 ms, B 10-30 ms, B nested
// twice): each counts its own section, 40 ms in all; one shared nesting count would give 30.
TEST_F(ProfilerTest, OverlappingSectionsOnTwoThreadsAddUp)
{
    m_mask.Set(PROFILER_RESOURCE_LOADING, true);
    Start();
    const int64_t tenMs = os::kCounterFrequency / 100;
    os::EnableManualCounter(0);
    std::atomic<int> step{0};
    auto waitFor = [&step](int value) {
        while (step.load() < value)
            std::this_thread::yield();
    };
    m_profiler->StopTimer(PROFILER_RESOURCE_LOADING, kProfilerCallerOtherThread); // unmatched: ignored
    m_profiler->StartTimer(PROFILER_RESOURCE_LOADING, kProfilerCallerOtherThread);
    os::AdvanceManualCounter(tenMs);
    std::thread other([&] {
        m_profiler->StartTimer(PROFILER_RESOURCE_LOADING, kProfilerCallerOtherThread);
        m_profiler->StartTimer(PROFILER_RESOURCE_LOADING, kProfilerCallerOtherThread);
        step = 1;
        waitFor(2);
        m_profiler->StopTimer(PROFILER_RESOURCE_LOADING, kProfilerCallerOtherThread);
        m_profiler->StopTimer(PROFILER_RESOURCE_LOADING, kProfilerCallerOtherThread);
        m_profiler->StopTimer(PROFILER_RESOURCE_LOADING, kProfilerCallerOtherThread); // unmatched: ignored
    });
    waitFor(1);
    os::AdvanceManualCounter(tenMs);
    m_profiler->StopTimer(PROFILER_RESOURCE_LOADING, kProfilerCallerOtherThread);
    os::AdvanceManualCounter(tenMs);
    step = 2;
    other.join();
    os::DisableManualCounter();

    m_profiler->Render(320, 240);
    Sync();
    ASSERT_EQ(m_profiler->GetSampleCount(PROFILER_RESOURCE_LOADING), 1u);
    EXPECT_NEAR(m_profiler->GetRawSample(PROFILER_RESOURCE_LOADING, 0), 40.0f, 1e-3f);
    m_profiler->Render(320, 240);
    Sync();
    EXPECT_EQ(m_profiler->GetRawSample(PROFILER_RESOURCE_LOADING, 0), 0.0f) << "a timer restarts at 0 after its sample";
}
