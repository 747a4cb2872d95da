// Test TGA images: uncompressed true-colour files in any of the four row and column orders the
// descriptor can name, written field by field. Any thread; no shared state.
#pragma once

#include <cstdint>
#include <vector>

// An image as it is seen (row 0 at the top, column 0 on the left) and how the file stores it.
struct TgaSpec
{
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels; // 0xAARRGGBB, width x height, top row first, left column first
    uint8_t depth = 32;           // 24 drops the alpha
    bool topFirst = false;        // descriptor bit 5: rows stored top row first
    bool rightFirst = false;      // descriptor bit 4: columns stored right to left
};

namespace TgaWriter
{
constexpr uint8_t kRightToLeft = 0x10;
constexpr uint8_t kTopToBottom = 0x20;
// The file image; empty (with a message on stderr) when the description is inconsistent.
std::vector<uint8_t> EncodeTga(const TgaSpec& spec);
} // namespace TgaWriter
