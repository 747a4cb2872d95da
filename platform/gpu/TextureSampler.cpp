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

// One level's pixel memory, read once per sample instead of once per texel.
struct LevelView
{
    const GpuSurface* surface;
    const uint8_t* bits;
    size_t pitch;
    int32_t width, height;
    Format format;
};

LevelView ViewOf(const GpuSurface& level)
{
    return {&level, level.Bits(), level.Pitch(), int32_t(level.Desc().width), int32_t(level.Desc().height),
            level.Desc().format};
}

// A texel inside the level; the formats render targets and the demo's textures use are read with one
// load, the rest through the surface.
Color4f Fetch(const LevelView& level, int32_t x, int32_t y)
{
    const uint8_t* row = level.bits + size_t(y) * level.pitch;
    switch (level.format)
    {
    case kFormatA8R8G8B8:
    case kFormatX8R8G8B8:
    {
        uint32_t argb;
        memcpy(&argb, row + size_t(x) * 4, 4);
        return UnpackArgb(level.format == kFormatX8R8G8B8 ? argb | 0xFF000000u : argb);
    }
    case kFormatA16B16G16R16F:
    {
        uint64_t halves;
        memcpy(&halves, row + size_t(x) * 8, 8);
        return {HalfToFloat(uint16_t(halves)), HalfToFloat(uint16_t(halves >> 16)), HalfToFloat(uint16_t(halves >> 32)),
                HalfToFloat(uint16_t(halves >> 48))};
    }
    default: return level.surface->ReadPixel(uint32_t(x), uint32_t(y));
    }
}

// The sampler states one sample reads.
struct SampleStates
{
    uint32_t addressU, addressV, border;
};

// A texel under the address modes: the border colour when either axis leaves the texture.
Color4f AddressedTexel(const LevelView& level, int32_t x, int32_t y, const SampleStates& states)
{
    const int32_t ax = Address(x, level.width, states.addressU), ay = Address(y, level.height, states.addressV);
    if (ax < 0 || ay < 0)
        return UnpackArgb(states.border);
    return Fetch(level, ax, ay);
}

Color4f Mix(const Color4f& a, const Color4f& b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Color4f SampleLevel(const GpuSurface& surface, float u, float v, uint32_t filter, const SampleStates& states)
{
    const LevelView level = ViewOf(surface);
    const float fu = u * float(level.width), fv = v * float(level.height);
    // One anisotropic tap filters linearly.
    if (filter != kFilterLinear && filter != kFilterAnisotropic)
        return AddressedTexel(level, int32_t(std::floor(fu)), int32_t(std::floor(fv)), states);
    const float su = fu - 0.5f, sv = fv - 0.5f;
    const int32_t iu = int32_t(std::floor(su)), iv = int32_t(std::floor(sv));
    const float tu = su - float(iu), tv = sv - float(iv);
    Color4f t00, t10, t01, t11;
    if (iu >= 0 && iv >= 0 && iu + 1 < level.width && iv + 1 < level.height)
    {
        // All four inside: no address mode applies.
        t00 = Fetch(level, iu, iv);
        t10 = Fetch(level, iu + 1, iv);
        t01 = Fetch(level, iu, iv + 1);
        t11 = Fetch(level, iu + 1, iv + 1);
    }
    else
    {
        t00 = AddressedTexel(level, iu, iv, states);
        t10 = AddressedTexel(level, iu + 1, iv, states);
        t01 = AddressedTexel(level, iu, iv + 1, states);
        t11 = AddressedTexel(level, iu + 1, iv + 1, states);
    }
    return Mix(Mix(t00, t10, tu), Mix(t01, t11, tu), tv);
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

namespace
{
// The sample at a level of detail: the magnification filter up close, else the minification filter
// on the nearest level or between the two nearest (mip filter).
Color4f SampleAtLod(const GpuBaseTexture& texture, float u, float v, float lod, const uint32_t* states,
                    const SampleStates& addressing)
{
    const uint32_t last = texture.GetLevelCount() - 1;
    const uint32_t first = std::min(states[kSsMaxMipLevel], last);
    const uint32_t filter = lod <= 0.0f ? states[kSsMagFilter] : states[kSsMinFilter];
    const uint32_t mipFilter = states[kSsMipFilter];
    if (mipFilter == kFilterNone || last == 0 || lod <= 0.0f)
        return SampleLevel(*texture.PeekSurface(0, first), u, v, filter, addressing);
    const float level = std::clamp(lod, float(first), float(last));
    if (mipFilter != kFilterLinear)
        return SampleLevel(*texture.PeekSurface(0, uint32_t(std::lround(level))), u, v, filter, addressing);
    const uint32_t lower = uint32_t(level), upper = std::min(lower + 1, last);
    const Color4f a = SampleLevel(*texture.PeekSurface(0, lower), u, v, filter, addressing);
    const Color4f b = SampleLevel(*texture.PeekSurface(0, upper), u, v, filter, addressing);
    return Mix(a, b, level - float(lower));
}
} // namespace

Color4f Sample2D(const SamplerView& sampler, float u, float v, const float dx[2], const float dy[2])
{
    const GpuBaseTexture* texture = sampler.texture;
    if (!texture || texture->GetFaceCount() != 1 || !(std::isfinite(u) && std::isfinite(v)))
        return {0, 0, 0, 1};
    const uint32_t* states = sampler.states;
    const SampleStates addressing = {states[kSsAddressU], states[kSsAddressV], states[kSsBorderColor]};
    const uint32_t magFilter = states[kSsMagFilter], minFilter = states[kSsMinFilter];
    const uint32_t last = texture->GetLevelCount() - 1;
    const bool srgb = states[kSsSrgbTexture] != 0;
    const uint32_t maxTaps = minFilter == kFilterAnisotropic ? std::clamp(states[kSsMaxAnisotropy], 1u, 16u) : 1u;
    // The level of detail only picks the filter, the level and the taps: without a choice it is not
    // worked out.
    if (magFilter == minFilter && (states[kSsMipFilter] == kFilterNone || last == 0) && maxTaps == 1)
        return Decode(SampleLevel(*texture->PeekSurface(0, std::min(states[kSsMaxMipLevel], last)), u, v, magFilter,
                                  addressing),
                      srgb);
    const float w = float(texture->GetWidth()), h = float(texture->GetHeight());
    // The pixel's footprint in texels along the screen's x and y; the longer step, squared, gives
    // the level of detail (half its base-2 logarithm).
    const float ux = dx[0] * w, vx = dx[1] * h, uy = dy[0] * w, vy = dy[1] * h;
    const float alongX = ux * ux + vx * vx, alongY = uy * uy + vy * vy;
    float rho2 = std::max(alongX, alongY);
    // Anisotropic minification: taps spread over the longer axis, each as wide as the shorter one
    // (at most the max anisotropy of them), so the level follows the footprint's width.
    uint32_t taps = 1;
    if (maxTaps > 1 && rho2 > 1.0f)
    {
        const float minor2 = std::min(alongX, alongY);
        const float ratio = minor2 > 0.0f ? std::sqrt(rho2 / minor2) : float(maxTaps);
        taps = std::min(uint32_t(std::ceil(ratio - 1e-4f)), maxTaps);
        rho2 /= float(taps * taps);
    }
    float bias;
    memcpy(&bias, &states[kSsMipMapLodBias], 4);
    const float lod = (rho2 > 0.0f ? 0.5f * std::log2(rho2) : -100.0f) + (std::isfinite(bias) ? bias : 0.0f);
    if (taps == 1)
        return Decode(SampleAtLod(*texture, u, v, lod, states, addressing), srgb);
    const float* major = alongX >= alongY ? dx : dy;
    Color4f sum = {0.0f, 0.0f, 0.0f, 0.0f};
    for (uint32_t i = 0; i < taps; ++i)
    {
        const float t = (float(i) + 0.5f) / float(taps) - 0.5f;
        const Color4f c = SampleAtLod(*texture, u + major[0] * t, v + major[1] * t, lod, states, addressing);
        sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b, sum.a + c.a};
    }
    const float k = 1.0f / float(taps);
    return Decode({sum.r * k, sum.g * k, sum.b * k, sum.a * k}, srgb);
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
    const uint32_t* states = sampler.states;
    const SampleStates clamped = {kAddressClamp, kAddressClamp, states[kSsBorderColor]};
    const float u = (sc / ma + 1.0f) * 0.5f, v = (tc / ma + 1.0f) * 0.5f;
    return Decode(SampleLevel(*texture->PeekSurface(face, 0), u, v, states[kSsMagFilter], clamped),
                  states[kSsSrgbTexture] != 0);
}
} // namespace gpu
