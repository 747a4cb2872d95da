// The display modes offered for full screen and the window sizes offered on the desktop. Filled by
// the thread that creates the device; read by the game thread between resets.
#pragma once

#include <cstdint>
#include <vector>

struct DisplayModeEntry
{
    uint32_t width;
    uint32_t height;
    uint32_t refreshRate;
    uint32_t format;
};

struct DesktopSize
{
    uint32_t width;
    uint32_t height;
};

// Modes sorted by width then height (one per size, the refresh rate closest to 60 Hz), and the
// desktop-size list derived from the desktop's aspect.
class DisplayModeList
{
public:
    void Clear();
    // Builds the desktop-size list for a desktop of this size.
    void SetDesktop(uint32_t desktopWidth, uint32_t desktopHeight);
    // Offers an adapter mode; modes below 640x480 are skipped.
    void AddMode(const DisplayModeEntry& mode);

    // The mode at or below the requested size replaces width and height and gives its refresh rate
    // (the first mode when the request is below all); false when the list is empty.
    bool FindDisplayMode(uint32_t* width, uint32_t* height, uint32_t* refreshRate) const;
    // The last desktop size not above the request in both dimensions (the first when none is).
    bool FindDesktopSize(uint32_t* width, uint32_t* height) const;

    const std::vector<DisplayModeEntry>& Modes() const { return m_modes; }
    const std::vector<DesktopSize>& DesktopSizes() const { return m_desktopSizes; }

private:
    std::vector<DisplayModeEntry> m_modes;
    std::vector<DesktopSize> m_desktopSizes;
};
