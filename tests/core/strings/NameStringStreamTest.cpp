#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileSystem.h"
#include "core/filesystem/FileWriter.h"
#include "core/strings/NameString.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
class NameStringStreamTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(gFileSystem.MountDirectory("names", m_folder.Path().c_str())); }
    void TearDown() override { gFileSystem.UnmountAll(); }

    TempFolder m_folder;
};
} // namespace

TEST_F(NameStringStreamTest, WritesLengthAndCharacters)
{
    {
        FileWriter writer("names/plain.bin", nullptr, nullptr, 0);
        ASSERT_TRUE(NameString("abc").Write(writer, 0));
        ASSERT_TRUE(NameString().Write(writer, 0));
        ASSERT_TRUE(NameString("xy").Write(writer, FileWriter::kByteSwapFlag));
        ASSERT_TRUE(writer.Close());
    }
    EXPECT_EQ(m_folder.ReadFile("plain.bin"), std::string("\x03\0\0\0abc\0\0\0\0\0\0\0\x02xy", 17));
}

TEST_F(NameStringStreamTest, ReadsHandWrittenNames)
{
    const std::string longText(600, 'q');
    m_folder.WriteFile("names.bin", std::string("\x04\0\0\0Unit\0\0\0\0", 12) + std::string("\x58\x02\0\0", 4) +
                                        longText);
    FileReader reader("names/names.bin", nullptr, nullptr, 0);
    NameString name("previous");
    ASSERT_TRUE(name.Read(reader));
    EXPECT_TRUE(name.Equals("Unit"));
    ASSERT_TRUE(name.Read(reader));
    EXPECT_TRUE(name.IsEmpty());
    ASSERT_TRUE(name.Read(reader));
    EXPECT_TRUE(name.Equals(longText.c_str()));
    EXPECT_FALSE(name.Read(reader));
}

TEST_F(NameStringStreamTest, RefusesLengthsPastTheData)
{
    m_folder.WriteFile("short.bin", std::string("\x05\0\0\0abc", 7));
    m_folder.WriteFile("huge.bin", std::string("\xFF\xFF\xFF\xFF" "abc", 7));
    ConsoleCapture capture;
    for (const char* file : {"names/short.bin", "names/huge.bin"})
    {
        FileReader reader(file, nullptr, nullptr, 0);
        NameString name("kept");
        EXPECT_FALSE(name.Read(reader));
        EXPECT_TRUE(name.Equals("kept"));
    }
    EXPECT_TRUE(capture.Contains("runs past the end of the data", CONSOLE_ERROR));
}
