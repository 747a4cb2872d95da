// TEnvelope: an Envelope with one value per key (Vector or HDRColor) and a constant value, given
// while the envelope is off or has no keys and combined with the key values by the combine mode.
// Same threads as Envelope.
#pragma once

#include "core/math/HDRColor.h"
#include "core/math/Vector.h"
#include "effects/Envelope.h"

#include <algorithm>

// Class names and arithmetic of the envelope value types.
template <typename T>
struct EnvelopeValueTraits;

template <>
struct EnvelopeValueTraits<Vector>
{
    static constexpr const char* kClassName = "TEnvelopeVector";
    static void Lerp(Vector& out, const Vector& a, const Vector& b, float u) { out.Lerp(a, b, Vector(u, u, u, u)); }
    // out = sum of p[i] * w[i].
    static void Weigh(Vector& out, const Vector* p, const float* w)
    {
        out.Mul(p[0], w[0]);
        for (int i = 1; i < 4; ++i)
            out.MulAdd(p[i], w[i]);
    }
    static void Multiply(Vector& value, const Vector& by) { value.SetSimd(_mm_mul_ps(value.Simd(), by.Simd())); }
    static void Add(Vector& value, const Vector& to) { value.Add(to); }
};

template <>
struct EnvelopeValueTraits<HDRColor>
{
    static constexpr const char* kClassName = "TEnvelopeHDRColor";
    static void Lerp(HDRColor& out, const HDRColor& a, const HDRColor& b, float u) { out.Lerp(a, b, u); }
    static void Weigh(HDRColor& out, const HDRColor* p, const float* w)
    {
        out.SetScaled(p[0], w[0]);
        for (int i = 1; i < 4; ++i)
            out.AddScaled(p[i], w[i]);
    }
    static void Multiply(HDRColor& value, const HDRColor& by) { value *= by; }
    static void Add(HDRColor& value, const HDRColor& to) { value += to; }
};

// Keyed curve of T values.
template <typename T>
class TEnvelope : public Envelope
{
    RTTI_DECLARE_CLASS(TEnvelope, Envelope)

public:
    using Traits = EnvelopeValueTraits<T>;

    explicit TEnvelope(uint8_t combineMode = COMBINE_KEYS, const T& constant = T())
        : Envelope(combineMode), m_constant(constant)
    {
    }
    TEnvelope(const TEnvelope& other) = default;
    TEnvelope& operator=(const TEnvelope& other) = default;

    void GetConstantValue(T& out) const { out = m_constant; }
    void SetConstantValue(const T& value) { m_constant = value; }
    void CopyFrom(const TEnvelope& other) { *this = other; }

    // Adds a key of `value` at `seconds` (stored in 1/1024 s, truncated): appended when `index` is
    // -1 or past the last key, else inserted before the key at `index`. Refused (-1) for a negative
    // time and for a time that would not lie strictly between its neighbours; else the key's index.
    int32_t AddKey(const T& value, float seconds, int32_t index)
    {
        TrimValues(GetKeyCount());
        const int32_t at = InsertKeyTime(seconds, index);
        if (at >= 0)
            m_values.Insert(value, at);
        return at;
    }

    int32_t GetKeyCount() const override { return std::min(m_keyTimes.Count(), m_values.Count()); }
    const T& GetKeyValue(int32_t index) const { return m_values[index]; }

    // The value at the state's time.
    void Evaluate(const EnvelopePlayState& state, T& out) const;

    // Stored key times and values of unequal length are cut to the shorter, so every key played
    // has both.
    void OnPostLoad(uint32_t flags) override
    {
        Envelope::OnPostLoad(flags);
        const int32_t count = GetKeyCount();
        TrimKeys(count);
        TrimValues(count);
    }

private:
    void TrimValues(int32_t count)
    {
        if (m_values.Count() > count)
            m_values.RemoveRange(count, m_values.Count() - 1);
    }
    void EvaluateBezier(int32_t k, int32_t count, float seconds, T& out) const;

    T m_constant;
    Dynarray<T> m_values;
};

template <typename T>
void TEnvelope<T>::Evaluate(const EnvelopePlayState& state, T& out) const
{
    // Qualified: no virtual call on this per-frame path.
    const int32_t count = TEnvelope::GetKeyCount();
    if (!m_enabled || count == 0)
    {
        out = m_constant;
        return;
    }
    const float time = state.time * kTimeUnitsPerSecond;
    const uint32_t t = ToKeyTime(state.time);
    if (t <= m_keyTimes[0])
        out = m_values[0];
    else if (t >= m_keyTimes[count - 1])
        out = m_values[count - 1];
    else
    {
        const int32_t k = SegmentStart(state, t, count);
        if (m_interpolation == INTERPOLATION_NONE)
            out = m_values[k];
        else if (m_interpolation == INTERPOLATION_CUBIC_BEZIER)
            EvaluateBezier(k, count, state.time, out);
        else
            Traits::Lerp(out, m_values[k], m_values[k + 1], LinearWeight(k, time));
    }
    if (m_combineMode == COMBINE_MULTIPLY)
        Traits::Multiply(out, m_constant);
    else if (m_combineMode == COMBINE_ADD)
        Traits::Add(out, m_constant);
}

template <typename T>
void TEnvelope<T>::EvaluateBezier(int32_t k, int32_t count, float seconds, T& out) const
{
    const int32_t j = (k / 3) * 3;
    // Keys that do not fill a last segment of four control points: that part is linear.
    if (j + 3 >= count)
    {
        Traits::Lerp(out, m_values[k], m_values[k + 1], LinearWeight(k, seconds * kTimeUnitsPerSecond));
        return;
    }
    // Control times in seconds: the solver's tolerance is 0.01 s.
    const float x0 = float(m_keyTimes[j]) / kTimeUnitsPerSecond;
    const float x3 = float(m_keyTimes[j + 3]) / kTimeUnitsPerSecond;
    const float x = std::clamp(seconds, x0, x3);
    const float u = std::clamp(SolveBezierParameter(x0, float(m_keyTimes[j + 1]) / kTimeUnitsPerSecond,
                                                    float(m_keyTimes[j + 2]) / kTimeUnitsPerSecond, x3, x),
                               0.0f, 1.0f);
    const float v = 1.0f - u;
    const float weights[4] = {v * v * v, 3.0f * u * v * v, 3.0f * u * u * v, u * u * u};
    Traits::Weigh(out, &m_values[j], weights);
}

template <typename T>
RTTIPropertiesBase* TEnvelope<T>::StaticClassProperties()
{
    static RTTIPropertiesBase* const table =
        RTTIBuildClassTable<TEnvelope<T>>(Traits::kClassName, "Envelope", &Envelope::StaticClassProperties);
    return table;
}

template <typename T>
void TEnvelope<T>::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<TEnvelope, T>("Constant value", &TEnvelope::m_constant));
    table.AddProperty(new RTTIDynarrayProperty<TEnvelope, T>("Keys", &TEnvelope::m_values));
}

template <typename T>
int TEnvelope<T>::RegisterRTTIClass()
{
    return RTTIClassRegistry::EnsureClassRegistered(Traits::kClassName, "Envelope",
                                                    [](int) -> RTTIPolyBaseClass* { return new TEnvelope<T>; });
}
