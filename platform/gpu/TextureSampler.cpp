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

Color4f Texel(const GpuSurface& level, int32_t x, int32_t y, const uint32_t* states)
{
    if (x < 0 || y < 0)
        return UnpackArgb(states[kSsBorderColor]);
    if (level.Desc().format == kFormatA8R8G8B8)
    {
        uint32_t argb;
        memcpy(&argb, level.Bits() + size_t(y) * level.Pitch() + size_t(x) * 4, 4);
        return UnpackArgb(argb);
    }
    return level.ReadPixel(uint32_t(x), uint32_t(y));
}

Color4f Mix(const Color4f& a, const Color4f& b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Color4f SampleLevel(const GpuSurface& level, float u, float v, uint32_t filter, const uint32_t* states)
{
    const int32_t w = int32_t(level.Desc().width), h = int32_t(level.Desc().height);
    const uint32_t au = states[kSsAddressU], av = states[kSsAddressV];
    const float fu = u * float(w), fv = v * float(h);
    if (filter != kFilterLinear)
    {
        const int32_t x = Address(int32_t(std::floor(fu)), w, au), y = Address(int32_t(std::floor(fv)), h, av);
        return Texel(level, x < 0 || y < 0 ? -1 : x, x < 0 || y < 0 ? -1 : y, states);
    }
    const float su = fu - 0.5f, sv = fv - 0.5f;
    const int32_t iu = int32_t(std::floor(su)), iv = int32_t(std::floor(sv));
    const float tu = su - float(iu), tv = sv - float(iv);
    auto at = [&](int32_t x, int32_t y) {
        const int32_t ax = Address(x, w, au), ay = Address(y, h, av);
        return Texel(level, ax < 0 || ay < 0 ? -1 : ax, ax < 0 || ay < 0 ? -1 : ay, states);
    };
    return Mix(Mix(at(iu, iv), at(iu + 1, iv), tu), Mix(at(iu, iv + 1), at(iu + 1, iv + 1), tu), tv);
}

Color4f Decode(Color4f c, const uint32_t* states)
{
    if (states[kSsSrgbTexture])
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

Color4f Sample2D(const SamplerView& sampler, float u, float v, const float dx[2], const float dy[2])
{
    const GpuBaseTexture* texture = sampler.texture;
    if (!texture || texture->GetFaceCount() != 1 || !(std::isfinite(u) && std::isfinite(v)))
        return {0, 0, 0, 1};
    const uint32_t* states = sampler.states;
    const float w = float(texture->GetWidth()), h = float(texture->GetHeight());
    // The longer of the two texel steps, squared: half its base-2 logarithm is the level of detail.
    const float ux = dx[0] * w, vx = dx[1] * h, uy = dy[0] * w, vy = dy[1] * h;
    const float rho2 = std::max(ux * ux + vx * vx, uy * uy + vy * vy);
    float bias;
    memcpy(&bias, &states[kSsMipMapLodBias], 4);
    const float lod = (rho2 > 0.0f ? 0.5f * std::log2(rho2) : -100.0f) + (std::isfinite(bias) ? bias : 0.0f);
    const uint32_t last = texture->GetLevelCount() - 1;
    const float first = float(std::min(states[kSsMaxMipLevel], last));
    const uint32_t filter = lod <= 0.0f ? states[kSsMagFilter] : states[kSsMinFilter];
    const uint32_t mipFilter = states[kSsMipFilter];
    if (mipFilter == kFilterNone || last == 0 || lod <= 0.0f)
        return Decode(SampleLevel(*texture->PeekSurface(0, uint32_t(first)), u, v, filter, states), states);
    const float level = std::clamp(lod, first, float(last));
    if (mipFilter != kFilterLinear)
    {
        const uint32_t nearest = uint32_t(std::lround(level));
        return Decode(SampleLevel(*texture->PeekSurface(0, nearest), u, v, filter, states), states);
    }
    const uint32_t lower = uint32_t(level), upper = std::min(lower + 1, last);
    const Color4f a = SampleLevel(*texture->PeekSurface(0, lower), u, v, filter, states);
    const Color4f b = SampleLevel(*texture->PeekSurface(0, upper), u, v, filter, states);
    return Decode(Mix(a, b, level - float(lower)), states);
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
    uint32_t states[kSamplerStateCount];
    memcpy(states, sampler.states, sizeof(states));
    states[kSsAddressU] = states[kSsAddressV] = kAddressClamp;
    const float u = (sc / ma + 1.0f) * 0.5f, v = (tc / ma + 1.0f) * 0.5f;
    return Decode(SampleLevel(*texture->PeekSurface(face, 0), u, v, states[kSsMagFilter], states), states);
}
} // namespace gpu
