// SceneEnvironment: the render-side scene look (script global gSceneEnvironment): the current,
// target, blended and override scene-parameter sets. The game thread drives it only through call
// commands (opcode 47) with the sub-commands below; the render thread owns the sets and copies every
// set it is handed, so the wrappers that carried them may die afterwards. Game thread: Create,
// Close, BlendToParameters, SetOverrideParameters, the terrain lightmap mapping. Render thread: Execute and the getters.
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

    // Game thread. Create posts the creation once; Close posts the release only after a Create and
    // then submits synchronously, so the sets are gone before the next service closes.
    void Create();
    void Close();
    bool IsPosted() const { return m_posted; }
    // Blends from the current set to the wrapper's over `seconds`; with no wrapper, flags 0 return
    // to the default set and flag 1 drops the override set. The preset pair the flags choose (4, 8
    // or neither) travels with the command.
    void BlendToParameters(const SceneParametersWrapper* wrapper, uint32_t flags, float seconds);
    void SetOverrideParameters(const SceneParametersWrapper* wrapper);
    // The scene root's terrain lightmap placement (position box, UV box, UV multiply-add), kept for
    // the scene's lightmaps.
    void SetTerrainLightmapMapping(const Vector& positionBox, const Vector& uvBox, const Vector& uvMulAdd)
    {
        m_terrainLightmap[0] = positionBox;
        m_terrainLightmap[1] = uvBox;
        m_terrainLightmap[2] = uvMulAdd;
    }
    const Vector& GetTerrainLightmapVector(int index) const { return m_terrainLightmap[index]; }

    static bool GetArgumentBytes(uint32_t subCommand, uint32_t& bytes);
    // Render thread.
    static void Execute(NorvexRenderer& renderer, uint32_t subCommand, CommandRingBuffer& reader);
    bool IsCreated() const { return m_created; }
    // The set in force: the override while it is on, else the set blended to; null before Create.
    const SceneParametersWrapper* GetActiveParameters() const;
    const SceneParametersWrapper* GetTarget() const { return m_target; }
    const SceneParametersWrapper* GetOverride() const { return m_override; }
    bool HasOverride() const { return m_hasOverride; }
    float GetBlendSeconds() const { return m_blendSeconds; }
    uint32_t GetBlendFlags() const { return m_blendFlags; }
    uint32_t GetBlendPreset() const { return m_blendPreset; }

private:
    bool BeginCall(uint32_t subCommand);

    // Game side: a creation is posted and not yet released.
    bool m_posted = false;
    Vector m_terrainLightmap[3] = {Vector(0.0f, 0.0f, 1.0f, 1.0f), Vector(0.0f, 0.0f, 1.0f, 1.0f),
                                   Vector(0.0f, 0.0f, 1.0f, 1.0f)};
    // Render side.
    bool m_created = false;
    SceneParametersWrapper* m_current = nullptr;
    SceneParametersWrapper* m_target = nullptr;
    SceneParametersWrapper* m_override = nullptr;
    bool m_hasOverride = false;
    float m_blendSeconds = 0.0f;
    uint32_t m_blendFlags = 0;
    uint32_t m_blendPreset = 0;
};

extern SceneEnvironment gSceneEnvironment;
