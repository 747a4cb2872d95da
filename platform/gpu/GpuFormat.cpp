#include "platform/gpu/GpuFormat.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gpu
{
namespace
{
const FormatInfo kFormats[] = {
    {kFormatR8G8B8, "R8G8B8", FormatKind::Color, 3, false, false},
    {kFormatA8R8G8B8, "A8R8G8B8", FormatKind::Color, 4, true, false},
    {kFormatX8R8G8B8, "X8R8G8B8", FormatKind::Color, 4, false, false},
    {kFormatR5G6B5, "R5G6B5", FormatKind::Color, 2, false, false},
    {kFormatA4R4G4B4, "A4R4G4B4", FormatKind::Color, 2, true, false},
    {kFormatA8, "A8", FormatKind::Color, 1, true, false},
    {kFormatA2R10G10B10, "A2R10G10B10", FormatKind::Color, 4, true, false},
    {kFormatL8, "L8", FormatKind::Color, 1, false, false},
    {kFormatA8L8, "A8L8", FormatKind::Color, 2, true, false},
    {kFormatG16R16F, "G16R16F", FormatKind::Color, 4, false, false},
    {kFormatA16B16G16R16F, "A16B16G16R16F", FormatKind::Color, 8, true, false},
    {kFormatR32F, "R32F", FormatKind::Color, 4, false, false},
    {kFormatDXT1, "DXT1", FormatKind::Compressed, 8, true, false},
    {kFormatDXT3, "DXT3", FormatKind::Compressed, 16, true, false},
    {kFormatDXT5, "DXT5", FormatKind::Compressed, 16, true, false},
    {kFormatD24S8, "D24S8", FormatKind::Depth, 4, false, true},
    {kFormatD16, "D16", FormatKind::Depth, 2, false, false},
    {kFormatINTZ, "INTZ", FormatKind::Depth, 4, false, true},
    {kFormatRAWZ, "RAWZ", FormatKind::Depth, 4, false, true},
};

uint32_t Load(const uint8_t* p, int bytes) { return bytes == 4 ? LoadWord<uint32_t>(p) : LoadWord<uint16_t>(p); }

void Store(uint8_t* p, uint32_t v, int bytes)
{
    if (bytes == 4)
        StoreWord<uint32_t>(p, v);
    else
        StoreWord<uint16_t>(p, uint16_t(v));
}

Color4f Rgb565(uint16_t c)
{
    return {Unorm(c >> 11, 5), Unorm((c >> 5) & 63, 6), Unorm(c & 31, 5), 1.0f};
}

// The colour half of every compressed block; threeColour allows the DXT1 punch-through mode.
void DecodeColourBlock(const uint8_t* block, bool threeColour, Color4f out[16])
{
    const uint16_t c0 = uint16_t(Load(block, 2));
    const uint16_t c1 = uint16_t(Load(block + 2, 2));
    Color4f palette[4] = {Rgb565(c0), Rgb565(c1), {}, {}};
    auto mix = [](const Color4f& a, const Color4f& b, float wa, float wb, float d) {
        return Color4f{(a.r * wa + b.r * wb) / d, (a.g * wa + b.g * wb) / d, (a.b * wa + b.b * wb) / d, 1.0f};
    };
    if (c0 > c1 || !threeColour)
    {
        palette[2] = mix(palette[0], palette[1], 2, 1, 3);
        palette[3] = mix(palette[0], palette[1], 1, 2, 3);
    }
    else
    {
        palette[2] = mix(palette[0], palette[1], 1, 1, 2);
        palette[3] = {0, 0, 0, 0};
    }
    const uint32_t indices = Load(block + 4, 4);
    for (int i = 0; i < 16; ++i)
        out[i] = palette[(indices >> (2 * i)) & 3];
}
} // namespace

const FormatInfo* FindFormat(Format format)
{
    for (const FormatInfo& info : kFormats)
        if (info.format == format)
            return &info;
    return nullptr;
}

const FormatInfo* AllFormats(size_t* count)
{
    *count = sizeof(kFormats) / sizeof(kFormats[0]);
    return kFormats;
}

uint32_t RowPitch(const FormatInfo& info, uint32_t width)
{
    if (info.kind == FormatKind::Compressed)
        return std::max(1u, (width + 3) / 4) * info.blockBytes;
    return width * info.blockBytes;
}

uint32_t RowCount(const FormatInfo& info, uint32_t height)
{
    return info.kind == FormatKind::Compressed ? std::max(1u, (height + 3) / 4) : height;
}

uint16_t FloatToHalf(float value)
{
    uint32_t bits;
    memcpy(&bits, &value, 4);
    const uint16_t sign = uint16_t((bits >> 16) & 0x8000);
    const uint32_t magnitudeBits = bits & 0x7FFFFFFFu;
    if (magnitudeBits > 0x7F800000u)
        return uint16_t(sign | 0x7E00);
    float magnitude;
    memcpy(&magnitude, &magnitudeBits, 4);
    if (magnitude >= 65520.0f)
        return uint16_t(sign | 0x7C00);
    if (magnitude < 0x1p-14f)
        return uint16_t(sign | uint16_t(std::lround(magnitude * 0x1p24f)));
    // Round the 23-bit mantissa to 10 bits, halves away from zero; a carry moves to the exponent, which
    // stays finite: everything from 65520 up became infinity above.
    uint32_t mantissa = ((magnitudeBits & 0x7FFFFFu) + 0x1000u) >> 13;
    uint32_t biased = (magnitudeBits >> 23) - 112;
    if (mantissa == 1024)
    {
        mantissa = 0;
        ++biased;
    }
    return uint16_t(sign | uint16_t(biased << 10) | uint16_t(mantissa));
}

Color4f DecodePixel(const FormatInfo& info, const uint8_t* p)
{
    switch (info.format)
    {
    case kFormatR8G8B8: return {Unorm(p[2], 8), Unorm(p[1], 8), Unorm(p[0], 8), 1.0f};
    case kFormatA8R8G8B8: return UnpackArgb(Load(p, 4));
    case kFormatX8R8G8B8: return UnpackArgb(Load(p, 4) | 0xFF000000u);
    case kFormatR5G6B5: return Rgb565(uint16_t(Load(p, 2)));
    case kFormatA4R4G4B4:
    {
        const uint32_t v = Load(p, 2);
        return {Unorm((v >> 8) & 15, 4), Unorm((v >> 4) & 15, 4), Unorm(v & 15, 4), Unorm(v >> 12, 4)};
    }
    case kFormatA8: return {0, 0, 0, Unorm(p[0], 8)};
    case kFormatA2R10G10B10:
    {
        const uint32_t v = Load(p, 4);
        return {Unorm((v >> 20) & 1023, 10), Unorm((v >> 10) & 1023, 10), Unorm(v & 1023, 10), Unorm(v >> 30, 2)};
    }
    case kFormatL8: return {Unorm(p[0], 8), Unorm(p[0], 8), Unorm(p[0], 8), 1.0f};
    case kFormatA8L8: return {Unorm(p[0], 8), Unorm(p[0], 8), Unorm(p[0], 8), Unorm(p[1], 8)};
    case kFormatG16R16F: return {HalfToFloat(uint16_t(Load(p, 2))), HalfToFloat(uint16_t(Load(p + 2, 2))), 1.0f, 1.0f};
    case kFormatA16B16G16R16F:
        return {HalfToFloat(uint16_t(Load(p, 2))), HalfToFloat(uint16_t(Load(p + 2, 2))),
                HalfToFloat(uint16_t(Load(p + 4, 2))), HalfToFloat(uint16_t(Load(p + 6, 2)))};
    case kFormatR32F:
    {
        float r;
        memcpy(&r, p, 4);
        return {r, 1.0f, 1.0f, 1.0f};
    }
    case kFormatD16: return {Unorm(Load(p, 2), 16), 0, 0, 1.0f};
    case kFormatD24S8:
    case kFormatINTZ:
    case kFormatRAWZ:
    {
        const uint32_t v = Load(p, 4);
        return {Unorm(v >> 8, 24), float(v & 255), 0, 1.0f};
    }
    default: return {0, 0, 0, 0};
    }
}

void EncodePixel(const FormatInfo& info, const Color4f& c, uint8_t* p)
{
    switch (info.format)
    {
    case kFormatR8G8B8:
        p[0] = uint8_t(ToUnorm(c.b, 8));
        p[1] = uint8_t(ToUnorm(c.g, 8));
        p[2] = uint8_t(ToUnorm(c.r, 8));
        break;
    case kFormatA8R8G8B8: Store(p, PackArgb(c), 4); break;
    case kFormatX8R8G8B8: Store(p, PackArgb(c) | 0xFF000000u, 4); break;
    case kFormatR5G6B5: Store(p, ToUnorm(c.r, 5) << 11 | ToUnorm(c.g, 6) << 5 | ToUnorm(c.b, 5), 2); break;
    case kFormatA4R4G4B4:
        Store(p, ToUnorm(c.a, 4) << 12 | ToUnorm(c.r, 4) << 8 | ToUnorm(c.g, 4) << 4 | ToUnorm(c.b, 4), 2);
        break;
    case kFormatA8: p[0] = uint8_t(ToUnorm(c.a, 8)); break;
    case kFormatA2R10G10B10:
        Store(p, ToUnorm(c.a, 2) << 30 | ToUnorm(c.r, 10) << 20 | ToUnorm(c.g, 10) << 10 | ToUnorm(c.b, 10), 4);
        break;
    case kFormatL8: p[0] = uint8_t(ToUnorm(c.r, 8)); break;
    case kFormatA8L8:
        p[0] = uint8_t(ToUnorm(c.r, 8));
        p[1] = uint8_t(ToUnorm(c.a, 8));
        break;
    case kFormatG16R16F:
        Store(p, FloatToHalf(c.r), 2);
        Store(p + 2, FloatToHalf(c.g), 2);
        break;
    case kFormatA16B16G16R16F:
        Store(p, FloatToHalf(c.r), 2);
        Store(p + 2, FloatToHalf(c.g), 2);
        Store(p + 4, FloatToHalf(c.b), 2);
        Store(p + 6, FloatToHalf(c.a), 2);
        break;
    case kFormatR32F: memcpy(p, &c.r, 4); break;
    case kFormatD16: Store(p, ToUnorm(c.r, 16), 2); break;
    case kFormatD24S8:
    case kFormatINTZ:
    case kFormatRAWZ:
        Store(p, ToUnorm(c.r, 24) << 8 | uint32_t(std::clamp(c.g, 0.0f, 255.0f)), 4);
        break;
    default: break;
    }
}

void DecodeBlock(Format format, const uint8_t* block, Color4f out[16])
{
    if (format == kFormatDXT1)
    {
        DecodeColourBlock(block, true, out);
        return;
    }
    DecodeColourBlock(block + 8, false, out);
    if (format == kFormatDXT3)
    {
        for (int i = 0; i < 16; ++i)
            out[i].a = Unorm((block[i / 2] >> (4 * (i & 1))) & 15, 4);
        return;
    }
    const uint32_t a0 = block[0], a1 = block[1];
    float alphas[8] = {Unorm(a0, 8), Unorm(a1, 8)};
    if (a0 > a1)
        for (int i = 1; i < 7; ++i)
            alphas[i + 1] = float((7 - i) * a0 + i * a1) / (7.0f * 255.0f);
    else
    {
        for (int i = 1; i < 5; ++i)
            alphas[i + 1] = float((5 - i) * a0 + i * a1) / (5.0f * 255.0f);
        alphas[6] = 0.0f;
        alphas[7] = 1.0f;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i)
        bits |= uint64_t(block[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i)
        out[i].a = alphas[(bits >> (3 * i)) & 7];
}
} // namespace gpu
