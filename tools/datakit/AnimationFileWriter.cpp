#include "tools/datakit/AnimationFileWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>

namespace
{
constexpr uint32_t kMagic = 0xA3B9550F;

void PutU16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

void PutF32(std::vector<uint8_t>& out, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    PutU32(out, bits);
}

float Component(const Vector& v, int i)
{
    return i == 0 ? v.x : i == 1 ? v.y : i == 2 ? v.z : v.w;
}

// A key's value with its time in w, rotations turned to w >= 0.
Vector Stored(const AnimationClipSpec::Key& key, bool rotation)
{
    const float sign = rotation && key.value.w < 0.0f ? -1.0f : 1.0f;
    return Vector(sign * key.value.x, sign * key.value.y, sign * key.value.z, key.time);
}

struct Range
{
    float minimum[4];
    float maximum[4];
};

Range RangeOf(const AnimationClipSpec& clip, int channel)
{
    Range range;
    for (int i = 0; i < 4; ++i)
    {
        range.minimum[i] = std::numeric_limits<float>::max();
        range.maximum[i] = std::numeric_limits<float>::lowest();
    }
    bool any = false;
    for (const AnimationClipSpec::Track& track : clip.tracks)
    {
        const std::vector<AnimationClipSpec::Key>& keys =
            channel == 0 ? track.rotation : channel == 1 ? track.position : track.scale;
        for (const AnimationClipSpec::Key& key : keys)
        {
            const Vector v = Stored(key, channel == 0);
            for (int i = 0; i < 4; ++i)
            {
                range.minimum[i] = std::min(range.minimum[i], Component(v, i));
                range.maximum[i] = std::max(range.maximum[i], Component(v, i));
            }
            any = true;
        }
    }
    if (!any)
        for (int i = 0; i < 4; ++i)
            range.minimum[i] = range.maximum[i] = 0.0f;
    return range;
}
} // namespace

namespace AnimationFileWriter
{
int16_t Quantise(float value, float minimum, float maximum)
{
    const float width = maximum - minimum;
    const float f = width > 0.0f ? (value - minimum) / width : 0.5f;
    const float n = std::clamp(2.0f * f - 1.0f, -1.0f, 1.0f);
    return int16_t(std::lround(n < 0.0f ? n * 32768.0f : n * 32767.0f));
}

std::vector<uint8_t> Build(const AnimationClipSpec& clip)
{
    std::vector<uint8_t> out;
    PutU32(out, kMagic);
    PutU32(out, clip.version);
    PutU32(out, clip.headerWords[0]);
    PutU32(out, clip.headerWords[1]);
    PutU32(out, uint32_t(clip.tracks.size()));
    uint32_t keyCount = 0;
    for (const AnimationClipSpec::Track& track : clip.tracks)
    {
        PutU32(out, uint32_t(track.name.size()));
        out.insert(out.end(), track.name.begin(), track.name.end());
        PutU16(out, uint16_t(track.rotation.size()));
        PutU16(out, uint16_t(track.position.size()));
        PutU16(out, uint16_t(track.scale.size()));
        keyCount += uint32_t(track.rotation.size() + track.position.size() + track.scale.size());
    }
    const Range ranges[3] = {RangeOf(clip, 0), RangeOf(clip, 1), RangeOf(clip, 2)};
    PutU32(out, keyCount);
    for (const AnimationClipSpec::Track& track : clip.tracks)
    {
        const std::vector<AnimationClipSpec::Key>* channels[3] = {&track.rotation, &track.position, &track.scale};
        for (int channel = 0; channel < 3; ++channel)
            for (const AnimationClipSpec::Key& key : *channels[channel])
            {
                const Vector v = Stored(key, channel == 0);
                for (int i = 0; i < 4; ++i)
                    PutU16(out, uint16_t(Quantise(Component(v, i), ranges[channel].minimum[i],
                                                  ranges[channel].maximum[i])));
            }
    }
    for (const Range& range : ranges)
    {
        for (const float value : range.minimum)
            PutF32(out, value);
        for (const float value : range.maximum)
            PutF32(out, value);
    }
    PutF32(out, clip.values[0]);
    if (clip.version > 3)
        PutF32(out, clip.values[1]);
    return out;
}

bool Write(const std::string& path, const AnimationClipSpec& clip)
{
    const std::vector<uint8_t> bytes = Build(clip);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(file);
}
} // namespace AnimationFileWriter
