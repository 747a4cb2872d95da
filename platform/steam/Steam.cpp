#include "platform/steam/Steam.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

namespace steam
{
namespace
{
struct Service
{
    std::mutex mutex;
    TestSettings settings;
    bool running = false;
    Client client;
    Utils utils;
    Apps apps;
    User user;
    UserStats userStats;
    RemoteStorage remoteStorage;
    std::vector<std::function<void()>> callbacks;
    uint32_t runCount = 0;
};

Service& GetService()
{
    static Service service;
    return service;
}

template <typename T>
T* Interface(T& object, bool withheld)
{
    Service& service = GetService();
    std::lock_guard<std::mutex> lock(service.mutex);
    return service.running && !withheld ? &object : nullptr;
}
} // namespace

void Client::SetWarningMessageHook(WarningHook hook)
{
    m_hook = hook;
}

void Client::ReportWarning(int severity, const char* text) const
{
    if (m_hook != nullptr)
        m_hook(severity, text != nullptr ? text : "");
}

uint32_t Utils::GetAppID() const
{
    return GetTestSettings().appId;
}

const char* Apps::GetCurrentGameLanguage() const
{
    const char* language = std::getenv("NORVEX_STEAM_LANGUAGE");
    if (language != nullptr && language[0] != 0)
        return language;
    language = GetTestSettings().gameLanguage;
    return language != nullptr ? language : "";
}

uint64_t User::GetSteamID() const
{
    return GetTestSettings().userId;
}

bool User::IsLoggedOn() const
{
    return IsRunning();
}

void SetTestSettings(const TestSettings& settings)
{
    Service& service = GetService();
    std::lock_guard<std::mutex> lock(service.mutex);
    service.settings = settings;
}

TestSettings GetTestSettings()
{
    Service& service = GetService();
    std::lock_guard<std::mutex> lock(service.mutex);
    return service.settings;
}

bool Init()
{
    Service& service = GetService();
    std::lock_guard<std::mutex> lock(service.mutex);
    // NORVEX_STEAM_FAIL=1 makes a whole program's start-up fail, as the test switch does in process.
    const char* failSwitch = std::getenv("NORVEX_STEAM_FAIL");
    if (service.settings.initFails || (failSwitch != nullptr && std::strcmp(failSwitch, "1") == 0))
        return false;
    service.running = true;
    return true;
}

void Shutdown()
{
    Service& service = GetService();
    std::lock_guard<std::mutex> lock(service.mutex);
    service.running = false;
    service.callbacks.clear();
    service.client.SetWarningMessageHook(nullptr);
}

bool IsRunning()
{
    Service& service = GetService();
    std::lock_guard<std::mutex> lock(service.mutex);
    return service.running;
}

Client* GetClient()
{
    return Interface(GetService().client, GetTestSettings().noClient);
}

User* GetUser()
{
    return Interface(GetService().user, GetTestSettings().noUser);
}

UserStats* GetUserStats()
{
    return Interface(GetService().userStats, GetTestSettings().noUserStats);
}

RemoteStorage* GetRemoteStorage()
{
    return Interface(GetService().remoteStorage, GetTestSettings().noRemoteStorage);
}

Utils* GetUtils()
{
    return Interface(GetService().utils, false);
}

Apps* GetApps()
{
    return Interface(GetService().apps, GetTestSettings().noApps);
}

void PostCallback(std::function<void()> callback)
{
    Service& service = GetService();
    std::lock_guard<std::mutex> lock(service.mutex);
    service.callbacks.push_back(std::move(callback));
}

void RunCallbacks()
{
    std::vector<std::function<void()>> due;
    {
        Service& service = GetService();
        std::lock_guard<std::mutex> lock(service.mutex);
        ++service.runCount;
        if (!service.running)
            return;
        due.swap(service.callbacks);
    }
    // Outside the lock: a callback may post the next one.
    for (std::function<void()>& callback : due)
        callback();
}

uint32_t GetRunCallbacksCount()
{
    Service& service = GetService();
    std::lock_guard<std::mutex> lock(service.mutex);
    return service.runCount;
}
} // namespace steam
