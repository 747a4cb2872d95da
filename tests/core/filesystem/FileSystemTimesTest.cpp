// The file system's time counters: a timer adds exactly its scope to its own kind, and reading a
// file and decompressing a container entry are counted where they happen.
#include "core/filesystem/ContainerStreamDecompressor.h"
#include "core/filesystem/FileSystemLocalFileInputStream.h"
#include "core/filesystem/FileSystemTimes.h"
#include "core/filesystem/PhysicalFileReader.h"
#include "platform/os/Clock.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

TEST(FileSystemTimesTest, ATimerAddsItsScopeToItsKindOnly)
{
    const FileSystemTimeKind kKinds[] = {FILESYSTEM_TIME_DECOMPRESSION, FILESYSTEM_TIME_READ_WAIT, FILESYSTEM_TIME_READ};
    for (const FileSystemTimeKind kind : kKinds)
    {
        int64_t before[FILESYSTEM_TIME_KIND_COUNT];
        for (const FileSystemTimeKind each : kKinds)
            before[each] = GetFileSystemTime(each);
        os::EnableManualCounter(1000000);
        {
            FileSystemTimer timer(kind);
            os::AdvanceManualCounter(2500000); // a quarter of a second
        }
        os::DisableManualCounter();
        for (const FileSystemTimeKind each : kKinds)
            EXPECT_EQ(GetFileSystemTime(each) - before[each], each == kind ? 2500000 : 0) << kind << " " << each;
        EXPECT_DOUBLE_EQ(FileSystemTimeSeconds(before[kind], GetFileSystemTime(kind)), 0.25);
        // A span that ran backwards (a test clock set back) takes no time away.
        AddFileSystemTime(kind, -2500000);
        EXPECT_EQ(GetFileSystemTime(kind) - before[kind], 2500000);
    }
}

TEST(FileSystemTimesTest, ReadingAndDecompressingAreCounted)
{
    // Enough bytes that neither can take less than one tick of the 10 MHz counter.
    std::string text;
    for (uint64_t i = 0; text.size() < (8u << 20); ++i)
        text += "line " + std::to_string(i * 7919 % 100003) + "\n";
    TempFolder folder;
    folder.WriteFile("big.txt", text);
    const int64_t readBefore = GetFileSystemTime(FILESYSTEM_TIME_READ);
    FileSystemLocalFileInputStream stream((folder / "big.txt").c_str());
    ASSERT_TRUE(stream.IsOpen());
    std::vector<uint8_t> bytes(text.size());
    ASSERT_TRUE(stream.Read(bytes.data(), uint32_t(bytes.size())));
    EXPECT_GT(GetFileSystemTime(FILESYSTEM_TIME_READ), readBefore);
    // The container reader thread's reads count as reading too (its end orders its timer before ours).
    const int64_t threadBefore = GetFileSystemTime(FILESYSTEM_TIME_READ);
    {
        PhysicalFileReader reader;
        uint32_t got = 0;
        reader.WaitFor(reader.PostRead(PhysicalFileReader::kGroupCount, 0, (folder / "big.txt").c_str(), 0,
                                       bytes.data(), uint32_t(bytes.size()), &got));
        EXPECT_EQ(got, bytes.size());
    }
    EXPECT_GT(GetFileSystemTime(FILESYSTEM_TIME_READ), threadBefore);

    // A gzip stream of the text, as container entries of method 1 hold it.
    z_stream deflater{};
    ASSERT_EQ(deflateInit2(&deflater, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::vector<uint8_t> packed(deflateBound(&deflater, uLong(text.size())));
    deflater.next_in = reinterpret_cast<Bytef*>(text.data());
    deflater.avail_in = uInt(text.size());
    deflater.next_out = packed.data();
    deflater.avail_out = uInt(packed.size());
    ASSERT_EQ(deflate(&deflater, Z_FINISH), Z_STREAM_END);
    packed.resize(deflater.total_out);
    deflateEnd(&deflater);

    const int64_t decompressionBefore = GetFileSystemTime(FILESYSTEM_TIME_DECOMPRESSION);
    const int64_t readAfter = GetFileSystemTime(FILESYSTEM_TIME_READ);
    ContainerStreamDecompressor decompressor;
    ASSERT_TRUE(decompressor.Init(1));
    uint32_t none = 0, space = uint32_t(bytes.size());
    ASSERT_TRUE(decompressor.Decompress(nullptr, none, bytes.data(), space)) << "no input yet is waiting, not damage";
    uint32_t inputSize = uint32_t(packed.size());
    uint32_t outputSize = uint32_t(bytes.size());
    ASSERT_TRUE(decompressor.Decompress(packed.data(), inputSize, bytes.data(), outputSize));
    EXPECT_EQ(outputSize, text.size());
    // After its end it takes and gives nothing; after corrupt bytes every call fails until the next Init.
    EXPECT_TRUE(decompressor.Decompress(packed.data(), inputSize = 4, bytes.data(), outputSize = 4));
    EXPECT_EQ(inputSize + outputSize, 0u);
    ASSERT_TRUE(decompressor.Init(1));
    EXPECT_FALSE(decompressor.Decompress(bytes.data(), inputSize = 4, bytes.data(), outputSize = 4));
    EXPECT_FALSE(decompressor.Decompress(packed.data(), inputSize = 4, bytes.data(), outputSize = 4));
    EXPECT_EQ(inputSize + outputSize, 0u);
    ASSERT_TRUE(decompressor.Init(1));
    EXPECT_TRUE(decompressor.Decompress(packed.data(), inputSize = 4, bytes.data(), outputSize = 4));
    EXPECT_GT(GetFileSystemTime(FILESYSTEM_TIME_DECOMPRESSION), decompressionBefore);
    EXPECT_EQ(GetFileSystemTime(FILESYSTEM_TIME_READ), readAfter) << "decompressing reads nothing";
}
