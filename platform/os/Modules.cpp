#include "platform/os/Modules.h"

namespace os
{
namespace
{
struct ModuleRecord
{
    std::map<std::string, ModuleFunction> entryPoints;
    uint32_t loads = 0;
};

// Handles are the addresses of the records, which stay put inside the map until unregistered.
std::map<std::string, ModuleRecord>& Modules()
{
    static std::map<std::string, ModuleRecord> modules;
    return modules;
}

ModuleRecord* FindLoaded(ModuleHandle module)
{
    for (auto& [name, record] : Modules())
        if (&record == module && record.loads > 0)
            return &record;
    return nullptr;
}
} // namespace

void RegisterModule(const std::string& name, const std::map<std::string, ModuleFunction>& entryPoints)
{
    Modules()[name].entryPoints = entryPoints;
}

void UnregisterAllModules() { Modules().clear(); }

ModuleHandle LoadModule(const char* name)
{
    if (name == nullptr)
        return nullptr;
    const auto found = Modules().find(name);
    if (found == Modules().end())
        return nullptr;
    ++found->second.loads;
    return &found->second;
}

ModuleFunction GetModuleFunction(ModuleHandle module, const char* entryPoint)
{
    const ModuleRecord* record = FindLoaded(module);
    if (record == nullptr || entryPoint == nullptr)
        return nullptr;
    const auto found = record->entryPoints.find(entryPoint);
    return found != record->entryPoints.end() ? found->second : nullptr;
}

bool FreeModule(ModuleHandle module)
{
    ModuleRecord* record = FindLoaded(module);
    if (record == nullptr)
        return false;
    --record->loads;
    return true;
}

uint32_t GetModuleLoadCount(const std::string& name)
{
    const auto found = Modules().find(name);
    return found != Modules().end() ? found->second.loads : 0;
}
} // namespace os
