#include "gameplay/sequences/SequenceClassRegistration.h"

#include "gameplay/sequences/Sequence.h"
#include "gameplay/sequences/SequenceActionFactory.h"
#include "gameplay/sequences/SequenceActions.h"
#include "gameplay/sequences/SequenceSystem.h"
#include "scene/templates/BinarySceneReader.h"

namespace
{
bool ReadSceneSequences(const uint8_t* data, size_t size, size_t* used)
{
    return gSequenceSystem.DeserializeFromMemory(data, size, 0, used);
}
} // namespace

void RegisterSequenceClasses()
{
    SequenceSystem::RegisterRTTIClass();
    Sequence::RegisterRTTIClass();
    SequenceTrack::RegisterRTTIClass();
    SequenceAction::RegisterRTTIClass();
    SequenceActionSemaphore::RegisterRTTIClass();
    SequenceActionStartSequence::RegisterRTTIClass();
    SequenceActionRaiseSemaphore::RegisterRTTIClass();
    SequenceActionClearSemaphore::RegisterRTTIClass();
    SequenceActionWaitForSemaphore::RegisterRTTIClass();
    SequenceActionWaitForGlobalSemaphore::RegisterRTTIClass();
    SequenceActionIncreaseGlobalCountingSemaphore::RegisterRTTIClass();
    SequenceActionRaiseGlobalSemaphore::RegisterRTTIClass();
    SequenceActionClearGlobalSemaphore::RegisterRTTIClass();
    SequenceActionStopSequence::RegisterRTTIClass();
    SequenceActionConditionalSequence::RegisterRTTIClass();
    SequenceActionCheckGlobalSemaphore::RegisterRTTIClass();
    SequenceActionWaitForGlobalCountingSemaphoreToReach::RegisterRTTIClass();
    for (const char* name :
         {"SequenceActionStartSequence", "SequenceActionRaiseSemaphore", "SequenceActionClearSemaphore",
          "SequenceActionWaitForSemaphore", "SequenceActionWaitForGlobalSemaphore",
          "SequenceActionIncreaseGlobalCountingSemaphore", "SequenceActionRaiseGlobalSemaphore",
          "SequenceActionClearGlobalSemaphore", "SequenceActionStopSequence", "SequenceActionConditionalSequence",
          "SequenceActionCheckGlobalSemaphore", "SequenceActionWaitForGlobalCountingSemaphoreToReach"})
        gSequenceActionFactory.RegisterNativeActionClass(name);
    BinarySceneReader::SetSequenceReader(&ReadSceneSequences);
}
