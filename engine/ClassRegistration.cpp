#include "engine/ClassRegistration.h"

#include "audio/AudioClassRegistration.h"
#include "core/CoreClassRegistration.h"
#include "engine/EngineClassRegistration.h"
#include "gameplay/sequences/SequenceClassRegistration.h"
#include "renderer/RendererClassRegistration.h"
#include "scene/SceneClassRegistration.h"
#include "ui/UIClassRegistration.h"

void RegisterAllClasses()
{
    RegisterCoreClasses();
    RegisterEngineClasses();
    RegisterRendererClasses();
    RegisterSceneClasses();
    RegisterSequenceClasses();
    RegisterUIClasses();
    RegisterAudioClasses();
}
