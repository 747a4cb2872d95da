// "Templates/TemplateInfo.Bin" over arbitrary bytes: whatever reads must be a registry where every
// stub is found by its GUID and every stub of a folder by its path; a refused file registers nothing.
#include "scene/SceneClassRegistration.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateFolder.h"
#include "scene/templates/TemplateManager.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RegisterSceneClasses();
    TemplateManager manager;
    if (!manager.ReadTemplateInfo(data, size))
    {
        if (manager.GetRootFolder() != nullptr)
            __builtin_trap();
        return 0;
    }
    manager.GetRootFolder()->ForEachStub([&manager](EntityTemplateStub* stub) {
        if (manager.FindStubByGUID(stub->GetGUID()) != stub)
            __builtin_trap();
    });
    return 0;
}
