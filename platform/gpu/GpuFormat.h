// Surface formats of the graphics stand-in: sizes, pitches, and conversion of single pixels and
// compressed blocks to and from four floats. Pure functions: any thread.
#pragma once

#include "platform/gpu/GpuTypes.h"

#include <cstddef>

namespace gpu
{
enum class FormatKind : uint8_t
{
    Color,
    Compressed,
    Depth,
};

struct FormatInfo
{
    Format format;
    const char* name;
    FormatKind kind;
    uint8_t blockBytes; // bytes per pixel, or per 4x4 block when compressed
    bool hasAlpha;
    bool hasStencil;
};

// Null for formats the stand-in does not know.
const FormatInfo* FindFormat(Format format);
// Every known surface format, for capability tables and tests.
const FormatInfo* AllFormats(size_t* count);

// Bytes per row (per row of blocks when compressed) and the number of such rows.
uint32_t RowPitch(const FormatInfo& info, uint32_t width);
uint32_t RowCount(const FormatInfo& info, uint32_t height);

// One pixel of an uncompressed or depth format. Depth formats give depth in r and the stencil
// value (0..255) in g.
Color4f DecodePixel(const FormatInfo& info, const uint8_t* pixel);
void EncodePixel(const FormatInfo& info, const Color4f& color, uint8_t* pixel);
// One 4x4 block of a compressed format into 16 colours, row by row.
void DecodeBlock(Format format, const uint8_t* block, Color4f out[16]);

// Packed 32-bit colour (alpha in the top byte, then red, green, blue) to floats.
Color4f UnpackArgb(uint32_t argb);
uint32_t PackArgb(const Color4f& color);

float HalfToFloat(uint16_t half);
uint16_t FloatToHalf(float value);
} // namespace gpu
