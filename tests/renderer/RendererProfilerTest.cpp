// ctest-labels: thread
// What the renderer reports to the profiler: the frame statistics (frame time on the frame-time and
// frames-per-second channels, render-thread idle time, the presented frame's draw calls and
// primitives, the live resources) once a frame was presented, and the time between presents.
#include "engine/profiler/Profiler.h"
#include "renderer/resources/ResourceTexture.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"

namespace
{
constexpr uint32_t kChannels[] = {PROFILER_FPS,        PROFILER_FRAME_TIME, PROFILER_RENDER_IDLE, PROFILER_RENDER_ROUND,
                                  PROFILER_DRAW_CALLS, PROFILER_TRIANGLES,  PROFILER_UI_INSTANCES};

class RendererProfilerTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        for (const uint32_t channel : kChannels)
            m_mask.Set(channel, true);
        gProfiler.Init(&m_mask);
        m_renderer.SubmitCommands(true);
    }
    void TearDown() override
    {
        gProfiler.EnableProfiler(nullptr, false);
        m_renderer.SubmitCommands(true);
        gProfiler.Close();
        RendererTestBase::TearDown();
    }
    // One frame of two draws of 5 and 7 triangles, presented.
    void Frame()
    {
        m_renderer.SetFrameTarget(nullptr, 0, 2);
        RunOnRenderThread(m_renderer, [](NorvexRenderer& r) {
            const float vertices[21 * 3] = {};
            r.GetDevice()->SetFVF(gpu::kFvfXyz);
            r.DrawPrimitiveUP(gpu::kPrimitiveTriangleList, 5, vertices, 12);
            r.DrawPrimitiveUP(gpu::kPrimitiveTriangleList, 7, vertices, 12);
        });
        m_renderer.UpscaleFinal();
        m_renderer.Present(nullptr);
        m_renderer.SubmitCommands(true);
    }

    Profiler::Mask m_mask;
};
} // namespace

TEST_F(RendererProfilerTest, FrameStatisticsReachTheirChannelsOnceAFrameWasPresented)
{
    m_renderer.UpdateFrameStatistics();
    for (const uint32_t channel : kChannels)
        EXPECT_EQ(gProfiler.GetCurrentValue(channel), 0.0f) << "nothing presented yet: channel " << channel;

    Frame();
    Frame();
    const uint32_t liveResources = Resource::GetLiveCount();
    const ResourceTexture made("made");
    m_renderer.UpdateFrameStatistics();
    const float frameMs = m_renderer.GetStatisticsFrameSeconds() * 1000.0f;
    EXPECT_GT(frameMs, 0.0f);
    EXPECT_FLOAT_EQ(gProfiler.GetCurrentValue(PROFILER_FRAME_TIME), frameMs);
    EXPECT_FLOAT_EQ(gProfiler.GetCurrentValue(PROFILER_FPS), frameMs) << "milliseconds, graphed as frames per second";
    EXPECT_FLOAT_EQ(gProfiler.GetCurrentValue(PROFILER_RENDER_IDLE), m_renderer.GetStatisticsIdleSeconds() * 1000.0f);
    EXPECT_EQ(gProfiler.GetCurrentValue(PROFILER_DRAW_CALLS), 2.0f);
    EXPECT_EQ(gProfiler.GetCurrentValue(PROFILER_TRIANGLES), 12.0f);
    EXPECT_EQ(gProfiler.GetCurrentValue(PROFILER_UI_INSTANCES), float(liveResources + 1)) << "live resources";
    EXPECT_GT(gProfiler.GetCurrentValue(PROFILER_RENDER_ROUND), 0.0f) << "milliseconds between the two presents";
}
