#include "platform/window/Cursor.h"

#include "platform/window/Display.h"
#include "platform/window/WindowState.h"

#include <algorithm>

namespace win
{
namespace
{
// The arrow is a shared system cursor: never destroyed, never in the image table.
const CursorHandle kArrowCursor = reinterpret_cast<CursorHandle>(uintptr_t(0x7F00));

detail::CursorState& Cursor() { return detail::GetState().cursor; }

// The area the cursor may be in: the desktop, narrowed by the clip.
Rect CursorArea()
{
    Rect area = {0, 0, GetSystemMetrics(kMetricScreenWidth), GetSystemMetrics(kMetricScreenHeight)};
    const detail::CursorState& cursor = Cursor();
    if (cursor.clipped)
    {
        area.left = std::max(area.left, cursor.clip.left);
        area.top = std::max(area.top, cursor.clip.top);
        area.right = std::min(area.right, cursor.clip.right);
        area.bottom = std::min(area.bottom, cursor.clip.bottom);
    }
    return area;
}

void KeepInside(Point& point)
{
    const Rect area = CursorArea();
    point.x = std::clamp(point.x, area.left, std::max(area.left, area.right - 1));
    point.y = std::clamp(point.y, area.top, std::max(area.top, area.bottom - 1));
}
} // namespace

namespace detail
{
void ResetCursor() { GetState().cursor = CursorState(); }
} // namespace detail

int32_t ShowCursor(bool show)
{
    Cursor().displayCount += show ? 1 : -1;
    return Cursor().displayCount;
}

int32_t GetCursorDisplayCount() { return Cursor().displayCount; }

bool SetCursorPos(int32_t x, int32_t y)
{
    Point point{x, y};
    KeepInside(point);
    Cursor().position = point;
    return true;
}

bool GetCursorPos(Point& point)
{
    point = Cursor().position;
    return true;
}

bool ClipCursor(const Rect* rect)
{
    detail::CursorState& cursor = Cursor();
    cursor.clipped = rect != nullptr;
    if (rect != nullptr)
        cursor.clip = *rect;
    KeepInside(cursor.position);
    return true;
}

bool GetClipCursor(Rect& rect)
{
    if (!Cursor().clipped)
        return false;
    rect = Cursor().clip;
    return true;
}

CursorHandle LoadArrowCursor() { return kArrowCursor; }

CursorHandle CreateCursor(const CursorImage& image)
{
    const size_t pixels = size_t(image.width) * image.height;
    if (pixels == 0 || image.mask.size() != pixels || image.colour.size() != pixels)
        return nullptr;
    detail::CursorState& cursor = Cursor();
    const uintptr_t id = cursor.nextId;
    cursor.nextId += 2;
    cursor.images[id] = std::make_unique<CursorImage>(image);
    return reinterpret_cast<CursorHandle>(id);
}

bool DestroyCursor(CursorHandle handle)
{
    detail::CursorState& cursor = Cursor();
    if (cursor.images.erase(reinterpret_cast<uintptr_t>(handle)) == 0)
        return false;
    if (cursor.current == handle)
        cursor.current = nullptr;
    return true;
}

CursorHandle SetCursor(CursorHandle handle)
{
    detail::CursorState& cursor = Cursor();
    const CursorHandle previous = cursor.current;
    const bool known = handle == nullptr || handle == kArrowCursor ||
                       cursor.images.count(reinterpret_cast<uintptr_t>(handle)) != 0;
    if (known)
        cursor.current = handle;
    return previous;
}

CursorHandle GetCursor() { return Cursor().current; }

const CursorImage* GetCursorImage(CursorHandle handle)
{
    const auto& images = Cursor().images;
    const auto found = images.find(reinterpret_cast<uintptr_t>(handle));
    return found != images.end() ? found->second.get() : nullptr;
}

uint32_t GetLiveCursorCount() { return uint32_t(Cursor().images.size()); }
} // namespace win
