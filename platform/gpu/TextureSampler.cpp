#include "platform/gpu/TextureSampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gpu
{
namespace
{
// Texel index along one axis under an address mode; -1 for the border colour.
int32_t Address(int32_t i, int32_t size, uint32_t mode)
{
    if (i >= 0 && i < size)
        return i;
    switch (mode)
    {
    case kAddressWrap: return ((i % size) + size) % size;
    case kAddressMirror:
    {
        const int32_t period = ((i % (2 * size)) + 2 * size) % (2 * size);
        return period < size ? period : 2 * size - 1 - period;
    }
    case kAddressBorder: return -1;
    default: return std::clamp(i, 0, size - 1);
    }
}

// A texel inside the level; the formats render targets and the demo's textures use are read with one
// load, the rest through the surface.
[[gnu::always_inline]] inline Color4f Fetch(const SampledLevel& level, int32_t x, int32_t y)
{
    const uint8_t* row = level.bits + size_t(y) * level.pitch;
    switch (level.format)
    {
    case kFormatA8R8G8B8:
    case kFormatX8R8G8B8:
    {
        const uint32_t argb = LoadWord<uint32_t>(row + size_t(x) * 4);
        return UnpackArgb(level.format == kFormatX8R8G8B8 ? argb | 0xFF000000u : argb);
    }
    case kFormatA16B16G16R16F:
    {
        const uint64_t halves = LoadWord<uint64_t>(row + size_t(x) * 8);
        return {HalfToFloat(uint16_t(halves)), HalfToFloat(uint16_t(halves >> 16)), HalfToFloat(uint16_t(halves >> 32)),
                HalfToFloat(uint16_t(halves >> 48))};
    }
    default: return level.surface->ReadPixel(uint32_t(x), uint32_t(y));
    }
}

// The texel at addressed coordinates: the border colour when either is -1.
[[gnu::always_inline]] inline Color4f Texel(const SampledLevel& level, int32_t x, int32_t y, uint32_t border)
{
    if (x < 0 || y < 0)
        return UnpackArgb(border);
    return Fetch(level, x, y);
}

[[gnu::always_inline]] inline Color4f Mix(const Color4f& a, const Color4f& b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Color4f SampleLevel(const SampledLevel& level, float u, float v, uint32_t filter, const PreparedSampler& s)
{
    const float fu = u * float(level.width), fv = v * float(level.height);
    // One anisotropic tap filters linearly.
    if (filter != kFilterLinear && filter != kFilterAnisotropic)
    {
        const int32_t x = Address(int32_t(std::floor(fu)), level.width, s.addressU);
        const int32_t y = Address(int32_t(std::floor(fv)), level.height, s.addressV);
        return Texel(level, x < 0 || y < 0 ? -1 : x, x < 0 || y < 0 ? -1 : y, s.border);
    }
    const float su = fu - 0.5f, sv = fv - 0.5f;
    const int32_t iu = int32_t(std::floor(su)), iv = int32_t(std::floor(sv));
    const float tu = su - float(iu), tv = sv - float(iv);
    const int32_t x0 = Address(iu, level.width, s.addressU), x1 = Address(iu + 1, level.width, s.addressU);
    const int32_t y0 = Address(iv, level.height, s.addressV), y1 = Address(iv + 1, level.height, s.addressV);
    // Taps that address the same texel (a one-texel-high table, clamped edges) are read once.
    const Color4f t00 = Texel(level, x0, y0, s.border);
    const Color4f t10 = x1 == x0 ? t00 : Texel(level, x1, y0, s.border);
    const Color4f top = Mix(t00, t10, tu);
    if (y1 == y0 || (y0 < 0 && y1 < 0))
        return Mix(top, top, tv);
    const Color4f t01 = Texel(level, x0, y1, s.border);
    const Color4f t11 = x1 == x0 ? t01 : Texel(level, x1, y1, s.border);
    return Mix(top, Mix(t01, t11, tu), tv);
}

// The sample at a level of detail: the magnification filter up close, else the minification filter
// on the level the mip filter picks or between the two nearest.
Color4f SampleAtLod(const PreparedSampler& s, float u, float v, float lod)
{
    const uint32_t filter = lod <= 0.0f ? s.magFilter : s.minFilter;
    if (s.mipFilter == kFilterNone || s.last == 0 || lod <= 0.0f)
        return SampleLevel(s.levels[s.first], u, v, filter, s);
    const float level = std::clamp(lod, float(s.first), float(s.last));
    if (s.mipFilter != kFilterLinear)
        return SampleLevel(s.levels[uint32_t(std::lround(level))], u, v, filter, s);
    const uint32_t lower = uint32_t(level), upper = std::min(lower + 1, s.last);
    const Color4f a = SampleLevel(s.levels[lower], u, v, filter, s);
    const Color4f b = SampleLevel(s.levels[upper], u, v, filter, s);
    return Mix(a, b, level - float(lower));
}

Color4f Decode(Color4f c, bool srgb)
{
    if (srgb)
    {
        c.r = SrgbToLinear(c.r);
        c.g = SrgbToLinear(c.g);
        c.b = SrgbToLinear(c.b);
    }
    return c;
}
} // namespace

float SrgbToLinear(float value)
{
    return value <= 0.04045f ? value / 12.92f : std::pow((value + 0.055f) / 1.055f, 2.4f);
}

float LinearToSrgb(float value)
{
    value = std::clamp(value, 0.0f, 1.0f);
    return value <= 0.0031308f ? value * 12.92f : 1.055f * std::pow(value, 1.0f / 2.4f) - 0.055f;
}

void PrepareSampler(const SamplerView& view, PreparedSampler* out)
{
    *out = PreparedSampler();
    out->texture = view.texture;
    out->states = view.states;
    const GpuBaseTexture* texture = view.texture;
    if (!texture || texture->GetFaceCount() != 1 || !view.states)
        return;
    const uint32_t* states = view.states;
    out->usable = true;
    out->srgb = states[kSsSrgbTexture] != 0;
    out->addressU = states[kSsAddressU];
    out->addressV = states[kSsAddressV];
    out->border = states[kSsBorderColor];
    out->magFilter = states[kSsMagFilter];
    out->minFilter = states[kSsMinFilter];
    out->mipFilter = states[kSsMipFilter];
    out->last = std::min(texture->GetLevelCount(), kMaxSampledLevels) - 1;
    out->first = std::min(states[kSsMaxMipLevel], out->last);
    out->width = float(texture->GetWidth());
    out->height = float(texture->GetHeight());
    float bias;
    memcpy(&bias, &states[kSsMipMapLodBias], 4);
    out->bias = std::isfinite(bias) ? bias : 0.0f;
    out->maxTaps = out->minFilter == kFilterAnisotropic ? std::clamp(states[kSsMaxAnisotropy], 1u, 16u) : 1u;
    // The level of detail only picks the filter, the level and the taps: without a choice it is not
    // worked out.
    out->needsLod = out->magFilter != out->minFilter || (out->mipFilter != kFilterNone && out->last != 0) ||
                    out->maxTaps > 1;
    for (uint32_t i = 0; i <= out->last; ++i)
    {
        const GpuSurface& level = *texture->PeekSurface(0, i);
        out->levels[i] = {&level, level.Bits(), level.Pitch(), int32_t(level.Desc().width),
                          int32_t(level.Desc().height), level.Desc().format};
    }
}

Color4f Sample2D(const PreparedSampler& s, float u, float v, const float dx[2], const float dy[2])
{
    if (!s.usable || !(std::isfinite(u) && std::isfinite(v)))
        return {0, 0, 0, 1};
    if (!s.needsLod)
        return Decode(SampleLevel(s.levels[s.first], u, v, s.magFilter, s), s.srgb);
    // The pixel's footprint in texels along the screen's x and y; the longer step, squared, gives
    // the level of detail (half its base-2 logarithm).
    const float ux = dx[0] * s.width, vx = dx[1] * s.height, uy = dy[0] * s.width, vy = dy[1] * s.height;
    const float alongX = ux * ux + vx * vx, alongY = uy * uy + vy * vy;
    float rho2 = std::max(alongX, alongY);
    // Anisotropic minification: taps spread over the longer axis, each as wide as the shorter one
    // (at most the max anisotropy of them), so the level follows the footprint's width.
    uint32_t taps = 1;
    if (s.maxTaps > 1 && rho2 > 1.0f)
    {
        const float minor2 = std::min(alongX, alongY);
        const float ratio = minor2 > 0.0f ? std::sqrt(rho2 / minor2) : float(s.maxTaps);
        taps = std::min(uint32_t(std::ceil(ratio - 1e-4f)), s.maxTaps);
        rho2 /= float(taps * taps);
    }
    const float lod = (rho2 > 0.0f ? 0.5f * std::log2(rho2) : -100.0f) + s.bias;
    if (taps == 1)
        return Decode(SampleAtLod(s, u, v, lod), s.srgb);
    const float* major = alongX >= alongY ? dx : dy;
    Color4f sum = {0.0f, 0.0f, 0.0f, 0.0f};
    for (uint32_t i = 0; i < taps; ++i)
    {
        const float t = (float(i) + 0.5f) / float(taps) - 0.5f;
        const Color4f c = SampleAtLod(s, u + major[0] * t, v + major[1] * t, lod);
        sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b, sum.a + c.a};
    }
    const float k = 1.0f / float(taps);
    return Decode({sum.r * k, sum.g * k, sum.b * k, sum.a * k}, s.srgb);
}

Color4f Sample2D(const SamplerView& sampler, float u, float v, const float dx[2], const float dy[2])
{
    PreparedSampler prepared;
    PrepareSampler(sampler, &prepared);
    return Sample2D(prepared, u, v, dx, dy);
}

Color4f SampleCube(const SamplerView& sampler, float x, float y, float z)
{
    const GpuBaseTexture* texture = sampler.texture;
    if (!texture || texture->GetFaceCount() != kCubeFaceCount)
        return {0, 0, 0, 1};
    const float ax = std::fabs(x), ay = std::fabs(y), az = std::fabs(z);
    uint32_t face;
    float sc, tc, ma;
    if (ax >= ay && ax >= az)
    {
        face = x >= 0.0f ? 0 : 1;
        sc = x >= 0.0f ? -z : z;
        tc = -y;
        ma = ax;
    }
    else if (ay >= az)
    {
        face = y >= 0.0f ? 2 : 3;
        sc = x;
        tc = y >= 0.0f ? z : -z;
        ma = ay;
    }
    else
    {
        face = z >= 0.0f ? 4 : 5;
        sc = z >= 0.0f ? x : -x;
        tc = -y;
        ma = az;
    }
    if (!(ma > 0.0f))
        return {0, 0, 0, 1};
    PreparedSampler clamped;
    clamped.addressU = clamped.addressV = kAddressClamp;
    clamped.border = sampler.states[kSsBorderColor];
    const GpuSurface& surface = *texture->PeekSurface(face, 0);
    const SampledLevel level = {&surface, surface.Bits(), surface.Pitch(), int32_t(surface.Desc().width),
                                int32_t(surface.Desc().height), surface.Desc().format};
    const float u = (sc / ma + 1.0f) * 0.5f, v = (tc / ma + 1.0f) * 0.5f;
    return Decode(SampleLevel(level, u, v, sampler.states[kSsMagFilter], clamped), sampler.states[kSsSrgbTexture] != 0);
}
} // namespace gpu
