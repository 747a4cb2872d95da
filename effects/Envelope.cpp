#include "effects/Envelope.h"

#include <cmath>
#include <cstring>

namespace
{
const char* const kInterpolationNames[] = {"None", "Linear", "CubicBezier", nullptr};

void SkipReleasedLoops(EnvelopePlayState& state)
{
    while (state.loop < Envelope::kNoLoop && (state.releasedLoops & (1u << state.loop)) != 0)
        ++state.loop;
}
} // namespace

RTTI_DEFINE_CLASS(EnvelopeLoop, RTTIPolyBaseClass)

void EnvelopeLoop::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = EnvelopeLoop;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Start", &C::m_start));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("End", &C::m_end));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Name", &C::m_name));
}

RTTI_DEFINE_CLASS_TABLE(Envelope, RTTIPolyBaseClass)

int Envelope::RegisterRTTIClass()
{
    return RTTIClassRegistry::EnsureClassRegistered("Envelope", "RTTIPolyBaseClass", nullptr);
}

void Envelope::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = Envelope;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Interpolation type", &C::m_interpolation,
                                                                     RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kInterpolationNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Envelope enabled", &C::m_enabled));
    table.AddProperty(new RTTIDynarrayProperty<C, uint32_t>("KeyTimes", &C::m_keyTimes));
    table.AddProperty(new RTTIDynarrayProperty<C, uint8_t>("KeyFlags", &C::m_keyFlags));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectsProperty<C, EnvelopeLoop>("Loops", &C::m_loops));
}

Envelope::Envelope(const Envelope& other)
    : RTTIPolyBaseClass(other), m_keyTimes(other.m_keyTimes), m_keyFlags(other.m_keyFlags), m_loops(other.m_loops),
      m_interpolation(other.m_interpolation), m_combineMode(other.m_combineMode), m_enabled(other.m_enabled)
{
}

Envelope& Envelope::operator=(const Envelope& other)
{
    if (this != &other)
    {
        m_keyTimes = other.m_keyTimes;
        m_keyFlags = other.m_keyFlags;
        m_loops = other.m_loops;
        m_interpolation = other.m_interpolation;
        m_combineMode = other.m_combineMode;
        m_enabled = other.m_enabled;
    }
    return *this;
}

uint32_t Envelope::ToKeyTime(float seconds)
{
    const float units = seconds * kTimeUnitsPerSecond;
    if (!(units > 0.0f))
        return 0;
    // 2^32 - 256: the largest float below 2^32.
    return units >= 4294967040.0f ? 0xFFFFFFFFu : uint32_t(units);
}

void Envelope::ResetPlayback(EnvelopePlayState& state)
{
    state.time = 0.0f;
    state.loop = 0;
    state.key = 0;
    SkipReleasedLoops(state);
}

void Envelope::ReleaseLoop(EnvelopePlayState& state, uint32_t index)
{
    if (index < kNoLoop)
        state.releasedLoops |= 1u << index;
    SkipReleasedLoops(state);
}

void Envelope::ActivateLoop(EnvelopePlayState& state, const char* name) const
{
    if (name == nullptr)
        state.releasedLoops = 0;
    else if (const int32_t index = FindLoop(name); index >= 0 && index < int32_t(kNoLoop))
        state.releasedLoops &= ~(1u << index);
    ResetPlayback(state);
}

void Envelope::BreakLoop(EnvelopePlayState& state, const char* name) const
{
    if (name == nullptr)
    {
        state.releasedLoops = 0xFFFFFFFFu;
        state.loop = kNoLoop;
        return;
    }
    const int32_t index = FindLoop(name);
    if (index >= 0)
        ReleaseLoop(state, uint32_t(index));
}

int32_t Envelope::FindLoop(const char* name) const
{
    if (name == nullptr)
        return -1;
    for (int32_t i = 0; i < m_loops.Count(); ++i)
        if (std::strcmp(m_loops[i].m_name.CStr(), name) == 0)
            return i;
    return -1;
}

int Envelope::FindKeySegment(uint32_t time, int32_t& previous, int32_t& next) const
{
    const int32_t count = GetKeyCount();
    if (count == 0)
        return SEGMENT_NO_KEYS;
    if (time <= m_keyTimes[0])
    {
        next = 0;
        return SEGMENT_BEFORE_FIRST;
    }
    if (time >= m_keyTimes[count - 1])
    {
        previous = count - 1;
        return SEGMENT_AFTER_LAST;
    }
    // First key whose time is not below `time`; key 0 is below it and the last key is not.
    int32_t low = 1;
    int32_t high = count - 1;
    while (low < high)
    {
        const int32_t middle = low + (high - low) / 2;
        if (m_keyTimes[middle] < time)
            low = middle + 1;
        else
            high = middle;
    }
    next = low;
    previous = low - 1;
    return SEGMENT_BETWEEN;
}

bool Envelope::Advance(EnvelopePlayState& state, float step) const
{
    state.time += step;
    uint32_t t = ToKeyTime(state.time);
    const int32_t count = m_keyTimes.Count();
    bool ended = count == 0 || m_keyTimes[count - 1] < t;
    if (count > 0 && state.loop < uint32_t(m_loops.Count()))
    {
        ended = false;
        const EnvelopeLoop& loop = m_loops[int32_t(state.loop)];
        if (t >= loop.m_end)
        {
            // A loop without length has no range to wrap in (a modulo by zero): it holds the
            // player at its start until it is released.
            if (loop.m_end > loop.m_start)
                t = (t - loop.m_start) % (loop.m_end - loop.m_start) + loop.m_start;
            else
                t = loop.m_start;
            state.time = float(t) / kTimeUnitsPerSecond;
            state.key = 0;
            int32_t previous = 0;
            int32_t next = 0;
            const int found = FindKeySegment(t, previous, next);
            if (found == SEGMENT_AFTER_LAST || found == SEGMENT_BETWEEN)
                state.key = uint32_t(previous);
            return false;
        }
    }
    while (int64_t(state.key) + 1 < count && m_keyTimes[int32_t(state.key) + 1] < t)
        ++state.key;
    return ended;
}

float Envelope::SolveBezierParameter(float x0, float x1, float x2, float x3, float time)
{
    const float span = x3 - x0;
    // Control times at one instant: the segment is a jump, taken whole.
    if (!(span > 0.0f))
        return 1.0f;
    const float a = x3 - 3.0f * x2 + 3.0f * x1 - x0;
    const float b = 3.0f * x2 - 6.0f * x1 + 3.0f * x0;
    const float c = 3.0f * x1 - 3.0f * x0;
    float u = (time - x0) / span;
    for (int step = 0; step < 4; ++step)
    {
        const float f = ((a * u + b) * u + c) * u + x0 - time;
        const float slope = (3.0f * a * u + 2.0f * b) * u + c;
        if (std::fabs(f) <= 0.01f || std::fabs(slope) <= 0.01f)
            break;
        u -= f / slope;
    }
    return u;
}

int32_t Envelope::InsertKeyTime(float seconds, int32_t index)
{
    const double units = double(seconds) * kTimeUnitsPerSecond;
    if (!(units >= 0.0) || units >= 4294967296.0)
        return -1;
    const uint32_t time = uint32_t(units);
    const int32_t count = GetKeyCount();
    TrimKeys(count);
    if (index < 0 || index >= count)
    {
        if (count > 0 && m_keyTimes[count - 1] >= time)
            return -1;
        m_keyTimes.Add(time);
        m_keyFlags.Add(0);
        return count;
    }
    if ((index > 0 && m_keyTimes[index - 1] >= time) || m_keyTimes[index] <= time)
        return -1;
    m_keyTimes.Insert(time, index);
    m_keyFlags.Insert(0, index);
    return index;
}

void Envelope::TrimKeys(int32_t count)
{
    if (m_keyTimes.Count() > count)
        m_keyTimes.RemoveRange(count, m_keyTimes.Count() - 1);
    if (m_keyFlags.Count() > count)
        m_keyFlags.RemoveRange(count, m_keyFlags.Count() - 1);
    while (m_keyFlags.Count() < count)
        m_keyFlags.Add(0);
}

int32_t Envelope::SegmentStart(const EnvelopePlayState& state, uint32_t t, int32_t count) const
{
    const int64_t k = state.key;
    if (k + 1 < count && m_keyTimes[int32_t(k)] <= t && t < m_keyTimes[int32_t(k) + 1])
        return int32_t(k);
    // A state that was not advanced on this curve: the segment is looked up instead of trusted.
    int32_t previous = 0;
    int32_t next = 0;
    return FindKeySegment(t, previous, next) == SEGMENT_BETWEEN ? previous : 0;
}

float Envelope::LinearWeight(int32_t k, float time) const
{
    const float start = float(m_keyTimes[k]);
    const float length = float(m_keyTimes[k + 1]) - start;
    if (!(length > 0.0f))
        return 1.0f;
    const float u = (time - start) / length;
    return u < 0.0f ? 0.0f : (u > 1.0f ? 1.0f : u);
}
