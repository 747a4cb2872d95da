// Envelope: the keyed curve base of the typed envelopes (TEnvelope). Keys are times in 1/1024 s
// with one flag byte each; named loops {Start, End} hold a player between two times until they are
// released. The playing position lives apart from the curve (EnvelopePlayState), so one curve
// serves any number of players. Curves are edited and loaded on the main thread and are read-only
// while played; the render thread plays the curves of effect definitions between those changes.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/reflection/RTTIClass.h"
#include "core/strings/NameString.h"

#include <cstdint>

// One named loop between two key times (1/1024 s).
class EnvelopeLoop : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(EnvelopeLoop, RTTIPolyBaseClass)

public:
    uint32_t m_start = 0;
    uint32_t m_end = 0;
    NameString m_name;
};

// Where one player stands on an envelope; 16 bytes, copied as they are between effect contexts.
struct EnvelopePlayState
{
    float time = 0.0f;          // seconds
    uint32_t releasedLoops = 0; // bit i set: loop i no longer holds the player
    uint32_t loop = 0;          // current loop; 32 or more: none
    uint32_t key = 0;           // key starting the current segment
};
static_assert(sizeof(EnvelopePlayState) == 16);

// Keyed curve without values; TEnvelope adds them.
class Envelope : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(Envelope, RTTIPolyBaseClass)

public:
    static constexpr float kTimeUnitsPerSecond = 1024.0f;
    static constexpr uint32_t kNoLoop = 32;
    enum Interpolation : uint32_t
    {
        INTERPOLATION_NONE = 0,
        INTERPOLATION_LINEAR = 1,
        INTERPOLATION_CUBIC_BEZIER = 2,
    };
    // How the evaluated key value meets the constant value.
    enum CombineMode : uint8_t
    {
        COMBINE_KEYS = 0,
        COMBINE_MULTIPLY = 1,
        COMBINE_ADD = 2,
    };
    // Results of FindKeySegment.
    enum Segment : int
    {
        SEGMENT_NO_KEYS = 0,
        SEGMENT_AFTER_LAST = 1,
        SEGMENT_BEFORE_FIRST = 2,
        SEGMENT_BETWEEN = 3,
    };

    explicit Envelope(uint8_t combineMode = COMBINE_KEYS) : m_combineMode(combineMode) {}
    Envelope(const Envelope& other);
    Envelope& operator=(const Envelope& other);

    // Seconds to key units, truncated; negative and not-a-number times give 0, huge ones the largest.
    static uint32_t ToKeyTime(float seconds);
    // Time 0, loop 0, key 0, then past every released loop.
    static void ResetPlayback(EnvelopePlayState& state);
    // Marks loop `index` released and moves the player past released loops.
    static void ReleaseLoop(EnvelopePlayState& state, uint32_t index);
    // Re-arms the named loop (every loop for null) and restarts the player at 0.
    void ActivateLoop(EnvelopePlayState& state, const char* name) const;
    // Releases the named loop (every loop for null); an unknown name changes nothing.
    void BreakLoop(EnvelopePlayState& state, const char* name) const;
    // Index of the first loop of exactly this name, -1 if none.
    int32_t FindLoop(const char* name) const;
    // Locates `time` (1/1024 s) among the keys; see Segment for the result.
    int FindKeySegment(uint32_t time, int32_t& previous, int32_t& next) const;
    // Moves the player on by `step` seconds, wrapping inside its current loop. True once it has run
    // past the last key with no loop holding it. Reads the key times alone (loading and AddKey keep
    // them as many as the values; Evaluate checks the key index it is given).
    bool Advance(EnvelopePlayState& state, float step) const;
    // The curve parameter u at which the cubic through control times x0..x3 reaches `time`.
    static float SolveBezierParameter(float x0, float x1, float x2, float x3, float time);

    // Keys that have a time and (in the typed forms) a value.
    virtual int32_t GetKeyCount() const { return m_keyTimes.Count(); }
    uint32_t GetKeyTime(int32_t index) const { return m_keyTimes[index]; }
    uint8_t GetKeyFlags(int32_t index) const { return index < m_keyFlags.Count() ? m_keyFlags[index] : 0; }
    uint32_t GetInterpolation() const { return m_interpolation; }
    void SetInterpolation(uint32_t interpolation) { m_interpolation = interpolation; }
    uint8_t GetCombineMode() const { return m_combineMode; }
    bool IsEnabled() const { return m_enabled; }
    void SetEnabled(bool enabled) { m_enabled = enabled; }
    const DynarraySafe<EnvelopeLoop>& GetLoops() const { return m_loops; }
    DynarraySafe<EnvelopeLoop>& GetLoops() { return m_loops; }

protected:
    // Stores a key time (and a zero flag) at `index`, or appends it for -1 or an index past the end;
    // the new key's index, or -1 when the time is negative, out of range or not strictly between its
    // neighbours.
    int32_t InsertKeyTime(float seconds, int32_t index);
    // Cuts times and flags to `count` keys and gives every key a flag byte.
    void TrimKeys(int32_t count);
    // The key starting the segment that holds `t` (key units, strictly inside the keys): the
    // state's key when it does, else the segment looked up.
    int32_t SegmentStart(const EnvelopePlayState& state, uint32_t t, int32_t count) const;
    // The weight of key k+1 at `time` (1/1024 s) between keys k and k+1; 1 for keys at one time.
    float LinearWeight(int32_t k, float time) const;

    Dynarray<uint32_t> m_keyTimes;
    Dynarray<uint8_t> m_keyFlags;
    DynarraySafe<EnvelopeLoop> m_loops;
    uint32_t m_interpolation = INTERPOLATION_LINEAR;
    uint8_t m_combineMode;
    bool m_enabled = true;
};
