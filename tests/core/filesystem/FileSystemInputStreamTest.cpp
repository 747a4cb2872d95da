#include "core/filesystem/FileSystemInputStream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// Serves a byte string through ReadByte only, as container and memory streams do.
class ByteStream : public FileSystemInputStream
{
public:
    explicit ByteStream(std::string bytes) : m_bytes(std::move(bytes)) {}
    bool IsOpen() const override { return true; }
    uint32_t GetSize() override { return static_cast<uint32_t>(m_bytes.size()); }
    uint64_t GetLastWriteTime() override { return 0; }
    bool Read(void*, uint32_t) override { return false; }
    bool ReadByte(uint8_t& byte) override
    {
        if (m_position >= m_bytes.size())
            return false;
        byte = static_cast<uint8_t>(m_bytes[m_position++]);
        return true;
    }
    FILE* DetachFile(bool) override { return nullptr; }

private:
    std::string m_bytes;
    size_t m_position = 0;
};

// Every line ReadLine gives until it returns false.
std::vector<std::string> Lines(const std::string& bytes, uint32_t size = 64)
{
    ByteStream stream(bytes);
    std::vector<std::string> lines;
    char buffer[64];
    while (stream.ReadLine(buffer, size))
        lines.emplace_back(buffer);
    return lines;
}

using Strings = std::vector<std::string>;
} // namespace

TEST(FileSystemInputStreamTest, LineEnds)
{
    EXPECT_EQ(Lines("ab\r\ncd"), (Strings{"ab", "cd"}));
    EXPECT_EQ(Lines("ab\ncd\n"), (Strings{"ab", "cd"}));
    EXPECT_EQ(Lines(""), Strings{});
    EXPECT_EQ(Lines("ab\r"), Strings{"ab"});
}

TEST(FileSystemInputStreamTest, LoneCarriageReturnKeepsTheFollowingByte)
{
    EXPECT_EQ(Lines("a\rb\nc"), (Strings{"a\rb", "c"}));
    EXPECT_EQ(Lines("a\r\rb"), (Strings{"a\r\rb"}));
    EXPECT_EQ(Lines("a\r\r\nb"), (Strings{"a\r", "b"}));
}

TEST(FileSystemInputStreamTest, EmptyLinesAreLines)
{
    EXPECT_EQ(Lines("a\n\nb"), (Strings{"a", "", "b"}));
    EXPECT_EQ(Lines("\r\n\r\nx"), (Strings{"", "", "x"}));
    EXPECT_EQ(Lines("\n"), Strings{""});
}

TEST(FileSystemInputStreamTest, LongLinesFailAndShortBuffersHoldSizeMinusOne)
{
    ByteStream stream("abcd\nxy\n");
    char buffer[8];
    uint32_t consumed = 0;
    EXPECT_FALSE(stream.ReadLine(buffer, 4, &consumed));
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(consumed, 4u);
    EXPECT_TRUE(stream.ReadLine(buffer, 4, &consumed));
    EXPECT_STREQ(buffer, "");
    EXPECT_TRUE(stream.ReadLine(buffer, 3, &consumed));
    EXPECT_STREQ(buffer, "xy");
    EXPECT_EQ(consumed, 3u);
    EXPECT_FALSE(stream.ReadLine(buffer, 0, &consumed));
    EXPECT_EQ(consumed, 0u); // a refused call took nothing
    EXPECT_FALSE(stream.ReadLine(buffer, 8));
}
