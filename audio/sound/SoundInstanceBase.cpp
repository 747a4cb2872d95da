#include "audio/sound/SoundInstanceBase.h"

#include "audio/sound/EntitySoundEmitter.h"
#include "audio/sound/SoundEngine.h"
#include "audio/sound/SoundInstanceList.h"
#include "core/console/GameConsole.h"
#include "platform/audio/AudioEngine.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numbers>

namespace
{
audio::Vec3 ToVec3(const Vector& v)
{
    return audio::Vec3{v.x, v.y, v.z};
}
} // namespace

SoundInstanceBase::SoundInstanceBase(EntitySoundEmitter* emitter, const char* name, uint32_t id,
                                     const SoundParamWrapper& params)
    : m_id(id), m_name(name), m_volume(params.Volume), m_frequencyRatio(params.FrequencyRatio),
      m_lastVoiceVolume(FLT_MAX), m_params(params), m_emitter(emitter)
{
    if (m_params.Channel >= kSoundChannelCount)
    {
        gConsole.Error(CONSOLE_CHANNEL_SOUND, "Audio channel out of range - %d (%s)", int(m_params.Channel), "Unknown");
        m_params.Channel = 0;
    }
    // The class indexes the engine's volume table: an unknown one plays as a sound effect.
    if (m_params.Class >= SOUNDCLASS_MAX)
        m_params.Class = SOUNDCLASS_SFX;
    if (m_params.DopplerFactor != 0.0f)
        m_stateBits |= SOUND_STATE_DOPPLER;
    if (emitter != nullptr && (m_params.Flags & SOUNDSTARTFLAG_NOATTENUATION) == 0)
        m_stateBits |= SOUND_STATE_3D;
    if (m_params.Flags & SOUNDSTARTFLAG_IMPORTANT)
        m_stateBits |= SOUND_STATE_IMPORTANT;

    if (emitter != nullptr)
        m_emitterMatrix = emitter->m_worldMatrix;
    m_emitterPosition = m_emitterMatrix.rows[3];
    m_emitterRecord.front = ToVec3(m_emitterMatrix.rows[2]);
    m_emitterRecord.top = ToVec3(m_emitterMatrix.rows[1]);
    m_emitterRecord.position = ToVec3(m_emitterPosition);
    if (emitter != nullptr)
        m_emitterRecord.velocity = ToVec3(emitter->m_velocity);
    m_emitterRecord.dopplerScaler = m_params.DopplerFactor;
    if (m_params.ZeroVolumeRange == 0.0f)
    {
        m_emitterRecord.volumeCurvePointCount = 0;
        m_emitterRecord.curveDistanceScaler = m_params.FullVolumeRange;
    }
    else
    {
        m_emitterRecord.volumeCurvePointCount = 2;
        m_emitterRecord.volumeCurve[0] = {m_params.FullVolumeRange, 1.0f};
        m_emitterRecord.volumeCurve[1] = {m_params.ZeroVolumeRange, 0.0f};
        m_emitterRecord.curveDistanceScaler = 1.0f;
    }

    if (m_params.StartDelay > 0.0f && gSoundEngine != nullptr)
        m_startTime = gSoundEngine->GetCycleTime() +
                      Time(int64_t(double(m_params.StartDelay) * double(Time::GetFrequency())));
}

SoundInstanceBase::~SoundInstanceBase()
{
    DestroyVoice();
}

void SoundInstanceBase::DestroyVoice()
{
    if (m_voice != nullptr)
    {
        m_voice->Destroy();
        m_voice = nullptr;
    }
}

bool SoundInstanceBase::SetVoiceVolume(float volume)
{
    if (m_voice == nullptr)
        return false;
    // The scene zoom correction is already part of the volume computed by ApplyLevels.
    return m_voice->SetVolume(std::max(volume, 0.0f), kSoundOperationSet);
}

void SoundInstanceBase::SetVolume(float target, float fadeSeconds, uint32_t easing)
{
    const Time now = gSoundEngine != nullptr ? gSoundEngine->GetCycleTime() : Time();
    m_volume.Start(now, std::clamp(target, 0.0f, 1.0f), fadeSeconds, easing);
}

void SoundInstanceBase::SetFrequencyRatio(float target, float fadeSeconds, uint32_t easing)
{
    const Time now = gSoundEngine != nullptr ? gSoundEngine->GetCycleTime() : Time();
    // A ratio above 1 is reached only through the start parameters or the channel ratio, never here.
    m_frequencyRatio.Start(now, std::clamp(target, 0.0f, 1.0f), fadeSeconds, easing);
}

void SoundInstanceBase::Pause()
{
    if (m_stateBits & SOUND_STATE_PAUSED)
        return;
    m_stateBits |= SOUND_STATE_PAUSED;
    StopVoice();
}

void SoundInstanceBase::Resume()
{
    if ((m_stateBits & SOUND_STATE_PAUSED) == 0)
        return;
    m_stateBits &= ~SOUND_STATE_PAUSED;
    if (m_voice != nullptr)
        m_voice->Start(kSoundOperationSet);
}

void SoundInstanceBase::FadeOut(float fadeSeconds)
{
    m_stateBits |= SOUND_STATE_STOPPING;
    const Time now = gSoundEngine != nullptr ? gSoundEngine->GetCycleTime() : Time();
    m_volume.Start(now, 0.0f, fadeSeconds, EASING_LINEAR);
}

void SoundInstanceBase::StopVoice()
{
    if (m_voice != nullptr)
        m_voice->Stop(kSoundOperationSet);
}

void SoundInstanceBase::CopyStateFrom(const SoundInstanceBase& other)
{
    m_stateBits = other.m_stateBits;
    m_volume = other.m_volume;
    m_frequencyRatio = other.m_frequencyRatio;
    m_dopplerFactor = other.m_dopplerFactor;
    m_startTime = other.m_startTime;
    m_emitterMatrix = other.m_emitterMatrix;
}

bool SoundInstanceBase::IsOutOfRange(float factor) const
{
    if ((m_stateBits & SOUND_STATE_3D) == 0 || (m_stateBits & SOUND_STATE_IMPORTANT) != 0 || gSoundEngine == nullptr)
        return false;
    const Vector& listener = gSoundEngine->GetListenerMatrix().rows[3];
    const Vector& emitter = m_emitterMatrix.rows[3];
    const float dx = listener.x - emitter.x;
    const float dy = listener.y - emitter.y;
    const float dz = listener.z - emitter.z;
    const float distance = std::sqrt(dx * dx + dy * dy + dz * dz);
    const float range = std::max(m_params.ZeroVolumeRange, 2.0f * m_params.FullVolumeRange) * factor;
    return distance > range;
}

bool SoundInstanceBase::IsDue() const
{
    return m_startTime.GetTicks() == 0 || gSoundEngine == nullptr ||
           gSoundEngine->GetCycleTime().GetTicks() >= m_startTime.GetTicks();
}

float SoundInstanceBase::GetScreenAspectRatio() const
{
    return gSoundEngine != nullptr ? gSoundEngine->GetScreenAspectRatio() : 1.0f;
}

void SoundInstanceBase::SetUpChannels(uint32_t channels)
{
    m_channels = channels;
    if (channels == 2)
    {
        m_emitterRecord.channelCount = 2;
        m_emitterRecord.channelRadius = m_params.StereoSoundChannelDistance;
        m_emitterRecord.channelAzimuths[0] = std::numbers::pi_v<float> * 0.5f;
        m_emitterRecord.channelAzimuths[1] = std::numbers::pi_v<float> * 1.5f;
    }
    else
    {
        m_emitterRecord.channelCount = 1;
        m_emitterRecord.channelRadius = 0.0f;
        m_emitterRecord.channelAzimuths[0] = 0.0f;
    }
}

void SoundInstanceBase::BecomeZombie(uint32_t kind)
{
    gSoundEngine->GetInstances().CreateZombie(kind, *this);
}

void SoundInstanceBase::Step3D()
{
    if (m_voice != nullptr && (m_stateBits & SOUND_STATE_3D) != 0 && gSoundEngine != nullptr)
    {
        if (m_emitter != nullptr)
            m_emitterMatrix = m_emitter->m_worldMatrix;
        m_emitterPosition = m_emitterMatrix.rows[3];
        if (m_params.Flags & SOUNDSTARTFLAG_TRUE3D)
        {
            m_emitterPosition.y = 0.0f;
            m_emitterPosition.z *= GetScreenAspectRatio();
        }
        m_emitterRecord.front = ToVec3(m_emitterMatrix.rows[2]);
        m_emitterRecord.top = ToVec3(m_emitterMatrix.rows[1]);
        m_emitterRecord.position = ToVec3(m_emitterPosition);
        if (m_emitter != nullptr)
            m_emitterRecord.velocity = ToVec3(m_emitter->m_velocity);

        const uint32_t destination = gSoundEngine->GetMasteringChannelCount();
        float levels[audio::kMaxEmitterChannels * audio::kMaxOutputChannels] = {};
        audio::DspSettings dsp;
        dsp.matrixCoefficients = levels;
        dsp.srcChannelCount = m_emitterRecord.channelCount;
        dsp.dstChannelCount = destination;
        const bool doppler = (m_stateBits & SOUND_STATE_DOPPLER) != 0;
        const uint32_t flags = audio::kCalculateMatrix | (doppler ? audio::kCalculateDoppler : 0u);
        if (m_emitterRecord.channelCount == m_channels && destination != 0 &&
            gSoundEngine->GetPositioner().Calculate(gSoundEngine->GetListener(), m_emitterRecord, flags, dsp))
        {
            const uint32_t count = m_channels * destination;
            for (uint32_t i = 0; i < count; ++i)
                levels[i] = std::min(levels[i] * 2.0f, 1.0f);
            m_voice->SetOutputMatrix(m_channels, destination, levels, kSoundOperationSet);
            if (doppler)
                m_dopplerFactor = dsp.dopplerFactor;
        }
    }
    ApplyLevels();
}

void SoundInstanceBase::ApplyLevels()
{
    if (gSoundEngine == nullptr)
        return;
    const Time now = gSoundEngine->GetCycleTime();
    m_volume.Update(now);
    const SoundChannelState& channel = gSoundEngine->GetChannel(m_params.Channel);
    float volume = m_volume.GetCurrent() * channel.volume * gSoundEngine->GetClassVolume(m_params.Class) *
                   gSoundEngine->GetMasterVolume();
    if (m_params.Flags & SOUNDSTARTFLAG_TRUE3D)
        volume *= gSoundEngine->GetSceneZoomCorrection();
    if (volume != m_lastVoiceVolume && SetVoiceVolume(volume))
        m_lastVoiceVolume = volume;
    if (m_voice == nullptr)
        return;
    m_frequencyRatio.Update(now);
    const float ratio = std::clamp(m_frequencyRatio.GetCurrent() * m_dopplerFactor * channel.frequencyRatio,
                                   audio::kMinFrequencyRatio, audio::kMaxFrequencyRatio);
    if (ratio != m_lastVoiceFrequencyRatio)
    {
        m_lastVoiceFrequencyRatio = ratio;
        m_voice->SetFrequencyRatio(ratio, kSoundOperationSet);
    }
}
