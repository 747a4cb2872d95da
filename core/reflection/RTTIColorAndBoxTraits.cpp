#include "core/math/BoundingBox4.h"
#include "core/math/HDRColor.h"
#include "core/math/Vector.h"
#include "core/reflection/RTTIValueTraits.h"
#include "core/reflection/RecordStream.h"

#include <cstdio>

// BoundingBox4: minimum x y z w then maximum x y z w, through the Vector forms.
void RTTIValueTraits<BoundingBox4>::Write(RecordOutput& out, const BoundingBox4& value)
{
    RTTIValueTraits<Vector>::Write(out, value.min);
    RTTIValueTraits<Vector>::Write(out, value.max);
}
bool RTTIValueTraits<BoundingBox4>::Read(RecordInput& in, BoundingBox4& value)
{
    return in.Remaining() >= 32 && RTTIValueTraits<Vector>::Read(in, value.min) &&
           RTTIValueTraits<Vector>::Read(in, value.max);
}
bool RTTIValueTraits<BoundingBox4>::Skip(RecordInput& in) { return in.Skip(32); }
void RTTIValueTraits<BoundingBox4>::ToText(const BoundingBox4& value, char* buffer, size_t size)
{
    std::snprintf(buffer, size, "%.6f %.6f %.6f %.6f %.6f %.6f %.6f %.6f", value.min.x, value.min.y, value.min.z,
                  value.min.w, value.max.x, value.max.y, value.max.z, value.max.w);
}
bool RTTIValueTraits<BoundingBox4>::FromText(BoundingBox4& value, const char* text)
{
    BoundingBox4 parsed;
    if (std::sscanf(text, "%f %f %f %f %f %f %f %f", &parsed.min.x, &parsed.min.y, &parsed.min.z, &parsed.min.w,
                    &parsed.max.x, &parsed.max.y, &parsed.max.z, &parsed.max.w) != 8)
        return false;
    value = parsed;
    return true;
}
bool RTTIValueTraits<BoundingBox4>::Equals(const BoundingBox4& a, const BoundingBox4& b)
{
    return RTTIValueTraits<Vector>::Equals(a.min, b.min) && RTTIValueTraits<Vector>::Equals(a.max, b.max);
}

// HDRColor: the channel bytes r g b a as one word, then the multiplier; swapped as two words.
void RTTIValueTraits<HDRColor>::Write(RecordOutput& out, const HDRColor& value)
{
    out.WriteU32(uint32_t(value.r) | (uint32_t(value.g) << 8) | (uint32_t(value.b) << 16) | (uint32_t(value.a) << 24));
    out.WriteFloat(value.multiplier);
}
bool RTTIValueTraits<HDRColor>::Read(RecordInput& in, HDRColor& value)
{
    uint32_t channels;
    float multiplier;
    if (in.Remaining() < 8 || !in.ReadU32(channels) || !in.ReadFloat(multiplier))
        return false;
    value.r = uint8_t(channels);
    value.g = uint8_t(channels >> 8);
    value.b = uint8_t(channels >> 16);
    value.a = uint8_t(channels >> 24);
    value.multiplier = multiplier;
    return true;
}
bool RTTIValueTraits<HDRColor>::Skip(RecordInput& in) { return in.Skip(8); }
void RTTIValueTraits<HDRColor>::ToText(const HDRColor& value, char* buffer, size_t size)
{
    std::snprintf(buffer, size, "%d %d %d %d %.6f", value.r, value.g, value.b, value.a, value.multiplier);
}
// Four channel integers and a multiplier, or else four floats taken as a float colour.
bool RTTIValueTraits<HDRColor>::FromText(HDRColor& value, const char* text)
{
    int r, g, b, a;
    float multiplier;
    if (std::sscanf(text, "%d %d %d %d %f", &r, &g, &b, &a, &multiplier) == 5)
    {
        value = HDRColor(uint8_t(r), uint8_t(g), uint8_t(b), uint8_t(a), multiplier);
        return true;
    }
    Vector colour;
    if (std::sscanf(text, "%f %f %f %f", &colour.x, &colour.y, &colour.z, &colour.w) != 4)
        return false;
    value.FromVector(colour);
    return true;
}
bool RTTIValueTraits<HDRColor>::Equals(const HDRColor& a, const HDRColor& b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a && a.multiplier == b.multiplier;
}
