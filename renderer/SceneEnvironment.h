// SceneEnvironment: the render-side scene look (script global gSceneEnvironment): the current,
// target, blended and override scene-parameter sets. The game thread drives it only through call
// commands (opcode 47) with the sub-commands below; the render thread owns the sets and copies every
// set it is handed, so the wrappers that carried them may die afterwards. Game thread: Create,
// Close, BlendToParameters, SetOverrideParameters. Render thread: Execute and the getters.
#pragma once

#include "renderer/SceneParametersWrapper.h"

#include <cstdint>

class CommandRingBuffer;
class NorvexRenderer;

// The scene environment's render-side state and its posting operations.
class SceneEnvironment
{
public:
    enum SubCommand : uint32_t
    {
        SUB_BLEND = 0,
        SUB_CREATE = 1,
        SUB_RELEASE = 2,
        SUB_OVERRIDE = 3,
    };
    // BlendToParameters flags.
    static constexpr uint32_t kBlendDropOverride = 1;
    static constexpr uint32_t kBlendPresetA = 4;
    static constexpr uint32_t kBlendPresetB = 8;

    // Game thread.
    void Create();
    void Close();
    // Blends from the current set to the wrapper's over `seconds`; with no wrapper, flags 0 return
    // to the default set and flag 1 drops the override set. The preset pair the flags choose (4, 8
    // or neither) travels with the command.
    void BlendToParameters(const SceneParametersWrapper* wrapper, uint32_t flags, float seconds);
    void SetOverrideParameters(const SceneParametersWrapper* wrapper);

    static bool GetArgumentBytes(uint32_t subCommand, uint32_t& bytes);
    // Render thread.
    static void Execute(NorvexRenderer& renderer, uint32_t subCommand, CommandRingBuffer& reader);
    bool IsCreated() const { return m_created; }
    const SceneParametersData& GetTarget() const { return m_target; }
    const SceneParametersData& GetOverride() const { return m_override; }
    bool HasOverride() const { return m_hasOverride; }
    float GetBlendSeconds() const { return m_blendSeconds; }
    uint32_t GetBlendFlags() const { return m_blendFlags; }
    uint32_t GetBlendPreset() const { return m_blendPreset; }

private:
    bool BeginCall(uint32_t subCommand);

    bool m_created = false;
    SceneParametersData m_current;
    SceneParametersData m_target;
    SceneParametersData m_override;
    bool m_hasOverride = false;
    float m_blendSeconds = 0.0f;
    uint32_t m_blendFlags = 0;
    uint32_t m_blendPreset = 0;
};

extern SceneEnvironment gSceneEnvironment;
