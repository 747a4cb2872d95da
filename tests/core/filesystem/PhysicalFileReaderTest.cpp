// ctest-labels: thread
#include "core/console/GameConsole.h"
#include "core/filesystem/PhysicalFileReader.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

// A path at the length cap reaches the reader thread whole and fails plainly, and the files the
// reader keeps open are closed when it goes: no handle may outlive the reader.
TEST(PhysicalFileReaderTest, LongestPathFailsPlainlyAndKeptFilesCloseWithTheReader)
{
    TempFolder folder;
    folder.WriteFile("data.bin", "abcdefgh");
    const auto openHandles = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator{});
    };
    auto reader = std::make_unique<PhysicalFileReader>();
    char bytes[4] = {};
    uint32_t got = 99;
    reader->WaitFor(reader->PostRead(0, 0, std::string(4095, 'a').c_str(), 2, bytes, 4, &got));
    EXPECT_EQ(got, 0u);
    gConsole.Flush(); // its error is written (and any log file opened) before handles are counted
    const auto before = openHandles();
    reader->WaitFor(reader->PostRead(1, 0, (folder / "data.bin").c_str(), 2, bytes, 4, &got));
    EXPECT_EQ(std::string(bytes, got), "cdef");
    reader->Close();
    EXPECT_EQ(openHandles(), before);
    // Used again after Close, the reader reopens what it needs and closes it once at the end.
    reader->WaitFor(reader->PostRead(1, 0, (folder / "data.bin").c_str(), 0, bytes, 4, &got));
    EXPECT_EQ(std::string(bytes, got), "abcd");
    reader.reset();
    EXPECT_EQ(openHandles(), before);
}
