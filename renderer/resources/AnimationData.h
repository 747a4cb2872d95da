// AnimationData: one clip's tracks, quantised keys and the ranges that turn keys back into values,
// as read from an animation file. Filled once on the resource thread, read-only (and shared by every
// animation that plays the clip) afterwards.
#pragma once

#include "core/math/Vector.h"
#include "core/strings/NameString.h"

#include <cstdint>
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
    const AnimationRange& GetRange(AnimationChannel channel) const { return m_ranges[channel]; }
    float GetValue(int index) const { return m_values[index]; }
    // Index of the track with that name, -1 if none.
    int32_t FindTrack(const NameString& name) const;

private:
    std::vector<AnimationTrack> m_tracks;
    std::vector<AnimationKey> m_keys;
    AnimationRange m_ranges[ANIMCHANNEL_COUNT];
    float m_values[2] = {};
};
