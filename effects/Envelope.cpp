#include "effects/Envelope.h"

#include <algorithm>
#include <cmath>

namespace
{
const char* const kInterpolationNames[] = {"Linear", "Smooth", "Step", nullptr};
} // namespace

RTTI_DEFINE_CLASS(EnvelopeLoop, RTTIPolyBaseClass)

void EnvelopeLoop::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = EnvelopeLoop;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Name", &C::m_name));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("First key", &C::m_firstKey));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Last key", &C::m_lastKey));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Repeat", &C::m_repeat));
}

RTTI_DEFINE_CLASS_TABLE(Envelope, RTTIPolyBaseClass)

int Envelope::RegisterRTTIClass()
{
    return RTTIClassRegistry::EnsureClassRegistered("Envelope", "RTTIPolyBaseClass", nullptr);
}

void Envelope::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = Envelope;
    table.AddProperty(new RTTIDynarrayProperty<C, uint32_t>("Key times", &C::m_keyTimes));
    table.AddProperty(new RTTIDynarrayProperty<C, uint8_t>("Key flags", &C::m_keyFlags));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Interpolation", &C::m_interpolation,
                                                                     RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kInterpolationNames);
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectsProperty<C, EnvelopeLoop>("Loops", &C::m_loops));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Enabled", &C::m_enabled));
}

int32_t Envelope::KeyTimeCount() const
{
    // Records are read as they come: times and flags may disagree in number, and only keys with
    // both are played.
    return std::min(m_keyTimes.Count(), m_keyFlags.Count());
}

void Envelope::ResetPlayback(EnvelopePlayback& state)
{
    state.time = 0.0f;
    state.loop = 0;
    state.key = 0;
    while (state.loop < 32 && (state.loopMask & (1u << state.loop)) == 0)
        ++state.loop;
}

bool Envelope::FindKeySegment(const Envelope& envelope, EnvelopePlayback& state, float step)
{
    state.time += step;
    const int32_t count = envelope.GetKeyCount();
    if (count == 0)
        return false;
    int32_t first = 0;
    int32_t last = count - 1;
    bool repeat = false;
    const DynarraySafe<EnvelopeLoop>& loops = envelope.m_loops;
    if (state.loop < uint32_t(loops.Count()))
    {
        // Loop bounds come from data: they are kept inside the keys.
        const EnvelopeLoop& loop = loops[int32_t(state.loop)];
        last = int32_t(std::min<uint32_t>(loop.m_lastKey, uint32_t(count - 1)));
        first = int32_t(std::min<uint32_t>(loop.m_firstKey, uint32_t(last)));
        repeat = loop.m_repeat;
    }
    const float start = float(envelope.m_keyTimes[first]);
    const float end = float(envelope.m_keyTimes[last]);
    float time = state.time * kTimeUnitsPerSecond;
    if (time >= end)
    {
        if (!repeat || end <= start)
        {
            state.time = end / kTimeUnitsPerSecond;
            state.key = uint32_t(last);
            return false;
        }
        time = start + std::fmod(time - start, end - start);
        state.time = time / kTimeUnitsPerSecond;
    }
    const int32_t key = envelope.FindSegment(time, int32_t(state.key), count);
    state.key = uint32_t(std::max(key, first));
    return true;
}

int32_t Envelope::InsertKeyTime(float seconds, int32_t index)
{
    // Negative (and not-a-number) times are refused, and so are times past the stored range.
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
}

void Envelope::CopyEnvelopeFrom(const Envelope& other)
{
    m_keyTimes = other.m_keyTimes;
    m_keyFlags = other.m_keyFlags;
    m_interpolation = other.m_interpolation;
    m_loops = other.m_loops;
    m_enabled = other.m_enabled;
}
