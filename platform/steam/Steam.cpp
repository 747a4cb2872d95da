#include "platform/steam/Steam.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace steam
{
namespace
{
struct Image
{
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgba;
};

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
    std::map<int32_t, Image> images;
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

bool Utils::GetImageSize(int32_t image, uint32_t* width, uint32_t* height) const
{
    Service& service = GetService();
    std::lock_guard<std::mutex> lock(service.mutex);
    const auto found = service.images.find(image);
    if (found == service.images.end())
        return false;
    if (width != nullptr)
        *width = found->second.width;
    if (height != nullptr)
        *height = found->second.height;
    return true;
}

bool Utils::GetImageRGBA(int32_t image, uint8_t* buffer, uint32_t bufferBytes) const
{
    Service& service = GetService();
    std::lock_guard<std::mutex> lock(service.mutex);
    const auto found = service.images.find(image);
    if (found == service.images.end() || buffer == nullptr || bufferBytes < found->second.rgba.size())
        return false;
    std::memcpy(buffer, found->second.rgba.data(), found->second.rgba.size());
    return true;
}

const char* Apps::GetCurrentGameLanguage() const
{
    const char* language = std::getenv("NORVEX_STEAM_LANGUAGE");
    if (language != nullptr && language[0] != 0)
        return language;
    language = GetTestSettings().gameLanguage;
    return language != nullptr ? language : "";
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

void SetTestImage(int32_t image, uint32_t width, uint32_t height, std::vector<uint8_t> rgba)
{
    Service& service = GetService();
    std::lock_guard<std::mutex> lock(service.mutex);
    if (rgba.empty())
    {
        service.images.erase(image);
        return;
    }
    // Only whole images are kept: a short pixel list would make every copy read past its end.
    rgba.resize(size_t(width) * height * 4, 0);
    service.images[image] = Image{width, height, std::move(rgba)};
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
