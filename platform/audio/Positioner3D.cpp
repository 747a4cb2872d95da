#include "platform/audio/Positioner3D.h"

#include <algorithm>
#include <cmath>

namespace audio
{
namespace
{
constexpr float kQuarterPi = 0.78539816f;

Vec3 Add(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 Sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Scale(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float Length(Vec3 a) { return std::sqrt(Dot(a, a)); }

Vec3 Cross(Vec3 a, Vec3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vec3 Normalized(Vec3 a)
{
    const float length = Length(a);
    return length > 0.0f ? Scale(a, 1.0f / length) : Vec3{};
}

float CurveLevel(const Emitter& emitter, float distance)
{
    const float scaler = emitter.curveDistanceScaler > 0.0f ? emitter.curveDistanceScaler : 1.0f;
    const float scaled = distance / scaler;
    const uint32_t count = std::min(emitter.volumeCurvePointCount, kMaxCurvePoints);
    if (count == 0)
        return scaled <= 1.0f ? 1.0f : 1.0f / scaled;
    const CurvePoint* points = emitter.volumeCurve;
    if (scaled <= points[0].distance)
        return points[0].level;
    for (uint32_t i = 1; i < count; ++i)
    {
        if (scaled <= points[i].distance)
        {
            const float span = points[i].distance - points[i - 1].distance;
            const float t = span > 0.0f ? (scaled - points[i - 1].distance) / span : 1.0f;
            return points[i - 1].level + (points[i].level - points[i - 1].level) * t;
        }
    }
    return points[count - 1].level;
}
} // namespace

bool Positioner3D::Init(uint32_t speakerMask, float speedOfSound)
{
    const uint32_t known = kSpeakerFrontLeft | kSpeakerFrontRight;
    if (speakerMask == 0 || (speakerMask & ~known) != 0 || !(speedOfSound > 0.0f))
        return false;
    m_speakerMask = speakerMask;
    m_speedOfSound = speedOfSound;
    return true;
}

bool Positioner3D::Calculate(const Listener& listener, const Emitter& emitter, uint32_t flags,
                             DspSettings& dsp) const
{
    if (m_speakerMask == 0 || dsp.srcChannelCount == 0 || dsp.srcChannelCount > kMaxEmitterChannels ||
        dsp.dstChannelCount == 0 || ((flags & kCalculateMatrix) && dsp.matrixCoefficients == nullptr))
        return false;

    const Vec3 toListener = Sub(listener.position, emitter.position);
    const float distance = Length(toListener);
    dsp.emitterToListenerDistance = distance;

    if (flags & kCalculateMatrix)
    {
        const uint32_t src = dsp.srcChannelCount;
        const uint32_t dst = dsp.dstChannelCount;
        std::fill(dsp.matrixCoefficients, dsp.matrixCoefficients + src * dst, 0.0f);
        const float level = CurveLevel(emitter, distance);
        const Vec3 listenerRight = Normalized(Cross(listener.top, listener.front));
        const Vec3 emitterFront = Normalized(emitter.front);
        const Vec3 emitterRight = Normalized(Cross(emitter.top, emitter.front));
        // Stereo output only when the speakers and the destination both have a left and a right.
        const bool stereo = m_speakerMask == (kSpeakerFrontLeft | kSpeakerFrontRight) && dst >= 2;
        for (uint32_t c = 0; c < src; ++c)
        {
            Vec3 position = emitter.position;
            if (src > 1 && emitter.channelRadius > 0.0f && c < kMaxEmitterChannels)
            {
                const float azimuth = emitter.channelAzimuths[c];
                const Vec3 offset = Add(Scale(emitterFront, std::cos(azimuth)), Scale(emitterRight, -std::sin(azimuth)));
                position = Add(position, Scale(offset, emitter.channelRadius));
            }
            if (!stereo)
            {
                for (uint32_t d = 0; d < dst; ++d)
                    dsp.matrixCoefficients[d * src + c] = level;
                continue;
            }
            const Vec3 direction = Normalized(Sub(position, listener.position));
            // -1 fully left .. +1 fully right; a source at the listener sits in the middle.
            const float pan = std::clamp(Dot(direction, listenerRight), -1.0f, 1.0f);
            const float angle = (pan + 1.0f) * kQuarterPi;
            dsp.matrixCoefficients[0 * src + c] = level * std::cos(angle);
            dsp.matrixCoefficients[1 * src + c] = level * std::sin(angle);
        }
    }

    dsp.dopplerFactor = 1.0f;
    if ((flags & kCalculateDoppler) && distance > 0.0f && emitter.dopplerScaler > 0.0f)
    {
        const Vec3 axis = Scale(toListener, 1.0f / distance);
        // Speeds along the emitter-to-listener axis, kept well below the speed of sound.
        const float limit = m_speedOfSound * 0.5f;
        const float emitterSpeed = std::clamp(Dot(emitter.velocity, axis) * emitter.dopplerScaler, -limit, limit);
        const float listenerSpeed = std::clamp(Dot(listener.velocity, axis) * emitter.dopplerScaler, -limit, limit);
        dsp.dopplerFactor = (m_speedOfSound - listenerSpeed) / (m_speedOfSound - emitterSpeed);
    }
    return true;
}
} // namespace audio
