// MeshAnimator: the animation state of one mesh instance. Only the hierarchy's structure is built:
// nodes and sub-objects are found by name, poses stay at rest (so bone matrices are the rest model
// matrices) and children are mounted on bones; playing animations belongs to the animation
// runtime, which is not built yet (starting one is refused and said once in the log). Main thread.
#pragma once

#include "core/math/Matrix.h"
#include "core/strings/NameString.h"

#include <cstdint>
#include <vector>

class Entity;
class MeshSkeleton;

// Parameters of an animation start (kept for the animation runtime).
struct AnimationParams
{
    float blendTime = 0.0f;
    float speed = 1.0f;
    uint32_t flags = 0;
};

// Per-instance hierarchy of a mesh entity.
class MeshAnimator
{
public:
    // A child following a bone; the bone's name lets a rebuilt hierarchy mount it again.
    struct Mount
    {
        Entity* child;
        int32_t bone;
        NameString boneName;
        Matrix offset;
        uint32_t flags;
    };

    MeshAnimator(const MeshSkeleton& skeleton, uint32_t boneCount, const void* nodeData, Entity* owner);
    ~MeshAnimator();
    MeshAnimator(const MeshAnimator&) = delete;
    MeshAnimator& operator=(const MeshAnimator&) = delete;

    // Computes the bone matrices (three rows of four floats per bone) of the current pose.
    void UpdatePose(const MeshSkeleton& animationSet, float blendTime);
    const std::vector<float>& GetBoneMatrices() const { return m_boneMatrices; }
    // Positions that picking skinned from the current pose into the frame ring, valid while the
    // ring is still in the generation they were made in; a new pose forgets them.
    const float* GetSkinnedPositions(uint32_t generation) const
    {
        return m_skinnedPositions != nullptr && m_skinnedGeneration == generation ? m_skinnedPositions : nullptr;
    }
    void SetSkinnedPositions(const float* positions, uint32_t generation)
    {
        m_skinnedPositions = positions;
        m_skinnedGeneration = generation;
    }
    uint32_t GetBoneCount() const { return m_boneCount; }

    int32_t FindNodeIndex(const MeshSkeleton& animationSet, const NameString& name) const;
    bool StartAnimationOnNode(const MeshSkeleton& animationSet, const NameString& node, const NameString& animation,
                              const AnimationParams& params);
    void StopAllAnimations(int32_t node, float blendOutTime);
    void StopAnimation(int32_t node, const NameString& animation, float blendOutTime);
    bool SetAnimationSpeedMultiplier(int32_t node, const NameString& animation, float multiplier);
    bool SetAnimationTimeFlags(int32_t node, const NameString& animation, uint32_t flags);
    bool SetAnimationProgress(int32_t node, const NameString& animation, float progress);
    void SetTargetingAngles(float first, float second);
    float GetTargetingAngle(int index) const { return m_targetingAngles[index]; }
    float GetMovementSpeed() const { return m_movementSpeed; }

    // Mounted children: the child follows the bone with the offset. False (logged) for an unknown
    // bone or a child mounted elsewhere.
    bool MountEntityToNamedBone(const MeshSkeleton& animationSet, const NameString& bone, Entity* child,
                                const Matrix& offset, uint32_t flags);
    // The same for a bone found among the named sub-object and its descendants only.
    bool MountEntityToNamedBoneIn(const MeshSkeleton& animationSet, const NameString& subobject, const NameString& bone,
                                  Entity* child, const Matrix& offset, uint32_t flags);
    bool MountEntity(int32_t bone, Entity* child, const Matrix& offset, uint32_t flags);
    bool SetMountedEntityOffset(Entity* child, const Matrix& offset);
    // Detaches one child, or every child for null.
    void UnmountEntity(Entity* child);
    // The bone a child is mounted on, -1 when it is not.
    int32_t GetMountedBone(const Entity* child) const;
    static bool IsMountedAnywhere(const Entity* child);
    const std::vector<Mount>& GetMounts() const { return m_mounts; }

    // Sub-objects are the skeleton's bones: index by name (-1 none) and matrix in entity space.
    int32_t GetSubobjectIndex(const MeshSkeleton& animationSet, const NameString& name) const;
    Matrix GetSubobjectMatrix(const MeshSkeleton& animationSet, const NameString& name, float scale) const;

private:
    const MeshSkeleton& m_skeleton;
    uint32_t m_boneCount;
    Entity* m_owner;
    std::vector<float> m_boneMatrices;
    const float* m_skinnedPositions = nullptr;
    uint32_t m_skinnedGeneration = 0;
    std::vector<Mount> m_mounts;
    float m_targetingAngles[2] = {};
    float m_movementSpeed = 0.0f;
};
