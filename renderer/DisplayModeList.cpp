#include "renderer/DisplayModeList.h"

#include <algorithm>
#include <cstdlib>

namespace
{
constexpr uint32_t kDesktopWidths[] = {800, 848, 960, 1024, 1280, 1376, 1440, 1680, 1800, 1920};

bool SizeLess(const DisplayModeEntry& a, uint32_t width, uint32_t height)
{
    return a.width != width ? a.width < width : a.height < height;
}
} // namespace

void DisplayModeList::Clear()
{
    m_modes.clear();
    m_desktopSizes.clear();
}

void DisplayModeList::SetDesktop(uint32_t desktopWidth, uint32_t desktopHeight)
{
    m_desktopSizes.clear();
    if (desktopWidth == 0)
        return;
    for (const uint32_t width : kDesktopWidths)
    {
        if (width > desktopWidth)
            break;
        m_desktopSizes.push_back({width, uint32_t(uint64_t(width) * desktopHeight / desktopWidth)});
    }
    if (m_desktopSizes.empty() || m_desktopSizes.back().width != desktopWidth)
        m_desktopSizes.push_back({desktopWidth, desktopHeight});
}

void DisplayModeList::AddMode(const DisplayModeEntry& mode)
{
    if (mode.width < 640 || mode.height < 480)
        return;
    const auto at = std::lower_bound(m_modes.begin(), m_modes.end(), mode, [](const DisplayModeEntry& a, const DisplayModeEntry& b) {
        return SizeLess(a, b.width, b.height);
    });
    if (at != m_modes.end() && at->width == mode.width && at->height == mode.height)
    {
        if (std::abs(int64_t(mode.refreshRate) - 60) < std::abs(int64_t(at->refreshRate) - 60))
            *at = mode;
        return;
    }
    m_modes.insert(at, mode);
}

bool DisplayModeList::FindDisplayMode(uint32_t* width, uint32_t* height, uint32_t* refreshRate) const
{
    if (m_modes.empty())
        return false;
    // The first entry above the request; the one before it is at or below.
    const auto above = std::upper_bound(m_modes.begin(), m_modes.end(), DisplayModeEntry{*width, *height, 0, 0},
                                        [](const DisplayModeEntry& a, const DisplayModeEntry& b) {
                                            return SizeLess(a, b.width, b.height);
                                        });
    const DisplayModeEntry& found = above == m_modes.begin() ? m_modes.front() : *(above - 1);
    *width = found.width;
    *height = found.height;
    if (refreshRate)
        *refreshRate = found.refreshRate;
    return true;
}

bool DisplayModeList::FindDesktopSize(uint32_t* width, uint32_t* height) const
{
    if (m_desktopSizes.empty())
        return false;
    const DesktopSize* found = &m_desktopSizes.front();
    for (const DesktopSize& size : m_desktopSizes)
        if (size.width <= *width && size.height <= *height)
            found = &size;
    *width = found->width;
    *height = found->height;
    return true;
}
