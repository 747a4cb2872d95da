// ctest-labels: thread
// The renderer with its render thread on the graphics stand-in: frames, the dispatcher's faults,
// device loss and closing.
#include "engine/Game.h"
#include "engine/input/InputManager.h"
#include "platform/gpu/Gpu.h"
#include "platform/os/Clock.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/jobs/NorvexRendererResourceAccessJob.h"
#include "support/ConsoleCapture.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

namespace
{
class NorvexRendererTest : public RendererTestBase
{
protected:

    // One frame in the engine's command order, handed over in several asynchronous sections.
    bool WriteFrame(const Vector& clearColor)
    {
        m_renderer.SetVisibleLayers(nullptr, 1);
        m_renderer.SetFrameTarget(nullptr, 0, 2);
        m_renderer.SetShakeValue(0.25f);
        Matrix projection;
        projection.LoadPerspectiveFovLH(60.0f, 4.0f / 3.0f, 1.0f, 100.0f);
        m_renderer.SetCamera(Matrix::ONE, projection, Matrix::ONE);
        m_renderer.BeginFrame();
        m_renderer.SetViewport({0, 0, 320, 240, 0.0f, 1.0f});
        m_renderer.SetSRGBWrite(0);
        m_renderer.Clear(gpu::kClearTarget | gpu::kClearDepth | gpu::kClearStencil, clearColor, 1.0f, 0);
        m_renderer.SubmitFrameSection(2);
        m_renderer.BeginGather();
        m_renderer.AddLight(nullptr);
        // The scene target takes the colour too: post-processing brings it to the back buffer.
        m_renderer.RenderGathered(0x40, 1, &clearColor);
        m_renderer.SubmitFrameSection(2);
        m_renderer.SetPassMask(0x3);
        m_renderer.PostProcess(1);
        m_renderer.BeginFrame();
        m_renderer.SubmitFrameSection(2);
        m_renderer.BeginOutlines();
        m_renderer.SetOutlineWriteFlag(1);
        m_renderer.RenderOutlines();
        m_renderer.UpscaleFinal();
        return m_renderer.Present();
    }

    uint32_t BackBufferPixel()
    {
        gpu::GpuSurface* backBuffer = nullptr;
        EXPECT_EQ(m_renderer.GetDevice()->GetBackBuffer(0, 0, &backBuffer), gpu::kOk);
        const uint32_t pixel = backBuffer->ReadPixelArgb(10, 10);
        backBuffer->Release();
        return pixel;
    }
};

// Worker whose one command waits until the renderer has executed a number of commands.
class WaitingThread : public BaseThread
{
public:
    explicit WaitingThread(NorvexRenderer& renderer) : BaseThread("Waiter", 4096, false, os::kInfinite, 0), m_renderer(renderer) {}
    ~WaitingThread() override { Stop(); }

    std::atomic<uint32_t> target{0};
    std::atomic<bool> reached{false};

protected:
    void HandleCommand(const uint8_t*) override
    {
        const int64_t limit = os::QueryCounter() + 3 * os::kCounterFrequency;
        while (m_renderer.GetCommandsExecuted() < target.load() && os::QueryCounter() < limit)
            os::Sleep(1);
        reached = m_renderer.GetCommandsExecuted() >= target.load();
    }

private:
    NorvexRenderer& m_renderer;
};

std::atomic<uint32_t> gCallResult{0};

void AddFromCall(NorvexRenderer&, uint32_t subCommand, CommandRingBuffer& reader)
{
    uint32_t a = 0, b = 0;
    reader.Read(&a, 4);
    reader.Read(&b, 4);
    gCallResult.store(subCommand * 1000 + a + b);
}
} // namespace

TEST_F(NorvexRendererTest, FrameInSeveralBatchesClearsAndPresentsOnce)
{
    ConsoleCapture console;
    for (int frame = 0; frame < 3; ++frame)
        EXPECT_TRUE(WriteFrame(Vector(1.0f, 0.0f, 0.0f, 1.0f)));
    m_renderer.SubmitCommands(true);
    gpu::GpuDevice* const device = m_renderer.GetDevice();
    EXPECT_EQ(device->GetPresentCount(), 3u);
    EXPECT_EQ(m_renderer.GetPresentsExecuted(), 3u);
    EXPECT_EQ(BackBufferPixel(), 0xFFFF0000u);
    const gpu::FrameStatistics& last = device->GetLastFrameStatistics();
    // The frame's clear, the scene target's, the two depth clears of the begin-frame commands, and
    // the normals and light accumulation targets of the deferred passes.
    EXPECT_EQ(last.clears, 6u);
    EXPECT_EQ(device->GetLastFrameSurfaceOpLog().at(1).flags, gpu::kClearTarget | gpu::kClearDepth | gpu::kClearStencil)
        << "the frame's clear, after the begin-frame depth clear";
    EXPECT_EQ(last.beginScenes, 1u);
    EXPECT_EQ(last.endScenes, 1u);
    EXPECT_EQ(last.invalidCalls, 0u);
    for (uint32_t stage = 0; stage < gpu::kSamplerCount; ++stage)
        EXPECT_EQ(device->PeekTexture(stage), nullptr) << "every sampler is unbound at the end of the frame";
    EXPECT_EQ(m_renderer.GetCommandsExecuted(), m_renderer.GetCommandsWritten());
    EXPECT_FLOAT_EQ(m_renderer.GetFieldOfView(), 0.25f);
    EXPECT_EQ(m_renderer.GetPassMask(), 0x3u);
    EXPECT_EQ(console.CountOfKind(CONSOLE_ERROR), 0u);

    WriteFrame(Vector(0.0f, 0.0f, 1.0f, 1.0f));
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(BackBufferPixel(), 0xFF0000FFu);

    // Only under GPU sync does a frame's end issue the query that the present after next waits for.
    for (const bool gpuSync : {true, false})
    {
        DeviceParams params = m_renderer.GetDeviceParams();
        params.gpuSync = gpuSync;
        m_renderer.GetDeviceManager().SetDeviceParams(params);
        gpu::Faults().DelayQueries(2);
        const uint32_t polls = m_renderer.GetDeviceManager().GetCurrentQuery()->GetPollCount();
        for (int frame = 0; frame < 2; ++frame)
            WriteFrame(Vector(0.0f, 0.0f, 1.0f, 1.0f));
        m_renderer.SubmitCommands(true);
        EXPECT_EQ(m_renderer.GetDeviceManager().GetCurrentQuery()->GetPollCount() - polls, gpuSync ? 3u : 1u);
    }
}

TEST_F(NorvexRendererTest, SetCameraKeepsWhatTheGameSideDerives)
{
    // Eye at (0, 0, -5) looking along +z; 90 degrees, square, near 1, far 10.
    Matrix view, projection;
    ASSERT_TRUE(view.LoadLookAtLH(Vector(0, 0, -5, 1), Vector(0, 0, 0, 1), Vector(0, 1, 0, 0)));
    ASSERT_TRUE(projection.LoadPerspectiveFovLH(90.0f, 1.0f, 1.0f, 10.0f));
    m_renderer.SetCamera(view, projection, Matrix::ONE);
    const GameSideCamera& camera = m_renderer.GetGameSideCamera();
    EXPECT_TRUE(camera.view.Equals(view));
    EXPECT_NEAR(camera.inverseView.At(3, 2), -5.0f, 1e-5f) << "camera to world: the eye in row 3";
    EXPECT_NEAR(camera.inverseView.At(2, 2), 1.0f, 1e-5f);
    // The corners: 1 to each side at the near plane, 10 at the far plane.
    EXPECT_NEAR(camera.frustumBox.min.x, -10.0f, 1e-3f);
    EXPECT_NEAR(camera.frustumBox.max.y, 10.0f, 1e-3f);
    EXPECT_NEAR(camera.frustumBox.min.z, -4.0f, 1e-3f);
    EXPECT_NEAR(camera.frustumBox.max.z, 5.0f, 1e-3f);
    Vector corner(1.0f, 1.0f, 1.0f, 1.0f);
    corner.TransformHomogen(camera.inverseViewProjection);
    EXPECT_NEAR(corner.x, 10.0f, 1e-3f);
    EXPECT_NEAR(corner.z, 5.0f, 1e-3f);
    // Inward planes: left, right, bottom, top, near, far; the near one cuts at depth 0, not at -w.
    const Vector inside(0, 0, 0, 1);
    const Vector outside[6] = {Vector(-8, 0, 0, 1), Vector(8, 0, 0, 1), Vector(0, -8, 0, 1),
                               Vector(0, 8, 0, 1),  Vector(0, 0, -4.2f, 1), Vector(0, 0, 6, 1)};
    for (int i = 0; i < 6; ++i)
    {
        EXPECT_GT(camera.frustumPlanes[i].Dot4(inside), 0.0f) << i;
        EXPECT_LT(camera.frustumPlanes[i].Dot4(outside[i]), 0.0f) << i;
    }
    m_renderer.SubmitCommands(true);
    EXPECT_TRUE(m_renderer.GetCamera().view.Equals(view)) << "and the render thread got the same";
}

TEST_F(NorvexRendererTest, UnknownOpcodeDropsTheRestOfItsBlockOnly)
{
    ConsoleCapture console;
    m_renderer.SetPassMask(5);
    m_renderer.WriteCommand(RENDER_OP_INVALID_52, 0);
    m_renderer.SetPassMask(6); // would be garbage after an unknown opcode: dropped
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetPassMask(), 5u);
    EXPECT_TRUE(console.Contains("Unknown NR task: 52, previous: 19", CONSOLE_ERROR));

    m_renderer.WriteCommand(72, 4);
    m_renderer.GetWriter().Put<uint32_t>(0);
    m_renderer.SubmitCommands(true);
    EXPECT_TRUE(console.Contains("Unknown NR task: 72", CONSOLE_ERROR));

    m_renderer.SetPassMask(7);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetPassMask(), 7u) << "the next block is read normally";
    EXPECT_EQ(m_renderer.GetCommandsExecuted(), m_renderer.GetCommandsWritten())
        << "a synchronous end catches up with the commands of the dropped blocks";

    // A job stamped after the dropped commands still runs.
    const uint32_t limit = NorvexRendererResourceAccessJob::GetWaitLimitMs();
    NorvexRendererResourceAccessJob::SetWaitLimitMs(1000);
    NorvexRendererResourceAccessJob job;
    EXPECT_TRUE(PostRendererJob(&job, true));
    NorvexRendererResourceAccessJob::SetWaitLimitMs(limit);
}

TEST_F(NorvexRendererTest, CallCommandAndUnbuiltCommandsConsumeExactlyTheirPayload)
{
    ConsoleCapture console;
    ASSERT_TRUE(m_renderer.WriteCall(&AddFromCall, 3, 8));
    m_renderer.GetWriter().Put<uint32_t>(20);
    m_renderer.GetWriter().Put<uint32_t>(22);
    std::vector<float> bones(80 * 12, 1.0f);
    const Matrix identity = Matrix::ONE;
    for (int i = 0; i < 2; ++i)
    {
        EXPECT_TRUE(m_renderer.DrawMesh(nullptr, identity, identity, BoundingBox4(), Vector(), 0, 0, bones.data(), 80));
        m_renderer.GetWriter().WriteCommand(RENDER_OP_SET_FLAG_BYTE, 1);
        m_renderer.GetWriter().Put<uint8_t>(1);
        EXPECT_TRUE(m_renderer.DrawMeshTemplate(nullptr, identity, Vector(), bones.data(), 5));
        m_renderer.DebugDrawBox(BoundingBox4(), identity, Vector());
    }
    m_renderer.SetScreenScaleX(0.0f);
    m_renderer.SetScreenScaleY(2.0f);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(gCallResult.load(), 3042u);
    EXPECT_FLOAT_EQ(m_renderer.GetScreenScaleX(), 0.85f);
    EXPECT_FLOAT_EQ(m_renderer.GetScreenScaleY(), 1.0f);
    EXPECT_EQ(console.CountOfKind(CONSOLE_ERROR), 0u);
    // Mesh draws are built: their bone arrays are read, and no "not built" note is left.
    size_t meshNotes = 0;
    for (const CapturedMessage& message : console.Messages())
        meshNotes += message.text.find("Render command 6") != std::string::npos;
    EXPECT_EQ(meshNotes, 0u);
}

TEST_F(NorvexRendererTest, TextCommandIsSteppedOverByItsByteCount)
{
    ConsoleCapture console;
    const char text[] = "hello";
    RenderCommandWriter& writer = m_renderer.GetWriter();
    ASSERT_TRUE(writer.WriteCommand(RENDER_OP_DRAW_TEXT, renderpayload::kDrawTextHeader + 5));
    writer.Put<uintptr_t>(0);
    writer.Put(Matrix::ONE);
    writer.Put(Vector(1.0f, 1.0f, 1.0f, 1.0f));
    writer.Put<uint32_t>(0x41414141u); // two u32 fields before the byte count
    writer.Put<uint32_t>(0x42424242u);
    writer.Put<uint32_t>(5);
    writer.Put<uint8_t>(0);
    writer.Write(text, 5);
    m_renderer.SetPassMask(11);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetPassMask(), 11u);
    EXPECT_EQ(console.CountOfKind(CONSOLE_ERROR), 0u);
}

TEST_F(NorvexRendererTest, TooManyBonesAreRefused)
{
    ConsoleCapture console;
    // 80 bones fill 4049 of a command's 4088 bytes: 81 are one too many.
    std::vector<float> bones(81 * 12, 0.0f);
    const uint32_t written = m_renderer.GetCommandsWritten();
    EXPECT_FALSE(m_renderer.DrawMesh(nullptr, Matrix::ONE, Matrix::ONE, BoundingBox4(), Vector(), 0, 0, bones.data(), 81));
    EXPECT_FALSE(m_renderer.DrawMeshTemplate(nullptr, Matrix::ONE, Vector(), bones.data(), 0xFFFFFFFFu));
    EXPECT_FALSE(m_renderer.WriteCall(&AddFromCall, 0, 5000));
    EXPECT_EQ(m_renderer.GetCommandsWritten(), written);
    EXPECT_TRUE(console.Contains("DrawMesh with 81 bones does not fit", CONSOLE_ERROR));
    const uint32_t largest = kMaxRenderPayloadBytes - renderpayload::kCallHeader;
    // The largest call that fits, whose sub-command is the count of argument bytes it steps over.
    ASSERT_TRUE(m_renderer.WriteCall(
        +[](NorvexRenderer&, uint32_t bytes, CommandRingBuffer& reader) { reader.SkipRead(bytes); }, largest, largest));
    m_renderer.GetWriter().Skip(largest);
    m_renderer.SetPassMask(9);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetPassMask(), 9u);
}

TEST_F(NorvexRendererTest, WaitingOnAnotherThreadHandsOverPendingCommandsFirst)
{
    WaitingThread waiter(m_renderer);
    ASSERT_TRUE(waiter.Start());
    m_renderer.SetPassMask(1);
    // The waiter needs this command executed; it is still in the open block.
    waiter.target = m_renderer.GetCommandsWritten();
    waiter.PostCommand(kFirstSubclassCommand, nullptr, 0);
    m_renderer.WaitForThread(waiter);
    EXPECT_TRUE(waiter.reached.load());
}

TEST_F(NorvexRendererTest, AnIdleRenderThreadSleepsUntilWorkArrives)
{
    // A few idle ticks, then it waits for the next block instead of spinning.
    m_renderer.SubmitCommands(true);
    os::Sleep(50);
    const uint32_t ticks = m_renderer.GetTickCount();
    os::Sleep(50);
    EXPECT_LT(m_renderer.GetTickCount() - ticks, 100u);
}

TEST_F(NorvexRendererTest, LostDeviceIsRecoveredThroughAReset)
{
    ConsoleCapture console;
    // The second present loses the device; the first two resets still answer device-lost.
    gpu::Faults().LoseDeviceOnPresent(1, 2);
    bool presented = true;
    for (int frame = 0; frame < 10 && presented; ++frame)
    {
        presented = WriteFrame(Vector(0.0f, 1.0f, 0.0f, 1.0f));
        m_renderer.SubmitCommands(true);
    }
    ASSERT_FALSE(presented) << "Present reports the pending reset";
    EXPECT_TRUE(m_renderer.IsDeviceResetPending());
    const uint32_t resetsBefore = m_renderer.GetDevice()->GetResetCount();
    // A touch contact held across the reset may never report its lift: the next input step ends it.
    InputManager& input = gGame.GetInputManager();
    input.BeginTap(7, 0.25f, 0.5f);

    const int64_t start = os::QueryCounter();
    m_renderer.ApplyDisplaySettings(&m_window, 0, 0, false, false);
    const double seconds = double(os::QueryCounter() - start) / os::kCounterFrequency;
    EXPECT_GE(seconds, 0.09) << "two lost answers are retried 50 ms apart";
    EXPECT_FALSE(m_renderer.IsDeviceResetPending());
    EXPECT_EQ(m_renderer.GetDevice()->GetResetCount(), resetsBefore + 1);
    EXPECT_FALSE(console.Contains("Device::Reset", CONSOLE_ERROR)) << "every default-pool object was released first";
    Vector at;
    EXPECT_TRUE(input.GetPointerPosition(7, at)) << "not ended inside the reset";
    input.Update(Time::Now());
    EXPECT_FALSE(input.GetPointerPosition(7, at));
    input.EndFrame();

    EXPECT_TRUE(WriteFrame(Vector(0.0f, 1.0f, 0.0f, 1.0f)));
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(BackBufferPixel(), 0xFF00FF00u);
    EXPECT_TRUE(WriteFrame(Vector(0.0f, 1.0f, 0.0f, 1.0f)));
}

TEST_F(NorvexRendererTest, ResetWaitingForALostDeviceGivesUpOnQuit)
{
    ConsoleCapture console;
    gpu::Faults().LoseDeviceOnPresent(0, 1000000);
    WriteFrame(Vector()); // its present may already have run and reported the loss
    m_renderer.SubmitCommands(true);
    ASSERT_TRUE(m_renderer.IsDeviceResetPending());
    std::thread quitter([this] {
        os::Sleep(150);
        m_renderer.RequestQuit();
    });
    m_renderer.ApplyDisplaySettings(&m_window, 0, 0, false, false);
    quitter.join();
    EXPECT_TRUE(console.Contains("Device::Reset abandoned", CONSOLE_WARNING));
    EXPECT_TRUE(m_renderer.IsDeviceResetPending());
}

TEST_F(NorvexRendererTest, ResetFailureIsLoggedWithTheParameters)
{
    const struct
    {
        gpu::Result result;
        const char* message;
    } cases[] = {
        {gpu::kErrOutOfVideoMemory, "Device::Reset error: D3DERR_OUTOFVIDEOMEMORY"},
        {gpu::kErrInvalidCall, "Device::Reset error: D3DERR_INVALIDCALL"},
        {gpu::kErrDriverInternalError, "Device::Reset error: D3DERR_DRIVERINTERNALERROR"},
        {gpu::kErrDeviceRemoved, "Device::Reset error: D3DERR_DEVICEREMOVED"},
        {0x8000FFFFu, "Device::Reset unknown error 0x8000FFFF"},
    };
    for (const auto& c : cases)
    {
        ConsoleCapture console;
        gpu::Faults().FailResets(1, c.result);
        m_renderer.RequestDeviceReset();
        m_renderer.SubmitCommands(true);
        EXPECT_FALSE(m_renderer.Present());
        m_renderer.ApplyDisplaySettings(&m_window, 0, 0, false, false);
        EXPECT_TRUE(console.Contains(c.message, CONSOLE_ERROR)) << c.message;
        size_t named = 0;
        for (const CapturedMessage& message : console.Messages())
            named += message.text.find("Device::Reset") != std::string::npos ? 1 : 0;
        EXPECT_EQ(named, 1u) << "one name per failure";
        EXPECT_TRUE(console.Contains("BackBufferWidth=320, BackBufferHeight=240", CONSOLE_ERROR));
    }
    EXPECT_TRUE(WriteFrame(Vector())) << "the renderer goes on after a failed reset";
}

TEST_F(NorvexRendererTest, DisplayChangeResizesTheBackBufferAndBrightnessSetsTheRamp)
{
    int madeAgain = 0; // the game's window, made again for the new size
    // A slow command written before the change still finds the old back buffer.
    uint32_t seenWidth = 0;
    const std::function<void(NorvexRenderer&)> slow = [&](NorvexRenderer& r) {
        os::Sleep(50);
        seenWidth = r.GetDevice()->GetPresentParameters().backBufferWidth;
    };
    PostToRenderThread(m_renderer, slow);
    m_renderer.ApplyDisplaySettings(&madeAgain, 200, 100, false, false);
    EXPECT_EQ(seenWidth, 320u);
    EXPECT_EQ(m_renderer.GetDevice()->GetPresentParameters().deviceWindow, &madeAgain);
    EXPECT_EQ(m_renderer.GetBackBufferWidth(), 200u);
    EXPECT_EQ(m_renderer.GetDevice()->GetPresentParameters().backBufferHeight, 100u);
    EXPECT_EQ(m_renderer.GetDevice()->GetPresentParameters().presentationInterval, gpu::kPresentIntervalImmediate)
        << "no vsync without the configuration";
    EXPECT_EQ(m_renderer.GetRenderWidth(), 200u);
    EXPECT_TRUE(WriteFrame(Vector(1.0f, 1.0f, 1.0f, 1.0f)));
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(BackBufferPixel(), 0xFFFFFFFFu);
    EXPECT_FALSE(m_log.Contains("called outside")) << "the game thread holds the device during the change";
    m_renderer.SetBrightness(0.25f);
    m_renderer.SubmitCommands(true);
    gpu::GammaRamp ramp, expected;
    m_renderer.GetDevice()->GetGammaRamp(0, &ramp);
    NorvexRenderer::BuildGammaRamp(0.25f, &expected);
    EXPECT_EQ(ramp.green[100], expected.green[100]);
}

TEST_F(NorvexRendererTest, CallsFromTheWrongThreadAreLoggedAndStillRun)
{
#ifndef NORVEX_THREAD_CHECKS
    GTEST_SKIP() << "thread checks are compiled out of this build";
#endif
    RunOnRenderThread(m_renderer, [](NorvexRenderer& r) { r.SetBlendMode(2); });
    m_renderer.SetPassMask(0x5);
    m_renderer.SubmitCommands(true);
    EXPECT_FALSE(m_log.Contains("called outside")) << "each part on its own thread";

    std::thread other([this] { m_renderer.SetPassMask(0x9); });
    other.join();
    EXPECT_TRUE(m_log.Contains("WriteCommand called outside the game thread", CONSOLE_ERROR));
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetPassMask(), 0x9u) << "the check only logs";

    m_renderer.SetBlendMode(3); // the render thread is idle after the synchronous submit
    EXPECT_TRUE(m_log.Contains("SetBlendMode called outside the render thread", CONSOLE_ERROR));
    EXPECT_EQ(m_renderer.GetStateCache().GetCached().blendMode, 3u);
    m_log.Clear();
    {
        NorvexRenderer::DeviceHandoff handoff(m_renderer);
        m_renderer.SetBlendMode(4);
        std::thread([this] { m_renderer.SetBlendMode(5); }).join();
    }
    EXPECT_EQ(m_log.CountOfKind(CONSOLE_ERROR), 1u) << "only the game thread holds the device";
}

TEST(NorvexRendererLifecycleTest, StreamIsClosedBeforeInitAndAfterClose)
{
    gpu::SetDisplayConfig(gpu::DefaultDisplayConfig());
    NorvexRenderer renderer;
    renderer.SubmitCommands(true); // nothing to hand over, nothing to wait for
    EXPECT_FALSE(renderer.IsStreamOpen());
    // Without a device, states are neither sent nor remembered.
    renderer.SetDepthState(gpu::kCmpLess, true, 0.0f);
    renderer.SetTexture(gpu::kSamplerCount - 1, nullptr, 0);
    EXPECT_EQ(renderer.GetStateCache().GetCached().depthFunction, CachedRenderState::kUnknown);
    ASSERT_TRUE(renderer.Init(nullptr, false));
    EXPECT_TRUE(renderer.IsStreamOpen());
    renderer.Close();
    EXPECT_FALSE(renderer.IsStreamOpen());
    renderer.SubmitCommands(true);
    EXPECT_EQ(gpu::LiveObjectTotal(), 0u);
}

TEST(NorvexRendererLifecycleTest, RefusedPresentIsNotWaitedFor)
{
    ConsoleCapture log;
    NorvexRenderer renderer;
    renderer.Present(nullptr); // no stream: the writer refuses the command
    renderer.SubmitFrameSection(0);
    EXPECT_FALSE(log.Contains("has not presented"));
}

TEST(NorvexRendererLifecycleTest, FailedDeviceCreationReportsFalseAndCleansUp)
{
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[] { gpu::Faults().FailDeviceCreation(2); }, "the device could not be created"},
        {[] { gpu::Faults().FailFactoryCreation(1); }, "NorvexRenderer: no graphics factory"},
    };
    for (const auto& [fail, message] : cases)
    {
        ConsoleCapture console;
        fail();
        NorvexRenderer renderer;
        EXPECT_FALSE(renderer.Init(nullptr, false));
        EXPECT_TRUE(console.Contains(message, CONSOLE_ERROR)) << message;
        renderer.Close();
        gpu::Faults().Clear();
        EXPECT_EQ(gpu::LiveObjectTotal(), 0u);
    }
}

namespace
{
// Holds the render thread until the event is set; the limit only keeps a broken test from hanging,
// and is far above how long a loaded machine takes to reach the start-up wait.
void BlockRenderThread(BaseThread&, uintptr_t argument, CommandRingBuffer&)
{
    reinterpret_cast<os::Event*>(argument)->Wait(120000);
}
} // namespace

TEST(NorvexRendererLifecycleTest, StartGivesUpOnARenderThreadThatDoesNotAnswer)
{
    ConsoleCapture console;
    gpu::SetDisplayConfig(gpu::DefaultDisplayConfig());
    NorvexRenderer renderer;
    renderer.SetStartWaitLimitMs(50);
    ASSERT_TRUE(renderer.Start());
    os::Event release(true);
    ASSERT_TRUE(renderer.PostCall(&BlockRenderThread, reinterpret_cast<uintptr_t>(&release)));
    EXPECT_FALSE(renderer.Init(nullptr, false));
    EXPECT_TRUE(console.Contains("has not run its first commands within 50 ms", CONSOLE_ERROR));
    EXPECT_FALSE(renderer.IsStreamOpen());
    release.Set();
    renderer.Close();
    EXPECT_EQ(gpu::LiveObjectTotal(), 0u);
}

TEST_F(NorvexRendererTest, APresentThatNeverComesIsWaitedForOnce)
{
    // The render thread is held: none of the four presents comes, and pacing gives up on all of them.
    os::Event release(true);
    ASSERT_TRUE(m_renderer.PostCall(&BlockRenderThread, reinterpret_cast<uintptr_t>(&release)));
    for (int i = 0; i < 4; ++i)
        m_renderer.Present();
    m_renderer.SubmitFrameSection(2);
    m_renderer.SubmitFrameSection(2);
    release.Set();
    m_renderer.SubmitCommands(true);
    size_t waits = 0;
    for (const CapturedMessage& message : m_log.Messages())
        waits += message.text.find("has not presented") != std::string::npos;
    EXPECT_EQ(waits, 1u);
}
