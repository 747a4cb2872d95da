// Sound instances: every playing, waiting or inaudible sound of the sound engine.
//
// SoundInstanceBase holds what every kind shares: id, name, parameters, volume and ratio
// transitions, 3D emitter record, state bits and the source voice. Real instances
// (SoundInstanceStatic, SoundInstanceStreamed, both SoundInstanceDecodableBase) own a mixer voice;
// a SoundInstanceZombie stands in, without a voice, for a looping 3D sound too far away to hear
// and becomes a real one again when the listener comes back. All instances live in one list
// (SoundInstanceList.h) that the engine's update cycle walks. Sound thread only.
#pragma once

#include "audio/sound/SoundParamWrapper.h"
#include "engine/TimedFloatTransition.h"
#include "core/math/Matrix.h"
#include "core/strings/NameString.h"
#include "platform/audio/Positioner3D.h"

#include <cstdint>

class EntitySoundEmitter;
namespace audio
{
class SourceVoice;
}

// State bits of an instance.
enum SoundInstanceStateBit : uint32_t
{
    SOUND_STATE_STOPPING = 1, // destroyed once its volume transition has ended
    SOUND_STATE_DOPPLER = 2,
    SOUND_STATE_PAUSED = 4,
    SOUND_STATE_3D = 8, // has an emitter and positioning is not switched off
    SOUND_STATE_IMPORTANT = 16,
};

// Voice calls of the update cycle go to this operation set and are committed once per cycle.
constexpr uint32_t kSoundOperationSet = 1;

// One sound of the engine's instance list.
class SoundInstanceBase
{
public:
    SoundInstanceBase(EntitySoundEmitter* emitter, const char* name, uint32_t id, const SoundParamWrapper& params);
    virtual ~SoundInstanceBase();
    SoundInstanceBase(const SoundInstanceBase&) = delete;
    SoundInstanceBase& operator=(const SoundInstanceBase&) = delete;

    // One cycle; false when the instance is to be destroyed.
    virtual bool Update() = 0;
    virtual void ExitLoop() {}
    virtual void SetLoopFile(const char*) {}
    virtual const char* GetName() const { return "Unknown"; }
    virtual bool IsZombie() const { return false; }
    // Sets the voice volume (never below 0) in the cycle's operation set; false without a voice.
    virtual bool SetVoiceVolume(float volume);

    // Targets are clamped (volume 0..1, ratio 0..the voice maximum of 2); a fade of 0 or less
    // sets the value at once.
    void SetVolume(float target, float fadeSeconds, uint32_t easing);
    void SetFrequencyRatio(float target, float fadeSeconds, uint32_t easing);
    void Pause();
    void Resume();
    // Marks the instance stopping with a linear fade to silence.
    void FadeOut(float fadeSeconds);
    // Stops the voice, letting it play what it has (cycle operation set).
    void StopVoice();

    uint32_t GetId() const { return m_id; }
    const NameString& GetNameString() const { return m_name; }
    const SoundParamWrapper& GetParams() const { return m_params; }
    uint32_t GetStateBits() const { return m_stateBits; }
    bool IsStopping() const { return (m_stateBits & SOUND_STATE_STOPPING) != 0; }
    const TimedFloatTransition& GetVolumeTransition() const { return m_volume; }
    EntitySoundEmitter* GetEmitter() const { return m_emitter; }
    void ClearEmitter() { m_emitter = nullptr; }
    audio::SourceVoice* GetVoice() const { return m_voice; }
    float GetLastVoiceVolume() const { return m_lastVoiceVolume; }
    float GetLastVoiceFrequencyRatio() const { return m_lastVoiceFrequencyRatio; }

    // Takes over what survives a change of kind (zombie and back).
    void CopyStateFrom(const SoundInstanceBase& other);

    // Distance test against max(ZeroVolumeRange, 2 x FullVolumeRange) x factor; only 3D sounds
    // that are not important are ever out of range.
    bool IsOutOfRange(float factor) const;

    SoundInstanceBase* m_previous = nullptr;
    SoundInstanceBase* m_next = nullptr;

protected:
    // Positions the voice towards the listener (3D sounds) and applies the levels.
    void Step3D();
    void ApplyLevels();
    // Emitter record channels and radius for the source's channel count.
    void SetUpChannels(uint32_t channels);
    // Destroys the voice at once (its buffers are no longer read afterwards).
    void DestroyVoice();
    // Replaces this instance by a zombie of the given kind (0 static, 1 streamed).
    void BecomeZombie(uint32_t kind);
    bool IsDue() const;
    float GetScreenAspectRatio() const;

    uint32_t m_id;
    NameString m_name;
    TimedFloatTransition m_volume;
    TimedFloatTransition m_frequencyRatio;
    float m_dopplerFactor = 1.0f;
    float m_lastVoiceVolume;
    float m_lastVoiceFrequencyRatio = 1.0f;
    SoundParamWrapper m_params;
    uint32_t m_stateBits = 0;
    audio::Emitter m_emitterRecord;
    audio::SourceVoice* m_voice = nullptr;
    Matrix m_emitterMatrix = Matrix::ONE;
    Vector m_emitterPosition;
    EntitySoundEmitter* m_emitter;
    uint32_t m_channels = 1;
    Time m_startTime; // 0: due at once
};
