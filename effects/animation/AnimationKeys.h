// Decoding and interpolation of a clip's quantised keys: the arithmetic of sampling one channel of
// one track at a progress, kept free of any playing state so each step can be checked by hand.
// Everything a pose runs per bone is inline and decodes a key in one SSE vector.
// Pure functions: any thread.
#pragma once

#include "core/math/Quaternion.h"
#include "core/math/Vector.h"
#include "effects/animation/AnimationSlerp.h"
#include "renderer/resources/AnimationData.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace AnimationKeys
{
// One component mapped into [minimum, maximum]: negative values scale by 32768, others by 32767.
inline float Dequantise(int16_t component, float minimum, float maximum)
{
    const float n = component < 0 ? float(component) * (1.0f / 32768.0f) : float(component) * (1.0f / 32767.0f);
    const float f = 0.5f * n + 0.5f;
    return (1.0f - f) * minimum + f * maximum;
}

// The four components of a key decoded at once, with the arithmetic of Dequantise per lane.
inline __m128 DecodeKeySimd(const AnimationKey& key, __m128 minimum, __m128 maximum)
{
    return DecodeAnimationKey(key, minimum, maximum);
}

// The key's x, y, z values and its time (w) in the channel's range.
inline Vector DecodeKey(const AnimationKey& key, const AnimationRange& range)
{
    Vector v;
    v.SetSimd(DecodeKeySimd(key, range.minimum.Simd(), range.maximum.Simd()));
    return v;
}

// A decoded rotation key: w rebuilt as sqrt(1 - x² - y² - z²) (0 when that is negative).
inline Quaternion RebuildRotation(__m128 decoded)
{
    alignas(16) float v[4];
    _mm_store_ps(v, decoded);
    const float square = 1.0f - v[0] * v[0] - v[1] * v[1] - v[2] * v[2];
    return Quaternion(v[0], v[1], v[2], square > 0.0f ? std::sqrt(square) : 0.0f);
}

// The rebuilt w of four rotation keys at once, from their x, y and z lanes.
inline __m128 RebuildW4(__m128 x, __m128 y, __m128 z)
{
    return RebuildAnimationRotationW4(x, y, z);
}

inline Quaternion DecodeRotation(const AnimationKey& key, const AnimationRange& range)
{
    return RebuildRotation(DecodeKeySimd(key, range.minimum.Simd(), range.maximum.Simd()));
}

// The progress in the quantised time units of the channel's keys, clamped to twice the key range.
int32_t QuantiseProgress(float progress, const AnimationRange& range);

// A share of an interval that may have collapsed: equal key times (or a range of no width) would
// divide by zero, so such an interval yields its first key.
inline float Share(float numerator, float denominator)
{
    if (!(denominator > 1e-9f))
        return 0.0f;
    return std::clamp(numerator / denominator, 0.0f, 1.0f);
}

// Where the progress falls among a channel's keys: key a alone (b < 0), or a to b, across the seam
// from the last key to the first when `seam` is set (before the first key: counted from the end of
// the previous cycle).
struct KeyIndices
{
    enum Seam : uint8_t
    {
        NONE = 0,
        BEFORE_FIRST = 1,
        AFTER_LAST = 2,
    };
    int32_t a = -1;
    int32_t b = -1;
    Seam seam = NONE;
};

// Finds the keys of one channel around the quantised progress, moving the saved cursor forward from
// where it was (back to key 0 only when the progress went back past the key before it). With `loop`
// the pair across the seam interpolates last to first key; otherwise the first or last key holds.
inline KeyIndices FindKeyIndices(const AnimationKey* keys, uint32_t count, uint16_t& cursor, int32_t quantised, bool loop)
{
    KeyIndices found;
    if (count == 0)
        return found;
    found.a = 0;
    if (count == 1)
        return found;
    uint32_t c = std::min<uint32_t>(cursor, count - 1);
    if (c > 0 && quantised < keys[c - 1].t)
        c = 0;
    while (c < count && keys[c].t <= quantised)
        ++c;
    cursor = uint16_t(std::min(c, count - 1));
    if (c > 0 && c < count)
    {
        found.a = int32_t(c) - 1;
        found.b = int32_t(c);
        return found;
    }
    if (!loop)
    {
        found.a = c == 0 ? 0 : int32_t(count) - 1;
        return found;
    }
    found.a = int32_t(count) - 1;
    found.b = 0;
    found.seam = c == 0 ? KeyIndices::BEFORE_FIRST : KeyIndices::AFTER_LAST;
    return found;
}

// The share of key b at the progress, from the two keys' decoded times.
inline float KeyShare(const KeyIndices& found, float progress, float ta, float tb)
{
    if (found.b < 0)
        return 0.0f;
    if (found.seam == KeyIndices::NONE)
        return Share(progress - ta, tb - ta);
    const float elapsed = found.seam == KeyIndices::BEFORE_FIRST ? progress + 1.0f - ta : progress - ta;
    return Share(elapsed, (1.0f - ta) + tb);
}

// A lane's KeyIndices as bits for KeyShare4: key b exists, the pair crosses the seam, it does so
// before the first key.
enum KeyLaneBits : int32_t
{
    KEYLANE_PAIRED = 1,
    KEYLANE_SEAM = 2,
    KEYLANE_BEFORE_FIRST = 4,
};

inline int32_t LaneBits(const KeyIndices& found)
{
    return (found.b >= 0 ? KEYLANE_PAIRED : 0) | (found.seam != KeyIndices::NONE ? KEYLANE_SEAM : 0) |
           (found.seam == KeyIndices::BEFORE_FIRST ? KEYLANE_BEFORE_FIRST : 0);
}

// All bits of a lane set where its bits include `bit`.
inline __m128 LaneMask(__m128i bits, int32_t bit)
{
    const __m128i wanted = _mm_set1_epi32(bit);
    return _mm_castsi128_ps(_mm_cmpeq_epi32(_mm_and_si128(bits, wanted), wanted));
}

// KeyShare of four lanes at once with the same arithmetic per lane: ta and tb hold the lanes' key
// times, `bits` each lane's LaneBits.
inline __m128 KeyShare4(__m128 progress, __m128 ta, __m128 tb, __m128i bits)
{
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 seam = LaneMask(bits, KEYLANE_SEAM);
    const __m128 beforeFirst = LaneMask(bits, KEYLANE_BEFORE_FIRST);
    const __m128 elapsed = _mm_or_ps(_mm_and_ps(beforeFirst, _mm_sub_ps(_mm_add_ps(progress, one), ta)),
                                     _mm_andnot_ps(beforeFirst, _mm_sub_ps(progress, ta)));
    const __m128 span = _mm_or_ps(_mm_and_ps(seam, _mm_add_ps(_mm_sub_ps(one, ta), tb)),
                                  _mm_andnot_ps(seam, _mm_sub_ps(tb, ta)));
    // max(0, q) and min(1, q) in this operand order keep a -0 and a NaN as std::clamp does; a lane
    // whose span is too small has divided by it harmlessly and is masked to 0 here.
    const __m128 share = _mm_min_ps(one, _mm_max_ps(_mm_setzero_ps(), _mm_div_ps(elapsed, span)));
    return _mm_and_ps(_mm_and_ps(LaneMask(bits, KEYLANE_PAIRED), _mm_cmpgt_ps(span, _mm_set1_ps(1e-9f))), share);
}

// The two keys around a progress and the share of the second; `b` is null when `a` is held.
struct KeyPair
{
    const AnimationKey* a = nullptr;
    const AnimationKey* b = nullptr;
    float t = 0.0f;
};

inline KeyPair FindKeys(const AnimationKey* keys, uint32_t count, uint16_t& cursor, float progress, int32_t quantised,
                        const AnimationRange& range, bool loop)
{
    KeyPair pair;
    const KeyIndices found = FindKeyIndices(keys, count, cursor, quantised, loop);
    if (found.a < 0)
        return pair;
    pair.a = &keys[found.a];
    if (found.b < 0)
        return pair;
    pair.b = &keys[found.b];
    pair.t = KeyShare(found, progress, Dequantise(pair.a->t, range.minimum.w, range.maximum.w),
                      Dequantise(pair.b->t, range.minimum.w, range.maximum.w));
    return pair;
}

// The value of a position or scale channel at the progress (w: the key time), or false when the
// channel has no keys. The key times come from the decoded keys themselves.
inline bool SampleVector(const AnimationKey* keys, uint32_t count, uint16_t& cursor, float progress, int32_t quantised,
                         __m128 minimum, __m128 maximum, bool loop, __m128& out)
{
    const KeyIndices found = FindKeyIndices(keys, count, cursor, quantised, loop);
    if (found.a < 0)
        return false;
    const __m128 a = DecodeKeySimd(keys[found.a], minimum, maximum);
    if (found.b < 0)
    {
        out = a;
        return true;
    }
    const __m128 b = DecodeKeySimd(keys[found.b], minimum, maximum);
    const float t = KeyShare(found, progress, _mm_cvtss_f32(_mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 3, 3, 3))),
                             _mm_cvtss_f32(_mm_shuffle_ps(b, b, _MM_SHUFFLE(3, 3, 3, 3))));
    out = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(1.0f - t), a), _mm_mul_ps(_mm_set1_ps(t), b));
    return true;
}

// The channel's value at the pair: rotations slerped, positions and scales blended linearly.
inline Quaternion InterpolateRotation(const KeyPair& pair, const AnimationRange& range)
{
    if (pair.a == nullptr)
        return Quaternion();
    const __m128 minimum = range.minimum.Simd();
    const __m128 maximum = range.maximum.Simd();
    const Quaternion a = RebuildRotation(DecodeKeySimd(*pair.a, minimum, maximum));
    if (pair.b == nullptr)
        return a;
    return AnimationSlerp::Slerp(a, RebuildRotation(DecodeKeySimd(*pair.b, minimum, maximum)), pair.t);
}

inline Vector InterpolateVector(const KeyPair& pair, const AnimationRange& range)
{
    Vector result;
    if (pair.a == nullptr)
        return result;
    const __m128 minimum = range.minimum.Simd();
    const __m128 maximum = range.maximum.Simd();
    const __m128 a = DecodeKeySimd(*pair.a, minimum, maximum);
    if (pair.b == nullptr)
    {
        result.SetSimd(a);
        return result;
    }
    const __m128 b = DecodeKeySimd(*pair.b, minimum, maximum);
    result.SetSimd(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(1.0f - pair.t), a), _mm_mul_ps(_mm_set1_ps(pair.t), b)));
    return result;
}
} // namespace AnimationKeys
