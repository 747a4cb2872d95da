#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileSystem.h"
#include "core/filesystem/FileWriter.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace
{
class CrcFileTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(gFileSystem.MountDirectory("save", m_folder.Path().c_str())); }
    void TearDown() override { gFileSystem.UnmountAll(); }

    bool Save(const char* name, const std::string& payload, const char* base = "save")
    {
        FileWriter writer(name, nullptr, base, kFileSystemOpenCrc);
        return writer.IsOpen() && writer.Write(payload.data(), static_cast<uint32_t>(payload.size())) &&
               writer.Close();
    }

    TempFolder m_folder;
};

const std::string kDigitsFile = std::string("FWSF") + std::string("\x09\x00\x00\x00", 4) +
                                std::string("\x7F\x89\xA1\x89", 4) + "123456789";
} // namespace

TEST_F(CrcFileTest, RoundTripMatchesTheHandWrittenLayout)
{
    ASSERT_TRUE(Save("digits.bin", "123456789"));
    EXPECT_EQ(m_folder.ReadFile("digits.bin"), kDigitsFile);
    ASSERT_TRUE(Save((m_folder / "disk.bin").c_str(), "123456789", nullptr));
    EXPECT_EQ(m_folder.ReadFile("disk.bin"), kDigitsFile) << "a disk path keeps the layout";
    EXPECT_EQ(FileReader((m_folder / "disk.bin").c_str(), nullptr, nullptr, kFileSystemOpenCrc).GetSize(), 9u)
        << "and reads back the payload alone";
    EXPECT_FALSE(FileReader((m_folder / "none.bin").c_str(), nullptr, nullptr, kFileSystemOpenCrc).IsOpen());

    FileReader reader("digits.bin", nullptr, "save", kFileSystemOpenCrc);
    ASSERT_TRUE(reader.IsOpen());
    EXPECT_EQ(reader.GetSize(), 9u);
    EXPECT_EQ(reader.GetLastWriteTime(), 0u);
    EXPECT_EQ(reader.DetachFile(false), nullptr);
    char text[10] = {};
    ASSERT_TRUE(reader.Read(text, 9));
    EXPECT_STREQ(text, "123456789");
    EXPECT_FALSE(reader.Read(text, 1));
    ASSERT_TRUE(Save("large.bin", std::string(70000, 'x')));
    EXPECT_EQ(FileReader("large.bin", nullptr, "save", kFileSystemOpenCrc).GetSize(), 70000u) << "past 64 KiB";
}

TEST_F(CrcFileTest, HandWrittenFileReads)
{
    m_folder.WriteFile("hand.bin", kDigitsFile);
    FileReader reader("hand.bin", nullptr, "save", kFileSystemOpenCrc);
    ASSERT_TRUE(reader.IsOpen());
    uint32_t first = 0;
    ASSERT_TRUE(reader.ReadU32(first));
    EXPECT_EQ(first, 0x34333231u);
    // A read past the end fails and leaves the position where it was.
    EXPECT_FALSE(reader.Read(nullptr, 10));
    EXPECT_EQ(reader.GetPosition(), 4u);
    EXPECT_EQ(reader.GetRemaining(), 5u);
    EXPECT_TRUE(reader.Read(nullptr, 5));
    FileReader lines("hand.bin", nullptr, "save", kFileSystemOpenCrc); // byte by byte, it ends with its payload
    char line[16];
    ASSERT_TRUE(lines.ReadLine(line, sizeof(line)));
    EXPECT_STREQ(line, "123456789");
    EXPECT_FALSE(lines.ReadLine(line, sizeof(line)));
}

TEST_F(CrcFileTest, OneFlippedBitIsRefused)
{
    std::string damaged = kDigitsFile;
    damaged[14] ^= 0x10;
    m_folder.WriteFile("damaged.bin", damaged);
    ConsoleCapture capture;
    FileReader reader("damaged.bin", nullptr, "save", kFileSystemOpenCrc);
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_TRUE(capture.Contains("Crc check failed for " + m_folder.Path() + "/damaged.bin", CONSOLE_WARNING));
}

TEST_F(CrcFileTest, EmptyPayloadIsHeaderOnlyAndDoesNotOpen)
{
    ASSERT_TRUE(Save("empty.bin", ""));
    EXPECT_EQ(m_folder.ReadFile("empty.bin"), std::string("FWSF\0\0\0\0\0\0\0\0", 12));
    ConsoleCapture capture;
    FileReader reader("empty.bin", nullptr, "save", kFileSystemOpenCrc);
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_EQ(capture.CountOfKind(CONSOLE_WARNING), 0u) << "an empty payload is not a damaged file";
}

TEST_F(CrcFileTest, SizesBeyondTheFileAreRefusedBeforeUse)
{
    ConsoleCapture capture;
    for (const char* size : {"\x0A\x00\x00\x00", "\xFF\xFF\xFF\xFF", "\x00\x00\x00\x80"})
    {
        m_folder.WriteFile("long.bin", std::string("FWSF") + std::string(size, 4) + kDigitsFile.substr(8));
        FileReader reader("long.bin", nullptr, "save", kFileSystemOpenCrc);
        EXPECT_FALSE(reader.IsOpen());
    }
    EXPECT_TRUE(capture.Contains("shorter than its header says", CONSOLE_WARNING));
    m_folder.WriteFile("short.bin", "FWS");
    EXPECT_FALSE(FileReader("short.bin", nullptr, "save", kFileSystemOpenCrc).IsOpen());
    m_folder.WriteFile("magic.bin", "FWSX" + kDigitsFile.substr(4));
    EXPECT_FALSE(FileReader("magic.bin", nullptr, "save", kFileSystemOpenCrc).IsOpen());
}

TEST_F(CrcFileTest, TargetIsReplacedOnlyWhenTheSaveSucceeds)
{
    m_folder.WriteFile("config.bin", "previous");
    {
        FileWriter writer("config.bin", nullptr, "save", kFileSystemOpenCrc);
        ASSERT_TRUE(writer.Write("new", 3));
        EXPECT_EQ(m_folder.ReadFile("config.bin"), "previous");
        ASSERT_TRUE(writer.Close());
    }
    FileReader reader("config.bin", nullptr, "save", kFileSystemOpenCrc);
    EXPECT_EQ(reader.GetSize(), 3u);
    // No temporary file is left beside the target.
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(m_folder.Path()))
        ++entries;
    EXPECT_EQ(entries, 1u);
}

TEST_F(CrcFileTest, FailedSaveIsReportedAndKeepsWhatWasThere)
{
    // A non-empty directory in the target's place makes the final rename fail.
    m_folder.WriteFile("blocked.bin/keep.txt", "keep");
    ConsoleCapture capture;
    for (uint32_t flags : {kFileSystemOpenCrc, 0u})
    {
        FileWriter writer("blocked.bin", nullptr, "save", flags);
        ASSERT_TRUE(writer.IsOpen());
        EXPECT_TRUE(writer.Write("data", 4));
        EXPECT_FALSE(writer.Close());
    }
    EXPECT_TRUE(capture.Contains("Unable to write file", CONSOLE_ERROR));
    EXPECT_EQ(m_folder.ReadFile("blocked.bin/keep.txt"), "keep");
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(m_folder.Path()))
        ++entries;
    EXPECT_EQ(entries, 1u);
}

TEST_F(CrcFileTest, WriterWithoutCloseStillSavesAndFailedWritesAbandon)
{
    {
        FileWriter writer("auto.bin", nullptr, "save", kFileSystemOpenCrc);
        writer.WriteU32(0x01020304u, FileWriter::kByteSwapFlag);
        writer.WriteU16(0x0506u);
        writer.WriteF32(1.0f);
        EXPECT_EQ(writer.GetPosition(), 10u);
        EXPECT_EQ(writer.GetFile(), nullptr); // the bytes wait in memory until the close
    }
    FileReader reader("auto.bin", nullptr, "save", kFileSystemOpenCrc);
    uint32_t swapped = 0;
    uint16_t plain = 0;
    float one = 0;
    ASSERT_TRUE(reader.ReadU32(swapped) && reader.ReadU16(plain) && reader.ReadF32(one));
    EXPECT_EQ(swapped, 0x04030201u);
    EXPECT_EQ(plain, 0x0506u);
    EXPECT_EQ(one, 1.0f);
    EXPECT_FALSE(reader.ReadU8(*reinterpret_cast<uint8_t*>(&plain)));
    EXPECT_TRUE(reader.HasFailed());

    FileWriter writer("auto.bin", nullptr, "save", kFileSystemOpenCrc);
    EXPECT_FALSE(writer.Write(nullptr, 4));
    EXPECT_TRUE(writer.HasFailed());
    EXPECT_FALSE(writer.Close());
    EXPECT_TRUE(FileReader("auto.bin", nullptr, "save", kFileSystemOpenCrc).IsOpen());
    FileWriter unchecked("auto.bin", nullptr, "save", 0);
    EXPECT_FALSE(unchecked.Write(nullptr, 4) || unchecked.Close());
    EXPECT_TRUE(FileReader("auto.bin", nullptr, "save", kFileSystemOpenCrc).IsOpen());
    // Bytes written after the close are refused, not dropped as if saved.
    const auto stream = gFileSystem.OpenOutputStream("late.bin", nullptr, "save", kFileSystemOpenCrc);
    ASSERT_TRUE(stream && stream->Close());
    EXPECT_FALSE(stream->Write("x", 1));
}
