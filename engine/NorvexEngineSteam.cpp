// NorvexEngine's start banner and the start-up of the game client service. Main thread.
#include "core/Core.h"
#include "core/console/GameConsole.h"
#include "engine/NorvexEngine.h"
#include "platform/steam/Steam.h"

#include <ctime>
#include <sys/stat.h>

namespace
{
void WarningHook(int severity, const char* text)
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "severity: %d    %s", severity, text);
}

void LogLocalTime(const char* label, std::time_t when)
{
    std::tm local{};
    localtime_r(&when, &local);
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "%s: %02d/%02d/%04d %02d:%d:%02d", label, local.tm_mday,
                    local.tm_mon + 1, local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
}

// The program file's modification time stands in for its link time stamp.
std::time_t ProgramBuildTime()
{
    struct stat status{};
    return stat("/proc/self/exe", &status) == 0 ? status.st_mtime : 0;
}
} // namespace

void NorvexEngine::LogStartBanner()
{
    LogLocalTime("Build time", ProgramBuildTime());
    LogLocalTime("Current time", std::time(nullptr));
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "Initializing engine...");
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "System memory: %u MB", Core::GetSystemMemoryMB());
}

bool NorvexEngine::InitSteam()
{
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "Initializing steam");
    if (!steam::Init())
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "SteamAPI_Init failed. Check if Steam client is running.");
        return false;
    }
    m_steamStarted = true;
    if (steam::GetRemoteStorage() == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "SteamRemoteStorage failed");
        return false;
    }
    if (steam::GetUser() == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "SteamUser failed");
        return false;
    }
    if (steam::GetUserStats() == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "SteamUserStats failed");
        return false;
    }
    steam::Client* const client = steam::GetClient();
    if (client == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "SteamClient failed");
        return false;
    }
    client->SetWarningMessageHook(&WarningHook);
    steam::Utils* const utils = steam::GetUtils();
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "Steam appId: %u", utils != nullptr ? utils->GetAppID() : 0u);
    return true;
}
