#include "renderer/SceneEnvironment.h"

#include "core/console/GameConsole.h"
#include "core/threads/CommandRingBuffer.h"
#include "renderer/NorvexRenderer.h"

namespace rp = renderpayload;

SceneEnvironment gSceneEnvironment;

namespace
{
// The blend presets the flags choose between: (curve weight, curve id). How a preset shapes the
// blend belongs to the post-processing chain; the stream carries which one was chosen.
struct BlendPreset
{
    float weight;
    uint32_t curve;
};
constexpr BlendPreset kBlendPresets[3] = {{1.0f, 0}, {1.0f, 1}, {1.0f, 2}};

constexpr uint32_t kBlendBytes = rp::kPointer + rp::kU32 + rp::kFloat + rp::kFloat + rp::kU32;

// Render thread: the whole set, its textures included.
void CopySet(SceneParametersWrapper& to, const SceneParametersWrapper& from)
{
    to.GetSun() = from.GetSun();
    to.GetShading() = from.GetShading();
    to.GetSky() = from.GetSky();
    to.SetCloudTexture(from.GetCloudTexture());
    to.SetLayerTexture(from.GetLayerTexture());
    to.SetEnvironmentMap(from.GetEnvironmentMap());
}

SceneParametersWrapper* NewDefaultSet()
{
    SceneParametersWrapper* const set = new SceneParametersWrapper;
    set->SetDefaults();
    set->SetReady();
    return set;
}

void DeleteSet(SceneParametersWrapper*& set)
{
    delete set;
    set = nullptr;
}
} // namespace

const SceneParametersWrapper* SceneEnvironment::GetActiveParameters() const
{
    return m_hasOverride && m_override != nullptr ? m_override : m_target;
}

bool SceneEnvironment::GetArgumentBytes(uint32_t subCommand, uint32_t& bytes)
{
    switch (subCommand)
    {
    case SUB_BLEND: bytes = kBlendBytes; return true;
    case SUB_CREATE:
    case SUB_RELEASE: bytes = 0; return true;
    case SUB_OVERRIDE: bytes = rp::kPointer; return true;
    default: return false;
    }
}

bool SceneEnvironment::BeginCall(uint32_t subCommand)
{
    uint32_t bytes = 0;
    return gRenderer != nullptr && GetArgumentBytes(subCommand, bytes) &&
           gRenderer->WriteCall(&SceneEnvironment::Execute, subCommand, bytes);
}

void SceneEnvironment::Create()
{
    if (!m_posted)
        m_posted = BeginCall(SUB_CREATE);
}

void SceneEnvironment::Close()
{
    if (!m_posted)
        return;
    m_posted = false;
    if (BeginCall(SUB_RELEASE))
        gRenderer->SubmitCommands(true);
}

void SceneEnvironment::BlendToParameters(const SceneParametersWrapper* wrapper, uint32_t flags, float seconds)
{
    if (!BeginCall(SUB_BLEND))
        return;
    const BlendPreset& preset = (flags & kBlendPresetA) != 0   ? kBlendPresets[1]
                                : (flags & kBlendPresetB) != 0 ? kBlendPresets[2]
                                                               : kBlendPresets[0];
    RenderCommandWriter& writer = gRenderer->GetWriter();
    writer.Put(wrapper);
    writer.Put(flags);
    writer.Put(seconds);
    writer.Put(preset.weight);
    writer.Put(preset.curve);
}

void SceneEnvironment::SetOverrideParameters(const SceneParametersWrapper* wrapper)
{
    if (BeginCall(SUB_OVERRIDE))
        gRenderer->GetWriter().Put(wrapper);
}

void SceneEnvironment::Execute(NorvexRenderer&, uint32_t subCommand, CommandRingBuffer& reader)
{
    SceneEnvironment& environment = gSceneEnvironment;
    switch (subCommand)
    {
    case SUB_CREATE:
        if (environment.m_created)
            return;
        environment.m_created = true;
        environment.m_current = NewDefaultSet();
        environment.m_target = NewDefaultSet();
        environment.m_override = NewDefaultSet();
        return;
    case SUB_RELEASE:
        environment.m_created = false;
        environment.m_hasOverride = false;
        DeleteSet(environment.m_current);
        DeleteSet(environment.m_target);
        DeleteSet(environment.m_override);
        return;
    case SUB_BLEND:
    {
        const SceneParametersWrapper* wrapper = nullptr;
        float weight = 0.0f;
        reader.Read(&wrapper, sizeof(wrapper));
        reader.Read(&environment.m_blendFlags, rp::kU32);
        reader.Read(&environment.m_blendSeconds, rp::kFloat);
        reader.Read(&weight, rp::kFloat);
        reader.Read(&environment.m_blendPreset, rp::kU32);
        if (!environment.m_created)
            return;
        CopySet(*environment.m_current, *environment.m_target);
        if (wrapper != nullptr)
            CopySet(*environment.m_target, *wrapper);
        else if (environment.m_blendFlags == 0)
            environment.m_target->SetDefaults();
        else if (environment.m_blendFlags == kBlendDropOverride)
            environment.m_hasOverride = false;
        return;
    }
    case SUB_OVERRIDE:
    {
        const SceneParametersWrapper* wrapper = nullptr;
        reader.Read(&wrapper, sizeof(wrapper));
        if (wrapper != nullptr && environment.m_created)
        {
            CopySet(*environment.m_override, *wrapper);
            environment.m_hasOverride = true;
        }
        return;
    }
    default:
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "SceneEnvironment: unknown sub-command %u", subCommand);
        return;
    }
}
