// TEnvelope: an Envelope with a value per key (Vector or HDRColor) and a constant value used while
// the envelope is off or has no keys; EnvelopeTrack evaluates one at a playback state. Main thread.
#pragma once

#include "core/math/HDRColor.h"
#include "core/math/Vector.h"
#include "effects/Envelope.h"

// Class names and blending of the envelope value types.
template <typename T>
struct EnvelopeValueTraits;

template <>
struct EnvelopeValueTraits<Vector>
{
    static constexpr const char* kClassName = "TEnvelope<Vector>";
    static void Blend(Vector& out, const Vector& a, const Vector& b, float t)
    {
        out.Lerp(a, b, Vector(t, t, t, t));
    }
};

template <>
struct EnvelopeValueTraits<HDRColor>
{
    static constexpr const char* kClassName = "TEnvelope<HDRColor>";
    static void Blend(HDRColor& out, const HDRColor& a, const HDRColor& b, float t) { out.Lerp(a, b, t); }
};

// Keyed curve of T values.
template <typename T>
class TEnvelope : public Envelope
{
    RTTI_DECLARE_CLASS(TEnvelope, Envelope)

public:
    explicit TEnvelope(uint32_t interpolation = INTERPOLATION_LINEAR, const T& constant = T())
        : Envelope(interpolation), m_constant(constant)
    {
    }
    virtual ~TEnvelope() = default;

    virtual void GetConstantValue(T& out) const { out = m_constant; }
    virtual void SetConstantValue(const T& value) { m_constant = value; }
    virtual TEnvelope* Clone() const
    {
        TEnvelope* copy = new TEnvelope(m_interpolation, m_constant);
        copy->CopyFrom(*this);
        return copy;
    }
    virtual void CopyFrom(const TEnvelope& other)
    {
        CopyEnvelopeFrom(other);
        m_constant = other.m_constant;
        m_values = other.m_values;
    }

    // Adds a key of `value` at `seconds` (stored in 1/1024 s, truncated): appended when `index` is
    // -1 or past the last key, else inserted before the key at `index`. Refused (-1) for a negative
    // time and for a time that would not lie strictly between its neighbours; else the key's index.
    int32_t AddKey(const T& value, float seconds, int32_t index)
    {
        const int32_t at = InsertKeyTime(seconds, index);
        if (at >= 0)
            m_values.Insert(value, at);
        return at;
    }

    int32_t GetKeyCount() const override { return std::min(KeyTimeCount(), m_values.Count()); }
    const T& GetKeyValue(int32_t index) const { return m_values[index]; }

protected:
    void TrimKeys(int32_t count) override
    {
        Envelope::TrimKeys(count);
        if (m_values.Count() > count)
            m_values.RemoveRange(count, m_values.Count() - 1);
    }

private:
    T m_constant;
    Dynarray<T> m_values;
};

template <typename T>
RTTIPropertiesBase* TEnvelope<T>::StaticClassProperties()
{
    static RTTIPropertiesBase* const table =
        RTTIBuildClassTable<TEnvelope<T>>(EnvelopeValueTraits<T>::kClassName, "Envelope", &Envelope::StaticClassProperties);
    return table;
}

template <typename T>
void TEnvelope<T>::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDynarrayProperty<TEnvelope, T>("Keys", &TEnvelope::m_values));
    table.AddProperty(new RTTIDirectAccessTypedProperty<TEnvelope, T>("Constant value", &TEnvelope::m_constant));
}

template <typename T>
int TEnvelope<T>::RegisterRTTIClass()
{
    return RTTIClassRegistry::EnsureClassRegistered(EnvelopeValueTraits<T>::kClassName, "Envelope",
                                                    [](int) -> RTTIPolyBaseClass* { return new TEnvelope<T>; });
}

// Reads typed envelopes at a playback state.
namespace EnvelopeTrack
{
// The constant value while the envelope is off or empty; else the first key's value before the
// first key, the last key's after the last, and the blend of the segment's two keys between.
template <typename T>
void Evaluate(const TEnvelope<T>& envelope, const EnvelopePlayback& state, T& out)
{
    // Qualified: the typed count needs no virtual call on this per-frame path.
    const int32_t count = envelope.TEnvelope<T>::GetKeyCount();
    if (!envelope.IsEnabled() || count == 0)
    {
        envelope.GetConstantValue(out);
        return;
    }
    const float time = state.time * Envelope::kTimeUnitsPerSecond;
    const int32_t key = envelope.FindSegment(time, int32_t(state.key), count);
    if (key < 0)
        out = envelope.GetKeyValue(0);
    else if (key + 1 >= count)
        out = envelope.GetKeyValue(count - 1);
    else
        EnvelopeValueTraits<T>::Blend(out, envelope.GetKeyValue(key), envelope.GetKeyValue(key + 1),
                                      envelope.SegmentWeight(key, time));
}
} // namespace EnvelopeTrack
