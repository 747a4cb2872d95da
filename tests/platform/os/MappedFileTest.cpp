#include "platform/os/MappedFile.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace
{
constexpr uint64_t kSize = 10000;

std::string Pattern(uint64_t size)
{
    std::string text;
    for (uint64_t i = 0; i < size; ++i)
        text += char('a' + i % 26 + (i / 26) % 3);
    return text;
}

struct ViewCase
{
    uint64_t offset;
    uint64_t size;
    bool lent;
};
} // namespace

// Views inside the file are its bytes; any that reach past its end, however the sum would wrap,
// are refused. Missing, empty and non-regular files do not open.
TEST(MappedFileTest, ViewsLendOnlyWhatTheFileHolds)
{
    TempFolder folder;
    const std::string text = Pattern(kSize);
    folder.WriteFile("data.bin", text);
    os::MappedFile file;
    ASSERT_TRUE(file.Open((folder / "data.bin").c_str()));
    EXPECT_EQ(file.GetSize(), kSize);
    EXPECT_FALSE(file.Open((folder / "data.bin").c_str()));
    folder.WriteFile("empty.bin", "");
    for (const std::string& path : {folder / "none.bin", folder / "empty.bin", folder.Path()})
        EXPECT_FALSE(os::MappedFile().Open(path.c_str())) << path;

    for (const ViewCase& view : {ViewCase{0, kSize, true}, ViewCase{4095, 4098, true}, ViewCase{kSize - 1, 1, true},
                                 ViewCase{kSize, 0, true}, ViewCase{0, kSize + 1, false}, ViewCase{kSize, 1, false},
                                 ViewCase{kSize + 1, 0, false}, ViewCase{1, UINT64_MAX, false},
                                 ViewCase{UINT64_MAX, 2, false}})
    {
        const uint8_t* bytes = file.View(view.offset, view.size);
        EXPECT_EQ(bytes != nullptr, view.lent) << view.offset << "+" << view.size;
        if (bytes != nullptr)
        {
            EXPECT_EQ(std::memcmp(bytes, text.data() + view.offset, view.size), 0) << view.offset;
        }
    }
}

// Once the file was cut, grown or written over (even with the same length, or in the same
// second), nothing is lent, not even the bytes it still holds. The cut and growth keep the file's
// write time, as a coarse clock would.
TEST(MappedFileTest, AFileChangedSinceItWasMappedLendsNothing)
{
    using Time = std::filesystem::file_time_type;
    struct ChangeCase
    {
        const char* what;
        uint64_t size;
        Time::duration later;
        bool lent;
    };
    for (const ChangeCase& change : {ChangeCase{"unchanged", kSize, {}, true}, ChangeCase{"cut", kSize - 1, {}, false},
                                     ChangeCase{"grown", kSize + 1, {}, false},
                                     ChangeCase{"written a second later", kSize, std::chrono::seconds(1), false},
                                     ChangeCase{"written a nanosecond later", kSize, std::chrono::nanoseconds(1), false}})
    {
        TempFolder folder;
        folder.WriteFile("data.bin", Pattern(kSize));
        const std::string path = folder / "data.bin";
        const Time written = std::chrono::floor<std::chrono::seconds>(std::filesystem::last_write_time(path)) +
                             std::chrono::nanoseconds(500);
        std::filesystem::last_write_time(path, written);
        os::MappedFile file;
        ASSERT_TRUE(file.Open(path.c_str()));
        std::filesystem::resize_file(path, change.size);
        std::filesystem::last_write_time(path, written + change.later);
        EXPECT_EQ(file.View(0, 100) != nullptr, change.lent) << change.what;
    }
}

// Bytes the system keeps only on disk are not lent (touching them would wait for the disk). The
// pages of a view are asked about in batches of 256; the one page left out here opens the second.
TEST(MappedFileTest, BytesNotInMemoryAreNotLent)
{
    constexpr uint64_t kPage = 4096;
    constexpr uint64_t kPages = 320;
    constexpr uint64_t kCold = 256;
    TempFolder folder;
    folder.WriteFile("cold.bin", Pattern(kPages * kPage));
    const std::string path = folder / "cold.bin";
    os::MappedFile file;
    ASSERT_TRUE(file.Open(path.c_str()));
    ASSERT_NE(file.View(0, file.GetSize()), nullptr);

    // Drops the file's pages from memory where the system allows it and reads all but one back (no
    // read-ahead), then asks the system on its own which pages are there.
    const int descriptor = open(path.c_str(), O_RDONLY);
    ASSERT_GE(descriptor, 0);
    fdatasync(descriptor);
    posix_fadvise(descriptor, 0, 0, POSIX_FADV_DONTNEED);
    posix_fadvise(descriptor, 0, 0, POSIX_FADV_RANDOM);
    std::string warm(kPages * kPage, '\0');
    ASSERT_EQ(pread(descriptor, warm.data(), kCold * kPage, 0), ssize_t(kCold * kPage));
    const size_t after = (kPages - kCold - 1) * kPage;
    ASSERT_EQ(pread(descriptor, warm.data(), after, (kCold + 1) * kPage), ssize_t(after));
    void* probe = mmap(nullptr, kPages * kPage, PROT_READ, MAP_SHARED, descriptor, 0);
    ASSERT_NE(probe, MAP_FAILED);
    unsigned char pages[kPages] = {};
    ASSERT_EQ(mincore(probe, kPages * kPage, pages), 0);
    munmap(probe, kPages * kPage);
    close(descriptor);
    if ((pages[kCold - 1] & 1) == 0 || (pages[kCold] & 1) != 0 || (pages[kCold + 1] & 1) == 0)
        GTEST_SKIP() << "this file system does not drop or read single pages as asked";

    for (const ViewCase& view : {ViewCase{0, kCold * kPage, true}, ViewCase{kPage - 1, (kCold - 1) * kPage, true},
                                 ViewCase{(kCold + 1) * kPage, after, true}, ViewCase{0, kCold * kPage + 1, false},
                                 ViewCase{kCold * kPage - 1, 2, false}, ViewCase{(kCold + 1) * kPage - 1, 10, false},
                                 ViewCase{0, kPages * kPage, false}})
        EXPECT_EQ(file.View(view.offset, view.size) != nullptr, view.lent) << view.offset << "+" << view.size;
}
