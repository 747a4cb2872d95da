#include "platform/audio/SpeakerLayout.h"

#include <algorithm>

namespace audio
{
namespace
{
constexpr float kMinus3dB = 0.70710678f;
constexpr float kMinus6dB = 0.5f;

using S = Speaker;

// Where a speaker the output lacks is heard instead: the first entry for it whose speakers the
// output has, each at `level` (one speaker when both name the same).
struct Fallback
{
    Speaker missing;
    Speaker first;
    Speaker second;
    float level;
};

constexpr Fallback kFallbacks[] = {
    {S::FrontCenter, S::FrontLeft, S::FrontRight, kMinus3dB},
    {S::LowFrequency, S::FrontLeft, S::FrontRight, kMinus3dB},
    {S::BackLeft, S::SideLeft, S::SideLeft, 1.0f},
    {S::BackLeft, S::FrontLeft, S::FrontLeft, kMinus3dB},
    {S::BackRight, S::SideRight, S::SideRight, 1.0f},
    {S::BackRight, S::FrontRight, S::FrontRight, kMinus3dB},
    {S::SideLeft, S::BackLeft, S::BackLeft, 1.0f},
    {S::SideLeft, S::FrontLeft, S::FrontLeft, kMinus3dB},
    {S::SideRight, S::BackRight, S::BackRight, 1.0f},
    {S::SideRight, S::FrontRight, S::FrontRight, kMinus3dB},
    {S::BackCenter, S::BackLeft, S::BackRight, kMinus3dB},
    {S::BackCenter, S::SideLeft, S::SideRight, kMinus3dB},
    {S::BackCenter, S::FrontLeft, S::FrontRight, kMinus6dB},
};
} // namespace

std::vector<Speaker> SpeakersOf(uint32_t channels)
{
    switch (channels)
    {
    case 1: return {S::FrontCenter};
    case 2: return {S::FrontLeft, S::FrontRight};
    case 3: return {S::FrontLeft, S::FrontRight, S::FrontCenter};
    case 4: return {S::FrontLeft, S::FrontRight, S::BackLeft, S::BackRight};
    case 5: return {S::FrontLeft, S::FrontRight, S::FrontCenter, S::BackLeft, S::BackRight};
    case 6: return {S::FrontLeft, S::FrontRight, S::FrontCenter, S::LowFrequency, S::BackLeft, S::BackRight};
    case 7: return {S::FrontLeft, S::FrontRight, S::FrontCenter, S::LowFrequency, S::BackCenter, S::SideLeft, S::SideRight};
    case 8:
        return {S::FrontLeft, S::FrontRight, S::FrontCenter, S::LowFrequency,
                S::BackLeft,  S::BackRight,  S::SideLeft,    S::SideRight};
    default: return {};
    }
}

std::vector<float> DefaultOutputMatrix(uint32_t srcChannels, uint32_t dstChannels)
{
    std::vector<float> levels(size_t(srcChannels) * dstChannels, 0.0f);
    if (srcChannels == 1 || dstChannels == 1)
    {
        std::fill(levels.begin(), levels.end(), srcChannels == 1 ? 1.0f : 1.0f / float(srcChannels));
        return levels;
    }
    const std::vector<Speaker> sources = SpeakersOf(srcChannels);
    const std::vector<Speaker> outputs = SpeakersOf(dstChannels);
    const auto outputOf = [&outputs](Speaker speaker) {
        return uint32_t(std::find(outputs.begin(), outputs.end(), speaker) - outputs.begin());
    };
    const auto has = [&](Speaker speaker) { return outputOf(speaker) < outputs.size(); };
    for (uint32_t src = 0; src < sources.size(); ++src)
    {
        if (has(sources[src]))
        {
            levels[outputOf(sources[src]) * srcChannels + src] = 1.0f;
            continue;
        }
        for (const Fallback& fallback : kFallbacks)
        {
            if (fallback.missing != sources[src] || !has(fallback.first) || !has(fallback.second))
                continue;
            levels[outputOf(fallback.first) * srcChannels + src] = fallback.level;
            levels[outputOf(fallback.second) * srcChannels + src] = fallback.level;
            break;
        }
    }
    return levels;
}
} // namespace audio
