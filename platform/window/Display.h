// The desktop and its display modes. The desktop starts as the graphics stand-in's display (its
// size, refresh rate and mode list); a change of display mode changes the desktop the window
// system reports and that display's desktop size with it, and can be made to fail for tests.
// Main thread only.
#pragma once

#include <cstdint>

namespace win
{
// Only the fields this system sets and reads of a display mode record.
struct DisplayMode
{
    uint32_t fields = 0; // which of the fields below a change applies
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bitsPerPixel = 32;
    uint32_t frequency = 0;
};

constexpr uint32_t kModeBitsPerPixel = 0x00040000u;
constexpr uint32_t kModeWidth = 0x00080000u;
constexpr uint32_t kModeHeight = 0x00100000u;
constexpr uint32_t kModeFrequency = 0x00400000u;

constexpr uint32_t kEnumCurrentSettings = 0xFFFFFFFFu;

constexpr int32_t kDisplayChangeSuccessful = 0;
constexpr int32_t kDisplayChangeFailed = -1;
constexpr int32_t kDisplayChangeBadMode = -2;

constexpr int32_t kMetricScreenWidth = 0;
constexpr int32_t kMetricScreenHeight = 1;

// kEnumCurrentSettings gives the mode in force; 0.. the display's modes; false past the end.
bool EnumDisplaySettings(uint32_t index, DisplayMode& mode);
// Applies the width and height the fields name (the others keep their values); a size no mode
// of the display has is refused. Null goes back to the start mode.
int32_t ChangeDisplaySettings(const DisplayMode* mode, uint32_t flags);
int32_t GetSystemMetrics(int32_t index);

// Tests: the next `count` changes fail; how many changes were applied.
void FailDisplayChanges(uint32_t count);
uint32_t GetDisplayChangeCount();
} // namespace win
