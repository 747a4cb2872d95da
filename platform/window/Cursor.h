// The mouse cursor: its position on the desktop, the display counter, the clip rectangle and
// cursor images made from mask and colour pixels. Main thread only.
#pragma once

#include "platform/window/Window.h"

#include <cstdint>
#include <vector>

namespace win
{
using CursorHandle = void*;

// A cursor image; the mask is one byte a pixel (0 opaque, 0xFF transparent), the colour
// 0x00RRGGBB a pixel, both row by row from the top.
struct CursorImage
{
    int32_t hotX = 0;
    int32_t hotY = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> mask;
    std::vector<uint32_t> colour;
};

// Adds 1 or -1 to the display counter and answers the new value; the cursor shows while it is >= 0.
int32_t ShowCursor(bool show);
int32_t GetCursorDisplayCount();

// Positions are kept inside the desktop and the clip rectangle.
bool SetCursorPos(int32_t x, int32_t y);
bool GetCursorPos(Point& point);
// Null removes the clip.
bool ClipCursor(const Rect* rect);
// False when no clip is set.
bool GetClipCursor(Rect& rect);

// The arrow every class can name as its cursor.
CursorHandle LoadArrowCursor();
// Null when the sizes disagree with the pixels or a side is 0.
CursorHandle CreateCursor(const CursorImage& image);
bool DestroyCursor(CursorHandle cursor);
// Answers the previous cursor.
CursorHandle SetCursor(CursorHandle cursor);
CursorHandle GetCursor();
// The image of a cursor made by CreateCursor; null for others.
const CursorImage* GetCursorImage(CursorHandle cursor);
uint32_t GetLiveCursorCount();
} // namespace win
