#include "effects/animation/AnimationKeys.h"

#include <algorithm>
#include <cmath>

namespace
{
// A share of an interval that may have collapsed: equal key times (or a range of no width) would
// divide by zero, so such an interval yields its first key.
float Share(float numerator, float denominator)
{
    if (!(denominator > 1e-9f))
        return 0.0f;
    return std::clamp(numerator / denominator, 0.0f, 1.0f);
}
} // namespace

namespace AnimationKeys
{
Quaternion DecodeRotation(const AnimationKey& key, const AnimationRange& range)
{
    const Vector v = DecodeKey(key, range);
    const float square = 1.0f - v.x * v.x - v.y * v.y - v.z * v.z;
    return Quaternion(v.x, v.y, v.z, square > 0.0f ? std::sqrt(square) : 0.0f);
}

int32_t QuantiseProgress(float progress, const AnimationRange& range)
{
    const float width = range.maximum.w - range.minimum.w;
    // A range of no width puts every key at its minimum: the progress is before or after all of them.
    float q = width > 0.0f ? (progress - range.minimum.w) * 2.0f / width - 1.0f
                           : (progress >= range.minimum.w ? 2.0f : -2.0f);
    q = std::clamp(q, -2.0f, 2.0f);
    return int32_t(q > 0.0f ? q * 32767.0f : q * 32768.0f);
}

KeyPair FindKeys(const AnimationKey* keys, uint32_t count, uint16_t& cursor, float progress, int32_t quantised,
                 const AnimationRange& range, bool loop)
{
    KeyPair pair;
    if (count == 0)
        return pair;
    if (count == 1)
    {
        pair.a = &keys[0];
        return pair;
    }
    uint32_t c = std::min<uint32_t>(cursor, count - 1);
    if (c > 0 && quantised < keys[c - 1].t)
        c = 0;
    while (c < count && keys[c].t <= quantised)
        ++c;
    cursor = uint16_t(std::min(c, count - 1));
    if (c > 0 && c < count)
    {
        pair.a = &keys[c - 1];
        pair.b = &keys[c];
        const float ta = Dequantise(pair.a->t, range.minimum.w, range.maximum.w);
        const float tb = Dequantise(pair.b->t, range.minimum.w, range.maximum.w);
        pair.t = Share(progress - ta, tb - ta);
        return pair;
    }
    if (!loop)
    {
        pair.a = c == 0 ? &keys[0] : &keys[count - 1];
        return pair;
    }
    pair.a = &keys[count - 1];
    pair.b = &keys[0];
    const float ta = Dequantise(pair.a->t, range.minimum.w, range.maximum.w);
    const float tb = Dequantise(pair.b->t, range.minimum.w, range.maximum.w);
    // Before the first key the progress is counted from the previous cycle's end.
    const float elapsed = c == 0 ? progress + 1.0f - ta : progress - ta;
    pair.t = Share(elapsed, (1.0f - ta) + tb);
    return pair;
}

Quaternion InterpolateRotation(const KeyPair& pair, const AnimationRange& range)
{
    if (pair.a == nullptr)
        return Quaternion();
    const Quaternion a = DecodeRotation(*pair.a, range);
    if (pair.b == nullptr)
        return a;
    Quaternion result;
    result.Slerp(a, DecodeRotation(*pair.b, range), pair.t);
    return result;
}

Vector InterpolateVector(const KeyPair& pair, const AnimationRange& range)
{
    if (pair.a == nullptr)
        return Vector();
    const Vector a = DecodeKey(*pair.a, range);
    if (pair.b == nullptr)
        return a;
    const Vector b = DecodeKey(*pair.b, range);
    const float t = pair.t;
    return Vector((1.0f - t) * a.x + t * b.x, (1.0f - t) * a.y + t * b.y, (1.0f - t) * a.z + t * b.z,
                  (1.0f - t) * a.w + t * b.w);
}
} // namespace AnimationKeys
