// ctest-labels: thread
#include "core/filesystem/FileSystem.h"
#include "core/filesystem/FileSystemContainerMountPoint.h"
#include "core/filesystem/PhysicalFileReader.h"
#include "platform/os/Clock.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"
#include "tools/datakit/ContainerWriter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

Bytes Sample(size_t size, uint32_t seed)
{
    std::mt19937 random(seed);
    Bytes out(size);
    for (size_t i = 0; i < size; ++i)
        out[i] = (i % 7 == 0) ? static_cast<uint8_t>(random()) : static_cast<uint8_t>('a' + (i / 13) % 5);
    return out;
}
} // namespace

// Streams opened, read partly and destroyed with reads in flight on three threads at once: every
// destruction waits for its own reads (Flush must not return early) and the bytes stay right.
TEST(ContainerStreamThreadTest, ConcurrentReadsAndDestruction)
{
    ConsoleCapture console;
    TempFolder folder;
    std::vector<Bytes> entries;
    for (uint8_t method = 0; method < 3; ++method)
    {
        ContainerWriter writer(method);
        for (uint32_t i = 0; i < 3; ++i)
        {
            entries.push_back(Sample(60000 + 50000 * i, method * 10 + i));
            ASSERT_TRUE(writer.Add("e" + std::to_string(i) + ".bin", entries.back()));
        }
        const std::string path = folder / ("c" + std::to_string(method) + ".dat");
        ASSERT_TRUE(writer.Write(path));
        ASSERT_TRUE(gFileSystem.MountContainer(("c" + std::to_string(method)).c_str(), path.c_str(), method, 0x5BD1E995u, 0));
    }

    std::atomic<int> mismatches{0};
    auto worker = [&](uint32_t seed) {
        std::mt19937 random(seed);
        for (int round = 0; round < 40; ++round)
        {
            const uint32_t method = random() % 3;
            const uint32_t entry = random() % 3;
            const Bytes& expected = entries[method * 3 + entry];
            const std::string path = "c" + std::to_string(method) + "/e" + std::to_string(entry) + ".bin";
            auto stream = gFileSystem.OpenInputStream(path.c_str(), nullptr, nullptr, 0);
            if (!stream)
            {
                ++mismatches;
                continue;
            }
            const uint32_t count = round % 4 == 0 ? static_cast<uint32_t>(expected.size()) : 1 + random() % 5000;
            Bytes out(count);
            if (!stream->Read(out.data(), count) || !std::equal(out.begin(), out.end(), expected.begin()))
                ++mismatches;
            // Destroyed here, often with blocks still being read.
        }
    };
    std::thread a(worker, 1), b(worker, 2), c(worker, 3);
    a.join();
    b.join();
    c.join();
    gFileSystem.UnmountAll();

    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_FALSE(console.Contains("flush returned before"));
    EXPECT_EQ(console.CountOfKind(CONSOLE_ERROR), 0u);
}

// A stream dropped while its reads wait behind other work says so, and waits for them before its
// buffers go: the reader thread is held until the drop has asked it to catch up.
TEST(ContainerStreamThreadTest, DroppingAStreamWithReadsStillQueuedWaitsForThem)
{
    TempFolder folder;
    ContainerWriter writer(1);
    ASSERT_TRUE(writer.Add("e.bin", Sample(80000, 7)));
    const std::string path = folder / "held.dat";
    ASSERT_TRUE(writer.Write(path));
    ASSERT_TRUE(gFileSystem.MountContainer("held", path.c_str(), 1, 0x5BD1E995u, 0));
    ConsoleCapture console;
    std::atomic<int> held{0}; // 1 while the reader thread is held, 2 to let it go
    const auto hold = [](BaseThread&, uintptr_t state, CommandRingBuffer&) {
        auto* const flag = reinterpret_cast<std::atomic<int>*>(state);
        flag->store(1);
        for (int turn = 0; turn < 5000 && flag->load() != 2; ++turn)
            os::Sleep(1);
    };
    ASSERT_TRUE(gPhysicalFileReader.PostCall(hold, reinterpret_cast<uintptr_t>(&held)));
    // The mount's own file opening is done by then, so from here only new posts move the fill level.
    while (held.load() == 0)
        os::Sleep(0);
    auto stream = gFileSystem.OpenInputStream("held/e.bin", nullptr, nullptr, 0); // compressed: reads at once
    ASSERT_TRUE(stream);
    const uint32_t queued = gPhysicalFileReader.GetRing().GetFillLevel();
    std::thread dropper([&stream] { stream.reset(); });
    while (gPhysicalFileReader.GetRing().GetFillLevel() == queued) // until the drop's flush is queued
        os::Sleep(0);
    held = 2;
    dropper.join();
    gFileSystem.UnmountAll();
    EXPECT_TRUE(console.Contains("Incorrect usage of container file reader is causing delay. File: held/e.bin",
                                 CONSOLE_WARNING));
    EXPECT_FALSE(console.Contains("flush returned before"));
}
