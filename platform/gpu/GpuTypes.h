// Numbers and plain records of the graphics device stand-in. Numbers that the renderer's callers
// or data files carry (formats, usages, pools, element types, comparison, blend, stencil, cull,
// clear and lock values, behaviour flags) keep the platform's numbering; the rest are our own.
// Plain data: any thread.
#pragma once

#include <cstdint>

namespace gpu
{
// Answers of device calls.
using Result = uint32_t;
constexpr Result kOk = 0;
constexpr Result kNotReady = 1; // a query's data is not yet available
constexpr Result kErrDeviceLost = 0x88760868u;
constexpr Result kErrInvalidCall = 0x88761001u;
constexpr Result kErrOutOfVideoMemory = 0x88761002u;
constexpr Result kErrDriverInternalError = 0x88761003u;
constexpr Result kErrDeviceRemoved = 0x88761004u;
constexpr Result kErrNotAvailable = 0x88761005u;
constexpr Result kErrCompile = 0x88761006u;
inline bool Succeeded(Result r) { return (r & 0x80000000u) == 0; }
const char* ResultName(Result r);

constexpr uint32_t MakeFourCC(char a, char b, char c, char d)
{
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}

// Surface formats.
using Format = uint32_t;
constexpr Format kFormatUnknown = 0;
constexpr Format kFormatR8G8B8 = 20;
constexpr Format kFormatA8R8G8B8 = 21;
constexpr Format kFormatX8R8G8B8 = 22;
constexpr Format kFormatR5G6B5 = 23;
constexpr Format kFormatA4R4G4B4 = 26;
constexpr Format kFormatA8 = 28;
constexpr Format kFormatA2R10G10B10 = 35;
constexpr Format kFormatL8 = 50;
constexpr Format kFormatA8L8 = 51;
constexpr Format kFormatD24S8 = 75;
constexpr Format kFormatD16 = 80;
constexpr Format kFormatVertexData = 100;
constexpr Format kFormatIndex16 = 101;
constexpr Format kFormatIndex32 = 102;
constexpr Format kFormatG16R16F = 112;
constexpr Format kFormatA16B16G16R16F = 113;
constexpr Format kFormatR32F = 114;
constexpr Format kFormatDXT1 = MakeFourCC('D', 'X', 'T', '1');
constexpr Format kFormatDXT3 = MakeFourCC('D', 'X', 'T', '3');
constexpr Format kFormatDXT5 = MakeFourCC('D', 'X', 'T', '5');
constexpr Format kFormatINTZ = MakeFourCC('I', 'N', 'T', 'Z'); // depth-stencil readable as a texture
constexpr Format kFormatRAWZ = MakeFourCC('R', 'A', 'W', 'Z'); // depth readable as a texture

// Resource usage bits.
constexpr uint32_t kUsageRenderTarget = 0x1;
constexpr uint32_t kUsageDepthStencil = 0x2;
constexpr uint32_t kUsageWriteOnly = 0x8;
constexpr uint32_t kUsageDynamic = 0x200;
constexpr uint32_t kUsageAutoGenMipMap = 0x400;
// CheckDeviceFormat only: can the format take sRGB-converted writes.
constexpr uint32_t kUsageQuerySrgbWrite = 0x40000;

// Memory pools.
using Pool = uint32_t;
constexpr Pool kPoolDefault = 0;
constexpr Pool kPoolManaged = 1;
constexpr Pool kPoolSystemMem = 2;
constexpr Pool kPoolScratch = 3;

// Resource types (also the answer of a description's type field).
constexpr uint32_t kResourceSurface = 1;
constexpr uint32_t kResourceTexture = 3;
constexpr uint32_t kResourceCubeTexture = 5;
constexpr uint32_t kResourceVertexBuffer = 6;
constexpr uint32_t kResourceIndexBuffer = 7;

// Lock flags.
constexpr uint32_t kLockReadOnly = 0x10;
constexpr uint32_t kLockNoOverwrite = 0x1000;
constexpr uint32_t kLockDiscard = 0x2000;

// Clear flags.
constexpr uint32_t kClearTarget = 0x1;
constexpr uint32_t kClearDepth = 0x2;
constexpr uint32_t kClearStencil = 0x4;

// Device behaviour flags.
constexpr uint32_t kCreateMultithreaded = 0x4;
constexpr uint32_t kCreatePureDevice = 0x10;
constexpr uint32_t kCreateSoftwareVertexProcessing = 0x20;
constexpr uint32_t kCreateHardwareVertexProcessing = 0x40;

constexpr uint32_t kAdapterDefault = 0;
constexpr uint32_t kDeviceTypeHal = 1;
constexpr uint32_t kSdkVersion = 32;

// Swap effects and presentation intervals.
constexpr uint32_t kSwapEffectDiscard = 1;
constexpr uint32_t kPresentIntervalDefault = 0;
constexpr uint32_t kPresentIntervalOne = 1;
constexpr uint32_t kPresentIntervalImmediate = 0x80000000u;
constexpr uint32_t kPresentFlagLockableBackBuffer = 0x1;

// Multisample types: the sample count (0 none).
constexpr uint32_t kMultisampleNone = 0;

// Comparison functions.
constexpr uint32_t kCmpNever = 1;
constexpr uint32_t kCmpLess = 2;
constexpr uint32_t kCmpEqual = 3;
constexpr uint32_t kCmpLessEqual = 4;
constexpr uint32_t kCmpGreater = 5;
constexpr uint32_t kCmpNotEqual = 6;
constexpr uint32_t kCmpGreaterEqual = 7;
constexpr uint32_t kCmpAlways = 8;

// Stencil operations.
constexpr uint32_t kStencilKeep = 1;
constexpr uint32_t kStencilZero = 2;
constexpr uint32_t kStencilReplace = 3;
constexpr uint32_t kStencilIncrSat = 4;
constexpr uint32_t kStencilDecrSat = 5;
constexpr uint32_t kStencilInvert = 6;
constexpr uint32_t kStencilIncr = 7;
constexpr uint32_t kStencilDecr = 8;

// Blend factors and operations.
// The platform numbers source colour 3 and its inverse 4: a multiply (zero, source colour) written
// with 4 would darken by the inverse of the source instead.
constexpr uint32_t kBlendZero = 1;
constexpr uint32_t kBlendOne = 2;
constexpr uint32_t kBlendSrcColor = 3;
constexpr uint32_t kBlendInvSrcColor = 4;
constexpr uint32_t kBlendSrcAlpha = 5;
constexpr uint32_t kBlendInvSrcAlpha = 6;
constexpr uint32_t kBlendDestColor = 9;
constexpr uint32_t kBlendSrcAlphaSat = 11;
constexpr uint32_t kBlendOpAdd = 1;
constexpr uint32_t kBlendOpSubtract = 2;
constexpr uint32_t kBlendOpRevSubtract = 3;
constexpr uint32_t kBlendOpMin = 4;
constexpr uint32_t kBlendOpMax = 5;

// Cull modes.
constexpr uint32_t kCullNone = 1;
constexpr uint32_t kCullClockwise = 2;
constexpr uint32_t kCullCounterClockwise = 3;

// Texture addressing and filtering (sampler state values).
constexpr uint32_t kAddressWrap = 1;
constexpr uint32_t kAddressMirror = 2;
constexpr uint32_t kAddressClamp = 3;
constexpr uint32_t kAddressBorder = 4;
constexpr uint32_t kFilterNone = 0;
constexpr uint32_t kFilterPoint = 1;
constexpr uint32_t kFilterLinear = 2;
// Minification: taps along the footprint's longer axis, at most the stage's max anisotropy; as a
// magnification filter or with a max anisotropy of 1 it filters linearly.
constexpr uint32_t kFilterAnisotropic = 3;

// Query types and their flags.
constexpr uint32_t kQueryEvent = 8;
constexpr uint32_t kIssueEnd = 0x1;
constexpr uint32_t kIssueBegin = 0x2;
constexpr uint32_t kGetDataFlush = 0x1;

// Primitive types.
constexpr uint32_t kPrimitivePointList = 1;
constexpr uint32_t kPrimitiveLineList = 2;
constexpr uint32_t kPrimitiveLineStrip = 3;
constexpr uint32_t kPrimitiveTriangleList = 4;
constexpr uint32_t kPrimitiveTriangleStrip = 5;
constexpr uint32_t kPrimitiveTriangleFan = 6;

// Fixed vertex formats (FVF bits).
constexpr uint32_t kFvfXyz = 0x002;
constexpr uint32_t kFvfTex1 = 0x100;

// Vertex element types, methods and usages (the 8-byte element layout data files carry).
constexpr uint8_t kDeclFloat1 = 0;
constexpr uint8_t kDeclFloat2 = 1;
constexpr uint8_t kDeclFloat3 = 2;
constexpr uint8_t kDeclFloat4 = 3;
constexpr uint8_t kDeclColor = 4;
constexpr uint8_t kDeclUByte4 = 5;
constexpr uint8_t kDeclShort2 = 6;
constexpr uint8_t kDeclShort4 = 7;
constexpr uint8_t kDeclUByte4N = 8;
constexpr uint8_t kDeclShort2N = 9;
constexpr uint8_t kDeclShort4N = 10;
constexpr uint8_t kDeclUShort2N = 11;
constexpr uint8_t kDeclUShort4N = 12;
constexpr uint8_t kDeclUDec3 = 13;
constexpr uint8_t kDeclDec3N = 14;
constexpr uint8_t kDeclFloat16x2 = 15;
constexpr uint8_t kDeclFloat16x4 = 16;
constexpr uint8_t kDeclUnused = 17;
constexpr uint8_t kDeclMethodDefault = 0;
constexpr uint8_t kDeclUsagePosition = 0;
constexpr uint8_t kDeclUsageBlendWeight = 1;
constexpr uint8_t kDeclUsageBlendIndices = 2;
constexpr uint8_t kDeclUsageNormal = 3;
constexpr uint8_t kDeclUsagePSize = 4;
constexpr uint8_t kDeclUsageTexCoord = 5;
constexpr uint8_t kDeclUsageTangent = 6;
constexpr uint8_t kDeclUsageBinormal = 7;
constexpr uint8_t kDeclUsageTessFactor = 8;
constexpr uint8_t kDeclUsagePositionT = 9;
constexpr uint8_t kDeclUsageColor = 10;
constexpr uint8_t kDeclUsageFog = 11;
constexpr uint8_t kDeclUsageDepth = 12;
constexpr uint8_t kDeclUsageSample = 13;
constexpr uint16_t kDeclEndStream = 0xFF;
constexpr uint32_t kMaxVertexElements = 65; // end marker included

// One vertex element; in files and in memory it is 8 bytes in this order.
struct VertexElement
{
    uint16_t stream;
    uint16_t offset;
    uint8_t type;
    uint8_t method;
    uint8_t usage;
    uint8_t usageIndex;
};
static_assert(sizeof(VertexElement) == 8);
constexpr VertexElement kDeclEnd = {kDeclEndStream, 0, kDeclUnused, 0, 0, 0};

// Stream source frequency (instancing): the high bits select the role of the divider.
constexpr uint32_t kStreamIndexedData = 0x40000000u;
constexpr uint32_t kStreamInstanceData = 0x80000000u;

// Render states (our own dense numbering).
enum RenderState : uint32_t
{
    kRsZEnable,
    kRsZWriteEnable,
    kRsZFunc,
    kRsCullMode,
    kRsAlphaTestEnable,
    kRsAlphaFunc,
    kRsAlphaRef,
    kRsAlphaBlendEnable,
    kRsBlendOp,
    kRsSrcBlend,
    kRsDestBlend,
    kRsSeparateAlphaBlendEnable,
    kRsBlendOpAlpha,
    kRsSrcBlendAlpha,
    kRsDestBlendAlpha,
    kRsStencilEnable,
    kRsStencilFunc,
    kRsStencilRef,
    kRsStencilMask,
    kRsStencilWriteMask,
    kRsStencilFail,
    kRsStencilZFail,
    kRsStencilPass,
    kRsColorWriteEnable,
    kRsDepthBias,           // float bits
    kRsSlopeScaleDepthBias, // float bits
    kRsScissorTestEnable,
    kRsSrgbWriteEnable,
    kRsLighting,
    kRsColorVertex,
    kRsPointSize, // float bits
    // Two-sided stencil: with the mode on, counter-clockwise (back-facing) triangles take these four
    // instead of the stencil function and operations above; reference and masks are shared.
    kRsTwoSidedStencilMode,
    kRsCcwStencilFail,
    kRsCcwStencilZFail,
    kRsCcwStencilPass,
    kRsCcwStencilFunc,
    kRenderStateCount
};

// Sampler states (our own dense numbering).
enum SamplerState : uint32_t
{
    kSsAddressU,
    kSsAddressV,
    kSsAddressW,
    kSsBorderColor,
    kSsMagFilter,
    kSsMinFilter,
    kSsMipFilter,
    kSsMipMapLodBias,
    kSsMaxMipLevel,
    kSsMaxAnisotropy,
    kSsSrgbTexture,
    kSamplerStateCount
};

constexpr uint32_t kSamplerCount = 16;
constexpr uint32_t kStreamCount = 16;
constexpr uint32_t kRenderTargetCount = 4;
constexpr uint32_t kVertexConstantRegisters = 256;
constexpr uint32_t kPixelConstantRegisters = 224;
constexpr uint32_t kCubeFaceCount = 6;

struct Rect
{
    int32_t left, top, right, bottom;
};

struct Viewport
{
    uint32_t x, y, width, height;
    float minZ, maxZ;
};

struct LockedRect
{
    int32_t pitch; // bytes per row (per block row for compressed formats)
    void* bits;
};

struct DisplayMode
{
    uint32_t width, height, refreshRate;
    Format format;
};

struct GammaRamp
{
    uint16_t red[256], green[256], blue[256];
};

// The 14 fields of a swap chain's parameters.
struct PresentParameters
{
    uint32_t backBufferWidth;
    uint32_t backBufferHeight;
    Format backBufferFormat;
    uint32_t backBufferCount;
    uint32_t multiSampleType;
    uint32_t multiSampleQuality;
    uint32_t swapEffect;
    void* deviceWindow;
    uint32_t windowed;
    uint32_t enableAutoDepthStencil;
    Format autoDepthStencilFormat;
    uint32_t flags;
    uint32_t fullScreenRefreshRate;
    uint32_t presentationInterval;
};

struct SurfaceDesc
{
    Format format;
    uint32_t type; // kResourceSurface
    uint32_t usage;
    Pool pool;
    uint32_t multiSampleType;
    uint32_t multiSampleQuality;
    uint32_t width, height;
};

struct VertexBufferDesc
{
    Format format;
    uint32_t type;
    uint32_t usage;
    Pool pool;
    uint32_t size; // bytes
    uint32_t fvf;
};

struct IndexBufferDesc
{
    Format format;
    uint32_t type;
    uint32_t usage;
    Pool pool;
    uint32_t size; // bytes
};

// Colour as four floats, each 0..1 for normalised formats.
struct Color4f
{
    float r, g, b, a;
};
} // namespace gpu
