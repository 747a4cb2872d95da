// Optimized templates files ("<scene>.opt") over arbitrary bytes, loaded through the real resource
// thread: every stub that joins the registry has a loaded template, and the next sweep drops them all.
#include "fuzz/support/MountedFuzzFolder.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/SceneClassRegistration.h"
#include "scene/templates/EntityTemplate.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"

#include <cstdint>
#include <cstdlib>

namespace
{
// The scenes folder and the resource thread, for the whole run.
struct FuzzWorld
{
    FuzzWorld()
    {
        RegisterSceneClasses();
        if (!manager.Init())
            std::abort();
    }
    ~FuzzWorld()
    {
        gTemplateManager.Clear();
        manager.Close();
    }
    // Declared first: unmounted only after the resource thread has stopped.
    MountedFuzzFolder scenes{"scenes", "optfuzz"};
    ResourceManager manager;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzWorld world;
    world.scenes.Write("fuzz.opt", data, size);
    for (uint8_t variation : {uint8_t(255), uint8_t(size % 32)})
    {
        gTemplateManager.LoadOptimizedTemplates("fuzz", "scenes", variation);
        for (uint32_t i = 0; i < 64; ++i)
        {
            SimpleGUID guid;
            guid.bytes[0] = uint8_t(i);
            const EntityTemplateStub* stub = gTemplateManager.FindStubByGUID(guid);
            if (stub != nullptr && (stub->GetTemplate() == nullptr || !stub->GetTemplate()->IsLoaded()))
                __builtin_trap();
        }
        gTemplateManager.UnloadUnusedTemplates();
    }
    return 0;
}
