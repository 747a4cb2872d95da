// Loadable modules: the stand-in for optional vendor libraries that the program loads by name at
// run time. No real library is ever loaded; tests (or a tool) register a module with its entry
// points, and every other name fails to load, as on a machine without the library.
// Main thread only.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace os
{
using ModuleHandle = void*;
// Entry points are stored as this type and cast back to their real signature by the caller.
using ModuleFunction = void (*)();

// Makes `name` loadable with these entry points (replacing an earlier registration).
void RegisterModule(const std::string& name, const std::map<std::string, ModuleFunction>& entryPoints);
void UnregisterAllModules();

// Null when no module of that name is registered. Each load is counted and must be freed.
ModuleHandle LoadModule(const char* name);
// Null when the handle is not loaded or has no such entry point.
ModuleFunction GetModuleFunction(ModuleHandle module, const char* entryPoint);
bool FreeModule(ModuleHandle module);
// Loads not yet freed, of one module.
uint32_t GetModuleLoadCount(const std::string& name);
} // namespace os
