// The animation operations of a mesh entity. Each needs the animator and the template's skeleton;
// without them it does nothing and returns its neutral result, except the mounts, which say why
// they failed.
#include "scene/kinds/MeshEntity.h"

#include "core/console/GameConsole.h"
#include "core/strings/StringUtils.h"
#include "effects/animation/AnimationSampleContext.h"
#include "effects/animation/MeshSkeleton.h"
#include "effects/animation/ProceduralTargetingAnimation.h"
#include "effects/animation/XSIAnimation.h"
#include "engine/Game.h"
#include "online/ReplicatedAnimState.h"
#include "renderer/MeshEntityRenderingContext.h"
#include "renderer/resources/ResourceAnimation.h"
#include "scene/entities/EntityMPProperties.h"
#include "scene/kinds/MeshTemplate.h"

#include <algorithm>

namespace
{
const NameString& RootNode()
{
    static const NameString root("root");
    return root;
}

// One pose context serves every mesh: poses run one after the other on the main thread.
AnimationSampleContext& FrameContext()
{
    static AnimationSampleContext context;
    context.frameCounters[0] = gGame.GetTickCounter();
    context.frameCounters[1] = gGame.GetFrameCounter();
    return context;
}

bool IsListed(const MeshTemplate& source, const NameString& animation)
{
    for (const MeshTemplateAnimationDefinition& definition : source.GetAnimations())
        if (StrICmp(definition.GetName().CStr(), animation.CStr()) == 0)
            return true;
    for (const MeshTemplateAnimationOverlayList* list : source.GetOverlayLists())
        if (list != nullptr && StrICmp(list->m_name.CStr(), animation.CStr()) == 0)
            return true;
    return false;
}
} // namespace

void MeshEntity::Animate()
{
    const MeshSkeleton* const skeleton = GetAnimationSet();
    if (m_animator == nullptr || skeleton == nullptr)
        return;
    m_animator->UpdatePose(FrameContext(), *skeleton, GetMeshTemplate()->GetAnimationScale(), nullptr);
    if (MeshEntityRenderingContext* const context = GetMeshRenderingContext())
        context->SetBoneMatrices(m_animator->GetSkinMatrixCount(), m_animator->GetSkinningMatrices().data());
    Entity* const source = m_animationSource.Get();
    // A proxy's fields hold what the peer sent; writing this mesh's own state there would lose it.
    if (source != nullptr && source->GetReplicationRole() != ENTITYROLE_PROXY)
    {
        source->MPPropSetAnim(m_animationSourceFields[0], GetReplicatedEncAnimData());
        const BaseAnimation* const running = m_animator->GetFirstRunningRootAnimation();
        source->MPPropSetFloat(m_animationSourceFields[1], running != nullptr ? running->GetProgress() : 0.0f);
    }
}

ProceduralTargetingAnimation* MeshEntity::StartProceduralTargetingAnimation(const NameString& node, uint32_t flags)
{
    const MeshSkeleton* const skeleton = GetAnimationSet();
    if (m_animator == nullptr || skeleton == nullptr)
        return nullptr;
    AnimationParams params;
    params.Flags = flags;
    params.AttackTime = 0.0f;
    auto animation = std::make_unique<ProceduralTargetingAnimation>(params);
    ProceduralTargetingAnimation* const started = animation.get();
    if (!m_animator->StartAnimationOnNode(*skeleton, node, std::move(animation), GetMeshTemplate()->GetAnimationScale()))
    {
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Cannot start animation because the node %s cannot be found", node.CStr());
        return nullptr;
    }
    return started;
}

void MeshEntity::SetAnimationSource(Entity* source, int32_t animationField, int32_t progressField)
{
    m_animationSource = source;
    m_animationSourceFields[0] = animationField;
    m_animationSourceFields[1] = progressField;
    if (source != nullptr)
        gGame.GetEntityLists().AddEndOfFrameAnimatedEntity(this);
}

void MeshEntity::ApplyReplicatedAnimation()
{
    const Entity* const source = m_animationSource.Get();
    const EntityMPProperties* const properties = source != nullptr ? source->GetMPProperties() : nullptr;
    if (properties == nullptr || source->GetReplicationRole() != ENTITYROLE_PROXY)
        return;
    const int32_t animationField = m_animationSourceFields[0];
    const int32_t progressField = m_animationSourceFields[1];
    if (animationField >= 0 && animationField < properties->Count() &&
        properties->Get(animationField).type == MPPROPERTY_ANIMATION)
        ApplyReplicatedEncAnimData(properties->Get(animationField).packed);
    if (progressField >= 0 && progressField < properties->Count() &&
        properties->Get(progressField).type == MPPROPERTY_RANGED_FLOAT)
        ApplyReplicatedAnimProgress(properties->Get(progressField).value.x);
}

bool MeshEntity::StartAnimation(const NameString& node, const NameString& animation, const AnimationParams* params)
{
    const MeshTemplate* const source = GetMeshTemplate();
    if (source == nullptr || !IsListed(*source, animation))
    {
        const uint32_t flags = params != nullptr ? params->Flags : AnimationParams().Flags;
        if ((flags & ANIMFLAG_QUIET) == 0)
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Animation %s not found in %s", animation.CStr(),
                           source != nullptr ? source->GetFileName() : "");
        return false;
    }
    return StartAnimationByIndex(node, source->GetAnimation(animation, m_animationPresetName), params);
}

bool MeshEntity::StartAnimationByIndex(const NameString& node, int32_t index, const AnimationParams* params)
{
    const MeshTemplate* const source = GetMeshTemplate();
    const MeshSkeleton* const skeleton = GetAnimationSet();
    if (m_animator == nullptr || skeleton == nullptr || index < 0 || index >= source->GetPresetIndexEnd())
        return false;
    MeshTemplateAnimationPreset preset;
    source->BuildAnimationPreset(preset, index, m_animationTags);
    Resource* const resource = preset.GetAnimation();
    if (preset.m_name.IsEmpty() || resource == nullptr || resource->GetType() != RESOURCE_TYPE_ANIMATION)
        return false;
    if (resource->GetState() != RESOURCE_STATE_DONE)
        resource->WaitUntilLoaded(true);
    // A clip whose file failed to load (the resource manager said why) would play nothing.
    if (!resource->IsLoaded())
        return false;
    AnimationParams wanted = params != nullptr ? *params : AnimationParams();
    if (wanted.Id == -1)
        wanted.Id = index;
    wanted.AnimationIndex = index;
    const int32_t treeNode = skeleton->FindTreeNodeIndex(node);
    if ((wanted.Flags & (ANIMFLAG_REUSE_SAME_INDEX | ANIMFLAG_IGNORESAME | ANIMFLAG_REUSE_SAME_GROUP)) != 0 &&
        treeNode >= 0 && m_animator->TryReuse(treeNode, wanted))
        return true;
    if ((wanted.Flags & ANIMFLAG_START_FROM_GROUP) != 0)
    {
        const uint32_t groups = uint32_t(std::max(wanted.StartTimeOffset, 0.0f));
        float progress = 0.0f;
        if (treeNode >= 0)
            for (const std::unique_ptr<BaseAnimation>& running : m_animator->GetSlotList(uint32_t(treeNode)))
                if (running != nullptr && (running->GetParams().GroupMask & groups) != 0)
                {
                    progress = running->GetProgress();
                    break;
                }
        wanted.StartTimeOffset = preset.m_time * progress;
    }
    gConsole.Printf(0, CONSOLE_CHANNEL_ENGINE, "Starting animation %s on %s, child of %s", preset.m_name.CStr(),
                    GetName(), GetParent() != nullptr ? GetParent()->GetName() : "");
    auto animation = std::make_unique<XSIAnimation>(static_cast<ResourceAnimation*>(resource), wanted, preset, source,
                                                    index);
    return m_animator->StartAnimationOnNode(*skeleton, node, std::move(animation), source->GetAnimationScale());
}

bool MeshEntity::StopAnimation(const NameString& node, int32_t id, float seconds)
{
    const MeshSkeleton* const skeleton = GetAnimationSet();
    return m_animator != nullptr && skeleton != nullptr &&
           m_animator->StopAnimation(skeleton->FindTreeNodeIndex(node), id, seconds);
}

bool MeshEntity::StopAllAnimations(const NameString& node, float seconds)
{
    return StopAnimation(node, -1, seconds);
}

bool MeshEntity::SetAnimationSpeedMultiplier(const NameString& node, int32_t id, float multiplier)
{
    const MeshSkeleton* const skeleton = GetAnimationSet();
    return m_animator != nullptr && skeleton != nullptr &&
           m_animator->SetAnimationSpeedMultiplier(skeleton->FindTreeNodeIndex(node), id, multiplier);
}

bool MeshEntity::SetAnimationTimeFlags(const NameString& node, int32_t id, uint32_t timeBits)
{
    const MeshSkeleton* const skeleton = GetAnimationSet();
    return m_animator != nullptr && skeleton != nullptr &&
           m_animator->SetAnimationTimeFlags(skeleton->FindTreeNodeIndex(node), id, timeBits);
}

bool MeshEntity::SetAnimationProgress(const NameString& node, int32_t id, float progress)
{
    const MeshSkeleton* const skeleton = GetAnimationSet();
    return m_animator != nullptr && skeleton != nullptr &&
           m_animator->SetAnimationProgress(skeleton->FindTreeNodeIndex(node), id, progress);
}

float MeshEntity::GetAnimationDrivenMovementSpeed() const
{
    return m_animator != nullptr ? m_animator->GetMovementSpeed() : 0.0f;
}

void MeshEntity::SetTargetingAngles(float horizontal, float vertical)
{
    if (m_animator != nullptr)
        m_animator->SetTargetingAngles(horizontal, vertical);
}

int32_t MeshEntity::GetTargetingModeIndex(const NameString& name) const
{
    const MeshTemplate* const source = GetMeshTemplate();
    if (source == nullptr)
        return -1;
    const std::vector<MeshTargetingRecord>& modes = source->GetTargetingTable();
    for (size_t i = 0; i < modes.size(); ++i)
        if (StrICmp(modes[i].name.CStr(), name.CStr()) == 0)
            return int32_t(i);
    return -1;
}

void MeshEntity::AddAnimationTag(const NameString& tag)
{
    for (const NameString& held : m_animationTags)
        if (held == tag)
            return;
    m_animationTags.Add(tag);
}

void MeshEntity::RemoveAnimationTag(const NameString& tag)
{
    for (int32_t i = m_animationTags.Count() - 1; i >= 0; --i)
        if (m_animationTags[i] == tag)
            m_animationTags.RemoveAt(i);
}

bool MeshEntity::MountEntity(const NameString& bone, Entity* child, const Matrix& offset, uint32_t alignment)
{
    if (child == nullptr)
        return false;
    if (child->GetParent() != this)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Cannot mount %s to %s because only children can be mounted",
                       child->GetName(), GetName());
        return false;
    }
    const MeshSkeleton* const skeleton = GetAnimationSet();
    if (m_animator == nullptr || skeleton == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Cannot mount %s to %s because %s has no hierarchy", child->GetName(),
                       GetName(), GetName());
        return false;
    }
    return m_animator->MountEntity(*skeleton, child, bone, offset, alignment);
}

bool MeshEntity::MountEntity(const NameString& subobject, const NameString& bone, Entity* child, const Matrix& offset,
                             uint32_t alignment)
{
    if (child == nullptr)
        return false;
    if (child->GetParent() != this)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Cannot mount %s to %s in %s because only children can be mounted",
                       child->GetName(), bone.CStr(), GetName());
        return false;
    }
    const MeshSkeleton* const skeleton = GetAnimationSet();
    if (m_animator == nullptr || skeleton == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Cannot mount %s to %s in %s because %s has no hierarchy",
                       child->GetName(), bone.CStr(), GetName(), GetName());
        return false;
    }
    // The bone must lie in the named sub-object: the sub-object itself or one of its descendants.
    const int32_t root = skeleton->FindBoneIndex(subobject);
    for (uint32_t i = 0; root >= 0 && i < skeleton->GetBoneCount(); ++i)
    {
        if (!(skeleton->GetBone(i).name == bone))
            continue;
        // Bounded: a file's parent links may loop.
        uint32_t at = i;
        for (uint32_t steps = 0; at < skeleton->GetBoneCount() && steps <= MeshSkeleton::kMaxBones; ++steps)
        {
            if (int32_t(at) == root)
                return m_animator->MountEntity(child, int32_t(i), bone, offset, alignment);
            at = skeleton->GetBone(at).parent;
        }
    }
    gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Cannot mount entity %s because %s cannot be found in %s", child->GetName(),
                   bone.CStr(), subobject.CStr());
    return false;
}

bool MeshEntity::MountEntityToBone(int32_t bone, Entity* child, const Matrix& offset, uint32_t alignment)
{
    const MeshSkeleton* const skeleton = GetAnimationSet();
    if (m_animator == nullptr || skeleton == nullptr)
        return false;
    const bool named = bone >= 0 && uint32_t(bone) < skeleton->GetBoneCount();
    return m_animator->MountEntity(child, bone, named ? skeleton->GetBone(uint32_t(bone)).name : NameString(), offset,
                                   alignment);
}

bool MeshEntity::SetMountedEntityOffset(Entity* child, const Matrix& offset)
{
    return m_animator != nullptr && m_animator->SetMountedEntityOffset(child, offset);
}

void MeshEntity::UnmountEntity(Entity* child)
{
    if (m_animator != nullptr)
        m_animator->UnmountEntity(child);
}

int32_t MeshEntity::GetHierarchySubobjectIndex(const NameString& name) const
{
    const MeshSkeleton* const skeleton = GetAnimationSet();
    return m_animator != nullptr && skeleton != nullptr ? skeleton->FindBoneIndex(name) : -1;
}

Matrix MeshEntity::GetLocalHierarchyPosition(const NameString& name) const
{
    const MeshSkeleton* const skeleton = GetAnimationSet();
    const int32_t bone = GetHierarchySubobjectIndex(name);
    if (bone < 0)
        return Matrix::ONE;
    return m_animator->FindNodeMatrix(FrameContext(), bone, *skeleton, GetMeshTemplate()->GetAnimationScale());
}

void MeshEntity::GetGlobalHierarchyPosition(const NameString& name, Matrix& out) const
{
    const Matrix local = GetLocalHierarchyPosition(name);
    out.Mul(GetGlobalLocationMatrix(), local);
}

Vector MeshEntity::GetGlobalHierarchyPositionVector(int32_t node) const
{
    const MeshSkeleton* const skeleton = GetAnimationSet();
    Vector position(0.0f, 0.0f, 0.0f, 1.0f);
    if (m_animator != nullptr && skeleton != nullptr)
    {
        const Matrix matrix =
            m_animator->FindNodeMatrix(FrameContext(), node, *skeleton, GetMeshTemplate()->GetAnimationScale());
        position = Vector(matrix.rows[3].x, matrix.rows[3].y, matrix.rows[3].z, 1.0f);
    }
    position.Transform3D(GetGlobalLocationMatrix());
    return position;
}

Matrix MeshEntity::GetTemplateHierarchyPosition(const NameString& bone) const
{
    const MeshSkeleton* const skeleton = GetAnimationSet();
    return skeleton != nullptr ? skeleton->GetRestModelMatrix(skeleton->FindBoneIndex(bone)) : Matrix::ONE;
}

uint32_t MeshEntity::GetReplicatedEncAnimData() const
{
    const BaseAnimation* const running = m_animator != nullptr ? m_animator->GetFirstRunningRootAnimation() : nullptr;
    if (running == nullptr)
        return EncodeReplicatedAnimState(255, false, 0.0f, 0.0f);
    const AnimationParams& params = running->GetParams();
    return EncodeReplicatedAnimState(uint32_t(params.AnimationIndex), (params.Flags & ANIMFLAG_LOOP) != 0,
                                     running->GetProgress(), params.AttackTime);
}

void MeshEntity::ApplyReplicatedEncAnimData(uint32_t packed)
{
    const ReplicatedAnimState state = DecodeReplicatedAnimState(packed);
    m_replicatedProgress = state.progress;
    if (state.index == 255 || state.index == m_replicatedIndex)
    {
        ApplyReplicatedAnimProgress(state.progress);
        return;
    }
    m_replicatedIndex = state.index;
    AnimationParams params;
    params.Flags = (state.loop ? ANIMFLAG_LOOP : 0u) | ANIMFLAG_SMOOTHGAMEPLAYTIME;
    params.AttackTime = state.second;
    params.OverrideProgress = m_replicatedProgress;
    StartAnimationByIndex(RootNode(), state.index, &params);
}

void MeshEntity::ApplyReplicatedAnimProgress(float progress)
{
    m_replicatedProgress = progress;
    if (BaseAnimation* const running = m_animator != nullptr ? m_animator->GetFirstRunningRootAnimation() : nullptr)
        running->GetParams().OverrideProgress = progress;
}
