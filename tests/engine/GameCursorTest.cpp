#include "engine/Game.h"

#include "core/filesystem/FileSystem.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
// A 32-bit TGA of the given size, bottom row first, every pixel (b, g, r, a) = (x, y, 0x80, alpha).
std::string Tga(uint16_t width, uint16_t height, uint8_t alpha)
{
    std::string bytes(18, '\0');
    bytes[2] = 2;
    bytes[12] = char(width & 0xFF);
    bytes[13] = char(width >> 8);
    bytes[14] = char(height & 0xFF);
    bytes[15] = char(height >> 8);
    bytes[16] = 32;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            bytes += std::string{char(x), char(y), char(0x80), char(alpha)};
    return bytes;
}

class GameCursorTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_folder.WriteFile("arrow.tga", Tga(32, 32, 255));
        m_folder.WriteFile("small.tga", Tga(16, 16, 255));
        m_folder.WriteFile("packed.tga", std::string(18, '\0'));
        ASSERT_TRUE(gFileSystem.MountDirectory("Textures", m_folder.Path().c_str()));
        m_log.Clear();
    }
    void TearDown() override
    {
        gGame.SetHardwareCursor(nullptr, 0, 0);
        gFileSystem.UnmountAll();
    }

    TempFolder m_folder;
    ConsoleCapture m_log;
};
} // namespace

TEST_F(GameCursorTest, OnlyA32By32TrueColourImageMakesACursor)
{
    gGame.SetHardwareCursor("missing.tga", 1, 2);
    EXPECT_TRUE(m_log.Contains("Cannot load cursor: missing.tga", CONSOLE_ERROR));
    gGame.SetHardwareCursor("small.tga", 1, 2);
    EXPECT_TRUE(m_log.Contains("Incorrect cursor format. Only 32x32 A8R8G8B8 files are supported (small.tga)",
                               CONSOLE_ERROR));
    gGame.SetHardwareCursor("packed.tga", 1, 2);
    EXPECT_TRUE(m_log.Contains("Unsupported TGA format (packed.tga,Textures)", CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("Cannot load cursor: packed.tga", CONSOLE_ERROR));
    m_log.Clear();
    gGame.SetHardwareCursor("arrow.tga", 1, 2);
    EXPECT_EQ(m_log.CountOfKind(CONSOLE_ERROR), 0u);
    EXPECT_STREQ(gGame.GetHardwareCursorName(), "arrow.tga") << "kept for the window's activation";
}

TEST_F(GameCursorTest, TheKeptNameIsCutToItsBufferAndNullClearsIt)
{
    const std::string longName(2000, 'c');
    gGame.SetHardwareCursor(longName.c_str(), 0, 0);
    EXPECT_EQ(std::string(gGame.GetHardwareCursorName()).size(), Game::kMaxCursorFileName);
    gGame.SetHardwareCursor(nullptr, 0, 0);
    EXPECT_STREQ(gGame.GetHardwareCursorName(), "");
    m_log.Clear();
    gGame.ReapplyHardwareCursor();
    EXPECT_EQ(m_log.CountOfKind(CONSOLE_ERROR), 0u) << "nothing kept, nothing built";
}
