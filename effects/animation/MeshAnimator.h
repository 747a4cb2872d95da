// MeshAnimator: the animation state of one mesh instance. Per animation tree node it keeps the
// playing animations in start order; once per frame (UpdatePose, cached by the frame counters) it
// blends them into node matrices and skinning matrices, moves the entity by root motion and places
// the entities mounted on bones. Starting and stopping are in MeshAnimator.cpp, the pose in
// MeshAnimatorPose.cpp, mounting in MeshAnimatorMounts.cpp. Main thread only.
#pragma once

#include "core/containers/SafePointer.h"
#include "core/math/Matrix.h"
#include "core/strings/NameString.h"
#include "effects/animation/BaseAnimation.h"

#include <cstdint>
#include <memory>
#include <vector>

class AnimationSampleContext;
class Entity;
class MeshEntity;
class MeshSkeleton;

// An entity placed on a bone every pose.
struct MountedEntityRecord
{
    Matrix offset;
    SafePointer<Entity> entity;
    int32_t bone = -1;
    uint32_t alignment = 0; // billboard mode, 0 none
    // The bone's name when mounted (empty for an index past the bones): a rebuilt hierarchy finds
    // the bone again by it.
    NameString boneName;
};

// A node matrix that a caller watches, refreshed every pose.
struct CachedNodeMatrix
{
    Matrix matrix;
    uint32_t node = 0;
};

// Per-instance animation state of a mesh entity.
class MeshAnimator
{
public:
    MeshAnimator(MeshEntity* owner, uint32_t skinMatrixCount, uint32_t treeNodeCount);
    ~MeshAnimator();
    MeshAnimator(const MeshAnimator&) = delete;
    MeshAnimator& operator=(const MeshAnimator&) = delete;

    // Starts an animation on the named tree node: binds it, stops the node's animations that share no
    // group bit with it and fades it in. Takes the animation; false (it is destroyed) for an unknown node.
    bool StartAnimationOnNode(const MeshSkeleton& skeleton, const NameString& node, std::unique_ptr<BaseAnimation> animation,
                              float scale);
    // The reuse rules of ANIMFLAG_REUSE_SAME_INDEX, ANIMFLAG_IGNORESAME and ANIMFLAG_REUSE_SAME_GROUP on
    // a node's list; true when an animation took the parameters.
    bool TryReuse(int32_t node, const AnimationParams& params);
    // Stops one animation (its end told with 0) fading over the seconds; nothing if already stopping.
    void StopAnimation(BaseAnimation& animation, float seconds);
    // Per tree node and Id (-1 all): false for a node out of range.
    bool StopAnimation(int32_t node, int32_t id, float seconds);
    bool StopAllAnimations(int32_t node, float seconds) { return StopAnimation(node, -1, seconds); }
    bool SetAnimationSpeedMultiplier(int32_t node, int32_t id, float multiplier);
    bool SetAnimationTimeFlags(int32_t node, int32_t id, uint32_t timeBits);
    bool SetAnimationProgress(int32_t node, int32_t id, float progress);
    void SetTargetingAngles(float horizontal, float vertical);
    float GetTargetingAngle(int index) const { return m_targetingAngles[index]; }
    // Gives back the animation's position and rotation drive counts.
    void ReleaseDrives(BaseAnimation& animation);

    // The pose of this frame (nothing when the context's frame counters match the last pose's).
    void UpdatePose(AnimationSampleContext& context, const MeshSkeleton& skeleton, float positionScale,
                    const Matrix* rootMatrix);
    // The node's matrix of this frame (identity for -1 or below), watched from now on.
    Matrix FindNodeMatrix(AnimationSampleContext& context, int32_t node, const MeshSkeleton& skeleton,
                          float positionScale);
    // The next query computes the pose again.
    void InvalidatePose() { m_frameStamps[0] = m_frameStamps[1] = 0xFFFFFFFFu; }

    // Mounting: false (logged) for a negative bone, a missing bone name or an entity mounted already.
    bool MountEntity(Entity* child, int32_t bone, const NameString& boneName, const Matrix& offset,
                     uint32_t alignment);
    bool MountEntity(const MeshSkeleton& skeleton, Entity* child, const NameString& bone, const Matrix& offset,
                     uint32_t alignment);
    // One entity, or every one for null.
    void UnmountEntity(Entity* child);
    bool SetMountedEntityOffset(Entity* child, const Matrix& offset);
    int32_t GetMountedBone(const Entity* child) const;
    const std::vector<MountedEntityRecord>& GetMounts() const { return m_mounts; }
    void UpdateMountedEntities(AnimationSampleContext& context, const Matrix& rootMatrix);

    // The first animation of tree node 0 that is not stopping, or null.
    BaseAnimation* GetFirstRunningRootAnimation() const;
    const std::vector<std::unique_ptr<BaseAnimation>>& GetSlotList(uint32_t node) const { return m_slots[node]; }
    uint32_t GetTreeNodeCount() const { return uint32_t(m_slots.size()); }
    // Three rows of four floats per skin matrix.
    const std::vector<float>& GetSkinningMatrices() const { return m_skinning; }
    uint32_t GetSkinMatrixCount() const { return uint32_t(m_skinning.size() / 12); }
    float GetMovementSpeed() const { return m_movementSpeed; }
    uint32_t GetPositionDriveCount() const { return m_positionDrives; }
    uint32_t GetRotationDriveCount() const { return m_rotationDrives; }
    MeshEntity* GetOwner() const { return m_owner; }

    // Vertex positions skinned on the processor for one frame (three floats each).
    const float* GetFrameSkinnedVertices(uint32_t frame) const
    {
        return m_skinnedVertices != nullptr && m_skinnedFrame == frame ? m_skinnedVertices : nullptr;
    }
    void SetFrameSkinnedVertices(const float* positions, uint32_t frame)
    {
        m_skinnedVertices = positions;
        m_skinnedFrame = frame;
    }

private:
    void SetUpRootMotion(BaseAnimation& animation, const MeshSkeleton& skeleton, float scale);
    void BlendTreeNode(AnimationSampleContext& context, int32_t node);
    void PoseRun(AnimationSampleContext& context, uint32_t first, uint32_t end, int32_t proceduralBone);
    // Four consecutive bones blended side by side and posed.
    void PoseGroup(AnimationSampleContext& context, uint32_t first);
    // local: the bone's blend of the active animations as a local matrix (its rest when none drives it).
    void PoseBone(AnimationSampleContext& context, uint32_t bone, const Matrix& local);
    void ApplyRootMotion(AnimationSampleContext& context);
    Entity* GetDrivenEntity() const;
    template <typename Apply>
    bool ForEachById(int32_t node, int32_t id, Apply&& apply);

    Matrix m_startMatrix = Matrix::ONE;
    uint32_t m_positionDrives = 0;
    uint32_t m_rotationDrives = 0;
    MeshEntity* m_owner;
    float m_targetingAngles[2] = {};
    uint32_t m_frameStamps[2] = {0xFFFFFFFFu, 0xFFFFFFFFu};
    std::vector<float> m_skinning;
    std::vector<std::vector<std::unique_ptr<BaseAnimation>>> m_slots;
    std::vector<MountedEntityRecord> m_mounts;
    std::vector<CachedNodeMatrix> m_cachedNodes;
    float m_movementSpeed = 0.0f;
    const float* m_skinnedVertices = nullptr;
    uint32_t m_skinnedFrame = 0;
};
