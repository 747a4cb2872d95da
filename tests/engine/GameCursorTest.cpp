#include "engine/Game.h"

#include "core/filesystem/FileSystem.h"
#include "engine/platform/GameWindow.h"
#include "platform/window/Cursor.h"
#include "platform/window/Window.h"
#include "platform/window/WindowMessages.h"
#include "renderer/FrameClock.h"
#include "renderer/resources/ResourceTexture.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
// A 32-bit TGA of the given size, bottom row first, every pixel (b, g, r, a) = (x, y, 0x80, alpha);
// with clearFirstColumn the pixels of column 0 have alpha 0.
std::string Tga(uint16_t width, uint16_t height, uint8_t alpha, bool clearFirstColumn = false)
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
            bytes += std::string{char(x), char(y), char(0x80), char(clearFirstColumn && x == 0 ? 0 : alpha)};
    return bytes;
}

class GameCursorTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_folder.WriteFile("arrow.tga", Tga(32, 32, 255, true));
        m_folder.WriteFile("small.tga", Tga(16, 16, 255));
        m_folder.WriteFile("packed.tga", std::string(18, '\0'));
        ASSERT_TRUE(gFileSystem.MountDirectory("Textures", m_folder.Path().c_str()));
        m_log.Clear();
    }
    void TearDown() override
    {
        gGame.Close();
        gGame.SetHardwareCursor(nullptr, 0, 0);
        gFileSystem.UnmountAll();
        win::ResetWindowSystem();
    }
    // A popup window whose client area starts at (100, 50) on the desktop.
    win::WindowHandle MakeWindow()
    {
        EXPECT_TRUE(win::RegisterWindowClass("GameCursorTest", 0, &win::DefWindowProc, nullptr));
        return win::CreateWindow("GameCursorTest", "game", win::kStylePopup, 100, 50, 320, 200);
    }
    static win::Point CursorPos()
    {
        win::Point point;
        win::GetCursorPos(point);
        return point;
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

TEST_F(GameCursorTest, TheCursorImageIsBuiltTopDownWithTransparencyFromAlpha)
{
    ASSERT_TRUE(gGame.SetHardwareCursor("arrow.tga", 3, 4));
    const win::CursorImage* image = win::GetCursorImage(win::GetCursor());
    ASSERT_NE(image, nullptr) << "set at once";
    EXPECT_EQ(image->hotX, 3);
    EXPECT_EQ(image->hotY, 4);
    ASSERT_EQ(image->width, 32u);
    ASSERT_EQ(image->mask.size(), 32u * 32u);
    // Cursor row 0 is the image's top row, the file's last (y = 31).
    EXPECT_EQ(image->mask[0], 0xFF) << "alpha 0 is transparent";
    EXPECT_EQ(image->colour[0], 0u) << "with a black colour";
    EXPECT_EQ(image->mask[1], 0);
    EXPECT_EQ(image->colour[1], 0x00801F01u);
    EXPECT_EQ(image->colour[31 * 32 + 5], 0x00800005u) << "the bottom row is the file's first";
    EXPECT_EQ(win::GetLiveCursorCount(), 1u);

    ASSERT_TRUE(gGame.SetHardwareCursor("arrow.tga", 0, 0));
    EXPECT_EQ(win::GetLiveCursorCount(), 1u) << "the earlier cursor is destroyed";
    EXPECT_FALSE(gGame.SetHardwareCursor("small.tga", 0, 0));
    EXPECT_EQ(win::GetLiveCursorCount(), 0u);
    EXPECT_EQ(win::GetCursor(), nullptr);
}

// Over the client area the window sets the Game's cursor again, even after the frame's arrow was
// shown; outside it, or without a Game cursor, the window's default handling runs.
TEST_F(GameCursorTest, TheWindowBringsTheGameCursorBackOverTheClientArea)
{
    const win::WindowHandle window = MakeWindow();
    const intptr_t overClient = win::MakeLParam(int32_t(win::kHitClient), 0);
    ASSERT_TRUE(win::SetCursorPos(200, 100));
    win::SetCursor(nullptr);
    GameWindowProc(window, win::kMsgSetCursor, 0, overClient);
    EXPECT_EQ(win::GetLiveCursorCount(), 0u) << "no Game cursor: nothing of the Game's is set";

    ASSERT_TRUE(gGame.SetHardwareCursor("arrow.tga", 0, 0));
    const win::CursorHandle own = win::GetCursor();
    win::SetCursor(win::LoadArrowCursor()); // the pointer crossed the frame
    EXPECT_EQ(GameWindowProc(window, win::kMsgSetCursor, 0, overClient), 1);
    EXPECT_EQ(win::GetCursor(), own);
    win::SetCursor(win::LoadArrowCursor());
    GameWindowProc(window, win::kMsgActivate, win::kActivateActive, 0);
    EXPECT_NE(win::GetCursor(), win::LoadArrowCursor()) << "activation makes the game's cursor again";

    // Outside the client area, and on each of its edges (the client spans 100..420 by 50..250).
    for (const auto& [x, y] : {std::pair{90, 40}, {100, 100}, {420, 100}, {200, 50}, {200, 250}})
    {
        win::SetCursor(win::LoadArrowCursor());
        ASSERT_TRUE(win::SetCursorPos(x, y));
        GameWindowProc(window, win::kMsgSetCursor, 0, win::MakeLParam(2, 0));
        EXPECT_EQ(win::GetCursor(), win::LoadArrowCursor()) << x << "," << y;
    }
}

TEST_F(GameCursorTest, StartAndCloseHideAndShowTheSystemCursorOnce)
{
    const win::WindowHandle window = MakeWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(win::GetCursorDisplayCount(), 0);
    gGame.Init(window, 320, 200, nullptr, nullptr, 0);
    EXPECT_EQ(win::GetCursorDisplayCount(), -1);
    EXPECT_FALSE(gGame.IsHardwareCursorShown());
    // The started game shows its own cursor: the element under it gets the mouse-over.
    UIScreen::SetUISizeOverride(320.0f, 200.0f);
    UIScreen* const screen = new UIScreen;
    screen->SetVisible(true);
    UIElement* const button = new UIElement;
    button->SetSizeXY(100.0f, 100.0f);
    button->RaiseFlag(UIFLAG_FOCUSABLEWITHMOUSE);
    screen->AddChild(button);
    gGame.SetActiveUIScreen(screen);
    const FrameClock clock;
    gGame.GetScreenStack().Draw(320, 200, clock, clock, Vector());
    const Vector over(0.1f, 0.1f, 0.0f, 1.0f);
    gGame.GetScreenStack().UpdateMouseOver(over);
    EXPECT_EQ(gGame.GetScreenStack().GetMouseOverElement(), nullptr) << "no cursor is seen";
    ResourceTexture first("first.tiff"), second("second.tiff");
    gGame.SetSoftwareCursorTexture(&first);
    gGame.GetScreenStack().UpdateMouseOver(over);
    EXPECT_EQ(gGame.GetScreenStack().GetMouseOverElement(), button);
    gGame.SetSoftwareCursorTexture(&second);
    gGame.SetSoftwareCursorTexture(&second);
    EXPECT_EQ(first.GetReferenceCount() * 10 + second.GetReferenceCount(), 1) << "the old one released, one held";
    EXPECT_EQ(CursorPos(), (win::Point{260, 150})) << "the middle of the client area";
    gGame.EnableHardwareCursor(false, false);
    EXPECT_EQ(win::GetCursorDisplayCount(), -1) << "only a change calls the system";
    EXPECT_FALSE(m_log.Contains("Hardware cursor counter invalid"));

    gGame.SetCursorPosition(-40, 5000);
    EXPECT_EQ(CursorPos(), (win::Point{100, 249})) << "kept inside the client area";
    gGame.SetCursorPosition(5000, -40);
    EXPECT_EQ(CursorPos(), (win::Point{419, 50}));
    gGame.SetCursorPosition(10, 20);
    EXPECT_EQ(CursorPos(), (win::Point{110, 70}));
    gGame.EnableHardwareCursor(true, true);
    EXPECT_EQ(CursorPos(), (win::Point{260, 150})) << "shown and centred";
    gGame.EnableHardwareCursor(false, false);

    ASSERT_TRUE(gGame.SetHardwareCursor("arrow.tga", 0, 0));
    gGame.Close();
    UIScreen::SetUISizeOverride(0.0f, 0.0f);
    EXPECT_EQ(second.GetReferenceCount(), 0) << "and released at close";
    EXPECT_EQ(win::GetCursorDisplayCount(), 0);
    EXPECT_TRUE(gGame.IsHardwareCursorShown());
    EXPECT_EQ(CursorPos(), (win::Point{160, 100})) << "the middle of the screen size";
    EXPECT_EQ(win::GetLiveCursorCount(), 0u);
    EXPECT_STREQ(gGame.GetHardwareCursorName(), "");
}

TEST_F(GameCursorTest, AnUnexpectedCounterIsReported)
{
    const win::WindowHandle window = MakeWindow();
    win::ShowCursor(false);
    gGame.Init(window, 320, 200, nullptr, nullptr, 0);
    EXPECT_TRUE(m_log.Contains("Hardware cursor counter invalid: -2 (expected -1)", CONSOLE_WARNING));
    win::ShowCursor(true);
}

TEST_F(GameCursorTest, TheWindowFlashesAndRestoresOnlyWhileInactive)
{
    const win::WindowHandle window = MakeWindow();
    gGame.Init(window, 320, 200, nullptr, nullptr, 0);
    const uint32_t beeps = win::GetBeepCount();
    gGame.FlashWindow();
    EXPECT_EQ(win::GetBeepCount(), beeps) << "the window is active";
    win::ShowWindow(window, win::kShowMinimize);
    gGame.RestoreWindow();
    EXPECT_TRUE(win::IsIconic(window)) << "the active window is left as it is";
    gGame.Update(false);
    ASSERT_FALSE(gGame.IsWindowActive());
    gGame.FlashWindow();
    uint32_t flags = 0;
    uint32_t count = 0;
    EXPECT_EQ(win::GetBeepCount(), beeps + 1);
    EXPECT_EQ(win::GetFlashCount(window, &flags, &count), 1u);
    EXPECT_EQ(flags, win::kFlashAll | win::kFlashTimerNoForeground);
    EXPECT_EQ(count, 1000u);
    win::ShowWindow(window, win::kShowMinimize);
    gGame.RestoreWindow();
    EXPECT_FALSE(win::IsIconic(window));
}
