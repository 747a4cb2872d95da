// Navigation grids for tests: grid blocks laid out byte by byte, and grids loaded from the text maps
// of tools/datakit ('.' passable, '#' blocked, '~' no ground; the first line is row 0).
#pragma once

#include "gameplay/navigation/NavigationGrid.h"
#include "tools/datakit/NavigationMapText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// A navigation grid block: magic, version, width, height, origin, tile size, then the tiles.
inline std::vector<uint8_t> NavigationGridBlock(uint32_t width, uint32_t height, const Vector& origin, float tileSize,
                                                const std::vector<uint8_t>& tiles, uint32_t magic = 0xD8340F9C)
{
    std::vector<uint8_t> bytes;
    const auto u32 = [&bytes](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(uint8_t(v >> (8 * i)));
    };
    const auto f32 = [&u32](float f) {
        uint32_t bits = 0;
        std::memcpy(&bits, &f, 4);
        u32(bits);
    };
    u32(magic);
    u32(1);
    u32(width);
    u32(height);
    f32(origin.x);
    f32(origin.y);
    f32(origin.z);
    f32(origin.w);
    f32(tileSize);
    bytes.insert(bytes.end(), tiles.begin(), tiles.end());
    return bytes;
}

// Loads a text map into `grid`; tile (x, y) sits at origin + tileSize x (x, 0, y).
inline void LoadMap(NavigationGrid& grid, const std::string& map, float tileSize = 1.0f,
                    const Vector& origin = Vector(0.0f, 0.0f, 0.0f, 1.0f))
{
    SceneNavigationGrid parsed;
    std::string error;
    ASSERT_TRUE(NavigationMapText::Parse(map, parsed, error)) << error;
    const std::vector<uint8_t> block = NavigationGridBlock(parsed.width, parsed.height, origin, tileSize, parsed.cells);
    ASSERT_EQ(grid.Load(block.data(), block.size(), true), block.size());
}
