#include "platform/window/Display.h"

#include "platform/gpu/GpuEnvironment.h"
#include "platform/window/WindowState.h"

#include <algorithm>

namespace win
{
namespace detail
{
DisplayState& GetDisplay()
{
    DisplayState& display = GetState().display;
    if (display.loaded)
        return display;
    const gpu::DisplayConfig config = gpu::GetDisplayConfig();
    display.loaded = true;
    display.start = {kModeBitsPerPixel | kModeWidth | kModeHeight | kModeFrequency, config.desktopWidth,
                     config.desktopHeight, 32, config.desktopRefreshRate};
    display.current = display.start;
    display.modes.clear();
    for (const gpu::DisplayMode& mode : config.modes)
    {
        const bool known = std::any_of(display.modes.begin(), display.modes.end(), [&](const DisplayMode& m) {
            return m.width == mode.width && m.height == mode.height && m.frequency == mode.refreshRate;
        });
        if (!known)
            display.modes.push_back({display.start.fields, mode.width, mode.height, 32, mode.refreshRate});
    }
    if (display.modes.empty())
        display.modes.push_back(display.start);
    return display;
}

void ResetDisplay() { GetState().display = DisplayState(); }
} // namespace detail

namespace
{
// The graphics stand-in's display follows the desktop, so both report one size.
void ShareDesktopSize(uint32_t width, uint32_t height)
{
    gpu::DisplayConfig config = gpu::GetDisplayConfig();
    config.desktopWidth = width;
    config.desktopHeight = height;
    gpu::SetDisplayConfig(config);
}
} // namespace

bool EnumDisplaySettings(uint32_t index, DisplayMode& mode)
{
    const detail::DisplayState& display = detail::GetDisplay();
    if (index == kEnumCurrentSettings)
    {
        mode = display.current;
        return true;
    }
    if (index >= display.modes.size())
        return false;
    mode = display.modes[index];
    return true;
}

int32_t ChangeDisplaySettings(const DisplayMode* mode, uint32_t flags)
{
    (void)flags;
    detail::DisplayState& display = detail::GetDisplay();
    if (display.failuresPlanned > 0)
    {
        --display.failuresPlanned;
        return kDisplayChangeFailed;
    }
    DisplayMode next = display.start;
    if (mode != nullptr)
    {
        next = display.current;
        if (mode->fields & kModeWidth)
            next.width = mode->width;
        if (mode->fields & kModeHeight)
            next.height = mode->height;
        if (mode->fields & kModeFrequency)
            next.frequency = mode->frequency;
        const bool offered =
            (next.width == display.start.width && next.height == display.start.height) ||
            std::any_of(display.modes.begin(), display.modes.end(),
                        [&](const DisplayMode& m) { return m.width == next.width && m.height == next.height; });
        if (!offered)
            return kDisplayChangeBadMode;
    }
    display.current = next;
    ++display.changes;
    ShareDesktopSize(next.width, next.height);
    return kDisplayChangeSuccessful;
}

int32_t GetSystemMetrics(int32_t index)
{
    const detail::DisplayState& display = detail::GetDisplay();
    if (index == kMetricScreenWidth)
        return int32_t(display.current.width);
    if (index == kMetricScreenHeight)
        return int32_t(display.current.height);
    return 0;
}

void FailDisplayChanges(uint32_t count) { detail::GetDisplay().failuresPlanned = count; }

uint32_t GetDisplayChangeCount() { return detail::GetDisplay().changes; }
} // namespace win
