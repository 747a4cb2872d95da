// MeshEntityRenderingContext: the render-side twin of a mesh entity. It points at the shared
// rendering data of the entity's template and adds what differs per entity: the shader preset,
// the bone matrices of its pose, the lightmap mapping, the outline state, a random value and the
// blob shadow settings. Its operations are posted as calls of its own (sub-commands 0 to 6) and
// applied on the render thread in stream order; the scene passes' draws become the mesh draws of
// the rendering data. Game thread: the constructor and the posting operations. Render thread:
// Execute, the getters, the draws and the fake shadow pass.
#pragma once

#include "core/containers/SafePointer.h"
#include "core/math/Vector.h"
#include "renderer/EntityRenderingContext.h"
#include "renderer/LightmapMapping.h"

#include <cstdint>
#include <vector>

class MeshFakeShadowDefinition;
class MeshTemplateRenderingData;

// Render-side state of one mesh entity: rendering data, preset, bones, lightmap, outline and fake shadow.
class MeshEntityRenderingContext : public EntityRenderingContext
{
public:
    enum MeshSubCommand : uint32_t
    {
        SUB_RENDERING_DATA = 0,
        SUB_SHADER_PRESET = 1,
        SUB_BONE_MATRICES = 2,
        SUB_LIGHTMAP_MAPPING = 3,
        SUB_OUTLINE_STATE = 4,
        SUB_FAKE_SHADOW_DEFINITION = 5,
        SUB_FAKE_SHADOW_STRENGTH = 6,
        // A pose too large for one command goes in pieces: total count, first bone, bones here.
        SUB_BONE_MATRIX_RANGE = 7,
    };
    // The lit pass that draws every material kind.
    static constexpr uint32_t kForwardPass = 16;
    // Bone matrices are 48 bytes each (three rows of four floats).
    static constexpr uint32_t kBoneMatrixBytes = 48;
    // Context flags the rendering data decides: render bytes E (shadow caster), G and F.
    static constexpr uint32_t kFlagRenderByteG = 0x20;
    static constexpr uint32_t kFlagRenderByteF = 0x40;

    // Game thread. Draws a random value from the engine's linear generator and posts the rendering
    // data when there is one; `color` is the entity's colour, `lightmap` its lightmap mapping.
    MeshEntityRenderingContext(NorvexRenderer& renderer, const MeshTemplateRenderingData* data,
                               uint32_t shaderPresetIndex, const Vector& color, const LightmapMapping& lightmap);

    // Game thread: posted operations.
    void SetShaderPresetIndex(uint32_t index);
    // Poses too large for one command are posted in pieces; false (logged) when the stream refused one.
    bool SetBoneMatrices(uint32_t count, const float* matrices);
    // The most bone matrices one command carries.
    static const uint32_t kBonesPerCommand;
    void SetLightmapMapping(const LightmapMapping& mapping);
    void SetOutlineState(uint8_t state);
    void SetFakeShadowDefinition(const MeshFakeShadowDefinition* definition);
    void SetFakeShadowStrength(float strength);

    // Render thread.
    static void Execute(NorvexRenderer& renderer, uint32_t subCommand, CommandRingBuffer& reader);
    // The forward pass that draws every material kind.
    void Draw(const Matrix& world, uint32_t passFlags, const Vector& color) override;
    void DrawPass(const Matrix& world, uint32_t passFlags, const Vector& color, int32_t passA,
                  uint32_t passB) override;
    void DrawDepth(uint8_t mirrorToggle, uint32_t passFlags) override;
    // The chosen preset's channel mask; 0 without rendering data.
    uint32_t GetChannelMask(uint32_t passFlags) const override;
    // The rendering data's channel pass with the mirrored byte, the preset and the pose; false
    // without rendering data.
    bool DrawChannel(const Matrix& world, uint32_t passFlags) override;
    // The blob shadow quads, when a fake shadow definition is set.
    void SecondaryPass(const Matrix& world, uint32_t passFlags) override;
    // The fake shadow pass: every context's secondary draw fills the shared quad lists, which are
    // drawn into the renderer's fake shadow target (cleared to white) and kept for the composition.
    struct FakeShadowCaster
    {
        EntityRenderingContext* context;
        uint32_t passFlags;
    };
    static void FlushFakeShadows(NorvexRenderer& renderer, const FakeShadowCaster* casters, uint32_t count);
    // Over the bound scene colour and depth, the kept quads darken what they cover by the fake shadow
    // target's value at each pixel, each pixel once, behind whatever stands in front of them; then
    // the lists are emptied.
    static void ComposeFakeShadows(NorvexRenderer& renderer);

    const MeshTemplateRenderingData* GetRenderingData() const;
    uint32_t GetShaderPresetIndex() const { return m_presetIndex; }
    float GetFakeShadowStrength() const { return m_fakeShadowStrength; }
    uint8_t GetOutlineState() const { return m_outlineState; }
    const LightmapMapping& GetLightmapMapping() const { return m_lightmap; }
    const MeshFakeShadowDefinition* GetFakeShadowDefinition() const { return m_fakeShadow; }
    uint32_t GetBoneCount() const { return m_boneCount; }
    const std::vector<float>& GetBoneMatrices() const { return m_bones; }
    float GetRandomValue() const { return m_random; }

private:
    // Opens one of this kind's calls with `argumentBytes` after the object pointer.
    bool BeginMeshCall(uint32_t subCommand, uint32_t argumentBytes);
    void ExecuteMeshCommand(uint32_t subCommand, CommandRingBuffer& reader);
    // Bones [first, first + pieces) of a pose of `count`; a range past the pose drops the pose.
    void ReadBones(CommandRingBuffer& reader, uint32_t count, uint32_t first, uint32_t pieces);
    // Points at new rendering data (or none) and takes the context flags its render bytes decide.
    void SetRenderingData(MeshTemplateRenderingData* data);
    // The bone matrices the draws use, or null.
    const float* Pose() const;

    // What a draw reads, on the first line after the base's.
    alignas(64) SafePointer<MeshTemplateRenderingData> m_data;
    uint32_t m_presetIndex;
    uint32_t m_boneCount = 0;
    float m_random;
    uint8_t m_outlineState = 1;
    // The rest.
    LightmapMapping m_lightmap;
    std::vector<float> m_bones;
    const MeshFakeShadowDefinition* m_fakeShadow = nullptr;
    float m_fakeShadowStrength = 1.0f;
};
