#include "core/Core.h"

#include "core/CoreConfig.h"
#include "core/SimpleGUID.h"
#include "core/console/GameConsole.h"
#include "core/filesystem/FileSystem.h"
#include "core/time/Time.h"
#include "platform/os/Clock.h"
#include "platform/os/Folders.h"
#include "platform/os/Thread.h"

#include <cstdio>
#include <cstdlib>

namespace
{
CoreConfig* gCoreConfig = nullptr;
uint32_t gMainThreadId = 0;
// Deliberately not measured: the game reports one fixed figure, so that
// whatever sizes itself by it behaves the same on every machine, whatever memory it has.
constexpr uint32_t kReportedSystemMemoryMB = 1024;
uint32_t gSystemMemoryMB = 0;
char gApplicationDirectory[260] = {};
char gStartupGUIDText[64] = {};
} // namespace

bool Core::Init(CoreConfig* config)
{
    gCoreConfig = config;
    gMainThreadId = os::CurrentThreadId();
    std::srand(uint32_t(os::QueryCounter()));
    // Generated only now: during static initialisation the generator was not yet seeded, so every
    // run produced one of very few values.
    SimpleGUID startup;
    startup.Generate();
    startup.ToString(gStartupGUIDText, sizeof(gStartupGUIDText));
    gSystemMemoryMB = kReportedSystemMemoryMB;
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "System memory: %u MB", gSystemMemoryMB);
    Time::InitHardwareTimer();
    const std::string folder = os::GetExecutableFolder();
    std::snprintf(gApplicationDirectory, sizeof(gApplicationDirectory), "%s/", folder.c_str());
    return gFileSystem.MountDirectory("locals", gApplicationDirectory);
}

void Core::Shutdown()
{
    gConsole.Close();
    gFileSystem.UnmountAll();
    gCoreConfig = nullptr;
}

CoreConfig* Core::GetConfig()
{
    return gCoreConfig;
}

const char* Core::GetApplicationDirectory()
{
    return gApplicationDirectory;
}

uint32_t Core::GetMainThreadId()
{
    return gMainThreadId;
}

uint32_t Core::GetSystemMemoryMB()
{
    return gSystemMemoryMB;
}

const char* Core::GetStartupGUIDText()
{
    return gStartupGUIDText;
}
