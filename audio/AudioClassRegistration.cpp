#include "audio/AudioClassRegistration.h"

#include "audio/sound/SoundEntriesContainer.h"
#include "audio/sound/SoundEntry.h"

void RegisterAudioClasses()
{
    SoundEntrySoundList::RegisterRTTIClass();
    SoundEntry::RegisterRTTIClass();
    SoundEntriesContainer::RegisterRTTIClass();
}
