// 3D sound positioning: turns a listener and an emitter into an output level matrix, a Doppler
// frequency factor and a distance. Stateless after Init: any thread, one call at a time per record.
//
// Coordinates are left-handed with y up: a listener facing +z with top +y has +x on its right.
// Emitter channel azimuths (radians) are measured from the emitter's front turning towards its
// left, so a two-channel emitter with azimuths pi/2 and 3pi/2 keeps its first channel on its left.
#pragma once

#include <cstdint>

namespace audio
{
constexpr uint32_t kSpeakerFrontLeft = 0x1;
constexpr uint32_t kSpeakerFrontRight = 0x2;

// Calculation flags.
constexpr uint32_t kCalculateMatrix = 0x1;
constexpr uint32_t kCalculateDoppler = 0x20;

constexpr uint32_t kMaxEmitterChannels = 8;
constexpr uint32_t kMaxCurvePoints = 8;

struct Vec3
{
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// The hearing end: orientation (front and top, both unit length), position and velocity (units/s).
struct Listener
{
    Vec3 front{0.0f, 0.0f, 1.0f};
    Vec3 top{0.0f, 1.0f, 0.0f};
    Vec3 position;
    Vec3 velocity;
};

// One point of a volume curve: a distance (in curve distance scaler units) and the level there.
struct CurvePoint
{
    float distance = 0.0f;
    float level = 0.0f;
};

// A sound source. Without a volume curve the level falls as curveDistanceScaler / distance beyond
// curveDistanceScaler; with one, it follows the points linearly and holds the end levels.
struct Emitter
{
    Vec3 front{0.0f, 0.0f, 1.0f};
    Vec3 top{0.0f, 1.0f, 0.0f};
    Vec3 position;
    Vec3 velocity;
    uint32_t channelCount = 1;
    float channelRadius = 0.0f;
    float channelAzimuths[kMaxEmitterChannels] = {};
    uint32_t volumeCurvePointCount = 0;
    CurvePoint volumeCurve[kMaxCurvePoints] = {};
    float curveDistanceScaler = 1.0f;
    float dopplerScaler = 0.0f;
};

// Results. `matrixCoefficients` (caller's memory, srcChannelCount x dstChannelCount floats) uses
// the output matrix layout of SourceVoice: levels[dst * srcChannelCount + src].
struct DspSettings
{
    float* matrixCoefficients = nullptr;
    uint32_t srcChannelCount = 1;
    uint32_t dstChannelCount = 2;
    float dopplerFactor = 1.0f;
    float emitterToListenerDistance = 0.0f;
};

// Equal-power stereo panning by direction, distance attenuation and Doppler shift.
class Positioner3D
{
public:
    // Speakers of the output (front left and/or front right); speed of sound in units per second.
    bool Init(uint32_t speakerMask, float speedOfSound);
    // False (results untouched) before Init or when the channel counts or matrix are unusable.
    bool Calculate(const Listener& listener, const Emitter& emitter, uint32_t flags, DspSettings& dsp) const;

private:
    uint32_t m_speakerMask = 0;
    float m_speedOfSound = 0.0f;
};
} // namespace audio
