#include "renderer/ShaderManager.h"

#include "core/SimpleGUID.h"
#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"
#include "core/strings/StringUtils.h"
#include "engine/config/ProjectConfig.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/jobs/TextureHolder.h"
#include "renderer/resources/ResourceManager.h"
#include "renderer/resources/ResourceRendererLink.h"
#include "renderer/resources/ResourceTexture.h"

#include <cstdio>
#include <cstring>
#include <string>

ShaderManager gShaderManager;

namespace
{
constexpr size_t kFamilyNameSize = 260;
constexpr uint32_t kMaskDigits = ShaderFamily::kMaskWords * 8;

struct SystemShaderRow
{
    uint32_t slot;
    const char* family;
    const char* options;
    uint32_t flags;
    bool fakeShadowsOnly;
};

const SystemShaderRow kSystemShaderRows[] = {
    {0, "FixedPipelineReplacement", nullptr, 0, false},
    {1, "FixedPipelineReplacement", "DENORMALIZATION", 0, false},
    {3, "FixedPipelineReplacement", "TEXTURE", 0, false},
    {4, "FixedPipelineReplacement", "TEXTURE ALPHA_ONLY_TEXTURE", 0, false},
    {5, "FixedPipelineReplacement", "TEXTURE ALPHA_ONLY_TEXTURE FADE", 0, false},
    {6, "FixedPipelineReplacement", "DENORMALIZATION SKINNING", 0, false},
    {7, "FixedPipelineReplacement", "VIDEO", 64, false},
    {8, "FixedPipelineReplacement", "TEXTURE LINEAR_TEXTURES", 64, false},
    {9, "FixedPipelineReplacement", "TEXTURE LINEAR_TEXTURES SATURATION", 64, false},
    {10, "FixedPipelineReplacement", "TEXTURE SCREEN_UV CONVERT_TO_SRGB LINEAR_TEXTURES", 64, false},
    {11, "FixedPipelineReplacement", "TEXTURE LINEAR_TEXTURES SCREEN_BLUR", 64, false},
    {12, "Upscale", nullptr, 64, false},
    {13, "iPhoneFakeShadow", nullptr, 0, true},
    {14, "iPhoneLightmapComposition", nullptr, 0, true},
    {15, "Font", nullptr, 0, false},
    {16, "Font", "OUTLINES", 0, false},
    {17, "iPhoneUI", "NO_TEXTURE", 0, false},
};

struct LightRow
{
    const char* family;
    const char* word;
    uint32_t columns[12];
    uint32_t columnCount;
};

const LightRow kLightRowTable[ShaderManager::kLightRows] = {
    {"Light", "POINT", {0, 1, 8, 9}, 4},
    {"Light", "SPOT", {0, 1, 8, 9}, 4},
    {"Light", "TUBE", {0, 8}, 2},
    {"LightCubeGeneration", nullptr, {0, 1}, 2},
    {"LightFinalComponents", nullptr, {0, 1, 2, 3, 6, 7, 8, 9, 10, 11, 14, 15}, 12},
};
const char* const kLightWords[] = {"MASK", "SHADOWMAP", "SHADOWMAP_FILTERING", "LOWSPEC"};
const char* const kShadowMapWords[] = {"SKINNING", "ALPHA_TEST", "INSTANCING", "DISTORTION"};

struct SystemTextureRow
{
    const char* name;
    uint32_t flags;
    bool fakeShadowsOnly;
};

const SystemTextureRow kSystemTextureRows[ShaderManager::kSystemTextureCount] = {
    {"System/RefractionNoise.dds", 84, false},  {"iPhone/System/Shadow_Dynamic_$lxy.dds", 20, true},
    {"System/White_4x4$cxy.dds", 0, false},     {"System/Gray_4x4$cxy.dds", 0, false},
    {"System/SteamAvatar0.dds", 0, false},      {"System/SteamAvatar1.dds", 0, false},
};

void AppendWord(std::string& text, const char* word)
{
    if (!text.empty())
        text += ' ';
    text += word;
}
} // namespace

bool ShaderManager::HasHardwareDepth()
{
    return gRenderer != nullptr && gRenderer->HasDepthTextureSupport();
}

bool ShaderManager::HasRawzDepth()
{
    return gRenderer != nullptr && gRenderer->HasRawzDepthTextureSupport();
}

bool ShaderManager::Init(bool binaryDefinitions)
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "ShaderManager::Init");
    // A working manager stays as it is: closing it would drop every pair handed out.
    if (IsInitialised())
        return true;
    const bool loaded = binaryDefinitions ? LoadDefinitions() : LoadSourceDefinitions();
    if (!loaded)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to load shader definition file");
        Close();
        return false;
    }
    LoadSystemShaders();
    m_initialised.store(1, std::memory_order_release);
    return true;
}

void ShaderManager::Close()
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "ShaderManager closing...");
    ClearDefinitions();
    // Released outside the lock: a release takes the resource manager's lock.
    for (ShaderPair& pair : m_systemShaders)
        pair.Release();
    for (auto& row : m_lightShaders)
        for (ShaderPair& pair : row)
            pair.Release();
    for (ShaderPair& pair : m_shadowMapShaders)
        pair.Release();
    for (SystemTexture& slot : m_systemTextures)
    {
        if (slot.resource != nullptr)
            slot.resource->Release();
        slot = SystemTexture();
    }
    m_initialised.store(0, std::memory_order_release);
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "ShaderManager closed");
}

bool ShaderManager::ReadDefinitionFile(const char* path, Dynarray<uint8_t>& bytes)
{
    FileReader file(path, nullptr, nullptr, 0);
    if (!file.IsOpen())
        return false;
    // Definition files are small; a size past this is a damaged or foreign file, not one to load.
    constexpr uint32_t kMaxDefinitionBytes = 64u << 20;
    if (file.GetSize() > kMaxDefinitionBytes)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Shader definition file %s is too large (%u bytes)", path, file.GetSize());
        return false;
    }
    bytes.Resize(int32_t(file.GetSize()));
    return file.Read(bytes.Data(), uint32_t(bytes.Count()));
}

bool ShaderManager::LoadDefinitions()
{
    Dynarray<uint8_t> bytes;
    os::ScopedLock lock(m_lock);
    m_definitions.Clear();
    if (!ReadDefinitionFile(kDefinitionFile, bytes))
        return false;
    return m_definitions.ReadBinary(bytes.Data(), size_t(bytes.Count()));
}

bool ShaderManager::LoadSourceDefinitions()
{
    Dynarray<uint8_t> bytes;
    os::ScopedLock lock(m_lock);
    m_definitions.Clear();
    if (!ReadDefinitionFile(kDefinitionTextFile, bytes))
        return false;
    return m_definitions.ReadText(reinterpret_cast<const char*>(bytes.Data()), size_t(bytes.Count()),
                                  kDefinitionTextFile);
}

void ShaderManager::ClearDefinitions()
{
    os::ScopedLock lock(m_lock);
    m_definitions.Clear();
}

uint64_t ShaderManager::GetDefinitionStamp()
{
    os::ScopedLock lock(m_lock);
    return m_definitions.GetStamp();
}

int32_t ShaderManager::GetFamilyCount()
{
    os::ScopedLock lock(m_lock);
    return m_definitions.Count();
}

bool ShaderManager::GetShader(const char* name, const char* options, Resource** vertexResource,
                              Resource** pixelResource, uint8_t load, bool blocking, uint32_t resourceFlags)
{
    char text[kOptionTextSize];
    std::snprintf(text, sizeof(text), "%s", options != nullptr ? options : "");
    if (HasHardwareDepth())
        std::snprintf(text + std::strlen(text), sizeof(text) - std::strlen(text), " HARDWARE_DEPTH");
    if (HasRawzDepth())
        std::snprintf(text + std::strlen(text), sizeof(text) - std::strlen(text), " HARDWARE_DEPTH_RAWZ");

    char vertexName[ShaderVariant::kResourceNameSize];
    char pixelName[ShaderVariant::kResourceNameSize];
    bool found = false;
    {
        os::ScopedLock lock(m_lock);
        if (ShaderFamily* family = m_definitions.Find(name))
        {
            const ShaderVariant variant = family->GetVariant(text);
            std::memcpy(vertexName, variant.vertexName, sizeof(vertexName));
            std::memcpy(pixelName, variant.pixelName, sizeof(pixelName));
            found = true;
        }
    }
    if (!found)
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Cannot load shader %s with options %s", name != nullptr ? name : "", text);
        return false;
    }
    // Resources are got and loaded outside the lock: the resource thread takes it while it loads.
    Resource* vertex = gResourceManager != nullptr
                           ? gResourceManager->GetResource(RESOURCE_TYPE_SHADER, vertexName, 0, true, resourceFlags)
                           : nullptr;
    Resource* pixel = gResourceManager != nullptr
                          ? gResourceManager->GetResource(RESOURCE_TYPE_SHADER, pixelName, 0, true, resourceFlags)
                          : nullptr;
    bool usable = vertex != nullptr && pixel != nullptr;
    if (usable)
    {
        for (Resource* resource : {vertex, pixel})
        {
            if (blocking)
                resource->Load(load != 0);
            else if (load != 0)
                resource->RequestLoad();
            else
                resource->Load(false);
        }
        usable = !blocking || (vertex->IsLoaded() && pixel->IsLoaded());
    }
    if (!usable)
    {
        if (vertex != nullptr)
            vertex->Release();
        if (pixel != nullptr)
            pixel->Release();
        return false;
    }
    *vertexResource = vertex;
    *pixelResource = pixel;
    return true;
}

void ShaderManager::LoadSystemShaders()
{
    const bool fakeShadows = gProjectConfig.m_fakeShadows;
    for (const SystemShaderRow& row : kSystemShaderRows)
    {
        if (row.fakeShadowsOnly && !fakeShadows)
            continue;
        ShaderPair& pair = m_systemShaders[row.slot];
        GetShader(row.family, row.options, &pair.m_vertexResource, &pair.m_pixelResource, 1, false, row.flags);
    }
    for (uint32_t r = 0; r < kLightRows; ++r)
    {
        const LightRow& row = kLightRowTable[r];
        for (uint32_t c = 0; c < row.columnCount; ++c)
        {
            const uint32_t mask = row.columns[c];
            std::string options = row.word != nullptr ? row.word : "";
            for (uint32_t bit = 0; bit < 4; ++bit)
                if ((mask & (1u << bit)) != 0)
                    AppendWord(options, kLightWords[bit]);
            ShaderPair& pair = m_lightShaders[r][mask];
            GetShader(row.family, options.c_str(), &pair.m_vertexResource, &pair.m_pixelResource, 1, false, 0);
        }
    }
    for (uint32_t mask = 0; mask < kShadowMapMasks; ++mask)
    {
        // Each word followed by a blank: that text is the variant key.
        std::string options;
        for (uint32_t bit = 0; bit < 4; ++bit)
            if ((mask & (1u << bit)) != 0)
                options += std::string(kShadowMapWords[bit]) + " ";
        ShaderPair& pair = m_shadowMapShaders[mask];
        GetShader("MeshShadowMap", options.c_str(), &pair.m_vertexResource, &pair.m_pixelResource, 1, false, 0);
    }
    for (uint32_t slot = 0; slot < kSystemTextureCount; ++slot)
    {
        const SystemTextureRow& row = kSystemTextureRows[slot];
        if ((row.fakeShadowsOnly && !fakeShadows) || gResourceManager == nullptr)
            continue;
        Resource* texture = gResourceManager->GetResource(RESOURCE_TYPE_TEXTURE, row.name, 0, true, row.flags);
        if (texture != nullptr)
            texture->RequestLoad();
        m_systemTextures[slot].resource = texture;
    }

    SubmitRendererCommands(false);
    if (gResourceManager != nullptr)
        gResourceManager->Flush();
    for (ShaderPair& pair : m_systemShaders)
        pair.Resolve();
    for (auto& row : m_lightShaders)
        for (ShaderPair& pair : row)
            pair.Resolve();
    for (ShaderPair& pair : m_shadowMapShaders)
        pair.Resolve();
    for (SystemTexture& slot : m_systemTextures)
    {
        if (slot.resource == nullptr)
            continue;
        slot.resource->Load(true);
        const auto* texture = static_cast<const ResourceTexture*>(slot.resource);
        slot.texture = texture->GetTextureHolder() != nullptr ? texture->GetTextureHolder()->GetTexture() : nullptr;
    }
}

void ShaderManager::ReloadShaders()
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RENDER, "Reloading shaders - begin");
    SubmitRendererCommands(true);
    {
        Dynarray<uint8_t> bytes;
        ShaderDefinitions reloaded;
        os::ScopedLock lock(m_lock);
        // The text form is what developers edit; data that ships only the binary form rereads that.
        const bool text = ReadDefinitionFile(kDefinitionTextFile, bytes);
        const char* path = text ? kDefinitionTextFile : kDefinitionFile;
        const bool read = text ? reloaded.ReadText(reinterpret_cast<const char*>(bytes.Data()), size_t(bytes.Count()),
                                                   path)
                               : ReadDefinitionFile(kDefinitionFile, bytes) &&
                                     reloaded.ReadBinary(bytes.Data(), size_t(bytes.Count()));
        // Without new definitions the old ones stay, so later requests still find their families.
        if (read)
            m_definitions.TakeFrom(reloaded);
        else
            gConsole.Warning(CONSOLE_CHANNEL_RENDER, "Shader definitions %s could not be read again; keeping the loaded ones",
                             path);
    }
    if (gResourceManager != nullptr)
        gResourceManager->PostReloadResources(RESOURCE_POOL_SHADERS, true);
    if (gRenderer != nullptr && gRenderer->IsStreamOpen() && !gRenderer->IsCurrentThread())
        gRenderer->InvalidateCachedTarget();
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RENDER, "Reloading shaders - end");
}

bool ShaderManager::GetVariantOptionNames(const char* resourceName, Dynarray<ShaderOptionName>& names,
                                          bool skipDepthOptions)
{
    names.Clear();
    const char* slash = resourceName != nullptr ? std::strchr(resourceName, '/') : nullptr;
    if (slash == nullptr)
        return false;
    char family[kFamilyNameSize];
    std::snprintf(family, sizeof(family), "%.*s", int(slash - resourceName), resourceName);
    os::ScopedLock lock(m_lock);
    const ShaderFamily* found = m_definitions.Find(family);
    return found != nullptr && found->ListOptionNames(slash + 1, names, skipDepthOptions);
}

void ShaderManager::AdjustDepthOptionBits(char* resourceName)
{
    char* slash = resourceName != nullptr ? std::strchr(resourceName, '/') : nullptr;
    const char* dot = resourceName != nullptr ? std::strrchr(resourceName, '.') : nullptr;
    if (slash == nullptr || dot == nullptr || std::strlen(slash + 1) < kMaskDigits)
        return;
    const bool vertexStage = (dot[1] | 0x20) == 'v' && dot[1] != 0 && (dot[2] | 0x20) == 's';
    char family[kFamilyNameSize];
    std::snprintf(family, sizeof(family), "%.*s", int(slash - resourceName), resourceName);
    char digits[kMaskDigits + 1];
    std::memcpy(digits, slash + 1, kMaskDigits);
    digits[kMaskDigits] = 0;
    uint32_t words[ShaderFamily::kMaskWords] = {};
    if (!HexStringToWords(words, ShaderFamily::kMaskWords, digits))
        return;

    os::ScopedLock lock(m_lock);
    const ShaderFamily* found = m_definitions.Find(family);
    if (found == nullptr)
        return;
    bool applied = false;
    const struct
    {
        const char* name;
        bool supported;
    } depthOptions[] = {{"HARDWARE_DEPTH", HasHardwareDepth()}, {"HARDWARE_DEPTH_RAWZ", HasRawzDepth()}};
    for (const auto& option : depthOptions)
    {
        bool vertex = false;
        bool pixel = false;
        const int32_t index = found->GetOptionStages(option.name, &vertex, &pixel);
        if (index < 0 || index >= int32_t(ShaderFamily::kMaxOptions) || !(vertexStage ? vertex : pixel))
            continue;
        const uint32_t bit = 1u << (index % 32);
        words[index / 32] = option.supported ? words[index / 32] | bit : words[index / 32] & ~bit;
        applied = true;
    }
    if (!applied)
        return;
    char hex[kMaskDigits + 1];
    WordsToHexString(words, ShaderFamily::kMaskWords, hex);
    std::memcpy(slash + 1, hex, kMaskDigits);
}
