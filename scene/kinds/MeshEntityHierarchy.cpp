// The script operations on a mesh entity's hierarchy. Each needs the hierarchy (the animator) and
// the template's animation set (its skeleton); without them it does nothing and returns its
// neutral result, except the mounts, which say why they failed.
#include "scene/kinds/MeshEntity.h"

#include "core/console/GameConsole.h"
#include "effects/MeshSkeleton.h"
#include "renderer/MeshEntityRenderingContext.h"
#include "scene/kinds/MeshTemplate.h"

void MeshEntity::Animate()
{
    const MeshSkeleton* const set = GetAnimationSet();
    if (m_animator == nullptr || set == nullptr)
        return;
    m_animator->UpdatePose(*set, 0.0f);
    if (MeshEntityRenderingContext* const context = GetMeshRenderingContext())
        context->SetBoneMatrices(m_animator->GetBoneCount(), m_animator->GetBoneMatrices().data());
}

bool MeshEntity::StartAnimation(const NameString& animation, const AnimationParams& params)
{
    const MeshTemplate* const source = GetMeshTemplate();
    bool listed = false;
    for (int32_t i = 0; source != nullptr && !listed && i < source->GetAnimations().Count(); ++i)
        listed = source->GetAnimations()[i].GetName() == animation;
    if (!listed)
    {
        if ((params.flags & kQuietAnimationFlag) == 0)
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Animation %s not found in %s", animation.CStr(),
                           source != nullptr ? source->GetFileName() : "");
        return false;
    }
    static const NameString root("root");
    return StartAnimationOnNode(root, animation, params);
}

bool MeshEntity::StartAnimationOnNode(const NameString& node, const NameString& animation,
                                      const AnimationParams& params)
{
    const MeshSkeleton* const set = GetAnimationSet();
    if (m_animator == nullptr || set == nullptr)
        return false;
    if (m_animator->FindNodeIndex(*set, node) < 0)
    {
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Cannot start animation because the node %s cannot be found",
                         node.CStr());
        return false;
    }
    return m_animator->StartAnimationOnNode(*set, node, animation, params);
}

void MeshEntity::StopAllAnimations(const NameString& node, float blendOutTime)
{
    const MeshSkeleton* const set = GetAnimationSet();
    const int32_t index = m_animator != nullptr && set != nullptr ? m_animator->FindNodeIndex(*set, node) : -1;
    if (index >= 0)
        m_animator->StopAllAnimations(index, blendOutTime);
}

void MeshEntity::StopAnimation(const NameString& node, const NameString& animation, float blendOutTime)
{
    const MeshSkeleton* const set = GetAnimationSet();
    const int32_t index = m_animator != nullptr && set != nullptr ? m_animator->FindNodeIndex(*set, node) : -1;
    if (index >= 0)
        m_animator->StopAnimation(index, animation, blendOutTime);
}

bool MeshEntity::SetAnimationSpeedMultiplier(const NameString& node, const NameString& animation, float multiplier)
{
    const MeshSkeleton* const set = GetAnimationSet();
    const int32_t index = m_animator != nullptr && set != nullptr ? m_animator->FindNodeIndex(*set, node) : -1;
    return index >= 0 && m_animator->SetAnimationSpeedMultiplier(index, animation, multiplier);
}

bool MeshEntity::SetAnimationTimeFlags(const NameString& node, const NameString& animation, uint32_t flags)
{
    const MeshSkeleton* const set = GetAnimationSet();
    const int32_t index = m_animator != nullptr && set != nullptr ? m_animator->FindNodeIndex(*set, node) : -1;
    return index >= 0 && m_animator->SetAnimationTimeFlags(index, animation, flags);
}

bool MeshEntity::SetAnimationProgress(const NameString& node, const NameString& animation, float progress)
{
    const MeshSkeleton* const set = GetAnimationSet();
    const int32_t index = m_animator != nullptr && set != nullptr ? m_animator->FindNodeIndex(*set, node) : -1;
    return index >= 0 && m_animator->SetAnimationProgress(index, animation, progress);
}

float MeshEntity::GetAnimationDrivenMovementSpeed() const
{
    return m_animator != nullptr ? m_animator->GetMovementSpeed() : 0.0f;
}

void MeshEntity::SetTargetingAngles(float first, float second)
{
    if (m_animator != nullptr)
        m_animator->SetTargetingAngles(first, second);
}

bool MeshEntity::MountEntity(const NameString& bone, Entity* child, const Matrix& offset, uint32_t flags)
{
    if (child == nullptr)
        return false;
    if (child->GetParent() != this)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Cannot mount %s to %s because only children can be mounted",
                       child->GetName(), GetName());
        return false;
    }
    const MeshSkeleton* const set = GetAnimationSet();
    if (m_animator == nullptr || set == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Cannot mount %s to %s because %s has no hierarchy", child->GetName(),
                       GetName(), GetName());
        return false;
    }
    return m_animator->MountEntityToNamedBone(*set, bone, child, offset, flags);
}

bool MeshEntity::MountEntity(const NameString& subobject, const NameString& bone, Entity* child, const Matrix& offset,
                             uint32_t flags)
{
    if (child == nullptr)
        return false;
    if (child->GetParent() != this)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Cannot mount %s to %s in %s because only children can be mounted",
                       child->GetName(), bone.CStr(), GetName());
        return false;
    }
    const MeshSkeleton* const set = GetAnimationSet();
    if (m_animator == nullptr || set == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Cannot mount %s to %s in %s because %s has no hierarchy",
                       child->GetName(), bone.CStr(), GetName(), GetName());
        return false;
    }
    return m_animator->MountEntityToNamedBoneIn(*set, subobject, bone, child, offset, flags);
}

bool MeshEntity::SetMountedEntityOffset(Entity* child, const Matrix& offset)
{
    return m_animator != nullptr && GetAnimationSet() != nullptr && m_animator->SetMountedEntityOffset(child, offset);
}

void MeshEntity::UnmountEntity(Entity* child)
{
    if (m_animator != nullptr && GetAnimationSet() != nullptr)
        m_animator->UnmountEntity(child);
}

int32_t MeshEntity::GetHierarchySubobjectIndex(const NameString& name) const
{
    const MeshSkeleton* const set = GetAnimationSet();
    return m_animator != nullptr && set != nullptr ? m_animator->GetSubobjectIndex(*set, name) : -1;
}

Matrix MeshEntity::GetLocalHierarchyPosition(const NameString& name) const
{
    const MeshSkeleton* const set = GetAnimationSet();
    if (m_animator == nullptr || set == nullptr)
        return Matrix::ONE;
    return m_animator->GetSubobjectMatrix(*set, name, GetMeshTemplate()->GetAnimationScale());
}

void MeshEntity::GetGlobalHierarchyPosition(const NameString& name, Matrix& out) const
{
    const Matrix local = GetLocalHierarchyPosition(name);
    out.Mul(GetGlobalLocationMatrix(), local);
}
