#include "platform/window/Cursor.h"
#include "platform/window/Display.h"

#include <gtest/gtest.h>

using namespace win;

namespace
{
class CursorTest : public ::testing::Test
{
protected:
    void SetUp() override { ResetWindowSystem(); }
    void TearDown() override { ResetWindowSystem(); }

    static CursorImage Image(uint32_t width, uint32_t height)
    {
        CursorImage image;
        image.width = width;
        image.height = height;
        image.hotX = 3;
        image.hotY = 4;
        image.mask.assign(size_t(width) * height, 0xFF);
        image.colour.assign(size_t(width) * height, 0);
        return image;
    }
};
} // namespace

TEST_F(CursorTest, DisplayCounterCountsBothWays)
{
    EXPECT_EQ(ShowCursor(false), -1);
    EXPECT_EQ(ShowCursor(false), -2);
    EXPECT_EQ(ShowCursor(true), -1);
    EXPECT_EQ(GetCursorDisplayCount(), -1);
}

TEST_F(CursorTest, PositionStaysOnTheDesktopAndInsideTheClip)
{
    Point point;
    SetCursorPos(-5, 99999);
    GetCursorPos(point);
    EXPECT_EQ(point, (Point{0, GetSystemMetrics(kMetricScreenHeight) - 1}));

    const Rect clip{100, 100, 300, 200};
    ClipCursor(&clip);
    GetCursorPos(point);
    EXPECT_EQ(point, (Point{100, 199})) << "clipping moves the cursor inside";
    SetCursorPos(500, 150);
    GetCursorPos(point);
    EXPECT_EQ(point, (Point{299, 150}));
    Rect kept;
    ASSERT_TRUE(GetClipCursor(kept));
    EXPECT_EQ(kept, clip);

    ClipCursor(nullptr);
    EXPECT_FALSE(GetClipCursor(kept));
    SetCursorPos(500, 150);
    GetCursorPos(point);
    EXPECT_EQ(point, (Point{500, 150}));
}

TEST_F(CursorTest, ImagesAreCheckedKeptAndDestroyed)
{
    CursorImage bad = Image(32, 32);
    bad.mask.pop_back();
    EXPECT_EQ(CreateCursor(bad), nullptr);
    EXPECT_EQ(CreateCursor(Image(0, 32)), nullptr);

    CursorImage image = Image(32, 32);
    image.mask[0] = 0;
    image.colour[0] = 0x00FF8000;
    const CursorHandle cursor = CreateCursor(image);
    ASSERT_NE(cursor, nullptr);
    EXPECT_NE(CreateCursor(Image(8, 8)), cursor) << "each image its own handle";
    EXPECT_EQ(GetLiveCursorCount(), 2u);
    const CursorImage* kept = GetCursorImage(cursor);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->hotX, 3);
    EXPECT_EQ(kept->colour[0], 0x00FF8000u);
    EXPECT_EQ(kept->mask[1], 0xFF);

    EXPECT_EQ(SetCursor(cursor), nullptr);
    EXPECT_EQ(GetCursor(), cursor);
    EXPECT_EQ(SetCursor(reinterpret_cast<CursorHandle>(uintptr_t(12345))), cursor) << "unknown handles are ignored";
    EXPECT_EQ(GetCursor(), cursor);
    EXPECT_TRUE(DestroyCursor(cursor));
    EXPECT_EQ(GetCursor(), nullptr) << "a destroyed cursor is not shown";
    EXPECT_FALSE(DestroyCursor(cursor));
    EXPECT_FALSE(DestroyCursor(LoadArrowCursor())) << "the system arrow is shared";
    EXPECT_EQ(GetLiveCursorCount(), 1u);
}
