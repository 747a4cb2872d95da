// The shader manager (script global gShaderManager, script class "ShaderManager"): owns the shader
// definitions, turns a family name plus option words into a vertex and pixel shader resource pair,
// and keeps the system, light and shadow-map shader tables and the system textures that the
// renderer uses without asking by name.
//
// The game thread calls Init, Close, LoadSystemShaders and ReloadShaders; GetShader runs on the
// game thread and in loaders; the resource thread asks for a shader resource's option names and
// rewrites depth option bits in names; the render thread binds resolved pairs. One lock guards the
// definitions, variant creation and the name operations; resource loads never run under it.
#pragma once

#include "core/containers/Dynarray.h"
#include "platform/os/Sync.h"
#include "renderer/ShaderPair.h"
#include "renderer/resources/ShaderDefinitions.h"

#include <atomic>
#include <cstdint>

class Resource;
namespace gpu
{
class GpuBaseTexture;
}

// Shader families, variants and the renderer's fixed shader tables.
class ShaderManager
{
public:
    static constexpr uint32_t kSystemShaderCount = 18;
    static constexpr uint32_t kLightRows = 5;
    static constexpr uint32_t kLightMasks = 256;
    static constexpr uint32_t kShadowMapMasks = 256;
    static constexpr uint32_t kSystemTextureCount = 6;
    static constexpr uint32_t kOptionTextSize = 2048;
    static constexpr const char* kDefinitionFile = "Common/Shaders/Shaders.DefBin";
    static constexpr const char* kDefinitionTextFile = "Common/Shaders/Shaders.Def";

    // Light table columns: bits of the option mask.
    enum LightOption : uint32_t
    {
        LIGHT_MASK = 1,
        LIGHT_SHADOWMAP = 2,
        LIGHT_SHADOWMAP_FILTERING = 4,
        LIGHT_LOWSPEC = 8,
    };

    struct SystemTexture
    {
        Resource* resource = nullptr;
        gpu::GpuBaseTexture* texture = nullptr;
    };

    ShaderManager() = default;
    ShaderManager(const ShaderManager&) = delete;
    ShaderManager& operator=(const ShaderManager&) = delete;

    // Loads the binary definitions (or, with false, their text form), then the system shaders. A
    // manager already initialised stays as it is and answers true.
    bool Init(bool binaryDefinitions);
    void Close();
    bool IsInitialised() const { return m_initialised.load(std::memory_order_acquire) != 0; }

    // The vertex and pixel resources of a family's variant, loaded as asked: blocking through the
    // resource thread; else with load set queued; else on this thread. False (outputs untouched) for
    // an unknown family, resources that cannot be had, or a blocking load that failed.
    bool GetShader(const char* name, const char* options, Resource** vertexResource, Resource** pixelResource,
                   uint8_t load, bool blocking, uint32_t resourceFlags);
    void LoadSystemShaders();
    // Drains the render thread, reloads the definitions (the text form, else the binary one; the
    // loaded ones stay when neither reads), recompiles changed shaders on the resource thread and
    // waits for it.
    void ReloadShaders();

    // The option names of a shader resource name; false without a known family or with a bad mask.
    bool GetVariantOptionNames(const char* resourceName, Dynarray<ShaderOptionName>& names, bool skipDepthOptions);
    // Rewrites the name's HARDWARE_DEPTH and HARDWARE_DEPTH_RAWZ bits for the current device.
    void AdjustDepthOptionBits(char* resourceName);

    bool LoadDefinitions();
    // The text form; also what ReloadShaders reads first.
    bool LoadSourceDefinitions();
    void ClearDefinitions();
    uint64_t GetDefinitionStamp();
    int32_t GetFamilyCount();

    // Tables (filled by LoadSystemShaders; read after it returned).
    const ShaderPair& GetSystemShader(uint32_t slot) const { return m_systemShaders[slot]; }
    const ShaderPair& GetLightShader(uint32_t row, uint32_t mask) const { return m_lightShaders[row][mask & 255]; }
    const ShaderPair& GetShadowMapShader(uint32_t mask) const { return m_shadowMapShaders[mask & 255]; }
    const SystemTexture& GetSystemTexture(uint32_t slot) const { return m_systemTextures[slot]; }

private:
    static bool HasHardwareDepth();
    static bool HasRawzDepth();
    // Reads a whole definition file of the common folder; false when it does not open.
    static bool ReadDefinitionFile(const char* path, Dynarray<uint8_t>& bytes);

    std::atomic<uint8_t> m_initialised{0};
    ShaderDefinitions m_definitions;
    os::CriticalSection m_lock;
    ShaderPair m_systemShaders[kSystemShaderCount];
    ShaderPair m_lightShaders[kLightRows][kLightMasks];
    ShaderPair m_shadowMapShaders[kShadowMapMasks];
    SystemTexture m_systemTextures[kSystemTextureCount];
};

extern ShaderManager gShaderManager;
