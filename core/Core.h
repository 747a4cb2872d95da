// Core start-up and shutdown. The engine starts the core first, on the thread that becomes the main
// thread, before any worker starts; shutdown runs after all have stopped.
#pragma once

#include <cstdint>

class CoreConfig;

namespace Core
{
// Keeps the config, fixes the main thread, seeds the random generator, starts the hardware timer,
// finds the executable's folder and mounts it as "locals".
bool Init(CoreConfig* config);
// Closes the console thread (later messages are written directly), unmounts everything and forgets
// the config.
void Shutdown();

CoreConfig* GetConfig();
// The executable's folder with '/' separators, ending with '/'.
const char* GetApplicationDirectory();
uint32_t GetMainThreadId();
// Fixed at 1024 MB after Init on every machine (0 before).
uint32_t GetSystemMemoryMB();
// The start-up GUID's text (generated once the generator is seeded), for the online services.
const char* GetStartupGUIDText();
} // namespace Core
