// ctest-labels: thread
#include "GpuTestSupport.h"

#include "platform/os/Clock.h"
#include "platform/os/Sync.h"
#include "platform/os/Thread.h"

#include <atomic>

using namespace gpu;

namespace
{
class GpuThreadDetectorDeviceTest : public GpuDeviceFixture
{
};

struct Holder
{
    GpuThreadDetector* detector;
    os::Event inside{true};
    os::Event release{true};
    std::atomic<uint32_t> threadId{0};
};

// Waits up to 5 s for a condition that another thread makes true.
template <typename Condition>
bool WaitFor(Condition condition)
{
    for (int i = 0; i < 5000 && !condition(); ++i)
        os::Sleep(1);
    return condition();
}
} // namespace

TEST(GpuThreadDetectorTest, CountsASecondThreadAndLetsItInAfterTheFirst)
{
    GpuLogCapture log;
    GpuThreadDetector detector("TestDevice");
    Holder holder{&detector};
    os::Thread first, second;
    ASSERT_TRUE(first.Start("GpuFirst", [](void* arg) {
        auto* h = static_cast<Holder*>(arg);
        GpuCallScope scope(*h->detector, "First");
        h->threadId.store(os::CurrentThreadId());
        h->inside.Set();
        h->release.Wait(os::kInfinite);
    }, &holder));
    ASSERT_TRUE(holder.inside.Wait(5000));
    EXPECT_EQ(detector.GetInsideThread(), holder.threadId.load());
    // The same thread may enter again (nested calls) without counting.
    ASSERT_TRUE(second.Start("GpuSecond", [](void* arg) {
        auto* h = static_cast<Holder*>(arg);
        GpuCallScope scope(*h->detector, "Second");
    }, &holder));
    EXPECT_TRUE(WaitFor([&] { return detector.GetCollisionCount() == 1; }));
    holder.release.Set();
    first.Join();
    second.Join();
    EXPECT_EQ(detector.GetCollisionCount(), 1u);
    EXPECT_EQ(detector.GetInsideThread(), 0u);
    EXPECT_TRUE(log.Contains("called Second while thread"));
}

TEST_F(GpuThreadDetectorDeviceTest, TwoThreadsClearingTheDeviceAreDetectedAndTheStateStaysSound)
{
    struct Worker
    {
        GpuDevice* device;
        std::atomic<bool> stop{false};
    } worker{m_device};
    os::Thread thread;
    ASSERT_TRUE(thread.Start("GpuWorker", [](void* arg) {
        auto* w = static_cast<Worker*>(arg);
        while (!w->stop.load())
            w->device->Clear(0, nullptr, kClearTarget, 0xFF0000FFu, 1.0f, 0);
    }, &worker));
    const bool seen = WaitFor([&] {
        m_device->Clear(0, nullptr, kClearTarget, 0xFFFF0000u, 1.0f, 0);
        return m_device->GetThreadCollisionCount() > 0;
    });
    worker.stop.store(true);
    thread.Join();
    EXPECT_TRUE(seen);
    EXPECT_TRUE(m_log.Contains("while thread"));
    const uint32_t pixel = BackBuffer()->ReadPixelArgb(5, 5);
    EXPECT_TRUE(pixel == 0xFF0000FFu || pixel == 0xFFFF0000u);
}
