// What the device counts per frame (from one present to the next) and what it records per draw.
// Plain data, filled by the device on its calling thread.
#pragma once

#include "platform/gpu/GpuTypes.h"

#include <vector>

namespace gpu
{
struct FrameStatistics
{
    uint64_t frame = 0; // presents before this frame
    uint32_t drawCalls = 0;
    uint32_t primitives = 0;
    uint32_t renderStateCalls[kRenderStateCount] = {};
    uint32_t samplerStateCalls[kSamplerStateCount] = {};
    uint32_t textureCalls = 0;
    uint32_t vertexShaderCalls = 0;
    uint32_t pixelShaderCalls = 0;
    uint32_t vertexConstantCalls = 0;
    uint32_t pixelConstantCalls = 0;
    uint32_t vertexConstantRegisters = 0; // registers written
    uint32_t pixelConstantRegisters = 0;
    uint32_t refusedConstantWrites = 0; // writes past the register file
    uint32_t renderTargetCalls = 0;
    uint32_t depthStencilCalls = 0;
    uint32_t viewportCalls = 0;
    uint32_t scissorCalls = 0;
    uint32_t declarationCalls = 0;
    uint32_t fvfCalls = 0;
    uint32_t streamSourceCalls = 0;
    uint32_t indexBufferCalls = 0;
    uint32_t clears = 0;
    uint32_t stretchRects = 0;
    uint32_t beginScenes = 0;
    uint32_t endScenes = 0;
    uint32_t gammaRampCalls = 0;
    uint32_t invalidCalls = 0; // calls refused as misuse
    uint32_t drawsWithoutProgram = 0; // draws whose shaders have no stand-in program (drawn flat magenta)
    uint64_t pixelsWritten = 0;       // pixels that passed every test
    // Draws, clears and copies left undone by a device that rasterises only some frames, and pixel
    // work of it that read pixels such a skipped operation should have written.
    uint32_t skippedPixelWork = 0;
    uint32_t staleContentReads = 0;
};

enum class DrawCall : uint8_t
{
    Primitive,
    IndexedPrimitive,
    PrimitiveFromMemory,
    IndexedPrimitiveFromMemory,
};

struct StreamBinding
{
    uint64_t bufferId; // 0 when none
    uint32_t offset;
    uint32_t stride;
    uint32_t frequency;
};

// One register's value at a draw.
struct RegisterValue
{
    uint32_t index;
    float value[4];
};

// One draw with the state it ran under; objects are named by their ids (0 for none).
struct DrawRecord
{
    uint64_t frame;
    DrawCall call;
    uint32_t primitiveType;
    uint32_t primitiveCount;
    uint32_t startVertex;
    int32_t baseVertex;
    uint32_t minIndex;
    uint32_t numVertices;
    uint32_t startIndex;
    uint32_t renderStates[kRenderStateCount];
    uint32_t samplerStates[kSamplerCount][kSamplerStateCount];
    uint64_t textureIds[kSamplerCount];
    uint64_t vertexShaderId;
    uint64_t pixelShaderId;
    uint64_t declarationId;
    uint32_t fvf;
    StreamBinding streams[kStreamCount];
    uint64_t indexBufferId;
    uint64_t renderTargetIds[kRenderTargetCount];
    uint64_t depthStencilId;
    Viewport viewport;
    Rect scissor;
    // The float registers the bound shaders read (from their constant tables), at the draw.
    std::vector<RegisterValue> vertexConstants;
    std::vector<RegisterValue> pixelConstants;
    bool withoutProgram; // drawn flat magenta for want of a stand-in program
    uint64_t pixelsWritten;

    // The value of a register the draw's shader reads; null when it reads no such register.
    const float* VertexConstant(uint32_t index) const { return Find(vertexConstants, index); }
    const float* PixelConstant(uint32_t index) const { return Find(pixelConstants, index); }

private:
    static const float* Find(const std::vector<RegisterValue>& values, uint32_t index)
    {
        for (const RegisterValue& v : values)
            if (v.index == index)
                return v.value;
        return nullptr;
    }
};

enum class SurfaceOp : uint8_t
{
    Clear,
    StretchRect,
};

// A clear or a copy between surfaces, with what it was given.
struct SurfaceOpRecord
{
    SurfaceOp op;
    uint32_t drawsBefore;   // draws of the frame before it, to place it among them
    std::vector<Rect> rects; // Clear: the rectangles given (none: the whole area); StretchRect: source, then destination
    uint64_t targetIds[kRenderTargetCount]; // Clear: the bound targets; StretchRect: the destination first
    uint64_t depthStencilId; // Clear: the bound depth-stencil surface
    uint64_t sourceId;       // StretchRect
    uint32_t flags;          // Clear: what it clears; StretchRect: the filter
    uint32_t color;          // packed ARGB
    float z;
    uint32_t stencil;
};

// A frame keeps at most this many draw records; later draws are counted but not recorded.
constexpr uint32_t kMaxDrawRecordsPerFrame = 4096;
} // namespace gpu
