// Optimized templates files ("<scene>.opt") over arbitrary bytes, loaded through the real resource
// thread: every stub that joins the registry has a loaded template, and the next sweep drops them all.
#include "core/filesystem/FileSystem.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/SceneClassRegistration.h"
#include "scene/templates/EntityTemplate.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace
{
// The scenes folder and the resource thread, for the whole run.
struct FuzzWorld
{
    FuzzWorld()
    {
        RegisterSceneClasses();
        std::string pattern = (std::filesystem::temp_directory_path() / "norvex-optfuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr || !gFileSystem.MountDirectory("scenes", pattern.c_str()) ||
            !manager.Init())
            std::abort();
        folder = pattern;
    }
    ~FuzzWorld()
    {
        gTemplateManager.Clear();
        manager.Close();
        gFileSystem.UnmountAll();
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }
    ResourceManager manager;
    std::string folder;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzWorld world;
    FILE* file = std::fopen((world.folder + "/fuzz.opt").c_str(), "wb");
    if (file == nullptr)
        std::abort();
    if (size != 0)
        std::fwrite(data, 1, size, file);
    std::fclose(file);
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
