// ctest-labels: thread
// Renderer jobs on a running renderer over the graphics stand-in: posted from other threads, stamped
// against the command stream, drained by synchronous submits, and waits that always end.
#include "platform/gpu/Gpu.h"
#include "platform/os/Clock.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/NorvexRendererObject.h"
#include "renderer/jobs/RendererJobs.h"
#include "support/ConsoleCapture.h"
#include "support/RendererTestBase.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace
{
// Records the executed-command count it ran at; answers "not finished" to its first runs if asked.
class ProbeJob : public NorvexRendererResourceAccessJob
{
public:
    bool Run(NorvexRenderer& renderer) override
    {
        if (m_unfinishedRuns.fetch_sub(1) > 0)
            return false;
        m_executedAtRun = renderer.GetCommandsExecuted();
        ++m_ran;
        return true;
    }
    std::atomic<int> m_ran{0};
    std::atomic<uint32_t> m_executedAtRun{0};
    std::atomic<int> m_unfinishedRuns{0};
};

class ProbeObject : public NorvexRendererObject
{
public:
    explicit ProbeObject(std::atomic<int>* destroyed) : m_destroyed(destroyed) {}
    ~ProbeObject() override { ++*m_destroyed; }
    std::atomic<int>* m_destroyed;
};

class RendererJobsTest : public RendererTestBase
{
protected:
    void TearDown() override
    {
        NorvexRendererResourceAccessJob::SetWaitLimitMs(10000);
        RendererTestBase::TearDown();
    }
    // Commands the render thread will only see after the next submit.
    void WritePendingCommands(int count)
    {
        for (int i = 0; i < count; ++i)
            m_renderer.SetPassMask(uint32_t(i));
    }
};

TEST_F(RendererJobsTest, TextureCreatedFromAnotherThreadHoldsItsLevels)
{
    // 2x2 A8R8G8B8 with a 1x1 second level after a 16-byte header, in a block the job takes over and
    // frees (a leak otherwise).
    constexpr uint32_t kBytes = 16 + 16 + 4;
    auto* data = new uint8_t[kBytes]();
    for (uint32_t i = 16; i < kBytes; ++i)
        data[i] = uint8_t(i);
    const NorvexRendererTextureCreationJob::Description description = {
        2, 2, 2, 0, 16, gpu::kFormatA8R8G8B8, gpu::kPoolManaged, 0};
    TextureHolder* holder = nullptr;
    std::thread poster([&] {
        NorvexRendererTextureCreationJob job(description, nullptr, data, kBytes, true);
        EXPECT_TRUE(PostRendererJob(&job, true));
        holder = job.TakeHolder();
    });
    poster.join();
    ASSERT_NE(holder, nullptr);
    ASSERT_NE(holder->GetTexture(), nullptr);
    auto* texture = static_cast<gpu::GpuTexture*>(holder->GetTexture());
    EXPECT_EQ(texture->GetWidth(), 2u);
    EXPECT_EQ(texture->GetLevelCount(), 2u);
    gpu::LockedRect locked = {};
    ASSERT_EQ(texture->LockRect(1, &locked, nullptr, gpu::kLockReadOnly), gpu::kOk);
    EXPECT_EQ(static_cast<const uint8_t*>(locked.bits)[0], 32);
    texture->UnlockRect(1);
    PostTextureDeletionJob(holder, false);
    m_renderer.SubmitCommands(true);
}

// A cube's data is six equal faces; a skipped top level is left out unless it is the only level.
TEST_F(RendererJobsTest, CubeFacesAndSkippedTopLevelsReadTheirOwnBytes)
{
    using Job = NorvexRendererTextureCreationJob;
    std::vector<uint8_t> data(16 + 6 * 20); // 16 header bytes, then per face a 2x2 and a 1x1 A8R8G8B8 level
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i);
    const struct
    {
        uint32_t height, mips, flags, levels, edge, face, level, firstByte;
    } cases[] = {{Job::kCubeHeight, 2, 0, 2, 2, 5, 1, 16 + 5 * 20 + 16},
                 {2, 2, Job::kFlagSkipTopLevel, 1, 1, 0, 0, 16 + 16},
                 {2, 1, Job::kFlagSkipTopLevel, 1, 2, 0, 0, 16}};
    for (const auto& c : cases)
    {
        Job job({2, c.height, c.mips, 0, 16, gpu::kFormatA8R8G8B8, gpu::kPoolManaged, c.flags}, nullptr, data.data(),
                uint32_t(data.size()), false);
        ASSERT_TRUE(PostRendererJob(&job, true));
        TextureHolder* const holder = job.TakeHolder();
        ASSERT_NE(holder, nullptr);
        gpu::GpuBaseTexture* const texture = holder->GetTexture();
        EXPECT_EQ(texture->GetLevelCount(), c.levels) << c.mips;
        EXPECT_EQ(std::make_pair(texture->GetWidth(), texture->GetHeight()), std::make_pair(c.edge, c.edge)) << c.mips;
        const bool cube = c.height == Job::kCubeHeight;
        gpu::LockedRect locked = {};
        ASSERT_EQ(cube ? static_cast<gpu::GpuCubeTexture*>(texture)->LockRect(c.face, c.level, &locked, nullptr, 0)
                       : static_cast<gpu::GpuTexture*>(texture)->LockRect(c.level, &locked, nullptr, 0),
                  gpu::kOk);
        EXPECT_EQ(static_cast<const uint8_t*>(locked.bits)[0], c.firstByte) << c.mips;
        cube ? static_cast<gpu::GpuCubeTexture*>(texture)->UnlockRect(c.face, c.level)
             : static_cast<gpu::GpuTexture*>(texture)->UnlockRect(c.level);
        PostTextureDeletionJob(holder, false);
    }
    m_renderer.SubmitCommands(true);
}

// Each failure finishes the job without a texture: it is not run again.
TEST_F(RendererJobsTest, AnUnknownFormatOrARefusedTextureFailsTheJob)
{
    std::vector<uint8_t> data(64, 1);
    const NorvexRendererTextureCreationJob::Description description = {4, 4, 1, 0, 0, 0x12345, gpu::kPoolManaged, 0};
    NorvexRendererTextureCreationJob job(description, nullptr, data.data(), uint32_t(data.size()), false);
    EXPECT_TRUE(PostRendererJob(&job, true));
    EXPECT_EQ(job.TakeHolder(), nullptr);
    EXPECT_TRUE(m_log.Contains("unsupported format", CONSOLE_ERROR));
    NorvexRendererTextureCreationJob noLevels({4, 4, 0, 0, 0, gpu::kFormatA8R8G8B8, gpu::kPoolManaged, 0}, nullptr,
                                              data.data(), uint32_t(data.size()), false);
    EXPECT_TRUE(PostRendererJob(&noLevels, true));
    EXPECT_EQ(noLevels.TakeHolder(), nullptr);
    gpu::Faults().FailResourceCreation(1, gpu::ObjectKind::Texture);
    NorvexRendererTextureCreationJob refused({4, 4, 1, 0, 0, gpu::kFormatA8R8G8B8, gpu::kPoolManaged, 0}, nullptr,
                                             data.data(), uint32_t(data.size()), false);
    EXPECT_TRUE(PostRendererJob(&refused, true));
    EXPECT_EQ(refused.TakeHolder(), nullptr);
    uint32_t pitch = 7, size = 7;
    EXPECT_FALSE(ComputeSurfacePitch(4, 4, 0x12345, &pitch, &size));
    EXPECT_TRUE(ComputeSurfacePitch(3, 5, gpu::kFormatR8G8B8, &pitch, &size));
    EXPECT_EQ(size, 45u);
    // Two bytes a texel for the 16-bit formats; whole 4x4 blocks of 8 bytes (DXT1) or 16, a part
    // block counting whole and a full one once.
    const struct
    {
        uint32_t width, height;
        gpu::Format format;
        uint32_t pitch, size;
    } blocks[] = {{3, 2, gpu::kFormatR5G6B5, 6, 12}, {3, 2, gpu::kFormatA4R4G4B4, 6, 12}, {3, 2, gpu::kFormatA8L8, 6, 12},
                  {2, 2, gpu::kFormatDXT1, 8, 8},
                  {4, 8, gpu::kFormatDXT1, 8, 16},
                  {5, 6, gpu::kFormatDXT3, 32, 64},
                  {5, 6, gpu::kFormatDXT5, 32, 64}};
    for (const auto& b : blocks)
    {
        EXPECT_TRUE(ComputeSurfacePitch(b.width, b.height, b.format, &pitch, &size));
        EXPECT_EQ(pitch, b.pitch) << b.width << "x" << b.height;
        EXPECT_EQ(size, b.size) << b.width << "x" << b.height;
    }
    // 4 x 32768 x 32769 bytes would wrap to 128 KiB.
    EXPECT_FALSE(ComputeSurfacePitch(32768, 32769, gpu::kFormatA8R8G8B8, &pitch, &size));
}

TEST_F(RendererJobsTest, QueuedJobWaitsForTheCommandsWrittenBeforeIt)
{
    WritePendingCommands(20);
    const uint32_t written = m_renderer.GetCommandsWritten();
    ProbeJob job;
    std::thread poster([&] { PostRendererJob(&job, false); PostRendererJob(&job, false); });
    poster.join();
    EXPECT_EQ(job.GetFrameStamp(), written);
    os::Sleep(50); // idle ticks drain the queue, but the stamp is not reached
    EXPECT_FALSE(job.m_ran.load());
    m_renderer.SubmitCommands(true); // a synchronous end runs every job queued before it
    EXPECT_EQ(job.m_ran.load(), 1) << "posted again while it waited, it runs once";
    EXPECT_GE(job.m_executedAtRun.load(), written);
    EXPECT_TRUE(job.Wait());
}

TEST_F(RendererJobsTest, AGameThreadWaitingForItsQueuedJobHandsOverTheCommandsBeforeIt)
{
    NorvexRendererResourceAccessJob::SetWaitLimitMs(5000);
    WritePendingCommands(20);
    ProbeJob job;
    EXPECT_TRUE(PostRendererJob(&job, true));
    EXPECT_EQ(job.m_ran.load(), 1);
    EXPECT_GE(job.m_executedAtRun.load(), job.GetFrameStamp());
    EXPECT_FALSE(m_log.Contains("Renderer job not run", CONSOLE_ERROR));
}

TEST_F(RendererJobsTest, ClosingRunsEveryJobQueuedBeforeTheDeviceGoes)
{
    WritePendingCommands(20);
    ProbeJob job;
    PostRendererJob(&job, false);
    EXPECT_FALSE(job.m_ran.load());
    m_renderer.Close();
    EXPECT_TRUE(job.m_ran.load());
    EXPECT_GE(job.m_executedAtRun.load(), 20u);
    auto* late = new ProbeJob; // refused once the stream is shut, and deleted being fire-and-forget
    late->SetImmediate(true);
    late->SetFireAndForget(true);
    EXPECT_FALSE(PostRendererJob(late, false));
}

TEST_F(RendererJobsTest, WaitedJobReturnsWhenItsStampIsNeverReached)
{
    NorvexRendererResourceAccessJob::SetWaitLimitMs(100);
    // Taken out while the render side holds it, then while it still waits in the queue behind another.
    for (const bool behind : {false, true})
    {
        WritePendingCommands(3);
        ProbeJob ahead;
        EXPECT_TRUE(!behind || PostRendererJob(&ahead, false));
        auto* job = new ProbeJob;
        bool answered = true;
        std::thread poster([&] { answered = PostRendererJob(job, true); });
        poster.join();
        EXPECT_FALSE(answered);
        EXPECT_FALSE(job->m_ran.load());
        EXPECT_TRUE(m_log.Contains("Renderer job not run within 100 ms", CONSOLE_ERROR));
        delete job; // taken out of the queue: the render side never touches it again
        m_renderer.SubmitCommands(true);
        EXPECT_EQ(m_renderer.GetJobQueue().GetJobsQueued(), m_renderer.GetJobQueue().GetJobsDone());
    }
}

TEST_F(RendererJobsTest, BuffersAndDeclarationsAreCreatedAndFilled)
{
    const std::vector<uint8_t> vertices = {1, 2, 3, 4, 5, 6, 7, 8};
    NorvexRendererVertexBufferCreationJob vertexJob(8, 0, 0x2, gpu::kPoolManaged, vertices.data(), false);
    const uint16_t indices[] = {0, 1, 2, 2};
    NorvexRendererIndexBufferCreationJob indexJob(8, 0, gpu::kFormatIndex16, gpu::kPoolManaged, indices, false);
    const gpu::VertexElement elements[] = {{0, 0, 2, 0, 0, 0}, gpu::kDeclEnd};
    NorvexRendererVertexDeclarationCreationJob declarationJob(elements, 2);
    NorvexRendererVertexDeclarationCreationJob unended(elements, 1);
    std::thread poster([&] {
        EXPECT_TRUE(PostRendererJob(&vertexJob, true));
        EXPECT_TRUE(PostRendererJob(&indexJob, true));
        EXPECT_TRUE(PostRendererJob(&declarationJob, true));
        EXPECT_TRUE(PostRendererJob(&unended, true)) << "elements without the end element fail at once";
        NorvexRendererVertexBufferCreationJob untakenVb(8, 0, 0x2, gpu::kPoolManaged, vertices.data(), false);
        NorvexRendererIndexBufferCreationJob untakenIb(8, 0, gpu::kFormatIndex16, gpu::kPoolManaged, indices, false);
        EXPECT_TRUE(PostRendererJob(&untakenVb, true) && PostRendererJob(&untakenIb, true))
            << "a buffer nobody takes dies with its job";
        NorvexRendererVertexBufferCreationJob empty(0, 0, 0x2, gpu::kPoolManaged, nullptr, false);
        EXPECT_TRUE(PostRendererJob(&empty, true));
        EXPECT_EQ(empty.TakeBuffer(), nullptr);
    });
    poster.join();
    EXPECT_EQ(m_renderer.GetDevice()->GetFrameStatistics().invalidCalls, 0u) << "an empty buffer asks no device";
    gpu::GpuVertexBuffer* vb = vertexJob.TakeBuffer();
    ASSERT_NE(vb, nullptr);
    void* bytes = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &bytes, gpu::kLockReadOnly), gpu::kOk);
    EXPECT_EQ(std::memcmp(bytes, vertices.data(), 8), 0);
    vb->Unlock();
    vb->Release();
    gpu::GpuIndexBuffer* ib = indexJob.TakeBuffer();
    ASSERT_NE(ib, nullptr);
    ib->Release();
    gpu::GpuVertexDeclaration* declaration = declarationJob.TakeDeclaration();
    ASSERT_NE(declaration, nullptr);
    declaration->Release();
    EXPECT_EQ(unended.TakeDeclaration(), nullptr);
}

TEST_F(RendererJobsTest, HolderReferencesAndObjectsDieOnTheRenderSide)
{
    PostResourceAddRefJob(nullptr, false);
    PostTextureDeletionJob(nullptr, false);
    PostObjectDeletionJob(nullptr, false);
    EXPECT_EQ(m_renderer.GetJobQueue().GetJobsQueued(), 0u);

    auto* holder = new TextureHolder;
    PostResourceAddRefJob(holder, false);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(holder->GetReferenceCount(), 2u);
    PostTextureDeletionJob(holder, false);
    PostTextureDeletionJob(holder, true); // immediate: through the stream
    m_renderer.SubmitCommands(true);      // the holder is gone (ASan would see a leak otherwise)

    std::atomic<int> destroyed{0};
    NorvexRendererObject::PostDeletion(new ProbeObject(&destroyed), true, false);
    NorvexRendererObject::PostDeletion(new ProbeObject(&destroyed), false, false);
    PostObjectDeletionJob(new ProbeObject(&destroyed), true);
    m_renderer.SubmitCommands(false); // the game thread hands its commands over before others wait
    std::thread poster([&] { NorvexRendererObject::PostDeletion(new ProbeObject(&destroyed), false, true); });
    poster.join();
    EXPECT_GE(destroyed.load(), 2);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(destroyed.load(), 4);
    EXPECT_FALSE(m_log.Contains("not run within")) << "a job deleted on the render side never waits for itself";
}

TEST_F(RendererJobsTest, ImmediateJobRunsInStreamOrderAndItsWaitEnds)
{
    // Run again at once until it finishes, 64 runs at most.
    for (const int unfinished : {63, 64})
    {
        WritePendingCommands(5);
        const uint32_t written = m_renderer.GetCommandsWritten();
        ProbeJob job;
        job.SetImmediate(true);
        job.m_unfinishedRuns = unfinished;
        EXPECT_EQ(PostRendererJob(&job, true), unfinished < 64);
        EXPECT_GE(job.m_executedAtRun.load(), unfinished < 64 ? written : 0u);
    }
}

TEST_F(RendererJobsTest, ManyPostersAgainstAFullQueue)
{
    constexpr int kThreads = 3;
    constexpr int kJobs = 400; // more than the ring holds at once
    std::vector<std::thread> threads;
    std::atomic<int> finished{0};
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < kJobs; ++i)
            {
                auto* holder = new TextureHolder;
                PostResourceAddRefJob(holder, false);
                PostTextureDeletionJob(holder, false);
                PostTextureDeletionJob(holder, false);
            }
            ++finished;
        });
    for (int i = 0; finished.load() < kThreads && i < 2000; ++i)
    {
        m_renderer.SetPassMask(uint32_t(i));
        m_renderer.SubmitCommands(false);
        os::Sleep(1);
    }
    for (std::thread& thread : threads)
        thread.join();
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetJobQueue().GetJobsDone(), uint32_t(kThreads * kJobs * 3));
}

// Calls of a size that does not divide the ring wrap it with a marker record, which is no call:
// every call runs once and the done count meets the queued one, so a close does not wait for ever.
TEST_F(RendererJobsTest, QueuedCallsThatWrapTheRingAreCountedOnce)
{
    static std::atomic<int> calls{0};
    calls = 0;
    const RendererQueuedCall count = [](NorvexRenderer&, uint32_t, void*, CommandRingBuffer&) { ++calls; };
    constexpr int kCalls = 600; // some 40 kilobytes of records through an 8-kilobyte ring
    RendererJobQueue& queue = m_renderer.GetJobQueue();
    m_renderer.SubmitCommands(true);
    const uint32_t before = queue.GetJobsQueued();
    for (int i = 0; i < kCalls; ++i)
    {
        CommandRingBuffer* const ring = queue.BeginQueuedCall(count, nullptr, 0, 44);
        ASSERT_NE(ring, nullptr);
        ring->SkipWrite(44);
        queue.ReleaseLock();
        if (i % 50 == 0)
            m_renderer.SubmitCommands(true);
    }
    // A call the whole ring could not hold is refused at once, without taking the lock.
    EXPECT_EQ(queue.BeginQueuedCall(count, nullptr, 0, RendererJobQueue::kRingBytes), nullptr);
    EXPECT_TRUE(m_log.Contains("Queued renderer call of 8192 bytes cannot fit the job queue", CONSOLE_ERROR));
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(calls.load(), kCalls);
    EXPECT_EQ(queue.GetJobsQueued() - before, uint32_t(kCalls));
    EXPECT_EQ(queue.GetJobsDone(), queue.GetJobsQueued());

    // A queue of its own, which no idle tick of the render thread empties: one pass without limits
    // runs every call before it answers empty.
    RendererJobQueue own(m_renderer);
    for (int i = 0; i < 3; ++i)
    {
        ASSERT_NE(own.BeginQueuedCall(count, nullptr, 0, 0), nullptr);
        own.ReleaseLock();
    }
    calls = 0;
    EXPECT_TRUE(own.Process(0, RendererJobQueue::kNoTimeBudget));
    EXPECT_EQ(calls.load(), 3);

    // The budget is in seconds of the 10 MHz counter: 6 ms calls stop a 10 ms pass after the second.
    const RendererQueuedCall slow = [](NorvexRenderer&, uint32_t, void*, CommandRingBuffer&) {
        ++calls;
        os::AdvanceManualCounter(60000);
    };
    for (int i = 0; i < 3; ++i)
    {
        ASSERT_NE(own.BeginQueuedCall(slow, nullptr, 0, 0), nullptr);
        own.ReleaseLock();
    }
    calls = 0;
    os::EnableManualCounter(0);
    EXPECT_FALSE(own.Process(0, 0.01f));
    EXPECT_EQ(calls.load(), 2);
    EXPECT_TRUE(own.Process(0, 0.01f));
    os::DisableManualCounter();
    EXPECT_EQ(calls.load(), 3);
}
} // namespace
