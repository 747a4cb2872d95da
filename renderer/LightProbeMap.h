// LightProbeMap: a scene's game light probe map, a grid over a rectangle of the scene with four
// layers, each a cell grid of u32 indices and a list of 18-byte probe records, read from the scene's
// "lpd" file in "scenes". The scene environment owns one and loads or clears it on the render
// thread; the map has no lock of its own. Cells and probes are kept as the file holds them: the
// lighting code that samples them gives them their meaning.
#pragma once

#include "core/math/Vector.h"

#include <cstdint>
#include <vector>

// The light probe map of the current scene.
class LightProbeMap
{
public:
    static constexpr uint32_t kMagic = 0x4C504400;
    static constexpr uint32_t kLayerCount = 4;
    static constexpr uint32_t kHeaderBytes = 44;
    static constexpr uint32_t kProbeBytes = 18;
    static constexpr uint32_t kMaxNameLength = 259;

    LightProbeMap() { Clear(); }
    ~LightProbeMap() { Clear(); }
    LightProbeMap(const LightProbeMap&) = delete;
    LightProbeMap& operator=(const LightProbeMap&) = delete;

    // Empty layers, size 0, rectangle (0, 0, 1, 1).
    void Clear();
    // Reads "<sceneName>.lpd" from "scenes"; false (map empty) when the file is missing, has the
    // wrong header or holds fewer bytes than its counts promise. Only a missing file goes unlogged.
    bool Load(const char* sceneName);

    uint32_t GetWidth() const { return m_width; }
    uint32_t GetHeight() const { return m_height; }
    const Vector& GetRectangle() const { return m_rectangle; }
    // width x height cells of a layer, row by row; empty when nothing is loaded.
    const std::vector<uint32_t>& GetCells(uint32_t layer) const { return m_cells[layer]; }
    // GetProbeCount(layer) records of kProbeBytes each.
    const std::vector<uint8_t>& GetProbes(uint32_t layer) const { return m_probes[layer]; }
    uint32_t GetProbeCount(uint32_t layer) const { return m_probeCounts[layer]; }

private:
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    Vector m_rectangle;
    std::vector<uint32_t> m_cells[kLayerCount];
    std::vector<uint8_t> m_probes[kLayerCount];
    uint32_t m_probeCounts[kLayerCount] = {};
};
