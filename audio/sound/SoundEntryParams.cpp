#include "audio/sound/SoundEntryParams.h"

void SoundEntryParams::AddSound(const char* name)
{
    if (name == nullptr)
        return;
    if (m_lists.IsEmpty())
        m_lists.Add(SoundEntrySoundList());
    m_lists[0].m_sounds.Add(NameString(name));
}
