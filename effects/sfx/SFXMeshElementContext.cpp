#include "effects/sfx/SFXMeshElementContext.h"

#include "core/math/RandomGenerator.h"
#include "core/threads/CommandRingBuffer.h"
#include "effects/animation/AnimationSampleContext.h"
#include "effects/animation/MeshAnimator.h"
#include "effects/animation/MeshSkeleton.h"
#include "effects/animation/XSIAnimation.h"
#include "effects/sfx/SFXMeshElementDefinition.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/RenderCommandWriter.h"
#include "renderer/resources/ResourceAnimation.h"
#include "platform/os/Clock.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/kinds/MeshTemplateAnimation.h"

#include <algorithm>

namespace
{
const NameString& RootNode()
{
    static const NameString root("root");
    return root;
}

// The render thread's own pose scratch: the game thread poses its meshes with another one at the
// same time. Every update is a new pose, counted here.
AnimationSampleContext& RenderThreadSampleContext()
{
    static AnimationSampleContext context;
    static uint32_t poses = 0;
    context.frameCounters[0] = 0;
    context.frameCounters[1] = ++poses;
    return context;
}
} // namespace

void SFXElementAnimationClock::Advance(float seconds)
{
    if (seconds > 0.0f)
        m_time += Time(int64_t(double(seconds) * double(os::kCounterFrequency)));
}

SFXMeshElementContext::SFXMeshElementContext() = default;

SFXMeshElementContext::~SFXMeshElementContext() = default;

void SFXMeshElementContext::Init(const SFXElementDefinition& definition, const Matrix& parent,
                                 uint32_t renderingFlags, uint32_t initFlags)
{
    SFXElementContext::Init(definition, parent, renderingFlags, initFlags);
    const auto& element = static_cast<const SFXMeshElementDefinition&>(definition);
    // The definition's box was copied when it resolved, maybe before the mesh's body was in.
    const MeshTemplate* const mesh = element.WaitForMeshTemplate();
    m_localBounds = mesh != nullptr ? mesh->GetStaticBoundingBox() : BoundingBox4::INVALID;
    m_randomPhase = float(gRandomGenerators[0].NextLinear()) / 65536.0f;
    PrepareAnimation(element);
    PostLink(element);
}

void SFXMeshElementContext::PrepareAnimation(const SFXMeshElementDefinition& element)
{
    const MeshTemplate* const mesh = element.GetMeshTemplate();
    const MeshSkeleton* const skeleton = mesh != nullptr ? mesh->GetSkeleton() : nullptr;
    if (element.GetAnimation().IsEmpty() || skeleton == nullptr || skeleton->GetBoneCount() == 0)
        return;
    const int32_t index = mesh->GetAnimation(element.GetAnimation(), element.GetPreset());
    if (index < 0)
        return;
    auto preset = std::make_unique<MeshTemplateAnimationPreset>();
    DynarraySafe<NameString> noTags;
    mesh->BuildAnimationPreset(*preset, index, noTags);
    Resource* const clip = preset->GetAnimation();
    if (clip == nullptr || clip->GetType() != RESOURCE_TYPE_ANIMATION)
        return;
    // Still on the game thread: the clip may be waited for here, never on the render thread.
    if (clip->GetState() != RESOURCE_STATE_DONE)
        clip->WaitUntilLoaded(true);
    if (!clip->IsLoaded())
        return;
    m_animationIndex = index;
    m_pendingPreset = std::move(preset);
}

void SFXMeshElementContext::StartAnimation(const SFXMeshElementDefinition& element)
{
    const MeshTemplate* const mesh = element.GetMeshTemplate();
    const MeshSkeleton* const skeleton = mesh != nullptr ? mesh->GetSkeleton() : nullptr;
    const std::unique_ptr<MeshTemplateAnimationPreset> preset = std::move(m_pendingPreset);
    if (preset == nullptr || skeleton == nullptr)
        return;
    AnimationParams params;
    params.AnimationIndex = m_animationIndex;
    // An effect's mesh has no entity to play the animation's sounds at.
    params.Flags &= ~uint32_t(ANIMFLAG_SOUNDS);
    m_animator = std::make_unique<MeshAnimator>(nullptr, skeleton->GetSkinMatrixCount(),
                                                std::max<uint32_t>(1, uint32_t(skeleton->GetTreeNodes().size())));
    auto animation = std::make_unique<XSIAnimation>(static_cast<ResourceAnimation*>(preset->GetAnimation()), params,
                                                    *preset, mesh, m_animationIndex);
    animation->SetTimer(&m_clock);
    if (!m_animator->StartAnimationOnNode(*skeleton, RootNode(), std::move(animation), mesh->GetAnimationScale()))
    {
        m_animator.reset();
        return;
    }
    m_rootNode = skeleton->FindTreeNodeIndex(RootNode());
}

void SFXMeshElementContext::Update(double clockSeconds, float delta, const SFXElementDefinition& definition,
                                   const Matrix& parent)
{
    SFXElementContext::Update(clockSeconds, delta, definition, parent);
    const auto& element = static_cast<const SFXMeshElementDefinition&>(definition);
    const MeshTemplate* const mesh = element.GetMeshTemplate();
    const MeshSkeleton* const skeleton = mesh != nullptr ? mesh->GetSkeleton() : nullptr;
    if (m_animator == nullptr || skeleton == nullptr)
        return;
    m_clock.Advance(delta);
    Vector progress;
    element.GetAnimationProgress().Evaluate(m_states[SFXMeshElementDefinition::STATE_PROGRESS], progress);
    m_animator->SetAnimationProgress(m_rootNode, -1, progress.x);
    m_animator->UpdatePose(RenderThreadSampleContext(), *skeleton, mesh->GetAnimationScale(), &parent);
}

void SFXMeshElementContext::OnMeshTemplateChanged(const SFXElementDefinition& definition)
{
    Link(static_cast<const SFXMeshElementDefinition&>(definition));
}

const float* SFXMeshElementContext::GetBones() const
{
    return m_animator != nullptr ? m_animator->GetSkinningMatrices().data() : nullptr;
}

void SFXMeshElementContext::Link(const SFXMeshElementDefinition& definition)
{
    const MeshTemplate* const mesh = definition.GetMeshTemplate();
    m_data = mesh != nullptr ? const_cast<MeshTemplateRenderingData*>(mesh->GetRenderingData()) : nullptr;
}

void SFXMeshElementContext::PostLink(const SFXMeshElementDefinition& definition)
{
    NorvexRenderer* const renderer = gRenderer;
    // With no render thread running nothing else can hold the data's links.
    if (renderer == nullptr || !renderer->IsStreamOpen())
    {
        Link(definition);
        StartAnimation(definition);
        return;
    }
    if (!renderer->WriteCall(&SFXMeshElementContext::ExecuteCall, SUB_LINK, 2 * sizeof(void*)))
        return;
    SFXMeshElementContext* self = this;
    const SFXMeshElementDefinition* element = &definition;
    renderer->GetWriter().Put(self);
    renderer->GetWriter().Put(element);
}

void SFXMeshElementContext::ExecuteCall(NorvexRenderer&, uint32_t subOperation, CommandRingBuffer& reader)
{
    SFXMeshElementContext* context = nullptr;
    const SFXMeshElementDefinition* definition = nullptr;
    if (!reader.Read(&context, sizeof(context)) || !reader.Read(&definition, sizeof(definition)))
        return;
    if (subOperation != SUB_LINK || context == nullptr || definition == nullptr)
        return;
    context->Link(*definition);
    context->StartAnimation(*definition);
}
