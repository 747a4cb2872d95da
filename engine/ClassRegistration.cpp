#include "engine/ClassRegistration.h"

#include "core/CoreClassRegistration.h"
#include "engine/EngineClassRegistration.h"
#include "renderer/RendererClassRegistration.h"
#include "ui/UIClassRegistration.h"

void RegisterAllClasses()
{
    RegisterCoreClasses();
    RegisterEngineClasses();
    RegisterRendererClasses();
    RegisterUIClasses();
}
