#include "engine/platform/GameWindow.h"

#include "platform/window/WindowMessages.h"

#include <gtest/gtest.h>

using win::Rect;

namespace
{
constexpr uint32_t kFramed = win::kStyleOverlappedWindow;
// The frame of the overlapped style: 16 wide, 39 high.
constexpr int32_t kFrameWidth = 2 * win::kSizingBorder;
constexpr int32_t kFrameHeight = 2 * win::kSizingBorder + win::kCaptionHeight;

Rect Constrained(uintptr_t edge, Rect rect, uint32_t style = kFramed)
{
    ConstrainSizingRect(edge, rect, style, 0);
    return rect;
}
} // namespace

TEST(GameWindowSizingTest, SideEdgesKeepTheirOppositeSideAndSetTheOtherDimension)
{
    // Client 1000 x 300 dragged by the right edge: height follows the width at 9/16.
    const Rect wide{100, 50, 100 + 1000 + kFrameWidth, 50 + 300 + kFrameHeight};
    EXPECT_EQ(Constrained(win::kEdgeRight, wide), (Rect{100, 50, 100 + 1000 + kFrameWidth, 50 + 562 + kFrameHeight}));
    EXPECT_EQ(Constrained(win::kEdgeLeft, wide),
              (Rect{wide.right - 1000 - kFrameWidth, 50, wide.right, 50 + 562 + kFrameHeight}));

    // Client 900 x 700 dragged by the bottom or top edge: width follows the height at 16/9.
    const Rect tall{0, 0, 900 + kFrameWidth, 700 + kFrameHeight};
    EXPECT_EQ(Constrained(win::kEdgeBottom, tall), (Rect{0, 0, 1244 + kFrameWidth, 700 + kFrameHeight}));
    EXPECT_EQ(Constrained(win::kEdgeTop, tall), (Rect{0, tall.bottom - 700 - kFrameHeight, 1244 + kFrameWidth, tall.bottom}));
}

TEST(GameWindowSizingTest, CornersFollowTheLargerSideAndMoveOnlyTheirOwnEdges)
{
    // Taller than 16:9 (1000 x 700): the width grows to 1244.
    const Rect tall{200, 200, 200 + 1000 + kFrameWidth, 200 + 700 + kFrameHeight};
    const int32_t w = 1244 + kFrameWidth;
    const int32_t h = 700 + kFrameHeight;
    EXPECT_EQ(Constrained(win::kEdgeBottomRight, tall), (Rect{200, 200, 200 + w, 200 + h}));
    EXPECT_EQ(Constrained(win::kEdgeBottomLeft, tall), (Rect{tall.right - w, 200, tall.right, 200 + h}));
    EXPECT_EQ(Constrained(win::kEdgeTopRight, tall), (Rect{200, tall.bottom - h, 200 + w, tall.bottom}));
    EXPECT_EQ(Constrained(win::kEdgeTopLeft, tall), (Rect{tall.right - w, tall.bottom - h, tall.right, tall.bottom}));

    // Wider than 16:9 (1600 x 500): the height grows to 900.
    const Rect wide{0, 0, 1600 + kFrameWidth, 500 + kFrameHeight};
    EXPECT_EQ(Constrained(win::kEdgeBottomRight, wide), (Rect{0, 0, 1600 + kFrameWidth, 900 + kFrameHeight}));
}

TEST(GameWindowSizingTest, TheClientAreaNeverShrinksBelowTheMinimum)
{
    const Rect tiny{10, 10, 60, 60};
    EXPECT_EQ(Constrained(win::kEdgeBottomRight, tiny), (Rect{10, 10, 10 + 800 + kFrameWidth, 10 + 450 + kFrameHeight}));
    EXPECT_EQ(Constrained(win::kEdgeRight, tiny, win::kStylePopup), (Rect{10, 10, 810, 460})) << "no frame on a pop-up";
    EXPECT_EQ(Constrained(win::kEdgeBottom, tiny), (Rect{10, 10, 10 + 800 + kFrameWidth, 10 + 450 + kFrameHeight}))
        << "a bottom edge dragged too far up stops at the minimum height";
    const Rect untouched{1, 2, 3, 4};
    EXPECT_EQ(Constrained(9, untouched), untouched) << "an unknown edge leaves the rectangle";
    EXPECT_EQ(Constrained(0, untouched), untouched);
}
