#include "effects/sfx/SFXSoundElementContext.h"

#include "audio/sound/EntitySoundEmitter.h"
#include "audio/sound/SoundEngine.h"
#include "audio/sound/SoundEntriesContainer.h"
#include "effects/sfx/SFXSoundElementDefinition.h"

SFXSoundElementContext::SFXSoundElementContext() : m_emitter(new EntitySoundEmitter(Matrix::ONE)) {}

SFXSoundElementContext::~SFXSoundElementContext()
{
    FadeOutSound(0.0f);
    m_emitter->PostDestroy();
}

void SFXSoundElementContext::FadeOutSound(float seconds)
{
    if (m_instance == kNoInstance)
        return;
    // Instances are matched by id alone: one taken over was started from another context's emitter.
    if (HasInstance() && gSoundEngine != nullptr)
    {
        gSoundEngine->SetVolume(m_instance, 0.0f, seconds, 0, nullptr);
        gSoundEngine->ExitLoop(m_instance, nullptr);
    }
    m_instance = kNoInstance;
}

void SFXSoundElementContext::TakeOver(SFXElementContext& old)
{
    auto* previous = dynamic_cast<SFXSoundElementContext*>(&old);
    if (previous == nullptr)
        return;
    FadeOutSound(0.0f);
    m_instance = previous->m_instance;
    m_lastVolume = previous->m_lastVolume;
    m_volumeFactor = previous->m_volumeFactor;
    previous->m_instance = kNoInstance;
}

void SFXSoundElementContext::Update(double clockSeconds, float delta, const SFXElementDefinition& definition,
                                    const Matrix& parent)
{
    SFXElementContext::Update(clockSeconds, delta, definition, parent);
    const auto& sound = static_cast<const SFXSoundElementDefinition&>(definition);
    const Matrix world = GetWorldMatrix(parent);
    const bool moved = !world.Equals(m_lastWorld);
    m_lastWorld = world;
    Vector start;
    sound.GetStartEnvelope().Evaluate(m_states[SFXSoundElementDefinition::STATE_START], start);
    Vector volume;
    sound.GetVolume().Evaluate(m_states[SFXSoundElementDefinition::STATE_VOLUME], volume);
    if (!(start.x > 0.0f) || m_muted != 0)
        FadeOutSound(kFadeOutSeconds);
    else if (!sound.GetSoundEntryName().IsEmpty() && m_instance == kNoInstance)
    {
        if (m_skipNextPlay != 0)
        {
            m_skipNextPlay = 0;
            m_instance = kPlayedWithoutSound;
        }
        else
        {
            m_emitter->PostSetMatrix(world);
            float factor = 1.0f;
            m_instance = gSoundEntriesContainer.PlaySoundEntryInternal(sound.GetSoundEntryName().CStr(), m_emitter,
                                                                       sound.GetSoundChannel(), 0.0f, volume.x,
                                                                       nullptr, 0, &factor);
            m_lastVolume = volume.x;
            m_volumeFactor = factor;
            return;
        }
    }
    else if (HasInstance() && volume.x != m_lastVolume && gSoundEngine != nullptr)
    {
        gSoundEngine->SetVolume(m_instance, m_volumeFactor * volume.x, 0.0f, 0, nullptr);
        m_lastVolume = volume.x;
    }
    if (moved)
        m_emitter->PostSetMatrix(world);
}
