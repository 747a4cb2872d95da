// What the device counts per frame (from one present to the next) and what it records per draw.
// Plain data, filled by the device on its calling thread.
#pragma once

#include "platform/gpu/GpuTypes.h"

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
};

// A frame keeps at most this many draw records; later draws are counted but not recorded.
constexpr uint32_t kMaxDrawRecordsPerFrame = 4096;
} // namespace gpu
