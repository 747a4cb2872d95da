// AlienFX: the keyboard and case lighting of machines that carry the vendor's lighting library.
// The library is loaded by name when scripts first ask for it; without it (or without any of its
// entry points, or without a device) every lighting call does nothing. Main thread only.
#pragma once

#include "platform/os/Modules.h"

#include <cstdint>

// The lighting library's entry points and the state of the attempt to use it.
class AlienFX
{
public:
    enum State : uint32_t
    {
        kNotTried = 0,
        kReady = 1,
        kUnavailable = 2, // also while loading
    };

    // The library's result codes this class tells apart.
    static constexpr uint32_t kResultSuccess = 0;
    static constexpr uint32_t kResultNoDevices = 3;
    // Every location of every device.
    static constexpr uint32_t kAllLocations = 0x7FFFFFF;
    static constexpr const char* kLibraryName = "LightFX.dll";

    AlienFX() = default;
    ~AlienFX();
    AlienFX(const AlienFX&) = delete;
    AlienFX& operator=(const AlienFX&) = delete;

    // Only in state kNotTried: loads the library, resolves every entry point and initialises it.
    void Init();
    // Only in state kReady.
    void Release();
    void Update();
    void Reset();
    // Colour components 0..1 (r, g, b, a), packed as alpha << 24 | red << 16 | green << 8 | blue.
    void SetColor(uint32_t locationMask, const float colour[4]);
    static uint32_t PackColor(const float colour[4]);

    State GetState() const { return m_state; }

private:
    using ResultCall = uint32_t (*)();
    using LightCall = uint32_t (*)(uint32_t locationMask, uint32_t colour);

    void Unload();

    State m_state = kNotTried;
    // In the library's order: Initialize, Release, Reset, Update, GetNumDevices,
    // GetDeviceDescription, GetNumLights, SetLightColor, GetLightColor, GetLightDescription, Light,
    // ActionColor, ActionColorEx.
    os::ModuleFunction m_entryPoints[13] = {};
    os::ModuleHandle m_library = nullptr;
};

extern AlienFX gAlienFX;
