// Decoding and interpolation of a clip's quantised keys: the arithmetic of sampling one channel of
// one track at a progress, kept free of any playing state so each step can be checked by hand.
// Pure functions: any thread.
#pragma once

#include "core/math/Quaternion.h"
#include "core/math/Vector.h"
#include "renderer/resources/AnimationData.h"

#include <cstdint>

namespace AnimationKeys
{
// One component mapped into [minimum, maximum]: negative values scale by 32768, others by 32767.
// Inline: sampling decodes a few keys per bone and frame.
inline float Dequantise(int16_t component, float minimum, float maximum)
{
    const float n = component < 0 ? float(component) * (1.0f / 32768.0f) : float(component) * (1.0f / 32767.0f);
    const float f = 0.5f * n + 0.5f;
    return (1.0f - f) * minimum + f * maximum;
}
// The key's x, y, z values and its time (w) in the channel's range.
inline Vector DecodeKey(const AnimationKey& key, const AnimationRange& range)
{
    return Vector(Dequantise(key.x, range.minimum.x, range.maximum.x), Dequantise(key.y, range.minimum.y, range.maximum.y),
                  Dequantise(key.z, range.minimum.z, range.maximum.z), Dequantise(key.t, range.minimum.w, range.maximum.w));
}
// A rotation key: x, y, z decoded, w rebuilt as sqrt(1 - x² - y² - z²) (0 when that is negative).
Quaternion DecodeRotation(const AnimationKey& key, const AnimationRange& range);
// The progress in the quantised time units of the channel's keys, clamped to twice the key range.
int32_t QuantiseProgress(float progress, const AnimationRange& range);

// The two keys around a progress and the share of the second; `b` is null when `a` is held.
struct KeyPair
{
    const AnimationKey* a = nullptr;
    const AnimationKey* b = nullptr;
    float t = 0.0f;
};

// Finds the keys of one channel around the progress, moving the saved cursor forward from where it
// was (back to key 0 only when the progress went back past the key before it). With `loop` the
// pair across the seam interpolates last to first key; otherwise the first or last key holds there.
KeyPair FindKeys(const AnimationKey* keys, uint32_t count, uint16_t& cursor, float progress, int32_t quantised,
                 const AnimationRange& range, bool loop);

// The channel's value at the pair: rotations slerped, positions and scales blended linearly.
Quaternion InterpolateRotation(const KeyPair& pair, const AnimationRange& range);
Vector InterpolateVector(const KeyPair& pair, const AnimationRange& range);
} // namespace AnimationKeys
