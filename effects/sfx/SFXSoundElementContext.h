// SFXSoundElementContext: the sound of one playing sound element: the instance it started (if any),
// the emitter that places it at the element, and the volume last set. The sound plays while the
// start envelope is above zero and fades out when it falls or the effect is muted; across a
// re-initialisation the new context takes the instance over, so the sound is not cut. Made on the
// game thread, then render thread only (it posts to the sound thread).
#pragma once

#include "effects/sfx/SFXElementContext.h"

#include <cstdint>

class EntitySoundEmitter;

// A playing sound element.
class SFXSoundElementContext : public SFXElementContext
{
public:
    // No instance yet.
    static constexpr uint32_t kNoInstance = 0xFFFFFFFFu;
    // Instance id of a sound that counts as played without having been started.
    static constexpr uint32_t kPlayedWithoutSound = 0;
    // Fade of a sound whose start envelope fell or whose effect was muted.
    static constexpr float kFadeOutSeconds = 0.3f;

    SFXSoundElementContext();
    // Silences the instance and hands the emitter to the sound thread to be freed.
    ~SFXSoundElementContext() override;

    // `skip` set: the next play is skipped, the sound counting as played.
    void Start(uint8_t skip) override { m_skipNextPlay = skip; }
    void SetSoundMuted(uint8_t muted) override { m_muted = muted; }
    void FadeOutSound(float seconds) override;
    void Stop() override { FadeOutSound(0.0f); }
    // Stops its own sound and takes the old context's instance, volume and factor.
    void TakeOver(SFXElementContext& old) override;
    void Update(double clockSeconds, float delta, const SFXElementDefinition& definition,
                const Matrix& parent) override;

    uint32_t GetInstance() const { return m_instance; }
    float GetLastVolume() const { return m_lastVolume; }
    float GetVolumeFactor() const { return m_volumeFactor; }
    bool IsMuted() const { return m_muted != 0; }
    const EntitySoundEmitter* GetEmitter() const { return m_emitter; }

private:
    bool HasInstance() const { return m_instance != kNoInstance && m_instance != kPlayedWithoutSound; }

    uint32_t m_instance = kNoInstance;
    float m_lastVolume = 0.0f;
    float m_volumeFactor = 1.0f;
    uint8_t m_skipNextPlay = 0;
    uint8_t m_muted = 0;
    Matrix m_lastWorld = Matrix::ONE;
    EntitySoundEmitter* m_emitter;
};
