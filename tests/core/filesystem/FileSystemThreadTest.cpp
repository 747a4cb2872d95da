// ctest-labels: thread
#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileSystem.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

TEST(FileSystemThreadTest, ThreadsOpenPreheatAndListWhileMountsChange)
{
    TempFolder folder;
    for (int i = 0; i < 8; ++i)
        folder.WriteFile("data/file" + std::to_string(i) + ".bin", std::string(100 + i, char('a' + i)));
    ASSERT_TRUE(gFileSystem.MountDirectory("data", (folder / "data").c_str()));

    std::atomic<int> mismatches{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t)
    {
        readers.emplace_back([t, &mismatches] {
            for (int round = 0; round < 200; ++round)
            {
                const int i = (round + t) % 8;
                const std::string name = "DATA/File" + std::to_string(i);
                gFileSystem.PreheatInputStream(name.c_str(), "bin", nullptr, 0);
                FileReader reader(name.c_str(), "bin", nullptr, 0);
                std::string bytes(reader.GetSize(), '\0');
                if (!reader.Read(bytes.data(), uint32_t(bytes.size())) || bytes != std::string(100 + i, char('a' + i)))
                    ++mismatches;
                gFileSystem.OpenPreheatedStream();
                FileSystemIterator listing("data", "*.bin");
                while (listing.Next() != nullptr)
                {
                }
            }
        });
    }
    for (int i = 0; i < 50; ++i)
    {
        const std::string name = "extra" + std::to_string(i);
        EXPECT_TRUE(gFileSystem.MountDirectory(name.c_str(), folder.Path().c_str()));
    }
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(mismatches.load(), 0);
    gFileSystem.UnmountAll();
}
