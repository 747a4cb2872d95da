#include "audio/sound/SoundInstanceZombie.h"

#include "audio/sound/EntitySoundEmitter.h"
#include "audio/sound/SoundEngine.h"

SoundInstanceZombie::SoundInstanceZombie(uint32_t kind, const SoundInstanceBase& source)
    : SoundInstanceBase(source.GetEmitter(), source.GetNameString().CStr(), source.GetId(), source.GetParams()),
      m_kind(kind)
{
    CopyStateFrom(source);
}

bool SoundInstanceZombie::Update()
{
    if ((m_stateBits & SOUND_STATE_3D) != 0 && m_emitter != nullptr)
        m_emitterMatrix = m_emitter->m_worldMatrix;
    if (IsOutOfRange(1.1f))
        return true;
    if (IsStopping())
        return true;
    if (m_emitter == nullptr)
        return false;
    SoundInstanceBase* revived = m_kind == 0
                                     ? gSoundEngine->GetInstances().CreateStatic(m_emitter, m_name.CStr(), m_id, m_params)
                                     : gSoundEngine->GetInstances().CreateStreamed(m_emitter, m_name.CStr(), m_id, m_params);
    revived->CopyStateFrom(*this);
    return false;
}
