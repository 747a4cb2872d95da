// MeshEntityRenderingContext: the render-side twin of a mesh entity. Its operations are posted as
// render commands and applied on the render thread in stream order. Draw hands the instance to its
// template's rendering data in the single forward pass that draws every material kind. Game thread:
// the posting operations. Render thread: Execute (through the base), the getters, Draw.
#pragma once

#include "core/math/Vector.h"
#include "renderer/EntityRenderingContext.h"
#include "renderer/LightmapMapping.h"

#include <cstdint>
#include <vector>

class Entity;
class MeshFakeShadowDefinition;
class MeshTemplateRenderingData;

// Render-side state of one mesh entity: preset, bones, lightmap, outline and fake shadow.
class MeshEntityRenderingContext : public EntityRenderingContext
{
public:
    enum MeshSubCommand : uint32_t
    {
        SUB_SHADER_PRESET = 5,
        SUB_FAKE_SHADOW_STRENGTH = 9,
        SUB_OUTLINE_STATE = 10,
        SUB_LIGHTMAP_MAPPING = 11,
        SUB_FAKE_SHADOW_DEFINITION = 12,
        SUB_BONE_MATRICES = 13,
    };
    // The lit pass that draws every material kind with its forward or deferred pair.
    static constexpr uint32_t kForwardPass = 16;
    // Bone matrices are 48 bytes each (three rows of four floats).
    static constexpr uint32_t kBoneMatrixBytes = 48;

    MeshEntityRenderingContext(NorvexRenderer& renderer, Entity* entity, uint32_t flags,
                               const MeshTemplateRenderingData* data, uint32_t shaderPresetIndex, const Vector& color);

    // Game thread: posted operations.
    void SetShaderPresetIndex(uint8_t index);
    void SetFakeShadowStrength(float strength);
    void SetOutlineState(int32_t state);
    void SetLightmapMapping(const LightmapMapping& mapping);
    void SetFakeShadowDefinition(const MeshFakeShadowDefinition* definition);
    // False (logged, nothing posted) when the matrices do not fit one command.
    bool SetBoneMatrices(uint32_t count, const float* matrices);

    // Render thread.
    bool ExecuteKindCommand(uint32_t subCommand, CommandRingBuffer& reader) override;
    // The forward pass that draws every material kind.
    void Draw(const Matrix& world, uint32_t passFlags, const Vector& color) override;
    void DrawPass(const Matrix& world, uint32_t passFlags, const Vector& color, int32_t passA,
                  uint32_t passB) override;
    void DrawDepth(uint8_t mirrorToggle, uint32_t passFlags) override;
    const MeshTemplateRenderingData* GetRenderingData() const { return m_data; }
    uint32_t GetShaderPresetIndex() const { return m_presetIndex; }
    float GetFakeShadowStrength() const { return m_fakeShadowStrength; }
    uint8_t GetOutlineState() const { return m_outlineState; }
    const LightmapMapping& GetLightmapMapping() const { return m_lightmap; }
    const MeshFakeShadowDefinition* GetFakeShadowDefinition() const { return m_fakeShadow; }
    uint32_t GetBoneCount() const { return m_boneCount; }
    const std::vector<float>& GetBoneMatrices() const { return m_bones; }

private:
    // The bone matrices the draws use, or null.
    const float* Pose() const;

    const MeshTemplateRenderingData* m_data;
    LightmapMapping m_lightmap;
    uint32_t m_presetIndex;
    uint32_t m_boneCount = 0;
    std::vector<float> m_bones;
    const MeshFakeShadowDefinition* m_fakeShadow = nullptr;
    float m_fakeShadowStrength = 1.0f;
    uint8_t m_outlineState = 1;
};
