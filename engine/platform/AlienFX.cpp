#include "engine/platform/AlienFX.h"

#include "core/console/GameConsole.h"

AlienFX gAlienFX;

namespace
{
const char* const kEntryPointNames[13] = {
    "LFX_Initialize",       "LFX_Release",          "LFX_Reset",          "LFX_Update",     "LFX_GetNumDevices",
    "LFX_GetDeviceDescription", "LFX_GetNumLights", "LFX_SetLightColor", "LFX_GetLightColor",
    "LFX_GetLightDescription", "LFX_Light",         "LFX_ActionColor",    "LFX_ActionColorEx",
};
enum EntryPoint
{
    kInitialize = 0,
    kRelease = 1,
    kReset = 2,
    kUpdate = 3,
    kLight = 10,
};
} // namespace

AlienFX::~AlienFX()
{
    // The program's exit releases a library still in use.
    if (m_state == kReady)
        Release();
}

void AlienFX::Init()
{
    if (m_state != kNotTried)
        return;
    m_state = kUnavailable;
    m_library = os::LoadModule(kLibraryName);
    if (m_library == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Failed to load LightFX.dll.");
        return;
    }
    // A library without one of the entry points would be called through a null pointer later.
    for (int i = 0; i < 13; ++i)
    {
        m_entryPoints[i] = os::GetModuleFunction(m_library, kEntryPointNames[i]);
        if (m_entryPoints[i] == nullptr)
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "LightFX.dll has no entry point %s.", kEntryPointNames[i]);
            Unload();
            return;
        }
    }
    const uint32_t result = reinterpret_cast<ResultCall>(m_entryPoints[kInitialize])();
    if (result == kResultSuccess)
    {
        m_state = kReady;
        return;
    }
    if (result == kResultNoDevices)
        gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_GENERAL, "There is not AlienFX device available.");
    else
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "There was an error initializing the AlienFX device.");
    Unload();
}

void AlienFX::Release()
{
    if (m_state != kReady)
        return;
    reinterpret_cast<ResultCall>(m_entryPoints[kRelease])();
    Unload();
    m_state = kNotTried;
}

void AlienFX::Update()
{
    if (m_state == kReady)
        reinterpret_cast<ResultCall>(m_entryPoints[kUpdate])();
}

void AlienFX::Reset()
{
    if (m_state == kReady)
        reinterpret_cast<ResultCall>(m_entryPoints[kReset])();
}

uint32_t AlienFX::PackColor(const float colour[4])
{
    // Truncation of each component x 255; components outside 0..1 are held to the byte's range.
    auto channel = [](float value) {
        const float scaled = value * 255.0f;
        return scaled <= 0.0f ? 0u : scaled >= 255.0f ? 255u : uint32_t(scaled);
    };
    return channel(colour[3]) << 24 | channel(colour[0]) << 16 | channel(colour[1]) << 8 | channel(colour[2]);
}

void AlienFX::SetColor(uint32_t locationMask, const float colour[4])
{
    if (m_state == kReady)
        reinterpret_cast<LightCall>(m_entryPoints[kLight])(locationMask, PackColor(colour));
}

void AlienFX::Unload()
{
    os::FreeModule(m_library);
    m_library = nullptr;
    for (os::ModuleFunction& entryPoint : m_entryPoints)
        entryPoint = nullptr;
}
