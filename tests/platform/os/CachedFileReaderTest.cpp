#include "platform/os/CachedFileReader.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

// Reads what is there from the given offset, stops at the end, and a missing file reads nothing.
TEST(CachedFileReaderTest, ReadsFromOffsetsUpToTheEnd)
{
    TempFolder folder;
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += char('a' + i % 26);
    folder.WriteFile("data.bin", text);
    const auto lowestFree = [] { const int d = ::dup(0); ::close(d); return d; };
    const int freeBefore = lowestFree();
    os::CachedFileReader reader;
    ASSERT_TRUE(reader.Open((folder / "data.bin").c_str()));
    char buffer[6000] = {};
    const uint32_t got = reader.ReadIfCached(1000, buffer, 3000);
    // A file just written is in memory wherever the system can tell; elsewhere nothing is read.
    if (got != 0)
    {
        ASSERT_EQ(got, 3000u);
        EXPECT_EQ(std::string(buffer, 3000), text.substr(1000, 3000));
        EXPECT_EQ(reader.ReadIfCached(4990, buffer, 100), 10u);
        EXPECT_EQ(std::string(buffer, 10), text.substr(4990));
        EXPECT_EQ(reader.ReadIfCached(5000, buffer, 100), 0u);
    }
    os::CachedFileReader missing;
    EXPECT_FALSE(missing.Open((folder / "none.bin").c_str()));
    EXPECT_EQ(missing.ReadIfCached(0, buffer, 10), 0u);
    // Opening again gives the first file's descriptor back, even when the second is missing.
    EXPECT_FALSE(reader.Open((folder / "none.bin").c_str()));
    EXPECT_EQ(lowestFree(), freeBefore);
    EXPECT_EQ(reader.ReadIfCached(1000, buffer, 10), 0u);
}
