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
} // namespace

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
    BeginCall(SUB_CREATE);
}

void SceneEnvironment::Close()
{
    BeginCall(SUB_RELEASE);
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
        environment.m_created = true;
        environment.m_current = SceneParametersData();
        environment.m_target = SceneParametersData();
        return;
    case SUB_RELEASE:
        environment.m_created = false;
        environment.m_hasOverride = false;
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
        environment.m_current = environment.m_target;
        if (wrapper != nullptr)
            environment.m_target = wrapper->GetData();
        else if (environment.m_blendFlags == 0)
            environment.m_target = SceneParametersData();
        else if (environment.m_blendFlags == kBlendDropOverride)
            environment.m_hasOverride = false;
        return;
    }
    case SUB_OVERRIDE:
    {
        const SceneParametersWrapper* wrapper = nullptr;
        reader.Read(&wrapper, sizeof(wrapper));
        if (wrapper != nullptr)
        {
            environment.m_override = wrapper->GetData();
            environment.m_hasOverride = true;
        }
        return;
    }
    default:
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "SceneEnvironment: unknown sub-command %u", subCommand);
        return;
    }
}
