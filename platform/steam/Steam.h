// Stand-in for the game client service the engine starts beside: start-up and shutdown, the
// interfaces the engine asks for, the warning hook, the application id, and callbacks
// that the main thread pumps once per frame. Everything is local and in process; start-up succeeds
// unless a test switches it (or one interface) off through SetTestSettings.
//
// Threads: Init, Shutdown, RunCallbacks and the interface getters on the main thread; PostCallback
// and the test settings from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace steam
{
// Severity 0 is a message, 1 a warning.
using WarningHook = void (*)(int severity, const char* text);

// The client interface: the warning hook.
class Client
{
public:
    void SetWarningMessageHook(WarningHook hook);
    WarningHook GetWarningMessageHook() const { return m_hook; }
    // Hands a warning of the service to the installed hook (nothing without one).
    void ReportWarning(int severity, const char* text) const;

private:
    WarningHook m_hook = nullptr;
};

// Utilities: the application id and the user images (pictures of users, by image id).
class Utils
{
public:
    uint32_t GetAppID() const;
    // The size in pixels of an image; false for an unknown image id.
    bool GetImageSize(int32_t image, uint32_t* width, uint32_t* height) const;
    // Copies the image as RGBA bytes (4 per pixel, rows top down); false for an unknown image or a
    // buffer smaller than width x height x 4 bytes, which is then left alone.
    bool GetImageRGBA(int32_t image, uint8_t* buffer, uint32_t bufferBytes) const;
};

// The signed-in user (the engine only checks it is there).
class User
{
};

// The installed application: the language the user runs the game in.
class Apps
{
public:
    // The service's language name ("english", "german", ...); never null while the service runs.
    const char* GetCurrentGameLanguage() const;
};

// Statistics and achievements of the user (no call is made of it yet).
class UserStats
{
};

// Cloud storage of the user (no call is made of it yet).
class RemoteStorage
{
};

// What start-up finds; tests change it before Init.
struct TestSettings
{
    bool initFails = false;
    bool noRemoteStorage = false;
    bool noUser = false;
    bool noUserStats = false;
    bool noClient = false;
    bool noApps = false;
    // The game language the service reports; NORVEX_STEAM_LANGUAGE overrides it for whole programs.
    const char* gameLanguage = "english";
    uint32_t appId = 1;
};
void SetTestSettings(const TestSettings& settings);
TestSettings GetTestSettings();
// Makes an image known under an id above 0 (RGBA bytes, width x height x 4 of them); an empty
// pixel list forgets the id. Images stay across Init and Shutdown.
void SetTestImage(int32_t image, uint32_t width, uint32_t height, std::vector<uint8_t> rgba);

// True when the service was reached; the interfaces exist only between Init and Shutdown.
bool Init();
void Shutdown();
bool IsRunning();

// Null before Init, after Shutdown or when the test settings withhold the interface.
Client* GetClient();
User* GetUser();
UserStats* GetUserStats();
RemoteStorage* GetRemoteStorage();
Utils* GetUtils();
Apps* GetApps();

// Queues a callback; it runs on the thread that next calls RunCallbacks while the service runs.
void PostCallback(std::function<void()> callback);
// Runs the queued callbacks in posting order; counts every call.
void RunCallbacks();
uint32_t GetRunCallbacksCount();
} // namespace steam
