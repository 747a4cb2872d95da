#include "renderer/SceneEnvironment.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileSystem.h"
#include "core/threads/CommandRingBuffer.h"
#include "core/time/GameTimer.h"
#include "core/time/Time.h"
#include "engine/EngineTimer.h"
#include "engine/config/EngineConfig.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/SceneParametersWrapper.h"
#include "renderer/resources/ResourceManager.h"
#include "renderer/resources/ResourceTexture.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

namespace rp = renderpayload;

SceneEnvironment gSceneEnvironment;

namespace
{
constexpr float kPi = std::numbers::pi_v<float>;
constexpr size_t kNameCapacity = 260;

// Each component in [0, 1), whatever the sign of the drift that moved it.
float Wrap01(float value)
{
    const float wrapped = value - std::floor(value);
    return wrapped < 1.0f ? wrapped : 0.0f;
}

Vector Wrap01(const Vector& v)
{
    return Vector(Wrap01(v.x), Wrap01(v.y), Wrap01(v.z), Wrap01(v.w));
}

// (1, 1, 1, 1) moved towards the colour by its fourth component, the fourth component then 1.
Vector Tint(const Vector& color)
{
    const float a = color.w;
    return Vector(1.0f - a + color.x * a, 1.0f - a + color.y * a, 1.0f - a + color.z * a, 1.0f);
}

// The whole of a set but its switches: sun, shading and sky, and its three textures.
void CopyWholeSet(SceneParametersWrapper& target, const SceneParametersWrapper& source)
{
    target.GetSun() = source.GetSun();
    target.GetShading() = source.GetShading();
    target.GetSky() = source.GetSky();
    target.SetCloudTexture(source.GetCloudTexture());
    target.SetLayerTexture(source.GetLayerTexture());
    target.SetEnvironmentMap(source.GetEnvironmentMap());
}

template <typename T>
T ReadArgument(CommandRingBuffer& reader)
{
    T value{};
    reader.Read(&value, sizeof(value));
    return value;
}
} // namespace

SceneEnvironment::SceneEnvironment()
{
    for (Vector& color : m_sceneColors)
        color = Vector(0.0f, 0.0f, 1.0f, 1.0f);
}

SceneEnvironment::~SceneEnvironment()
{
    DeleteSets();
}

void SceneEnvironment::InstallClocks(const GameTimer* firstGameClock, const GameTimer* secondGameClock)
{
    m_firstGameClock = firstGameClock;
    m_secondGameClock = secondGameClock;
}

uint64_t SceneEnvironment::GetClockTime(uint32_t flags) const
{
    switch (flags & kBlendClockMask)
    {
    case kBlendClockEngine: return uint64_t(gEngineTimer.GetTicks());
    case kBlendClockSecondGame: return m_secondGameClock != nullptr ? m_secondGameClock->GetTime() : 0;
    default: return m_firstGameClock != nullptr ? m_firstGameClock->GetTime() : 0;
    }
}

bool SceneEnvironment::GetArgumentBytes(uint32_t subCommand, uint32_t& bytes)
{
    switch (subCommand)
    {
    case SUB_BLEND: bytes = rp::kPointer + 8 + rp::kPointer + rp::kU32 + rp::kFloat; return true;
    case SUB_CREATE:
    case SUB_CLOSE:
    case SUB_ENABLE_OVERRIDE:
    case SUB_DISABLE_OVERRIDE:
    case SUB_UNLOAD_LIGHTMAPS: bytes = rp::kPointer; return true;
    case SUB_SET_OVERRIDE:
    case SUB_LOAD_LIGHTMAPS: bytes = 2 * rp::kPointer; return true;
    case SUB_SET_COLORS: bytes = rp::kPointer + 3 * uint32_t(sizeof(Vector)); return true;
    default: return false;
    }
}

bool SceneEnvironment::BeginCall(uint32_t subCommand)
{
    uint32_t bytes = 0;
    if (gRenderer == nullptr || !GetArgumentBytes(subCommand, bytes) ||
        !gRenderer->WriteCall(&SceneEnvironment::Execute, subCommand, bytes))
        return false;
    gRenderer->GetWriter().Put(this);
    return true;
}

void SceneEnvironment::Create()
{
    if (!m_created)
        m_created = BeginCall(SUB_CREATE);
}

void SceneEnvironment::Close()
{
    if (!m_created)
        return;
    UnloadLightmaps();
    m_created = false;
    if (BeginCall(SUB_CLOSE))
        gRenderer->SubmitCommands(true);
}

void SceneEnvironment::BlendToParameters(const SceneParametersWrapper* set, uint32_t flags, float duration)
{
    const uint64_t start = GetClockTime(flags);
    if (!BeginCall(SUB_BLEND))
        return;
    RenderCommandWriter& writer = gRenderer->GetWriter();
    writer.Put(start);
    writer.Put(set);
    writer.Put(flags);
    writer.Put(duration);
}

void SceneEnvironment::SetOverrideParameters(const SceneParametersWrapper* set)
{
    if (BeginCall(SUB_SET_OVERRIDE))
        gRenderer->GetWriter().Put(set);
}

void SceneEnvironment::EnableOverride()
{
    BeginCall(SUB_ENABLE_OVERRIDE);
}

void SceneEnvironment::DisableOverride()
{
    BeginCall(SUB_DISABLE_OVERRIDE);
}

void SceneEnvironment::SetColors(const Vector& color0, const Vector& color1, const Vector& color2)
{
    if (!BeginCall(SUB_SET_COLORS))
        return;
    RenderCommandWriter& writer = gRenderer->GetWriter();
    writer.Put(color0);
    writer.Put(color1);
    writer.Put(color2);
}

void SceneEnvironment::LoadLightmaps(const char* prefix, uint32_t variant)
{
    if (gRenderer != nullptr)
        gRenderer->SubmitCommands(true);
    gConsole.Printf(CONSOLE_WARNING, CONSOLE_CHANNEL_LIGHTMAP, "Loading lightmaps for %s",
                    prefix != nullptr ? prefix : "(null)");
    UnloadLightmaps();
    if (prefix != nullptr)
    {
        const bool containers = m_config != nullptr && m_config->UsesContainerFiles();
        const char* const extension = containers ? "texture" : "dds";
        char sceneSuffix[16] = "", patchSuffix[16] = "", fileSuffix[16] = "";
        if (variant < 255)
        {
            std::snprintf(sceneSuffix, sizeof(sceneSuffix), "_var%02u", variant);
            if (containers)
                std::snprintf(patchSuffix, sizeof(patchSuffix), "|%02u.patch", variant);
            else
                std::snprintf(fileSuffix, sizeof(fileSuffix), "_var%02u", variant);
        }
        for (uint32_t n = 0; n < kLightmapCount; ++n)
        {
            char name[kNameCapacity];
            std::snprintf(name, sizeof(name), "%s%s_lm%u.%s", prefix, fileSuffix, n, extension);
            gConsole.Printf(CONSOLE_WARNING, CONSOLE_CHANNEL_LIGHTMAP, "Trying to load %s", name);
            if (!gFileSystem.FileExists(name, nullptr, "scenes"))
                break;
            if (gResourceManager == nullptr)
                continue;
            std::strncat(name, patchSuffix, sizeof(name) - std::strlen(name) - 1);
            m_lightmaps[n] = gResourceManager->GetResource(RESOURCE_TYPE_TEXTURE, name, 0, true, kLightmapResourceFlags);
            if (m_lightmaps[n] != nullptr)
                m_lightmaps[n]->RequestLoad();
        }
        char probeName[kNameCapacity];
        std::snprintf(probeName, sizeof(probeName), "%s%s", prefix, sceneSuffix);
        if (BeginCall(SUB_LOAD_LIGHTMAPS))
        {
            char* copy = nullptr;
            if (probeName[0] != 0)
            {
                copy = new char[std::strlen(probeName) + 1];
                std::strcpy(copy, probeName);
            }
            gRenderer->GetWriter().Put(copy);
        }
    }
    if (gRenderer != nullptr)
        gRenderer->SubmitCommands(false);
    if (gResourceManager != nullptr)
        gResourceManager->Flush();
}

void SceneEnvironment::UnloadLightmaps()
{
    BeginCall(SUB_UNLOAD_LIGHTMAPS);
    Resource::ReleaseArray(m_lightmaps, kLightmapCount);
    if (gResourceManager != nullptr)
        gResourceManager->PostCommand(RESOURCE_POOL_TEXTURES, RESOURCE_FLAG_SCENE_TEXTURE, RESOURCE_FLAG_SCENE_TEXTURE);
    if (gRenderer != nullptr)
        gRenderer->SubmitCommands(false);
    if (gResourceManager != nullptr)
        gResourceManager->Flush();
    for (Resource*& slot : m_lightmaps)
        slot = nullptr;
}

void SceneEnvironment::Execute(NorvexRenderer&, uint32_t subCommand, CommandRingBuffer& reader)
{
    SceneEnvironment* const environment = ReadArgument<SceneEnvironment*>(reader);
    switch (subCommand)
    {
    case SUB_BLEND:
    {
        const uint64_t start = ReadArgument<uint64_t>(reader);
        const auto* set = ReadArgument<const SceneParametersWrapper*>(reader);
        const uint32_t flags = ReadArgument<uint32_t>(reader);
        const float duration = ReadArgument<float>(reader);
        environment->StartBlend(set, flags, start, duration);
        return;
    }
    case SUB_CREATE: environment->CreateSets(); return;
    case SUB_CLOSE: environment->DeleteSets(); return;
    case SUB_SET_OVERRIDE:
    {
        const auto* set = ReadArgument<const SceneParametersWrapper*>(reader);
        // A template without a built set has nothing to copy; the override keeps what it holds.
        if (set != nullptr && environment->m_override != nullptr)
        {
            CopyWholeSet(*environment->m_override, *set);
            environment->m_dirty = true;
        }
        return;
    }
    case SUB_ENABLE_OVERRIDE:
    case SUB_DISABLE_OVERRIDE:
        environment->SetOverrideInForce(subCommand == SUB_ENABLE_OVERRIDE);
        return;
    case SUB_SET_COLORS:
        for (Vector& color : environment->m_sceneColors)
            color = ReadArgument<Vector>(reader);
        environment->m_dirty = true;
        return;
    case SUB_UNLOAD_LIGHTMAPS: environment->m_lightProbeMap.Clear(); return;
    case SUB_LOAD_LIGHTMAPS:
    {
        char* const name = ReadArgument<char*>(reader);
        if (name != nullptr)
            environment->m_lightProbeMap.Load(name);
        delete[] name;
        return;
    }
    default:
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "SceneEnvironment: unknown sub-command %u", subCommand);
        return;
    }
}

void SceneEnvironment::CreateSets()
{
    DeleteSets();
    for (SceneParametersWrapper** slot : {&m_current, &m_from, &m_to, &m_override, &m_temporary})
    {
        *slot = new SceneParametersWrapper();
        (*slot)->SetDefaults();
        (*slot)->SetReady();
    }
    m_dirty = true;
}

void SceneEnvironment::DeleteSets()
{
    for (SceneParametersWrapper** slot : {&m_current, &m_from, &m_to, &m_override, &m_temporary})
    {
        if (*slot != nullptr)
            (*slot)->DestroyOnRenderThread();
        *slot = nullptr;
    }
    m_blending = false;
    m_temporaryInForce = false;
    m_overrideInForce = false;
}

void SceneEnvironment::StartBlend(const SceneParametersWrapper* set, uint32_t flags, uint64_t startTicks, float duration)
{
    if (m_current == nullptr)
        return;
    if ((flags & kBlendTemporary) != 0)
    {
        m_temporaryInForce = set != nullptr;
        if (set != nullptr)
            CopyWholeSet(*m_temporary, *set);
        m_dirty = true;
        return;
    }
    if ((flags & kBlendEndTemporary) != 0)
        m_temporaryInForce = false;
    m_from->GetSun() = m_current->GetSun();
    m_from->GetShading() = m_current->GetShading();
    m_from->GetSky() = m_current->GetSky();

    if (set != nullptr)
    {
        const SceneParameterSwitches& affects = set->GetSwitches();
        const SceneSkyParameters& source = set->GetSky();
        SceneSkyParameters& sky = m_to->GetSky();
        m_to->GetShading() = set->GetShading();
        if (affects.affectsSun != 0)
            m_to->GetSun() = set->GetSun();
        if (affects.affectsCloudLook != 0)
        {
            sky.cloudColor = source.cloudColor;
            m_current->SetCloudTexture(set->GetCloudTexture());
        }
        if (affects.affectsCloudProjection != 0)
        {
            sky.cloudDrift = source.cloudDrift;
            sky.cloudYaw = source.cloudYaw;
            sky.cloudPitch = source.cloudPitch;
            sky.cloudScale = source.cloudScale;
            sky.cloudRotation = source.cloudRotation;
            sky.cloudProjection = source.cloudProjection;
        }
        if (affects.affectsLayerTexture != 0)
        {
            sky.layerColor = source.layerColor;
            m_current->SetLayerTexture(set->GetLayerTexture());
        }
        if (affects.affectsLayerProjection != 0)
        {
            sky.layerDrift = source.layerDrift;
            sky.layerHeight = source.layerHeight;
            sky.layerRotation = source.layerRotation;
            sky.layerScale = source.layerScale;
            sky.layerProjection = source.layerProjection;
        }
        if (affects.affectsEnvironmentMap != 0)
            m_current->SetEnvironmentMap(set->GetEnvironmentMap());
    }
    else
        m_to->SetDefaults();

    if (duration != 0.0f)
    {
        m_blendFlags = flags;
        m_blendStart = startTicks;
        m_blendDuration = duration;
        m_blending = true;
    }
    else
    {
        m_blending = false;
        m_current->Lerp(*m_from, *m_to, 1.0f);
    }
    m_dirty = true;
}

float SceneEnvironment::Ease(uint32_t flags, float p)
{
    switch (flags & kBlendEasingMask)
    {
    case kBlendEaseOut: return std::sin(p * kPi * 0.5f);
    case kBlendEaseIn: return 1.0f - std::sin((1.0f - p) * kPi * 0.5f);
    case kBlendLinear: return p;
    default: return 0.5f * (std::sin((p - 0.5f) * kPi) + 1.0f);
    }
}

void SceneEnvironment::Update(uint64_t engineTicks, float, uint64_t firstGameTicks, float firstGameDelta,
                              uint64_t secondGameTicks, float)
{
    if (m_current == nullptr)
        return;
    if (m_blending)
    {
        const uint32_t clock = m_blendFlags & kBlendClockMask;
        const uint64_t now = clock == kBlendClockEngine         ? engineTicks
                             : clock == kBlendClockSecondGame ? secondGameTicks
                                                              : firstGameTicks;
        // A clock restarted after the blend began (a scene switch) reads earlier than the start:
        // the blend then waits at its beginning instead of running backwards past `from`.
        const double elapsed =
            now > m_blendStart ? double(now - m_blendStart) / double(Time::GetFrequency()) : 0.0;
        float p = 1.0f;
        if (m_blendDuration > 0.001f)
            p = float(elapsed / double(m_blendDuration));
        if (p >= 1.0f)
        {
            p = 1.0f;
            m_blending = false;
        }
        m_current->Lerp(*m_from, *m_to, Ease(m_blendFlags, p));
        m_dirty = true;
    }

    const SceneSkyParameters& sky = m_current->GetSky();
    m_cloudOffset.MulAdd(sky.cloudDrift, firstGameDelta);
    m_cloudOffset = Wrap01(m_cloudOffset);
    m_layerOffset.MulAdd(sky.layerDrift, firstGameDelta);
    m_layerOffset = Wrap01(m_layerOffset);
    // Scroll first, then project: translation(offset) x projection.
    Matrix translation;
    translation.LoadTranslation(m_cloudOffset);
    m_cloudTextureMatrix.Mul(sky.cloudProjection, translation);

    const SceneShadingParameters& shading = GetActiveParameters()->GetShading();
    const float range = shading.fogEnd - shading.fogStart;
    // Without a fog range there is no fog: a pair of (0, 1) would fog everything fully.
    m_fogFactors = std::fabs(range) > 0.001f ? Vector(1.0f / range, -shading.fogStart / range, 0.0f, 0.0f)
                                            : Vector(0.0f, 0.0f, 0.0f, 0.0f);
    m_topTint = Tint(shading.topColor);
    m_bottomTint = Tint(shading.bottomColor);
}

const SceneParametersWrapper* SceneEnvironment::GetActiveParameters() const
{
    if (m_overrideInForce && m_override != nullptr)
        return m_override;
    if (m_temporaryInForce && m_temporary != nullptr)
        return m_temporary;
    return m_current;
}

TextureHolder* SceneEnvironment::GetLightmapTexture(uint32_t n) const
{
    if (n >= kLightmapCount || m_lightmaps[n] == nullptr || !m_lightmaps[n]->IsLoaded())
        return nullptr;
    return static_cast<const ResourceTexture*>(m_lightmaps[n])->GetTextureHolder();
}

const Matrix& SceneEnvironment::GetLayerProjectionMatrix() const
{
    return m_current != nullptr ? m_current->GetSky().layerProjection : Matrix::ONE;
}
