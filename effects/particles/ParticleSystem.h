// ParticleSystem: the editable, serialized description of one particle emitter (how fast it spawns,
// how long particles live, how they start and move, how they look over their life and blend), with
// the shader variant, texture and mesh template its values select, shared by every run-time context
// built from it. Every system alive is linked in one global list, so that a change of the graphics
// quality level can rebuild every variant. Main thread (and the resource thread that loads the
// owning template); the global list is guarded by its own lock.
#pragma once

#include "core/math/HDRColor.h"
#include "core/math/Vector.h"
#include "core/reflection/RTTIClass.h"
#include "core/strings/NameString.h"
#include "core/SimpleGUID.h"

#include <cstdint>
#include <string>

class EntityTemplate;
class Resource;

// Emitter parameters of a particle template or an effect's particle element.
class ParticleSystem : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(ParticleSystem, RTTIPolyBaseClass)

public:
    enum FaceCameraMode : uint32_t
    {
        FACE_LOCAL_X = 0,
        FACE_LOCAL_Y = 1,
        FACE_LOCAL_Z = 2,
        FACE_CAMERA = 3,
        FACE_VELOCITY_ALIGN = 4,
        FACE_VELOCITY_NORMAL = 5,
    };
    enum AnimationMode : uint32_t
    {
        ANIMATION_RANDOM_FRAME = 0,
        ANIMATION_CYCLE = 1,
        ANIMATION_CYCLE_WITH_BLEND = 2,
    };
    // Longest option string handed to the shader manager, terminator included.
    static constexpr size_t kMaxOptionText = 512;

    ParticleSystem();
    ~ParticleSystem() override;
    ParticleSystem(const ParticleSystem&) = delete;
    ParticleSystem& operator=(const ParticleSystem&) = delete;

    // Releases the shader, texture and mesh template handles and clears them.
    void ReleaseShader();
    // Releases the handles and resolves them again from the current values; immediate loads on
    // this thread (the template's loader), otherwise the loads are queued.
    void BuildShader(bool immediate);
    // Main thread: the mesh template of mesh particles with its body in, or null. Inside its own
    // template's loader the mesh is only looked up, not waited for, and one that had not come in by
    // then was not kept: it is taken here, waiting for its body.
    EntityTemplate* WaitForMeshTemplate();
    // BuildShader(false) for every system alive; called when the graphics quality level changes.
    static void RebuildAllShaders();
    // The option words for `qualityLevel` (0 to 4), each followed by a space.
    std::string BuildShaderOptions(uint32_t qualityLevel) const;
    // Systems alive (the global list's length).
    static uint32_t GetLiveSystemCount();

    // Values (read by the run-time contexts and spawners).
    const HDRColor& GetNodeColor(uint32_t node) const;
    float GetNodeSize(uint32_t node) const;
    // Nodes 0 and 3 keep their stored times, which nothing edits and the contexts ignore.
    float GetNodeTime(uint32_t node) const;
    const Vector& GetAnchor() const { return m_anchor; }
    const Vector& GetShape() const { return m_shape; }
    const Vector& GetEmitterSize() const { return m_emitterSize; }
    const Vector& GetInitialVelocity() const { return m_initialVelocity; }
    const Vector& GetInitialVelocityVariation() const { return m_initialVelocityVariation; }
    const Vector& GetGlobalGravity() const { return m_globalGravity; }
    const Vector& GetLocalGravity() const { return m_localGravity; }
    uint32_t GetBlendingMode() const { return m_blendingMode; }
    uint32_t GetAlphaTestMode() const { return m_alphaTestMode; }
    uint32_t GetSortMode() const { return m_sortMode; }
    float GetAlphaReference() const { return m_alphaReference; }
    uint32_t GetFaceCameraMode() const { return m_faceCameraMode; }
    bool HasRandomRotationAtStart() const { return m_randomRotationAtStart; }
    bool IsDepthRead() const { return m_depthRead; }
    bool IsDepthWrite() const { return m_depthWrite; }
    bool HasSoftness() const { return m_softness; }
    bool HasFog() const { return m_fog; }
    float GetRotationSpeed() const { return m_rotationSpeed; }
    float GetRotationSpeedVariation() const { return m_rotationSpeedVariation; }
    float GetSecondaryRotationSpeed() const { return m_secondaryRotationSpeed; }
    float GetSecondaryRotationSpeedVariation() const { return m_secondaryRotationSpeedVariation; }
    bool IsLocalSpace() const { return m_localSpace; }
    float GetLifeTime() const { return m_lifeTime; }
    float GetLifeTimeVariation() const { return m_lifeTimeVariation; }
    float GetSpawnRate() const { return m_spawnRate; }
    float GetVelocityDamping() const { return m_velocityDamping; }
    float GetCircleYawRange() const { return m_circleYawRange; }
    float GetCirclePitchRange() const { return m_circlePitchRange; }
    float GetCircleSpeed() const { return m_circleSpeed; }
    float GetCircleSpeedVariation() const { return m_circleSpeedVariation; }
    bool IsCircleVelocityEnabled() const { return m_circleVelocity; }
    bool IsHighPrecision() const { return m_highPrecision; }
    bool HasFakeTerrainCollision() const { return m_fakeTerrainCollision; }
    bool HasNoSpawnRateReduction() const { return m_noSpawnRateReduction; }
    float GetBounceStrength() const { return m_bounceStrength; }
    const NameString& GetTextureFileName() const { return m_textureFileName; }
    uint32_t GetTextureFramesX() const { return m_textureFramesX; }
    uint32_t GetTextureFramesY() const { return m_textureFramesY; }
    uint32_t GetAnimationMode() const { return m_animationMode; }
    float GetDesaturation() const { return m_desaturation; }
    const SimpleGUID& GetMeshTemplateGUID() const { return m_meshTemplate; }
    const NameString& GetShaderPreset() const { return m_shaderPreset; }

    // Handles resolved by BuildShader (null when not resolved).
    Resource* GetVertexShaderResource() const { return m_vertexShader; }
    Resource* GetPixelShaderResource() const { return m_pixelShader; }
    Resource* GetTextureResource() const { return m_texture; }
    EntityTemplate* GetMeshTemplate() const { return m_meshTemplateObject; }

private:
    // Keeps the template of "Mesh template" (waited for with `load`) when it is a mesh.
    void TakeMeshTemplate(bool load);

    HDRColor m_nodeColor0;
    HDRColor m_nodeColor1;
    HDRColor m_nodeColor2;
    HDRColor m_nodeColor3;
    float m_nodeSize0;
    float m_nodeSize1;
    float m_nodeSize2;
    float m_nodeSize3;
    float m_nodeTime0;
    float m_nodeTime1;
    float m_nodeTime2;
    float m_nodeTime3;
    Vector m_anchor;
    Vector m_shape;
    Vector m_emitterSize;
    Vector m_initialVelocity;
    Vector m_initialVelocityVariation;
    Vector m_globalGravity;
    Vector m_localGravity;
    uint32_t m_blendingMode = 3;
    uint32_t m_alphaTestMode = 1;
    uint32_t m_sortMode = 0;
    float m_alphaReference = 0.01f;
    uint32_t m_faceCameraMode = FACE_CAMERA;
    bool m_randomRotationAtStart = false;
    bool m_depthRead = true;
    bool m_depthWrite = false;
    bool m_softness = false;
    bool m_fog = true;
    float m_rotationSpeed = 0.0f;
    float m_rotationSpeedVariation = 0.0f;
    float m_secondaryRotationSpeed = 0.0f;
    float m_secondaryRotationSpeedVariation = 0.0f;
    bool m_localSpace = false;
    float m_lifeTime = 1.0f;
    float m_lifeTimeVariation = 0.0f;
    float m_spawnRate = 10.0f;
    float m_velocityDamping = 1.0f;
    float m_circleYawRange = 180.0f;
    float m_circlePitchRange = 90.0f;
    float m_circleSpeed = 1.0f;
    float m_circleSpeedVariation = 0.2f;
    bool m_circleVelocity = false;
    bool m_highPrecision = false;
    bool m_fakeTerrainCollision = false;
    bool m_noSpawnRateReduction = false;
    float m_bounceStrength = 0.8f;
    NameString m_textureFileName;
    uint32_t m_textureFramesX = 1;
    uint32_t m_textureFramesY = 1;
    uint32_t m_animationMode = ANIMATION_CYCLE_WITH_BLEND;
    float m_desaturation = 0.0f;
    SimpleGUID m_meshTemplate;
    NameString m_shaderPreset;

    Resource* m_vertexShader = nullptr;
    Resource* m_pixelShader = nullptr;
    Resource* m_texture = nullptr;
    EntityTemplate* m_meshTemplateObject = nullptr;

    ParticleSystem* m_previous = nullptr;
    ParticleSystem* m_next = nullptr;
};
