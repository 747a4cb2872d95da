// Surface formats of the graphics stand-in: sizes, pitches, and conversion of single pixels and
// compressed blocks to and from four floats. Pure functions: any thread.
#pragma once

#include "platform/gpu/GpuTypes.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

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

// The conversions below run for every texel and pixel the rasteriser touches, so they live here to
// be inlined, and use no library call.

// An n-bit unsigned normalised field as a float, and a float (NaN as 0) back to the nearest step.
inline float Unorm(uint32_t v, uint32_t bits) { return float(v) / float((1u << bits) - 1u); }
inline uint32_t ToUnorm(float f, uint32_t bits)
{
    // In double: with 24 bits, 1.0 * max + 0.5 rounds up to 2^24 in float and wraps the field to 0.
    const double max = double((1u << bits) - 1u);
    const double c = f != f ? 0.0 : f < 0.0f ? 0.0 : f > 1.0f ? 1.0 : double(f);
    return uint32_t(c * max + 0.5);
}

// One little-endian word of pixel memory. Surfaces keep every pixel at a multiple of its size from
// an aligned start, so their words are aligned, which lets a sanitizer build check each as one
// access; memory of unknown alignment (a caller's) is copied as it comes.
template <typename Word> inline Word LoadWord(const uint8_t* p)
{
    Word v;
    if (reinterpret_cast<uintptr_t>(p) % sizeof(Word) == 0)
        std::memcpy(&v, __builtin_assume_aligned(p, sizeof(Word)), sizeof(Word));
    else
        std::memcpy(&v, p, sizeof(Word));
    return v;
}
template <typename Word> inline void StoreWord(uint8_t* p, Word v)
{
    if (reinterpret_cast<uintptr_t>(p) % sizeof(Word) == 0)
        std::memcpy(__builtin_assume_aligned(p, sizeof(Word)), &v, sizeof(Word));
    else
        std::memcpy(p, &v, sizeof(Word));
}

// Packed 32-bit colour (alpha in the top byte, then red, green, blue) to floats.
inline Color4f UnpackArgb(uint32_t argb)
{
    return {Unorm((argb >> 16) & 255, 8), Unorm((argb >> 8) & 255, 8), Unorm(argb & 255, 8), Unorm(argb >> 24, 8)};
}
inline uint32_t PackArgb(const Color4f& c)
{
    return ToUnorm(c.a, 8) << 24 | ToUnorm(c.r, 8) << 16 | ToUnorm(c.g, 8) << 8 | ToUnorm(c.b, 8);
}

// Exact both ways; out-of-range values become infinities, NaN stays NaN.
inline float HalfToFloat(uint16_t half)
{
    const uint32_t exponent = (half >> 10) & 31, mantissa = half & 1023;
    float value;
    if (exponent == 0)
        value = float(mantissa) * 0x1p-24f;
    else if (exponent == 31)
        value = mantissa ? NAN : INFINITY;
    else
    {
        const uint32_t bits = (exponent + 112) << 23 | mantissa << 13;
        std::memcpy(&value, &bits, 4);
    }
    return (half & 0x8000) ? -value : value;
}
uint16_t FloatToHalf(float value);
} // namespace gpu
