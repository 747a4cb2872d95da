#include "platform/os/MappedPageGuard.h"

#include "platform/os/MappedFile.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace
{
constexpr uint64_t kPage = 4096;
} // namespace

// A view read after its file was cut reads zeros where pages were lost, the rest as it was, and the
// mapping counts as changed even once the file has its old length and write time back. Another
// mapping is untouched by it.
TEST(MappedPageGuardTest, PagesACutTookReadAsZerosAndMarkTheirMapping)
{
    TempFolder folder;
    const std::string text(3 * kPage, 'x');
    folder.WriteFile("cut.bin", text);
    folder.WriteFile("kept.bin", text);
    const std::string path = folder / "cut.bin";
    os::MappedFile cut;
    os::MappedFile kept;
    ASSERT_TRUE(cut.Open(path.c_str()));
    ASSERT_TRUE(kept.Open((folder / "kept.bin").c_str()));
    const uint8_t* bytes = cut.View(0, cut.GetSize());
    ASSERT_NE(bytes, nullptr);
    const auto written = std::filesystem::last_write_time(path);

    std::filesystem::resize_file(path, kPage + 10);
    const volatile uint8_t* read = bytes;
    EXPECT_EQ(read[2 * kPage + 5], 0);
    EXPECT_EQ(read[kPage + 5], 'x');
    EXPECT_EQ(read[3 * kPage - 1], 0);
    std::filesystem::resize_file(path, text.size());
    std::filesystem::last_write_time(path, written);
    EXPECT_FALSE(cut.IsUnchanged());
    EXPECT_EQ(cut.View(0, 10), nullptr);
    EXPECT_TRUE(kept.IsUnchanged());
    EXPECT_NE(kept.View(0, 10), nullptr);
}

TEST(MappedPageGuardTest, SlotsRunOutAndComeBack)
{
    std::atomic<bool> lost{false};
    static const uint8_t kRange[16] = {};
    std::vector<int> slots;
    for (int slot = os::MappedPageGuard::Register(kRange, sizeof(kRange), &lost); slot >= 0;
         slot = os::MappedPageGuard::Register(kRange, sizeof(kRange), &lost))
        slots.push_back(slot);
    EXPECT_GE(slots.size(), 16u);
    // A file opened while every slot is taken is refused and leaves no mapping behind.
    TempFolder folder;
    folder.WriteFile("late.bin", "late");
    EXPECT_FALSE(os::MappedFile().Open((folder / "late.bin").c_str()));
    std::ifstream maps("/proc/self/maps");
    const std::string mapped((std::istreambuf_iterator<char>(maps)), std::istreambuf_iterator<char>());
    EXPECT_EQ(mapped.find(folder / "late.bin"), std::string::npos);
    os::MappedPageGuard::Unregister(slots[3]);
    EXPECT_EQ(os::MappedPageGuard::Register(kRange, sizeof(kRange), &lost), slots[3]);
    for (int slot : slots)
        os::MappedPageGuard::Unregister(slot);
    EXPECT_FALSE(lost.load());
}

// A fault in a mapping the guard does not know of ends the process as it would have.
TEST(MappedPageGuardDeathTest, OtherFaultsStillEndTheProcess)
{
    TempFolder folder;
    folder.WriteFile("guarded.bin", std::string(kPage, 'g'));
    folder.WriteFile("other.bin", std::string(2 * kPage, 'o'));
    const std::string other = folder / "other.bin";
    os::MappedFile guarded;
    ASSERT_TRUE(guarded.Open((folder / "guarded.bin").c_str()));
    EXPECT_DEATH(
        {
            const int descriptor = open(other.c_str(), O_RDONLY);
            void* mapped = mmap(nullptr, 2 * kPage, PROT_READ, MAP_SHARED, descriptor, 0);
            std::filesystem::resize_file(other, 10);
            std::printf("%d\n", static_cast<const volatile uint8_t*>(mapped)[kPage + 1]);
        },
        "");
}

// A fault the guard does not own reaches the handler installed before the guard, of either kind.
TEST(MappedPageGuardDeathTest, OtherFaultsReachTheHandlerThatWasThereBefore)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempFolder folder;
    folder.WriteFile("guarded.bin", std::string(kPage, 'g'));
    folder.WriteFile("other.bin", std::string(2 * kPage, 'o'));
    const std::string guardedPath = folder / "guarded.bin", other = folder / "other.bin";
    for (const bool withInfo : {true, false})
        EXPECT_EXIT(
            {
                struct sigaction before = {};
                before.sa_flags = withInfo ? SA_SIGINFO : 0;
                if (withInfo)
                    before.sa_sigaction = [](int /*signal*/, siginfo_t* /*info*/, void* /*context*/) { _exit(3); };
                else
                    before.sa_handler = [](int /*signal*/) { _exit(4); };
                sigaction(SIGBUS, &before, nullptr);
                os::MappedFile guarded;
                guarded.Open(guardedPath.c_str());
                const int descriptor = open(other.c_str(), O_RDONLY);
                void* mapped = mmap(nullptr, 2 * kPage, PROT_READ, MAP_SHARED, descriptor, 0);
                std::filesystem::resize_file(other, 10);
                std::printf("%d\n", static_cast<const volatile uint8_t*>(mapped)[kPage + 1]);
            },
            testing::ExitedWithCode(withInfo ? 3 : 4), "");
}
