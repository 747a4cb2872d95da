// AnimationData: one clip's tracks, quantised keys and the ranges that turn keys back into values,
// as read from an animation file. Filled once on the resource thread, read-only (and shared by every
// animation that plays the clip) afterwards.
#pragma once

#include "core/math/Vector.h"
#include "core/strings/NameString.h"

#include <emmintrin.h>

#include <cstdint>
#include <cstring>
#include <vector>

class RecordInput;

// One quantised key: three value components and the key's time, each a signed 16-bit fraction.
struct AnimationKey
{
    int16_t x = 0;
    int16_t y = 0;
    int16_t z = 0;
    int16_t t = 0;
};

// Channels of a track, in the order their keys are stored.
enum AnimationChannel : uint32_t
{
    ANIMCHANNEL_ROTATION = 0,
    ANIMCHANNEL_POSITION = 1,
    ANIMCHANNEL_SCALE = 2,
    ANIMCHANNEL_COUNT = 3,
};

// The keys of one bone, matched to a skeleton bone by name.
struct AnimationTrack
{
    NameString name;
    uint16_t keyCounts[ANIMCHANNEL_COUNT] = {};
    // Index of the track's first key of each channel in the clip's key array (set by the reader).
    uint32_t firstKeys[ANIMCHANNEL_COUNT] = {};
};

// The box a channel's keys are quantised into; w holds the key times.
struct AnimationRange
{
    Vector minimum;
    Vector maximum;
};

// The four components of a key in the channel's range: negative values scale by 32768, others by
// 32767, then [-1, 1] maps onto [minimum, maximum] (x, y, z values and the time in w).
inline __m128 DecodeAnimationKey(const AnimationKey& key, __m128 minimum, __m128 maximum)
{
    int64_t bits;
    std::memcpy(&bits, &key, sizeof(bits));
    const __m128i raw = _mm_cvtsi64_si128(bits);
    const __m128 c = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(raw, raw), 16));
    const __m128 negative = _mm_cmplt_ps(c, _mm_setzero_ps());
    const __m128 scale = _mm_or_ps(_mm_and_ps(negative, _mm_set1_ps(1.0f / 32768.0f)),
                                   _mm_andnot_ps(negative, _mm_set1_ps(1.0f / 32767.0f)));
    const __m128 half = _mm_set1_ps(0.5f);
    const __m128 f = _mm_add_ps(_mm_mul_ps(half, _mm_mul_ps(c, scale)), half);
    return _mm_add_ps(_mm_mul_ps(_mm_sub_ps(_mm_set1_ps(1.0f), f), minimum), _mm_mul_ps(f, maximum));
}

// The rebuilt w of four rotation keys from their x, y and z lanes: sqrt(1 - x² - y² - z²), 0 where
// that is negative.
inline __m128 RebuildAnimationRotationW4(__m128 x, __m128 y, __m128 z)
{
    const __m128 square =
        _mm_sub_ps(_mm_sub_ps(_mm_sub_ps(_mm_set1_ps(1.0f), _mm_mul_ps(x, x)), _mm_mul_ps(y, y)), _mm_mul_ps(z, z));
    return _mm_sqrt_ps(_mm_max_ps(square, _mm_setzero_ps()));
}

// The decoded keys of four consecutive tracks at one key time, one track per lane: rotation x, y, z
// and rebuilt w, position x, y, z and the key time. Lanes past the last track hold zeros (w 1).
struct alignas(64) AnimationKeyBlock
{
    __m128 rotation[4];
    __m128 position[4];
};

// A clip as stored in its file, from the track count on.
class AnimationData
{
public:
    static constexpr uint32_t kMagic = 0xA3B9550F;
    // The first version whose files end with the second value.
    static constexpr uint32_t kSecondValueVersion = 4;
    // Bytes of the smallest track record: an empty name and three counts.
    static constexpr size_t kMinTrackBytes = 4 + 3 * 2;

    // Reads the body of a file of the given version; false (logged, the clip left empty) when the
    // data ends early or its counts do not match what is there.
    bool Read(RecordInput& in, uint32_t version, const char* fileName);
    void Clear();

    const std::vector<AnimationTrack>& GetTracks() const { return m_tracks; }
    const std::vector<AnimationKey>& GetKeys() const { return m_keys; }
    // Every key of every track decoded in its channel's range (the time in w), parallel to GetKeys:
    // poses read values instead of decoding the same keys each frame. Keys no track uses stay 0.
    const std::vector<Vector>& GetDecodedKeys() const { return m_decoded; }
    // For a clip whose tracks all keep their rotation and position keys at one set of times (a clip
    // baked at a fixed rate): the keys of tracks 4g..4g + 3 at key j in block
    // [g * GetBlockKeyCount() + j], so that a pose reads four tracks' keys from two cache lines,
    // ready for four-lane arithmetic. Empty for other clips.
    const std::vector<AnimationKeyBlock>& GetKeyBlocks() const { return m_blocks; }
    uint32_t GetBlockKeyCount() const { return m_blockKeyCount; }
    const AnimationRange& GetRange(AnimationChannel channel) const { return m_ranges[channel]; }
    float GetValue(int index) const { return m_values[index]; }
    // Index of the track with that name, -1 if none.
    int32_t FindTrack(const NameString& name) const;

private:
    void DecodeKeys();
    void BuildKeyBlocks();

    std::vector<AnimationTrack> m_tracks;
    std::vector<AnimationKey> m_keys;
    std::vector<Vector> m_decoded;
    std::vector<AnimationKeyBlock> m_blocks;
    uint32_t m_blockKeyCount = 0;
    AnimationRange m_ranges[ANIMCHANNEL_COUNT];
    float m_values[2] = {};
};
