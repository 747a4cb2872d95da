// ctest-labels: thread
#include "core/filesystem/FileSystem.h"
#include "core/filesystem/StreamingFileReader.h"
#include "core/filesystem/StreamingFileReaderList.h"
#include "core/threads/BaseThread.h"
#include "platform/os/Clock.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace
{
class StreamingFileReaderTest : public testing::Test
{
protected:
    void SetUp() override
    {
        std::mt19937 random(9);
        m_big.resize(1 << 20);
        for (char& c : m_big)
            c = static_cast<char>(random());
        m_small = m_big.substr(5000, 1000);
        m_folder.WriteFile("data/big.bin", m_big);
        m_folder.WriteFile("data/small.bin", m_small);
        m_folder.WriteFile("data/empty.bin", "");
        ASSERT_TRUE(gFileSystem.MountDirectory("data", (m_folder / "data").c_str()));
        ASSERT_TRUE(m_filler.Start());
        StreamingFileReader::SetFillingThread(&m_readers);
    }

    void TearDown() override
    {
        m_filler.Flush();
        StreamingFileReader::SetFillingThread(nullptr);
        m_filler.Stop();
        gFileSystem.UnmountAll();
    }

    std::string ReadString(StreamingFileReader& reader, uint32_t count)
    {
        std::string out(count, '\0');
        out.resize(reader.Read(out.data(), count));
        return out;
    }

    TempFolder m_folder;
    std::string m_big;
    std::string m_small;
    BaseThread m_filler{"ResourceManager", 65536, true, os::kInfinite, 0};
    StreamingFileReaderList m_readers{m_filler};
};
} // namespace

TEST_F(StreamingFileReaderTest, OneMegabyteThroughAFourKilobyteRing)
{
    auto* reader = new StreamingFileReader(4096, "data/big", "bin", nullptr, false);
    reader->WaitUntilOpen();
    ASSERT_TRUE(reader->IsOpen());
    // With the filler busy, the read that empties the ring waits for the next fill and says so.
    ConsoleCapture console;
    m_filler.PostCall([](BaseThread&, uintptr_t, CommandRingBuffer&) { os::Sleep(50); }, 0);
    std::mt19937 random(1);
    std::string out = ReadString(*reader, 4096); // the open filled the whole size asked for: no wait yet
    EXPECT_FALSE(console.Contains("causing delay while waiting for the next data package", CONSOLE_WARNING));
    while (out.size() < m_big.size())
    {
        const std::string piece = ReadString(*reader, 1 + random() % 3000);
        ASSERT_FALSE(piece.empty()) << "stalled at " << out.size();
        out += piece;
    }
    EXPECT_TRUE(out == m_big);
    EXPECT_TRUE(console.Contains("causing delay while waiting for the next data package", CONSOLE_WARNING));
    EXPECT_EQ(ReadString(*reader, 100), "");
    reader->PostDestroy();
}

TEST_F(StreamingFileReaderTest, MissingEmptyAndSmallFiles)
{
    ConsoleCapture console;
    // Opens held up behind other work make the first read wait, and say so.
    m_filler.PostCall([](BaseThread&, uintptr_t, CommandRingBuffer&) { os::Sleep(50); }, 0);
    auto* missing = new StreamingFileReader(4096, "data/none.bin", nullptr, nullptr, false);
    auto* empty = new StreamingFileReader(4096, "empty", "bin", "data", false);
    auto* small = new StreamingFileReader(4096, "data/small.bin", nullptr, nullptr, false);

    char buffer[16];
    EXPECT_EQ(missing->Read(buffer, sizeof(buffer)), 0u);
    EXPECT_TRUE(missing->IsFinishedOpening());
    EXPECT_FALSE(missing->IsOpen());
    EXPECT_TRUE(console.Contains("Incorrect use of StreamingFileReader - trying to read from a closed file", CONSOLE_ERROR));
    EXPECT_TRUE(console.Contains("StreamingFileReader in file data/none.bin is causing a delay!!!", CONSOLE_WARNING));
    empty->WaitUntilOpen();
    EXPECT_FALSE(empty->IsOpen());

    small->WaitUntilOpen();
    ASSERT_TRUE(small->IsOpen());
    EXPECT_EQ(ReadString(*small, 5000), m_small);
    EXPECT_EQ(small->Read(nullptr, 10), 0u);

    // A file cut short under an open reader ends the read at the last whole fill instead of waiting.
    auto* cut = new StreamingFileReader(4096, "data/big.bin", nullptr, nullptr, false);
    cut->WaitUntilOpen();
    std::filesystem::resize_file(m_folder / "data/big.bin", 10000);
    const std::string got = ReadString(*cut, 1 << 20);
    EXPECT_TRUE(got.size() < 10000 && got == m_big.substr(0, got.size()));
    EXPECT_TRUE(console.Contains("StreamingFileReader could not read", CONSOLE_ERROR));
    cut->PostDestroy();
    // Newest first: each unlink must leave the readers behind it linked correctly.
    small->PostDestroy();
    empty->PostDestroy();
    missing->PostDestroy();
}

TEST_F(StreamingFileReaderTest, LoopingReaderStartsEachPassAfresh)
{
    auto* reader = new StreamingFileReader(4096, "data/small.bin", nullptr, nullptr, true);
    for (int pass = 0; pass < 5; ++pass)
    {
        reader->WaitUntilOpen();
        std::string out = ReadString(*reader, 300);
        out += ReadString(*reader, 5000);
        EXPECT_EQ(out, m_small) << "pass " << pass;
        EXPECT_EQ(ReadString(*reader, 10), "") << "pass " << pass;
    }
    reader->PostDestroy();
}

TEST_F(StreamingFileReaderTest, PumpKeepsLargeFilesFlowing)
{
    auto* reader = new StreamingFileReader(65536, "data/big.bin", nullptr, nullptr, true);
    auto* newer = new StreamingFileReader(4096, "data/small.bin", nullptr, nullptr, false);
    reader->WaitUntilOpen();
    newer->WaitUntilOpen();
    // A forced pump tops up every open reader, not only the newest: the 10000 bytes taken (too few to
    // ask for a fill) are back before the filler is busy again.
    std::string out = ReadString(*reader, 10000);
    const auto pump = [](BaseThread&, uintptr_t readers, CommandRingBuffer&)
    { reinterpret_cast<StreamingFileReaderList*>(readers)->PumpAll(true); };
    m_filler.PostCall(pump, reinterpret_cast<uintptr_t>(&m_readers));
    m_filler.Flush();
    ConsoleCapture console;
    m_filler.PostCall([](BaseThread&, uintptr_t, CommandRingBuffer&) { os::Sleep(50); }, 0);
    out += ReadString(*reader, 65536);
    EXPECT_FALSE(console.Contains("causing delay while waiting for the next data package", CONSOLE_WARNING));
    for (int round = 0; out.size() < 3 * m_big.size(); ++round)
    {
        if (round % 16 == 0)
            m_filler.PostCall(pump, reinterpret_cast<uintptr_t>(&m_readers));
        else if (round % 8 == 0)
            m_filler.PostCall([](BaseThread&, uintptr_t readers, CommandRingBuffer&)
                              { reinterpret_cast<StreamingFileReaderList*>(readers)->PumpAll(false); },
                              reinterpret_cast<uintptr_t>(&m_readers));
        std::string piece = ReadString(*reader, 20000);
        if (piece.empty())
        {
            reader->WaitUntilOpen();
            continue;
        }
        out += piece;
    }
    EXPECT_TRUE(out == m_big + m_big + m_big);
    newer->PostDestroy();
    reader->PostDestroy();
}

TEST(StreamingFileReaderWithoutThreadTest, OpensClosedAndIsFreedByItsDestroy)
{
    ConsoleCapture console;
    auto* reader = new StreamingFileReader(4096, "data/big.bin", nullptr, nullptr, false);
    EXPECT_TRUE(console.Contains("StreamingFileReader used without a filling thread: data/big.bin", CONSOLE_ERROR));
    EXPECT_TRUE(reader->IsFinishedOpening()) << "a wait for the open must not hang";
    EXPECT_FALSE(reader->IsOpen());
    reader->PostDestroy(); // freed here, or the leak check fails the run
}
