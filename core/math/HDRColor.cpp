#include "core/math/HDRColor.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace
{
std::atomic<bool> gLinearLighting{true};

// The factor t in 255ths, rounded to nearest; clamped so a stray t cannot wrap a channel.
int Factor255(float t)
{
    const float k = t * 255.0f + 0.5f;
    if (!(k > 0.0f))
        return 0;
    return std::min(255, static_cast<int>(k));
}

uint8_t Saturate(int value)
{
    return static_cast<uint8_t>(std::clamp(value, 0, 255));
}

uint8_t ChannelFromFloat(float value)
{
    const float scaled = value * 255.0f;
    if (!(scaled > 0.0f))
        return 0;
    return scaled >= 255.0f ? 255 : static_cast<uint8_t>(scaled);
}

void Gamma(Vector& v)
{
    v.x = std::pow(v.x, 2.2f);
    v.y = std::pow(v.y, 2.2f);
    v.z = std::pow(v.z, 2.2f);
}
} // namespace

HDRColor& HDRColor::operator*=(const HDRColor& o)
{
    r = static_cast<uint8_t>(r * o.r / 255);
    g = static_cast<uint8_t>(g * o.g / 255);
    b = static_cast<uint8_t>(b * o.b / 255);
    a = static_cast<uint8_t>(a * o.a / 255);
    multiplier *= o.multiplier;
    return *this;
}

HDRColor& HDRColor::operator+=(const HDRColor& o)
{
    r = Saturate(r + o.r);
    g = Saturate(g + o.g);
    b = Saturate(b + o.b);
    a = Saturate(a + o.a);
    multiplier += o.multiplier;
    return *this;
}

void HDRColor::AddScaled(const HDRColor& o, float t)
{
    const int k = Factor255(t);
    r = Saturate(r + o.r * k / 255);
    g = Saturate(g + o.g * k / 255);
    b = Saturate(b + o.b * k / 255);
    a = Saturate(a + o.a * k / 255);
    multiplier += o.multiplier * t;
}

void HDRColor::SetScaled(const HDRColor& o, float t)
{
    const int k = Factor255(t);
    r = Saturate(o.r * k / 255);
    g = Saturate(o.g * k / 255);
    b = Saturate(o.b * k / 255);
    a = Saturate(o.a * k / 255);
    multiplier = o.multiplier * t;
}

void HDRColor::Lerp(const HDRColor& from, const HDRColor& to, float t)
{
    const int k = Factor255(t);
    // Signed products with division truncating toward zero keep both ends exact.
    r = Saturate(from.r + (int(to.r) - int(from.r)) * k / 255);
    g = Saturate(from.g + (int(to.g) - int(from.g)) * k / 255);
    b = Saturate(from.b + (int(to.b) - int(from.b)) * k / 255);
    a = Saturate(from.a + (int(to.a) - int(from.a)) * k / 255);
    multiplier = from.multiplier + (to.multiplier - from.multiplier) * t;
}

void HDRColor::FromVector(const Vector& v)
{
    float m = v.y > v.z ? v.y : v.z;
    if (v.x > m)
        m = v.x;
    if (1.0f > m)
        m = 1.0f;
    r = ChannelFromFloat(v.x / m);
    g = ChannelFromFloat(v.y / m);
    b = ChannelFromFloat(v.z / m);
    a = ChannelFromFloat(v.w);
    multiplier = m;
}

void HDRColor::ToVectorRaw(Vector& v) const
{
    const float k = 0.003921569f;
    v.Set(r * multiplier * k, g * multiplier * k, b * multiplier * k, a * k);
}

void HDRColor::ToVector(Vector& v) const
{
    ToVectorRaw(v);
    if (IsLinearLighting())
        Gamma(v);
}

void HDRColor::ToLinearVector(Vector& v) const
{
    ToVectorRaw(v);
    Gamma(v);
}

void HDRColor::SetLinearLighting(bool on)
{
    gLinearLighting.store(on, std::memory_order_relaxed);
}

bool HDRColor::IsLinearLighting()
{
    return gLinearLighting.load(std::memory_order_relaxed);
}
