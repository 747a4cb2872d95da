#include "online/ReplicatedAnimState.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr uint32_t kNoIndex = 127;

// A fraction outside [0, 1] (or NaN) would wrap into another byte value.
uint32_t FractionByte(float value)
{
    const float clamped = value >= 0.0f ? std::min(value, 1.0f) : 0.0f;
    return uint32_t(std::lround(clamped * 255.0f));
}
} // namespace

uint32_t EncodeReplicatedAnimState(uint32_t index, bool loop, float progress, float second)
{
    const uint32_t first = std::min(index, kNoIndex) | (loop ? 0x80u : 0u);
    return first | FractionByte(progress) << 8 | FractionByte(second) << 16;
}

ReplicatedAnimState DecodeReplicatedAnimState(uint32_t packed)
{
    ReplicatedAnimState state;
    const uint32_t index = packed & 0x7F;
    state.index = index == kNoIndex ? 255 : uint8_t(index);
    state.loop = (packed & 0x80) != 0;
    state.progress = float((packed >> 8) & 0xFF) / 255.0f;
    state.second = float((packed >> 16) & 0xFF) / 255.0f;
    return state;
}
