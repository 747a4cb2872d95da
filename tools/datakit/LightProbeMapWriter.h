// Writes a scene's light probe map ("<scene>.lpd" in "scenes") and its lightmap set
// ("<scene>_lm<n>.texture") for tests and the demo data. Any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class DataRoot;

// What a light probe map file holds: four layers of cells and 18-byte probe records.
struct LightProbeMapSpec
{
    uint16_t width = 0;
    uint16_t height = 0;
    float rectangle[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    // width x height cells per layer; missing cells are written as 0.
    std::vector<uint32_t> cells[4];
    std::vector<std::array<uint8_t, 18>> probes[4];
};

// The file image, little-endian, with the magic and both format words 4.
std::string BuildLightProbeMap(const LightProbeMapSpec& spec);

// Adds a 2x2 lightmap texture in "scenes" for each listed index, named as the engine looks for
// them ("<scene>_lm<n>.texture"); texel colours encode the index so the maps can be told apart.
// False when a texture cannot be built.
bool AddLightmapSet(DataRoot& data, const std::string& scene, const std::vector<uint32_t>& indices);
