// OutlineRenderer: coloured outlines around marked entities (one global object, render thread;
// LoadShaders and ReleaseShaders run on the game thread at engine start-up and shutdown).
//
// Outlined entities write one stencil bit per side (2, 4, 8, 16: hostile, friendly, neutral, hero)
// while the scene draws them. The gathered rendering marks the 40 x 24 screen tiles their boxes
// cover, one bit per outline group; the outline passes then turn the stencil bits into a mask
// ("Generate outlines from stencil"), widen it into the auxiliary target ("Outline dilate") and add
// it over the image ("Render outlines"), each drawing only quads over the marked tiles. The quads
// come from one shared 41 x 25 vertex grid and index lists streamed through a 115200-byte ring:
// written with no-overwrite after what earlier draws use, restarting with a discard when full.
#pragma once

#include "core/math/BoundingBox4.h"
#include "core/math/Matrix.h"
#include "renderer/EntityRenderingContext.h"
#include "renderer/ShaderPair.h"
#include "renderer/SharedGeometry.h"

#include <array>
#include <cstdint>
#include <vector>

class NorvexRenderer;
class RenderTarget;

// Tile marking, index lists and the three outline passes.
class OutlineRenderer
{
public:
    static constexpr uint32_t kTileColumns = 40;
    static constexpr uint32_t kTileRows = 24;
    static constexpr uint32_t kGridColumns = kTileColumns + 1; // vertices per grid row
    // Group 0 takes every marked tile, groups 1 to 4 the tiles of side bits 2, 4, 8 and 16.
    static constexpr uint32_t kGroupCount = 5;
    static constexpr uint32_t kRingBytes = SharedGeometry::kScreenGridRingBytes;
    static constexpr uint32_t kRingAlignment = 32; // bytes between list starts
    static constexpr float kMarginPixels = 3.0f;

    struct Group
    {
        uint32_t quadCount = 0;
        uint32_t firstIndex = 0; // in the ring, in indices
    };

    // Game thread: requests the four shader pairs and resolves them once loaded; releases them.
    void LoadShaders();
    void ReleaseShaders();

    // Command 26: no tile marked, no group listed.
    void Reset();
    // The render-task flush of command 49: marks the tiles of every task whose outline groups
    // (the context's channel mask) meet `groupMask`, then builds the index lists. A mask of 0
    // marks nothing.
    template <typename Task>
    void GatherOutlines(NorvexRenderer& renderer, uint32_t groupMask, uint32_t count, const Task* tasks)
    {
        ClearTiles();
        if (groupMask != 0)
            for (uint32_t i = 0; i < count; ++i)
                MarkContext(renderer, *tasks[i].context, tasks[i].context->GetChannelMask(tasks[i].passFlags) & groupMask);
        BuildIndexLists(renderer);
    }
    // ORs `bits` into the tiles the box covers on screen (world x view-projection), widened by
    // three pixels of a width x height target; a corner behind the camera takes the whole screen.
    void MarkTiles(const BoundingBox4& box, const Matrix& world, uint32_t bits, const Matrix& viewProjection,
                   float width, float height);
    // Lists every group's row runs as quads and copies them into the ring; false when the ring
    // could not be written (the groups are then empty).
    bool BuildIndexLists(NorvexRenderer& renderer);
    // The listing alone: each maximal run of a group's tiles in a row becomes one quad of two
    // triangles over the grid, from the run's first tile through the tile after it (through its last
    // tile when it reaches the row's end). Group starts count from the array's start.
    void ListQuads();
    // "Reconstruct outlines": the mask from the stencil into ping-pong A (B when `useAlternate`),
    // dilated into the auxiliary target; the render target, stencil and depth states come back.
    // With `sceneMultisampled` the stencil is the multisampled depth surface's, read through the
    // multisampled colour surface and resolved into the mask.
    void Reconstruct(NorvexRenderer& renderer, const uint8_t* params, bool useAlternate, bool sceneMultisampled);
    // Command 27: with the renderer's outline switch on and a tile marked, lists the groups again,
    // reconstructs into the alternate mask and adds the outlines over the bound target.
    void Render(NorvexRenderer& renderer, const uint8_t* params);

    uint8_t GetTile(uint32_t column, uint32_t row) const { return m_tiles[row * kTileColumns + column]; }
    uint8_t GetSummary() const { return m_summary; }
    const Group& GetGroup(uint32_t group) const { return m_groups[group]; }
    // The indices last listed (all groups, in group order).
    const std::vector<uint16_t>& GetIndices() const { return m_indices; }
    uint32_t GetRingOffset() const { return m_ringOffset; }

private:
    void ClearTiles();
    void MarkContext(NorvexRenderer& renderer, const EntityRenderingContext& context, uint32_t bits);
    void ListGroup(uint32_t group);
    bool CopyToRing(NorvexRenderer& renderer);
    // Binds the grid, the ring and the pair; false when one of them is missing.
    bool BindGrid(NorvexRenderer& renderer, const ShaderPair& pair);
    void DrawGroup(NorvexRenderer& renderer, uint32_t group);
    void GenerateMask(NorvexRenderer& renderer);
    void GenerateResolvedMask(NorvexRenderer& renderer, const RenderTarget& mask);
    void Dilate(NorvexRenderer& renderer, const uint8_t* params, const RenderTarget& mask);
    void Composite(NorvexRenderer& renderer, const uint8_t* params);

    std::array<uint8_t, kTileColumns * kTileRows> m_tiles = {};
    uint8_t m_summary = 0;
    std::array<Group, kGroupCount> m_groups = {};
    std::vector<uint16_t> m_indices; // the scratch array, grown as needed
    uint32_t m_ringOffset = 0;       // bytes
    uint32_t m_ringGeneration = 0;   // the shared geometry's, when the ring was last written
    ShaderPair m_generate;
    ShaderPair m_dilate;
    ShaderPair m_composite[2]; // plain, then for detail levels below 2
};

extern OutlineRenderer gOutlineRenderer;
