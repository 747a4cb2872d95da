// ctest-labels: thread
#include "platform/os/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(ThreadTest, ThreadsGetDistinctIdsAndTheEntryRuns)
{
    std::atomic<uint32_t> seen{0};
    os::Thread thread;
    EXPECT_EQ(thread.GetId(), 0u) << "none before Start";
    ASSERT_TRUE(thread.Start("Worker", [](void* arg) {
        static_cast<std::atomic<uint32_t>*>(arg)->store(os::CurrentThreadId());
    }, &seen));
    const uint32_t id = thread.GetId();
    thread.Join();
    EXPECT_EQ(thread.GetId(), 0u) << "a joined thread has no id";
    EXPECT_NE(id, 0u);
    EXPECT_EQ(seen.load(), id);
    EXPECT_NE(id, os::CurrentThreadId());
}

namespace
{
const char* kNoRoomChild = "NORVEX_TEST_THREAD_NO_ROOM";

// Started again as the test's child (a fresh process, so no freed thread stack is cached for
// reuse), the executable leaves its address space no room for another thread stack and reports
// what Start returned: 0 false, 1 true, 2 set-up failed.
const bool gRanAsNoRoomChild = [] {
    if (std::getenv(kNoRoomChild) == nullptr)
        return false;
    unsigned long pages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r"))
    {
        if (std::fscanf(statm, "%lu", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    const rlim_t limit = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (256u << 10);
    const rlimit addressSpace{limit, limit};
    if (pages == 0 || setrlimit(RLIMIT_AS, &addressSpace) != 0)
        _exit(2);
    os::Thread thread;
    const bool started = thread.Start("NoRoom", [](void*) {}, nullptr);
    _exit(started ? 1 : 0);
}();
} // namespace

// A thread that cannot be created makes Start return false instead of ending the process.
TEST(ThreadTest, StartReportsAThreadThatCannotBeCreated)
{
    ASSERT_FALSE(gRanAsNoRoomChild);
    const std::string command =
        std::string(kNoRoomChild) + "=1 /proc/" + std::to_string(getpid()) + "/exe >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
