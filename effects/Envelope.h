// Envelope: the keyed curve base of the typed envelopes (TEnvelope). Keys are times in 1/1024 s
// with one flag byte each; named loops cut the key range into parts that repeat or hold; an
// envelope can be switched off, when it gives its constant value. Playback state lives apart from
// the curve (EnvelopePlayback), so one curve serves many players. Main thread.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/reflection/RTTIClass.h"
#include "core/strings/NameString.h"

#include <algorithm>
#include <cstdint>

// One named loop: keys first..last; a repeating loop wraps at its last key, else it holds there.
class EnvelopeLoop : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(EnvelopeLoop, RTTIPolyBaseClass)

public:
    NameString m_name;
    uint32_t m_firstKey = 0;
    uint32_t m_lastKey = 0;
    bool m_repeat = true;
};

// Where a player stands on an envelope: time in seconds, the loop it plays, the key that starts
// the current segment, and which loops it may play (bit i: loop i).
struct EnvelopePlayback
{
    float time = 0.0f;
    uint32_t loop = 0;
    uint32_t key = 0;
    uint32_t loopMask = 0xFFFFFFFFu;
};

// Keyed curve without values; TEnvelope adds them.
class Envelope : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(Envelope, RTTIPolyBaseClass)

public:
    // Key times are stored in these units per second.
    static constexpr float kTimeUnitsPerSecond = 1024.0f;
    enum Interpolation : uint32_t
    {
        INTERPOLATION_LINEAR = 0,
        INTERPOLATION_SMOOTH = 1,
        INTERPOLATION_STEP = 2,
    };

    explicit Envelope(uint32_t interpolation = INTERPOLATION_LINEAR) : m_interpolation(interpolation) {}

    // Time 0, loop 0, key 0, then past the loops the state's mask leaves out.
    static void ResetPlayback(EnvelopePlayback& state);
    // Advances the state by `step` seconds and finds the segment within its loop (the whole key
    // range without loops), wrapping in a repeating loop and holding at the end otherwise. False once
    // the state holds at the end of a loop that does not repeat, or when there are no keys.
    static bool FindKeySegment(const Envelope& envelope, EnvelopePlayback& state, float step);

    // The number of keys that have a time, a flag and (in the typed envelopes) a value.
    virtual int32_t GetKeyCount() const { return KeyTimeCount(); }
    uint32_t GetKeyTime(int32_t index) const { return m_keyTimes[index]; }
    uint8_t GetKeyFlags(int32_t index) const { return m_keyFlags[index]; }
    uint32_t GetInterpolation() const { return m_interpolation; }
    void SetInterpolation(uint32_t interpolation) { m_interpolation = interpolation; }
    bool IsEnabled() const { return m_enabled; }
    void SetEnabled(bool enabled) { m_enabled = enabled; }
    const DynarraySafe<EnvelopeLoop>& GetLoops() const { return m_loops; }
    DynarraySafe<EnvelopeLoop>& GetLoops() { return m_loops; }

    // The weight of the later key at `time` (1/1024 s) between keys `key` and `key` + 1 (both below
    // the key count), shaped by the interpolation mode.
    float SegmentWeight(int32_t key, float time) const;
    // The key starting the segment that holds `time` among the first `count` keys, searched from
    // `hint`; -1 before the first key.
    int32_t FindSegment(float time, int32_t hint, int32_t count) const;

protected:
    // Times and flags of keys stored as one parallel pair; -1 when the time is refused.
    int32_t InsertKeyTime(float seconds, int32_t index);
    // Drops the keys of index `count` on that a record left without their partners.
    virtual void TrimKeys(int32_t count);
    void CopyEnvelopeFrom(const Envelope& other);
    int32_t KeyTimeCount() const;

    Dynarray<uint32_t> m_keyTimes;
    Dynarray<uint8_t> m_keyFlags;
    uint32_t m_interpolation;
    DynarraySafe<EnvelopeLoop> m_loops;
    bool m_enabled = true;
};

inline int32_t Envelope::FindSegment(float time, int32_t hint, int32_t count) const
{
    if (count == 0 || time < float(m_keyTimes[0]))
        return -1;
    int32_t key = hint >= 0 && hint < count && float(m_keyTimes[hint]) <= time ? hint : 0;
    while (key + 1 < count && float(m_keyTimes[key + 1]) <= time)
        ++key;
    return key;
}

inline float Envelope::SegmentWeight(int32_t key, float time) const
{
    const float start = float(m_keyTimes[key]);
    const float length = float(m_keyTimes[key + 1]) - start;
    float t = length > 0.0f ? std::clamp((time - start) / length, 0.0f, 1.0f) : 1.0f;
    if (m_interpolation == INTERPOLATION_SMOOTH)
        t = t * t * (3.0f - 2.0f * t);
    else if (m_interpolation == INTERPOLATION_STEP)
        t = t >= 1.0f ? 1.0f : 0.0f;
    return t;
}
